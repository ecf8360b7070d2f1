#include "replay/raw_wits.h"

#include "replay/line_input.h"

namespace korvane {

bool RawWitsFrames::line(std::string_view text) {
    const std::string_view mark = trimBlanks(text);
    if (mark == "&&") {
        if (inRecord_) ++damage_;  // the record before never closed
        inRecord_ = true;
        record_ = "&&\r\n";
        recordTooLong_ = greeting_ = false;
        recordLines_ = 0;
        return false;
    }
    if (!inRecord_) return false;
    if (mark == "!!") return closeRecord();
    ++recordLines_;
    greeting_ = recordLines_ == 1 && text.substr(0, 4) == "1984";
    if (record_.size() + text.size() + 6 > kMaxBytes) recordTooLong_ = true;
    if (recordTooLong_) return false;
    record_ += text;
    record_ += "\r\n";
    return false;
}

bool RawWitsFrames::closeRecord() {
    inRecord_ = false;
    if (recordTooLong_) {
        ++damage_;
        return false;
    }
    record_ += "!!\r\n";
    if (greeting_ && recordLines_ == 1) {
        const bool done = flushFrame();
        pending_ = record_;
        pendingGreeted_ = true;
        return done;
    }
    if (!pendingGreeted_) {
        frame_ = record_;  // before any greeting, a record is a frame of its own
        return true;
    }
    if (pending_.size() + record_.size() > kMaxBytes) pendingTooLong_ = true;
    if (!pendingTooLong_) pending_ += record_;
    return false;
}

bool RawWitsFrames::flushFrame() {
    if (pending_.empty()) return false;
    const bool tooLong = pendingTooLong_;
    pendingTooLong_ = false;
    if (tooLong) {
        ++damage_;
        pending_.clear();
        return false;
    }
    frame_.swap(pending_);
    pending_.clear();
    return true;
}

bool RawWitsFrames::end() {
    if (inRecord_) ++damage_;
    inRecord_ = false;
    const bool done = flushFrame();
    pendingGreeted_ = false;
    return done;
}

void RawWitsFrames::reset() {
    record_.clear();
    pending_.clear();
    inRecord_ = recordTooLong_ = greeting_ = pendingGreeted_ = pendingTooLong_ = false;
    recordLines_ = damage_ = 0;
}

}  // namespace korvane
