#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;

const Ipv4Address kLoopbackAnyPort{{127, 0, 0, 1}, 0};

TEST(Ipv4Address, FormatsOctetsFirstToLast) {
    EXPECT_EQ(formatAddress(Ipv4Address{{10, 0, 0, 7}, 5001}), "10.0.0.7");
    EXPECT_EQ(formatAddress(Ipv4Address{{255, 255, 255, 0}, 0}), "255.255.255.0");
}

TEST(Ipv4Address, ParsesOnlyStrictDottedQuads) {
    struct Case {
        const char* legend;
        std::string text;
        bool valid;
        Ipv4Address expected;
    };
    const std::vector<Case> cases = {
        {"loopback", "127.0.0.1", true, {{127, 0, 0, 1}, 5001}},
        {"highest octets", "255.255.255.255", true, {{255, 255, 255, 255}, 5001}},
        {"leading zeros kept decimal", "010.0.0.7", true, {{10, 0, 0, 7}, 5001}},
        {"octet above 255", "300.0.0.1", false, {}},
        {"negative octet", "-1.0.0.1", false, {}},
        {"three parts", "10.0.7", false, {}},
        {"five parts", "10.0.0.7.1", false, {}},
        {"trailing blank", "10.0.0.7 ", false, {}},
        {"empty octet", "10..0.7", false, {}},
        {"empty text", "", false, {}},
        {"four-digit octet", "0010.0.0.7", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::optional<Ipv4Address> address = parseAddress(c.text, 5001);
        ASSERT_EQ(address.has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(*address, c.expected);
        }
    }
}

struct Pair {
    UdpSocket a = *UdpSocket::open();
    UdpSocket b = *UdpSocket::open();
    Ipv4Address aAddress;
    Ipv4Address bAddress;

    Pair() {
        EXPECT_TRUE(a.bind(kLoopbackAnyPort));
        EXPECT_TRUE(b.bind(kLoopbackAnyPort));
        aAddress = *a.localAddress();
        bAddress = *b.localAddress();
    }
};

TEST(UdpSocket, ReceiveNamesTheSenderAndNeverWaits) {
    Pair pair;
    char buffer[64];
    EXPECT_EQ(pair.b.receiveFrom(buffer, sizeof buffer).length, -1);  // nothing queued yet
    EXPECT_FALSE(pair.b.waitReadable(10ms));

    ASSERT_EQ(pair.a.sendTo("hello", 5, pair.bAddress), 5);
    ASSERT_TRUE(pair.b.waitReadable(2000ms));
    const Datagram datagram = pair.b.receiveFrom(buffer, sizeof buffer);
    EXPECT_EQ(datagram.length, 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(datagram.sender, pair.aAddress);
    EXPECT_EQ(formatAddress(datagram.sender), "127.0.0.1");
}

TEST(UdpSocket, ReportsTheWholeSizeOfADatagramThatDidNotFitAndDropsIt) {
    Pair pair;
    const std::string big(400, 'x');
    ASSERT_EQ(pair.a.sendTo(big.data(), big.size(), pair.bAddress), 400);
    ASSERT_EQ(pair.a.sendTo("", 0, pair.bAddress), 0);
    ASSERT_EQ(pair.a.sendTo("ok", 2, pair.bAddress), 2);

    char buffer[251] = {};
    ASSERT_TRUE(pair.b.waitReadable(2000ms));
    EXPECT_EQ(pair.b.receiveFrom(buffer, 250).length, 400);
    ASSERT_TRUE(pair.b.waitReadable(2000ms));
    EXPECT_EQ(pair.b.receiveFrom(buffer, 250).length, 0);  // an empty datagram is not "nothing"
    ASSERT_TRUE(pair.b.waitReadable(2000ms));
    EXPECT_EQ(pair.b.receiveFrom(buffer, 250).length, 2);  // the tail of the big one is gone
}

TEST(UdpSocket, ABusyPortCannotBeBoundTwiceAndIsFreeAfterClose) {
    Pair pair;
    UdpSocket other = *UdpSocket::open(17);
    EXPECT_FALSE(other.bind(pair.aAddress));
    pair.a.close();
    EXPECT_FALSE(pair.a.isOpen());
    EXPECT_TRUE(other.bind(pair.aAddress));
}

}  // namespace
}  // namespace korvane
