#include "links/simulated_rig.h"

#include "state/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane {

SimulatedRig::SimulatedRig(SharedState& shared, std::chrono::milliseconds dataWait)
    : shared_(shared), dataWait_(dataWait), buffer_(std::make_unique<char[]>(kFrameBufferSize)) {}

bool SimulatedRig::framesNow(FramePieces& out, Ask) {
    out.clear();
    std::size_t length = 0;
    if (!withData(shared_.dataMutex, dataWait_,
                  [&] { length = buildFrame(shared_, buffer_.get()); }))
        return false;
    out.emplace_back(buffer_.get(), length);
    return true;
}

}  // namespace korvane
