#include "links/link_faults.h"

#include <random>

namespace korvane {

void LinkFaults::set(const FaultPlan& plan) {
    std::shared_ptr<const ActiveFaults> active;
    if (plan.anyOn())
        active = std::make_shared<const ActiveFaults>(ActiveFaults{plan, LinkClock::now()});
    std::lock_guard lock(mutex_);
    active_ = std::move(active);
    on_.store(active_ != nullptr, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

FaultPlan LinkFaults::plan() const {
    std::lock_guard lock(mutex_);
    return active_ ? active_->plan : FaultPlan{};
}

std::shared_ptr<const ActiveFaults> LinkFaults::active() const {
    std::lock_guard lock(mutex_);
    return active_;
}

uint64_t drawFaultSeed() {
    std::random_device device;
    // Short enough to type back in.
    return device() % 1000000;
}

}  // namespace korvane
