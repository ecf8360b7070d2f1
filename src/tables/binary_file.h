#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

// Little-endian byte images of the binary files, built and read byte by byte so
// the layout never depends on the compiler's struct padding or the host's byte order.
namespace korvane {

void appendInt32(std::vector<uint8_t>& out, int32_t value);
void appendFloat(std::vector<uint8_t>& out, float value);

// Reads fields in file order. Like a stream, a read that comes up short uses
// up what was left, so every later read is short too.
class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), left_(size) {}

    // Copies size bytes to out; false (and out untouched) when fewer are left.
    bool readBytes(void* out, std::size_t size);
    std::optional<int32_t> readInt32();
    std::optional<float> readFloat();
    std::optional<uint8_t> readByte();

private:
    const uint8_t* data_;
    std::size_t left_;
};

// At most maxBytes from the start of a file; nothing when it cannot be opened.
std::optional<std::vector<uint8_t>> readFilePrefix(const std::filesystem::path& path,
                                                   std::size_t maxBytes);

// Writes a file under a temporary name beside its target and renames it over
// the target only when everything was written, so a failed save never leaves a
// half-written file behind: the old one stays as it was.
class ReplacementFile {
public:
    enum class Commit { replaced, writeFailed, renameFailed };

    explicit ReplacementFile(std::filesystem::path target);
    ~ReplacementFile();  // an uncommitted temporary file is removed
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool isOpen() const { return open_; }
    // False when the bytes did not all reach the file. Writes are unbuffered,
    // so a failure shows at the write that caused it.
    bool write(const void* bytes, std::size_t size);
    Commit commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::ofstream out_;
    bool open_ = false;
    bool failed_ = false;
    bool committed_ = false;
};

}  // namespace korvane
