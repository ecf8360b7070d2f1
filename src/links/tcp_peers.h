#pragma once

// The TCP links' connections: each peer with its queue of bytes the system has
// not taken yet, its requests and its state, and the refusals at the limit.
// No threads and no waits here: the loops in tcp_links.cpp poll, then hand
// over what the poll found.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "links/fault_lane.h"
#include "links/frame_source.h"
#include "links/link_control.h"
#include "links/request_recognition.h"
#include "platform/tcp_socket.h"
#include "state/shared_state.h"

namespace korvane {
namespace tcp {

using Clock = std::chrono::steady_clock;

// Bytes kept for one receiver beyond what the system holds for it: a few of
// the widest frames. What does not fit waits (an answer) or is skipped (a
// streamed frame) until the receiver takes more.
inline constexpr std::size_t kQueueCapacity = 64 * 1024;
// One receive takes at most this much...
inline constexpr std::size_t kReadChunk = 16 * 1024;
// ...and one wake-up at most this much from one receiver, so a receiver that
// floods the link cannot keep it from the others.
inline constexpr std::size_t kReadBudget = 64 * 1024;
// Answers sent to one receiver per pass; the rest wait for the next pass, and
// its further requests in the system's buffers, so a receiver that asks
// without pause cannot keep the link from the others.
inline constexpr long long kAnswersPerPass = 64;
// Refused connections are reported at most this often; a flood of them would
// otherwise flood the operator.
inline constexpr auto kRefusalReportGap = std::chrono::milliseconds{1000};

// Why a connection is being dropped.
enum class Gone { no, closed, stalled, faulted };

// One connection: a receiver of the server, or the client's receiver.
struct Peer {
    Peer(TcpConnection made, LinkControl& control, uint64_t number)
        : connection(std::move(made)), lane(control, number) {}

    TcpConnection connection;
    FaultLane lane;     // its faults, from the seed and its number
    std::string label;  // "#3 127.0.0.1:40312", as --echo and the notes show it
    std::string queue;  // bytes the system has not taken yet, from queueStart on
    std::size_t queueStart = 0;
    RequestRecords records;
    long long owed = 0;  // requests not yet answered
    Gone gone = Gone::no;
    // The peer shut down its sending side: it asks no more, but may still
    // read what it is owed, or what is streamed.
    bool ended = false;
    // Whether the poll can tell this ended peer's failure from its end; some
    // systems report the end itself as a hang-up, for as long as it lasts.
    bool failuresShow = true;
    bool full = false;            // something did not fit in the queue since it last took bytes
    bool fresh = true;            // a streamed frame of its own is due at once
    Clock::time_point lastTaken;  // when the system last took bytes for it
    std::optional<std::size_t> pollIndex;

    std::size_t waiting() const { return queue.size() - queueStart; }
};

// The connections of one link and everything that moves on them.
class Peers {
public:
    // `streamToEnded`: a peer that has ended its sending side is still
    // streamed to (a receiver of the server may only listen); the client's
    // server that ends has closed, and is dialled again.
    Peers(SharedState& shared, LinkControl& control, bool interrogated, bool streamToEnded)
        : shared_(shared),
          control_(control),
          interrogated_(interrogated),
          streamToEnded_(streamToEnded),
          buffer_(kReadChunk) {}

    std::size_t count() const { return peers_.size(); }

    // `number`: the connection's, which its faults' random choices come from.
    void add(TcpConnection connection, std::string label, Clock::time_point now, uint64_t number) {
        Peer& peer = peers_.emplace_back(std::move(connection), control_, number);
        peer.label = std::move(label);
        peer.lastTaken = now;
    }

    // A peer that has ended is not read from again: it is watched for room
    // to write while it has bytes to take, else for a failure alone.
    void watch(SocketPoll& poll) {
        for (Peer& peer : peers_) {
            peer.pollIndex.reset();
            if (!peer.ended)
                peer.pollIndex =
                    poll.add(peer.connection, peer.waiting() > 0, peer.owed < kAnswersPerPass);
            else if (peer.waiting() > 0 || peer.failuresShow)
                peer.pollIndex = poll.add(peer.connection, peer.waiting() > 0, false);
        }
    }

    // True while answers are owed that could go out now: a pass left them
    // for the next one. Answers waiting for room wait for the socket instead.
    bool behind() const {
        return std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) {
            return p.owed > 0 && p.gone == Gone::no && p.waiting() == 0;
        });
    }

    // Reads and writes whatever the poll found ready.
    void service(const SocketPoll& poll, Clock::time_point now) {
        for (Peer& peer : peers_) {
            if (!peer.pollIndex) continue;
            if (peer.gone == Gone::no && peer.ended && peer.waiting() == 0 &&
                poll.readable(*peer.pollIndex))
                probe(peer);
            if (peer.gone == Gone::no && !peer.ended && peer.owed < kAnswersPerPass &&
                poll.readable(*peer.pollIndex))
                read(peer);
            if (peer.gone == Gone::no && poll.writable(*peer.pollIndex)) flush(peer, now);
        }
        if (lanesBusy_) flushLanes(now);
    }

    // When the faults want the link again: a piece that leaves later, or
    // the next disconnect. None while no fault is on and nothing waits.
    std::optional<Clock::time_point> faultsDue() const {
        std::optional<Clock::time_point> due = nextDisconnect_;
        if (lanesBusy_)
            for (const Peer& peer : peers_)
                if (const auto at = peer.lane.due(); at && (!due || *at < *due)) due = at;
        return due;
    }

    // True while a peer that is there is owed answers.
    bool owing() const {
        return std::any_of(peers_.begin(), peers_.end(),
                           [](const Peer& p) { return p.owed > 0 && p.gone == Gone::no; });
    }

    // One frame per request received, to the peer that sent it, as fast as
    // its socket takes them; the same frame for all answers of this pass.
    void answer(const FramePieces& frame, Clock::time_point now) {
        for (Peer& peer : peers_) {
            if (peer.owed == 0 || peer.gone != Gone::no) continue;
            for (long long n = 0; n < kAnswersPerPass && peer.owed > 0 && deliver(peer, frame, now);
                 ++n)
                --peer.owed;
        }
    }

    void broadcast(const FramePieces& frame, Clock::time_point now) {
        for (Peer& peer : peers_) {
            deliver(peer, frame, now);
            peer.fresh = false;
        }
    }

    // Nothing waits in any queue: a frame now goes out whole to everyone.
    bool drained() const {
        return std::all_of(peers_.begin(), peers_.end(),
                           [](const Peer& p) { return p.waiting() == 0; });
    }

    // A frame of their own for the receivers that have just come.
    bool anyFresh() const {
        return std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) { return p.fresh; });
    }
    void greet(const FramePieces& frame, Clock::time_point now) {
        for (Peer& peer : peers_)
            if (std::exchange(peer.fresh, false)) deliver(peer, frame, now);
    }

    // Marks the connections that are done: a peer that stopped reading, and
    // one that has ended and has been given all it asked for.
    void settle(Clock::time_point now) {
        disconnectIfDue(now);
        for (Peer& peer : peers_) {
            if (peer.gone != Gone::no) continue;
            if (peer.full && now - peer.lastTaken >= control_.timing.tcpStallTime)
                peer.gone = Gone::stalled;
            else if (peer.ended && (interrogated_ || !streamToEnded_) && peer.owed == 0 &&
                     peer.waiting() == 0)
                peer.gone = Gone::closed;
        }
    }

    // Drops the connections that went away, then tells `dropped` about each.
    template <typename Dropped>
    void sweep(Dropped&& dropped) {
        const auto end = std::stable_partition(peers_.begin(), peers_.end(),
                                               [](const Peer& p) { return p.gone == Gone::no; });
        std::vector<Peer> gone(std::make_move_iterator(end), std::make_move_iterator(peers_.end()));
        peers_.erase(end, peers_.end());
        for (Peer& peer : gone) {
            peer.connection.close();
            dropped(peer);
        }
    }

    void closeAll() { peers_.clear(); }

private:
    void read(Peer& peer) {
        std::size_t budget = kReadBudget;
        while (budget > 0) {
            const std::size_t asked = std::min(budget, buffer_.size());
            const TcpTransfer got = peer.connection.receive(buffer_.data(), asked);
            if (got.closed) peer.gone = Gone::closed;
            if (got.ended) peer.ended = true;
            if (got.bytes == 0) return;
            const std::string_view data(buffer_.data(), got.bytes);
            noteReceived(control_, data, peer.label);
            const RequestRecords::Found found = peer.records.add(data);
            // With several receivers the latest reading wins.
            if (found.gas) {
                shared_.sim.receivedGas.store(*found.gas);
                noteGas(control_, *found.gas, peer.label);
            }
            if (interrogated_) peer.owed += found.requests;
            if (got.bytes < asked) return;  // nothing more waiting
            budget -= got.bytes;
        }
    }

    // An ended peer the poll reports: failed (reset), or merely ended on a
    // system that reports that as a hang-up, where only sends can tell.
    static void probe(Peer& peer) {
        if (peer.connection.hasFailed())
            peer.gone = Gone::closed;
        else
            peer.failuresShow = false;
    }

    static void taken(Peer& peer, std::size_t bytes, Clock::time_point now) {
        if (bytes == 0) return;
        peer.lastTaken = now;
        peer.full = false;
    }

    void flush(Peer& peer, Clock::time_point now) {
        while (peer.waiting() > 0) {
            const TcpTransfer sent =
                peer.connection.send(peer.queue.data() + peer.queueStart, peer.waiting());
            if (sent.closed) {
                peer.gone = Gone::closed;
                return;
            }
            if (sent.bytes == 0) return;
            taken(peer, sent.bytes, now);
            peer.queueStart += sent.bytes;
        }
        peer.queue.clear();
        peer.queueStart = 0;
    }

    // Hands every piece of a frame to the system; false when one did not fit
    // (the frame is then owed, or skipped, whole once more). With faults on,
    // the frame goes through the peer's lane once it fits whole.
    bool deliver(Peer& peer, const FramePieces& frame, Clock::time_point now) {
        if (peer.lane.on()) {
            if (peer.gone != Gone::no) return false;
            std::size_t size = 0;
            for (const std::string_view piece : frame) size += piece.size();
            if (peer.waiting() > 0 && peer.waiting() + size > kQueueCapacity) {
                peer.full = true;
                return false;
            }
            peer.lane.pass(frame, now, peer.label, laneDeliverer(peer, now));
            lanesBusy_ = true;
            return true;
        }
        for (const std::string_view piece : frame)
            if (!deliver(peer, piece, now)) return false;
        return true;
    }

    // Hands a frame to the system, queueing what it does not take at once.
    // False when the frame does not fit in the queue now (nothing of it left).
    bool deliver(Peer& peer, std::string_view frame, Clock::time_point now,
                 std::string_view mark = {}) {
        if (peer.gone != Gone::no) return false;
        if (peer.waiting() > 0 && peer.waiting() + frame.size() > kQueueCapacity) {
            peer.full = true;
            return false;
        }
        std::string_view rest = frame;
        if (peer.waiting() == 0) {
            const TcpTransfer sent = peer.connection.send(rest.data(), rest.size());
            if (sent.closed) {
                peer.gone = Gone::closed;
                return false;
            }
            taken(peer, sent.bytes, now);
            rest.remove_prefix(sent.bytes);
        }
        if (!rest.empty()) {
            // The sent part goes once it is the larger part, so each byte
            // moves at most once more on average.
            if (peer.queueStart > peer.waiting()) {
                peer.queue.erase(0, peer.queueStart);
                peer.queueStart = 0;
            }
            peer.queue.append(rest);
        }
        noteSent(control_, frame, peer.label, mark);
        return true;
    }

    LaneDeliverer laneDeliverer(Peer& peer, Clock::time_point now) {
        return [this, &peer, now](std::string_view bytes, std::string_view mark) {
            deliver(peer, bytes, now, mark);
        };
    }

    // The faults' pieces whose time has come, for every peer.
    void flushLanes(Clock::time_point now) {
        bool busy = false;
        for (Peer& peer : peers_) {
            peer.lane.flush(now, laneDeliverer(peer, now));
            busy = busy || peer.lane.due().has_value();
        }
        lanesBusy_ = busy || control_.faults.on();
    }

    // The disconnect fault: every period of it, from when the faults came
    // into force, closes every connection there is.
    void disconnectIfDue(Clock::time_point now) {
        nextDisconnect_.reset();
        if (!control_.faults.on()) return;
        const std::shared_ptr<const ActiveFaults> active = control_.faults.active();
        if (!active || !active->plan.on(FaultKind::disconnect)) return;
        if (active != disconnecting_) {
            disconnecting_ = active;
            periodsDone_ = 0;
        }
        const std::chrono::duration<double> period(active->plan.disconnectEvery);
        const auto periods = static_cast<long long>((now - active->since) / period);
        if (periods > periodsDone_) {
            periodsDone_ = periods;
            for (Peer& peer : peers_) {
                if (peer.gone != Gone::no) continue;
                peer.gone = Gone::faulted;
                control_.faults.counts.add(FaultKind::disconnect);
                noteUnsent(control_, "[disconnect]", peer.label);
            }
        }
        nextDisconnect_ = active->since +
                          std::chrono::duration_cast<Clock::duration>(period * (periodsDone_ + 1));
    }

    SharedState& shared_;
    LinkControl& control_;
    bool interrogated_;
    bool streamToEnded_;
    std::vector<char> buffer_;
    std::vector<Peer> peers_;
    // Faults: some lane may hold pieces for later (or faults are on).
    bool lanesBusy_ = false;
    std::shared_ptr<const ActiveFaults> disconnecting_;
    long long periodsDone_ = 0;
    std::optional<Clock::time_point> nextDisconnect_;
};

// Connections refused at the limit, told to the operator at most once every
// kRefusalReportGap.
class Refusals {
public:
    void add(const std::string& label) {
        ++unreported_;
        last_ = label;
    }
    void report(LinkControl& control, std::size_t limit, Clock::time_point now) {
        if (unreported_ == 0 || (reported_ && now - lastReport_ < kRefusalReportGap)) return;
        std::string note = "Receiver " + last_ + " refused: " + std::to_string(limit) +
                           " receivers are connected, the most allowed";
        if (unreported_ > 1) note += " (" + std::to_string(unreported_ - 1) + " more refused)";
        tellNews(control, note, NewsKind::connection);
        unreported_ = 0;
        reported_ = true;
        lastReport_ = now;
    }

private:
    long long unreported_ = 0;
    std::string last_;
    bool reported_ = false;
    Clock::time_point lastReport_;
};

}  // namespace tcp
}  // namespace korvane
