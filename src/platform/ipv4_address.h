#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// An IPv4 address and UDP port, octets first octet first, port in host order.
struct Ipv4Address {
    uint8_t octets[4] = {0, 0, 0, 0};
    uint16_t port = 0;

    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

// "a.b.c.d", the way the peer address is shown to the operator.
std::string formatAddress(const Ipv4Address& address);

// Reads strict dotted-quad text ("127.0.0.1": four decimal octets 0..255, no
// blanks, no shorthand forms); nothing for anything else.
std::optional<Ipv4Address> parseAddress(const std::string& text, uint16_t port);

// The longest host name DNS can carry, dots included.
inline constexpr std::size_t kMaxHostLength = 253;

// A host a TCP client may dial: a name or a dotted IPv4 address, 1 to
// kMaxHostLength characters of letters, digits, '-', '_' and '.', in labels
// that are not empty and neither start nor end with '-'. Digits and dots
// alone must make a valid address ("300.1.2.3" is neither). The command line,
// the Setup dialog and the settings file all take a host only through this.
bool isHostName(std::string_view host);

}  // namespace korvane
