#include "platform/temporary_name.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

namespace korvane {

std::filesystem::path temporaryName(const std::filesystem::path& target) {
    thread_local std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xffffffffffffULL));
    std::filesystem::path name = target;
    name += suffix;
    return name;
}

}  // namespace korvane
