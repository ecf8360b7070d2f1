#pragma once

// Windows test fixtures for serial code: two COM ports joined like a
// null-modem cable (com0com on Windows; under Wine, scripts/windows-test.sh
// joins two through a socat pseudo-terminal pair), named by
// KORVANE_TEST_COM_PAIR="n,m". The code under test opens COMn; the test is
// the receiver on COMm.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace korvane::testing {

// Wine shows some things differently from Windows (it lets a second opener
// have a COM port); the tests of those skip under it.
inline bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline std::chrono::milliseconds elapsedSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// XON/XOFF output flow control on a port, as an operator's port settings have
// it (a port keeps it when opened), until destroyed.
class XonXoff {
public:
    explicit XonXoff(int port) : path_(L"\\\\.\\COM" + std::to_wstring(port)) { set(TRUE); }
    ~XonXoff() { set(FALSE); }
    bool took() const { return took_; }

private:
    void set(BOOL on) {
        const HANDLE port = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        took_ = port != INVALID_HANDLE_VALUE && ::GetCommState(port, &dcb);
        dcb.fOutX = on;
        took_ = took_ && ::SetCommState(port, &dcb);
        if (port != INVALID_HANDLE_VALUE) ::CloseHandle(port);
    }
    std::wstring path_;
    bool took_ = false;
};

class ComPairTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pair = std::getenv("KORVANE_TEST_COM_PAIR");
        if (pair == nullptr || std::sscanf(pair, "%d,%d", &device, &other) != 2)
            GTEST_SKIP() << "no COM port pair: KORVANE_TEST_COM_PAIR=n,m names two joined ports";
        receiver = SerialPort::open(serialDevicePath(other), 9600);
        ASSERT_NE(receiver, nullptr) << "COM" << other << " does not open";
        receiveFor(std::chrono::milliseconds{50});  // whatever an earlier test left on the line
    }

    bool send(std::string_view text) { return receiver->write(text.data(), text.size()); }

    // What the receiver gets until `done(text)` holds or `limit` has passed.
    template <typename Done>
    std::string receiveUntil(std::chrono::milliseconds limit, Done done) {
        std::string text;
        const auto start = std::chrono::steady_clock::now();
        char chunk[4096];
        while (elapsedSince(start) < limit && !done(text))
            text.append(chunk, receiver->read(chunk, sizeof chunk));
        return text;
    }
    std::string receiveFor(std::chrono::milliseconds window) {
        return receiveUntil(window, [](const std::string&) { return false; });
    }

    int device = 0;
    int other = 0;
    std::unique_ptr<SerialPort> receiver;
};

}  // namespace korvane::testing
