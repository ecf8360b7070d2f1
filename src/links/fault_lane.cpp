#include "links/fault_lane.h"

#include "links/link_control.h"

namespace korvane {

bool FaultLane::on() {
    if (!control_->faults.on()) return false;
    const uint32_t generation = control_->faults.generation();
    if (!stream_ || generation != generation_) {
        active_ = control_->faults.active();
        generation_ = generation;
        stream_.reset();
        if (active_) stream_.emplace(active_->plan, receiver_);
    }
    return stream_.has_value();
}

void FaultLane::take(const FramePieces& frame, LinkClock::time_point now, std::string_view peer) {
    if (!stream_) return;
    joined_.clear();
    for (const std::string_view piece : frame) joined_ += piece;
    const ShapedFrame shaped =
        stream_->shape(joined_, now - active_->since, &control_->faults.counts);
    if (!shaped.unsent.empty()) noteUnsent(*control_, shaped.unsent, peer);
    // A byte stream keeps its order, and so do the lane's pieces: none leaves
    // before one handed in earlier.
    LinkClock::time_point last = waiting_.empty() ? now : waiting_.back().at;
    for (const FaultPiece& piece : shaped.pieces) {
        last = std::max(last, now + piece.after);
        waiting_.push_back({last, piece.bytes, piece.mark});
    }
}

}  // namespace korvane
