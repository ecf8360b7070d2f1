#include "links/rs232_links.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "links/link_control.h"
#include "links/link_runner.h"
#include "platform/pseudo_terminal.h"
#include "platform/serial_port.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::elapsedSince;

// Every frame starts with the greeting record, so counting it counts frames.
std::size_t countFrames(const std::string& text) {
    std::size_t count = 0;
    for (auto at = text.find("1984KVT"); at != std::string::npos; at = text.find("1984KVT", at + 1))
        ++count;
    return count;
}

class RecordingObserver : public LinkObserver {
public:
    void frameSent(std::string_view frame, std::string_view, std::string_view) override {
        std::lock_guard lock(mutex);
        frames.emplace_back(frame);
    }
    void dataReceived(std::string_view data, std::string_view) override {
        std::lock_guard lock(mutex);
        chunks.emplace_back(data);
    }
    std::mutex mutex;
    std::vector<std::string> frames;
    std::vector<std::string> chunks;
};

// A link thread on COM3, which is the slave end of a pseudo-terminal; the test
// is the receiver on the master end.
class Rs232LinkTest : public ::testing::Test {
protected:
    static constexpr int32_t kPort = 3;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(testing::mapPort(kPort, pty.slavePath()));
        // A receiver line without software flow control, so that noise holding
        // XOFF cannot stop the link's output.
        setSoftwareFlowControl(false);
        // The link is then the device's only opener, and its close a hang-up.
        pty.closeSlave();
        shared.link.comPort = kPort;
        shared.link.transmitInterval = 0.5f;
        control.observer = &observer;
    }
    void TearDown() override { stop(); }

    // Starts the link as link control does, after clearing both events.
    bool start(LinkBody body) {
        EXPECT_TRUE(launchLink(shared, control, body));
        return control.linkAckEvent.waitFor(5000ms) && control.linkStatus.load() == kLinkUp;
    }
    // The stop handshake as link control does it; true when acknowledged with
    // linkStatus 2 in time.
    bool stop() {
        if (!control.linkEnded) return true;
        const bool ended = stopLinkThread(control, 6000ms);
        return ended && control.linkAckEvent.isSet() && control.linkStatus.load() == kLinkDown;
    }
    // The device's XON/XOFF output control, as an operator's stty sets it; the
    // terminal keeps it until the link opens the device.
    void setSoftwareFlowControl(bool on) {
        const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios tio{};
        EXPECT_EQ(tcgetattr(fd, &tio), 0);
        if (on) {
            tio.c_iflag |= IXON;
        } else {
            tio.c_iflag &= ~(IXON | IXOFF);
        }
        EXPECT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
        ::close(fd);
    }
    bool hungUp() const {
        pollfd p{pty.master(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
    }
    // True once receivedGas holds `value`, within `limit`.
    bool gasBecomes(float value, milliseconds limit = 2000ms) {
        const auto start = std::chrono::steady_clock::now();
        while (shared.sim.receivedGas.load() != value) {
            if (elapsedSince(start) > limit) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }
    // Frames answered within `limit`, after the first one arrived.
    std::size_t framesWithin(milliseconds limit) {
        std::string text =
            pty.receiveUntil(limit, [](const std::string& t) { return countFrames(t) > 0; });
        text += pty.receiveFor(400ms);  // the rest of it, and any second answer
        return countFrames(text);
    }
    // Bounded, seeded line noise: binary bytes, NULs and stray terminators, but
    // no "&" or "0", so that it never forms a request of its own.
    void sendNoise() {
        std::mt19937 random(20261208);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int chunk = 0; chunk < 8; ++chunk) {
            std::string noise(600, '\0');
            for (char& c : noise) {
                c = static_cast<char>(byte(random));
                if (c == '&' || c == '0') c = '\0';
            }
            noise.replace(static_cast<std::size_t>(byte(random)) * 2, 2, "!!");
            ASSERT_TRUE(pty.send(noise));
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_TRUE(pty.send("\r\n!!\r\n"));  // ends whatever the noise left held
        std::this_thread::sleep_for(300ms);
    }

    testing::TempWorkingDir directory;
    testing::PseudoTerminal pty;
    SharedState shared;
    LinkControl control;
    RecordingObserver observer;
    // The thread of the link started last, once it has returned.
    void join() {
        EXPECT_TRUE(control.linkEnded->waitFor(6000ms));
        control.linkEnded.reset();
    }
};

TEST_F(Rs232LinkTest, MissingPortReportsStoppedForEitherMode) {
    for (LinkBody body : {rs232StreamingLink, rs232InterrogatedLink}) {
        shared.link.comPort = 42;  // no COM42 entry, no /dev/ttyS41
        EXPECT_FALSE(start(body));
        join();  // it ended by itself
        EXPECT_EQ(control.linkStatus.load(), kLinkDown);
    }
}

TEST_F(Rs232LinkTest, StreamingSendsAFrameEveryInterval) {
    ASSERT_TRUE(start(rs232StreamingLink));
    const auto upAt = std::chrono::steady_clock::now();
    std::vector<milliseconds> arrivals;
    std::string text;
    while (arrivals.size() < 3 && elapsedSince(upAt) < 3000ms) {
        text += pty.receiveUntil(
            100ms, [&](const std::string& t) { return countFrames(text + t) > arrivals.size(); });
        while (countFrames(text) > arrivals.size()) arrivals.push_back(elapsedSince(upAt));
    }
    ASSERT_EQ(arrivals.size(), 3u);
    // The first frame one interval after coming up, each later one an interval
    // (plus building and writing) after the one before.
    EXPECT_GE(arrivals[0], 450ms);
    EXPECT_LT(arrivals[0], 900ms);
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 450ms);
        EXPECT_LT(arrivals[i] - arrivals[i - 1], 900ms);
    }
    EXPECT_EQ(text.substr(0, 17), "&&\r\n1984KVT\r\n!!\r\n");
}

TEST_F(Rs232LinkTest, ASplitFrameGoesOutInWritesThatJoinToTheFrame) {
    FaultPlan plan;
    ASSERT_EQ(readFault("split=3:30", plan), "");
    control.faults.set(plan);
    ASSERT_TRUE(start(rs232StreamingLink));
    std::string frame;  // the three writes, once all are out
    const std::string text = pty.receiveUntil(3000ms, [&](const std::string& t) {
        std::lock_guard lock(observer.mutex);
        if (observer.frames.size() < 3) return false;
        frame = observer.frames[0] + observer.frames[1] + observer.frames[2];
        return t.size() >= frame.size();
    });
    ASSERT_TRUE(stop());
    std::lock_guard lock(observer.mutex);
    EXPECT_EQ(text.substr(0, frame.size()), frame);
    EXPECT_EQ(frame.substr(0, 13), "&&\r\n1984KVT\r\n");
    EXPECT_LT(observer.frames[0].size(), frame.size());
}

TEST_F(Rs232LinkTest, StreamingPicksUpTheReceiversGas) {
    ASSERT_TRUE(start(rs232StreamingLink));
    ASSERT_TRUE(pty.send("&&\r\n0140 7.25\r\n!!\r\n"));
    EXPECT_TRUE(gasBecomes(7.25f));
}

TEST_F(Rs232LinkTest, StopEndsTheLinkAndItsListenerAndClosesThePort) {
    ASSERT_TRUE(start(rs232StreamingLink));
    ASSERT_TRUE(pty.send("&&\r\n0140 1.5\r\n!!\r\n"));
    ASSERT_TRUE(gasBecomes(1.5f));  // the listener runs
    EXPECT_FALSE(hungUp());
    const auto stopAsked = std::chrono::steady_clock::now();
    control.linkAckEvent.reset();
    control.linkStopEvent.set();
    ASSERT_TRUE(control.linkAckEvent.waitFor(5000ms));
    // The listener ends within one pass (50 ms for the port, 100 ms of read).
    EXPECT_LT(elapsedSince(stopAsked), 1000ms);
    EXPECT_EQ(control.linkStatus.load(), kLinkDown);
    // The port is closed, which both threads' shares had to let go of, before
    // the stop is acknowledged.
    EXPECT_TRUE(hungUp());
    join();
}

// The receiver stops the line with XOFF, so a frame's write waits holding the
// port and the listener waits for the port in turn; a stop then ends both
// threads at once: the held write gives its frame up.
TEST_F(Rs232LinkTest, StopWhileTheListenerWaitsForThePortEndsBothThreads) {
    setSoftwareFlowControl(true);
    ASSERT_TRUE(start(rs232StreamingLink));
    ASSERT_TRUE(pty.send("\x13"));                       // XOFF
    EXPECT_EQ(countFrames(pty.receiveFor(1200ms)), 0u);  // the first write is held
    control.linkAckEvent.reset();
    control.linkStopEvent.set();
    EXPECT_TRUE(control.linkAckEvent.waitFor(1000ms));
    EXPECT_EQ(control.linkStatus.load(), kLinkDown);
    join();
    ASSERT_TRUE(pty.send("\x11"));                      // XON
    EXPECT_EQ(countFrames(pty.receiveFor(200ms)), 0u);  // the held frame was discarded
    EXPECT_TRUE(hungUp());  // the port is closed: the listener is gone too
}

// A receiver that holds XOFF for longer than kSerialWriteStall costs frames,
// not the link: once it lets go, frames flow again.
TEST_F(Rs232LinkTest, ALineHeldTooLongLosesFramesButNotTheLink) {
    setSoftwareFlowControl(true);
    control.timing.serialWriteStall = 400ms;
    ASSERT_TRUE(start(rs232StreamingLink));
    ASSERT_TRUE(pty.send("\x13"));  // XOFF
    std::this_thread::sleep_for(control.timing.serialWriteStall + 300ms);
    ASSERT_TRUE(pty.send("\x11"));  // XON
    EXPECT_GE(countFrames(pty.receiveFor(1200ms)), 1u);
    EXPECT_TRUE(stop());
}

TEST_F(Rs232LinkTest, InterrogatedJoinsASplitRequestAndAnswersOnce) {
    ASSERT_TRUE(start(rs232InterrogatedLink));
    ASSERT_TRUE(pty.send("&&\r\n01"));
    std::this_thread::sleep_for(250ms);  // a read of its own
    ASSERT_TRUE(pty.send("4012.5\r\n!!\r\n"));
    EXPECT_EQ(framesWithin(2000ms), 1u);
    EXPECT_EQ(shared.sim.receivedGas.load(), 12.5f);
    ASSERT_TRUE(stop());
    EXPECT_EQ(observer.chunks, (std::vector<std::string>{"&&\r\n01", "4012.5\r\n!!\r\n"}));
    ASSERT_EQ(observer.frames.size(), 1u);
    EXPECT_EQ(observer.frames[0].substr(0, 17), "&&\r\n1984KVT\r\n!!\r\n");
}

TEST_F(Rs232LinkTest, InterrogatedAnswersTwoRequestsInOneReadOnce) {
    ASSERT_TRUE(start(rs232InterrogatedLink));
    ASSERT_TRUE(pty.send("&&\r\n0140 1.0\r\n!!\r\n&&\r\n0140 2.0\r\n!!\r\n"));
    EXPECT_EQ(framesWithin(2000ms), 1u);
    EXPECT_EQ(shared.sim.receivedGas.load(), 1.0f);
}

TEST_F(Rs232LinkTest, InterrogatedIgnoresRecordsThatAreNoRequest) {
    ASSERT_TRUE(start(rs232InterrogatedLink));
    ASSERT_TRUE(pty.send("&&\r\n0139 3.0\r\n!!\r\n"));
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(pty.send("0140 5.0\r\n!!\r\n"));  // no "&&"
    EXPECT_EQ(countFrames(pty.receiveFor(600ms)), 0u);
    EXPECT_EQ(shared.sim.receivedGas.load(), 0.0f);
    // Neither left anything behind: the next request is answered as usual.
    ASSERT_TRUE(pty.send("&&\r\n0140 6.0\r\n!!\r\n"));
    EXPECT_EQ(framesWithin(2000ms), 1u);
    EXPECT_EQ(shared.sim.receivedGas.load(), 6.0f);
}

// 1015 bytes without "!!" are dropped, the start of a request with them, in
// both modes: the interrogated link's rule, which the listener follows too.
TEST_F(Rs232LinkTest, OverlongTextIsDroppedThenRequestsWorkAgain) {
    for (LinkBody body : {rs232StreamingLink, rs232InterrogatedLink}) {
        SCOPED_TRACE(body == rs232StreamingLink ? "streaming" : "interrogated");
        shared.sim.receivedGas.store(0.0f);
        ASSERT_TRUE(start(body));
        const std::string head = "&&\r\n0140 9.5\r\n";
        ASSERT_TRUE(pty.send(head + std::string(1015 - head.size(), 'x')));
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(pty.send("!!\r\n"));
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(shared.sim.receivedGas.load(), 0.0f);
        ASSERT_TRUE(pty.send("&&\r\n0140 4.5\r\n!!\r\n"));
        EXPECT_TRUE(gasBecomes(4.5f));
        ASSERT_TRUE(stop());
        pty.receiveFor(50ms);  // drop what the streaming link sent
    }
}

TEST_F(Rs232LinkTest, InterrogatedSurvivesLineNoise) {
    ASSERT_TRUE(start(rs232InterrogatedLink));
    sendNoise();
    EXPECT_EQ(countFrames(pty.receiveFor(100ms)), 0u);
    ASSERT_TRUE(pty.send("&&\r\n0140 3.5\r\n!!\r\n"));
    EXPECT_EQ(framesWithin(2000ms), 1u);
    EXPECT_EQ(shared.sim.receivedGas.load(), 3.5f);
}

TEST_F(Rs232LinkTest, StreamingListenerSurvivesLineNoise) {
    ASSERT_TRUE(start(rs232StreamingLink));
    sendNoise();
    ASSERT_TRUE(pty.send("&&\r\n0140 8.5\r\n!!\r\n"));
    EXPECT_TRUE(gasBecomes(8.5f));
    EXPECT_GE(countFrames(pty.receiveFor(700ms)), 1u);  // still streaming
}

// An adapter unplugged and plugged back in: the receiver's end of the line
// goes away, then a new line appears under the same COM name. The link says
// so both times and carries on in its mode, with no one restarting it.
TEST_F(Rs232LinkTest, ADeviceThatGoesAwayIsReopenedWhenItComesBack) {
    std::mutex newsMutex;
    std::vector<std::string> news;
    control.onNews = [&](const std::string& note, NewsKind) {
        std::lock_guard lock(newsMutex);
        news.push_back(note);
    };
    const auto heard = [&](std::size_t count) {
        for (int i = 0; i < 300; ++i) {
            {
                std::lock_guard lock(newsMutex);
                if (news.size() >= count) return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    control.timing.serialReopen = 100ms;
    for (LinkBody body : {rs232StreamingLink, rs232InterrogatedLink}) {
        const bool streaming = body == rs232StreamingLink;
        SCOPED_TRACE(streaming ? "streaming" : "interrogated");
        news.clear();
        testing::PseudoTerminal first;
        std::filesystem::remove("COM3");
        ASSERT_TRUE(testing::mapPort(kPort, first.slavePath()));
        first.closeSlave();
        ASSERT_TRUE(start(body));

        first.closeMaster();  // unplugged
        ASSERT_TRUE(heard(1));
        EXPECT_EQ(news[0], "COM3 has gone away; opening it again every second");
        EXPECT_EQ(control.health.load(), LinkHealth::deviceGone);
        control.runningMedium = kMediumRs232;
        EXPECT_EQ(linkTitle(control), "Korvane (Not Connected)");
        std::this_thread::sleep_for(350ms);  // tries to reopen find nothing
        EXPECT_EQ(news.size(), 1u);

        testing::PseudoTerminal second;  // plugged back in
        std::filesystem::remove("COM3");
        ASSERT_TRUE(testing::mapPort(kPort, second.slavePath()));
        second.closeSlave();
        const auto pluggedAt = std::chrono::steady_clock::now();
        ASSERT_TRUE(heard(2));
        EXPECT_EQ(news[1], "COM3 is back");
        EXPECT_EQ(control.health.load(), LinkHealth::working);
        if (!streaming) {
            ASSERT_TRUE(second.send("&&\r\n0140 2.5\r\n!!\r\n"));
        }
        const std::string text =
            second.receiveUntil(3000ms, [](const std::string& t) { return countFrames(t) > 0; });
        EXPECT_EQ(countFrames(text), 1u);
        std::printf("[ measured ] %s: re-plugged to first frame in %lld ms\n",
                    streaming ? "streaming" : "interrogated",
                    static_cast<long long>(elapsedSince(pluggedAt).count()));
        EXPECT_TRUE(stop());
    }
}

}  // namespace
}  // namespace korvane
