#include "simulation/slider_mapping.h"

#include <cmath>
#include <limits>

namespace korvane {

namespace {

constexpr int32_t kOutOfRange = std::numeric_limits<int32_t>::min();

// Truncation toward zero as the x86 conversion does it: anything that does not
// fit (NaN and infinities included) becomes INT32_MIN.
int32_t truncateToInt32(double x) {
    if (!std::isfinite(x)) return kOutOfRange;
    const double t = std::trunc(x);
    if (t < -2147483648.0 || t > 2147483647.0) return kOutOfRange;
    return static_cast<int32_t>(t);
}

}  // namespace

float positionToValue(float scale, float offset, int32_t position) {
    return static_cast<float>(static_cast<double>(position) * scale + offset);
}

int32_t valueToPosition(float scale, float offset, float value) {
    const int32_t d = truncateToInt32(static_cast<double>(value) - offset);
    if (d == kOutOfRange) return kOutOfRange;
    return truncateToInt32(static_cast<double>(d) / scale);
}

}  // namespace korvane
