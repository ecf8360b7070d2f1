#include "text/number_text.h"

#include <algorithm>
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

// Power of ten of the first non-zero digit of a decimal number such as
// "0.0012e-5" (-8) or "1500" (3); only its sign matters to the caller, and
// only for numbers beyond a double's range, so an exponent of any length
// saturates rather than wraps. A number without a non-zero digit is zero and
// never gets here.
int64_t decimalMagnitude(std::string_view number) {
    constexpr int64_t kSaturated = int64_t{1} << 40;
    std::size_t i = 0;
    int64_t leadingPosition = 0;  // power of ten of the first non-zero digit
    bool found = false;
    bool afterPoint = false;
    int64_t place = -1;  // power of ten of the digit just read, counted past the point
    int64_t integerDigits = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        if (afterPoint) {
            if (!found && c != '0') {
                leadingPosition = place;
                found = true;
            }
            --place;
        } else {
            if (found || c != '0') {
                found = true;
                ++integerDigits;
            }
        }
    }
    if (integerDigits > 0) leadingPosition = std::min(integerDigits, kSaturated) - 1;
    int64_t exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
            negative = number[i] == '-';
            ++i;
        }
        for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), kSaturated);
        if (negative) exponent = -exponent;
    }
    return std::clamp(leadingPosition, -kSaturated, kSaturated) + exponent;
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
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    float value = 0.0f;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (end == first) return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // scanf saturates instead of failing: huge values become infinity,
        // tiny ones zero. The float parse gives no direction, so ask a double.
        double wide = 0.0;
        const auto [wideEnd, wideError] =
            std::from_chars(first, last, wide, std::chars_format::general);
        if (wideError == std::errc{})
            value = std::fabs(wide) > 1.0 ? HUGE_VALF : 0.0f;
        else
            value = decimalMagnitude({first, static_cast<std::size_t>(end - first)}) >= 0
                        ? HUGE_VALF
                        : 0.0f;
    } else if (error != std::errc{}) {
        return std::nullopt;
    }
    if (consumed) *consumed = static_cast<std::size_t>(end - text.data());
    return negative ? -value : value;
}

std::optional<int> scanInt(std::string_view text, std::size_t* consumed) {
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars would take a second minus sign of its own; scanf takes none.
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    int64_t value = 0;
    const char* first = text.data() + i;
    auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    if (error != std::errc{}) return std::nullopt;
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    if (consumed) *consumed = static_cast<std::size_t>(end - text.data());
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
