#pragma once

#include <array>
#include <atomic>
#include <string>

#include "faults/fault_plan.h"

namespace korvane {

using FaultTally = std::array<long long, kFaultKinds>;

// How many times each fault was applied since the counts were cleared: one
// per frame it hit (per receiver, where each has its own), one per
// connection a disconnect closed. Written by the link thread, read anywhere.
class FaultCounts {
public:
    void add(FaultKind kind) { counts_[static_cast<std::size_t>(kind)].fetch_add(1); }
    long long count(FaultKind kind) const { return counts_[static_cast<std::size_t>(kind)].load(); }
    FaultTally all() const;
    void clear();

private:
    std::array<std::atomic<long long>, kFaultKinds> counts_{};
};

// "drop 12, split 40": the faults applied at least once, in order; "none"
// when there are none.
std::string tallyText(const FaultTally& tally);

}  // namespace korvane
