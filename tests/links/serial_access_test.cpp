#include "links/serial_access.h"

#include <gtest/gtest.h>
#include <termios.h>

#include "platform/pseudo_terminal.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::elapsedSince;

// The pseudo-terminal's slave end stands in for COM3.
class SerialAccessTest : public ::testing::Test {
protected:
    static constexpr int32_t kPort = 3;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(testing::mapPort(kPort, pty.slavePath()));
    }

    testing::TempWorkingDir directory;
    testing::PseudoTerminal pty;
};

TEST_F(SerialAccessTest, OpensAtTheRateOfTheBaudTable) {
    struct Case {
        const char* legend;
        int32_t baudIndex;
        speed_t speed;
    };
    const Case cases[] = {
        {"first entry", 0, B4800},     {"the default index", 1, B9600},
        {"last entry", 5, B115200},    {"one past the table", 6, B9600},
        {"negative index", -1, B9600}, {"far outside", 1000, B9600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SerialPortHandle port = openSerialPort(kPort, c.baudIndex);
        ASSERT_NE(port, nullptr);
        termios tio{};
        ASSERT_EQ(tcgetattr(pty.slave(), &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
    }
}

TEST_F(SerialAccessTest, MissingBusyOrImpossiblePortsGiveNone) {
    EXPECT_EQ(openSerialPort(42, 1), nullptr);  // no COM42 here, no /dev/ttyS41
    EXPECT_EQ(openSerialPort(0, 1), nullptr);
    SerialPortHandle first = openSerialPort(kPort, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(openSerialPort(kPort, 1), nullptr);  // held exclusively
}

TEST_F(SerialAccessTest, ReadWithNothingArrivingWaitsAbout100Ms) {
    SerialPortHandle port = openSerialPort(kPort, 1);
    ASSERT_NE(port, nullptr);
    char buffer[32] = "stale";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readSerial(port.get(), buffer, sizeof buffer), 0);
    EXPECT_GE(elapsedSince(start), 90ms);
    EXPECT_LT(elapsedSince(start), 400ms);
    EXPECT_STREQ(buffer, "");
}

TEST_F(SerialAccessTest, QueuedBytesComeAtOnceUpToCapacityLessOne) {
    SerialPortHandle port = openSerialPort(kPort, 1);
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(pty.send("abcdefgh"));
    std::this_thread::sleep_for(50ms);  // let them reach the queue
    char buffer[32];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readSerial(port.get(), buffer, 5), 4);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(readSerial(port.get(), buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "efgh");
    EXPECT_LT(elapsedSince(start), 80ms);  // neither read waited for more
}

TEST_F(SerialAccessTest, WritesWholeTextsAndNothingForAnEmptyOne) {
    SerialPortHandle port = openSerialPort(kPort, 1);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(writeSerial(port.get(), ""), 0);
    EXPECT_EQ(pty.receiveFor(150ms), "");
    EXPECT_EQ(writeSerial(port.get(), "&&\r\n1984KVT\r\n!!\r\n"), 0);
    EXPECT_EQ(pty.receiveFor(150ms), "&&\r\n1984KVT\r\n!!\r\n");
}

TEST_F(SerialAccessTest, WithoutAPortNothingIsReadOrWritten) {
    char buffer[8] = "stale";
    EXPECT_EQ(readSerial(nullptr, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(writeSerial(nullptr, "&&\r\n!!\r\n"), 1);
}

}  // namespace
}  // namespace korvane
