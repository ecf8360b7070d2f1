#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ipv4_address.h"  // kMaxHostLength

namespace korvane {

// medium values; medium is both the chosen medium and the state of the link.
inline constexpr int32_t kMediumNone = 0;
inline constexpr int32_t kMediumUdp = 1;
inline constexpr int32_t kMediumRs232 = 2;
// In memory only: Korvane.ini keeps 0..2 in its medium field and says TCP in a
// block of its own (see settings_file.cpp).
inline constexpr int32_t kMediumTcp = 3;

// tcpRole values.
inline constexpr int32_t kTcpServer = 0;  // receivers connect to Korvane
inline constexpr int32_t kTcpClient = 1;  // Korvane connects to the receiver

inline constexpr int32_t kDefaultTcpPort = 5001;
inline constexpr int32_t kDefaultTcpReceiverLimit = 256;

// The default UDP peer: a fixed address from the 192.168.0.0/16 private range.
inline constexpr int32_t kDefaultPeer[4] = {192, 168, 1, 100};

inline constexpr int kBaudCount = 6;
inline constexpr int32_t kBaudRates[kBaudCount] = {4800, 9600, 19200, 38400, 57600, 115200};

// Baud rate for a baudIndex; any index outside the table gives 9600.
constexpr int32_t baudRateFor(int32_t baudIndex) {
    return baudIndex >= 0 && baudIndex < kBaudCount ? kBaudRates[baudIndex] : 9600;
}

struct LinkSettings {
    int32_t medium = kMediumNone;
    int32_t interrogated = 0;
    int32_t comPort = 1;    // COM1..COM99
    int32_t baudIndex = 1;  // 9600
    int32_t ipAddress[4] = {kDefaultPeer[0], kDefaultPeer[1], kDefaultPeer[2], kDefaultPeer[3]};
    float transmitInterval = 3.0f;  // seconds
    int32_t tcpRole = kTcpServer;
    int32_t tcpPort = kDefaultTcpPort;                    // listened on, or connected to
    int32_t tcpListenAddress[4] = {0, 0, 0, 0};           // a server's local address; 0s: every one
    std::string tcpHost{};                                // a client's receiver: name or IPv4
    int32_t tcpReceiverLimit = kDefaultTcpReceiverLimit;  // not kept in Korvane.ini
};

}  // namespace korvane
