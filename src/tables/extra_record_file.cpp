#include "tables/extra_record_file.h"

#include <algorithm>

#include "platform/file_prefix.h"
#include "tables/binary_file.h"
#include "tables/extra_record_table.h"

namespace korvane {

namespace {

constexpr std::size_t kCountBytes = 4;
constexpr std::size_t kRecordBytes = 16;  // recordNumber, itemNumber, sent, value

std::filesystem::path extraRecordPath(const std::filesystem::path& folder) {
    return folder / kExtraRecordFileName;
}

}  // namespace

void loadExtraRecords(ExtraRecordTable& table, const std::filesystem::path& folder) {
    table = ExtraRecordTable{};
    // The cap bounds what is read, so a huge file costs nothing extra.
    const FilePrefix file =
        readFilePrefix(extraRecordPath(folder), kCountBytes + kRecordBytes * kExtraRecordLoadCap);
    ByteReader reader(file.bytes.data(), file.bytes.size());  // empty unless read
    const auto count = reader.readInt32();
    if (!count) return;
    // A negative count can only come from a damaged file: it loads as an empty table.
    // 100 or more loads as 99, which files written so far depend on.
    table.extraRecordCount = std::clamp(*count, int32_t{0}, kExtraRecordLoadCap);
    for (int32_t k = 0; k < table.extraRecordCount; ++k) {
        uint8_t raw[kRecordBytes];
        if (!reader.readBytes(raw, sizeof raw)) break;  // the rest of the count stays zero records
        ByteReader record(raw, sizeof raw);
        ExtraRecord& slot = table.extraRecords[k];
        slot.recordNumber = *record.readInt32();
        slot.itemNumber = *record.readInt32();
        slot.sent = *record.readInt32();
        slot.value = *record.readFloat();
    }
}

void saveExtraRecords(const ExtraRecordTable& table, const std::filesystem::path& folder) {
    const int32_t count =
        std::clamp(table.extraRecordCount, int32_t{0}, int32_t{kExtraRecordSlots});
    std::vector<uint8_t> image;
    image.reserve(kCountBytes + kRecordBytes * static_cast<std::size_t>(count));
    appendInt32(image, count);
    for (int32_t k = 0; k < count; ++k) {
        const ExtraRecord& slot = table.extraRecords[k];
        appendInt32(image, slot.recordNumber);
        appendInt32(image, slot.itemNumber);
        // The frame builder's mark means nothing between frames, and the link
        // thread may be writing it right now: store it cleared.
        appendInt32(image, 0);
        appendFloat(image, slot.value);
    }
    ReplacementFile file(extraRecordPath(folder));
    if (!file.isOpen()) return;
    file.write(image.data(), image.size());
    file.commit();
}

}  // namespace korvane
