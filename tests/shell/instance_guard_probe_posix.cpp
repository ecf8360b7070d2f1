#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>

#include "instance_guard_probe.h"

namespace korvane::testing {

bool instanceGuardHeld(const std::filesystem::path& runtimeDir) {
    // The guard is a flock on a file in the runtime folder; the kernel lists
    // every lock with its file's inode.
    std::ifstream file("/proc/locks");
    const std::string locks{std::istreambuf_iterator<char>(file), {}};
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(runtimeDir)) {
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) == 0 &&
            locks.find(":" + std::to_string(info.st_ino) + " ") != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace korvane::testing
