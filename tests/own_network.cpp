// Linked into the test programs whose links bind the fixed UDP port 5001.
// Each test runs in a process of its own; before main, that process moves to
// a network namespace of its own with only loopback up, so tests that bind
// the same port can run side by side, and a link child the test starts
// inherits it. Where the system does not allow a namespace (not root), the
// processes take turns instead, through a lock file held until they end.
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

bool loopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

void takeTurns() {
    const auto path = std::filesystem::temp_directory_path() / "korvane-tests-udp5001.lock";
    // Left open on purpose: the lock ends with the process. Read-only, so a
    // file another user made serves as well.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) std::perror("korvane tests: port 5001 lock");
}

[[maybe_unused]] const bool ownNetwork = [] {
    if (::unshare(CLONE_NEWNET) != 0) {
        takeTurns();
        return false;
    }
    if (!loopbackUp()) std::perror("korvane tests: loopback in the test's own network");
    return true;
}();

}  // namespace
