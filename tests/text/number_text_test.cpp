#include "text/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace korvane {
namespace {

TEST(NumberText, ScanFloatReadsLikeScanf) {
    struct Case {
        const char* legend;
        const char* text;
        std::optional<float> expected;
    };
    const Case cases[] = {
        {"plain", "5", 5.0f},
        {"blanks around", "  7.5 sec", 7.5f},
        {"trailing junk ignored", "12abc", 12.0f},
        {"sign", "-1.0", -1.0f},
        {"plus sign", "+0.35", 0.35f},
        {"exponent", "1e2", 100.0f},
        {"leading point", ".5", 0.5f},
        {"letters only", "abc", std::nullopt},
        {"empty", "", std::nullopt},
        {"blanks only", "   ", std::nullopt},
        {"sign only", "-", std::nullopt},
        {"two signs", "+-1", std::nullopt},
        {"comma is not a decimal point", "1,5", 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(scanFloat(c.text), c.expected);
    }
}

// Beyond a float's range scanf gives infinity or zero by the number's size,
// whatever way the text writes it.
TEST(NumberText, ScanFloatSaturatesByMagnitudeNotByNotation) {
    const float inf = HUGE_VALF;
    const std::string zeros46(46, '0');
    const std::string zeros400(400, '0');
    struct Case {
        const char* legend;
        std::string text;
        float expected;
    };
    const Case cases[] = {
        {"big exponent", "1e99", inf},
        {"small exponent", "1e-99", 0.0f},
        {"just past the largest float", "1e39", inf},
        {"negative and huge", "-1e39", -inf},
        {"below the smallest subnormal", "1e-50", 0.0f},
        {"negative and tiny", "-1e-50", -0.0f},
        {"tiny written with zeros", "0." + zeros46 + "1", 0.0f},
        {"huge despite a negative exponent", "1" + std::string(49, '0') + "e-5", inf},
        {"beyond a double, written with zeros", "0." + zeros400 + "1", 0.0f},
        {"beyond a double, many digits and e-", "1" + zeros400 + "e-5", inf},
        {"beyond a double, tiny despite many digits", "1" + zeros400 + "e-900", 0.0f},
        {"exponent longer than any integer", "1e99999999999999999999999", inf},
        {"negative exponent longer than any integer", "1e-99999999999999999999999", 0.0f},
        {"leading zeros before a huge number", "000" + std::string("1") + zeros400, inf},
        {"largest float still fits", "3.4028234e38", 3.4028234e38f},
        {"smallest subnormal still fits", "1.5e-45", 1.4e-45f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        std::size_t consumed = 0;
        const std::optional<float> value = scanFloat(c.text, &consumed);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, c.expected);
        EXPECT_EQ(std::signbit(*value), std::signbit(c.expected));
        EXPECT_EQ(consumed, c.text.size());
    }
}

TEST(NumberText, ScanIntAndFormatFixed) {
    EXPECT_EQ(scanInt(" 7 "), 7);
    EXPECT_EQ(scanInt("12abc"), 12);
    EXPECT_EQ(scanInt(""), std::nullopt);
    EXPECT_EQ(scanInt("x1"), std::nullopt);
    EXPECT_EQ(scanInt("99999999999"), std::nullopt);
    EXPECT_EQ(scanInt("--5"), std::nullopt) << "one sign at most, as scanf";
    EXPECT_EQ(scanInt("+-5"), std::nullopt) << "one sign at most, as scanf";
    EXPECT_EQ(formatFixed(0.1, 2, 4), "0.10");
    EXPECT_EQ(formatFixed(5.0, 2, 6), "  5.00");
    EXPECT_EQ(formatFixed(-3.5, 1), "-3.5");
    EXPECT_EQ(formatFixed(1234.56f, 4), "1234.5601");  // the float's binary value shows
}

TEST(NumberText, IgnoresTheProcessLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale: de_DE.UTF-8 (Linux) or German_Germany.1252 (Windows)";
    EXPECT_EQ(formatFixed(1500.0, 4), "1500.0000");
    EXPECT_EQ(scanFloat("2.5"), 2.5f);
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace korvane
