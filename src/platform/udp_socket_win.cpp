#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/socket_address.h"
#include "platform/socket_system.h"
#include "platform/udp_socket.h"
#include "platform/winsock_start.h"

namespace korvane {

// The largest datagram IPv4 can carry: a receive into this many bytes never
// cuts one short, so the whole size is always known, as MSG_TRUNC gives it on
// Linux.
constexpr std::size_t kLargestDatagram = 65536;

struct UdpSocket::Native {
    explicit Native(SOCKET handle) : socket(handle) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::closesocket(socket); }
    SOCKET socket;
    std::vector<char> whole;  // a datagram too big for the caller's buffer lands here
};

std::optional<UdpSocket> UdpSocket::open(int protocol) {
    if (!winsockStarted()) return std::nullopt;
    const SOCKET handle = ::WSASocketW(AF_INET, SOCK_DGRAM, protocol, nullptr, 0,
                                       WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle == INVALID_SOCKET) return std::nullopt;
    auto native = std::make_unique<Native>(handle);
    u_long nonBlocking = 1;
    if (::ioctlsocket(handle, FIONBIO, &nonBlocking) != 0) return std::nullopt;
    // Otherwise an ICMP "port unreachable" for an earlier datagram (a receiver
    // not listening yet) fails the next receive with WSAECONNRESET, where
    // Linux stays silent and the link must go on.
    BOOL report = FALSE;
    DWORD unused = 0;
    ::WSAIoctl(handle, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &unused, nullptr,
               nullptr);
    // Without it another program could bind the same port with SO_REUSEADDR
    // and take its datagrams, which Linux does not allow either.
    BOOL exclusive = TRUE;
    ::setsockopt(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);
    return UdpSocket(std::move(native));
}

UdpSocket::UdpSocket(std::unique_ptr<Native> native) : native_(std::move(native)) {}
UdpSocket::UdpSocket(UdpSocket&& other) noexcept = default;
UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept = default;
UdpSocket::~UdpSocket() = default;

SocketResult UdpSocket::bind(const Ipv4Address& local) {
    if (!native_) return {SocketError::other};
    const sockaddr_in raw = toSockaddr(local);
    if (::bind(native_->socket, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) == 0)
        return {};
    return {lastSocketError()};
}

std::optional<Ipv4Address> UdpSocket::localAddress() const {
    if (!native_) return std::nullopt;
    sockaddr_in raw{};
    int size = sizeof raw;
    if (::getsockname(native_->socket, reinterpret_cast<sockaddr*>(&raw), &size) != 0)
        return std::nullopt;
    return fromSockaddr(raw);
}

long UdpSocket::sendTo(const void* data, std::size_t size, const Ipv4Address& to) {
    if (!native_ || size > INT_MAX) return -1;
    const sockaddr_in raw = toSockaddr(to);
    const int sent =
        ::sendto(native_->socket, static_cast<const char*>(data), static_cast<int>(size), 0,
                 reinterpret_cast<const sockaddr*>(&raw), sizeof raw);
    return sent == SOCKET_ERROR ? -1 : sent;
}

Datagram UdpSocket::receiveFrom(void* buffer, std::size_t capacity) {
    Datagram datagram;
    if (!native_) return datagram;
    // Winsock tells neither how long a datagram was that did not fit, nor
    // keeps its tail; a buffer that takes any datagram whole learns its size.
    char* into = static_cast<char*>(buffer);
    std::size_t room = std::min(capacity, kLargestDatagram);
    if (capacity < kLargestDatagram) {
        native_->whole.resize(kLargestDatagram);
        into = native_->whole.data();
        room = kLargestDatagram;
    }
    sockaddr_in raw{};
    int size = sizeof raw;
    const int got = ::recvfrom(native_->socket, into, static_cast<int>(room), 0,
                               reinterpret_cast<sockaddr*>(&raw), &size);
    if (got == SOCKET_ERROR) {
        // Cut short all the same: refused as too long, like an oversized one on Linux.
        if (::WSAGetLastError() == WSAEMSGSIZE) datagram.length = static_cast<long>(room) + 1;
        return datagram;
    }
    datagram.length = got;
    if (into != buffer) std::memcpy(buffer, into, std::min<std::size_t>(got, capacity));
    if (size >= static_cast<int>(sizeof raw) && raw.sin_family == AF_INET)
        datagram.sender = fromSockaddr(raw);
    return datagram;
}

bool UdpSocket::waitReadable(std::chrono::milliseconds timeout) const {
    if (!native_) return false;
    WSAPOLLFD entry{native_->socket, POLLRDNORM, 0};
    return ::WSAPoll(&entry, 1, static_cast<int>(timeout.count())) > 0;
}

void UdpSocket::close() { native_.reset(); }

}  // namespace korvane
