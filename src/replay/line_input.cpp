#include "replay/line_input.h"

#include <cerrno>
#include <cstring>

namespace korvane {

namespace {

// The first CR or LF in [p, end), or end.
const char* lineEnd(const char* p, const char* end) {
    for (; p != end; ++p) {
        if (*p == '\n' || *p == '\r') return p;
    }
    return end;
}

}  // namespace

LineInput::LineInput(std::FILE* file) : file_(file), chunk_(new char[kChunk]) {}

bool LineInput::fill() {
    if (eof_) return false;
    chunkOffset_ += end_;
    begin_ = end_ = 0;
    errno = 0;
    const std::size_t got = std::fread(chunk_.get(), 1, kChunk, file_.get());
    if (got < kChunk) {
        eof_ = true;
        if (std::ferror(file_.get())) readError_ = errno != 0 ? errno : EIO;
    }
    end_ = got;
    return got > 0;
}

bool LineInput::next(Line& out) {
    carry_.clear();
    out.overlong = false;
    bool started = false;
    for (;;) {
        if (begin_ == end_ && !fill()) {
            // The end of the file ends the last line, if there is one.
            consumed_ = chunkOffset_ + end_;
            if (!started) return false;
            out.text = out.overlong ? std::string_view() : std::string_view(carry_);
            return true;
        }
        const char* base = chunk_.get();
        if (skipLf_) {
            skipLf_ = false;
            if (base[begin_] == '\n') {
                ++begin_;
                continue;
            }
        }
        if (!started) {
            started = true;
            out.offset = chunkOffset_ + begin_;
        }
        const char* from = base + begin_;
        const char* stop = lineEnd(from, base + end_);
        const auto piece = static_cast<std::size_t>(stop - from);
        const bool ended = stop != base + end_;
        begin_ += piece;
        if (ended) {
            skipLf_ = *stop == '\r';
            ++begin_;
            consumed_ = chunkOffset_ + begin_;
        }
        if (!out.overlong && carry_.size() + piece > kMaxLine) {
            out.overlong = true;
            carry_.clear();
        }
        if (ended && carry_.empty() && !out.overlong) {
            out.text = std::string_view(from, piece);  // the whole line lies in this chunk
            return true;
        }
        if (!out.overlong) carry_.append(from, piece);
        if (ended) {
            out.text = out.overlong ? std::string_view() : std::string_view(carry_);
            return true;
        }
    }
}

bool LineInput::seek(uint64_t offset) {
    // Offsets passed here lie near the start of a file, well inside a long.
    if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    std::clearerr(file_.get());
    begin_ = end_ = 0;
    chunkOffset_ = offset;
    consumed_ = offset;
    skipLf_ = eof_ = false;
    readError_ = 0;
    return true;
}

}  // namespace korvane
