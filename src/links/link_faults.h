#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "faults/fault_counts.h"
#include "faults/fault_plan.h"
#include "links/frame_source.h"

namespace korvane {

// The faults in force, and since when: stalls and disconnects keep time from then.
struct ActiveFaults {
    FaultPlan plan;
    LinkClock::time_point since;
};

// The faults the links make on purpose. The front ends set and clear them at
// any time, running link or not; the links apply them per receiver
// (fault_lane.h) from the next frame on. Never saved: a restart is clean.
class LinkFaults {
public:
    // Puts `plan` in force from now; a plan with no fault on clears. Any thread.
    void set(const FaultPlan& plan);
    void clear() { set(FaultPlan{}); }
    // What is in force; all off when nothing is.
    FaultPlan plan() const;
    std::shared_ptr<const ActiveFaults> active() const;
    // Looked at first, so a link without faults takes no lock.
    bool on() const { return on_.load(std::memory_order_acquire); }
    // Changes with every set, so a link sees a new plan (even the same one
    // again, which starts its random choices afresh from the seed).
    uint32_t generation() const { return generation_.load(std::memory_order_acquire); }

    FaultCounts counts;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const ActiveFaults> active_;
    std::atomic<bool> on_{false};
    std::atomic<uint32_t> generation_{0};
};

// A seed for a run that was given none, to be printed so it can be repeated.
uint64_t drawFaultSeed();

}  // namespace korvane
