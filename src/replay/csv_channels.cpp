#include "replay/csv_channels.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "replay/line_input.h"
#include "wits/frame_builder.h"

namespace korvane {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isTimeName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == "time" || lower == "date" || lower == "datetime" || lower == "timestamp";
}

bool isItemHeading(std::string_view name) {
    return name.size() >= 4 && std::all_of(name.begin(), name.begin() + 4, isDigit) &&
           (name.size() == 4 || name[4] == ' ');
}

// The separator is the one the line holds more of outside quotes.
char separatorOf(std::string_view line) {
    std::size_t commas = 0, semicolons = 0;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        commas += c == ',';
        semicolons += c == ';';
    }
    return semicolons > commas ? ';' : ',';
}

// Splits at `sep` into trimmed cells; quoted cells are unquoted into
// `scratch`, which is reserved up front so the views stay put.
bool splitCells(std::string_view line, char sep, std::vector<std::string_view>& cells,
                std::string& scratch) {
    cells.clear();
    scratch.clear();
    scratch.reserve(line.size());
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i < line.size() && line[i] == '"') {
            const std::size_t start = scratch.size();
            for (++i;; ++i) {
                if (i >= line.size()) return false;  // the quote never closes
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        ++i;
                    } else {
                        break;
                    }
                }
                scratch.push_back(line[i]);
            }
            ++i;
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i < line.size() && line[i] != sep) return false;
            cells.push_back(trimBlanks(std::string_view(scratch).substr(start)));
        } else {
            const std::size_t stop = std::min(line.find(sep, i), line.size());
            cells.push_back(trimBlanks(line.substr(i, stop - i)));
            i = stop;
        }
        if (i >= line.size()) return true;
        ++i;  // the separator
    }
}

// Whole digits at s[at, at + n), or -1.
int number(std::string_view s, std::size_t at, std::size_t n) {
    if (at + n > s.size()) return -1;
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (!isDigit(s[i])) return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// ISO 8601: 2026-03-01, then T or a space and hh:mm[:ss[.fff]], then Z,
// +hh:mm, +hhmm or +hh (or none): seconds since 1970 in UTC (or in the
// file's own zone when none is given; only differences count).
std::optional<double> isoSeconds(std::string_view s) {
    const int year = number(s, 0, 4), month = number(s, 5, 2), day = number(s, 8, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || s[4] != '-' || s[7] != '-')
        return std::nullopt;
    double seconds = 86400.0 * static_cast<double>(daysFromCivil(year, month, day));
    std::size_t i = 10;
    if (i == s.size()) return seconds;
    if (s[i] != 'T' && s[i] != ' ') return std::nullopt;
    const int hour = number(s, i + 1, 2), minute = number(s, i + 4, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || s[i + 3] != ':') return std::nullopt;
    seconds += 3600.0 * hour + 60.0 * minute;
    i += 6;
    if (i < s.size() && s[i] == ':') {
        const std::size_t start = i + 1;
        std::size_t stop = start;
        while (stop < s.size() && (isDigit(s[stop]) || s[stop] == '.')) ++stop;
        double sec = 0;
        const auto [ptr, error] = std::from_chars(s.data() + start, s.data() + stop, sec);
        if (error != std::errc{} || ptr != s.data() + stop || stop - start < 2 || sec >= 61)
            return std::nullopt;
        seconds += sec;
        i = stop;
    }
    if (i == s.size()) return seconds;
    if (s[i] == 'Z' && i + 1 == s.size()) return seconds;
    if (s[i] != '+' && s[i] != '-') return std::nullopt;
    const int sign = s[i] == '+' ? 1 : -1;
    const int zoneHours = number(s, i + 1, 2);
    int zoneMinutes = 0;
    const std::size_t rest = s.size() - (i + 3);
    if (rest == 3 && s[i + 3] == ':') {
        zoneMinutes = number(s, i + 4, 2);
    } else if (rest == 2) {
        zoneMinutes = number(s, i + 3, 2);
    } else if (rest != 0) {
        return std::nullopt;
    }
    if (zoneHours < 0 || zoneHours > 23 || zoneMinutes < 0 || zoneMinutes > 59) return std::nullopt;
    return seconds - sign * (3600.0 * zoneHours + 60.0 * zoneMinutes);
}

std::optional<double> plainSeconds(std::string_view s) {
    double v = 0;
    const auto [ptr, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || error != std::errc{} || ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

}  // namespace

bool CsvChannels::looksLikeHeader(std::string_view line) {
    if (line.find("&&") != std::string_view::npos || line.find("!!") != std::string_view::npos)
        return false;
    std::vector<std::string_view> cells;
    std::string scratch;
    if (!splitCells(line, separatorOf(line), cells, scratch)) return false;
    return std::any_of(cells.begin(), cells.end(),
                       [](std::string_view c) { return isTimeName(c) || isItemHeading(c); });
}

bool CsvChannels::header(std::string_view line) {
    separator_ = separatorOf(line);
    if (!splitCells(line, separator_, cells_, unquoted_)) return false;
    columns_ = cells_.size();
    std::string ignored;
    for (std::size_t column = 0; column < cells_.size(); ++column) {
        const std::string_view name = cells_[column];
        if (!timeColumn_ && isTimeName(name)) {
            timeColumn_ = column;
        } else if (isItemHeading(name)) {
            Item item{column, {name[0], name[1], name[2], name[3]}};
            auto same = std::find_if(records_.begin(), records_.end(), [&](const auto& r) {
                return r.front().code[0] == name[0] && r.front().code[1] == name[1];
            });
            if (same == records_.end()) {
                records_.push_back({item});
            } else {
                same->push_back(item);
            }
        } else if (!name.empty()) {
            ignored += ignored.empty() ? "" : ", ";
            ignored += name;
        }
    }
    if (!ignored.empty()) note_ = "ignored columns without an item code: " + ignored;
    return !records_.empty();
}

std::optional<double> CsvChannels::time(std::string_view cell) {
    if (timeKind_ != TimeKind::seconds) {
        if (auto t = isoSeconds(cell)) {
            timeKind_ = TimeKind::dateTime;
            return t;
        }
        if (timeKind_ == TimeKind::dateTime) return std::nullopt;
    }
    auto t = plainSeconds(cell);
    if (t) timeKind_ = TimeKind::seconds;
    return t;
}

bool CsvChannels::row(std::string_view line, std::optional<double>& t, std::string& frame) {
    if (!splitCells(line, separator_, cells_, unquoted_) || cells_.size() != columns_) return false;
    t.reset();
    if (timeColumn_) {
        const auto at = time(cells_[*timeColumn_]);
        if (!at || (first_ && *at < last_)) return false;
        if (!first_) first_ = *at;
        last_ = *at;
        t = *at - *first_;
    }
    frame.assign(kGreetingRecord, sizeof kGreetingRecord - 1);
    // A record none of whose cells holds a value is left out, as the frame
    // builder leaves out an empty record: "&&" "!!" with nothing between
    // would tell a receiver nothing.
    for (const auto& record : records_) {
        bool open = false;
        for (const Item& item : record) {
            const std::string_view value = cells_[item.column];
            if (value.empty()) continue;
            if (!open) frame += "&&\r\n";
            open = true;
            frame.append(item.code, 4);
            frame += value;
            frame += "\r\n";
        }
        if (open) frame += "!!\r\n";
    }
    return true;
}

void CsvChannels::restart() {
    first_.reset();
    timeKind_ = TimeKind::unknown;
}

}  // namespace korvane
