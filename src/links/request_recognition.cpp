#include "links/request_recognition.h"

#include <cmath>

#include "simulation/number_text.h"

namespace korvane {

RequestCheck recogniseRequest(std::string_view received) {
    RequestCheck check;
    check.complete = received.find("!!") != std::string_view::npos;
    if (!check.complete || received.find("&&") == std::string_view::npos) return check;
    const std::size_t item = received.find("0140");
    if (item == std::string_view::npos) return check;
    // "inf", "nan" and overflowing numbers are no gas reading, as on UDP.
    const std::optional<float> gas = scanFloat(received.substr(item + 4));
    if (gas && std::isfinite(*gas)) check.gas = gas;
    return check;
}

std::optional<float> ReceivedText::add(std::size_t count) {
    length_ += count;
    text_[length_] = '\0';
    const RequestCheck check = recogniseRequest(view());
    if (check.complete || length_ > kMaxHeld) clear();
    return check.gas;
}

void ReceivedText::clear() {
    length_ = 0;
    text_[0] = '\0';
}

}  // namespace korvane
