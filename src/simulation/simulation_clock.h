#pragma once

namespace korvane {

struct SharedState;

// Body of the clock thread: advances depths and stroke totals about twice a
// second until clockState is set to 1; sets it to 2 as it leaves.
void runClock(SharedState& shared);

// Starts runClock on a detached thread.
void startClock(SharedState& shared);

}  // namespace korvane
