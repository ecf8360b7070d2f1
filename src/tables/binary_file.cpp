#include "tables/binary_file.h"

#include <bit>
#include <cstring>

namespace korvane {

void appendInt32(std::vector<uint8_t>& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

void appendFloat(std::vector<uint8_t>& out, float value) {
    appendInt32(out, std::bit_cast<int32_t>(value));
}

bool ByteReader::readBytes(void* out, std::size_t size) {
    if (left_ < size) {
        data_ += left_;
        left_ = 0;
        return false;
    }
    if (size > 0) std::memcpy(out, data_, size);
    data_ += size;
    left_ -= size;
    return true;
}

std::optional<int32_t> ByteReader::readInt32() {
    uint8_t bytes[4];
    if (!readBytes(bytes, sizeof bytes)) return std::nullopt;
    const uint32_t bits = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                          uint32_t{bytes[3]} << 24;
    return static_cast<int32_t>(bits);
}

std::optional<float> ByteReader::readFloat() {
    const auto bits = readInt32();
    if (!bits) return std::nullopt;
    return std::bit_cast<float>(*bits);
}

std::optional<uint8_t> ByteReader::readByte() {
    uint8_t byte = 0;
    if (!readBytes(&byte, 1)) return std::nullopt;
    return byte;
}

bool ReplacementFile::write(const void* bytes, std::size_t size) {
    if (failed_ || !file_.write(bytes, size)) failed_ = true;
    return !failed_;
}

ReplacementFile::Commit ReplacementFile::commit() {
    if (!failed_) return file_.commit();
    file_.discard();
    return Commit::writeFailed;
}

}  // namespace korvane
