#include "links/udp_links.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "links/link_control.h"
#include "links/transmit_pause.h"
#include "platform/udp_socket.h"
#include "simulation/shared_state.h"
#include "text/number_text.h"
#include "wits/frame_builder.h"

namespace korvane {

namespace {

using namespace std::chrono_literals;

// At most this many bytes are taken from one datagram; a longer datagram is
// not a request but noise, and is dropped whole.
constexpr std::size_t kReceiveBufferSize = 250;
// The item the receiver reports its gas reading under.
constexpr std::string_view kGasItemKey = "\r\n0140";
// How long the interrogated link waits for a datagram before it looks at the
// stop event again: short enough for startLink's 150 ms stop budget, long
// enough that an idle link costs next to no processor time.
constexpr auto kReceiveSlice = 50ms;
// The settings are copied once at start-up; the main thread may be holding
// the data mutex for a dialog, and startLink gives a UDP link 10 s to come up.
constexpr auto kSettingsWait = 5000ms;

// A datagram that counts: 1 to kReceiveBufferSize bytes. Empty ones carry
// nothing; longer ones were cut short and count as a failed receive.
bool counts(const Datagram& datagram) {
    return datagram.length > 0 && datagram.length <= static_cast<long>(kReceiveBufferSize);
}

// Takes the gas reading from a datagram held as NUL-terminated text in buffer.
void takeGas(SharedState& shared, LinkControl& control, char* buffer, long length) {
    buffer[length] = '\0';
    float gas = 0.0f;
    if (parseGasItem(buffer, gas)) shared.sim.receivedGas.store(gas);
    noteReceived(control, std::string_view(buffer, static_cast<std::size_t>(length)));
}

// Builds a frame into frame (kFrameBufferSize bytes); its length, or nothing
// when the data mutex could not be had in time.
std::optional<std::size_t> frameNow(SharedState& shared, char* frame) {
    std::size_t length = 0;
    if (!withData(shared.dataMutex, kDataWait, [&] { length = buildFrame(shared, frame); }))
        return std::nullopt;
    return length;
}

void sendFrame(UdpSocket& socket, LinkControl& control, const char* frame, std::size_t length,
               const Ipv4Address& to) {
    // A failed send is not reported; the next frame is tried as usual.
    if (socket.sendTo(frame, length, to) == static_cast<long>(length))
        noteSent(control, std::string_view(frame, length));
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

}  // namespace

std::string peerText(const int32_t (&octets)[4]) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}

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
    int32_t octets[4] = {0, 0, 0, 0};
    float interval = 3.0f;
    const bool copied = withData(shared.dataMutex, kSettingsWait, [&] {
        std::memcpy(octets, shared.link.ipAddress, sizeof octets);
        interval = shared.link.transmitInterval;
    });
    std::optional<Ipv4Address> peer;
    if (copied) peer = streamingPeer(octets);
    std::optional<UdpSocket> socket;
    if (peer) socket = UdpSocket::open(0);
    if (!socket) {
        reportLinkStatus(control, kLinkDown);
        return;
    }
    reportLinkStatus(control, kLinkUp);

    const auto frame = std::make_unique<char[]>(kFrameBufferSize);
    char receiveBuffer[kReceiveBufferSize + 1];
    for (;;) {
        // Read afresh before every pause so a new interval applies from the
        // next frame; while the mutex is busy the last value stands.
        withData(shared.dataMutex, kDataWait, [&] { interval = shared.link.transmitInterval; });
        if (control.linkStopEvent.waitFor(transmitPause(interval))) break;
        const std::optional<std::size_t> length = frameNow(shared, frame.get());
        if (!length) continue;  // neither send nor receive this time
        sendFrame(*socket, control, frame.get(), *length, *peer);
        // At most one datagram per frame; the rest wait for later frames.
        const Datagram datagram = socket->receiveFrom(receiveBuffer, kReceiveBufferSize);
        if (counts(datagram)) {
            // Whoever answered becomes the peer, address and port.
            *peer = datagram.sender;
            takeGas(shared, control, receiveBuffer, datagram.length);
        }
    }
    socket->close();
    reportLinkStatus(control, kLinkDown);
}

void udpInterrogatedLink(SharedState& shared, LinkControl& control) {
    std::optional<UdpSocket> socket = UdpSocket::open(17);
    // A link that cannot have port 5001 would report itself up and then never
    // hear a request; say so at once instead, and why.
    const SocketResult bound =
        socket ? socket->bind(Ipv4Address{{0, 0, 0, 0}, kWitsUdpPort}) : SocketResult{};
    if (!socket || !bound) {
        if (socket) socket->close();
        control.failureReason = portProblem(bound.error);
        reportLinkStatus(control, kLinkDown);
        return;
    }
    reportLinkStatus(control, kLinkUp);

    const auto frame = std::make_unique<char[]>(kFrameBufferSize);
    char receiveBuffer[kReceiveBufferSize + 1];
    for (;;) {
        if (socket->waitReadable(kReceiveSlice)) {
            const Datagram datagram = socket->receiveFrom(receiveBuffer, kReceiveBufferSize);
            // Any datagram is a request; its content matters only for the gas value.
            if (counts(datagram)) {
                takeGas(shared, control, receiveBuffer, datagram.length);
                if (const std::optional<std::size_t> length = frameNow(shared, frame.get()))
                    sendFrame(*socket, control, frame.get(), *length, datagram.sender);
            }
        }
        if (control.linkStopEvent.isSet()) break;
    }
    socket->close();
    reportLinkStatus(control, kLinkDown);
}

}  // namespace korvane
