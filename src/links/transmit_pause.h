#pragma once

#include <chrono>

namespace korvane {

// The Setup dialog never stores less than 0.5 s.
inline constexpr auto kShortestPause = std::chrono::milliseconds{500};

// The streaming links' pause between frames: transmitInterval seconds,
// truncated toward zero to whole milliseconds (2.9999 s gives 2999 ms), and
// never less than `shortest` (LinkTiming's shortestPause).
std::chrono::milliseconds transmitPause(float transmitInterval,
                                        std::chrono::milliseconds shortest = kShortestPause);

}  // namespace korvane
