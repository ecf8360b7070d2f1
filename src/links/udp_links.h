#pragma once

#include <cstdint>

namespace korvane {

struct SharedState;
struct LinkControl;

inline constexpr uint16_t kWitsUdpPort = 5001;

// Link thread bodies; startLink runs one of them on a detached thread.
void udpStreamingLink(SharedState& shared, LinkControl& control);
void udpInterrogatedLink(SharedState& shared, LinkControl& control);

// Stores the number after the first "\r\n0140" in text; 1 if it stored one.
int parseGasItem(const char* text, float& out);

}  // namespace korvane
