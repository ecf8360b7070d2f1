#include "tables/extra_record_ops.h"

#include <algorithm>
#include <iterator>

namespace korvane {

namespace {

// A count read from a damaged file may lie outside the table.
int recordsDefined(const ExtraRecordTable& table) {
    return std::clamp<int32_t>(table.extraRecordCount, 0, kExtraRecordSlots);
}

}  // namespace

int appendExtraRecord(ExtraRecordTable& table, int32_t recordNumber, int32_t itemNumber,
                      float value) {
    const int slot = recordsDefined(table);
    if (slot >= kExtraRecordSlots) return -1;
    table.extraRecords[slot] = ExtraRecord{recordNumber, itemNumber, 0, value};
    table.extraRecordCount = slot + 1;
    return slot;
}

int removeExtraRecordAt(ExtraRecordTable& table, int index) {
    const int count = recordsDefined(table);
    if (index < 0 || index >= count) return -1;
    std::copy(table.extraRecords + index + 1, table.extraRecords + count,
              table.extraRecords + index);
    table.extraRecords[count - 1] = ExtraRecord{};
    table.extraRecordCount = count - 1;
    return 0;
}

void clearExtraRecords(ExtraRecordTable& table) {
    std::fill(std::begin(table.extraRecords), std::end(table.extraRecords), ExtraRecord{});
    table.extraRecordCount = 0;
}

}  // namespace korvane
