#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "platform/file_replacement.h"
#include "platform/temporary_name.h"

namespace korvane {

struct FileReplacement::Temporary {
    std::filesystem::path target;       // as the caller named it
    std::filesystem::path replacement;  // the file it leads to, which is replaced
    std::filesystem::path path;
    int fd = -1;
};

namespace {

constexpr int kMaxLinkHops = 40;   // the kernel's own limit (ELOOP)
constexpr int kNameAttempts = 64;  // names already taken before giving up

// The file a chain of symbolic links ends at, so the rename replaces that
// file and the links stay links; a dangling link names the file to create.
// Nothing when the chain ends at anything but a regular file, or loops.
std::optional<std::filesystem::path> replaceablePath(std::filesystem::path path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) return path;
            return std::nullopt;
        }
        if (S_ISREG(info.st_mode)) return path;
        if (!S_ISLNK(info.st_mode)) return std::nullopt;
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) return std::nullopt;
        path = path.parent_path() / next;  // an absolute link replaces the whole path
    }
    return std::nullopt;
}

std::string systemText(int error) { return std::generic_category().message(error); }

}  // namespace

FileReplacement::FileReplacement(const std::filesystem::path& target) {
    const std::optional<std::filesystem::path> replacement = replaceablePath(target);
    if (!replacement) {
        failure_ = "it is not a regular file";
        return;
    }
    struct stat old {};
    const bool exists = ::lstat(replacement->c_str(), &old) == 0;
    // A file we may not write stays as it is: renaming over it would get
    // round its permissions (the folder's, not the file's, govern a rename).
    if (exists && ::access(replacement->c_str(), W_OK) != 0) {
        failure_ = systemText(errno);
        return;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path path = temporaryName(*replacement);
        // O_EXCL: never an existing file, nor a link left under the name.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            failure_ = systemText(errno);
            return;
        }
        // The new file keeps the old one's permissions (a private settings
        // file stays private), not those the umask gives a fresh file.
        if (exists) ::fchmod(fd, old.st_mode & 07777);
        temporary_.reset(new Temporary{target, *replacement, path, fd});
        return;
    }
    failure_ = "no temporary name was free";
}

FileReplacement::~FileReplacement() { discard(); }

bool FileReplacement::write(const void* bytes, std::size_t size) {
    if (!temporary_) return false;
    const auto* next = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(temporary_->fd, next, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (failure_.empty()) failure_ = systemText(n < 0 ? errno : ENOSPC);
            return false;
        }
        next += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

FileReplacement::Outcome FileReplacement::commit() {
    if (!temporary_) return Outcome::writeFailed;
    // On the disk before it takes the old file's place, so a crash cannot
    // leave an empty file under the name (EINVAL: a file system without sync).
    bool written = ::fsync(temporary_->fd) == 0 || errno == EINVAL;
    if (!written) failure_ = systemText(errno);
    if (::close(temporary_->fd) != 0 && errno != EINTR) {
        if (written) failure_ = systemText(errno);
        written = false;
    }
    temporary_->fd = -1;
    if (!written) {
        discard();
        return Outcome::writeFailed;
    }
    // The name may have become a link to a device or folder since the open.
    if (replaceablePath(temporary_->target) != temporary_->replacement) {
        failure_ = "it is no longer a regular file";
        discard();
        return Outcome::renameFailed;
    }
    if (::rename(temporary_->path.c_str(), temporary_->replacement.c_str()) != 0) {
        failure_ = systemText(errno);
        discard();
        return Outcome::renameFailed;
    }
    temporary_.reset();
    return Outcome::replaced;
}

void FileReplacement::discard() {
    if (!temporary_) return;
    if (temporary_->fd >= 0) ::close(temporary_->fd);
    ::unlink(temporary_->path.c_str());
    temporary_.reset();
}

}  // namespace korvane
