#include "tables/extra_record_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "file_fixtures.h"
#include "file_size_limit.h"
#include "tables/extra_record_table.h"

namespace korvane {
namespace {

using testing::FileSizeLimit;
using testing::put32;
using testing::putFloat;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// A stored count followed by `records` records k = 0, 1, ...: record k+1,
// item k+2, sent 1, value k + 0.5.
std::vector<uint8_t> recordFile(uint32_t count, int records) {
    std::vector<uint8_t> bytes;
    put32(bytes, count);
    for (int k = 0; k < records; ++k) {
        put32(bytes, static_cast<uint32_t>(k + 1));
        put32(bytes, static_cast<uint32_t>(k + 2));
        put32(bytes, 1);
        putFloat(bytes, static_cast<float>(k) + 0.5f);
    }
    return bytes;
}

TEST(ExtraRecordFile, LoadKeepsTheCountAndTheRecordsPresent) {
    struct Case {
        const char* legend;
        std::optional<std::vector<uint8_t>> file;  // nullopt: no file at all
        int32_t count;                             // expected extraRecordCount
        int read;  // records that carry data; the rest of the count are zero records
    };
    const Case cases[] = {
        {"three records", recordFile(3, 3), 3, 3},
        {"100 records load as 99", recordFile(100, 100), 99, 99},
        {"a huge count is cut to 99", recordFile(0x7fffffffu, 5), 99, 5},
        {"count 5, two records present", recordFile(5, 2), 5, 2},
        {"count 3, a record and a half",
         [] {
             auto b = recordFile(3, 2);
             b.resize(b.size() - 8);
             return b;
         }(),
         3, 1},
        {"negative count: empty table", recordFile(0xfffffffeu, 3), 0, 0},
        {"count 0", recordFile(0, 0), 0, 0},
        {"half a count: empty table", std::vector<uint8_t>{7, 0}, 0, 0},
        {"empty file", std::vector<uint8_t>{}, 0, 0},
        {"no file: empty table", std::nullopt, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        if (c.file) writeBytes(folder / kExtraRecordFileName, *c.file);
        ExtraRecordTable table;
        table.extraRecordCount = 4;  // the load starts from a cleared table
        table.extraRecords[99].value = 9.0f;
        loadExtraRecords(table, folder.path());
        EXPECT_EQ(table.extraRecordCount, c.count);
        for (int k = 0; k < kExtraRecordSlots; ++k) {
            const ExtraRecord& r = table.extraRecords[k];
            if (k < c.read) {
                EXPECT_EQ(r.recordNumber, k + 1);
                EXPECT_EQ(r.itemNumber, k + 2);
                EXPECT_EQ(r.sent, 1);
                EXPECT_EQ(r.value, static_cast<float>(k) + 0.5f);
            } else {
                EXPECT_EQ(r.recordNumber, 0);
                EXPECT_EQ(r.itemNumber, 0);
                EXPECT_EQ(r.value, 0.0f);
            }
        }
    }
}

TEST(ExtraRecordFile, SaveWritesCountAndRecordsByteForByte) {
    TempFolder folder;
    ExtraRecordTable table;
    table.extraRecordCount = 3;
    table.extraRecords[0] = {1, 8, 1, 10.0f};
    table.extraRecords[1] = {12, 34, 0, -2.5f};
    table.extraRecords[2] = {1, 8, 1, 7.25f};   // duplicates are kept
    table.extraRecords[3] = {99, 99, 0, 1.0f};  // beyond the count: not written
    saveExtraRecords(table, folder.path());
    const std::vector<uint8_t> expected = {
        3,  0, 0, 0,                                                   // count
        1,  0, 0, 0, 8,  0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0x41,  // 01/08, 10.0
        12, 0, 0, 0, 34, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0xc0,  // 12/34, -2.5
        1,  0, 0, 0, 8,  0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0xe8, 0x40,  // 01/08, 7.25
    };
    EXPECT_EQ(readBytes(folder / kExtraRecordFileName), expected);  // 52 bytes; marks stored clear

    table.extraRecordCount = 0;
    saveExtraRecords(table, folder.path());
    EXPECT_EQ(readBytes(folder / kExtraRecordFileName), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);
}

// A table of 100 (the dialog can make one) is saved whole; a reload gives 99.
TEST(ExtraRecordFile, FullTableRoundTripsAs99) {
    TempFolder folder;
    ExtraRecordTable table;
    table.extraRecordCount = kExtraRecordSlots;
    for (int k = 0; k < kExtraRecordSlots; ++k) table.extraRecords[k] = {k, k + 1, 0, k * 0.5f};
    saveExtraRecords(table, folder.path());
    EXPECT_EQ(readBytes(folder / kExtraRecordFileName).size(), 4u + 16u * 100u);
    ExtraRecordTable loaded;
    loadExtraRecords(loaded, folder.path());
    ASSERT_EQ(loaded.extraRecordCount, 99);
    EXPECT_EQ(loaded.extraRecords[98].itemNumber, 99);
    EXPECT_EQ(loaded.extraRecords[98].value, 49.0f);
    EXPECT_EQ(loaded.extraRecords[99].itemNumber, 0);
}

TEST(ExtraRecordFile, FailedSaveKeepsTheOldFile) {
    TempFolder folder;
    const auto old = recordFile(1, 1);
    writeBytes(folder / kExtraRecordFileName, old);
    ExtraRecordTable table;
    table.extraRecordCount = 3;
    {
        FileSizeLimit limit(30);  // the second record does not fit
        saveExtraRecords(table, folder.path());
    }
    EXPECT_EQ(readBytes(folder / kExtraRecordFileName), old);
    EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);
    saveExtraRecords(table, folder / "missing");  // nothing to create it in: skipped quietly
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST(ExtraRecordFile, LoadSurvivesArbitraryFiles) {
    TempFolder folder;
    std::mt19937 random(5001);
    for (int i = 0; i < 1000; ++i) {
        std::vector<uint8_t> file(random() % 1800);
        for (auto& b : file) b = static_cast<uint8_t>(random());
        if (file.size() >= 4 && i % 2 == 0) file[3] = static_cast<uint8_t>(random() % 2 ? 0 : 0xff);
        writeBytes(folder / kExtraRecordFileName, file);
        ExtraRecordTable table;
        loadExtraRecords(table, folder.path());
        ASSERT_GE(table.extraRecordCount, 0) << "iteration " << i;
        ASSERT_LE(table.extraRecordCount, kExtraRecordLoadCap) << "iteration " << i;
    }
}

}  // namespace
}  // namespace korvane
