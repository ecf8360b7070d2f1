#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/socket_address.h"
#include "platform/socket_system.h"
#include "platform/tcp_socket.h"

namespace korvane {

namespace {

constexpr int kNoSocket = -1;

void setOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// What every connection gets, accepted or dialled. Failures leave the system's
// defaults, which still work.
void prepareConnection(int fd) {
    setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, static_cast<int>(kKeepAliveIdle.count()));
    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, static_cast<int>(kKeepAliveInterval.count()));
    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
    // A frame leaves in one send; holding it back for more gains nothing.
    setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(fd, SOL_SOCKET, SO_SNDBUF, kTcpSendBufferBytes);
}

void closeFd(int& fd) {
    if (fd != kNoSocket) ::close(std::exchange(fd, kNoSocket));
}

}  // namespace

struct TcpConnection::Handle {
    int fd = kNoSocket;
    ~Handle() { closeFd(fd); }
};

struct TcpListener::Handle {
    int fd = kNoSocket;
    ~Handle() { closeFd(fd); }
};

struct SocketPoll::Entries {
    std::vector<pollfd> fds;
};

TcpConnection::TcpConnection(std::unique_ptr<Handle> handle, const Ipv4Address& peer)
    : handle_(std::move(handle)), peer_(peer) {}
TcpConnection::TcpConnection(TcpConnection&& other) noexcept = default;
TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept = default;
TcpConnection::~TcpConnection() = default;

std::optional<TcpConnection> TcpConnection::startConnect(const Ipv4Address& to) {
    auto handle = std::make_unique<Handle>();
    handle->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle->fd < 0) return std::nullopt;
    prepareConnection(handle->fd);
    const sockaddr_in raw = toSockaddr(to);
    if (::connect(handle->fd, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) != 0 &&
        errno != EINPROGRESS)
        return std::nullopt;
    return TcpConnection(std::move(handle), to);
}

SocketResult TcpConnection::connectOutcome() const {
    if (!isOpen()) return {SocketError::other};
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(handle_->fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
        return {SocketError::other};
    // Writable and no error can also mean "still connecting" after a spurious
    // wake-up; only a peer address proves the connection stands.
    sockaddr_in raw{};
    size = sizeof raw;
    if (::getpeername(handle_->fd, reinterpret_cast<sockaddr*>(&raw), &size) != 0)
        return {SocketError::other};
    return {};
}

TcpTransfer TcpConnection::send(const void* data, std::size_t size) {
    if (!isOpen()) return {0, true};
    for (;;) {
        const ssize_t sent = ::send(handle_->fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) return {static_cast<std::size_t>(sent), false};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, false};
        return {0, true};
    }
}

TcpTransfer TcpConnection::receive(void* buffer, std::size_t capacity) {
    if (!isOpen()) return {0, true};
    for (;;) {
        const ssize_t got = ::recv(handle_->fd, buffer, capacity, MSG_DONTWAIT);
        if (got > 0) return {static_cast<std::size_t>(got), false};
        if (got == 0) return {0, false, true};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, false};
        return {0, true};
    }
}

bool TcpConnection::hasFailed() const {
    if (!isOpen()) return true;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(handle_->fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0;
}

void TcpConnection::shutdownSending() {
    if (isOpen()) ::shutdown(handle_->fd, SHUT_WR);
}

void TcpConnection::close() {
    if (handle_) closeFd(handle_->fd);
}

bool TcpConnection::isOpen() const { return handle_ && handle_->fd != kNoSocket; }

TcpListener::TcpListener(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
TcpListener::TcpListener(TcpListener&& other) noexcept = default;
TcpListener& TcpListener::operator=(TcpListener&& other) noexcept = default;
TcpListener::~TcpListener() = default;

std::optional<TcpListener> TcpListener::listen(const Ipv4Address& local, SocketError* why) {
    const auto fail = [why](SocketError error) -> std::optional<TcpListener> {
        if (why) *why = error;
        return std::nullopt;
    };
    auto handle = std::make_unique<Handle>();
    handle->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle->fd < 0) return fail(SocketError::other);
    // On POSIX this only lets a restarted program listen while old connections
    // linger in TIME_WAIT; it never lets two programs share the port.
    setOption(handle->fd, SOL_SOCKET, SO_REUSEADDR, 1);
    const sockaddr_in raw = toSockaddr(local);
    if (::bind(handle->fd, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) != 0)
        return fail(lastSocketError());
    if (::listen(handle->fd, SOMAXCONN) != 0) return fail(lastSocketError());
    if (why) *why = SocketError::none;
    return TcpListener(std::move(handle));
}

std::optional<TcpConnection> TcpListener::accept(SocketError* why) {
    if (why) *why = SocketError::none;
    if (!handle_ || handle_->fd == kNoSocket) return std::nullopt;
    for (;;) {
        sockaddr_in raw{};
        socklen_t size = sizeof raw;
        auto handle = std::make_unique<TcpConnection::Handle>();
        handle->fd = ::accept4(handle_->fd, reinterpret_cast<sockaddr*>(&raw), &size,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (handle->fd >= 0) {
            prepareConnection(handle->fd);
            return TcpConnection(std::move(handle), fromSockaddr(raw));
        }
        // A connection that was reset while it waited is simply gone; any
        // other failure (no descriptors left) waits for the next look.
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (why && errno != EAGAIN && errno != EWOULDBLOCK) *why = lastSocketError();
        return std::nullopt;
    }
}

std::optional<Ipv4Address> TcpListener::localAddress() const {
    if (!handle_ || handle_->fd == kNoSocket) return std::nullopt;
    sockaddr_in raw{};
    socklen_t size = sizeof raw;
    if (::getsockname(handle_->fd, reinterpret_cast<sockaddr*>(&raw), &size) != 0)
        return std::nullopt;
    return fromSockaddr(raw);
}

void TcpListener::close() {
    if (handle_) closeFd(handle_->fd);
}

SocketPoll::SocketPoll() : entries_(std::make_unique<Entries>()) {}
SocketPoll::~SocketPoll() = default;

void SocketPoll::clear() { entries_->fds.clear(); }

std::size_t SocketPoll::add(const TcpListener& listener) {
    const int fd = listener.handle_ ? listener.handle_->fd : kNoSocket;
    entries_->fds.push_back({fd, POLLIN, 0});
    return entries_->fds.size() - 1;
}

std::size_t SocketPoll::add(const TcpConnection& connection, bool writable, bool readable) {
    const int fd = connection.handle_ ? connection.handle_->fd : kNoSocket;
    const short events = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
    entries_->fds.push_back({fd, events, 0});
    return entries_->fds.size() - 1;
}

bool SocketPoll::wait(std::chrono::milliseconds timeout) {
    std::vector<pollfd>& fds = entries_->fds;
    for (pollfd& entry : fds) entry.revents = 0;
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    // An interrupted wait is a wait with nothing ready; the caller looks again.
    return ready > 0;
}

bool SocketPoll::readable(std::size_t index) const {
    return (entries_->fds[index].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SocketPoll::writable(std::size_t index) const {
    return (entries_->fds[index].revents & (POLLOUT | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace korvane
