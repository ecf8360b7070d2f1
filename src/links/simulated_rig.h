#pragma once

#include <chrono>
#include <memory>

#include "links/frame_source.h"

namespace korvane {

struct SharedState;

// The frame of the moment from the simulated rig: buildFrame under the data
// mutex, built once per ask and shared by every receiver of that ask.
class SimulatedRig final : public FrameSource {
public:
    SimulatedRig(SharedState& shared, std::chrono::milliseconds dataWait);
    bool framesNow(FramePieces& out, Ask ask) override;

private:
    SharedState& shared_;
    std::chrono::milliseconds dataWait_;
    std::unique_ptr<char[]> buffer_;  // kFrameBufferSize bytes
};

}  // namespace korvane
