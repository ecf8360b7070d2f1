#include "simulation/slider_mapping.h"

#include <gtest/gtest.h>

#include <limits>

namespace korvane {
namespace {

constexpr int32_t kOutOfRange = std::numeric_limits<int32_t>::min();

TEST(SliderMapping, ValueToPositionTruncatesBeforeDividing) {
    struct Case {
        const char* legend;
        float scale, offset, value;
        int32_t expected;
    };
    const Case cases[] = {
        {"gas 0..100, value 55.5", -1.0f, 100.0f, 55.5f, 44},
        {"small scale moves in steps of 1/|scale|", -0.25f, 10.0f, 8.5f, 4},
        {"top of the range", -1.0f, 100.0f, 100.0f, 0},
        {"bottom of the range", -1.0f, 100.0f, 0.0f, 100},
        {"aux 10..20, value 15.0", -0.1f, 20.0f, 15.0f, 49},
        {"zero scale", 0.0f, 10.0f, 5.0f, kOutOfRange},
        {"zero scale at the offset (0/0)", 0.0f, 10.0f, 10.0f, kOutOfRange},
        {"quotient beyond 32 bits", -1e-6f, 0.0f, -1e6f, kOutOfRange},
        {"difference beyond 32 bits", -1.0f, 0.0f, -1e12f, kOutOfRange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(valueToPosition(c.scale, c.offset, c.value), c.expected);
    }
}

TEST(SliderMapping, PositionToValueIsLinear) {
    EXPECT_FLOAT_EQ(positionToValue(-1.0f, 100.0f, 44), 56.0f);
    EXPECT_FLOAT_EQ(positionToValue(-1.0f, 100.0f, 0), 100.0f);
    EXPECT_FLOAT_EQ(positionToValue(-0.1f, 20.0f, 100), 10.0f);
}

}  // namespace
}  // namespace korvane
