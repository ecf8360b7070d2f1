#include "headless/report_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;

TEST(ReportLines, TheOperatorReadsTitlesFirstOnceEachAndFloodsSummedUp) {
    ReportLines::Clock::time_point now{};
    std::vector<std::string> lines;
    ReportLines report([&](std::string line) { lines.push_back(std::move(line)); },
                       [&] { return now; });
    const std::string tcp = "Korvane (Streaming TCP, 0 receivers)";

    report.news("Connected to rig:5001", NewsKind::health, "Korvane (Streaming TCP)");
    EXPECT_TRUE(lines.empty()) << "news waits for the first title";
    report.title("Korvane (Streaming TCP)");
    report.news("Cannot connect to rig:5001\x1b[2J", NewsKind::health,
                "Korvane (Streaming TCP, reconnecting)");
    report.news("", NewsKind::health, "Korvane (Streaming TCP, reconnecting)");
    EXPECT_EQ(lines, (std::vector<std::string>{"Korvane (Streaming TCP)\n",
                                               "Korvane: Connected to rig:5001\n",
                                               "Korvane: Cannot connect to rig:5001\\x1b[2J\n",
                                               "Korvane (Streaming TCP, reconnecting)\n"}));

    lines.clear();
    now += 5s;
    for (int i = 1; i <= 2324; ++i)
        report.news("Receiver #" + std::to_string(i) + " connected", NewsKind::connection,
                    "Korvane (Streaming TCP, " + std::to_string(i) + " receivers)");
    ASSERT_EQ(lines.size(), 20u) << "ten notes, each with its title";
    EXPECT_EQ(lines[18], "Korvane: Receiver #10 connected\n");
    report.tick();
    EXPECT_EQ(lines.size(), 20u) << "the second is not over";
    now += 1s;
    report.tick();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 20, lines.end()),
              (std::vector<std::string>{
                  "Korvane: \xe2\x80\xa6 2,314 more connections and disconnections in the last "
                  "second\n",
                  "Korvane (Streaming TCP, 2324 receivers)\n"}));
}

}  // namespace
}  // namespace korvane
