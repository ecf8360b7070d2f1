#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

// An IPv4 address and UDP port, octets first octet first, port in host order.
struct Ipv4Address {
    uint8_t octets[4] = {0, 0, 0, 0};
    uint16_t port = 0;

    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

// "a.b.c.d", the way the peer address is shown to the operator.
std::string formatAddress(const Ipv4Address& address);

// Reads strict dotted-quad text ("127.0.0.1": four decimal octets 0..255, no
// blanks, no shorthand forms); nothing for anything else.
std::optional<Ipv4Address> parseAddress(const std::string& text, uint16_t port);

// Why a socket call failed, as far as the operator can do something about it.
enum class SocketError {
    none,
    addressInUse,  // another program holds the port
    accessDenied,  // the system does not let this program have the port
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
    bool isOpen() const { return fd_ >= 0; }

private:
    explicit UdpSocket(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace korvane
