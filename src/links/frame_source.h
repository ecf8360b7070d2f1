#pragma once

// What a link sends, apart from how it travels. A frame source answers "the
// frame to send now"; a transport (transport.h) carries it; the link runner
// (link_runner.h) asks the one and hands to the other. The simulated rig
// (simulated_rig.h) is the source of every link today; a recording, a fault
// wrapper around either, or a control channel are sources too.

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

namespace korvane {

using LinkClock = std::chrono::steady_clock;

// Why a frame is asked for: a streaming beat (every receiver), a greeting
// (receivers that have just come), or a request to answer. A source that
// keeps a schedule of its own (a recording) moves on only on a beat.
// A burst is a beat on a byte stream for a source that sends as fast as the
// medium takes frames: it may give several whole frames back to back, as one
// piece, so they go out in one write.
enum class Ask { beat, greet, request, burst };

// What goes out now, in order: usually one piece, the whole frame. A wrapper
// may give none (a frame dropped, or held back for a later ask), the same
// bytes twice (duplicated), parts of a frame (split: each piece travels on
// its own, one datagram or one write each) or bytes of its own (altered).
using FramePieces = std::vector<std::string_view>;

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Fills `out` (which it clears first) with what to send now; the views stay
    // valid until the next call. False when nothing can be had now (the data
    // is busy): a streamed frame is skipped, a request stays owed where the
    // medium keeps requests. A source asked on every beat and every request
    // holds a frame back by giving nothing until its time has come.
    virtual bool framesNow(FramePieces& out, Ask ask) = 0;

    // Streaming: when the next beat is due by the source's own schedule. None
    // (the rig's answer) leaves the pace to the transmit interval.
    virtual std::optional<LinkClock::time_point> due() { return std::nullopt; }
    // Streaming as fast as the medium takes frames: each waits until the
    // last has gone out, rather than for a time.
    virtual bool asFastAsTaken() const { return false; }

    // A beat went by with nobody to take its frame (a server without
    // receivers): a schedule moves past it all the same.
    virtual void beatMissed() {}
};

}  // namespace korvane
