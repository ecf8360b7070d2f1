#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace korvane {

// A file read a chunk at a time and handed out a line at a time, whatever
// ends its lines: CR LF, LF or CR, mixed. Memory stays at one chunk plus one
// line, however large the file.
class LineInput {
public:
    static constexpr std::size_t kChunk = 1 << 20;
    // A longer line is handed out empty and flagged overlong (its bytes are
    // skipped), so one runaway line cannot grow the reader without bound.
    static constexpr std::size_t kMaxLine = 1 << 20;

    struct Line {
        std::string_view text;  // without its line end; valid until the next call
        uint64_t offset = 0;    // where it starts in the file
        bool overlong = false;
    };

    explicit LineInput(std::FILE* file);

    // False at the end of the file (or at a read error: see readError()).
    bool next(Line& out);
    // Starts again at `offset`, which must be the start of a line.
    bool seek(uint64_t offset);
    // Bytes of the file taken up by the lines handed out so far.
    uint64_t consumed() const { return consumed_; }
    // The system's error number of a failed read, 0 while none failed.
    int readError() const { return readError_; }

private:
    bool fill();

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::unique_ptr<char[]> chunk_;
    std::size_t begin_ = 0;  // unread part of chunk_
    std::size_t end_ = 0;
    std::string carry_;         // a line that runs over a chunk's end
    uint64_t chunkOffset_ = 0;  // file offset of chunk_[0]
    uint64_t consumed_ = 0;
    bool skipLf_ = false;  // the last line ended in CR: a LF right after belongs to it
    bool eof_ = false;
    int readError_ = 0;
};

// A line without the spaces and tabs around it.
inline std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace korvane
