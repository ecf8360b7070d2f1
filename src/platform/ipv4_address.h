#pragma once

#include <cstdint>
#include <optional>
#include <string>

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

}  // namespace korvane
