#include "links/udp_links.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "links/link_control.h"
#include "links/link_runner.h"
#include "platform/udp_socket.h"
#include "state/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

// The frame with every item line switched off.
const std::string kEmptyFrame = "&&\r\n1984KVT\r\n!!\r\n&&\r\n!!\r\n";
const Ipv4Address kLoopbackAnyPort{{127, 0, 0, 1}, 0};
const Ipv4Address kLinkPort{{127, 0, 0, 1}, kWitsUdpPort};
// Generous: the machine running the tests may be busy.
constexpr auto kArrival = 3000ms;

TEST(ParseGasItem, TakesTheNumberRightAfterCrLf0140) {
    struct Case {
        const char* legend;
        std::string text;
        int result;
        float value;  // what out holds afterwards; it starts at -1
    };
    const std::vector<Case> cases = {
        {"a whole record", "&&\r\n014025.5\r\n!!\r\n", 1, 25.5f},
        {"blank before the number", "&&\r\n0140 7\r\n!!\r\n", 1, 7.0f},
        {"no record marks needed", "\r\n0140-3.25", 1, -3.25f},
        {"exponent", "\r\n01401.5e2", 1, 150.0f},
        {"trailing text ignored", "\r\n014012abc", 1, 12.0f},
        {"only the first match counts", "\r\n01401\r\n01402", 1, 1.0f},
        {"letters, no number", "&&\r\n0140x\r\n!!\r\n", 0, -1.0f},
        {"item at the very start", "014025.5\r\n!!\r\n", 0, -1.0f},
        {"LF alone before the item", "&&\n014025.5\r\n", 0, -1.0f},
        {"another item only", "&&\r\n0139 3.0\r\n!!\r\n", 0, -1.0f},
        {"key at the very end", "&&\r\n0140", 0, -1.0f},
        {"empty text", "", 0, -1.0f},
        {"not a number", "\r\n0140nan", 0, -1.0f},
        {"infinity", "\r\n0140inf", 0, -1.0f},
        {"overflow", "\r\n01401e999", 0, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        float out = -1.0f;
        EXPECT_EQ(parseGasItem(c.text.c_str(), out), c.result);
        EXPECT_FLOAT_EQ(out, c.value);
    }
}

TEST(StreamingPeer, IsTheSettingsAddressOnPort5001) {
    // Checked on the record only: nothing is ever sent outside 127.0.0.0/8.
    const int32_t octets[4] = {10, 0, 0, 7};
    const std::optional<Ipv4Address> peer = streamingPeer(octets);
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(formatAddress(*peer), "10.0.0.7");
    EXPECT_EQ(peer->port, 5001);

    const int32_t outOfRange[4] = {300, 0, 0, 1};
    EXPECT_FALSE(streamingPeer(outOfRange).has_value());
}

// Records what the link reports to an observer, from the link thread.
class CountingObserver : public LinkObserver {
public:
    void frameSent(std::string_view, std::string_view, std::string_view) override { ++frames; }
    void dataReceived(std::string_view, std::string_view) override { ++datagrams; }
    std::atomic<int> frames{0};
    std::atomic<int> datagrams{0};
};

// Runs one link body on its own thread with the handshakes link control uses.
class UdpLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Loopback only, and the empty frame, before any link starts.
        shared_.link.ipAddress[0] = 127;
        shared_.link.ipAddress[1] = 0;
        shared_.link.ipAddress[2] = 0;
        shared_.link.ipAddress[3] = 1;
        shared_.link.transmitInterval = 0.5f;
        shared_.sim.dropBitDepth = 1;
        shared_.sim.dropHoleDepth = 1;
        for (int32_t& circulating : shared_.sim.pumpCirculating) circulating = 0;
        control_.observer = &observer_;
    }
    void TearDown() override { stop(); }

    // Starts the body and waits for its report; the status it reported.
    int32_t start(LinkBody body) {
        EXPECT_TRUE(launchLink(shared_, control_, body));
        EXPECT_TRUE(control_.linkAckEvent.waitFor(kArrival));
        return control_.linkStatus.load();
    }

    // The stop handshake: the thread acknowledges with status 2 and ends.
    void stop() {
        if (!control_.linkEnded) return;
        EXPECT_TRUE(stopLinkThread(control_, kArrival));
        EXPECT_TRUE(control_.linkAckEvent.isSet());
        EXPECT_EQ(control_.linkStatus.load(), kLinkDown);
    }

    // True once the thread started last has returned by itself.
    bool ended() { return std::exchange(control_.linkEnded, nullptr)->waitFor(kArrival); }

    static UdpSocket boundSocket(const Ipv4Address& address) {
        UdpSocket socket = *UdpSocket::open();
        EXPECT_TRUE(socket.bind(address));
        return socket;
    }

    // One datagram within `timeout`, as text; nothing if none came.
    static std::optional<std::string> receive(UdpSocket& socket, Datagram* datagram = nullptr,
                                              std::chrono::milliseconds timeout = kArrival) {
        char buffer[65536];
        if (!socket.waitReadable(timeout)) return std::nullopt;
        const Datagram got = socket.receiveFrom(buffer, sizeof buffer);
        if (got.length < 0) return std::nullopt;
        if (datagram) *datagram = got;
        return std::string(buffer, static_cast<std::size_t>(got.length));
    }

    static void drain(UdpSocket& socket) {
        while (receive(socket, nullptr, 0ms)) {
        }
    }

    SharedState shared_;
    LinkControl control_;
    CountingObserver observer_;
};

TEST_F(UdpLinkTest, StreamingSendsOneFramePerDatagramToThePeer) {
    UdpSocket receiver = boundSocket(kLinkPort);
    ASSERT_EQ(start(udpStreamingLink), kLinkUp);
    for (int i = 0; i < 2; ++i) {
        Datagram datagram;
        const std::optional<std::string> frame = receive(receiver, &datagram);
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(*frame, kEmptyFrame);  // 25 bytes, one datagram
        EXPECT_EQ(formatAddress(datagram.sender), "127.0.0.1");
    }
    stop();
    EXPECT_GE(observer_.frames.load(), 2);
}

TEST_F(UdpLinkTest, StreamingFollowsWhoeverAnswersAndTakesTheirGas) {
    UdpSocket receiver = boundSocket(kLinkPort);
    UdpSocket answerer = boundSocket(kLoopbackAnyPort);  // the peer's other port
    ASSERT_EQ(start(udpStreamingLink), kLinkUp);

    Datagram first;
    ASSERT_TRUE(receive(receiver, &first).has_value());
    const std::string answer = "&&\r\n0140 12.5\r\n!!\r\n";
    ASSERT_EQ(answerer.sendTo(answer.data(), answer.size(), first.sender),
              static_cast<long>(answer.size()));

    // The answer is picked up after the next frame; every frame after that
    // goes to the answerer's port.
    ASSERT_TRUE(receive(answerer).has_value());
    EXPECT_FLOAT_EQ(shared_.sim.receivedGas.load(), 12.5f);
    drain(receiver);
    ASSERT_TRUE(receive(answerer).has_value());
    EXPECT_FALSE(receive(receiver, nullptr, 0ms).has_value());
    EXPECT_EQ(observer_.datagrams.load(), 1);
}

TEST_F(UdpLinkTest, StreamingIgnoresEmptyAndOversizedAnswers) {
    UdpSocket receiver = boundSocket(kLinkPort);
    UdpSocket answerer = boundSocket(kLoopbackAnyPort);
    control_.timing.shortestPause = 100ms;
    shared_.link.transmitInterval = 0.1f;
    ASSERT_EQ(start(udpStreamingLink), kLinkUp);
    Datagram first;
    ASSERT_TRUE(receive(receiver, &first).has_value());
    const std::string oversized = std::string(251, 'a') + "\r\n0140 9\r\n";
    ASSERT_GE(answerer.sendTo(oversized.data(), oversized.size(), first.sender), 0);
    ASSERT_GE(answerer.sendTo("", 0, first.sender), 0);

    // Two frames take both datagrams; neither counts, so the frames after
    // them still go to port 5001 and the gas reading stays as it was.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(receive(receiver).has_value()) << "frame " << i;
    EXPECT_FALSE(receive(answerer, nullptr, 0ms).has_value());
    EXPECT_FLOAT_EQ(shared_.sim.receivedGas.load(), 0.0f);
    EXPECT_EQ(observer_.datagrams.load(), 0);
}

TEST_F(UdpLinkTest, StreamingWithAnAddressThatIsNoAddressFailsToStart) {
    shared_.link.ipAddress[0] = 300;
    EXPECT_EQ(start(udpStreamingLink), kLinkDown);
    EXPECT_TRUE(ended());  // on its own
}

TEST_F(UdpLinkTest, StreamingSeesAStopAtOnce) {
    shared_.link.transmitInterval = 60.0f;
    ASSERT_EQ(start(udpStreamingLink), kLinkUp);
    const auto asked = std::chrono::steady_clock::now();
    stop();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1000ms);  // not the 60 s pause
}

TEST_F(UdpLinkTest, InterrogatedAnswersEveryDatagramWithOneFrameToItsSender) {
    ASSERT_EQ(start(udpInterrogatedLink), kLinkUp);
    UdpSocket client = boundSocket(kLoopbackAnyPort);

    struct Case {
        const char* legend;
        std::string datagram;
        bool answered;
        float gas;  // receivedGas afterwards; it is set to -1 before each case
    };
    const std::vector<Case> cases = {
        {"gas after a blank", "&&\r\n0140 7\r\n!!\r\n", true, 7.0f},
        {"letters where the number goes", "&&\r\n0140x\r\n!!\r\n", true, -1.0f},
        {"long request that sets gas", "\r\n0140 1.0\r\n!!", true, 1.0f},
        {"shorter one: nothing of the earlier tail", "\r\n0140", true, -1.0f},
        {"any bytes are a request", "ping", true, -1.0f},
        {"item first, no CR LF before it", "014025.5\r\n", true, -1.0f},
        {"NUL hides the rest", std::string("a\0\r\n0140 3", 10), true, -1.0f},
        {"exactly 250 bytes", std::string(244, 'a') + "\r\n0140", true, -1.0f},
        {"251 bytes: dropped", std::string(244, 'a') + "\r\n01409", false, -1.0f},
        {"empty datagram", "", false, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared_.sim.receivedGas.store(-1.0f);
        ASSERT_EQ(client.sendTo(c.datagram.data(), c.datagram.size(), kLinkPort),
                  static_cast<long>(c.datagram.size()));
        // A request that is not answered is followed by one that is, so the
        // dropped one is known to have been handled first.
        if (!c.answered) {
            ASSERT_EQ(client.sendTo("x", 1, kLinkPort), 1);
        }
        const std::optional<std::string> frame = receive(client);
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(*frame, kEmptyFrame);
        EXPECT_FLOAT_EQ(shared_.sim.receivedGas.load(), c.gas);
    }
    EXPECT_FALSE(receive(client, nullptr, 200ms).has_value());  // nothing extra
}

TEST_F(UdpLinkTest, InterrogatedSurvivesGarbage) {
    ASSERT_EQ(start(udpInterrogatedLink), kLinkUp);
    UdpSocket client = boundSocket(kLoopbackAnyPort);
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 2);
    int answered = 0;
    for (int i = 0; i < 300; ++i) {
        std::size_t size = 0;
        switch (kind(random)) {
            case 0:
                size = 0;
                break;
            case 1:
                size = 1 + random() % 250;
                break;
            default:
                size = 251 + random() % 4000;
                break;
        }
        std::string datagram(size, '\0');
        for (char& c : datagram) c = static_cast<char>(byte(random));
        ASSERT_EQ(client.sendTo(datagram.data(), datagram.size(), kLinkPort),
                  static_cast<long>(size));
        if (size >= 1 && size <= 250) {
            // Waiting for each answer keeps the link's queue short and shows
            // that every taken datagram got exactly one frame.
            ASSERT_TRUE(receive(client).has_value()) << "datagram " << i;
            ++answered;
        }
    }
    EXPECT_GT(answered, 50);
    const std::string request = "&&\r\n0140 42\r\n!!\r\n";
    ASSERT_EQ(client.sendTo(request.data(), request.size(), kLinkPort),
              static_cast<long>(request.size()));
    ASSERT_TRUE(receive(client).has_value());
    EXPECT_FLOAT_EQ(shared_.sim.receivedGas.load(), 42.0f);
    EXPECT_FALSE(receive(client, nullptr, 200ms).has_value());
    EXPECT_EQ(observer_.datagrams.load(), answered + 1);
    EXPECT_EQ(observer_.frames.load(), answered + 1);
}

// Far past one Ethernet payload (1472 bytes), a frame still leaves as one
// datagram: receivers read one frame per datagram and never reassemble.
TEST_F(UdpLinkTest, AFrameIsSentAsOneDatagramWhateverItsLength) {
    // Loopback only (set in SetUp), before any link starts.
    ASSERT_EQ(shared_.link.ipAddress[0], 127);
    for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
        AuxTrackTable& aux = shared_.auxTracks;
        std::snprintf(aux.tag[slot], sizeof aux.tag[slot], "%04d", 5000 + slot);
        aux.value[slot] = 1234.5f + static_cast<float>(slot);
        aux.transmit[slot] = 1;
        aux.inUse[slot] = 1;
    }
    shared_.auxTracks.auxTrackCount = kAuxTrackSlots;
    for (int k = 0; k < kExtraRecordSlots; ++k)  // each in a record of its own
        shared_.extraRecords.extraRecords[k] = {k, 1, 0, 100.5f + static_cast<float>(k)};
    shared_.extraRecords.extraRecordCount = kExtraRecordSlots;
    shared_.sim.transmitExtraRecords = 1;
    std::vector<char> built(kFrameBufferSize);
    const std::size_t length = buildFrame(shared_, built.data());
    ASSERT_GT(length, 2 * 1472u);
    const std::string frame(built.data(), length);

    struct Case {
        const char* legend;
        void (*body)(SharedState&, LinkControl&);
        bool streaming;
    };
    const Case cases[] = {
        {"streaming", udpStreamingLink, true},
        {"interrogated", udpInterrogatedLink, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        // Streaming sends to port 5001; interrogated answers a client's port.
        UdpSocket socket = boundSocket(c.streaming ? kLinkPort : kLoopbackAnyPort);
        ASSERT_EQ(start(c.body), kLinkUp);
        if (!c.streaming) {
            ASSERT_EQ(socket.sendTo("x", 1, kLinkPort), 1);
        }
        // Two streamed frames in a row are both whole: a split frame would
        // show as a short datagram followed by its remainder.
        for (int i = 0; i < (c.streaming ? 2 : 1); ++i) {
            const std::optional<std::string> got = receive(socket);
            ASSERT_TRUE(got.has_value()) << "datagram " << i;
            EXPECT_EQ(got->size(), length) << "datagram " << i;
            EXPECT_EQ(*got, frame) << "datagram " << i;
        }
        if (!c.streaming) {
            EXPECT_FALSE(receive(socket, nullptr, 200ms).has_value());
        }
        stop();
    }
}

TEST_F(UdpLinkTest, ASplitFrameArrivesInDatagramsThatJoinToTheFrame) {
    FaultPlan plan;
    plan.seed = 7;
    ASSERT_EQ(readFault("split=3:10", plan), "");
    control_.faults.set(plan);
    for (const bool streaming : {true, false}) {
        SCOPED_TRACE(streaming ? "streaming" : "interrogated");
        UdpSocket socket = boundSocket(streaming ? kLinkPort : kLoopbackAnyPort);
        ASSERT_EQ(start(streaming ? udpStreamingLink : udpInterrogatedLink), kLinkUp);
        if (!streaming) {
            ASSERT_EQ(socket.sendTo("x", 1, kLinkPort), 1);
        }
        std::string joined;
        for (int piece = 0; piece < 3; ++piece) {
            const std::optional<std::string> got = receive(socket);
            ASSERT_TRUE(got.has_value()) << "piece " << piece;
            EXPECT_LT(got->size(), kEmptyFrame.size());
            joined += *got;
        }
        EXPECT_EQ(joined, kEmptyFrame);
        stop();
    }
    EXPECT_GE(control_.faults.counts.count(FaultKind::split), 2);
}

TEST_F(UdpLinkTest, InterrogatedFailsToStartWhenPort5001IsTaken) {
    UdpSocket squatter = boundSocket(Ipv4Address{{0, 0, 0, 0}, kWitsUdpPort});
    EXPECT_EQ(start(udpInterrogatedLink), kLinkDown);
    EXPECT_TRUE(ended());
}

}  // namespace
}  // namespace korvane
