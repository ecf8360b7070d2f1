#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/socket_address.h"
#include "platform/socket_system.h"

namespace korvane {

SocketError lastSocketError() {
    if (errno == EADDRINUSE) return SocketError::addressInUse;
    if (errno == EACCES) return SocketError::accessDenied;
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        return SocketError::outOfDescriptors;
    return SocketError::other;
}

std::optional<std::vector<Ipv4Address>> lookUpIpv4(const std::string& host, std::string* why) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int failed = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (failed != 0 || found == nullptr) {
        if (why) *why = failed == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(failed);
        return std::nullopt;
    }
    return takeIpv4Addresses(found);
}

}  // namespace korvane
