#include "tables/aux_track_ops.h"

#include <algorithm>
#include <cstring>

namespace korvane {

namespace {

bool validSlot(int slot) { return slot >= 0 && slot < kAuxTrackSlots; }

template <typename Store>
bool storeWithin(std::timed_mutex& mutex, std::chrono::milliseconds wait, Store&& store) {
    std::unique_lock lock(mutex, std::defer_lock);
    if (!lock.try_lock_for(wait)) return false;
    store();
    return true;
}

}  // namespace

void clearAuxTracks(AuxTrackTable& table) {
    for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
        table.inUse[slot].store(0, std::memory_order_release);
        table.transmit[slot].store(0, std::memory_order_release);
        std::memset(table.tag[slot], 0, sizeof table.tag[slot]);
        table.minimum[slot] = 0.0f;
        table.maximum[slot] = 0.0f;
        table.value[slot] = 0.0f;
    }
    table.auxTrackCount = 0;
}

int32_t recountAuxTracks(AuxTrackTable& table) {
    int32_t count = 0;
    for (const auto& used : table.inUse) {
        if (used.load(std::memory_order_relaxed) != 0) ++count;
    }
    table.auxTrackCount = count;
    return count;
}

int addAuxTrack(AuxTrackTable& table, std::string_view tag, float minimum, float maximum) {
    int slot = 0;
    while (slot < kAuxTrackSlots && table.inUse[slot].load(std::memory_order_relaxed) != 0) ++slot;
    if (slot == kAuxTrackSlots) return -1;

    std::memset(table.tag[slot], 0, sizeof table.tag[slot]);
    tag = tag.substr(0, kTagLength);
    std::memcpy(table.tag[slot], tag.data(), tag.size());
    table.minimum[slot] = minimum;
    table.maximum[slot] = maximum;
    // Mid-point in double so that two huge bounds do not overflow to infinity.
    table.value[slot] = static_cast<float>((static_cast<double>(maximum) + minimum) / 2.0);
    table.transmit[slot].store(1, std::memory_order_release);
    // Last, so a frame built meanwhile sees either no track or a complete one.
    table.inUse[slot].store(1, std::memory_order_release);
    ++table.auxTrackCount;
    return slot;
}

int removeAuxTrack(AuxTrackTable& table, int slot) {
    if (!validSlot(slot) || table.inUse[slot].load(std::memory_order_relaxed) == 0) return -1;
    table.inUse[slot].store(0, std::memory_order_release);
    table.auxTrackCount = std::max(table.auxTrackCount - 1, 0);
    return 0;
}

bool setAuxTrackRange(AuxTrackTable& table, std::timed_mutex& dataMutex,
                      std::chrono::milliseconds wait, int slot, float minimum, float maximum) {
    if (!validSlot(slot)) return false;
    return storeWithin(dataMutex, wait, [&] {
        table.minimum[slot] = minimum;
        table.maximum[slot] = maximum;
    });
}

bool setAuxTrackValue(AuxTrackTable& table, std::timed_mutex& dataMutex,
                      std::chrono::milliseconds wait, int slot, float value) {
    if (!validSlot(slot)) return false;
    return storeWithin(dataMutex, wait, [&] { table.value[slot] = value; });
}

int setAuxTrackTransmit(AuxTrackTable& table, int slot, bool on) {
    if (!validSlot(slot)) return -1;
    table.transmit[slot].store(on ? 1 : 0, std::memory_order_release);
    return 0;
}

}  // namespace korvane
