#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "faults/fault_plan.h"
#include "faults/fault_random.h"

namespace korvane {

class FaultCounts;

// A piece of a shaped frame: the bytes and when they leave, counted from the
// moment the frame was handed in. `mark` says what was done to the frame
// ("[split 3]") on its first piece, and is empty on the rest.
struct FaultPiece {
    std::string bytes;
    std::chrono::milliseconds after{0};
    std::string mark;
};

// What became of one frame: its pieces in order (none when it was dropped,
// stalled or held back) and, when nothing of it goes out now, why ("[drop]").
struct ShapedFrame {
    std::vector<FaultPiece> pieces;
    std::string unsent;
};

// The faults of one receiver's frames, frame by frame. Every random choice
// comes from the seed, the receiver's number and the frame's, so the same
// frames get the same faults on every run, whatever the timing. Stalls are the only faults that go
// by time, which the caller gives: how long the faults have been in force.
class FaultStream {
public:
    FaultStream(const FaultPlan& plan, uint64_t receiver);

    // `elapsed`: how long the plan has been in force when the frame is handed in.
    ShapedFrame shape(std::string_view frame, std::chrono::duration<double> elapsed,
                      FaultCounts* counts);

    // Whether a stall keeps the link quiet at `elapsed`.
    bool stalled(std::chrono::duration<double> elapsed) const;

private:
    void alter(std::string& frame, std::string& mark, FaultCounts* counts);
    void cut(std::string_view frame, std::chrono::milliseconds start, std::string mark,
             ShapedFrame& shaped);

    FaultPlan plan_;
    uint64_t seed_;
    uint64_t frames_ = 0;              // handed in so far
    FaultRandom random_;               // the current frame's
    std::optional<std::string> held_;  // a frame held back to go after the next
    std::string heldMark_;
};

}  // namespace korvane
