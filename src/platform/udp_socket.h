#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

#include "platform/ipv4_address.h"

namespace korvane {

// Why a socket call failed, as far as the operator can do something about it.
enum class SocketError {
    none,
    addressInUse,      // another program holds the port
    accessDenied,      // the system does not let this program have the port
    outOfDescriptors,  // the process or the system has no descriptors left
    other,
};

// The outcome of a call that either works or says why not.
struct SocketResult {
    SocketError error = SocketError::none;
    explicit operator bool() const { return error == SocketError::none; }
};

// Result of one receive.
struct Datagram {
    // Size of the whole datagram, which is more than the buffer could take
    // when it was cut short; -1 when nothing was waiting or the receive failed.
    long length = -1;
    Ipv4Address sender;
};

// A non-blocking IPv4 datagram socket, closed when destroyed.
class UdpSocket {
public:
    // A new socket; protocol 0 lets the system choose, 17 asks for UDP by number.
    static std::optional<UdpSocket> open(int protocol = 0);

    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    ~UdpSocket();

    SocketResult bind(const Ipv4Address& local);
    // The address the socket is bound to (port chosen by the system after a bind to 0).
    std::optional<Ipv4Address> localAddress() const;
    // Bytes sent, or -1.
    long sendTo(const void* data, std::size_t size, const Ipv4Address& to);
    // Takes one datagram if one is waiting, without waiting for one. At most
    // `capacity` bytes land in `buffer`; the rest of a longer datagram is lost.
    Datagram receiveFrom(void* buffer, std::size_t capacity);
    // True when a datagram (or an error) is waiting, within timeout.
    bool waitReadable(std::chrono::milliseconds timeout) const;
    void close();
    bool isOpen() const { return native_ != nullptr; }

private:
    struct Native;  // the system's socket, defined by each system's source
    explicit UdpSocket(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
};

}  // namespace korvane
