#pragma once

// A lowered file-size limit that makes the system refuse writes past a given
// offset: a failing disk without mocking one. POSIX only.

#include <sys/resource.h>

#include <csignal>

namespace korvane::testing {

// While alive, writes to any file past `bytes` fail (EFBIG) instead of
// raising SIGXFSZ. Applies to the whole process, so tests keep it short.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace korvane::testing
