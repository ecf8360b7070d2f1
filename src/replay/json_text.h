#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// JSON strings for recording lines. Text is taken as Latin-1 both ways, so
// every byte, 0x00 to 0xFF, survives a line unchanged.

// Appends `text` as the inside of a JSON string: control bytes, `"`, `\` and
// 0x7F-0xFF escaped, everything else as it is.
void appendJsonEscaped(std::string& out, std::string_view text);

// What a recording line says, as far as playing it needs. A line is checked
// as a whole (any member order, any value in unknown members), but only
// "t" and "frame" are kept.
struct RecordingLineFields {
    std::optional<double> t;  // when "t" is a number
    bool hasFrame = false;
    std::string frame;  // bytes: \u0000-\u00FF one each, higher code points as UTF-8
};

// False when the line is not one valid JSON object.
bool parseRecordingLine(std::string_view line, RecordingLineFields& out);

}  // namespace korvane
