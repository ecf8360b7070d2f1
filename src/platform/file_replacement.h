#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace korvane {

// A new file written beside its target and put in the target's place in one
// step, so a failed save leaves the old file as it was. The temporary file is
// always created fresh under a name nobody else holds, so nothing planted
// beside the target is written through. The target is followed through links
// only to a regular file (or to a name not there yet); a link to a device,
// FIFO or folder is refused, as is a regular file we may not write.
class FileReplacement {
public:
    enum class Outcome { replaced, writeFailed, renameFailed };

    explicit FileReplacement(const std::filesystem::path& target);
    ~FileReplacement();  // an uncommitted temporary file is removed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the target is refused or the temporary file could not be made.
    bool isOpen() const { return temporary_ != nullptr; }
    // False unless every byte reached the file (writes are unbuffered).
    bool write(const void* bytes, std::size_t size);
    // Puts the written file in the target's place; on any failure the
    // temporary file is removed and the target stays as it was.
    Outcome commit();
    // Removes the temporary file; the target stays as it was.
    void discard();
    // Why the file could not be made, written or put in place, in the
    // system's words ("Read-only file system"); empty while nothing failed.
    const std::string& failure() const { return failure_; }

private:
    struct Temporary;
    std::unique_ptr<Temporary> temporary_;
    std::string failure_;
};

// Removes what saves killed half-way left beside `target`: regular files named
// exactly `target` plus ".<12 hex digits>.tmp". Links and anything else are
// left alone. Only for a process that holds the single-instance lock, so no
// save of another copy is under way.
void removeLeftoverTemporaries(const std::filesystem::path& target);

}  // namespace korvane
