#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

// Single-instance guard, one per user: a copy on the desktop and one started
// from a scheduler or a remote shell see the same guard. The system drops it
// when the process dies, so a crash never leaves a stale lock. On Linux an
// exclusive flock on a file in $XDG_RUNTIME_DIR, else in /run/user/<uid>, else
// a per-user file in /tmp; on Windows a mutex named in the session's own
// namespace (Local\<name>).
class InstanceLock {
public:
    // The lock, or nothing when another process holds it.
    static std::optional<InstanceLock> acquire(const std::string& name);

    // Calls the process that holds the lock `name` (one that listens, below):
    // a second copy asks the first to show itself. False when nobody listens.
    static bool callHolder(const std::string& name);

    // Runs `called`, on a thread of its own that lasts until the process ends,
    // each time another process calls; so `called` must hold nothing that the
    // process destroys before it ends. Does nothing when running unguarded.
    // On Linux a FIFO beside the lock file; on Windows a named event.
    void listenForCalls(std::function<void()> called);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

private:
    struct Native;  // the system's lock object; none when running unguarded
    explicit InstanceLock(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
};

}  // namespace korvane
