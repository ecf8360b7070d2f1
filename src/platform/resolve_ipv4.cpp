#include "platform/socket_system.h"
#include "platform/tcp_socket.h"

namespace korvane {

std::optional<Ipv4Address> resolveIpv4(const std::string& host, uint16_t port, std::string* why) {
    if (const std::optional<Ipv4Address> literal = parseAddress(host, port)) return literal;
    const std::optional<std::vector<Ipv4Address>> found = lookUpIpv4(host, why);
    if (!found) return std::nullopt;
    if (found->empty()) {
        if (why) *why = "it has no IPv4 address";
        return std::nullopt;
    }
    Ipv4Address address = found->front();
    address.port = port;
    return address;
}

}  // namespace korvane
