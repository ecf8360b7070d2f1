#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "faults/fault_plan.h"
#include "faults/fault_stream.h"
#include "links/fault_lane.h"
#include "links/link_control.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

const std::string kFrame = "&&\r\n0108123.4\r\n0110567.8\r\n0121900\r\n!!\r\n";

FaultPlan planOf(std::initializer_list<const char*> faults, uint64_t seed = 42) {
    FaultPlan plan;
    plan.seed = seed;
    for (const char* fault : faults) EXPECT_EQ(readFault(fault, plan), "") << fault;
    return plan;
}

struct Sent {
    std::string bytes;
    std::chrono::milliseconds after;
    std::string mark;
};

// What a receiver's lane delivers for `frames` handed in 1 s apart, as a fake
// transport would see it: each piece, when it left, and its mark.
std::vector<Sent> deliver(const FaultPlan& plan, int frames, uint64_t receiver = 1) {
    LinkControl control;
    control.faults.set(plan);
    FaultLane lane(control, receiver);
    std::vector<Sent> sent;
    const auto start = LinkClock::now();
    auto now = start;
    for (int i = 0; i < frames; ++i, now += 1s) {
        const std::string frame = kFrame + std::to_string(i);
        EXPECT_TRUE(lane.on());
        lane.pass({frame}, now, {}, [&](std::string_view bytes, std::string_view mark) {
            sent.push_back({std::string(bytes),
                            std::chrono::duration_cast<std::chrono::milliseconds>(now - start),
                            std::string(mark)});
        });
        // Whatever waits goes when due, looked for every millisecond.
        while (lane.due() && *lane.due() < now + 1s) {
            const auto at = *lane.due();
            lane.flush(at, [&](std::string_view bytes, std::string_view mark) {
                sent.push_back({std::string(bytes),
                                std::chrono::duration_cast<std::chrono::milliseconds>(at - start),
                                std::string(mark)});
            });
        }
    }
    return sent;
}

std::string joined(const std::vector<Sent>& sent) {
    std::string all;
    for (const Sent& piece : sent) all += piece.bytes;
    return all;
}

std::string frames(int count) {
    std::string all;
    for (int i = 0; i < count; ++i) all += kFrame + std::to_string(i);
    return all;
}

TEST(FaultTable, EachFaultShapesTheFramesAsItSays) {
    struct Case {
        std::vector<const char*> faults;
        std::function<void(const std::vector<Sent>&)> check;
    };
    const std::vector<Case> cases = {
        {{"drop=100%"}, [](auto& sent) { EXPECT_TRUE(sent.empty()); }},
        {{"duplicate=100"},
         [](auto& sent) {
             ASSERT_EQ(sent.size(), 8u);
             EXPECT_EQ(sent[0].bytes, sent[1].bytes);
             EXPECT_EQ(sent[1].mark, "[duplicate]");
         }},
        {{"delay=250:0"},
         [](auto& sent) {
             ASSERT_EQ(sent.size(), 4u);
             EXPECT_EQ(sent[2].after, 2250ms);
             EXPECT_EQ(sent[2].mark, "[delay 250 ms]");
             EXPECT_EQ(joined(sent), frames(4));
         }},
        {{"split=3:20"},
         [](auto& sent) {
             ASSERT_EQ(sent.size(), 12u);
             EXPECT_EQ(joined(sent), frames(4));
             EXPECT_EQ(sent[3].mark, "[split 3]");
             EXPECT_EQ(sent[4].after - sent[3].after, 20ms);
             EXPECT_EQ(sent[5].after - sent[4].after, 20ms);
         }},
        {{"corrupt=100%"},
         [](auto& sent) {
             const std::string want = frames(4);
             const std::string got = joined(sent);
             ASSERT_EQ(got.size(), want.size());
             int differ = 0;
             for (std::size_t i = 0; i < got.size(); ++i) differ += got[i] != want[i];
             EXPECT_LE(differ, 4);
         }},
        {{"noise=100%"},
         [](auto& sent) {
             for (const Sent& piece : sent) {
                 EXPECT_GT(piece.bytes.size(), kFrame.size() + 1);
                 EXPECT_LE(piece.bytes.size(), kFrame.size() + 1 + 64);
                 EXPECT_EQ(piece.bytes.substr(0, 4), "&&\r\n");
             }
         }},
        {{"truncate=100%"},
         [](auto& sent) {
             ASSERT_EQ(sent.size(), 4u);
             const std::string whole = kFrame + "0";
             EXPECT_LT(sent[0].bytes.size(), whole.size());
             EXPECT_EQ(whole.substr(0, sent[0].bytes.size()), sent[0].bytes);
         }},
        {{"bad-value=100%"},
         [](auto& sent) {
             for (const Sent& piece : sent) {
                 EXPECT_NE(piece.bytes.substr(0, kFrame.size()), kFrame);
                 EXPECT_EQ(piece.mark.rfind("[bad-value 01", 0), 0u) << piece.mark;
             }
         }},
        {{"line-ends=lf"},
         [](auto& sent) { EXPECT_EQ(sent[0].bytes, "&&\n0108123.4\n0110567.8\n0121900\n!!\n0"); }},
        {{"line-ends=cr"},
         [](auto& sent) { EXPECT_EQ(sent[0].bytes, "&&\r0108123.4\r0110567.8\r0121900\r!!\r0"); }},
        {{"stall=0.5:2"},
         [](auto& sent) {
             // Frames at 0 to 5 s: quiet from 2 to 2.5 s and from 4 to 4.5 s.
             ASSERT_EQ(sent.size(), 4u);
             EXPECT_EQ(sent[2].after, 3000ms);
             EXPECT_EQ(sent[3].after, 5000ms);
         }},
        {{"reorder=100%"},
         [](auto& sent) {
             // Held, then sent after the next; the one after that is held again.
             ASSERT_EQ(sent.size(), 4u);
             EXPECT_EQ(sent[0].bytes, kFrame + "1");
             EXPECT_EQ(sent[1].bytes, kFrame + "0");
             EXPECT_EQ(sent[1].mark, "[reorder]");
             EXPECT_EQ(sent[2].bytes, kFrame + "3");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults.front());
        FaultPlan plan;
        plan.seed = 42;
        for (const char* fault : c.faults) ASSERT_EQ(readFault(fault, plan), "");
        c.check(deliver(plan, c.faults.front() == std::string("stall=0.5:2") ? 6 : 4));
    }
}

TEST(FaultTable, TheSameSeedGivesTheSameFaultsAndEachReceiverItsOwn) {
    const FaultPlan plan =
        planOf({"drop=10", "duplicate=10", "delay=5:30", "split=3:2", "corrupt=10", "noise=10",
                "truncate=10", "bad-value=10", "line-ends=mixed", "reorder=10"});
    const auto first = deliver(plan, 200);
    const auto again = deliver(plan, 200);
    ASSERT_EQ(joined(first), joined(again));
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].after, again[i].after);
        EXPECT_EQ(first[i].mark, again[i].mark);
    }
    EXPECT_NE(joined(deliver(plan, 200, 2)), joined(first));
    FaultPlan other = plan;
    other.seed = 43;
    EXPECT_NE(joined(deliver(other, 200)), joined(first));
    // The draws are the product's own, not the standard library's: the same
    // bytes on every system.
    uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : joined(first)) hash = (hash ^ c) * 1099511628211ull;
    EXPECT_EQ(hash, 18410361347249460007ull);

    // A frame a stall kept back moves no other frame's faults.
    const FaultPlan steady = planOf({"corrupt=50", "split=3", "bad-value=50"});
    FaultPlan stalling = steady;
    ASSERT_EQ(readFault("stall=0.5:2", stalling), "");
    const auto all = deliver(steady, 6);
    const auto some = deliver(stalling, 6);  // frames 2 and 4 kept back
    ASSERT_EQ(all.size(), 18u);
    ASSERT_EQ(some.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(some[i].bytes, all[i < 6 ? i : i < 9 ? i + 3 : i + 6].bytes) << i;
}

TEST(FaultPlanText, ReadsEveryFormAndRefusesTheRest) {
    struct Case {
        const char* fault;
        const char* readBack;  // nullptr: refused
    };
    const Case cases[] = {
        {"drop=5%", "drop=5%"},
        {"drop=2.5", "drop=2.5%"},
        {"duplicate=100%", "duplicate=100%"},
        {"delay=120", "delay=120"},
        {"delay=120:30", "delay=120:30"},
        {"split=3", "split=3"},
        {"split=3:20", "split=3:20"},
        {"line-ends=mixed", "line-ends=mixed"},
        {"stall=5:60", "stall=5:60"},
        {"disconnect=30", "disconnect=30"},
        {"bad-value=10%", "bad-value=10%"},
        {"drop=101", nullptr},
        {"drop=-1", nullptr},
        {"drop=5%%", nullptr},
        {"drop=", nullptr},
        {"drop", nullptr},
        {"delay=1.5", nullptr},
        {"delay=10:", nullptr},
        {"split=0", nullptr},
        {"split=3:x", nullptr},
        {"line-ends=crcr", nullptr},
        {"stall=60:60", nullptr},
        {"stall=5", nullptr},
        {"disconnect=soon", nullptr},
        {"jitter=5", nullptr},
    };
    for (const Case& c : cases) {
        FaultPlan plan;
        const std::string error = readFault(c.fault, plan);
        if (c.readBack) {
            EXPECT_EQ(error, "") << c.fault;
            EXPECT_EQ(faultTexts(plan), std::vector<std::string>{c.readBack}) << c.fault;
        } else {
            EXPECT_EQ(error.rfind(std::string(c.fault) + ": expected ", 0), 0u) << error;
            EXPECT_EQ(plan, FaultPlan{}) << c.fault;
        }
    }
}

}  // namespace
}  // namespace korvane
