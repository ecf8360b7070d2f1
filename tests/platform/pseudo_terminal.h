#pragma once

// Test fixtures for serial code: a pseudo-terminal pair standing in for a
// serial line, and the COMn name that maps it into the working directory.

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "file_fixtures.h"

namespace korvane::testing {

// The slave end is the "serial device" the code under test opens by path; the
// test plays the receiver on the master end.
class PseudoTerminal {
public:
    PseudoTerminal() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) slavePath_ = name;
    }
    ~PseudoTerminal() {
        closeMaster();
        closeSlave();
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return !slavePath_.empty(); }
    const std::string& slavePath() const { return slavePath_; }
    int slave() const { return slave_; }
    int master() const { return master_; }

    // The receiver hangs up.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    // Leaves the device to the code under test alone, so its close is seen as a hang-up.
    void closeSlave() {
        if (slave_ >= 0) ::close(slave_);
        slave_ = -1;
    }

    // What the receiver sends.
    bool send(std::string_view text) const {
        return ::write(master_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Everything the receiver gets within `window`.
    std::string receiveFor(std::chrono::milliseconds window) const {
        return receiveUntil(window, [](const std::string&) { return false; });
    }

    // What the receiver gets until `done(text)` holds or `limit` has passed.
    template <typename Done>
    std::string receiveUntil(std::chrono::milliseconds limit, Done done) const {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || done(text)) return text;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[4096];
            const ssize_t got = ::read(master_, chunk, sizeof chunk);
            if (got <= 0) return text;  // the device side was closed
            text.append(chunk, static_cast<std::size_t>(got));
        }
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Makes COMn in the working directory name `target`, as a user does for a USB
// adapter (with a testing::TempWorkingDir as the working directory).
inline bool mapPort(int portNumber, const std::string& target) {
    std::error_code error;
    std::filesystem::create_symlink(target, "COM" + std::to_string(portNumber), error);
    return !error;
}

inline std::chrono::milliseconds elapsedSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

}  // namespace korvane::testing
