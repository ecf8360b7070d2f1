#pragma once

// Two COM ports joined like a null-modem cable (com0com; under Wine a socat
// pseudo-terminal pair, see scripts/windows-test.sh), named by
// KORVANE_TEST_COM_PAIR="n,m": the code under test opens COMn, the test is the
// receiver on COMm.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace korvane::testing {

// Wine lets a second opener have a COM port; tests of that skip under it.
inline bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// XON/XOFF output flow control, as a port's settings have it before it opens.
inline bool setXonXoff(int port, bool on) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(port);
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool took = handle != INVALID_HANDLE_VALUE && ::GetCommState(handle, &dcb);
    dcb.fOutX = on;
    took = took && ::SetCommState(handle, &dcb);
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    return took;
}

class ComPairTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pair = std::getenv("KORVANE_TEST_COM_PAIR");
        if (pair == nullptr || std::sscanf(pair, "%d,%d", &device, &other) != 2)
            GTEST_SKIP() << "no COM port pair: KORVANE_TEST_COM_PAIR=n,m names two joined ports";
        ASSERT_TRUE(setXonXoff(device, false));
        receiver = SerialPort::open(serialDevicePath(other), 9600);
        ASSERT_NE(receiver, nullptr) << "COM" << other << " does not open";
        receiveFor(std::chrono::milliseconds{50});  // what an earlier test left on the line
    }

    bool send(const std::string& text) { return receiver->write(text.data(), text.size()); }
    std::string receiveFor(std::chrono::milliseconds window) {
        std::string text;
        char chunk[4096];
        const auto end = std::chrono::steady_clock::now() + window;
        while (std::chrono::steady_clock::now() < end)
            text.append(chunk, receiver->read(chunk, sizeof chunk));
        return text;
    }

    int device = 0;
    int other = 0;
    std::unique_ptr<SerialPort> receiver;
};

}  // namespace korvane::testing
