#include "simulation/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

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
    EXPECT_TRUE(std::isinf(*scanFloat("1e99")));
    EXPECT_EQ(*scanFloat("1e-99"), 0.0f);
}

TEST(NumberText, ScanIntAndFormatFixed) {
    EXPECT_EQ(scanInt(" 7 "), 7);
    EXPECT_EQ(scanInt("12abc"), 12);
    EXPECT_EQ(scanInt(""), std::nullopt);
    EXPECT_EQ(scanInt("x1"), std::nullopt);
    EXPECT_EQ(scanInt("99999999999"), std::nullopt);
    EXPECT_EQ(formatFixed(0.1, 2, 4), "0.10");
    EXPECT_EQ(formatFixed(5.0, 2, 6), "  5.00");
    EXPECT_EQ(formatFixed(-3.5, 1), "-3.5");
    EXPECT_EQ(formatFixed(1234.56f, 4), "1234.5601");  // the float's binary value shows
}

TEST(NumberText, IgnoresTheProcessLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    EXPECT_EQ(formatFixed(1500.0, 4), "1500.0000");
    EXPECT_EQ(scanFloat("2.5"), 2.5f);
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace korvane
