#include "simulation/simulation_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "state/shared_state.h"

// These run the clock in real time, so they only bound what it adds: a run of
// t seconds covers at most t, and at least t less one period and a little
// scheduling slack. Ratios between depth and strokes do not depend on timing
// and are checked closely.
namespace korvane {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

constexpr auto kShortPeriod = 100ms;  // keeps the tests quick; the arithmetic is the same
constexpr double kSlack = 0.15;       // s, for a loaded build machine

// Sim values are read under the mutex, as every other reader does.
template <typename T>
T read(SharedState& s, T SimState::*field) {
    std::lock_guard lock(s.dataMutex);
    return s.sim.*field;
}
double strokes(SharedState& s, int pump) {
    std::lock_guard lock(s.dataMutex);
    return s.sim.totalStrokes[pump];
}

// Starts the clock and makes sure it has stopped before the state goes away.
class RunningClock {
public:
    RunningClock(SharedState& s, std::chrono::milliseconds period) : s_(s) {
        started_ = std::chrono::steady_clock::now();
        startClock(s_, period);
    }
    ~RunningClock() { stop(); }

    // Requests the stop and waits for the clock to confirm it; returns the
    // seconds the clock ran.
    double stop() {
        if (stopped_) return ran_;
        s_.sim.clockState = kClockStopRequested;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (s_.sim.clockState != kClockStopped && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        ran_ = Seconds(std::chrono::steady_clock::now() - started_).count();
        stopped_ = s_.sim.clockState == kClockStopped;
        if (!stopped_) ADD_FAILURE() << "the clock did not stop";
        return ran_;
    }

private:
    SharedState& s_;
    std::chrono::steady_clock::time_point started_;
    double ran_ = 0.0;
    bool stopped_ = false;
};

TEST(SimulationClock, WorkedExampleAtTheRealPeriod) {
    // Fresh start: 0.10 min/ft, three pumps circulating at 90 spm.
    auto s = std::make_unique<SharedState>();
    s->sim.holeDepth = 1000.0f;
    s->sim.bitDepth = 990.0f;
    RunningClock clock(*s, kClockPeriod);
    std::this_thread::sleep_for(1300ms);
    const double ran = clock.stop();

    const double covered = strokes(*s, 0) / 1.5;  // 90 spm is 1.5 strokes a second
    EXPECT_LE(covered, ran + 0.01);
    EXPECT_GE(covered, 1.3 - 0.5 - kSlack) << "fewer steps than the time allows";
    EXPECT_EQ(strokes(*s, 1), strokes(*s, 0));
    EXPECT_EQ(strokes(*s, 2), strokes(*s, 0));
    // 600 ft an hour is a ninth of a foot per 90 spm stroke.
    EXPECT_NEAR(read(*s, &SimState::holeDepth) - 1000.0f, strokes(*s, 0) / 9.0, 1e-3);
    EXPECT_NEAR(read(*s, &SimState::bitDepth) - 990.0f, strokes(*s, 0) / 9.0, 1e-3);
}

TEST(SimulationClock, ZeroRateKeepsDepthsWhilePumpsCount) {
    auto s = std::make_unique<SharedState>();
    s->sim.ropChoice = 0;  // 0.00 min/ft
    s->sim.holeDepth = 250.5f;
    s->sim.bitDepth = 200.25f;
    RunningClock clock(*s, kShortPeriod);
    std::this_thread::sleep_for(1s);
    clock.stop();
    EXPECT_EQ(read(*s, &SimState::holeDepth), 250.5f);
    EXPECT_EQ(read(*s, &SimState::bitDepth), 200.25f);
    EXPECT_GT(strokes(*s, 0), 1.0);
}

TEST(SimulationClock, NegativeTypedRateShrinksBothDepths) {
    auto s = std::make_unique<SharedState>();
    s->sim.ropChoice = -1;
    s->sim.ropTyped = -1.0f;
    s->sim.holeDepth = 100.0f;
    s->sim.bitDepth = 50.0f;
    RunningClock clock(*s, kShortPeriod);
    std::this_thread::sleep_for(1s);
    clock.stop();
    // dt / 60 ft per step; 90 spm gives 1.5 dt strokes, so the loss is strokes / 90.
    const double expected = strokes(*s, 0) / 90.0;
    EXPECT_GT(expected, 0.01);
    EXPECT_NEAR(100.0f - read(*s, &SimState::holeDepth), expected, 1e-4);
    EXPECT_NEAR(50.0f - read(*s, &SimState::bitDepth), expected, 1e-4);
}

TEST(SimulationClock, StoppedPumpKeepsItsTotalAndOthersFollowTheirRates) {
    auto s = std::make_unique<SharedState>();
    s->sim.pumpCirculating[1] = 0;
    s->sim.totalStrokes[1] = 42.0;
    s->sim.pumpSpmChoice[2] = 6;  // 0 spm
    s->sim.pumpSpmChoice[0] = 3;  // 60 spm
    RunningClock clock(*s, kShortPeriod);
    std::this_thread::sleep_for(700ms);
    double pump0AtSwitch = 0.0;
    {
        std::lock_guard lock(s->dataMutex);
        EXPECT_EQ(s->sim.totalStrokes[1], 42.0);
        s->sim.pumpCirculating[1] = 1;  // on again: counts on from 42
        s->sim.pumpSpmChoice[1] = 0;    // 90 spm
        pump0AtSwitch = s->sim.totalStrokes[0];
    }
    std::this_thread::sleep_for(700ms);
    clock.stop();
    EXPECT_EQ(strokes(*s, 2), 0.0);
    const double pump1Gain = strokes(*s, 1) - 42.0;
    const double pump0Gain = strokes(*s, 0) - pump0AtSwitch;
    EXPECT_GT(pump1Gain, 0.5);
    // Over the same steps 90 spm gains 1.5 times what 60 spm does.
    EXPECT_NEAR(pump1Gain, 1.5 * pump0Gain, 0.2);
}

TEST(SimulationClock, StepsMissedWhileTheMutexIsHeldAreAddedAtOnce) {
    auto s = std::make_unique<SharedState>();
    RunningClock clock(*s, kShortPeriod);
    std::this_thread::sleep_for(300ms);

    std::unique_lock held(s->dataMutex);
    const double before = s->sim.totalStrokes[0];
    std::this_thread::sleep_for(1500ms);  // several cycles, each giving up after 500 ms
    EXPECT_EQ(s->sim.totalStrokes[0], before);
    held.unlock();

    double after = before;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (after == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        after = strokes(*s, 0);
    }
    EXPECT_GE((after - before) / 1.5, 1.5) << "one step covers the whole time the mutex was held";
    EXPECT_LE((after - before) / 1.5, 1.5 + 0.5 + 0.1 + kSlack);
}

TEST(SimulationClock, StopRequestEndsTheLoopAndIsConfirmed) {
    auto s = std::make_unique<SharedState>();
    const auto start = std::chrono::steady_clock::now();
    RunningClock clock(*s, kClockPeriod);
    std::this_thread::sleep_for(50ms);
    clock.stop();
    EXPECT_EQ(s->sim.clockState, kClockStopped);
    // Leaves at the top of its next cycle: one sleep, at most one mutex wait.
    EXPECT_LT(Seconds(std::chrono::steady_clock::now() - start).count(), 0.5 + 0.5 + kSlack);

    // Asked to stop before it started: it never steps.
    auto idle = std::make_unique<SharedState>();
    idle->sim.clockState = kClockStopRequested;
    runClock(*idle, kShortPeriod);
    EXPECT_EQ(idle->sim.clockState, kClockStopped);
    EXPECT_EQ(idle->sim.totalStrokes[0], 0.0);
}

TEST(SimulationClock, RateChoiceOutsideTheListLeavesDepths) {
    auto s = std::make_unique<SharedState>();
    s->sim.ropChoice = kListSize;
    s->sim.pumpSpmChoice[0] = kListSize;
    s->sim.holeDepth = 10.0f;
    RunningClock clock(*s, kShortPeriod);
    std::this_thread::sleep_for(500ms);
    clock.stop();
    EXPECT_EQ(read(*s, &SimState::holeDepth), 10.0f);
    EXPECT_EQ(strokes(*s, 0), 0.0);
    EXPECT_GT(strokes(*s, 1), 0.0);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(SimulationClock, AScaledStepIsTheSameAsThatMuchMoreRealTime) {
    for (const double scale : {1.0, 60.0, 3600.0}) {
        SCOPED_TRACE(scale);
        SharedState scaled, real;
        for (SharedState* s : {&scaled, &real}) {
            s->sim.ropChoice = 3;
            s->sim.holeDepth = s->sim.bitDepth = 1000.0f;
        }
        scaled.sim.clockScale = scale;
        for (int step = 0; step < 20; ++step) {
            advanceRig(scaled.sim, 0.5f);
            advanceRig(real.sim, static_cast<float>(0.5 * scale));
        }
        EXPECT_EQ(scaled.sim.holeDepth, real.sim.holeDepth);
        EXPECT_EQ(scaled.sim.totalStrokes[0], real.sim.totalStrokes[0]);
        EXPECT_NEAR(scaled.sim.holeDepth - 1000.0f, 10 * scale / 60 / 0.5, 0.01 * scale);
    }
}

}  // namespace
}  // namespace korvane
