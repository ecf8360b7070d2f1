#include "links/transmit_pause.h"

#include <cmath>

namespace korvane {

namespace {

constexpr double kLongestPauseMs = 2147483647.0;  // a 32-bit count of milliseconds

}  // namespace

std::chrono::milliseconds transmitPause(float transmitInterval,
                                        std::chrono::milliseconds shortest) {
    // A smaller, negative or non-numeric interval from a damaged settings
    // file must not turn the pause into a flood of frames.
    const double ms = std::trunc(static_cast<double>(transmitInterval) * 1000.0);
    if (!(ms >= static_cast<double>(shortest.count()))) return shortest;
    return std::chrono::milliseconds{static_cast<long long>(std::fmin(ms, kLongestPauseMs))};
}

}  // namespace korvane
