#include "tables/binary_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <system_error>

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

std::optional<std::vector<uint8_t>> readFilePrefix(const std::filesystem::path& path,
                                                   std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes(maxBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(maxBytes));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

namespace {

// The file a chain of symbolic links ends at, so the rename replaces that file
// and the links stay links. A dangling link names the file to create; a loop
// (more hops than the system itself follows) is left to fail at the rename.
std::filesystem::path followLinks(std::filesystem::path path) {
    constexpr int kMaxHops = 40;  // the kernel's own limit (ELOOP)
    for (int hop = 0; hop < kMaxHops; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error)) break;
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

std::filesystem::path temporaryPath(const std::filesystem::path& target) {
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    return temporary;
}

}  // namespace

ReplacementFile::ReplacementFile(std::filesystem::path target)
    : target_(followLinks(std::move(target))), temporary_(temporaryPath(target_)) {
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    // A file we may not write stays as it is: renaming over it would get
    // round its permissions (the folder's, not the file's, govern a rename).
    if (exists && ::access(target_.c_str(), W_OK) != 0) return;
    // Unbuffered, so each field's write reaches the system at once and its
    // failure is seen at that field (set before open, as filebuf requires).
    out_.rdbuf()->pubsetbuf(nullptr, 0);
    out_.open(temporary_, std::ios::binary | std::ios::trunc);
    open_ = out_.is_open();
    // The new file keeps the old one's permissions (a private settings file
    // stays private), not those the umask gives a fresh file.
    if (open_ && exists && S_ISREG(old.st_mode)) ::chmod(temporary_.c_str(), old.st_mode & 07777);
}

ReplacementFile::~ReplacementFile() {
    if (!open_ || committed_) return;
    out_.close();
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

bool ReplacementFile::write(const void* bytes, std::size_t size) {
    if (!open_ || failed_) return false;
    out_.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!out_) failed_ = true;
    return !failed_;
}

ReplacementFile::Commit ReplacementFile::commit() {
    if (!open_ || committed_) return Commit::writeFailed;
    out_.close();
    std::error_code error;
    if (failed_ || out_.fail()) {
        std::filesystem::remove(temporary_, error);
        committed_ = true;
        return Commit::writeFailed;
    }
    std::filesystem::rename(temporary_, target_, error);
    committed_ = true;
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
        return Commit::renameFailed;
    }
    return Commit::replaced;
}

}  // namespace korvane
