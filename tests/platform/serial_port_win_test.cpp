#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "file_fixtures.h"
#include "platform/com_pair.h"
#include "platform/manual_reset_event.h"
#include "platform/serial_port.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::elapsedSince;

TEST(SerialPort, ComNumberIsTheSystemsOwnDeviceAndOnlyASerialLineOpens) {
    testing::TempWorkingDir directory;
    std::ofstream("COM3") << "an entry here is no port on Windows";
    std::ofstream("plain.txt") << "not a serial line";
    EXPECT_EQ(serialDevicePath(3), "\\\\.\\COM3");
    EXPECT_EQ(serialDevicePath(12), "\\\\.\\COM12");
    EXPECT_EQ(serialDevicePath(0), "");
    EXPECT_EQ(serialDevicePath(-4), "");
    EXPECT_EQ(SerialPort::open("plain.txt", 9600), nullptr);
    EXPECT_EQ(SerialPort::open("\\\\.\\COM200", 9600), nullptr);
    EXPECT_EQ(SerialPort::open("", 9600), nullptr);
}

using SerialPortPair = testing::ComPairTest;

TEST_F(SerialPortPair, BytesPassUnchangedBothWaysAndReadsKeepTheirTimes) {
    auto port = SerialPort::open(serialDevicePath(device), 57600);
    ASSERT_NE(port, nullptr);
    char buffer[64];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->read(buffer, sizeof buffer), 0u);  // nothing queued: the full wait
    EXPECT_GE(elapsedSince(start), kSerialReadWait - 10ms);
    EXPECT_LT(elapsedSince(start), 400ms);

    // CR LF, ^C, ^D, ^S, DEL, a NUL and a high byte: none may be translated,
    // dropped or taken for flow control.
    const std::string bytes("&&\r\n\x03\x04\x13\x7f\0\xff!!\n", 13);
    ASSERT_TRUE(send(bytes));
    std::this_thread::sleep_for(100ms);  // all of it queued
    start = std::chrono::steady_clock::now();
    std::string got;
    while (got.size() < bytes.size()) {
        const std::size_t n = port->read(buffer, 5);
        if (n == 0) break;
        got.append(buffer, n);
    }
    EXPECT_EQ(got, bytes);
    EXPECT_LT(elapsedSince(start), 80ms);  // queued bytes come at once
    EXPECT_TRUE(port->write(bytes.data(), bytes.size()));
    EXPECT_EQ(receiveFor(300ms), bytes);
    EXPECT_FALSE(port->gone());
}

TEST_F(SerialPortPair, SecondOpenFailsUntilTheFirstCloses) {
    if (testing::underWine()) GTEST_SKIP() << "Wine lets a second opener have a COM port";
    auto first = SerialPort::open(serialDevicePath(device), 9600);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SerialPort::open(serialDevicePath(device), 9600), nullptr);
    first.reset();
    EXPECT_NE(SerialPort::open(serialDevicePath(device), 9600), nullptr);
}

// The receiver holds the line with XOFF: a stop ends the held write within a
// slice, and its rest is discarded.
TEST_F(SerialPortPair, AStopEndsAWriteTheLineHolds) {
    testing::XonXoff flowControl(device);
    ASSERT_TRUE(flowControl.took());
    auto port = SerialPort::open(serialDevicePath(device), 9600);
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(send("\x13"));  // XOFF
    std::this_thread::sleep_for(100ms);
    ManualResetEvent stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(500ms);
        stop.set();
    });
    const std::string frame(40000, 'x');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port->write(frame.data(), frame.size(), &stop));
    stopper.join();
    EXPECT_GE(elapsedSince(start), 450ms);
    EXPECT_LT(elapsedSince(start), 1000ms);  // long before kSerialWriteStall
    EXPECT_FALSE(port->gone());
    ASSERT_TRUE(send("\x11"));  // XON
    EXPECT_LT(receiveFor(300ms).size(), frame.size());
}

}  // namespace
}  // namespace korvane
