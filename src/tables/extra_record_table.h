#pragma once

#include <cstdint>

namespace korvane {

inline constexpr int kExtraRecordSlots = 100;
// A load keeps at most 99 records; stored files rely on that cap.
inline constexpr int32_t kExtraRecordLoadCap = 99;

// One fixed user item; 16 bytes, stored in WitsRecords.ini exactly as laid out here.
struct ExtraRecord {
    int32_t recordNumber = 0;
    int32_t itemNumber = 0;
    int32_t sent = 0;  // frame builder's work mark
    float value = 0.0f;
};
static_assert(sizeof(ExtraRecord) == 16);

// A WITS item code is exactly four digits: two of record number, two of item
// number. A record whose numbers do not fit is kept but never sent, since a
// longer code would shift the value into the code on the receiver's side.
inline constexpr int32_t kLargestWitsNumber = 99;
constexpr bool fitsItemCode(int32_t recordNumber, int32_t itemNumber) {
    return recordNumber >= 0 && recordNumber <= kLargestWitsNumber && itemNumber >= 0 &&
           itemNumber <= kLargestWitsNumber;
}

struct ExtraRecordTable {
    ExtraRecord extraRecords[kExtraRecordSlots] = {};
    int32_t extraRecordCount = 0;  // records defined are slots 0..count-1
};

}  // namespace korvane
