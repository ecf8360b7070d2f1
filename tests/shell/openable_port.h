#pragma once

#include <memory>
#include <string>

namespace korvane::testing {

// A COM port number that opens while this lives: on Linux a COMn link, in a
// working folder of its own, to a pseudo-terminal; on Windows the first port
// of the test's COM port pair (KORVANE_TEST_COM_PAIR="n,m").
class OpenablePort {
public:
    OpenablePort();
    ~OpenablePort();
    OpenablePort(const OpenablePort&) = delete;
    OpenablePort& operator=(const OpenablePort&) = delete;

    // 0 when there is none here; why() then says why.
    int number() const { return number_; }
    const std::string& why() const { return why_; }

private:
    struct Held;
    std::unique_ptr<Held> held_;
    int number_ = 0;
    std::string why_;
};

}  // namespace korvane::testing
