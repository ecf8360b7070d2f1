#include "links/tcp_links.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "links/link_control.h"
#include "links/request_recognition.h"
#include "links/transmit_pause.h"
#include "links/udp_links.h"
#include "platform/tcp_socket.h"
#include "simulation/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Bytes kept for one receiver beyond what the system holds for it: a few of
// the widest frames. What does not fit waits (an answer) or is skipped (a
// streamed frame) until the receiver takes more.
constexpr std::size_t kQueueCapacity = 64 * 1024;
// A receiver whose queue is full and that has taken nothing for this long has
// stopped reading; one that reads a burst slowly has not.
constexpr auto kStallTime = 2000ms;
// One receive takes at most this much...
constexpr std::size_t kReadChunk = 16 * 1024;
// ...and one wake-up at most this much from one receiver, so a receiver that
// floods the link cannot keep it from the others.
constexpr std::size_t kReadBudget = 64 * 1024;
// The longest wait for sockets before the stop event is looked at again,
// well inside startLink's stop time.
constexpr auto kPollSlice = 50ms;
// The settings are copied once at start-up; the main thread may be holding
// the data mutex for a dialog.
constexpr auto kSettingsWait = 5000ms;
// The client's pause before trying again, doubled after each failure up to
// the longest; a connection that stood kStandingTime starts again from the
// first, so a server that accepts and resets at once is tried ever less often.
constexpr auto kFirstRetry = 1000ms;
constexpr auto kLongestRetry = 10000ms;
constexpr auto kStandingTime = 10000ms;
// A server whose port another program holds tries to listen again this often.
constexpr auto kListenRetry = 2000ms;
// With no descriptors left, accepting fails at once while the listener stays
// readable: it is left unwatched this long, so the wait does not spin.
constexpr auto kAcceptPause = 100ms;
// Running out of descriptors is said once, and again only after this long
// without running out.
constexpr auto kOutOfDescriptorsQuiet = 10000ms;
// A connection attempt that has not completed in this long has failed (the
// system would otherwise keep trying for minutes).
constexpr auto kConnectTimeout = 5000ms;
// How long a starting client waits for its first connection before it reports
// itself up, so that a receiver that is there is shown connected at once.
constexpr auto kFirstConnectWait = 200ms;
// Refused connections are reported at most this often; a flood of them would
// otherwise flood the operator.
constexpr auto kRefusalReportGap = 1000ms;
// Connections taken per wake-up; more wait for the next one.
constexpr int kAcceptsPerWake = 64;
// Answers sent to one receiver per pass; the rest wait for the next pass, and
// its further requests in the system's buffers, so a receiver that asks
// without pause cannot keep the link from the others.
constexpr long long kAnswersPerPass = 64;
constexpr uint16_t kHighestPort = 65535;

// What a link thread reads from the settings, once, at start-up.
struct TcpSettings {
    bool interrogated = false;
    float interval = 3.0f;
    Ipv4Address listenOn;
    std::string host;
    uint16_t port = 0;
    std::size_t receiverLimit = kDefaultTcpReceiverLimit;
};

std::optional<TcpSettings> copySettings(SharedState& shared) {
    TcpSettings settings;
    bool valid = true;
    const bool copied = withData(shared.dataMutex, kSettingsWait, [&] {
        const LinkSettings& link = shared.link;
        settings.interrogated = link.interrogated != 0;
        settings.interval = link.transmitInterval;
        valid = link.tcpPort >= 0 && link.tcpPort <= kHighestPort;
        settings.port = static_cast<uint16_t>(link.tcpPort);
        settings.listenOn.port = settings.port;
        for (int i = 0; i < 4; ++i) {
            valid = valid && link.tcpListenAddress[i] >= 0 && link.tcpListenAddress[i] <= 255;
            settings.listenOn.octets[i] = static_cast<uint8_t>(link.tcpListenAddress[i]);
        }
        settings.host = link.tcpHost;
        settings.receiverLimit = static_cast<std::size_t>(std::max(link.tcpReceiverLimit, 0));
    });
    if (!copied || !valid) return std::nullopt;
    return settings;
}

std::string endpointText(const Ipv4Address& address) {
    return formatAddress(address) + ":" + std::to_string(address.port);
}

// Why a server could not listen, in the operator's words; empty when there is
// nothing useful to say.
std::string listenProblem(SocketError error, const Ipv4Address& listenOn) {
    const std::string port = "Port " + std::to_string(listenOn.port);
    switch (error) {
        case SocketError::addressInUse:
            return port + " is already in use by another program.";
        case SocketError::accessDenied:
            return port + " may not be used by this program.";
        case SocketError::outOfDescriptors:
        case SocketError::other:
            if (listenOn.octets[0] != 0 || listenOn.octets[1] != 0 || listenOn.octets[2] != 0 ||
                listenOn.octets[3] != 0)
                return formatAddress(listenOn) + " is not an address of this computer.";
            break;
        case SocketError::none:
            break;
    }
    return {};
}

// Builds the frame of the moment into a buffer of its own.
class FrameSource {
public:
    explicit FrameSource(SharedState& shared)
        : shared_(shared), buffer_(std::make_unique<char[]>(kFrameBufferSize)) {}

    // The frame, or nothing when the data mutex could not be had in time.
    std::optional<std::string_view> build() {
        std::size_t length = 0;
        if (!withData(shared_.dataMutex, kDataWait,
                      [&] { length = buildFrame(shared_, buffer_.get()); }))
            return std::nullopt;
        return std::string_view(buffer_.get(), length);
    }

private:
    SharedState& shared_;
    std::unique_ptr<char[]> buffer_;
};

// When the next streamed frame is due. The interval is read afresh for every
// pause, so a new one applies from the next frame.
class FrameClock {
public:
    FrameClock(SharedState& shared, float interval, Clock::time_point now)
        : shared_(shared), interval_(interval), due_(now + transmitPause(interval)) {}

    bool due(Clock::time_point now) const { return now >= due_; }
    void sendAt(Clock::time_point now) { due_ = now; }
    // Keeps the beat; after a hold-up the next frame is a whole pause away
    // rather than a burst of late ones.
    void sent(Clock::time_point now) {
        withData(shared_.dataMutex, kDataWait, [&] { interval_ = shared_.link.transmitInterval; });
        const auto pause = transmitPause(interval_);
        due_ += pause;
        if (due_ <= now) due_ = now + pause;
    }
    Clock::time_point next() const { return due_; }

private:
    SharedState& shared_;
    float interval_;
    Clock::time_point due_;
};

// The wait for sockets: up to the next thing due, at most one slice.
std::chrono::milliseconds waitUntil(Clock::time_point now, Clock::time_point next) {
    if (next <= now) return 0ms;
    return std::min(std::chrono::ceil<std::chrono::milliseconds>(next - now),
                    std::chrono::milliseconds(kPollSlice));
}

// Why a connection is being dropped.
enum class Gone { no, closed, stalled };

// One connection: a receiver of the server, or the client's receiver.
struct Peer {
    TcpConnection connection;
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

    void add(TcpConnection connection, std::string label, Clock::time_point now) {
        Peer& peer = peers_.emplace_back(std::move(connection));
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
    }

    // One frame per request received, to the peer that sent it, as fast as
    // its socket takes them. The frame is built once for all answers of this
    // pass; when it cannot be built the requests stay owed for the next pass.
    void answer(FrameSource& frames, Clock::time_point now) {
        std::optional<std::string_view> frame;
        bool built = false;
        for (Peer& peer : peers_) {
            if (peer.owed == 0 || peer.gone != Gone::no) continue;
            if (!built) {
                frame = frames.build();
                built = true;
            }
            if (!frame) return;
            for (long long n = 0;
                 n < kAnswersPerPass && peer.owed > 0 && deliver(peer, *frame, now); ++n)
                --peer.owed;
        }
    }

    void broadcast(std::string_view frame, Clock::time_point now) {
        for (Peer& peer : peers_) {
            deliver(peer, frame, now);
            peer.fresh = false;
        }
    }

    // A frame of their own for the receivers that have just come.
    bool anyFresh() const {
        return std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) { return p.fresh; });
    }
    void greet(std::string_view frame, Clock::time_point now) {
        for (Peer& peer : peers_)
            if (std::exchange(peer.fresh, false)) deliver(peer, frame, now);
    }

    // Marks the connections that are done: a peer that stopped reading, and
    // one that has ended and has been given all it asked for.
    void settle(Clock::time_point now) {
        for (Peer& peer : peers_) {
            if (peer.gone != Gone::no) continue;
            if (peer.full && now - peer.lastTaken >= kStallTime)
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
            if (found.gas) shared_.sim.receivedGas.store(*found.gas);
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

    // Hands a frame to the system, queueing what it does not take at once.
    // False when the frame does not fit in the queue now (nothing of it left).
    bool deliver(Peer& peer, std::string_view frame, Clock::time_point now) {
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
        noteSent(control_, frame, peer.label);
        return true;
    }

    SharedState& shared_;
    LinkControl& control_;
    bool interrogated_;
    bool streamToEnded_;
    std::vector<char> buffer_;
    std::vector<Peer> peers_;
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

// A host name looked up on a thread of its own: a name server that does not
// answer must not keep the link from seeing a stop.
struct Lookup {
    std::mutex mutex;
    bool done = false;
    std::optional<Ipv4Address> address;
    std::string why;  // when there is no address
};

std::shared_ptr<Lookup> startLookup(const std::string& host, uint16_t port) {
    auto lookup = std::make_shared<Lookup>();
    const auto run = [lookup, host, port] {
        std::string why;
        const std::optional<Ipv4Address> address = resolveIpv4(host, port, &why);
        std::lock_guard lock(lookup->mutex);
        lookup->address = address;
        lookup->why = why;
        lookup->done = true;
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error&) {
        run();  // no thread to be had: look it up here, waiting if need be
    }
    return lookup;
}

std::string secondsText(std::chrono::milliseconds delay) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(delay).count()) + " s";
}

// The client's one connection and its attempts to make it.
class Dialler {
public:
    Dialler(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {}

    std::string endpoint() const { return host_ + ":" + std::to_string(port_); }

    // Starts an attempt when one is due, or takes a finished lookup further.
    // A failure is described in `failure`.
    void advance(Clock::time_point now, std::string& failure) {
        if (!pending_ && !lookup_ && now >= retryAt_) {
            if (const std::optional<Ipv4Address> literal = parseAddress(host_, port_))
                connect(*literal, now, failure);
            else
                lookup_ = startLookup(host_, port_);
        }
        if (lookup_) {
            std::optional<Ipv4Address> address;
            std::string why;
            {
                std::lock_guard lock(lookup_->mutex);
                if (!lookup_->done) return;
                address = lookup_->address;
                why = lookup_->why;
            }
            lookup_.reset();
            if (address)
                connect(*address, now, failure);
            else
                failure = "Cannot find " + host_ + (why.empty() ? "" : " (" + why + ")");
        }
    }

    void watch(SocketPoll& poll) {
        if (pending_) pollIndex_ = poll.add(*pending_, true);
    }

    // The connection once it stands; a failed or timed-out attempt is
    // described in `failure`.
    std::optional<TcpConnection> finish(const SocketPoll& poll, Clock::time_point now,
                                        std::string& failure) {
        if (!pending_) return std::nullopt;
        if (poll.writable(pollIndex_)) {
            std::optional<TcpConnection> made = std::exchange(pending_, std::nullopt);
            if (made->connectOutcome()) {
                madeAt_ = now;
                return made;
            }
            failure = "Cannot connect to " + endpoint();
        } else if (now >= deadline_) {
            pending_.reset();
            failure = "No answer from " + endpoint();
        }
        return std::nullopt;
    }

    // Schedules the next attempt; the pause it takes, for the note.
    std::chrono::milliseconds retryLater(Clock::time_point now) {
        if (madeAt_ && now - *madeAt_ >= kStandingTime) delay_ = kFirstRetry;
        madeAt_.reset();
        const std::chrono::milliseconds pause = delay_;
        retryAt_ = now + pause;
        delay_ = std::min(delay_ * 2, std::chrono::milliseconds(kLongestRetry));
        return pause;
    }

    // When something is next due: an attempt, or the end of the one under way.
    Clock::time_point next(Clock::time_point now) const {
        if (pending_) return deadline_;
        if (lookup_) return now + kPollSlice;
        return retryAt_;
    }

private:
    void connect(const Ipv4Address& address, Clock::time_point now, std::string& failure) {
        pending_ = TcpConnection::startConnect(address);
        deadline_ = now + kConnectTimeout;
        if (!pending_) failure = "Cannot connect to " + endpoint();
    }

    std::string host_;
    uint16_t port_;
    std::optional<TcpConnection> pending_;
    std::shared_ptr<Lookup> lookup_;
    std::size_t pollIndex_ = 0;
    Clock::time_point deadline_;
    Clock::time_point retryAt_;  // the first attempt is due at once
    std::chrono::milliseconds delay_ = kFirstRetry;
    std::optional<Clock::time_point> madeAt_;  // when the standing connection was made
};

}  // namespace

std::string tcpEndpointText(const LinkSettings& link) {
    const std::string port = ":" + std::to_string(link.tcpPort);
    if (link.tcpRole == kTcpClient) return link.tcpHost + port;
    return peerText(link.tcpListenAddress) + port;
}

bool isTcpHost(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostLength) return false;
    const bool allowed = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
    if (!allowed) return false;
    // Each dot-separated label is there and neither starts nor ends with '-'.
    bool numeric = true;
    for (std::size_t start = 0; start <= host.size();) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, dot - start);
        if (label.empty() || label.front() == '-' || label.back() == '-') return false;
        numeric = numeric && std::all_of(label.begin(), label.end(),
                                         [](char c) { return c >= '0' && c <= '9'; });
        start = dot + 1;
    }
    // Digits and dots alone are an address, and must be a whole one.
    return !numeric || parseAddress(std::string(host), 0).has_value();
}

// The server's listening socket: made again every kListenRetry while another
// program holds the port, and left unwatched for a moment when accepting
// fails for want of descriptors.
class Listening {
public:
    explicit Listening(const Ipv4Address& on) : on_(on) {}

    // Listens; false with the reason in `why` when it cannot.
    bool open(Clock::time_point now, SocketError& why) {
        listener_ = TcpListener::listen(on_, &why);
        retryAt_ = now + kListenRetry;
        return listener_.has_value();
    }
    bool isOpen() const { return listener_.has_value(); }
    bool retryDue(Clock::time_point now) const { return !listener_ && now >= retryAt_; }
    Ipv4Address local() const {
        const std::optional<Ipv4Address> local =
            listener_ ? listener_->localAddress() : std::nullopt;
        return local ? *local : on_;
    }

    void watch(SocketPoll& poll, Clock::time_point now) {
        index_.reset();
        if (listener_ && now >= pausedUntil_) index_ = poll.add(*listener_);
    }
    // A waiting connection, if the poll found one and it can be taken.
    std::optional<TcpConnection> accept(const SocketPoll& poll, Clock::time_point now,
                                        LinkControl& control) {
        if (!index_ || !poll.readable(*index_)) return std::nullopt;
        SocketError why = SocketError::none;
        std::optional<TcpConnection> incoming = listener_->accept(&why);
        if (!incoming && why == SocketError::outOfDescriptors) {
            index_.reset();
            pausedUntil_ = now + kAcceptPause;
            if (!lastShortage_ || now - *lastShortage_ >= kOutOfDescriptorsQuiet)
                tellNews(control, "Cannot accept more receivers: too many open files");
            lastShortage_ = now;
        }
        return incoming;
    }
    Clock::time_point next(Clock::time_point now) const {
        if (!listener_) return retryAt_;
        return pausedUntil_ > now ? pausedUntil_ : now + kPollSlice;
    }
    void close() { listener_.reset(); }

private:
    Ipv4Address on_;
    std::optional<TcpListener> listener_;
    std::optional<std::size_t> index_;
    Clock::time_point retryAt_;
    Clock::time_point pausedUntil_;
    std::optional<Clock::time_point> lastShortage_;
};

void tcpServerLink(SharedState& shared, LinkControl& control) {
    const std::optional<TcpSettings> settings = copySettings(shared);
    if (!settings) {
        reportLinkStatus(control, kLinkDown);
        return;
    }
    Listening listening(settings->listenOn);
    SocketError why = SocketError::other;
    // The port is known before the link reports up, the news follows.
    const auto announce = [&] {
        reportLinkHealth(control, LinkHealth::working,
                         "Listening on " + endpointText(listening.local()));
    };
    if (listening.open(Clock::now(), why)) {
        control.localPort.store(listening.local().port);
    } else {
        control.failureReason = listenProblem(why, settings->listenOn);
        // A port another program holds may be freed: wait for it. Any other
        // failure will not mend itself.
        if (why != SocketError::addressInUse) {
            reportLinkStatus(control, kLinkDown);
            return;
        }
        control.failureReason += "\nKorvane listens as soon as it is free, trying every " +
                                 std::to_string(kListenRetry.count() / 1000) + " s.";
        control.localPort.store(settings->port);
        control.health.store(LinkHealth::waitingForPort);
    }
    control.receivers.store(0);
    reportLinkStatus(control, kLinkUp);
    if (listening.isOpen()) announce();

    Peers receivers(shared, control, settings->interrogated, true);
    FrameSource frames(shared);
    FrameClock clock(shared, settings->interval, Clock::now());
    Refusals refusals;
    SocketPoll poll;
    long long connections = 0;
    const auto changed = [&](const std::string& note) {
        control.receivers.store(static_cast<int32_t>(receivers.count()));
        tellNews(control, note, NewsKind::connection);
    };
    while (!control.linkStopEvent.isSet()) {
        Clock::time_point now = Clock::now();
        if (listening.retryDue(now) && listening.open(now, why)) {
            control.localPort.store(listening.local().port);
            announce();
        }

        poll.clear();
        listening.watch(poll, now);
        receivers.watch(poll);
        Clock::time_point next = listening.next(now);
        if (!settings->interrogated) next = std::min(next, clock.next());
        if (receivers.behind()) next = now;
        poll.wait(waitUntil(now, next));
        now = Clock::now();

        for (int k = 0; k < kAcceptsPerWake; ++k) {
            std::optional<TcpConnection> incoming = listening.accept(poll, now, control);
            if (!incoming) break;
            std::string label =
                "#" + std::to_string(++connections) + " " + endpointText(incoming->peer());
            if (receivers.count() >= settings->receiverLimit) {
                refusals.add(label);  // closed as it goes out of scope
                continue;
            }
            receivers.add(std::move(*incoming), label, now);
            changed("Receiver " + label + " connected");
        }
        receivers.service(poll, now);
        if (settings->interrogated) {
            receivers.answer(frames, now);
        } else if (clock.due(now) || receivers.anyFresh()) {
            // A receiver that has just come gets a frame at once, then the
            // common beat.
            const bool beat = clock.due(now);
            if (receivers.count() > 0)
                if (const std::optional<std::string_view> frame = frames.build()) {
                    if (beat)
                        receivers.broadcast(*frame, now);
                    else
                        receivers.greet(*frame, now);
                }
            if (beat) clock.sent(now);
        }
        receivers.settle(now);
        receivers.sweep([&](const Peer& gone) {
            changed("Receiver " + gone.label +
                    (gone.gone == Gone::stalled
                         ? " stopped reading and was disconnected (its queue was full)"
                         : " disconnected"));
        });
        refusals.report(control, settings->receiverLimit, now);
    }
    receivers.closeAll();
    listening.close();
    reportLinkStatus(control, kLinkDown);
}

void tcpClientLink(SharedState& shared, LinkControl& control) {
    const std::optional<TcpSettings> settings = copySettings(shared);
    if (!settings || !isTcpHost(settings->host)) {
        if (settings) control.failureReason = "There is no receiver host to connect to.";
        reportLinkStatus(control, kLinkDown);
        return;
    }
    // Not connected until the first connection stands.
    control.health.store(LinkHealth::reconnecting);

    Dialler dialler(settings->host, settings->port);
    Peers server(shared, control, settings->interrogated, false);
    FrameSource frames(shared);
    FrameClock clock(shared, settings->interval, Clock::now());
    SocketPoll poll;
    const Clock::time_point started = Clock::now();
    bool acknowledged = false;
    // The same failure again is not news; the title still says "reconnecting".
    std::string lastFailure;
    const auto retry = [&](const std::string& what, Clock::time_point now) {
        const std::chrono::milliseconds pause = dialler.retryLater(now);
        if (what == lastFailure) {
            control.health.store(LinkHealth::reconnecting);
            return;
        }
        lastFailure = what;
        reportLinkHealth(control, LinkHealth::reconnecting,
                         what + "; trying again in " + secondsText(pause));
    };
    while (!control.linkStopEvent.isSet()) {
        Clock::time_point now = Clock::now();
        std::string failure;
        if (server.count() == 0) dialler.advance(now, failure);
        if (!failure.empty()) retry(failure, now);

        poll.clear();
        dialler.watch(poll);
        server.watch(poll);
        Clock::time_point next = dialler.next(now);
        if (server.count() > 0) next = settings->interrogated ? now + kPollSlice : clock.next();
        // Until it reports up, the link looks often for its first connection.
        if (!acknowledged) next = std::min(next, now + 10ms);
        if (server.behind()) next = now;
        poll.wait(waitUntil(now, next));
        now = Clock::now();

        if (std::optional<TcpConnection> made = dialler.finish(poll, now, failure)) {
            server.add(std::move(*made), dialler.endpoint(), now);
            lastFailure.clear();
            reportLinkHealth(control, LinkHealth::working, "Connected to " + dialler.endpoint());
            // A receiver that has just come (back) gets a frame at once.
            clock.sendAt(now);
        } else if (!failure.empty()) {
            retry(failure, now);
        }
        server.service(poll, now);
        if (settings->interrogated) {
            server.answer(frames, now);
        } else if (server.count() > 0 && clock.due(now)) {
            if (const std::optional<std::string_view> frame = frames.build())
                server.broadcast(*frame, now);
            clock.sent(now);
        }
        server.settle(now);
        server.sweep([&](const Peer& gone) {
            retry(gone.gone == Gone::stalled
                      ? dialler.endpoint() + " stopped reading and was disconnected"
                      : "Lost the connection to " + dialler.endpoint(),
                  now);
        });
        if (!acknowledged && (server.count() > 0 || now - started >= kFirstConnectWait)) {
            reportLinkStatus(control, kLinkUp);
            acknowledged = true;
        }
    }
    server.closeAll();
    reportLinkStatus(control, kLinkDown);
}

}  // namespace korvane
