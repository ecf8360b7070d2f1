#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/file_replacement.h"

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

// Where an encoder's bytes go: a file, or in the tests a device that fails.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False unless every byte was taken.
    virtual bool write(const void* bytes, std::size_t size) = 0;
};

// A save that fails at any field fails whole: after one write has failed,
// every later write reports failure too and the commit leaves the old file.
class ReplacementFile : public ByteSink {
public:
    using Commit = FileReplacement::Outcome;

    explicit ReplacementFile(const std::filesystem::path& target) : file_(target) {}

    bool isOpen() const { return file_.isOpen(); }
    bool write(const void* bytes, std::size_t size) override;
    Commit commit();
    const std::string& failure() const { return file_.failure(); }

private:
    FileReplacement file_;
    bool failed_ = false;
};

}  // namespace korvane
