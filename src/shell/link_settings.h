#pragma once

#include <cstdint>

namespace korvane {

// medium values; medium is both the chosen medium and the state of the link.
inline constexpr int32_t kMediumNone = 0;
inline constexpr int32_t kMediumUdp = 1;
inline constexpr int32_t kMediumRs232 = 2;

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
};

}  // namespace korvane
