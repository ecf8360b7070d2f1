#pragma once

#include <cstdint>

#include "tables/extra_record_table.h"

namespace korvane {

// Edits of the extraneous record table, which keeps its records compact in
// slots 0..extraRecordCount-1. The link thread reads the table inside the frame
// builder, so a caller editing it while a link may run holds the data mutex.

// Adds a record after the last one. Returns its slot, or -1 when the table is full.
int appendExtraRecord(ExtraRecordTable& table, int32_t recordNumber, int32_t itemNumber,
                      float value);

// Removes the record at index, moving the later ones down one slot and zeroing
// the slot freed at the end. Returns 0, or -1 for an index outside the records.
int removeExtraRecordAt(ExtraRecordTable& table, int index);

// No records; every slot zero.
void clearExtraRecords(ExtraRecordTable& table);

}  // namespace korvane
