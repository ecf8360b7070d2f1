#include "simulation/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>

namespace korvane {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::size_t skipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

}  // namespace

std::optional<float> scanFloat(std::string_view text, std::size_t* consumed) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes no sign of its own, and a second sign is no number.
    if (i >= text.size() || text[i] == '+' || text[i] == '-') return std::nullopt;
    float value = 0.0f;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (end == first) return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // scanf saturates instead of failing: huge values become infinity,
        // tiny ones zero.
        const std::string_view digits(first, static_cast<std::size_t>(end - first));
        const bool tiny = digits.find("e-") != std::string_view::npos ||
                          digits.find("E-") != std::string_view::npos;
        value = tiny ? 0.0f : HUGE_VALF;
    } else if (error != std::errc{}) {
        return std::nullopt;
    }
    if (consumed) *consumed = static_cast<std::size_t>(end - text.data());
    return negative ? -value : value;
}

std::optional<int> scanInt(std::string_view text) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    const char* first = text.data() + i;
    auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (end == first || error != std::errc{}) return std::nullopt;
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

std::string formatFixed(double value, int precision, int width) {
    char digits[400];  // the largest double in fixed notation needs 309 digits
    auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
    std::string text = error == std::errc{} ? std::string(digits, end) : std::string("nan");
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
    return text;
}

}  // namespace korvane
