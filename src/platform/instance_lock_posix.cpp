#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/instance_lock.h"

namespace korvane {

namespace {

int openLockFile(const std::string& path) {
    // O_NOFOLLOW: in a shared /tmp, someone else's symlink must not make us
    // create or lock a file of their choosing.
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

}  // namespace

std::optional<InstanceLock> InstanceLock::acquire(const std::string& name) {
    int fd = -1;
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir)
        fd = openLockFile(std::string(runtimeDir) + "/" + name + ".lock");
    if (fd < 0) fd = openLockFile("/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock");
    // Without any lock file the guard cannot work; run unguarded rather than
    // claim that another copy is running.
    if (fd < 0) return InstanceLock(-1);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held) return std::nullopt;
        return InstanceLock(-1);
    }
    return InstanceLock(fd);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor drops the flock
}

}  // namespace korvane
