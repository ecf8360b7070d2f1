#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "tables/aux_track_table.h"

namespace korvane {

// Operations on the auxiliary track table. The Aux Tracks page is the only
// writer while the program runs. Add, remove and the transmit toggle write
// without the data mutex (the frame builder reads a slot only after seeing its
// inUse set); the range and the value are written under it.

// Every field of every slot and the count to zero.
void clearAuxTracks(AuxTrackTable& table);

// Sets auxTrackCount to the number of slots in use, scanning all 100; returns it.
int32_t recountAuxTracks(AuxTrackTable& table);

// Puts a new, transmitting track in the lowest free slot with its value at
// mid-range, and counts it. Returns the slot, or -1 when every slot is in use.
// Only the first kTagLength characters of tag are kept.
int addAuxTrack(AuxTrackTable& table, std::string_view tag, float minimum, float maximum);

// Frees the slot, leaving its other fields in place. Returns 0, or -1 when the
// slot is out of range or already free (the count is then left alone).
int removeAuxTrack(AuxTrackTable& table, int slot);

// Store the bounds or the current value under `dataMutex` (the one that guards
// the table), waiting for it at most `wait`. False when the slot is out of
// range or the mutex was not had in time; the table then keeps its old values.
bool setAuxTrackRange(AuxTrackTable& table, std::timed_mutex& dataMutex,
                      std::chrono::milliseconds wait, int slot, float minimum, float maximum);
bool setAuxTrackValue(AuxTrackTable& table, std::timed_mutex& dataMutex,
                      std::chrono::milliseconds wait, int slot, float value);

// transmit = 1 when on, else 0. Returns 0, or -1 for a slot out of range.
int setAuxTrackTransmit(AuxTrackTable& table, int slot, bool on);

}  // namespace korvane
