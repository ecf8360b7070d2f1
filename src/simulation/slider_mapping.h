#pragma once

#include <cstdint>

namespace korvane {

// A vertical 0..100 slider maps to a value range with
// scale = (lower - upper) / 100 and offset = upper, so position 0 (the top)
// is the upper bound.
float positionToValue(float scale, float offset, int32_t position);

// Truncates value - offset to an integer before dividing, so with |scale| < 1
// the position moves in steps of 1/|scale|. A result that is not finite or does
// not fit in 32 bits gives INT32_MIN, which the sliders clamp to 0.
int32_t valueToPosition(float scale, float offset, float value);

}  // namespace korvane
