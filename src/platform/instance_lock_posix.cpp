#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "platform/instance_lock.h"

namespace korvane {

struct InstanceLock::Native {
    explicit Native(int descriptor) : fd(descriptor) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::close(fd); }  // closing the last descriptor drops the flock
    int fd;
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

}  // namespace

std::optional<InstanceLock> InstanceLock::acquire(const std::string& name) {
    int fd = -1;
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir && *runtimeDir)
        fd = openLockFile(std::string(runtimeDir) + "/" + name + ".lock");
    if (fd < 0) {
        if (const std::optional<std::string> folder = userRunFolder())
            fd = openLockFile(*folder + "/" + name + ".lock");
    }
    if (fd < 0) {
        fd = openLockFile("/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock");
        // Anyone may create this name in /tmp before us and hold a lock on
        // it. A file that is not ours is no proof that another copy of ours
        // runs, so run unguarded rather than let another user block us.
        struct stat info {};
        if (fd >= 0 && (::fstat(fd, &info) != 0 || info.st_uid != ::getuid())) {
            ::close(fd);
            return InstanceLock(nullptr);
        }
    }
    // Without any lock file the guard cannot work; run unguarded rather than
    // claim that another copy is running.
    if (fd < 0) return InstanceLock(nullptr);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held) return std::nullopt;
        return InstanceLock(nullptr);
    }
    return InstanceLock(std::make_unique<Native>(fd));
}

InstanceLock::InstanceLock(std::unique_ptr<Native> native) : native_(std::move(native)) {}
InstanceLock::InstanceLock(InstanceLock&& other) noexcept = default;
InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept = default;
InstanceLock::~InstanceLock() = default;

}  // namespace korvane
