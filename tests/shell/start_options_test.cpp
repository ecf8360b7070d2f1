#include "shell/start_options.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(StartOptionsTest, ReadsItsOwnOptionsLeavesQtsAndNamesAMalformedOne) {
    const struct {
        std::vector<std::string> arguments;
        const char* error;  // "" when read
    } cases[] = {
        {{"-platform", "offscreen", "--control", "stdin", "--clock-scale=60"}, ""},
        {{"--control=10.0.0.2:5002", "--scenario", "well.scn"}, ""},
        {{"--control", "localhost:5002"}, "--control needs"},
        {{"--control=70000"}, "--control needs"},
        {{"--control"}, "--control needs"},
        {{"--scenario="}, "--scenario needs"},
        {{"--clock-scale", "0.5"}, "--clock-scale needs"},
        {{"--clock-scale=3601"}, "--clock-scale needs"},
        {{"--clock-scale", "60x"}, "--clock-scale needs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const ParsedStartOptions parsed = parseStartOptions(c.arguments);
        EXPECT_EQ(parsed.options.has_value(), *c.error == '\0');
        EXPECT_TRUE(parsed.error.starts_with(c.error)) << parsed.error;
    }
    const StartOptions first = *parseStartOptions(cases[0].arguments).options;
    EXPECT_TRUE(first.control->standardInput);
    EXPECT_EQ(first.clockScale, 60.0);
    const StartOptions second = *parseStartOptions(cases[1].arguments).options;
    EXPECT_EQ(second.control->address[0], 10);
    EXPECT_EQ(second.control->port, 5002);
    EXPECT_EQ(second.scenario, "well.scn");
}

}  // namespace
}  // namespace korvane
