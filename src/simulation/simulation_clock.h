#pragma once

#include <chrono>

namespace korvane {

struct SharedState;
struct SimState;

// The clock sleeps this long between steps; each step still adds the time
// actually elapsed since the previous one.
inline constexpr auto kClockPeriod = std::chrono::milliseconds{500};

// One step of the rig over `dt` real seconds, at the rig's clock scale:
// depths and stroke totals advance. The caller holds the data mutex.
void advanceRig(SimState& sim, float dt);

// Body of the clock thread: advances depths and stroke totals once per period
// (kClockPeriod in the program, shorter in tests) until clockState is set to 1;
// sets it to 2 as it leaves.
void runClock(SharedState& shared, std::chrono::milliseconds period);

// Starts runClock on a detached thread. `shared` must outlive it: the thread
// ends on its own only when clockState is set to 1 (it then sets 2).
void startClock(SharedState& shared);
void startClock(SharedState& shared, std::chrono::milliseconds period);

// Asks a running clock to stop and waits up to `patience` for it to leave;
// true when it has. The clock looks at the request several times a period.
bool stopClock(SharedState& shared, std::chrono::milliseconds patience);

}  // namespace korvane
