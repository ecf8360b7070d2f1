#include "control/scenario.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "file_fixtures.h"

namespace korvane {
namespace {

std::string checker(std::string_view command) {
    return command.starts_with("set rpo") ? "set: no value named \"rpo\"" : "";
}

const std::string kExample =
    "# a connection at 10 minutes, then a gas peak\n"
    "at 0:00        set rop 0.5\n"
    "at 10:00       set pump1.on 0 ; set pump2.on 0 ; set rop 0\n"
    "at 12:30       set pump1.on 1 ; set pump2.on 1 ; set rop 0.5\n"
    "ramp 15:00..20:00 gas.value 0 -> 800\n"
    "every 30s      send\n"
    "at 1:00:00     quit\n";

using Commands = std::vector<std::string>;

// The lines read as "LINE:KIND START INTERVAL END [COMMAND]... NAME FROM TO", one "|" apart.
std::string described(const std::vector<ScenarioLine>& lines) {
    std::string text;
    for (const ScenarioLine& l : lines) {
        text += (text.empty() ? "" : "|") + std::to_string(l.lineNumber) + ":" +
                std::to_string(static_cast<int>(l.kind)) + " " + std::to_string(l.startMs) + " " +
                std::to_string(l.intervalMs) + " " + std::to_string(l.endMs);
        for (const std::string& command : l.commands) text += " [" + command + "]";
        if (l.kind == ScenarioLine::Kind::ramp)
            text += " " + l.name + " " + std::to_string(l.from) + " " + std::to_string(l.to);
    }
    return text;
}

TEST(ScenarioRead, EachFormOfLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"set rop 0.5", "1:0 0 0 0 [set rop 0.5]"},
        {"  at\t1:30 a ;b;  c  d ", "1:0 90000 0 0 [a] [b] [c d]"},
        {"at 1:02:03 x\nat 100:00 y\nat 0.05s z",
         "1:0 3723000 0 0 [x]|2:0 6000000 0 0 [y]|3:0 50 0 0 [z]"},
        {"every 90s send", "1:1 0 90000 0 [send]"},
        {"ramp 15:00..20:00 g 0 -> 800", "1:2 900000 0 1200000 g 0.000000 800.000000"},
        {"ramp 1s..1.5s v -2.5 -> 1e3", "1:2 1000 0 1500 v -2.500000 1000.000000"},
        {"\xEF\xBB\xBF# c\r\n\r\n  \t# c\rat 1s a\r\nat 2s b\rc\n",
         "4:0 1000 0 0 [a]|5:0 2000 0 0 [b]|6:0 0 0 0 [c]"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(described(readScenario(text, "t.scn", checker).lines), expected) << text;
}

TEST(ScenarioRead, EachErrorNamesItsPlace) {
    const std::string time = "expected a time such as 1:30, 0:01:30 or 90s";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"at", "1:3: " + time},
        {"at 0.0005s x", "1:4: a time goes to the millisecond: three decimals at most"},
        {"at 100000:00:00 x", "1:4: expected a time before 100000:00:00"},
        {"at 99999999999999999999s x", "1:4: expected a time before 100000:00:00"},
        {"at 1:00", "1:8: expected a command after the time"},
        {"at 1:00 a ;; b", "1:12: expected a command before ';'"},
        {"at 1:00 a ;", "1:11: expected a command after ';'"},
        {"every 0s send", "1:7: expected an interval above 0"},
        {"ramp 15:00-20:00 v 0 -> 1", "1:6: expected a span such as 15:00..20:00"},
        {"ramp 15:00..1x v 0 -> 1", "1:13: " + time},
        {"ramp 20:00..15:00 v 0 -> 1", "1:13: a ramp must end after it starts"},
        {"ramp 1s..2s", "1:12: expected the name of the value to ramp"},
        {"ramp 1s..2s v 0 > 1", "1:17: expected \"->\" between the two numbers"},
        {"ramp 1s..2s v 0 -> inf", "1:20: expected the number the ramp ends at"},
        {"ramp 1s..2s v 0 -> 1 ; send", "1:22: expected nothing after the ramp's end"},
        {"\n# c\nat 10:00 set rpo 1", "3:10: set: no value named \"rpo\""},
        {"at 1s x ;\tset rpo 1", "1:11: set: no value named \"rpo\""},
        {"ramp 1s..2s rpo 0 -> 1", "1:13: set: no value named \"rpo\""},
        {"at 1s a\x01", "1:8: unexpected control character"},
        {std::string(4097, '#'), "1:4097: a line may be 4096 bytes long at most"},
    };
    for (const auto& [text, expected] : cases) {
        const ParsedScenario read = readScenario(text, "well.scn", checker);
        EXPECT_EQ(described(read.lines) + read.error, "well.scn:" + expected) << text;  // no lines
    }
    for (const std::string bad : {"1:75", "1:5", "1:60:00", "1::00", "1.5", ".5s", "5.s", "s"})
        EXPECT_EQ(readScenario("at " + bad + " x", "w", checker).error, "w:1:4: " + time) << bad;
}

TEST(ScenarioRead, FromAFile) {
    const testing::TempFolder folder;
    const std::string path = (folder / "well.scn").string();
    EXPECT_EQ(readScenarioFile(path, checker).error, path + ": no such file");
    std::ofstream(path) << kExample;
    EXPECT_EQ(readScenarioFile(path, checker).lines.size(), 6u);
    EXPECT_EQ(readScenarioFile(folder.path().string(), checker).error,
              folder.path().string() + ": not a regular file");
}

std::vector<std::string> runOf(const std::string& text, double rigSeconds) {
    ScenarioRun run(readScenario(text, "t.scn", checker).lines);
    return run.due(rigSeconds);
}

TEST(ScenarioRun, TheExampleThroughAnHour) {
    ScenarioRun run(readScenario(kExample, "t.scn", checker).lines);
    EXPECT_EQ(run.due(0), Commands{"set rop 0.5"});
    EXPECT_EQ(run.due(29.999), Commands{});
    EXPECT_EQ(run.next(), 30);
    EXPECT_EQ(run.due(30), Commands{"send"});
    // Missed periods all come; at one time the file's order holds.
    Commands toTen = run.due(600);
    ASSERT_EQ(toTen.size(), 22u);
    EXPECT_EQ(Commands(toTen.end() - 4, toTen.end()),
              (Commands{"set pump1.on 0", "set pump2.on 0", "set rop 0", "send"}));
    EXPECT_EQ(run.progress(), "3/6");

    std::vector<std::pair<double, std::string>> ramp;
    for (double t = 899; t <= 1201; t += 0.25)
        for (const std::string& command : run.due(t))
            if (command.starts_with("set gas.value ")) ramp.emplace_back(t, command.substr(14));
    ASSERT_EQ(ramp.size(), 301u);  // every second from 15:00 to 20:00, both ends
    EXPECT_EQ(ramp[0], std::make_pair(900.0, std::string("0")));
    EXPECT_EQ(ramp[1].second, "2.666666666666667");
    EXPECT_EQ(ramp[150], std::make_pair(1050.0, std::string("400")));
    EXPECT_EQ(ramp[300], std::make_pair(1200.0, std::string("800")));
    EXPECT_EQ(run.progress(), "5/6");

    const Commands toHour = run.due(3600);
    EXPECT_EQ(Commands(toHour.end() - 2, toHour.end()), (Commands{"send", "quit"}));
    EXPECT_EQ(run.progress(), "6/6");
    EXPECT_EQ(run.next(), 3630);
    EXPECT_FALSE(run.finished());
}

TEST(ScenarioRun, JumpsAndOrder) {
    EXPECT_EQ(runOf("at 2s b\nat 1s a\nat 2s c\nd", 5), (Commands{"d", "a", "b", "c"}));
    EXPECT_EQ(runOf("every 1s send", 1e6).size(), 10000u);
    EXPECT_EQ(runOf("at 3s a\nramp 1s..5.5s v 0 -> 9\nat 5s b", 5.2),
              (Commands{"a", "set v 8", "b"}));
    EXPECT_EQ(runOf("ramp 1s..5.5s v 0 -> 9\nat 6s b", 1e9), (Commands{"set v 9", "b"}));
    EXPECT_EQ(runOf("at 1s a", -1), Commands{});

    // What next() reports is always due when handed back.
    ScenarioRun run(
        readScenario("every 0.007s x\nramp 0.003s..9.999s v 0 -> 1", "t.scn", checker).lines);
    for (int i = 0; i < 2000 && run.next() && *run.next() < 10; ++i)
        ASSERT_FALSE(run.due(*run.next()).empty()) << *run.next();
    ScenarioRun once(readScenario("at 1s a\nramp 1s..2s v 0 -> 1", "t.scn", checker).lines);
    once.due(2);
    EXPECT_TRUE(once.finished() && !once.next());
}

}  // namespace
}  // namespace korvane
