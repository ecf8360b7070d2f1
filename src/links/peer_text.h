#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// The four octets of an address setting as "%d.%d.%d.%d", out-of-range ones
// included, as the operator entered them.
std::string peerText(const int32_t (&octets)[4]);

}  // namespace korvane
