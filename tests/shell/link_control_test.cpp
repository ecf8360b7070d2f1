#include "links/link_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "links/udp_links.h"
#include "platform/pseudo_terminal.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

const Ipv4Address kLinkPort{{127, 0, 0, 1}, kWitsUdpPort};

// What the main window would show: message boxes and titles, in order.
class RecordingUi : public LinkUi {
public:
    void showLinkError(const std::string& text) override { errors.push_back(text); }
    void setTitle(const std::string& title) override { titles.push_back(title); }
    std::vector<std::string> errors;
    std::vector<std::string> titles;
};

// Each test runs in a fresh working directory, where COMn entries name the
// serial devices, with the UDP peer on loopback.
class LinkControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        const int32_t loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, shared_.link.ipAddress);
        shared_.link.transmitInterval = 0.5f;
    }
    void TearDown() override {
        RecordingUi quiet;
        startLink(shared_, control_, quiet, kMediumNone);  // no thread outlives the test
    }

    int32_t start(int32_t medium, int32_t interrogated = 0) {
        shared_.link.interrogated = interrogated;
        ui_.errors.clear();
        ui_.titles.clear();
        return startLink(shared_, control_, ui_, medium);
    }

    // True when the interrogated UDP link answers a request.
    static bool udpAnswers() {
        UdpSocket client = *UdpSocket::open();
        client.bind(Ipv4Address{{127, 0, 0, 1}, 0});
        client.sendTo("?", 1, kLinkPort);
        char buffer[65536];
        return client.waitReadable(3000ms) && client.receiveFrom(buffer, sizeof buffer).length > 0;
    }

    SharedState shared_;
    LinkControl control_;
    RecordingUi ui_;
    testing::TempWorkingDir folder_;
    testing::PseudoTerminal pty_;  // the other end of a serial port, kept open
};

TEST_F(LinkControlTest, NoLinkWantedIsNotConnectedWithoutAMessage) {
    EXPECT_EQ(start(kMediumNone), 1);
    EXPECT_TRUE(ui_.errors.empty());
    EXPECT_EQ(ui_.titles, std::vector<std::string>{"Korvane (Not Connected)"});
    EXPECT_EQ(shared_.link.medium, kMediumNone);
    EXPECT_EQ(control_.linkActive, 0);
}

TEST_F(LinkControlTest, EachLinkNamesItselfAndReplacesTheOneBefore) {
    shared_.link.comPort = 3;
    pty_.closeSlave();
    ASSERT_TRUE(testing::mapPort(3, pty_.slavePath()));
    struct Case {
        const char* legend;
        int32_t medium;
        int32_t interrogated;
        const char* title;
    };
    // In this order every start also stops a link of another kind first.
    const std::vector<Case> cases = {
        {"streaming RS-232", kMediumRs232, 0, "Korvane (Streaming RS-232)"},
        {"UDP after RS-232", kMediumUdp, 0, "Korvane (Streaming UDP)"},
        {"interrogated RS-232", kMediumRs232, 1, "Korvane (Interrogated RS-232)"},
        {"interrogated UDP", kMediumUdp, 1, "Korvane (Interrogated UDP)"},
        {"no link", kMediumNone, 1, "Korvane (Not Connected)"},
    };
    std::shared_ptr<ManualResetEvent> previous;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(start(c.medium, c.interrogated), 1);
        EXPECT_TRUE(ui_.errors.empty());
        EXPECT_EQ(ui_.titles, std::vector<std::string>{c.title});
        EXPECT_EQ(shared_.link.medium, c.medium);
        EXPECT_EQ(control_.linkActive, c.medium == kMediumNone ? 0 : 1);
        if (previous) {
            EXPECT_TRUE(previous->isSet());  // the old thread has ended
        }
        previous = control_.linkEnded;
    }
}

TEST_F(LinkControlTest, FailuresAreReportedAndLeaveNoLink) {
    // A regular file where the device should be is no serial port.
    std::ofstream("COM7") << "not a terminal";
    UdpSocket squatter = *UdpSocket::open();
    ASSERT_TRUE(squatter.bind(Ipv4Address{{0, 0, 0, 0}, kWitsUdpPort}));
    const std::optional<TcpListener> tcpSquatter = TcpListener::listen({{0, 0, 0, 0}, 5001});
    ASSERT_TRUE(tcpSquatter.has_value());

    struct Case {
        const char* legend;
        int32_t medium;
        int32_t interrogated;
        int32_t firstOctet;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"COM port that is no device", kMediumRs232, 0, 127, "Error Opening COM port 7"},
        {"interrogated COM port too", kMediumRs232, 1, 127, "Error Opening COM port 7"},
        {"port 5001 taken", kMediumUdp, 1, 127,
         "UDP Error on 127.0.0.1\nPort 5001 is already in use by another program."},
        {"peer that is no address", kMediumUdp, 0, 300, "UDP Error on 300.0.0.1"},
        {"TCP listen address of another machine", kMediumTcp, 0, 127,
         "TCP Error on 203.0.113.1:5001\n203.0.113.1 is not an address of this computer."},
    };
    shared_.link.comPort = 7;
    // Only bound to, never sent to: binding to an address that is not ours fails.
    shared_.link.tcpListenAddress[0] = 203, shared_.link.tcpListenAddress[1] = 0;
    shared_.link.tcpListenAddress[2] = 113, shared_.link.tcpListenAddress[3] = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared_.link.ipAddress[0] = c.firstOctet;
        EXPECT_EQ(start(c.medium, c.interrogated), 1);
        EXPECT_EQ(ui_.errors, std::vector<std::string>{c.message});
        EXPECT_EQ(ui_.titles, std::vector<std::string>{"Korvane (Not Connected)"});
        EXPECT_EQ(shared_.link.medium, kMediumNone);
        EXPECT_EQ(control_.linkActive, 0);
        // Whatever thread was started is told to leave.
        EXPECT_TRUE(control_.linkStopEvent.isSet());
    }

    // The next start is not confused by the failed thread's signals.
    shared_.link.ipAddress[0] = 127;
    squatter.close();
    EXPECT_EQ(start(kMediumUdp, 1), 1);
    EXPECT_TRUE(ui_.errors.empty());
    EXPECT_EQ(shared_.link.medium, kMediumUdp);
    EXPECT_TRUE(udpAnswers());
}

// Unlike the other media, a server whose port is taken says so once and
// waits for the port, keeping TCP as the link.
TEST_F(LinkControlTest, ATcpServerWhosePortIsTakenListensOnceItIsFree) {
    std::optional<TcpListener> squatter = TcpListener::listen({{0, 0, 0, 0}, 5001});
    ASSERT_TRUE(squatter.has_value());
    std::atomic<int> listening{0};
    control_.onNews = [&](const std::string& note, NewsKind) {
        if (note == "Listening on 0.0.0.0:5001") ++listening;
    };
    control_.timing.tcpListenRetry = 1000ms;  // the product's 2 s, halved
    EXPECT_EQ(start(kMediumTcp), 1);
    EXPECT_EQ(ui_.errors,
              std::vector<std::string>{
                  "TCP Error on 0.0.0.0:5001\nPort 5001 is already in use by another "
                  "program.\nKorvane listens as soon as it is free, trying every 1 s."});
    EXPECT_EQ(ui_.titles,
              std::vector<std::string>{"Korvane (Streaming TCP, waiting for port 5001)"});
    EXPECT_EQ(shared_.link.medium, kMediumTcp);
    shared_.link.interrogated = 1;  // Setup writes the mode at once; the running link keeps its own
    squatter.reset();
    for (int i = 0; i < 300 && listening.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds{10});
    EXPECT_EQ(listening.load(), 1);
    EXPECT_EQ(linkTitle(control_), "Korvane (Streaming TCP, 0 receivers)");
    EXPECT_EQ(stopLink(control_), true);
}

TEST_F(LinkControlTest, TheSameMediumAgainRestartsTheThread) {
    ASSERT_EQ(start(kMediumUdp, 1), 1);
    const std::shared_ptr<ManualResetEvent> first = control_.linkEnded;
    ASSERT_TRUE(udpAnswers());
    EXPECT_EQ(start(kMediumUdp, 1), 1);
    EXPECT_TRUE(first->isSet());
    EXPECT_NE(control_.linkEnded, first);
    EXPECT_TRUE(ui_.errors.empty());
    EXPECT_TRUE(udpAnswers());  // port 5001 was free again for the new thread
}

// Sees every frame and holds the link thread in the first one until released,
// as a stalled --echo pipe would: the thread cannot look at the stop event.
class HoldingObserver : public LinkObserver {
public:
    void frameSent(std::string_view, std::string_view, std::string_view) override {
        held_.set();
        release_.waitFor(30000ms);
    }
    void dataReceived(std::string_view, std::string_view) override {}
    bool holding(std::chrono::milliseconds limit) const { return held_.waitFor(limit); }
    void release() { release_.set(); }

private:
    ManualResetEvent held_;
    ManualResetEvent release_;
};

TEST_F(LinkControlTest, ALinkThatDoesNotStopKeepsItsStateAndIsReported) {
    HoldingObserver observer;
    control_.observer = &observer;
    control_.timing.stopTimeout = 300ms;
    ASSERT_EQ(start(kMediumUdp), 1);
    ASSERT_TRUE(observer.holding(3000ms));  // the link thread is inside a send

    EXPECT_EQ(start(kMediumRs232), 0);
    EXPECT_EQ(ui_.errors, std::vector<std::string>{"Error Terminating Communications Thread!"});
    EXPECT_EQ(ui_.titles, std::vector<std::string>{"Korvane (Not Connected)"});
    EXPECT_EQ(control_.linkActive, 1);
    EXPECT_EQ(shared_.link.medium, kMediumUdp);

    observer.release();  // the thread sees the stop and ends
    EXPECT_EQ(start(kMediumUdp, 1), 1);
    EXPECT_TRUE(ui_.errors.empty());
    EXPECT_EQ(ui_.titles, std::vector<std::string>{"Korvane (Interrogated UDP)"});
    EXPECT_EQ(start(kMediumNone), 1);  // no thread may outlive the observer
    control_.observer = nullptr;
}

TEST_F(LinkControlTest, StoppingUsesTheHandshakeAndIsPrompt) {
    // The interrogated link looks at the stop event between short receive
    // waits, the streaming one waits on it: both end long before the 5 s the
    // handshake allows, even on a loaded machine under a sanitizer (the
    // benchmark measures how quickly).
    for (int32_t interrogated : {1, 0}) {
        SCOPED_TRACE(interrogated ? "interrogated" : "streaming");
        shared_.link.transmitInterval = 60.0f;
        ASSERT_EQ(start(kMediumUdp, interrogated), 1);
        const std::shared_ptr<ManualResetEvent> running = control_.linkEnded;
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(start(kMediumNone), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - asked, 1000ms);
        EXPECT_TRUE(running->isSet());
        EXPECT_EQ(control_.linkStatus.load(), kLinkDown);
        EXPECT_TRUE(control_.linkAckEvent.isSet());
        EXPECT_EQ(control_.linkActive, 0);
    }
}

}  // namespace
}  // namespace korvane
