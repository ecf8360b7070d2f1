#include "platform/ipv4_address.h"

#include <algorithm>
#include <charconv>

namespace korvane {

std::string formatAddress(const Ipv4Address& address) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        text += std::to_string(address.octets[i]);
    }
    return text;
}

std::optional<Ipv4Address> parseAddress(const std::string& text, uint16_t port) {
    Ipv4Address address;
    address.port = port;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at == end || *at != '.') return std::nullopt;
            ++at;
        }
        if (at == end || *at < '0' || *at > '9') return std::nullopt;
        unsigned value = 0;
        auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc{} || value > 255 || next - at > 3) return std::nullopt;
        address.octets[i] = static_cast<uint8_t>(value);
        at = next;
    }
    if (at != end) return std::nullopt;
    return address;
}

bool isHostName(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostLength) return false;
    const bool allowed = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
    if (!allowed) return false;
    // Each dot-separated label is there and neither starts nor ends with '-'.
    bool numeric = true;
    for (std::size_t start = 0; start <= host.size();) {
        const std::size_t dot = std::min(host.find('.', start), host.size());
        const std::string_view label = host.substr(start, dot - start);
        if (label.empty() || label.front() == '-' || label.back() == '-') return false;
        numeric = numeric && std::all_of(label.begin(), label.end(),
                                         [](char c) { return c >= '0' && c <= '9'; });
        start = dot + 1;
    }
    // Digits and dots alone are an address, and must be a whole one.
    return !numeric || parseAddress(std::string(host), 0).has_value();
}

}  // namespace korvane
