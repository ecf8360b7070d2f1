#include "simulation/simulation_clock.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

#include "simulation/shared_state.h"

namespace korvane {

namespace {

using Counter = std::chrono::steady_clock;

// Seconds to minutes, held as a 32-bit float like the rig's other constants.
constexpr float kOneSixtieth = 1.0f / 60.0f;  // 0.016666668
static_assert(kOneSixtieth == 0.016666668f);

int64_t readCounter() { return Counter::now().time_since_epoch().count(); }

// One step over dt seconds. The caller holds the data mutex.
void advance(SimState& sim, float dt) {
    const double minutes = static_cast<double>(kOneSixtieth) * dt;

    // Only the Drilling page's seven choices, or -1 for the typed rate, name a
    // rate; a choice beyond the list leaves the bit where it is.
    const int32_t ropChoice = sim.ropChoice;
    const float rop = ropChoice < 0           ? sim.ropTyped
                      : ropChoice < kListSize ? kRopList[ropChoice]
                                              : 0.0f;  // min/ft
    if (rop != 0.0f) {
        const double feet = minutes / rop;
        sim.holeDepth = static_cast<float>(sim.holeDepth + feet);
        sim.bitDepth = static_cast<float>(sim.bitDepth + feet);
    }

    for (int pump = 0; pump < kPumpCount; ++pump) {
        if (sim.pumpCirculating[pump] == 0) continue;
        const int32_t choice = sim.pumpSpmChoice[pump];
        if (choice < 0 || choice >= kListSize) continue;
        sim.totalStrokes[pump] += minutes * kSpmList[choice];
    }
}

}  // namespace

void runClock(SharedState& shared, std::chrono::milliseconds period) {
    constexpr double frequency =
        static_cast<double>(Counter::period::den) / Counter::period::num;  // counts per second
    int64_t last = readCounter();

    while (shared.sim.clockState.load(std::memory_order_acquire) != kClockStopRequested) {
        std::this_thread::sleep_for(period);
        std::unique_lock lock(shared.dataMutex, std::defer_lock);
        // A missed step keeps `last`, so the next one covers all the time since.
        if (!lock.try_lock_for(kDataWait)) continue;
        const int64_t now = readCounter();
        const float dt = static_cast<float>(static_cast<double>(now - last) / frequency);
        last = now;
        advance(shared.sim, dt);
    }
    shared.sim.clockState.store(kClockStopped, std::memory_order_release);
}

void runClock(SharedState& shared) { runClock(shared, kClockPeriod); }

void startClock(SharedState& shared, std::chrono::milliseconds period) {
    std::thread([&shared, period] { runClock(shared, period); }).detach();
}

void startClock(SharedState& shared) { startClock(shared, kClockPeriod); }

}  // namespace korvane
