#include "platform/temporary_name.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include "platform/file_replacement.h"

namespace korvane {

namespace {

constexpr std::size_t kHexDigits = 12;
constexpr const char* kTemporaryEnd = ".tmp";

bool isTemporaryOf(const std::string& name, const std::string& target) {
    const std::string end = kTemporaryEnd;
    if (name.size() != target.size() + 1 + kHexDigits + end.size()) return false;
    if (name.compare(0, target.size(), target) != 0 || name[target.size()] != '.') return false;
    if (name.compare(name.size() - end.size(), end.size(), end) != 0) return false;
    for (std::size_t i = target.size() + 1; i < target.size() + 1 + kHexDigits; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f')))
            return false;
    return true;
}

}  // namespace

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

void removeLeftoverTemporaries(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string targetName = target.filename().string();
    std::error_code error;  // an unreadable folder simply keeps its files
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (isTemporaryOf(it->path().filename().string(), targetName) &&
            it->symlink_status(ignored).type() == std::filesystem::file_type::regular)
            std::filesystem::remove(it->path(), ignored);
    }
}

}  // namespace korvane
