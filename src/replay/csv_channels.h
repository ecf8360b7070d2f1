#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// CSV channels: a header row, then one row per time step, each row turned
// into a frame built as Korvane builds its own. Fields are separated by ','
// or ';' (whichever the header holds more of), may be quoted ("..." with ""
// inside) and never span lines.
class CsvChannels {
public:
    // The header test, kept simple: a line is a header when it holds no WITS
    // record mark ("&&", "!!") and one of its fields is a time name (time,
    // date, datetime, timestamp, any case) or an item heading: four digits,
    // then the end or a space and a name ("0108", "0108 Bit Depth").
    static bool looksLikeHeader(std::string_view line);

    // False when the header has no item column.
    bool header(std::string_view line);
    // "ignored columns without an item code: ..." or empty.
    const std::string& note() const { return note_; }

    // One row; false when it is damaged (a field count unlike the header's,
    // a bad quote, a time that cannot be read or runs backwards). `t` is
    // relative to the first good row, none without a time column.
    bool row(std::string_view line, std::optional<double>& t, std::string& frame);
    // Times count from the first row again.
    void restart();

private:
    enum class TimeKind { unknown, dateTime, seconds };
    struct Item {
        std::size_t column;
        char code[4];
    };

    std::optional<double> time(std::string_view cell);

    char separator_ = ',';
    std::size_t columns_ = 0;
    std::optional<std::size_t> timeColumn_;
    std::vector<std::vector<Item>> records_;  // by record number, in order of first appearance
    std::string note_;
    TimeKind timeKind_ = TimeKind::unknown;
    std::optional<double> first_;
    double last_ = 0;
    std::vector<std::string_view> cells_;
    std::string unquoted_;  // the text of quoted cells, which cells_ may point into
};

}  // namespace korvane
