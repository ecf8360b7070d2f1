#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "file_fixtures.h"
#include "platform/com_pair.h"
#include "platform/serial_port.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(SerialPort, ComNumberIsTheSystemsOwnDeviceAndOnlyASerialLineOpens) {
    testing::TempWorkingDir directory;
    std::ofstream("COM3") << "an entry here is no port on Windows";
    EXPECT_EQ(serialDevicePath(3), "\\\\.\\COM3");
    EXPECT_EQ(serialDevicePath(12), "\\\\.\\COM12");
    EXPECT_EQ(serialDevicePath(0), "");
    EXPECT_EQ(SerialPort::open("COM3", 9600), nullptr);
    EXPECT_EQ(SerialPort::open("\\\\.\\COM200", 9600), nullptr);
}

using SerialPortPair = testing::ComPairTest;

TEST_F(SerialPortPair, BytesPassUnchangedBothWaysAndReadsKeepTheirTimes) {
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

TEST_F(SerialPortPair, SecondOpenFailsUntilTheFirstCloses) {
    if (testing::underWine()) GTEST_SKIP() << "Wine lets a second opener have a COM port";
    auto first = SerialPort::open(serialDevicePath(device), 9600);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SerialPort::open(serialDevicePath(device), 9600), nullptr);
    first.reset();
    EXPECT_NE(SerialPort::open(serialDevicePath(device), 9600), nullptr);
}

}  // namespace
}  // namespace korvane
