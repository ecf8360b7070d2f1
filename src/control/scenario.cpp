#include "control/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "platform/file_prefix.h"

namespace korvane {

namespace {

constexpr std::size_t kLongestLine = 4096;
// The whole file is held while it is read; a scenario is written by hand.
constexpr std::size_t kLargestFile = 4 << 20;
constexpr int64_t kLongestTimeMs = int64_t{100000} * 3600 * 1000;
// A rig time past this is taken as this: whole milliseconds stay exact in a
// double (below 2^53), and every sum of them far from overflow.
constexpr double kFarthestSeconds = 1e12;
// The periods of one every line handed out by one call at most: a jump in rig
// time over more of them passes the oldest over, so a call stays bounded.
constexpr int64_t kMostPeriods = 10000;

constexpr std::string_view kTimeForm = "expected a time such as 1:30, 0:01:30 or 90s";

bool blank(char c) { return c == ' ' || c == '\t'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

struct Word {
    std::string_view text;  // empty past the end of the line
    std::size_t column = 0;
};

struct LineError {
    std::size_t column = 0;
    std::string text;
};

// The words of one line, one at a time, with the column each starts at.
class Words {
public:
    explicit Words(std::string_view line) : line_(line) {}
    Word next() {
        while (pos_ < line_.size() && blank(line_[pos_])) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < line_.size() && !blank(line_[pos_])) ++pos_;
        return {line_.substr(start, pos_ - start), start + 1};
    }
    std::size_t offset() const { return pos_; }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

// Whole digits, at least one, not past `most`; nothing otherwise.
std::optional<int64_t> wholeDigits(std::string_view text, int64_t most) {
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (!digit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > most) return most + 1;
    }
    return value;
}

// "H:MM:SS", "M:SS" or seconds with an "s" ("90s", "0.5s"), in milliseconds.
// Empty when read, else what is wrong.
std::string readTime(std::string_view text, int64_t& ms) {
    constexpr int64_t kMostSeconds = kLongestTimeMs / 1000;
    int64_t seconds = 0;
    int64_t fraction = 0;
    if (!text.empty() && text.back() == 's') {
        text.remove_suffix(1);
        const std::size_t point = text.find('.');
        const std::optional<int64_t> whole = wholeDigits(text.substr(0, point), kMostSeconds);
        if (!whole) return std::string(kTimeForm);
        seconds = *whole;
        if (point != std::string_view::npos) {
            const std::string_view decimals = text.substr(point + 1);
            const std::optional<int64_t> thousandths = wholeDigits(decimals, 999);
            if (!thousandths) return std::string(kTimeForm);
            if (decimals.size() > 3)
                return "a time goes to the millisecond: three decimals at most";
            fraction = *thousandths;
            for (std::size_t i = decimals.size(); i < 3; ++i) fraction *= 10;
        }
    } else {
        // Minutes, or hours then minutes, then seconds of two digits each.
        const std::size_t last = text.rfind(':');
        if (last == std::string_view::npos) return std::string(kTimeForm);
        const std::size_t first = text.find(':');
        const auto twoDigits = [](std::string_view part) {
            const std::optional<int64_t> value = wholeDigits(part, 59);
            return part.size() == 2 && value && *value <= 59 ? value : std::nullopt;
        };
        const std::optional<int64_t> secs = twoDigits(text.substr(last + 1));
        std::optional<int64_t> mins, hours(0);
        if (first == last) {
            mins = wholeDigits(text.substr(0, last), kMostSeconds / 60);
        } else {
            hours = wholeDigits(text.substr(0, first), kMostSeconds / 3600);
            mins = twoDigits(text.substr(first + 1, last - first - 1));
        }
        if (!secs || !mins || !hours) return std::string(kTimeForm);
        seconds = *hours * 3600 + *mins * 60 + *secs;
    }
    if (seconds >= kMostSeconds) return "expected a time before 100000:00:00";
    ms = seconds * 1000 + fraction;
    return {};
}

// A number in the classic locale, the whole word and finite.
std::optional<double> readNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The shortest text that reads back as `value`, in the classic locale.
std::string numberText(double value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

std::string rampCommand(const std::string& name, double value) {
    return "set " + name + " " + numberText(value);
}

// The commands from `offset` on, split at ';', each with its words joined by
// one space. `what` names what the first one follows, for its absence.
std::optional<LineError> readCommands(std::string_view line, std::size_t offset,
                                      std::string_view what, const CommandChecker& checker,
                                      std::vector<std::string>& commands) {
    std::size_t start = offset;
    while (true) {
        const std::size_t semicolon = std::min(line.find(';', start), line.size());
        Words piece(line.substr(start, semicolon - start));
        std::string command;
        std::size_t column = 0;
        for (Word word = piece.next(); !word.text.empty(); word = piece.next()) {
            if (command.empty()) column = start + word.column;
            if (!command.empty()) command += ' ';
            command += word.text;
        }
        if (command.empty()) {
            if (semicolon < line.size())
                return LineError{semicolon + 1, "expected a command before ';'"};
            if (start > offset) return LineError{start, "expected a command after ';'"};
            return LineError{line.size() + 1, "expected a command after " + std::string(what)};
        }
        if (checker) {
            if (std::string wrong = checker(command); !wrong.empty())
                return LineError{column, std::move(wrong)};
        }
        commands.push_back(std::move(command));
        if (semicolon == line.size()) return std::nullopt;
        start = semicolon + 1;
    }
}

// A word read as a time: an error at its column when it is not one.
std::optional<LineError> timeWord(const Word& word, int64_t& ms) {
    std::string wrong = readTime(word.text, ms);
    if (wrong.empty()) return std::nullopt;
    return LineError{word.column, std::move(wrong)};
}

std::optional<LineError> readRamp(Words& words, const CommandChecker& checker, ScenarioLine& out) {
    const Word span = words.next();
    const std::size_t dots = span.text.find("..");
    if (dots == std::string_view::npos)
        return LineError{span.column, "expected a span such as 15:00..20:00"};
    const Word end{span.text.substr(dots + 2), span.column + dots + 2};
    if (auto wrong = timeWord({span.text.substr(0, dots), span.column}, out.startMs)) return wrong;
    if (auto wrong = timeWord(end, out.endMs)) return wrong;
    if (out.endMs <= out.startMs) return LineError{end.column, "a ramp must end after it starts"};

    const Word name = words.next();
    if (name.text.empty()) return LineError{name.column, "expected the name of the value to ramp"};
    out.name = name.text;
    const Word from = words.next();
    const Word arrow = words.next();
    const Word to = words.next();
    const std::optional<double> a = readNumber(from.text);
    if (!a) return LineError{from.column, "expected the number the ramp starts at"};
    if (arrow.text != "->")
        return LineError{arrow.column, "expected \"->\" between the two numbers"};
    const std::optional<double> b = readNumber(to.text);
    if (!b) return LineError{to.column, "expected the number the ramp ends at"};
    if (const Word more = words.next(); !more.text.empty())
        return LineError{more.column, "expected nothing after the ramp's end"};
    out.from = *a;
    out.to = *b;
    // Every value between lies between these two, so both ends speak for them.
    if (checker) {
        for (const double value : {*a, *b}) {
            if (std::string wrong = checker(rampCommand(out.name, value)); !wrong.empty())
                return LineError{name.column, std::move(wrong)};
        }
    }
    return std::nullopt;
}

// One line that is neither blank nor a comment.
std::optional<LineError> readLine(std::string_view line, const CommandChecker& checker,
                                  ScenarioLine& out) {
    Words words(line);
    const Word first = words.next();
    if (first.text == "ramp") {
        out.kind = ScenarioLine::Kind::ramp;
        return readRamp(words, checker, out);
    }
    if (first.text == "at" || first.text == "every") {
        const Word time = words.next();
        if (first.text == "at") {
            if (auto wrong = timeWord(time, out.startMs)) return wrong;
        } else {
            out.kind = ScenarioLine::Kind::every;
            if (auto wrong = timeWord(time, out.intervalMs)) return wrong;
            if (out.intervalMs == 0) return LineError{time.column, "expected an interval above 0"};
        }
        return readCommands(line, words.offset(), "the time", checker, out.commands);
    }
    return readCommands(line, 0, "", checker, out.commands);
}

// Where a line may not go: past the longest, or with a control character in
// it (which no command holds, and which would garble what is shown of it).
std::optional<LineError> unreadable(std::string_view line) {
    if (line.size() > kLongestLine)
        return LineError{kLongestLine + 1,
                         "a line may be " + std::to_string(kLongestLine) + " bytes long at most"};
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return LineError{i + 1, "unexpected control character"};
    }
    return std::nullopt;
}

// The milliseconds reached at `seconds` of rig time: the most whose time in
// seconds is not past it. -1 before the start (or for no time at all).
int64_t reachedMs(double seconds) {
    if (!(seconds >= 0)) return -1;
    seconds = std::min(seconds, kFarthestSeconds);
    auto ms = static_cast<int64_t>(std::floor(seconds * 1000));
    // Measured the way next() reports it, so due(*next()) always hands it out.
    while (static_cast<double>(ms + 1) / 1000 <= seconds) ++ms;
    while (ms > 0 && static_cast<double>(ms) / 1000 > seconds) --ms;
    return ms;
}

}  // namespace

ParsedScenario readScenario(std::string_view text, std::string_view fileName,
                            const CommandChecker& checker) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    ParsedScenario parsed;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        const std::string_view line = text.substr(0, end);
        std::size_t next = end;
        if (next < text.size()) next += text.substr(next, 2) == "\r\n" ? 2 : 1;
        text.remove_prefix(next);
        ++number;

        std::optional<LineError> wrong = unreadable(line);
        const std::size_t mark = line.find_first_not_of(" \t");
        if (!wrong && (mark == std::string_view::npos || line[mark] == '#')) continue;
        ScenarioLine read;
        read.lineNumber = number;
        if (!wrong) wrong = readLine(line, checker, read);
        if (wrong) {
            parsed.lines.clear();
            parsed.error = std::string(fileName) + ":" + std::to_string(number) + ":" +
                           std::to_string(wrong->column) + ": " + wrong->text;
            return parsed;
        }
        parsed.lines.push_back(std::move(read));
    }
    return parsed;
}

ParsedScenario readScenarioFile(const std::string& path, const CommandChecker& checker) {
    const FilePrefix file = readFilePrefix(std::filesystem::path(path), kLargestFile + 1);
    const auto refused = [&](std::string_view why) {
        return ParsedScenario{{}, path + ": " + std::string(why)};
    };
    switch (file.result) {
        case FileRead::read:
            break;
        case FileRead::missing:
            return refused("no such file");
        case FileRead::unreadable:
            return refused("the file cannot be opened for reading");
        case FileRead::notRegular:
            return refused("not a regular file");
    }
    if (file.bytes.size() > kLargestFile)
        return refused("over " + std::to_string(kLargestFile >> 20) +
                       " MiB, too large for a scenario");
    const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()),
                                file.bytes.size());
    return readScenario(text, path, checker);
}

ScenarioRun::ScenarioRun(std::vector<ScenarioLine> lines)
    : lines_(std::move(lines)), step_(lines_.size(), 0), reached_(lines_.size(), false) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == ScenarioLine::Kind::every) {
            if (lines_[i].intervalMs <= 0) continue;  // would never move on: never due
            step_[i] = 1;
        }
        pending_.emplace(timeOf(i), i);
    }
}

int64_t ScenarioRun::timeOf(std::size_t index) const {
    const ScenarioLine& line = lines_[index];
    switch (line.kind) {
        case ScenarioLine::Kind::every:
            return step_[index] * line.intervalMs;
        case ScenarioLine::Kind::ramp:
            return std::min(line.startMs + step_[index] * 1000, line.endMs);
        case ScenarioLine::Kind::at:
            break;
    }
    return line.startMs;
}

// Moves a line that is due past what `now` has made stale: a ramp to its last
// second passed (or its end), an every line to its last kMostPeriods periods.
int64_t ScenarioRun::caughtUp(std::size_t index, int64_t now) {
    const ScenarioLine& line = lines_[index];
    if (line.kind == ScenarioLine::Kind::ramp) {
        const int64_t span = line.endMs - line.startMs;
        step_[index] = now >= line.endMs ? (span + 999) / 1000 : (now - line.startMs) / 1000;
    } else if (line.kind == ScenarioLine::Kind::every) {
        step_[index] = std::max(step_[index], now / line.intervalMs - kMostPeriods + 1);
    }
    return timeOf(index);
}

std::vector<std::string> ScenarioRun::due(double rigSeconds) {
    const int64_t now = reachedMs(rigSeconds);
    std::vector<std::string> commands;
    while (!pending_.empty() && pending_.begin()->first <= now) {
        const auto [at, index] = *pending_.begin();
        pending_.erase(pending_.begin());
        // Caught up, it may come after other lines now: it is put back in order.
        if (const int64_t later = caughtUp(index, now); later != at) {
            pending_.emplace(later, index);
            continue;
        }
        const ScenarioLine& line = lines_[index];
        bool again = false;
        if (line.kind == ScenarioLine::Kind::ramp) {
            const bool end = at == line.endMs;
            const double share = static_cast<double>(at - line.startMs) /
                                 static_cast<double>(line.endMs - line.startMs);
            commands.push_back(
                rampCommand(line.name, end ? line.to : line.from + (line.to - line.from) * share));
            again = !end;
        } else {
            commands.insert(commands.end(), line.commands.begin(), line.commands.end());
            again = line.kind == ScenarioLine::Kind::every;
        }
        if (!again || line.kind == ScenarioLine::Kind::every) reached_[index] = true;
        if (again) {
            ++step_[index];
            pending_.emplace(timeOf(index), index);
        }
    }
    return commands;
}

std::optional<double> ScenarioRun::next() const {
    if (pending_.empty()) return std::nullopt;
    return static_cast<double>(pending_.begin()->first) / 1000;
}

std::string ScenarioRun::progress() const {
    const auto done = std::count(reached_.begin(), reached_.end(), true);
    return std::to_string(done) + "/" + std::to_string(lines_.size());
}

}  // namespace korvane
