#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/instance_lock.h"

namespace korvane {

struct InstanceLock::Native {
    Native(int descriptor, std::string lockPath) : fd(descriptor), path(std::move(lockPath)) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::close(fd); }  // closing the last descriptor drops the flock
    int fd;
    std::string path;
};

namespace {

int openLockFile(const std::string& path) {
    // O_NOFOLLOW: in a shared /tmp, someone else's symlink must not make us
    // create or lock a file of their choosing.
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// The user's runtime folder as the login manager makes it, for a copy started
// without XDG_RUNTIME_DIR (cron, a service): the same lock file as a copy on
// the desktop, so the two still see each other. Only a real folder of ours.
std::optional<std::string> userRunFolder() {
    const std::string folder = "/run/user/" + std::to_string(::getuid());
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return std::nullopt;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return std::nullopt;
    return folder;
}

struct LockFile {
    int fd = -1;  // none: run unguarded
    std::string path;
};

LockFile openLockFileOf(const std::string& name) {
    LockFile file;
    const auto tryPath = [&file](std::string path) {
        file.fd = openLockFile(path);
        file.path = std::move(path);
    };
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir) tryPath(std::string(runtimeDir) + "/" + name + ".lock");
    if (file.fd < 0) {
        if (const std::optional<std::string> folder = userRunFolder())
            tryPath(*folder + "/" + name + ".lock");
    }
    if (file.fd < 0) {
        tryPath("/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock");
        // Anyone may create this name in /tmp before us and hold a lock on
        // it. A file that is not ours is no proof that another copy of ours
        // runs, so run unguarded rather than let another user block us.
        struct stat info {};
        if (file.fd >= 0 && (::fstat(file.fd, &info) != 0 || info.st_uid != ::getuid())) {
            ::close(file.fd);
            file.fd = -1;
        }
    }
    return file;
}

// The FIFO that a holder listens on, beside its lock file.
std::string callPath(const std::string& lockPath) {
    return lockPath.substr(0, lockPath.size() - std::string(".lock").size()) + ".call";
}

// Only a FIFO of our own: in a shared /tmp the name may be anybody's.
bool isOurFifo(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode) && info.st_uid == ::getuid();
}

}  // namespace

std::optional<InstanceLock> InstanceLock::acquire(const std::string& name) {
    LockFile file = openLockFileOf(name);
    // Without any lock file the guard cannot work; run unguarded rather than
    // claim that another copy is running.
    if (file.fd < 0) return InstanceLock(nullptr);
    if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(file.fd);
        if (held) return std::nullopt;
        return InstanceLock(nullptr);
    }
    return InstanceLock(std::make_unique<Native>(file.fd, std::move(file.path)));
}

bool InstanceLock::callHolder(const std::string& name) {
    const LockFile file = openLockFileOf(name);
    if (file.fd < 0) return false;
    ::close(file.fd);
    // Non-blocking: with no reader the open fails at once (ENXIO).
    const int fd =
        ::open(callPath(file.path).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const char call = '\n';
    const bool sent = isOurFifo(fd) && ::write(fd, &call, 1) == 1;
    ::close(fd);
    return sent;
}

void InstanceLock::listenForCalls(std::function<void()> called) {
    if (!native_) return;
    const std::string path = callPath(native_->path);
    // Left behind by an earlier holder, or made now; a write end opened here
    // too keeps reads waiting instead of ending when a caller closes.
    if (::mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) return;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    if (!isOurFifo(fd)) {
        ::close(fd);
        return;
    }
    std::thread([fd, called = std::move(called)] {
        char calls[64];
        for (;;) {
            const ssize_t got = ::read(fd, calls, sizeof calls);
            if (got > 0) {
                called();
            } else if (got < 0 && errno != EINTR) {
                return;
            }
        }
    }).detach();
}

InstanceLock::InstanceLock(std::unique_ptr<Native> native) : native_(std::move(native)) {}
InstanceLock::InstanceLock(InstanceLock&& other) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept = default;
InstanceLock::~InstanceLock() = default;

}  // namespace korvane
