#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/socket_address.h"
#include "platform/socket_system.h"
#include "platform/winsock_start.h"

namespace korvane {

SocketError lastSocketError() {
    const int error = ::WSAGetLastError();
    if (error == WSAEADDRINUSE) return SocketError::addressInUse;
    if (error == WSAEACCES) return SocketError::accessDenied;
    if (error == WSAEMFILE || error == WSAENOBUFS) return SocketError::outOfDescriptors;
    return SocketError::other;
}

std::optional<std::vector<Ipv4Address>> lookUpIpv4(const std::string& host, std::string* why) {
    winsockStarted();  // a failed start shows as the next call failing
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int failed = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (failed != 0 || found == nullptr) {
        if (why) *why = ::gai_strerrorA(failed);
        return std::nullopt;
    }
    return takeIpv4Addresses(found);
}

}  // namespace korvane
