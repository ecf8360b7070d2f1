// The serial port and the RS-232 links on Windows, against two COM ports
// joined like a null-modem cable (com0com; under Wine a socat pseudo-terminal
// pair, see scripts/windows-test.sh), named by KORVANE_TEST_COM_PAIR="n,m":
// the code under test opens COMn, the test is the receiver on COMm.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "file_fixtures.h"
#include "links/link_control.h"
#include "links/link_runner.h"
#include "links/rs232_links.h"
#include "platform/serial_port.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Wine lets a second opener have a COM port; tests of that skip under it.
bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// XON/XOFF output flow control, as a port's settings have it before it opens.
bool setXonXoff(int port, bool on) {
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

std::size_t countFrames(const std::string& text) {
    std::size_t count = 0;
    for (auto at = text.find("1984KVT"); at != std::string::npos; at = text.find("1984KVT", at + 1))
        ++count;
    return count;
}

class ComPair : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pair = std::getenv("KORVANE_TEST_COM_PAIR");
        if (pair == nullptr || std::sscanf(pair, "%d,%d", &device, &other) != 2)
            GTEST_SKIP() << "no COM port pair: KORVANE_TEST_COM_PAIR=n,m names two joined ports";
        ASSERT_TRUE(setXonXoff(device, false));
        receiver = SerialPort::open(serialDevicePath(other), 9600);
        ASSERT_NE(receiver, nullptr) << "COM" << other << " does not open";
        receiveFor(50ms);  // what an earlier test left on the line
    }
    void TearDown() override {
        if (control.linkEnded) {
            EXPECT_TRUE(stop());
        }
    }

    bool send(const std::string& text) { return receiver->write(text.data(), text.size()); }
    std::string receiveFor(std::chrono::milliseconds window) {
        std::string text;
        char chunk[4096];
        for (const auto end = Clock::now() + window; Clock::now() < end;)
            text.append(chunk, receiver->read(chunk, sizeof chunk));
        return text;
    }
    // A link thread on COMn, started and stopped with link control's handshake.
    bool start(void (*body)(SharedState&, LinkControl&)) {
        shared.link.comPort = device;
        shared.link.transmitInterval = 0.5f;
        EXPECT_TRUE(launchLink(shared, control, body));
        return control.linkAckEvent.waitFor(5000ms) && control.linkStatus.load() == kLinkUp;
    }
    bool stop() {  // true when acknowledged within a second
        const bool ended = stopLinkThread(control, 1000ms);
        return ended && control.linkAckEvent.isSet() && control.linkStatus.load() == kLinkDown;
    }

    int device = 0;
    int other = 0;
    std::unique_ptr<SerialPort> receiver;
    SharedState shared;
    LinkControl control;
};

TEST(SerialPort, ComNumberIsTheSystemsOwnDeviceAndOnlyASerialLineOpens) {
    testing::TempWorkingDir directory;
    std::ofstream("COM3") << "an entry here is no port on Windows";
    EXPECT_EQ(serialDevicePath(3), "\\\\.\\COM3");
    EXPECT_EQ(serialDevicePath(0), "");
    EXPECT_EQ(SerialPort::open("COM3", 9600), nullptr);
    EXPECT_EQ(SerialPort::open("\\\\.\\COM200", 9600), nullptr);
}

TEST_F(ComPair, BytesPassUnchangedBothWaysAndReadsKeepTheirTimes) {
    auto port = SerialPort::open(serialDevicePath(device), 57600);
    ASSERT_NE(port, nullptr);
    char buffer[64];
    auto start = Clock::now();
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0u);  // nothing queued: the full wait
    EXPECT_GE(Clock::now() - start, kSerialReadWait - 10ms);
    EXPECT_LT(Clock::now() - start, 400ms);

    // CR LF, ^C, ^D, ^S, DEL, a NUL and a high byte: none may be translated,
    // dropped or taken for flow control.
    const std::string bytes("&&\r\n\x03\x04\x13\x7f\0\xff!!\n", 13);
    ASSERT_TRUE(send(bytes));
    std::this_thread::sleep_for(100ms);  // all of it queued
    start = Clock::now();
    std::string got;
    for (std::size_t n = 1; n > 0 && got.size() < bytes.size();)
        got.append(buffer, n = port->read(buffer, 5));
    EXPECT_EQ(got, bytes);
    EXPECT_LT(Clock::now() - start, 80ms);  // queued bytes come at once
    EXPECT_TRUE(port->write(bytes.data(), bytes.size()));
    EXPECT_EQ(receiveFor(300ms), bytes);
    EXPECT_FALSE(port->gone());
}

TEST_F(ComPair, SecondOpenFailsUntilTheFirstCloses) {
    if (underWine()) GTEST_SKIP() << "Wine lets a second opener have a COM port";
    auto first = SerialPort::open(serialDevicePath(device), 9600);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SerialPort::open(serialDevicePath(device), 9600), nullptr);
    first.reset();
    EXPECT_NE(SerialPort::open(serialDevicePath(device), 9600), nullptr);
}

TEST_F(ComPair, InterrogatedLinkAnswersARequestOnce) {
    ASSERT_TRUE(start(rs232InterrogatedLink));
    ASSERT_TRUE(send("&&\r\n0140 12.5\r\n!!\r\n"));
    const std::string text = receiveFor(1500ms);
    EXPECT_EQ(countFrames(text), 1u);
    EXPECT_EQ(text.substr(0, 17), "&&\r\n1984KVT\r\n!!\r\n");
    EXPECT_EQ(shared.sim.receivedGas.load(), 12.5f);
}

// Once the receiver holds the line with XOFF, a stop still ends the link at
// once: the held write gives its frame up.
TEST_F(ComPair, StreamingLinkSendsFramesAndAStopEndsAHeldWrite) {
    ASSERT_TRUE(setXonXoff(device, true));
    ASSERT_TRUE(start(rs232StreamingLink));
    EXPECT_GE(countFrames(receiveFor(1300ms)), 2u);
    ASSERT_TRUE(send("\x13"));  // XOFF
    receiveFor(1200ms);         // a frame or two went before it took hold
    EXPECT_TRUE(stop());
    ASSERT_TRUE(send("\x11"));  // XON
    EXPECT_EQ(countFrames(receiveFor(300ms)), 0u);
}

}  // namespace
}  // namespace korvane
