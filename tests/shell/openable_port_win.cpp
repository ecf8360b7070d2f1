#include <cstdio>
#include <cstdlib>

#include "openable_port.h"

namespace korvane::testing {

OpenablePort openablePort() {
    const char* pair = std::getenv("KORVANE_TEST_COM_PAIR");
    int device = 0;
    int other = 0;
    if (pair != nullptr && std::sscanf(pair, "%d,%d", &device, &other) == 2)
        return {device, "", nullptr};
    return {0, "no COM port pair: KORVANE_TEST_COM_PAIR=n,m names two joined ports", nullptr};
}

}  // namespace korvane::testing
