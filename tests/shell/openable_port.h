#pragma once

#include <memory>
#include <string>

namespace korvane::testing {

// A COM port number that opens while `held` lives: on Linux a COMn link, in a
// working folder of its own, to a pseudo-terminal; on Windows the first port
// of the test's COM port pair (KORVANE_TEST_COM_PAIR="n,m"). Number 0 when
// there is none here, and `why` says why.
struct OpenablePort {
    int number = 0;
    std::string why;
    std::shared_ptr<void> held;
};
OpenablePort openablePort();

}  // namespace korvane::testing
