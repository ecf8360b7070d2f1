#include "links/link_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/link_control.h"
#include "links/transport.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

// Plays a script of wake-ups (streaming) or request passes (interrogated),
// then sets the stop event; records what the runner handed it.
class ScriptedTransport final : public Transport {
public:
    ScriptedTransport(LinkControl& control, LinkOpen opened, std::vector<Wake> script)
        : control_(control), opened_(std::move(opened)), script_(std::move(script)) {}
    LinkOpen open() override { return opened_; }
    Wake waitUntil(LinkClock::time_point) override {
        if (step_ == script_.size()) control_.linkStopEvent.set();
        return step_ < script_.size() ? script_[step_++] : Wake::stop;
    }
    void send(const FramePieces& pieces, Wake why) override {
        log += (why == Wake::greet ? "greet:" : "send:") + join(pieces) + " ";
    }
    bool waitForRequests() override {
        if (step_ + 1 >= script_.size()) control_.linkStopEvent.set();
        return step_ < script_.size() && script_[step_++] == Wake::beat;
    }
    void answer(const FramePieces& pieces) override { log += "answer:" + join(pieces) + " "; }
    void noFrame() override { log += "kept "; }
    void close() override { log += "closed"; }
    std::string log;

private:
    static std::string join(const FramePieces& pieces) {
        std::string text;
        for (std::string_view piece : pieces) text += std::string(piece) + "|";
        return text;
    }
    LinkControl& control_;
    LinkOpen opened_;
    std::vector<Wake> script_;
    std::size_t step_ = 0;
};

// Gives "F" twice, then nothing (the data busy), then "F" again; `twice`
// sends each frame twice, as a duplicating fault wrapper would.
class CountingSource final : public FrameSource {
public:
    explicit CountingSource(bool twice) : twice_(twice) {}
    bool framesNow(FramePieces& out, Ask) override {
        out.clear();
        if (++asked == 3) return false;
        out.assign(twice_ ? 2 : 1, "F");
        return true;
    }
    int asked = 0;

private:
    bool twice_;
};

TEST(LinkRunner, PacesAnswersAndShakesHands) {
    const Wake beat = Wake::beat;
    const Wake none = Wake::none;
    struct Case {
        const char* legend;
        LinkOpen opened;
        std::vector<Wake> script;  // interrogated: beat marks a pass with a request
        bool twice;
        std::string log;
        int asked;
    };
    const std::vector<Case> cases = {
        {"streaming beats, one skipped while the data is busy",
         {true, "", false, 0.5f},
         {beat, none, beat, beat, beat},
         false,
         "send:F| send:F| send:F| closed",
         4},
        {"idle beats make no frame; greetings do",
         {true, "", false, 0.5f},
         {Wake::idleBeat, Wake::greet},
         false,
         "greet:F| closed",
         1},
        {"a duplicating source sends both copies",
         {true, "", false, 0.5f},
         {beat},
         true,
         "send:F|F| closed",
         1},
        {"interrogated: one frame per pass with requests, kept while busy",
         {true, "", true, 0.5f},
         {beat, none, beat, beat, beat},
         false,
         "answer:F| answer:F| kept answer:F| closed",
         4},
        {"a medium that does not open is neither run nor closed",
         {false, "Port 5001 is already in use by another program.", false, 0.5f},
         {beat},
         false,
         "",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SharedState shared;
        LinkControl control;
        control.timing.feedLook = std::chrono::hours(1);  // the script's beats are the beats
        ScriptedTransport transport(control, c.opened, c.script);
        CountingSource source(c.twice);
        runLink(shared, control, transport, source);  // returns once the script has set stop
        EXPECT_EQ(transport.log, c.log);
        EXPECT_EQ(source.asked, c.asked);
        EXPECT_EQ(control.linkStatus.load(), kLinkDown);
        EXPECT_TRUE(control.linkAckEvent.isSet());
        EXPECT_EQ(control.failureReason, c.opened.reason);
    }
}

}  // namespace
}  // namespace korvane
