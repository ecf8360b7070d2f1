#include "platform/ipv4_address.h"

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

}  // namespace korvane
