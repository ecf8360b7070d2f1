#pragma once

// Real files for the file tests: a fresh folder per test and byte helpers.

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::testing {

class TempFolder {
public:
    // A random name: creating the folder fails if someone has it already.
    TempFolder() {
        std::mt19937_64 random(std::random_device{}());
        path_ = std::filesystem::temp_directory_path() / ("korvane-" + std::to_string(random()));
        if (!std::filesystem::create_directory(path_)) std::abort();
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A fresh folder that is the working directory while the object lives.
class TempWorkingDir {
public:
    TempWorkingDir() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder_.path());
    }
    ~TempWorkingDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    const std::filesystem::path& path() const { return folder_.path(); }

private:
    TempFolder folder_;
    std::filesystem::path previous_;
};

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Both writers start a new file rather than truncate the old one: rewriting a
// truncated file makes some file systems flush it at close, which turns a
// thousand-file loop into seconds of waiting.
inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const std::filesystem::path& path, std::string_view text) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Temporary files a save left behind, in the folder and below it (a link
// under such a name is a test's own plant).
inline int leftoverTemporaries(const std::filesystem::path& folder) {
    int found = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        found += entry.path().extension() == ".tmp" && !entry.is_symlink();
    return found;
}

// Little-endian int32, for building files by hand.
inline void put32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

// Little-endian IEEE float, as the settings and records files store one.
inline void putFloat(std::vector<uint8_t>& bytes, float value) {
    put32(bytes, std::bit_cast<uint32_t>(value));
}

}  // namespace korvane::testing
