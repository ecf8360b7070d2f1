// A recording as a frame source, on a clock the test sets: what each beat,
// greeting and request gets, and when the next beat is due.
#include "links/recorded_source.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "file_fixtures.h"
#include "replay/recording_lines.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

LinkClock::time_point testNow{};
LinkClock::time_point fakeNow() { return testNow; }

struct Step {
    int atMs;  // on the test's clock, from the first ask
    Ask ask;
    const char* got;  // nullptr: nothing
    int dueMs;        // afterwards; -1: the transmit interval's beat
};
constexpr int kNotAsked = -2;

TEST(RecordedSource, PlaysOnItsScheduleAtEverySpeed) {
    const std::string timed = frameLine(0, "A") + frameLine(1, "B") + frameLine(2, "C");
    const std::string untimed = "&&\r\nA\r\n!!\r\n&&\r\nB\r\n!!\r\n";
    const Ask beat = Ask::beat, greet = Ask::greet, request = Ask::request, burst = Ask::burst;
    struct Case {
        const char* legend;
        std::string content;
        PlayOptions options;
        std::vector<Step> steps;
        bool ended;
    };
    const std::string a = "&&\r\nA\r\n!!\r\n";
    const Case cases[] = {
        {"as recorded, then the end",
         timed,
         {},
         {{0, greet, nullptr, 0},
          {0, beat, "A", 1000},
          {1000, beat, "B", 2000},
          {1200, greet, "B", 2000},
          {2000, beat, "C", 2000},
          {2000, beat, nullptr, -1}},
         true},
        {"twice as fast, a late beat passes over what fell due",
         timed,
         {2.0},
         {{0, beat, "A", 500}, {1100, beat, "C", 1100}},
         false},
        {"from an offset, looping after the last gap",
         timed,
         {1.0, false, true, 1.0},
         {{0, beat, "B", 1000}, {1000, beat, "C", 2000}, {2000, beat, "A", 3000}},
         false},
        {"as fast as taken",
         timed,
         {1.0, true},
         {{0, beat, "A", 0}, {0, beat, "B", 0}, {0, beat, "C", 0}, {0, beat, nullptr, -1}},
         true},
        {"as fast as taken on a byte stream, frames joined in one write",
         timed,
         {1.0, true},
         {{0, burst, "ABC", 0}, {0, burst, nullptr, -1}},
         true},
        {"requests get the frame of the position, which ends after the last gap",
         timed,
         {},
         {{0, request, "A", kNotAsked},
          {1500, request, "B", kNotAsked},
          {2999, request, "C", kNotAsked},
          {3000, request, "C", kNotAsked}},
         true},
        {"untimed, a frame a beat or a request",
         untimed,
         {},
         {{0, beat, a.c_str(), -1},
          {9000, request, "&&\r\nB\r\n!!\r\n", kNotAsked},
          {9000, request, nullptr, kNotAsked}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        testing::TempFolder folder;
        testing::writeText(folder / "r", c.content);
        auto opened = RecordingReader::open((folder / "r").string());
        ASSERT_TRUE(std::holds_alternative<RecordingReader>(opened));
        const LinkClock::time_point began = LinkClock::now();
        testNow = began;
        RecordedSource source(std::move(std::get<RecordingReader>(opened)), "r", c.options,
                              &fakeNow);
        int ends = 0;
        source.onEnded = [&] { ++ends; };
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.atMs);
            testNow = began + std::chrono::milliseconds(step.atMs);
            FramePieces pieces;
            const bool gave = source.framesNow(pieces, step.ask);
            EXPECT_EQ(gave, step.got != nullptr);
            if (gave && step.got) {
                EXPECT_EQ(std::string(pieces.at(0)), step.got);
            }
            if (step.dueMs == kNotAsked) continue;
            const auto due = source.due();
            EXPECT_EQ(due.has_value(), step.dueMs >= 0);
            if (due && step.dueMs >= 0) {
                EXPECT_EQ(
                    std::chrono::duration_cast<std::chrono::milliseconds>(*due - began).count(),
                    step.dueMs);
            }
        }
        EXPECT_EQ(ends, c.ended ? 1 : 0);
        EXPECT_EQ(source.ended(), c.ended);
    }
}

}  // namespace
}  // namespace korvane
