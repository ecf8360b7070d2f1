#include "links/tcp_links.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "links/link_control.h"
#include "links/link_runner.h"
#include "platform/tcp_socket.h"
#include "state/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

// The frame with every item line switched off.
const std::string kEmptyFrame = "&&\r\n1984KVT\r\n!!\r\n&&\r\n!!\r\n";
const std::string kRequest = "&&\r\n!!\r\n";
// Generous: the machine running the tests may be busy.
constexpr auto kArrival = 3000ms;

// True once `holds` does, looking every 10 ms for up to `patience`.
template <typename Condition>
bool eventually(Condition holds, std::chrono::milliseconds patience = kArrival) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// One end of a connection on loopback, driven as a receiver would.
class Peer {
public:
    explicit Peer(TcpConnection connection) : connection_(std::move(connection)) {}
    static Peer dial(int32_t port) {
        auto connection =
            TcpConnection::startConnect({{127, 0, 0, 1}, static_cast<uint16_t>(port)});
        SocketPoll poll;
        const std::size_t index = poll.add(*connection, true);
        EXPECT_TRUE(poll.wait(kArrival) && poll.writable(index) && connection->connectOutcome());
        return Peer(std::move(*connection));
    }
    void send(const std::string& text) {
        EXPECT_EQ(connection_.send(text.data(), text.size()).bytes, text.size());
    }
    // What arrives until `bytes` have come or `patience` is up.
    std::string read(std::size_t bytes, std::chrono::milliseconds patience = kArrival) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + patience;
        while (got.size() < bytes && std::chrono::steady_clock::now() < end && !closed_) {
            if (!ready(10ms)) continue;
            char buffer[65536];
            const TcpTransfer in =
                connection_.receive(buffer, std::min(sizeof buffer, bytes - got.size()));
            got.append(buffer, in.bytes);
            closed_ = in.closed || in.ended;
        }
        return got;
    }
    // True when the other end closes within `patience`; what arrives is dropped.
    bool closedWithin(std::chrono::milliseconds patience = kArrival) {
        read(SIZE_MAX, patience);
        return closed_;
    }
    TcpConnection& connection() { return connection_; }

private:
    bool ready(std::chrono::milliseconds wait) {
        SocketPoll poll;
        const std::size_t index = poll.add(connection_, false);
        return poll.wait(wait) && poll.readable(index);
    }
    TcpConnection connection_;
    bool closed_ = false;
};

// A connection the test's own server takes.
std::optional<Peer> acceptWithin(TcpListener& listener, std::chrono::milliseconds patience) {
    std::optional<TcpConnection> taken;
    eventually([&] { return (taken = listener.accept()).has_value(); }, patience);
    if (!taken) return std::nullopt;
    return Peer(std::move(*taken));
}

// Runs one link body on its own thread with the handshakes link control
// uses, on loopback with the empty frame and the port the system chooses.
class TcpLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        shared_.link.tcpListenAddress[0] = 127, shared_.link.tcpListenAddress[3] = 1;
        shared_.link.tcpPort = 0;
        shared_.link.tcpHost = "127.0.0.1";
        shared_.link.transmitInterval = 0.5f;
        shared_.sim.dropBitDepth = 1;
        shared_.sim.dropHoleDepth = 1;
        for (int32_t& circulating : shared_.sim.pumpCirculating) circulating = 0;
        control_.onNews = [this](const std::string& note, NewsKind) {
            std::lock_guard lock(mutex_);
            notes_.push_back(note);
        };
    }
    void TearDown() override { stop(); }

    int32_t start(void (*body)(SharedState&, LinkControl&), int32_t interrogated) {
        shared_.link.interrogated = interrogated;
        control_.runningMedium = kMediumTcp;
        control_.runningInterrogated = interrogated;
        EXPECT_TRUE(launchLink(shared_, control_, body));
        EXPECT_TRUE(control_.linkAckEvent.waitFor(kArrival));
        return control_.linkStatus.load();
    }
    void stop() {
        if (!control_.linkEnded) return;
        EXPECT_TRUE(stopLinkThread(control_, kArrival));
        EXPECT_TRUE(control_.linkAckEvent.isSet());
    }
    bool heard(const std::string& part) {
        return eventually([&] {
            std::lock_guard lock(mutex_);
            for (const std::string& note : notes_)
                if (note.find(part) != std::string::npos) return true;
            return false;
        });
    }
    bool receiversBecome(int32_t count) {
        return eventually([&] { return control_.receivers.load() == count; });
    }
    std::string title() const { return linkTitle(control_); }
    SharedState shared_;
    LinkControl control_;
    std::mutex mutex_;
    std::vector<std::string> notes_;
};

TEST_F(TcpLinkTest, InterrogatedServerAnswersEachCompleteRecordOnce) {
    ASSERT_EQ(start(tcpServerLink, 1), kLinkUp);
    struct Case {
        const char* legend;
        std::vector<std::string> pieces;  // sent with a pause between them
        int answers;
        float gas;  // receivedGas afterwards; it is set to -1 before each case
    };
    const std::vector<Case> cases = {
        {"keep-alive", {"&&\r\n0111-9999\r\n!!\r\n"}, 1, -1.0f},
        {"split across reads", {"&&\r\n01", "40 7.5\r\n!", "!\r\n"}, 1, 7.5f},
        {"two in one read", {"&&\r\n!!\r\n&&\r\n014012\r\n!!\r\n"}, 2, 12.0f},
        {"noise before the record", {"xyz&&\r\n!!"}, 1, -1.0f},
        {"no && before the !!", {"hello!!"}, 0, -1.0f},
        {"1,015 bytes without !! are dropped", {"&&" + std::string(1013, 'x'), "!!"}, 0, -1.0f},
        {"1,015 bytes ending in !! count", {"&&" + std::string(1011, 'x') + "!!"}, 1, -1.0f},
        {"a request that noise pushes past 1,014 bytes",
         {std::string(1010, 'x') + "&&\r\n014011\r\n!!"},
         1,
         11.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared_.sim.receivedGas.store(-1.0f);
        Peer receiver = Peer::dial(control_.localPort.load());
        for (const std::string& piece : c.pieces) {
            receiver.send(piece);
            std::this_thread::sleep_for(30ms);
        }
        receiver.send(kRequest);  // answered last, so every earlier answer is in
        std::string expected;
        for (int i = 0; i <= c.answers; ++i) expected += kEmptyFrame;
        EXPECT_EQ(receiver.read(expected.size()), expected);
        EXPECT_EQ(receiver.read(1, 100ms), "") << "nothing more";
        EXPECT_FLOAT_EQ(shared_.sim.receivedGas.load(), c.gas);
    }
}

TEST_F(TcpLinkTest, StreamingServerFeedsEveryReceiverAndDropsOneThatLeavesMidFrame) {
    ASSERT_EQ(start(tcpServerLink, 0), kLinkUp);
    EXPECT_EQ(title(), "Korvane (Streaming TCP, 0 receivers)");
    std::vector<Peer> receivers;
    for (int i = 0; i < 3; ++i) receivers.push_back(Peer::dial(control_.localPort.load()));
    ASSERT_TRUE(receiversBecome(3));
    EXPECT_EQ(title(), "Korvane (Streaming TCP, 3 receivers)");
    for (Peer& receiver : receivers) EXPECT_EQ(receiver.read(50), kEmptyFrame + kEmptyFrame);

    // Half a frame read, the rest left unread: the close resets the connection.
    EXPECT_EQ(receivers[0].read(10), kEmptyFrame.substr(0, 10));
    receivers[0].connection().close();
    EXPECT_TRUE(receiversBecome(2));
    EXPECT_TRUE(heard("Receiver #1 127.0.0.1:"));
    for (int i = 1; i < 3; ++i) EXPECT_EQ(receivers[i].read(25), kEmptyFrame) << "receiver " << i;
    stop();
    for (int i = 1; i < 3; ++i) EXPECT_TRUE(receivers[i].closedWithin(500ms)) << "receiver " << i;
}

TEST_F(TcpLinkTest, FaultsReachEachReceiverOnItsOwnSplitFramesJoinAndDisconnectsClose) {
    FaultPlan plan;
    ASSERT_EQ(readFault("split=3:100", plan), "");
    control_.faults.set(plan);
    ASSERT_EQ(start(tcpServerLink, 0), kLinkUp);
    EXPECT_EQ(title(), "Korvane (Streaming TCP, 0 receivers, faults on)");
    Peer receiver = Peer::dial(control_.localPort.load());
    // The first piece, then not the whole rest at once: it comes 100 ms on.
    std::string got = receiver.read(1);
    got += receiver.read(kEmptyFrame.size() - 1, 30ms);
    EXPECT_LT(got.size(), kEmptyFrame.size());
    got += receiver.read(kEmptyFrame.size() - got.size());
    EXPECT_EQ(got, kEmptyFrame);

    ASSERT_EQ(readFault("disconnect=0.3", plan), "");
    control_.faults.set(plan);
    EXPECT_TRUE(receiver.closedWithin(1000ms));
    EXPECT_TRUE(heard("was disconnected by the disconnect fault"));
    EXPECT_GE(control_.faults.counts.count(FaultKind::disconnect), 1);
}

TEST_F(TcpLinkTest, AReceiverThatStopsReadingIsDisconnectedAndHoldsUpNoOne) {
    // Frames of some 5 kB: every extraneous record, in a record of its own.
    for (int k = 0; k < kExtraRecordSlots; ++k)
        shared_.extraRecords.extraRecords[k] = {k, 1, 0, -1e30f};
    shared_.extraRecords.extraRecordCount = kExtraRecordSlots;
    shared_.sim.transmitExtraRecords = 1;
    control_.timing.tcpStallTime = 300ms;
    ASSERT_EQ(start(tcpServerLink, 1), kLinkUp);
    Peer stalled = Peer::dial(control_.localPort.load());
    Peer healthy = Peer::dial(control_.localPort.load());
    std::string requests;
    for (int i = 0; i < 2000; ++i) requests += "&&!!";  // 10 MB of answers, never read
    stalled.send(requests);
    EXPECT_TRUE(heard("stopped reading and was disconnected"));
    EXPECT_TRUE(receiversBecome(1));
    std::vector<char> frame(kFrameBufferSize);
    const std::size_t length = buildFrame(shared_, frame.data());
    healthy.send(kRequest);
    EXPECT_EQ(healthy.read(length), std::string(frame.data(), length));
}

// Frames of some 10 kB: every extraneous record in a record of its own, and
// every aux track with a value as wide as it gets.
std::string widenFrames(SharedState& shared) {
    for (int k = 0; k < kExtraRecordSlots; ++k) {
        shared.extraRecords.extraRecords[k] = {k, 1, 0, -1e30f};
        shared.auxTracks.tag[k][0] = '7', shared.auxTracks.tag[k][1] = '0';
        shared.auxTracks.tag[k][2] = static_cast<char>('0' + k / 10);
        shared.auxTracks.tag[k][3] = static_cast<char>('0' + k % 10);
        shared.auxTracks.value[k] = -1e30f;
        shared.auxTracks.transmit[k].store(1);
        shared.auxTracks.inUse[k].store(1);
    }
    shared.auxTracks.auxTrackCount = kAuxTrackSlots;
    shared.extraRecords.extraRecordCount = kExtraRecordSlots;
    shared.sim.transmitExtraRecords = 1;
    std::vector<char> frame(kFrameBufferSize);
    return std::string(frame.data(), buildFrame(shared, frame.data()));
}

// A receiver that half-closes still gets what it asked for, or the stream;
// one that pipelines a burst of large frames gets every answer at the pace it
// reads.
TEST_F(TcpLinkTest, HalfClosedAndBurstingReceiversGetAllTheirFrames) {
    struct Case {
        const char* legend;
        int32_t interrogated;
        int requests;
        bool wide;
        bool halfClose;
        std::size_t frames;  // that must arrive
    };
    const Case cases[] = {
        {"interrogated, 100 requests, then half-closed", 1, 100, false, true, 100},
        {"streaming, half-closed at once", 0, 0, false, true, 2},
        {"a burst of 100 requests for 10 kB frames", 1, 100, true, false, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::string frame = c.wide ? widenFrames(shared_) : kEmptyFrame;
        ASSERT_EQ(start(tcpServerLink, c.interrogated), kLinkUp);
        Peer receiver = Peer::dial(control_.localPort.load());
        std::string requests;
        for (int i = 0; i < c.requests; ++i) requests += kRequest;
        if (!requests.empty()) receiver.send(requests);
        if (c.halfClose) receiver.connection().shutdownSending();
        std::this_thread::sleep_for(100ms);  // the link answers while nobody reads
        const std::string got = receiver.read(frame.size() * c.frames, 5000ms);
        std::printf("[ measured ] %s: %zu of %zu frames of %zu bytes\n", c.legend,
                    got.size() / frame.size(), c.frames, frame.size());
        EXPECT_EQ(got.size(), frame.size() * c.frames);
        EXPECT_EQ(got.substr(0, frame.size()), frame);
        if (c.interrogated && c.halfClose) {
            EXPECT_TRUE(receiver.closedWithin(1000ms)) << "closed once its answers are out";
        }
        stop();
    }
}

TEST_F(TcpLinkTest, AReceiverBeyondTheLimitIsClosedAtOnce) {
    shared_.link.tcpReceiverLimit = 2;
    ASSERT_EQ(start(tcpServerLink, 1), kLinkUp);
    Peer first = Peer::dial(control_.localPort.load());
    Peer second = Peer::dial(control_.localPort.load());
    ASSERT_TRUE(receiversBecome(2));
    Peer third = Peer::dial(control_.localPort.load());
    EXPECT_TRUE(third.closedWithin());
    EXPECT_TRUE(heard("Receiver #3 127.0.0.1:"));
    EXPECT_TRUE(heard("refused: 2 receivers are connected, the most allowed"));
    for (Peer* kept : {&first, &second}) {
        kept->send(kRequest);
        EXPECT_EQ(kept->read(25), kEmptyFrame);
    }
    EXPECT_EQ(title(), "Korvane (Interrogated TCP, 2 receivers)");
}

TEST_F(TcpLinkTest, ClientComesBackWithTheServerAndSendsAFrameAtOnce) {
    shared_.link.transmitInterval = 60.0f;  // any frame that comes is the one sent at once
    std::optional<TcpListener> listener = TcpListener::listen({{127, 0, 0, 1}, 0});
    ASSERT_TRUE(listener.has_value());
    const uint16_t port = listener->localAddress()->port;
    shared_.link.tcpPort = port;
    ASSERT_EQ(start(tcpClientLink, 0), kLinkUp);
    for (const char* round : {"first connection", "after the server came back"}) {
        SCOPED_TRACE(round);
        std::optional<Peer> server = acceptWithin(*listener, 5000ms);
        ASSERT_TRUE(server.has_value());
        EXPECT_EQ(server->read(25, 1000ms), kEmptyFrame);
        EXPECT_TRUE(eventually([&] { return title() == "Korvane (Streaming TCP)"; }));
        // The receiver's server goes away, then comes back on the same port.
        server->connection().close();
        listener->close();
        EXPECT_TRUE(eventually([&] { return title() == "Korvane (Streaming TCP, reconnecting)"; }));
        EXPECT_TRUE(heard("Lost the connection to 127.0.0.1:" + std::to_string(port)));
        listener = TcpListener::listen({{127, 0, 0, 1}, port});
        ASSERT_TRUE(listener.has_value());
    }
}

// A server that takes each connection and resets it at once is tried ever
// less often, as one that cannot be reached would be.
TEST_F(TcpLinkTest, ClientBacksOffFromAServerThatResetsAtOnce) {
    std::optional<TcpListener> listener = TcpListener::listen({{127, 0, 0, 1}, 0});
    ASSERT_TRUE(listener.has_value());
    shared_.link.tcpPort = listener->localAddress()->port;
    ASSERT_EQ(start(tcpClientLink, 0), kLinkUp);
    for (const char* retry : {"trying again in 1 s", "trying again in 2 s"}) {
        SCOPED_TRACE(retry);
        std::optional<Peer> server = acceptWithin(*listener, 3000ms);
        ASSERT_TRUE(server.has_value());
        EXPECT_EQ(server->read(25, 1000ms), kEmptyFrame);
        server->connection().close();
        EXPECT_TRUE(heard(retry));
    }
}

TEST_F(TcpLinkTest, InterrogatedClientAnswersItsServer) {
    std::optional<TcpListener> listener = TcpListener::listen({{127, 0, 0, 1}, 0});
    ASSERT_TRUE(listener.has_value());
    shared_.link.tcpPort = listener->localAddress()->port;
    ASSERT_EQ(start(tcpClientLink, 1), kLinkUp);
    std::optional<Peer> server = acceptWithin(*listener, kArrival);
    ASSERT_TRUE(server.has_value());
    server->send("&&\r\n0140 3.5\r\n!!\r\n&&\r\n0111-9999\r\n!!\r\n");
    EXPECT_EQ(server->read(50), kEmptyFrame + kEmptyFrame);
    EXPECT_FLOAT_EQ(shared_.sim.receivedGas.load(), 3.5f);
}

}  // namespace
}  // namespace korvane
