#pragma once

#include <optional>
#include <string>

namespace korvane {

// Single-instance guard: an exclusive flock on a file in $XDG_RUNTIME_DIR,
// else in /run/user/<uid>, else a per-user file in /tmp, so a desktop copy and
// one started from cron or ssh find the same lock. The kernel drops it when
// the process dies, so a crash never leaves a stale lock.
class InstanceLock {
public:
    // The lock, or nothing when another process holds it.
    static std::optional<InstanceLock> acquire(const std::string& name);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace korvane
