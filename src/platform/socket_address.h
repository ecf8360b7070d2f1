#pragma once
// Between Ipv4Address and the system's sockaddr_in, for the socket sources of
// both systems; private to the platform layer. Only the header that declares
// sockaddr_in differs between them.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

#include <cstring>
#include <vector>

#include "platform/ipv4_address.h"

namespace korvane {

inline sockaddr_in toSockaddr(const Ipv4Address& address) {
    sockaddr_in raw{};
    raw.sin_family = AF_INET;
    raw.sin_port = htons(address.port);
    std::memcpy(&raw.sin_addr.s_addr, address.octets, 4);  // already network order
    return raw;
}

inline Ipv4Address fromSockaddr(const sockaddr_in& raw) {
    Ipv4Address address;
    std::memcpy(address.octets, &raw.sin_addr.s_addr, 4);
    address.port = ntohs(raw.sin_port);
    return address;
}

// The IPv4 addresses of a name lookup's answer, in its order; the answer is
// freed.
inline std::vector<Ipv4Address> takeIpv4Addresses(addrinfo* found) {
    std::vector<Ipv4Address> addresses;
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        if (at->ai_family != AF_INET || at->ai_addrlen < sizeof(sockaddr_in)) continue;
        addresses.push_back(fromSockaddr(*reinterpret_cast<const sockaddr_in*>(at->ai_addr)));
    }
    ::freeaddrinfo(found);
    return addresses;
}

}  // namespace korvane
