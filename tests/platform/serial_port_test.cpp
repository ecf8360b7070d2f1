#include "platform/serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <fstream>

#include "platform/pseudo_terminal.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::elapsedSince;

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }

    testing::TempWorkingDir directory;
    testing::PseudoTerminal pty;
};

TEST_F(SerialPortTest, ComNumberMapsToWorkingDirectoryEntryElseTtyS) {
    EXPECT_EQ(serialDevicePath(3), "/dev/ttyS2");
    EXPECT_EQ(serialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(serialDevicePath(0), "");
    EXPECT_EQ(serialDevicePath(-4), "");
    // The entry counts even when it leads nowhere: the open then fails.
    ASSERT_TRUE(testing::mapPort(3, "/nonexistent/ttyX"));
    EXPECT_EQ(serialDevicePath(3), "COM3");
    EXPECT_EQ(SerialPort::open(serialDevicePath(3), 9600), nullptr);
}

TEST_F(SerialPortTest, RefusesWhatIsNoTerminal) {
    std::ofstream("plain.txt") << "not a serial line";
    SerialOpenError why = SerialOpenError::none;
    EXPECT_EQ(SerialPort::open("plain.txt", 9600, &why), nullptr);
    EXPECT_EQ(why, SerialOpenError::notSerial);
    EXPECT_EQ(SerialPort::open("missing", 9600, &why), nullptr);
    EXPECT_EQ(why, SerialOpenError::missing);
    EXPECT_EQ(SerialPort::open("", 9600), nullptr);
}

TEST_F(SerialPortTest, SetsEightNoneOneAndKeepsFlowControlAndSpecialCharacters) {
    termios before{};
    ASSERT_EQ(tcgetattr(pty.slave(), &before), 0);
    before.c_iflag |= IXON | IXOFF;
    before.c_cflag |= PARENB | CSTOPB;
    before.c_cc[VSTOP] = 0x13;
    before.c_cc[VSTART] = 0x11;
    ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &before), 0);

    auto port = SerialPort::open(pty.slavePath(), 57600);
    ASSERT_NE(port, nullptr);
    termios after{};
    ASSERT_EQ(tcgetattr(pty.slave(), &after), 0);
    EXPECT_EQ(cfgetospeed(&after), B57600);
    EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(after.c_cc[VSTOP], 0x13);
    EXPECT_EQ(after.c_cc[VSTART], 0x11);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(after.c_cc[VMIN], 0);
    EXPECT_EQ(after.c_cc[VTIME], 1);
}

TEST_F(SerialPortTest, UnknownRateGives9600) {
    auto port = SerialPort::open(pty.slavePath(), 12345);
    ASSERT_NE(port, nullptr);
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.slave(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
}

TEST_F(SerialPortTest, BytesPassUnchangedBothWaysWithoutEcho) {
    auto port = SerialPort::open(pty.slavePath(), 9600);
    ASSERT_NE(port, nullptr);
    // CR LF, ^C, ^D, DEL, a NUL and a high byte: a line discipline would
    // translate, signal, end a line or echo some of these.
    const std::string bytes("&&\r\n\x03\x04\x7f\0\xff!!\n", 12);
    ASSERT_TRUE(pty.send(bytes));
    char buffer[64];
    std::string got;
    while (got.size() < bytes.size()) {
        const std::size_t n = port->read(buffer, sizeof buffer);
        if (n == 0) break;
        got.append(buffer, n);
    }
    EXPECT_EQ(got, bytes);
    EXPECT_TRUE(port->write(bytes.data(), bytes.size()));
    EXPECT_EQ(pty.receiveFor(200ms), bytes);  // nothing echoed, no CR added
}

TEST_F(SerialPortTest, SecondOpenOfTheSameDeviceFailsUntilTheFirstCloses) {
    auto first = SerialPort::open(pty.slavePath(), 9600);
    ASSERT_NE(first, nullptr);
    SerialOpenError why = SerialOpenError::none;
    EXPECT_EQ(SerialPort::open(pty.slavePath(), 9600, &why), nullptr);
    EXPECT_EQ(why, SerialOpenError::busy);
    first.reset();
    EXPECT_NE(SerialPort::open(pty.slavePath(), 9600), nullptr);
}

TEST_F(SerialPortTest, ReadsAfterHangUpKeepTheirPace) {
    auto port = SerialPort::open(pty.slavePath(), 9600);
    ASSERT_NE(port, nullptr);
    pty.closeMaster();
    char buffer[16];
    constexpr int kReads = 4;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kReads; ++i) EXPECT_EQ(port->read(buffer, sizeof buffer), 0u);
    // Each read returned nothing after its full wait, not at once.
    EXPECT_GE(elapsedSince(start), kReads * (kSerialReadWait - 5ms));
}

}  // namespace
}  // namespace korvane
