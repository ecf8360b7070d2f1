#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace korvane {

// An event that stays set until reset, as the link handshakes need.
class ManualResetEvent {
public:
    void set();
    void reset();
    bool isSet() const;  // tests without waiting
    // True if the event was set within timeout (at once if already set).
    bool waitFor(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace korvane
