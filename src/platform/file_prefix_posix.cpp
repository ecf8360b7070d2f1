#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_prefix.h"

namespace korvane {

namespace {

// What the name holds when it cannot be read: only a regular file counts as
// unreadable (one that may be deleted and written anew).
FileRead unopened(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FileRead::missing;
    return S_ISREG(info.st_mode) ? FileRead::unreadable : FileRead::notRegular;
}

}  // namespace

FilePrefix readFilePrefix(const std::filesystem::path& path, std::size_t maxBytes) {
    // Anything else is never opened: a FIFO would block the open, and opening
    // a device may act on it.
    if (const FileRead found = unopened(path); found != FileRead::unreadable) return {found, {}};
    // Still without blocking or taking a terminal: the name may change between
    // the check and the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {unopened(path), {}};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {FileRead::notRegular, {}};
    }
    FilePrefix prefix{FileRead::read, std::vector<uint8_t>(maxBytes)};
    std::size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd, prefix.bytes.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the end, or a failing disk: what came so far is the file
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    prefix.bytes.resize(got);
    return prefix;
}

}  // namespace korvane
