#include <winsock2.h>
#include <ws2tcpip.h>
// mstcpip.h needs the types above first.
#include <mstcpip.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/socket_address.h"
#include "platform/socket_system.h"
#include "platform/tcp_socket.h"
#include "platform/winsock_start.h"

namespace korvane {

namespace {

void setOption(SOCKET socket, int level, int name, int value) {
    ::setsockopt(socket, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

bool makeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

// What every connection gets, accepted or dialled. Failures leave the system's
// defaults, which still work.
void prepareConnection(SOCKET socket) {
    tcp_keepalive keepAlive{};
    keepAlive.onoff = 1;
    keepAlive.keepalivetime = static_cast<ULONG>(std::chrono::milliseconds(kKeepAliveIdle).count());
    keepAlive.keepaliveinterval =
        static_cast<ULONG>(std::chrono::milliseconds(kKeepAliveInterval).count());
    DWORD returned = 0;
    // The probe count is the system's own (10 since Vista); idle and interval
    // are what can be set on every supported version.
    ::WSAIoctl(socket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned,
               nullptr, nullptr);
    // A frame leaves in one send; holding it back for more gains nothing.
    setOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(socket, SOL_SOCKET, SO_SNDBUF, kTcpSendBufferBytes);
}

void closeSocket(SOCKET& socket) {
    if (socket != INVALID_SOCKET) ::closesocket(std::exchange(socket, INVALID_SOCKET));
}

bool wouldBlock() {
    const int error = ::WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

}  // namespace

struct TcpConnection::Handle {
    SOCKET socket = INVALID_SOCKET;
    ~Handle() { closeSocket(socket); }
};

struct TcpListener::Handle {
    SOCKET socket = INVALID_SOCKET;
    ~Handle() { closeSocket(socket); }
};

struct SocketPoll::Entries {
    std::vector<WSAPOLLFD> fds;
};

TcpConnection::TcpConnection(std::unique_ptr<Handle> handle, const Ipv4Address& peer)
    : handle_(std::move(handle)), peer_(peer) {}
TcpConnection::TcpConnection(TcpConnection&& other) noexcept = default;
TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept = default;
TcpConnection::~TcpConnection() = default;

std::optional<TcpConnection> TcpConnection::startConnect(const Ipv4Address& to) {
    winsockStarted();  // a failed start shows as the next call failing
    auto handle = std::make_unique<Handle>();
    handle->socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle->socket == INVALID_SOCKET || !makeNonBlocking(handle->socket)) return std::nullopt;
    prepareConnection(handle->socket);
    const sockaddr_in raw = toSockaddr(to);
    if (::connect(handle->socket, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) != 0 &&
        ::WSAGetLastError() != WSAEWOULDBLOCK)
        return std::nullopt;
    return TcpConnection(std::move(handle), to);
}

SocketResult TcpConnection::connectOutcome() const {
    if (!isOpen()) return {SocketError::other};
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(handle_->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &size) != 0 ||
        error != 0)
        return {SocketError::other};
    sockaddr_in raw{};
    size = sizeof raw;
    if (::getpeername(handle_->socket, reinterpret_cast<sockaddr*>(&raw), &size) != 0)
        return {SocketError::other};
    return {};
}

TcpTransfer TcpConnection::send(const void* data, std::size_t size) {
    if (!isOpen()) return {0, true};
    // Winsock never raises a signal for a closed peer; it only reports it.
    const int sent = ::send(handle_->socket, static_cast<const char*>(data),
                            static_cast<int>(size > 0x7fffffff ? 0x7fffffff : size), 0);
    if (sent >= 0) return {static_cast<std::size_t>(sent), false};
    if (wouldBlock()) return {0, false};
    return {0, true};
}

TcpTransfer TcpConnection::receive(void* buffer, std::size_t capacity) {
    if (!isOpen()) return {0, true};
    const int got = ::recv(handle_->socket, static_cast<char*>(buffer),
                           static_cast<int>(capacity > 0x7fffffff ? 0x7fffffff : capacity), 0);
    if (got > 0) return {static_cast<std::size_t>(got), false};
    if (got == 0) return {0, false, true};
    if (wouldBlock()) return {0, false};
    return {0, true};
}

bool TcpConnection::hasFailed() const {
    if (!isOpen()) return true;
    int error = 0;
    int size = sizeof error;
    return ::getsockopt(handle_->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                        &size) != 0 ||
           error != 0;
}

void TcpConnection::shutdownSending() {
    if (isOpen()) ::shutdown(handle_->socket, SD_SEND);
}

void TcpConnection::close() {
    if (handle_) closeSocket(handle_->socket);
}

bool TcpConnection::isOpen() const { return handle_ && handle_->socket != INVALID_SOCKET; }

TcpListener::TcpListener(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
TcpListener::TcpListener(TcpListener&& other) noexcept = default;
TcpListener& TcpListener::operator=(TcpListener&& other) noexcept = default;
TcpListener::~TcpListener() = default;

std::optional<TcpListener> TcpListener::listen(const Ipv4Address& local, SocketError* why) {
    const auto fail = [why](SocketError error) -> std::optional<TcpListener> {
        if (why) *why = error;
        return std::nullopt;
    };
    winsockStarted();  // a failed start shows as the next call failing
    auto handle = std::make_unique<Handle>();
    handle->socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle->socket == INVALID_SOCKET || !makeNonBlocking(handle->socket))
        return fail(SocketError::other);
    // Windows' SO_REUSEADDR would let another program take the port from
    // under this one; exclusive use is the safe choice there, and a restart
    // never waits on old connections anyway.
    setOption(handle->socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
    const sockaddr_in raw = toSockaddr(local);
    if (::bind(handle->socket, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) != 0)
        return fail(lastSocketError());
    if (::listen(handle->socket, SOMAXCONN) != 0) return fail(lastSocketError());
    if (why) *why = SocketError::none;
    return TcpListener(std::move(handle));
}

std::optional<TcpConnection> TcpListener::accept(SocketError* why) {
    if (why) *why = SocketError::none;
    if (!handle_ || handle_->socket == INVALID_SOCKET) return std::nullopt;
    for (;;) {
        sockaddr_in raw{};
        int size = sizeof raw;
        auto handle = std::make_unique<TcpConnection::Handle>();
        handle->socket = ::accept(handle_->socket, reinterpret_cast<sockaddr*>(&raw), &size);
        if (handle->socket != INVALID_SOCKET) {
            // Accepted sockets inherit non-blocking mode from the listener;
            // saying so again costs nothing and does not rely on it.
            makeNonBlocking(handle->socket);
            prepareConnection(handle->socket);
            return TcpConnection(std::move(handle), fromSockaddr(raw));
        }
        if (::WSAGetLastError() == WSAECONNRESET) continue;  // gone while it waited
        if (why && !wouldBlock()) *why = lastSocketError();
        return std::nullopt;
    }
}

std::optional<Ipv4Address> TcpListener::localAddress() const {
    if (!handle_ || handle_->socket == INVALID_SOCKET) return std::nullopt;
    sockaddr_in raw{};
    int size = sizeof raw;
    if (::getsockname(handle_->socket, reinterpret_cast<sockaddr*>(&raw), &size) != 0)
        return std::nullopt;
    return fromSockaddr(raw);
}

void TcpListener::close() {
    if (handle_) closeSocket(handle_->socket);
}

SocketPoll::SocketPoll() : entries_(std::make_unique<Entries>()) {}
SocketPoll::~SocketPoll() = default;

void SocketPoll::clear() { entries_->fds.clear(); }

std::size_t SocketPoll::add(const TcpListener& listener) {
    WSAPOLLFD entry{};
    entry.fd = listener.handle_ ? listener.handle_->socket : INVALID_SOCKET;
    entry.events = POLLRDNORM;
    entries_->fds.push_back(entry);
    return entries_->fds.size() - 1;
}

std::size_t SocketPoll::add(const TcpConnection& connection, bool writable, bool readable) {
    WSAPOLLFD entry{};
    entry.fd = connection.handle_ ? connection.handle_->socket : INVALID_SOCKET;
    entry.events = static_cast<SHORT>((readable ? POLLRDNORM : 0) | (writable ? POLLWRNORM : 0));
    entries_->fds.push_back(entry);
    return entries_->fds.size() - 1;
}

bool SocketPoll::wait(std::chrono::milliseconds timeout) {
    std::vector<WSAPOLLFD>& fds = entries_->fds;
    for (WSAPOLLFD& entry : fds) entry.revents = 0;
    if (fds.empty()) {
        // WSAPoll refuses an empty set; the caller still expects the pause.
        ::Sleep(static_cast<DWORD>(timeout.count()));
        return false;
    }
    return ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()),
                     static_cast<INT>(timeout.count())) > 0;
}

bool SocketPoll::readable(std::size_t index) const {
    return (entries_->fds[index].revents & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SocketPoll::writable(std::size_t index) const {
    return (entries_->fds[index].revents & (POLLWRNORM | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace korvane
