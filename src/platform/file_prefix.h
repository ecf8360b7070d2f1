#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace korvane {

// What was found under a file's name when it was read.
enum class FileRead {
    read,        // a regular file, opened and read
    missing,     // nothing there (or nothing that can be reached)
    unreadable,  // a regular file that could not be opened
    notRegular,  // a FIFO, device, folder or the like: never opened for reading, never ours
};

struct FilePrefix {
    FileRead result = FileRead::missing;
    std::vector<uint8_t> bytes;  // at most maxBytes from the start; empty unless read
};

// Reads the start of a regular file without ever waiting on what lies under
// the name: a FIFO or device planted there must not hang the start-up.
FilePrefix readFilePrefix(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace korvane
