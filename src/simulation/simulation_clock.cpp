#include "simulation/simulation_clock.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "state/shared_state.h"

namespace korvane {

namespace {

using Counter = std::chrono::steady_clock;

// Seconds to minutes, held as a 32-bit float like the rig's other constants.
constexpr float kOneSixtieth = 1.0f / 60.0f;  // 0.016666668
static_assert(kOneSixtieth == 0.016666668f);

// The longest the clock sleeps without looking for a stop request, so the
// program can end promptly.
constexpr auto kStopLook = std::chrono::milliseconds{50};

}  // namespace

void advanceRig(SimState& sim, float dt) {
    // At 1 the step is exactly what it always was.
    const double scale = sim.clockScale.load(std::memory_order_relaxed);
    if (scale != 1.0) dt = static_cast<float>(dt * scale);
    const double minutes = static_cast<double>(kOneSixtieth) * dt;

    const float rop = sim.rateOfPenetration();  // min/ft; 0 leaves the bit where it is
    if (rop != 0.0f) {
        const double feet = minutes / rop;
        sim.holeDepth = static_cast<float>(sim.holeDepth + feet);
        sim.bitDepth = static_cast<float>(sim.bitDepth + feet);
    }

    for (int pump = 0; pump < kPumpCount; ++pump) {
        if (sim.pumpCirculating[pump] == 0) continue;
        if (const auto spm = sim.pumpRate(pump)) sim.totalStrokes[pump] += minutes * *spm;
    }
}

void runClock(SharedState& shared, std::chrono::milliseconds period) {
    Counter::time_point last = Counter::now();
    const auto stopRequested = [&shared] {
        return shared.sim.clockState.load(std::memory_order_acquire) == kClockStopRequested;
    };
    while (!stopRequested()) {
        const auto wake = Counter::now() + period;
        while (!stopRequested() && Counter::now() < wake)
            std::this_thread::sleep_until(std::min(wake, Counter::now() + kStopLook));
        if (stopRequested()) break;
        // A missed step keeps `last`, so the next one covers all the time since.
        withData(shared.dataMutex, kDataWait, [&] {
            const Counter::time_point now = Counter::now();
            const float dt = static_cast<float>(std::chrono::duration<double>(now - last).count());
            last = now;
            advanceRig(shared.sim, dt);
        });
    }
    shared.sim.clockState.store(kClockStopped, std::memory_order_release);
}

void startClock(SharedState& shared, std::chrono::milliseconds period) {
    std::thread([&shared, period] { runClock(shared, period); }).detach();
}

void startClock(SharedState& shared) { startClock(shared, kClockPeriod); }

bool stopClock(SharedState& shared, std::chrono::milliseconds patience) {
    shared.sim.clockState.store(kClockStopRequested, std::memory_order_release);
    const auto deadline = Counter::now() + patience;
    while (shared.sim.clockState.load(std::memory_order_acquire) != kClockStopped) {
        if (Counter::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds{5});
    }
    return true;
}

}  // namespace korvane
