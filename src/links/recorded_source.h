#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "links/frame_source.h"
#include "replay/recording_reader.h"

namespace korvane {

// How a recording plays.
struct PlayOptions {
    double speed = 1.0;          // 0.1 to 1000; 1 is as recorded
    bool asFastAsTaken = false;  // --speed max: streaming only
    bool loop = false;
    double start = 0.0;  // seconds into the recording
};

// A recording as a frame source. Streaming, each frame is due at its recorded
// time over the speed, from the first ask; frames without times go one per
// transmit interval (the runner's beat). Interrogated, a request is answered
// with the frame current at the playing position, which runs at real time
// times the speed; frames without times answer one request each. Called on
// the link thread, except where said.
class RecordedSource final : public FrameSource {
public:
    using Clock = LinkClock::time_point (*)();
    // `now` is the link's clock; a test passes one it sets.
    RecordedSource(RecordingReader reader, std::string name, PlayOptions options,
                   Clock now = &LinkClock::now);

    bool framesNow(FramePieces& out, Ask ask) override;
    std::optional<LinkClock::time_point> due() override;
    void beatMissed() override;
    bool asFastAsTaken() const override { return options_.asFastAsTaken; }

    // Called once, on the link thread, when the last frame has gone (never
    // with loop): the front end ends the run or goes back to the rig.
    std::function<void()> onEnded;

    // Any thread.
    const std::string& name() const { return name_; }
    bool ended() const { return ended_.load(); }
    int32_t percent() const { return percent_.load(); }
    uint64_t damaged() const { return damaged_.load(); }

private:
    // The wall time the upcoming frame is due at (timed frames only).
    LinkClock::time_point dueOf(double t) const;
    // Makes the upcoming frame the current one and reads the one after it.
    void advance();
    // Paced and timed: passes over every frame due by now but the last.
    void passOverdue();
    void readNext();
    void finish();

    RecordingReader reader_;
    std::string name_;
    PlayOptions options_;
    Clock now_;
    std::optional<LinkClock::time_point> began_;  // the first ask
    std::optional<RecordedFrame> next_;
    bool timed_ = false;  // the recording has times (else one frame per beat or request)
    std::string current_;
    std::string burst_;
    bool haveCurrent_ = false;
    // Recorded seconds added by the loops played so far, and the last times read.
    double loopOffset_ = 0.0;
    double firstT_ = 0.0;
    double lastT_ = 0.0;
    double lastGap_ = 0.0;
    std::optional<double> previousT_;
    bool firstRead_ = true;
    // After a beat with nobody to take it, as fast as taken waits a little.
    std::optional<LinkClock::time_point> holdOff_;
    std::atomic<bool> ended_{false};
    std::atomic<int32_t> percent_{0};
    std::atomic<uint64_t> damaged_{0};
};

// A recording opened to play, named by its file name, with the notes its
// reader has for the operator; or why it cannot play, naming the file.
struct OpenedRecording {
    std::shared_ptr<RecordedSource> recording;
    std::vector<std::string> notes;
    std::string error;
};
OpenedRecording openRecording(const std::string& path, const PlayOptions& options);

// Reads a speed as the operator types it: "max", or 0.1 to 1000. False, and
// `options` as it was, for anything else.
bool readPlaySpeed(std::string_view text, PlayOptions& options);

// "Played well7.csv to the end", and the damaged lines it skipped, if any:
// what a front end says once when a recording has played.
std::string playedText(const RecordedSource& recording);
// "3 damaged lines skipped".
std::string skippedText(uint64_t damaged);

}  // namespace korvane
