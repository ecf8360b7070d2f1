#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace korvane {

// Raw WITS text (as receivers and serial loggers write it) turned into
// frames, a line at a time. A frame begins at a greeting record (a record
// holding one line, "1984..." ) and runs until the next greeting; a record
// before the first greeting is a frame of its own, so a file without any
// greeting gives one frame per record. Text outside records is ignored. A
// record that never closes (a new "&&" before its "!!", or the end of the
// file) is damaged and left out, as is a record or a frame past 64 KiB.
// Every line goes out ended CR LF.
class RawWitsFrames {
public:
    static constexpr std::size_t kMaxBytes = 64 * 1024;

    // Feeds one line (without its line end). True when a frame is complete:
    // take it with frame().
    bool line(std::string_view text);
    // A line too long to hand over: the record it is in is damaged.
    void tooLong() { recordTooLong_ = recordTooLong_ || inRecord_; }
    // The end of the file: true when a last frame is complete.
    bool end();
    const std::string& frame() const { return frame_; }
    // Records and frames found damaged since the last call.
    int takeDamage() { return std::exchange(damage_, 0); }
    void reset();

private:
    bool closeRecord();
    bool flushFrame();

    std::string record_;  // the open record, marks included
    bool inRecord_ = false;
    bool recordTooLong_ = false;
    int recordLines_ = 0;
    bool greeting_ = false;  // the open record so far looks like a greeting
    std::string pending_;    // the frame being put together
    bool pendingGreeted_ = false;
    bool pendingTooLong_ = false;
    std::string frame_;  // the last complete frame
    int damage_ = 0;
};

}  // namespace korvane
