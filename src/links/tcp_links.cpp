#include "links/tcp_links.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "links/link_control.h"
#include "links/link_runner.h"
#include "links/peer_text.h"
#include "links/tcp_dialler.h"
#include "links/tcp_peers.h"
#include "links/transport.h"
#include "platform/ipv4_address.h"
#include "platform/tcp_socket.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

using namespace std::chrono_literals;
using tcp::Clock;
using tcp::Gone;
using tcp::Peer;
using tcp::Peers;

// The longest wait for sockets before the stop event is looked at again,
// well inside startLink's stop time.
constexpr auto kPollSlice = 50ms;
// With no descriptors left, accepting fails at once while the listener stays
// readable: it is left unwatched this long, so the wait does not spin.
constexpr auto kAcceptPause = 100ms;
// Running out of descriptors is said once, and again only after this long
// without running out.
constexpr auto kOutOfDescriptorsQuiet = 10000ms;
// How long a starting client waits for its first connection before it reports
// itself up, so that a receiver that is there is shown connected at once.
constexpr auto kFirstConnectWait = 200ms;
// Until then it looks this often.
constexpr auto kFirstConnectLook = 10ms;
// Connections taken per wake-up; more wait for the next one.
constexpr int kAcceptsPerWake = 64;
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

std::optional<TcpSettings> copySettings(SharedState& shared, std::chrono::milliseconds wait) {
    TcpSettings settings;
    bool valid = true;
    const bool copied = withData(shared.dataMutex, wait, [&] {
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

// The wait for sockets: up to the next thing due, at most one slice.
std::chrono::milliseconds sliceUntil(Clock::time_point now, Clock::time_point next) {
    if (next <= now) return 0ms;
    return std::min(std::chrono::ceil<std::chrono::milliseconds>(next - now),
                    std::chrono::milliseconds(kPollSlice));
}

// The same up to a fault's piece, never past it: a piece is to leave within
// a millisecond or two of its time.
std::chrono::milliseconds sliceBefore(Clock::time_point now, Clock::time_point next) {
    if (next <= now) return 0ms;
    return std::min(std::chrono::floor<std::chrono::milliseconds>(next - now),
                    std::chrono::milliseconds(kPollSlice));
}

// The server's listening socket: made again every tcpListenRetry while another
// program holds the port, and left unwatched for a moment when accepting
// fails for want of descriptors.
class Listening {
public:
    Listening(const Ipv4Address& on, std::chrono::milliseconds retry) : on_(on), retry_(retry) {}

    // Listens; false with the reason in `why` when it cannot.
    bool open(Clock::time_point now, SocketError& why) {
        listener_ = TcpListener::listen(on_, &why);
        retryAt_ = now + retry_;
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
    std::chrono::milliseconds retry_;
    std::optional<TcpListener> listener_;
    std::optional<std::size_t> index_;
    Clock::time_point retryAt_;
    Clock::time_point pausedUntil_;
    std::optional<Clock::time_point> lastShortage_;
};

// Receivers connect to the link, up to tcpReceiverLimit; each pass polls the
// listener and every receiver at once. A TCP request is every complete
// record a receiver sends, answered to that receiver alone.
class TcpServerTransport final : public Transport {
public:
    TcpServerTransport(SharedState& shared, LinkControl& control)
        : shared_(shared), control_(control) {}

    LinkOpen open() override {
        LinkOpen opened;
        settings_ = copySettings(shared_, control_.timing.settingsWait);
        if (!settings_) return opened;
        opened.interrogated = settings_->interrogated;
        opened.interval = settings_->interval;
        listening_.emplace(settings_->listenOn, control_.timing.tcpListenRetry);
        receivers_.emplace(shared_, control_, settings_->interrogated, true);
        if (listening_->open(Clock::now(), why_)) {
            control_.localPort.store(listening_->local().port);
        } else {
            opened.reason = listenProblem(why_, settings_->listenOn);
            // A port another program holds may be freed: wait for it. Any other
            // failure will not mend itself.
            if (why_ != SocketError::addressInUse) return opened;
            opened.reason += "\nKorvane listens as soon as it is free, trying every " +
                             std::to_string(control_.timing.tcpListenRetry.count() / 1000) + " s.";
            control_.localPort.store(settings_->port);
            control_.health.store(LinkHealth::waitingForPort);
        }
        control_.receivers.store(0);
        opened.up = true;
        return opened;
    }

    // The port is known before the link reports up, the news follows.
    void started() override {
        if (listening_->isOpen()) announce();
    }
    Beat beat() const override { return Beat::steady; }
    bool readyForMore() const override { return receivers_->drained(); }
    bool joinsFrames() const override { return true; }

    Wake waitUntil(Clock::time_point due) override {
        if (control_.linkStopEvent.isSet()) return Wake::stop;
        pass(due);
        // A receiver that has just come gets a frame at once, then the common beat.
        if (now_ >= due) return receivers_->count() > 0 ? Wake::beat : Wake::idleBeat;
        return receivers_->anyFresh() ? Wake::greet : Wake::none;
    }

    void send(const FramePieces& pieces, Wake why) override {
        if (why == Wake::beat)
            receivers_->broadcast(pieces, now_);
        else
            receivers_->greet(pieces, now_);
    }

    bool waitForRequests() override {
        pass(std::nullopt);
        return receivers_->owing();
    }
    void answer(const FramePieces& pieces) override { receivers_->answer(pieces, now_); }
    void noFrame() override {}  // the requests stay owed for the next pass

    void endPass() override {
        receivers_->settle(now_);
        receivers_->sweep([&](const Peer& gone) {
            changed("Receiver " + gone.label +
                    (gone.gone == Gone::stalled
                         ? " stopped reading and was disconnected (its queue was full)"
                     : gone.gone == Gone::faulted ? " was disconnected by the disconnect fault"
                                                  : " disconnected"));
        });
        refusals_.report(control_, settings_->receiverLimit, now_);
    }

    void close() override {
        receivers_->closeAll();
        listening_->close();
    }

private:
    void announce() {
        reportLinkHealth(control_, LinkHealth::working,
                         "Listening on " + endpointText(listening_->local()));
    }
    void changed(const std::string& note) {
        control_.receivers.store(static_cast<int32_t>(receivers_->count()));
        tellNews(control_, note, NewsKind::connection);
    }

    // One wait for sockets, up to `due` (streaming) at most, and what it found.
    void pass(std::optional<Clock::time_point> due) {
        Clock::time_point now = Clock::now();
        if (listening_->retryDue(now) && listening_->open(now, why_)) {
            control_.localPort.store(listening_->local().port);
            announce();
        }
        poll_.clear();
        listening_->watch(poll_, now);
        receivers_->watch(poll_);
        Clock::time_point next = listening_->next(now);
        if (due) next = std::min(next, *due);
        const auto faults = receivers_->faultsDue();
        const bool piece = faults && *faults < next;
        if (piece) next = *faults;
        if (receivers_->behind()) next = now;
        poll_.wait(piece ? sliceBefore(now, next) : sliceUntil(now, next));
        now_ = Clock::now();

        for (int k = 0; k < kAcceptsPerWake; ++k) {
            std::optional<TcpConnection> incoming = listening_->accept(poll_, now_, control_);
            if (!incoming) break;
            std::string label =
                "#" + std::to_string(++connections_) + " " + endpointText(incoming->peer());
            if (receivers_->count() >= settings_->receiverLimit) {
                refusals_.add(label);  // closed as it goes out of scope
                continue;
            }
            receivers_->add(std::move(*incoming), label, now_, static_cast<uint64_t>(connections_));
            changed("Receiver " + label + " connected");
        }
        receivers_->service(poll_, now_);
    }

    SharedState& shared_;
    LinkControl& control_;
    std::optional<TcpSettings> settings_;
    std::optional<Listening> listening_;
    std::optional<Peers> receivers_;
    tcp::Refusals refusals_;
    SocketPoll poll_;
    SocketError why_ = SocketError::other;
    long long connections_ = 0;
    Clock::time_point now_;
};

// Korvane connects to the receiver's server and keeps one connection,
// dialled again with back-off whenever it is lost. To the client, a server
// that ends its stream has closed.
class TcpClientTransport final : public Transport {
public:
    TcpClientTransport(SharedState& shared, LinkControl& control)
        : shared_(shared), control_(control) {}

    LinkOpen open() override {
        LinkOpen opened;
        settings_ = copySettings(shared_, control_.timing.settingsWait);
        if (!settings_ || !isHostName(settings_->host)) {
            if (settings_) opened.reason = "There is no receiver host to connect to.";
            return opened;
        }
        opened.interrogated = settings_->interrogated;
        opened.interval = settings_->interval;
        // Not connected until the first connection stands.
        control_.health.store(LinkHealth::reconnecting);
        dialler_.emplace(settings_->host, settings_->port);
        server_.emplace(shared_, control_, settings_->interrogated, false);
        // A receiver that is there is shown connected at once.
        const Clock::time_point started = Clock::now();
        while (server_->count() == 0 && Clock::now() - started < kFirstConnectWait &&
               !control_.linkStopEvent.isSet()) {
            pass(Clock::now() + kFirstConnectLook);
            endPass();
        }
        opened.up = true;
        return opened;
    }

    Beat beat() const override { return Beat::steady; }

    Wake waitUntil(Clock::time_point due) override {
        if (control_.linkStopEvent.isSet()) return Wake::stop;
        pass(server_->count() > 0 ? due : dialler_->next(Clock::now()));
        // A receiver that has just come (back) gets a frame at once.
        if (std::exchange(connected_, false)) return Wake::beatNow;
        return server_->count() > 0 && now_ >= due ? Wake::beat : Wake::none;
    }
    bool readyForMore() const override { return server_->drained(); }
    bool joinsFrames() const override { return true; }
    void send(const FramePieces& pieces, Wake) override { server_->broadcast(pieces, now_); }

    bool waitForRequests() override {
        const Clock::time_point now = Clock::now();
        pass(server_->count() > 0 ? now + kPollSlice : dialler_->next(now));
        connected_ = false;
        return server_->owing();
    }
    void answer(const FramePieces& pieces) override { server_->answer(pieces, now_); }
    void noFrame() override {}  // the requests stay owed for the next pass

    void endPass() override {
        server_->settle(now_);
        server_->sweep([&](const Peer& gone) {
            retry(gone.gone == Gone::stalled
                      ? dialler_->endpoint() + " stopped reading and was disconnected"
                  : gone.gone == Gone::faulted
                      ? "Disconnected from " + dialler_->endpoint() + " by the disconnect fault"
                      : "Lost the connection to " + dialler_->endpoint(),
                  now_);
        });
    }

    void close() override { server_->closeAll(); }

private:
    // The same failure again is not news; the title still says "reconnecting".
    void retry(const std::string& what, Clock::time_point now) {
        const std::chrono::milliseconds pause = dialler_->retryLater(now);
        if (what == lastFailure_) {
            control_.health.store(LinkHealth::reconnecting);
            return;
        }
        lastFailure_ = what;
        reportLinkHealth(control_, LinkHealth::reconnecting,
                         what + "; trying again in " + tcp::secondsText(pause));
    }

    // One wait for sockets, up to `next` at most, and what it found.
    void pass(Clock::time_point next) {
        Clock::time_point now = Clock::now();
        std::string failure;
        if (server_->count() == 0) dialler_->advance(now, failure);
        if (!failure.empty()) retry(failure, now);

        poll_.clear();
        dialler_->watch(poll_);
        server_->watch(poll_);
        if (server_->count() == 0) next = std::min(next, dialler_->next(now));
        const auto faults = server_->faultsDue();
        const bool piece = faults && *faults < next;
        if (piece) next = *faults;
        if (server_->behind()) next = now;
        poll_.wait(piece ? sliceBefore(now, next) : sliceUntil(now, next));
        now_ = Clock::now();

        failure.clear();
        if (std::optional<TcpConnection> made = dialler_->finish(poll_, now_, failure)) {
            server_->add(std::move(*made), dialler_->endpoint(), now_,
                         static_cast<uint64_t>(++connections_));
            lastFailure_.clear();
            reportLinkHealth(control_, LinkHealth::working, "Connected to " + dialler_->endpoint());
            connected_ = true;
        } else if (!failure.empty()) {
            retry(failure, now_);
        }
        server_->service(poll_, now_);
    }

    SharedState& shared_;
    LinkControl& control_;
    std::optional<TcpSettings> settings_;
    std::optional<tcp::Dialler> dialler_;
    std::optional<Peers> server_;
    SocketPoll poll_;
    std::string lastFailure_;
    bool connected_ = false;  // a connection was made in the last pass
    long long connections_ = 0;
    Clock::time_point now_;
};

}  // namespace

std::string tcpEndpointText(const LinkSettings& link) {
    const std::string port = ":" + std::to_string(link.tcpPort);
    if (link.tcpRole == kTcpClient) return link.tcpHost + port;
    return peerText(link.tcpListenAddress) + port;
}

void tcpServerLink(SharedState& shared, LinkControl& control) {
    TcpServerTransport server(shared, control);
    runLink(shared, control, server);
}

void tcpClientLink(SharedState& shared, LinkControl& control) {
    TcpClientTransport client(shared, control);
    runLink(shared, control, client);
}

}  // namespace korvane
