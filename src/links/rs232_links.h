#pragma once

#include <chrono>

namespace korvane {

struct SharedState;
struct LinkControl;

// Link thread bodies; startLink runs one of them on a detached thread.
void rs232StreamingLink(SharedState& shared, LinkControl& control);
void rs232InterrogatedLink(SharedState& shared, LinkControl& control);

// The streaming link's pause between frames: transmitInterval seconds as whole
// milliseconds, truncated toward zero (2.9999 s gives 2999 ms).
std::chrono::milliseconds transmitPause(float transmitInterval);

}  // namespace korvane
