#include "links/feed.h"

#include <utility>

#include "links/recorded_source.h"

namespace korvane {

void Feed::play(std::shared_ptr<RecordedSource> recording) {
    std::lock_guard lock(mutex_);
    playing_ = std::move(recording);
}

std::shared_ptr<RecordedSource> Feed::stopPlaying() {
    std::lock_guard lock(mutex_);
    return std::exchange(playing_, nullptr);
}

std::shared_ptr<RecordedSource> Feed::playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

FrameSource& FeedSource::pick() {
    held_ = feed_.playing();
    if (held_) return *held_;
    return rig_;
}

bool FeedSource::framesNow(FramePieces& out, Ask ask) { return pick().framesNow(out, ask); }

std::optional<LinkClock::time_point> FeedSource::due() { return pick().due(); }

void FeedSource::beatMissed() { pick().beatMissed(); }

bool FeedSource::asFastAsTaken() const { return held_ ? held_->asFastAsTaken() : false; }

}  // namespace korvane
