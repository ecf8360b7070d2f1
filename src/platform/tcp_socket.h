#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/udp_socket.h"

namespace korvane {

// Every connection has keep-alive on, so a peer that vanished without closing
// (a pulled cable, a crashed host) is given up after about a minute of silence
// rather than the system's two hours.
inline constexpr std::chrono::seconds kKeepAliveIdle{30};
inline constexpr std::chrono::seconds kKeepAliveInterval{10};
inline constexpr int kKeepAliveProbes = 3;
// What the system itself holds for a connection before sends stop taking
// bytes: enough for several of the widest frames, small enough that a
// receiver that stops reading shows soon.
inline constexpr int kTcpSendBufferBytes = 64 * 1024;

// What one send or receive did. Neither ever waits.
struct TcpTransfer {
    std::size_t bytes = 0;  // moved; 0 with closed false: nothing could move now
    bool closed = false;    // the connection failed, or the peer has closed for good
    // The peer will send no more (it shut down its sending side); sending to
    // it may still work, so this alone is no reason to close.
    bool ended = false;
};

class SocketPoll;

// A non-blocking IPv4 stream connection with keep-alive and no send delay,
// closed when destroyed. Sends never raise a signal.
class TcpConnection {
public:
    // Starts connecting to `to` without waiting; the connection is usable once
    // the socket is writable and connectOutcome() says so. Nothing when the
    // system gives no socket or refuses at once.
    static std::optional<TcpConnection> startConnect(const Ipv4Address& to);

    TcpConnection(TcpConnection&& other) noexcept;
    TcpConnection& operator=(TcpConnection&& other) noexcept;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;
    ~TcpConnection();

    // After startConnect, once the socket is writable: none when connected.
    SocketResult connectOutcome() const;
    TcpTransfer send(const void* data, std::size_t size);
    TcpTransfer receive(void* buffer, std::size_t capacity);
    const Ipv4Address& peer() const { return peer_; }
    // Sends no more; the peer reads the end of the stream, and may still send.
    void shutdownSending();
    // True when the system holds an error for the connection (the peer reset
    // it): an end of stream read from it was no mere half-close.
    bool hasFailed() const;
    void close();
    bool isOpen() const;

private:
    friend class TcpListener;
    friend class SocketPoll;
    struct Handle;
    TcpConnection(std::unique_ptr<Handle> handle, const Ipv4Address& peer);

    std::unique_ptr<Handle> handle_;
    Ipv4Address peer_;
};

// A non-blocking listening socket; the address can be taken again at once
// after the program ends (no wait for old connections to time out).
class TcpListener {
public:
    // Listens on `local` (port 0: one the system chooses). Says why not.
    static std::optional<TcpListener> listen(const Ipv4Address& local, SocketError* why = nullptr);

    TcpListener(TcpListener&& other) noexcept;
    TcpListener& operator=(TcpListener&& other) noexcept;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;
    ~TcpListener();

    // A connection that is waiting, set up like every TcpConnection; nothing
    // when none is waiting or it cannot be taken now (`why` says which).
    std::optional<TcpConnection> accept(SocketError* why = nullptr);
    std::optional<Ipv4Address> localAddress() const;
    void close();

private:
    friend class SocketPoll;
    struct Handle;
    explicit TcpListener(std::unique_ptr<Handle> handle);

    std::unique_ptr<Handle> handle_;
};

// One wait for any of many sockets, rebuilt before every wait: clear, add,
// wait, then ask by the index add returned.
class SocketPoll {
public:
    SocketPoll();
    ~SocketPoll();
    SocketPoll(const SocketPoll&) = delete;
    SocketPoll& operator=(const SocketPoll&) = delete;

    void clear();
    // Readable: a connection is waiting.
    std::size_t add(const TcpListener& listener);
    // Failures are always watched for; data (or the end of the stream) and
    // room to write when asked for.
    std::size_t add(const TcpConnection& connection, bool writable, bool readable = true);
    // Waits up to timeout for any of them; false when none is ready.
    bool wait(std::chrono::milliseconds timeout);
    // A failed socket counts as both, so its next transfer finds the failure.
    bool readable(std::size_t index) const;
    bool writable(std::size_t index) const;

private:
    struct Entries;
    std::unique_ptr<Entries> entries_;
};

// The first IPv4 address of a host name, or the address itself for dotted
// text; when there is none, `why` gets the system's reason. May wait on name
// servers for seconds: not for a thread that must answer a stop at once.
std::optional<Ipv4Address> resolveIpv4(const std::string& host, uint16_t port,
                                       std::string* why = nullptr);

}  // namespace korvane
