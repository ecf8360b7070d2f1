#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "instance_guard_probe.h"

namespace korvane::testing {

bool instanceGuardHeld(const std::filesystem::path& runtimeDir) {
    // The guard is a flock on a file in the runtime folder; the kernel lists
    // every flock with the inode of its file.
    std::vector<std::string> inodes;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(runtimeDir)) {
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) == 0)
            inodes.push_back(":" + std::to_string(info.st_ino) + " ");
    }
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        if (line.find("FLOCK") == std::string::npos) continue;
        for (const std::string& inode : inodes) {
            if (line.find(inode) != std::string::npos) return true;
        }
    }
    return false;
}

}  // namespace korvane::testing
