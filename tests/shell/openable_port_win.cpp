#include <cstdio>
#include <cstdlib>

#include "openable_port.h"

namespace korvane::testing {

struct OpenablePort::Held {};

OpenablePort::OpenablePort() {
    const char* pair = std::getenv("KORVANE_TEST_COM_PAIR");
    int device = 0;
    int other = 0;
    if (pair != nullptr && std::sscanf(pair, "%d,%d", &device, &other) == 2) {
        number_ = device;
    } else {
        why_ = "no COM port pair: KORVANE_TEST_COM_PAIR=n,m names two joined ports";
    }
}

OpenablePort::~OpenablePort() = default;

}  // namespace korvane::testing
