#pragma once

// text/: number text for every layer above the platform; it depends on the
// standard library alone, so the tables and the simulation may use it.

#include <optional>
#include <string>
#include <string_view>

// Numbers as text, always in the classic "C" locale: the desktop's locale
// (which Qt installs process-wide) must never turn "1500.0000" into "1500,0000".
namespace korvane {

// Reads a number the way scanf's " %f" does: blanks skipped, an optional sign,
// then the longest float prefix. Trailing text is ignored ("12abc" gives 12).
// Nothing when no number starts there. `consumed`, if given, receives the
// count of characters used (blanks included).
std::optional<float> scanFloat(std::string_view text, std::size_t* consumed = nullptr);

// Reads an int the way scanf's " %d" does; nothing when no digits follow the
// optional sign, or when the value does not fit in 32 bits. `consumed` as above.
std::optional<int> scanInt(std::string_view text, std::size_t* consumed = nullptr);

// printf's "%<width>.<precision>f" in the classic locale.
std::string formatFixed(double value, int precision, int width = 0);

}  // namespace korvane
