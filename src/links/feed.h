#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "links/frame_source.h"

namespace korvane {

class RecordedSource;

// What the links send: the simulated rig, or a recording while one plays.
// The front ends start and stop playing at any time, running link or not;
// the rig keeps running underneath either way.
class Feed {
public:
    // Playing replaces whatever played before. Any thread.
    void play(std::shared_ptr<RecordedSource> recording);
    std::shared_ptr<RecordedSource> stopPlaying();
    std::shared_ptr<RecordedSource> playing() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<RecordedSource> playing_;
};

// The link thread's source: the recording while one plays, else the rig.
class FeedSource final : public FrameSource {
public:
    FeedSource(const Feed& feed, FrameSource& rig) : feed_(feed), rig_(rig) {}
    bool framesNow(FramePieces& out, Ask ask) override;
    std::optional<LinkClock::time_point> due() override;
    void beatMissed() override;
    bool asFastAsTaken() const override;

private:
    FrameSource& pick();

    const Feed& feed_;
    FrameSource& rig_;
    // Held until the next ask, so the views of the last answer stay valid
    // even when playing has been stopped meanwhile.
    std::shared_ptr<RecordedSource> held_;
};

}  // namespace korvane
