#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "faults/fault_stream.h"
#include "links/frame_source.h"
#include "links/link_faults.h"

namespace korvane {

struct LinkControl;

// The faults on the way to one receiver (the one peer of a UDP, serial or
// TCP client link; each receiver of a TCP server): its own fault stream,
// and the pieces that leave later (a delay, a split's gaps). A transport
// hands it each frame while faults are on, waits for due() as for its own
// timers, and lets flush() deliver what has come due.
//
// A deliverer takes (bytes, mark) and hands them to the medium.
using LaneDeliverer = std::function<void(std::string_view bytes, std::string_view mark)>;

class FaultLane {
public:
    // `receiver`: the number the receiver's random choices come from.
    FaultLane(LinkControl& control, uint64_t receiver) : control_(&control), receiver_(receiver) {}

    // Whether frames go through the lane: faults are in force. A new plan
    // starts this receiver's random choices afresh.
    bool on();

    // Shapes one frame and delivers what of it leaves now.
    template <typename Deliver>
    void pass(const FramePieces& frame, LinkClock::time_point now, std::string_view peer,
              Deliver&& deliver) {
        take(frame, now, peer);
        flush(now, deliver);
    }

    // When the next piece waiting is due; none when none waits.
    std::optional<LinkClock::time_point> due() const {
        if (waiting_.empty()) return std::nullopt;
        return waiting_.front().at;
    }

    // Delivers the pieces whose time has come. A piece the medium does not
    // take is lost, as it would be on a real link.
    template <typename Deliver>
    void flush(LinkClock::time_point now, Deliver&& deliver) {
        while (!waiting_.empty() && waiting_.front().at <= now) {
            const Waiting piece = std::move(waiting_.front());
            waiting_.pop_front();
            deliver(std::string_view(piece.bytes), std::string_view(piece.mark));
        }
    }

    // Drops what still waits: the connection it was for is gone.
    void forget() { waiting_.clear(); }

private:
    struct Waiting {
        LinkClock::time_point at;
        std::string bytes;
        std::string mark;
    };

    void take(const FramePieces& frame, LinkClock::time_point now, std::string_view peer);

    LinkControl* control_;  // a pointer, so a connection holding a lane can move
    uint64_t receiver_;
    uint32_t generation_ = 0;
    std::shared_ptr<const ActiveFaults> active_;
    std::optional<FaultStream> stream_;
    std::deque<Waiting> waiting_;
    std::string joined_;
};

}  // namespace korvane
