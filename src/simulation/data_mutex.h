#pragma once

#include <chrono>
#include <mutex>

namespace korvane {

// Every wait on the data mutex is bounded; a wait that runs out skips its work.
inline constexpr auto kDataWait = std::chrono::milliseconds{500};
// Stores made after a dialog closes or a slider moves may wait a little longer.
inline constexpr auto kStoreWait = std::chrono::milliseconds{1000};

using DataMutex = std::timed_mutex;

// Runs work under the mutex if it can be had within timeout; says whether it ran.
template <typename Work>
bool withData(DataMutex& mutex, std::chrono::milliseconds timeout, Work&& work) {
    std::unique_lock lock(mutex, std::defer_lock);
    if (!lock.try_lock_for(timeout)) return false;
    work();
    return true;
}

// For the few stores that must not be lost (a dialog's OK or Cancel): waits as
// long as it takes. Every holder keeps the mutex for microseconds and never
// across input, output or a dialog, so this is never long.
template <typename Work>
void withDataAlways(DataMutex& mutex, Work&& work) {
    std::lock_guard lock(mutex);
    work();
}

}  // namespace korvane
