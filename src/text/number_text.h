#pragma once

// text/: number text for every layer above the platform; it depends on the
// standard library alone, so the tables and the simulation may use it.

#include <charconv>
#include <cmath>
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

// A whole number written out and nothing else (no blanks, no sign but a
// leading '-' where Number takes one); nothing for anything else, or one
// that does not fit in Number.
template <typename Number>
std::optional<Number> readWhole(std::string_view text) {
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A finite decimal number and nothing else, in the classic locale.
inline std::optional<double> readDecimal(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// printf's "%<width>.<precision>f" in the classic locale.
std::string formatFixed(double value, int precision, int width = 0);

}  // namespace korvane
