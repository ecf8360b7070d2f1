#include "links/transmit_pause.h"

#include <cmath>

namespace korvane {

namespace {

// The Setup dialog never stores less than 0.5 s; a smaller, negative or
// non-numeric interval from a damaged settings file must not turn the pause
// into a flood of frames.
constexpr auto kShortestPause = std::chrono::milliseconds{500};
constexpr double kLongestPauseMs = 2147483647.0;  // a 32-bit count of milliseconds

}  // namespace

std::chrono::milliseconds transmitPause(float transmitInterval) {
    const double ms = std::trunc(static_cast<double>(transmitInterval) * 1000.0);
    if (!(ms >= static_cast<double>(kShortestPause.count()))) return kShortestPause;
    return std::chrono::milliseconds{static_cast<long long>(std::fmin(ms, kLongestPauseMs))};
}

}  // namespace korvane
