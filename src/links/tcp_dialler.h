#pragma once

// The TCP client's dialling: a host name looked up off the link thread, one
// attempt at a time with a time-out, and the back-off between attempts. It
// only reads the time it is given, so its rules can be tried without waiting.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/tcp_socket.h"

namespace korvane {
namespace tcp {

using Clock = std::chrono::steady_clock;

// The client's pause before trying again, doubled after each failure up to
// the longest; a connection that stood kStandingTime starts again from the
// first, so a server that accepts and resets at once is tried ever less often.
inline constexpr auto kFirstRetry = std::chrono::milliseconds{1000};
inline constexpr auto kLongestRetry = std::chrono::milliseconds{10000};
inline constexpr auto kStandingTime = std::chrono::milliseconds{10000};
// A connection attempt that has not completed in this long has failed (the
// system would otherwise keep trying for minutes).
inline constexpr auto kConnectTimeout = std::chrono::milliseconds{5000};
// How often a lookup under way is looked at.
inline constexpr auto kLookupPoll = std::chrono::milliseconds{50};

// A host name looked up on a thread of its own: a name server that does not
// answer must not keep the link from seeing a stop.
struct Lookup {
    std::mutex mutex;
    bool done = false;
    std::optional<Ipv4Address> address;
    std::string why;  // when there is no address
};

std::shared_ptr<Lookup> startLookup(const std::string& host, uint16_t port);

// "3 s": a pause as the notes give it.
std::string secondsText(std::chrono::milliseconds delay);

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
        if (lookup_) return now + kLookupPoll;
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

}  // namespace tcp
}  // namespace korvane
