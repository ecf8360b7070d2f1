#include "links/request_recognition.h"

#include <algorithm>
#include <cmath>

#include "text/number_text.h"

namespace korvane {

RequestCheck recogniseRequest(std::string_view received) {
    RequestCheck check;
    check.complete = received.find("!!") != std::string_view::npos;
    if (!check.complete || received.find("&&") == std::string_view::npos) return check;
    check.request = true;
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

RequestRecords::Found RequestRecords::add(std::string_view data) {
    Found found;
    while (!data.empty()) {
        // Taking no more than can complete a text keeps the outcome the same
        // however the bytes were split into reads.
        const std::size_t take = std::min(data.size(), ReceivedText::kMaxHeld + 1 - held_.size());
        // A "!!" may straddle the old end, so the search starts a byte before it.
        std::size_t from = held_.empty() ? 0 : held_.size() - 1;
        held_.append(data.substr(0, take));
        data.remove_prefix(take);
        std::size_t start = 0;
        for (std::size_t close; (close = held_.find("!!", from)) != std::string::npos;) {
            const RequestCheck check =
                recogniseRequest(std::string_view(held_).substr(start, close + 2 - start));
            if (check.request) ++found.requests;
            if (check.gas) found.gas = check.gas;
            start = from = close + 2;
        }
        held_.erase(0, start);
        if (held_.size() > ReceivedText::kMaxHeld) {
            // Noise without "!!" goes, but a request that began inside it
            // stays: the last "&&" may open one whose "!!" is yet to come.
            const std::size_t open = held_.rfind("&&");
            if (open != std::string::npos && open > 0)
                held_.erase(0, open);
            else
                held_.erase(0, held_.size() - (held_.back() == '&' ? 1 : 0));
        }
    }
    return found;
}

}  // namespace korvane
