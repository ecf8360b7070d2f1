#pragma once

#include <atomic>
#include <cstdint>

namespace korvane {

inline constexpr int kAuxTrackSlots = 100;
inline constexpr int kTagLength = 4;  // WITS item code, e.g. "0145"

// Up to 100 user-defined WITS items, as parallel arrays indexed by slot.
// Slots are not kept compact: a removal only clears inUse.
// transmit and inUse are atomic because the Aux Tracks page writes them without
// the data mutex while the link thread reads them; an add writes inUse last.
struct AuxTrackTable {
    int32_t auxTrackCount = 0;
    std::atomic<int32_t> transmit[kAuxTrackSlots] = {};
    std::atomic<int32_t> inUse[kAuxTrackSlots] = {};
    char tag[kAuxTrackSlots][kTagLength + 1] = {};
    float minimum[kAuxTrackSlots] = {};
    float maximum[kAuxTrackSlots] = {};
    float value[kAuxTrackSlots] = {};
};

}  // namespace korvane
