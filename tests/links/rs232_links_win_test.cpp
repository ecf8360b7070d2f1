#include <gtest/gtest.h>

#include <thread>

#include "links/link_control.h"
#include "links/rs232_links.h"
#include "platform/com_pair.h"
#include "simulation/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

std::size_t countFrames(const std::string& text) {
    std::size_t count = 0;
    for (auto at = text.find("1984KVT"); at != std::string::npos; at = text.find("1984KVT", at + 1))
        ++count;
    return count;
}

// A link thread on COMn of the pair; the test is the receiver on COMm.
class Rs232LinkPair : public testing::ComPairTest {
protected:
    void TearDown() override {
        if (thread.joinable()) {
            EXPECT_TRUE(stop());
        }
    }
    bool start(void (*body)(SharedState&, LinkControl&)) {
        shared.link.comPort = device;
        shared.link.transmitInterval = 0.5f;
        thread = std::thread(body, std::ref(shared), std::ref(control));
        return control.linkAckEvent.waitFor(5000ms) && control.linkStatus.load() == kLinkUp;
    }
    // The stop handshake; true when acknowledged within a second.
    bool stop() {
        control.linkAckEvent.reset();
        control.linkStopEvent.set();
        const bool acknowledged = control.linkAckEvent.waitFor(1000ms);
        thread.join();
        return acknowledged && control.linkStatus.load() == kLinkDown;
    }

    SharedState shared;
    LinkControl control;
    std::thread thread;
};

TEST_F(Rs232LinkPair, InterrogatedAnswersARequestOnce) {
    ASSERT_TRUE(start(rs232InterrogatedLink));
    ASSERT_TRUE(send("&&\r\n0140 12.5\r\n!!\r\n"));
    const std::string text = receiveFor(1500ms);
    EXPECT_EQ(countFrames(text), 1u);
    EXPECT_EQ(text.substr(0, 17), "&&\r\n1984KVT\r\n!!\r\n");
    EXPECT_EQ(shared.sim.receivedGas.load(), 12.5f);
}

// Once the receiver holds the line with XOFF, a stop still ends the link at
// once: the held write gives its frame up.
TEST_F(Rs232LinkPair, StreamingSendsFramesAndAStopEndsAHeldWrite) {
    ASSERT_TRUE(testing::setXonXoff(device, true));
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
