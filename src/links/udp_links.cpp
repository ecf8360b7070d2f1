#include "links/udp_links.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "links/fault_lane.h"
#include "links/link_control.h"
#include "links/link_runner.h"
#include "links/peer_text.h"
#include "links/transport.h"
#include "platform/udp_socket.h"
#include "state/shared_state.h"
#include "text/number_text.h"

namespace korvane {

namespace {

using namespace std::chrono_literals;

// At most this many bytes are taken from one datagram; a longer datagram is
// not a request but noise, and is dropped whole.
constexpr std::size_t kReceiveBufferSize = 250;
// The item the receiver reports its gas reading under.
constexpr std::string_view kGasItemKey = "\r\n0140";
// How long the interrogated link waits for a datagram before it looks at the
// stop event again: well inside startLink's stop time-out, long enough that
// an idle link costs next to no processor time.
constexpr auto kReceiveSlice = 50ms;

// A datagram that counts: 1 to kReceiveBufferSize bytes. Empty ones carry
// nothing; longer ones were cut short and count as a failed receive.
bool counts(const Datagram& datagram) {
    return datagram.length > 0 && datagram.length <= static_cast<long>(kReceiveBufferSize);
}

// Takes the gas reading from a datagram held as NUL-terminated text in buffer.
void takeGas(SharedState& shared, LinkControl& control, char* buffer, long length) {
    buffer[length] = '\0';
    float gas = 0.0f;
    const bool found = parseGasItem(buffer, gas) != 0;
    if (found) shared.sim.receivedGas.store(gas);
    noteReceived(control, std::string_view(buffer, static_cast<std::size_t>(length)));
    if (found) noteGas(control, gas);
}

// The reason a bind failed, in the operator's words; empty when there is
// nothing useful to say.
std::string portProblem(SocketError error) {
    const std::string port = "Port " + std::to_string(kWitsUdpPort);
    switch (error) {
        case SocketError::addressInUse:
            return port + " is already in use by another program.";
        case SocketError::accessDenied:
            return port + " may not be used by this program.";
        case SocketError::none:
        case SocketError::outOfDescriptors:
        case SocketError::other:
            break;
    }
    return {};
}

// One datagram per frame piece. Streaming, on port 0, sends to the settings'
// peer until someone answers, and takes at most one datagram per frame sent;
// interrogated, on port 5001, takes any datagram as a request and answers its
// sender.
class UdpTransport final : public Transport {
public:
    UdpTransport(SharedState& shared, LinkControl& control, bool interrogated)
        : shared_(shared), control_(control), interrogated_(interrogated) {}

    LinkOpen open() override {
        LinkOpen opened;
        opened.interrogated = interrogated_;
        if (interrogated_) {
            socket_ = UdpSocket::open(17);
            // A link that cannot have port 5001 would report itself up and then
            // never hear a request; say so at once instead, and why.
            const SocketResult bound =
                socket_ ? socket_->bind(Ipv4Address{{0, 0, 0, 0}, kWitsUdpPort}) : SocketResult{};
            if (socket_ && !bound) {
                socket_->close();
                socket_.reset();
                opened.reason = portProblem(bound.error);
            }
        } else {
            int32_t octets[4] = {0, 0, 0, 0};
            const bool copied = withData(shared_.dataMutex, control_.timing.settingsWait, [&] {
                std::memcpy(octets, shared_.link.ipAddress, sizeof octets);
                opened.interval = shared_.link.transmitInterval;
            });
            if (copied) peer_ = streamingPeer(octets);
            if (peer_) socket_ = UdpSocket::open(0);
        }
        opened.up = socket_.has_value();
        return opened;
    }

    Wake waitUntil(LinkClock::time_point due) override {
        const auto laneDue = lane_.due();
        const auto pause = laneDue && *laneDue < due ? pauseBefore(*laneDue) : pauseUntil(due);
        if (control_.linkStopEvent.waitFor(pause)) return Wake::stop;
        if (!laneDue) return Wake::beat;
        flushLane(*peer_);
        return LinkClock::now() >= due ? Wake::beat : Wake::none;
    }

    void send(const FramePieces& pieces, Wake) override {
        if (lane_.on())
            lane_.pass(pieces, LinkClock::now(), {}, deliverTo(*peer_));
        else
            for (const std::string_view piece : pieces) sendPiece(piece, *peer_);
        // At most one datagram per frame; the rest wait for later frames.
        const Datagram datagram = socket_->receiveFrom(receiveBuffer_, kReceiveBufferSize);
        if (counts(datagram)) {
            // Whoever answered becomes the peer, address and port.
            *peer_ = datagram.sender;
            takeGas(shared_, control_, receiveBuffer_, datagram.length);
        }
    }

    bool waitForRequests() override {
        const auto laneDue = lane_.due();
        const bool readable = socket_->waitReadable(
            laneDue ? std::min<std::chrono::milliseconds>(kReceiveSlice, pauseBefore(*laneDue))
                    : kReceiveSlice);
        if (laneDue) flushLane(asker_);
        if (!readable) return false;
        const Datagram datagram = socket_->receiveFrom(receiveBuffer_, kReceiveBufferSize);
        // Any datagram is a request; its content matters only for the gas value.
        if (!counts(datagram)) return false;
        takeGas(shared_, control_, receiveBuffer_, datagram.length);
        asker_ = datagram.sender;
        return true;
    }

    void answer(const FramePieces& pieces) override {
        if (lane_.on())
            lane_.pass(pieces, LinkClock::now(), {}, deliverTo(asker_));
        else
            for (const std::string_view piece : pieces) sendPiece(piece, asker_);
    }
    void noFrame() override {}  // that datagram gets no answer

    void close() override { socket_->close(); }

private:
    void sendPiece(std::string_view piece, const Ipv4Address& to, std::string_view mark = {}) {
        // A failed send is not reported; the next frame is tried as usual.
        if (socket_->sendTo(piece.data(), piece.size(), to) == static_cast<long>(piece.size()))
            noteSent(control_, piece, {}, mark);
    }

    // Faults: each piece a datagram of its own. What leaves later goes to
    // whoever is the peer (or asked last) by then.
    LaneDeliverer deliverTo(const Ipv4Address& to) {
        return [this, &to](std::string_view bytes, std::string_view mark) {
            sendPiece(bytes, to, mark);
        };
    }
    void flushLane(const Ipv4Address& to) { lane_.flush(LinkClock::now(), deliverTo(to)); }

    // Up to a piece's time, never past it: the waits count whole milliseconds,
    // and a piece is to leave within a millisecond or two of its time.
    static std::chrono::milliseconds pauseBefore(LinkClock::time_point until) {
        const auto now = LinkClock::now();
        return until > now ? std::chrono::floor<std::chrono::milliseconds>(until - now)
                           : std::chrono::milliseconds{0};
    }
    static std::chrono::milliseconds pauseUntil(LinkClock::time_point until) {
        const auto now = LinkClock::now();
        return until > now ? std::chrono::ceil<std::chrono::milliseconds>(until - now)
                           : std::chrono::milliseconds{0};
    }

    SharedState& shared_;
    LinkControl& control_;
    bool interrogated_;
    std::optional<UdpSocket> socket_;
    std::optional<Ipv4Address> peer_;  // streaming: where frames go
    Ipv4Address asker_;                // interrogated: who asked last
    FaultLane lane_{control_, 0};
    char receiveBuffer_[kReceiveBufferSize + 1];
};

}  // namespace

std::optional<Ipv4Address> streamingPeer(const int32_t (&octets)[4]) {
    return parseAddress(peerText(octets), kWitsUdpPort);
}

int parseGasItem(const char* text, float& out) {
    if (text == nullptr || *text == '\0') return 0;
    const char* match = std::strstr(text, kGasItemKey.data());
    if (match == nullptr) return 0;
    const std::optional<float> value = scanFloat(match + kGasItemKey.size());
    // "inf", "nan" and overflowing numbers are no gas reading.
    if (!value || !std::isfinite(*value)) return 0;
    out = *value;
    return 1;
}

void udpStreamingLink(SharedState& shared, LinkControl& control) {
    UdpTransport udp(shared, control, false);
    runLink(shared, control, udp);
}

void udpInterrogatedLink(SharedState& shared, LinkControl& control) {
    UdpTransport udp(shared, control, true);
    runLink(shared, control, udp);
}

}  // namespace korvane
