#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

#include "platform/udp_socket.h"

namespace korvane {

namespace {

sockaddr_in toSockaddr(const Ipv4Address& address) {
    sockaddr_in raw{};
    raw.sin_family = AF_INET;
    raw.sin_port = htons(address.port);
    std::memcpy(&raw.sin_addr.s_addr, address.octets, 4);  // already network order
    return raw;
}

Ipv4Address fromSockaddr(const sockaddr_in& raw) {
    Ipv4Address address;
    std::memcpy(address.octets, &raw.sin_addr.s_addr, 4);
    address.port = ntohs(raw.sin_port);
    return address;
}

}  // namespace

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

std::optional<UdpSocket> UdpSocket::open(int protocol) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0) return std::nullopt;
    return UdpSocket(fd);
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

UdpSocket::~UdpSocket() { close(); }

SocketResult UdpSocket::bind(const Ipv4Address& local) {
    const sockaddr_in raw = toSockaddr(local);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) == 0) return {};
    if (errno == EADDRINUSE) return {SocketError::addressInUse};
    if (errno == EACCES) return {SocketError::accessDenied};
    return {SocketError::other};
}

std::optional<Ipv4Address> UdpSocket::localAddress() const {
    sockaddr_in raw{};
    socklen_t size = sizeof raw;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&raw), &size) != 0) return std::nullopt;
    return fromSockaddr(raw);
}

long UdpSocket::sendTo(const void* data, std::size_t size, const Ipv4Address& to) {
    const sockaddr_in raw = toSockaddr(to);
    return ::sendto(fd_, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&raw),
                    sizeof raw);
}

Datagram UdpSocket::receiveFrom(void* buffer, std::size_t capacity) {
    sockaddr_in raw{};
    socklen_t size = sizeof raw;
    // MSG_TRUNC makes the kernel report the datagram's real size, so a caller
    // can tell a datagram that did not fit from one that filled the buffer.
    const ssize_t got = ::recvfrom(fd_, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC,
                                   reinterpret_cast<sockaddr*>(&raw), &size);
    Datagram datagram;
    if (got < 0) return datagram;
    datagram.length = static_cast<long>(got);
    if (size >= sizeof raw && raw.sin_family == AF_INET) datagram.sender = fromSockaddr(raw);
    return datagram;
}

bool UdpSocket::waitReadable(std::chrono::milliseconds timeout) const {
    pollfd entry{fd_, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) return false;
    }
}

void UdpSocket::close() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

}  // namespace korvane
