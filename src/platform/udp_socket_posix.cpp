#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/socket_address.h"
#include "platform/socket_system.h"
#include "platform/udp_socket.h"

namespace korvane {

struct UdpSocket::Native {
    explicit Native(int descriptor) : fd(descriptor) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::close(fd); }
    int fd;
};

std::optional<UdpSocket> UdpSocket::open(int protocol) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0) return std::nullopt;
    return UdpSocket(std::make_unique<Native>(fd));
}

UdpSocket::UdpSocket(std::unique_ptr<Native> native) : native_(std::move(native)) {}
UdpSocket::UdpSocket(UdpSocket&& other) noexcept = default;
UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept = default;
UdpSocket::~UdpSocket() = default;

SocketResult UdpSocket::bind(const Ipv4Address& local) {
    if (!native_) return {SocketError::other};
    const sockaddr_in raw = toSockaddr(local);
    if (::bind(native_->fd, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) == 0) return {};
    return {lastSocketError()};
}

std::optional<Ipv4Address> UdpSocket::localAddress() const {
    if (!native_) return std::nullopt;
    sockaddr_in raw{};
    socklen_t size = sizeof raw;
    if (::getsockname(native_->fd, reinterpret_cast<sockaddr*>(&raw), &size) != 0)
        return std::nullopt;
    return fromSockaddr(raw);
}

long UdpSocket::sendTo(const void* data, std::size_t size, const Ipv4Address& to) {
    if (!native_) return -1;
    const sockaddr_in raw = toSockaddr(to);
    return ::sendto(native_->fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&raw),
                    sizeof raw);
}

Datagram UdpSocket::receiveFrom(void* buffer, std::size_t capacity) {
    Datagram datagram;
    if (!native_) return datagram;
    sockaddr_in raw{};
    socklen_t size = sizeof raw;
    // MSG_TRUNC makes the kernel report the datagram's real size, so a caller
    // can tell a datagram that did not fit from one that filled the buffer.
    const ssize_t got = ::recvfrom(native_->fd, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC,
                                   reinterpret_cast<sockaddr*>(&raw), &size);
    if (got < 0) return datagram;
    datagram.length = static_cast<long>(got);
    if (size >= sizeof raw && raw.sin_family == AF_INET) datagram.sender = fromSockaddr(raw);
    return datagram;
}

bool UdpSocket::waitReadable(std::chrono::milliseconds timeout) const {
    if (!native_) return false;
    pollfd entry{native_->fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) return false;
    }
}

void UdpSocket::close() { native_.reset(); }

}  // namespace korvane
