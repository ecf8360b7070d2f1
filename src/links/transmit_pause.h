#pragma once

#include <chrono>

namespace korvane {

// The streaming links' pause between frames: transmitInterval seconds,
// truncated toward zero to whole milliseconds (2.9999 s gives 2999 ms).
std::chrono::milliseconds transmitPause(float transmitInterval);

}  // namespace korvane
