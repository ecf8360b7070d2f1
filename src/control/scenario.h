#pragma once

// control/: the scenario, a text file of timed commands run from start-up.
// Standard C++ only, no threads and no clock of its own: the caller gives the
// rig time. It knows no command names; a checker the caller passes in judges
// each command when the file is read.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

// "" when the command is valid, else what is wrong with it.
using CommandChecker = std::function<std::string(std::string_view command)>;

// One line of a scenario that does something. Times are whole milliseconds of
// rig time from the start, the finest step a scenario can name.
struct ScenarioLine {
    enum class Kind { at, every, ramp };
    Kind kind = Kind::at;               // a line with no timing word is "at" the start
    int lineNumber = 0;                 // in the file, from 1
    int64_t startMs = 0;                // at: when; ramp: where it starts, at `from`
    int64_t intervalMs = 0;             // every
    int64_t endMs = 0;                  // ramp: where it ends, at `to`
    std::vector<std::string> commands;  // at and every: words joined by one space
    std::string name;                   // ramp: the value it sets
    double from = 0;
    double to = 0;
};

struct ParsedScenario {
    std::vector<ScenarioLine> lines;  // in file order
    // When the file is refused, why: "well.scn:3:8: ..." (line and column from 1).
    std::string error;
};

// Reads a scenario; `fileName` only names it in the messages. An empty checker
// takes every command.
ParsedScenario readScenario(std::string_view text, std::string_view fileName,
                            const CommandChecker& checker);
// The same for a file, named in the messages as `path` is written.
ParsedScenario readScenarioFile(const std::string& path, const CommandChecker& checker);

// A scenario being run: hands out its commands as rig time reaches them.
class ScenarioRun {
public:
    // `lines` as readScenario gives them.
    explicit ScenarioRun(std::vector<ScenarioLine> lines);

    // Every command whose time has come since the last call, in time order
    // (at one time, in file order), each once; a ramp's updates as
    // "set NAME VALUE".
    std::vector<std::string> due(double rigSeconds);
    // The rig time of the next command due; nothing once finished.
    std::optional<double> next() const;
    // "done/total": the lines whose time has come at least once (an every line
    // once it first ran, a ramp once it reached its end), of all of them.
    std::string progress() const;
    // Nothing more will fall due; never while the scenario has an every line.
    bool finished() const { return pending_.empty(); }

private:
    int64_t timeOf(std::size_t index) const;
    int64_t caughtUp(std::size_t index, int64_t now);

    std::vector<ScenarioLine> lines_;
    // Per line, what comes next: the period (every, from 1) or the second of
    // the ramp (from 0); unused for at.
    std::vector<int64_t> step_;
    std::vector<bool> reached_;                          // what progress() counts
    std::set<std::pair<int64_t, std::size_t>> pending_;  // (ms, line): one per line at most
};

}  // namespace korvane
