#include "faults/fault_counts.h"

namespace korvane {

FaultTally FaultCounts::all() const {
    FaultTally tally{};
    for (std::size_t i = 0; i < kFaultKinds; ++i) tally[i] = counts_[i].load();
    return tally;
}

void FaultCounts::clear() {
    for (auto& count : counts_) count.store(0);
}

std::string tallyText(const FaultTally& tally) {
    std::string text;
    for (const FaultKind kind : kAllFaults) {
        const long long count = tally[static_cast<std::size_t>(kind)];
        if (count == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::string(faultName(kind)) + " " + std::to_string(count);
    }
    return text.empty() ? "none" : text;
}

}  // namespace korvane
