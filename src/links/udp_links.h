#pragma once

#include <cstdint>
#include <optional>

#include "platform/udp_socket.h"

namespace korvane {

struct SharedState;
struct LinkControl;

inline constexpr uint16_t kWitsUdpPort = 5001;

// Link thread bodies; startLink runs one of them on a detached thread.
void udpStreamingLink(SharedState& shared, LinkControl& control);
void udpInterrogatedLink(SharedState& shared, LinkControl& control);

// Stores the number after the first "\r\n0140" in text; 1 if it stored one.
int parseGasItem(const char* text, float& out);

// Where the streaming link sends until a peer answers: peerText's address,
// port 5001. Nothing when they form no IPv4
// address (an octet outside 0..255).
std::optional<Ipv4Address> streamingPeer(const int32_t (&octets)[4]);

}  // namespace korvane
