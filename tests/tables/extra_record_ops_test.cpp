#include "tables/extra_record_ops.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

std::vector<int32_t> itemsOf(const ExtraRecordTable& t) {
    std::vector<int32_t> items;
    for (int i = 0; i < t.extraRecordCount; ++i) items.push_back(t.extraRecords[i].itemNumber);
    return items;
}

TEST(ExtraRecordOps, AppendAtTheEndUntilFull) {
    ExtraRecordTable t;
    for (int i = 0; i < kExtraRecordSlots; ++i) ASSERT_EQ(appendExtraRecord(t, 1, i, 0.5f), i);
    EXPECT_EQ(appendExtraRecord(t, 2, 2, 1.0f), -1);
    EXPECT_EQ(t.extraRecordCount, 100);
    EXPECT_EQ(t.extraRecords[99].itemNumber, 99);

    ExtraRecordTable fresh;
    fresh.extraRecords[0].sent = 1;
    ASSERT_EQ(appendExtraRecord(fresh, 12, 8, 2.5f), 0);
    const ExtraRecord& r = fresh.extraRecords[0];
    EXPECT_EQ(r.recordNumber, 12);
    EXPECT_EQ(r.itemNumber, 8);
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.value, 2.5f);
}

TEST(ExtraRecordOps, RemoveMovesTheLaterRecordsDown) {
    struct Case {
        const char* legend;
        int index;
        int result;
        std::vector<int32_t> items;
    };
    const Case cases[] = {
        {"first", 0, 0, {1, 2, 3}},         {"middle", 2, 0, {0, 1, 3}},
        {"last", 3, 0, {0, 1, 2}},          {"past the records", 4, -1, {0, 1, 2, 3}},
        {"negative", -1, -1, {0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        ExtraRecordTable t;
        for (int i = 0; i < 4; ++i) appendExtraRecord(t, 5, i, float(i));
        EXPECT_EQ(removeExtraRecordAt(t, c.index), c.result);
        EXPECT_EQ(itemsOf(t), c.items);
        if (c.result == 0) {
            EXPECT_EQ(t.extraRecords[3].itemNumber, 0) << "the freed slot is zeroed";
            EXPECT_EQ(t.extraRecords[3].recordNumber, 0);
        }
    }
}

TEST(ExtraRecordOps, CountOutsideTheTableIsHeldToIt) {
    ExtraRecordTable t;
    t.extraRecordCount = -5;
    EXPECT_EQ(removeExtraRecordAt(t, 0), -1);
    EXPECT_EQ(appendExtraRecord(t, 1, 1, 1.0f), 0);
    EXPECT_EQ(t.extraRecordCount, 1);

    t.extraRecordCount = 250;
    EXPECT_EQ(appendExtraRecord(t, 1, 1, 1.0f), -1);
    EXPECT_EQ(removeExtraRecordAt(t, 150), -1);
    EXPECT_EQ(removeExtraRecordAt(t, 99), 0);
    EXPECT_EQ(t.extraRecordCount, 99);
}

TEST(ExtraRecordOps, ClearEmptiesEverySlot) {
    ExtraRecordTable t;
    for (int i = 0; i < 7; ++i) appendExtraRecord(t, i, i, 1.0f);
    t.extraRecords[50].value = 3.0f;
    clearExtraRecords(t);
    EXPECT_EQ(t.extraRecordCount, 0);
    for (const auto& r : t.extraRecords) {
        EXPECT_EQ(r.recordNumber, 0);
        EXPECT_EQ(r.itemNumber, 0);
        EXPECT_EQ(r.sent, 0);
        EXPECT_EQ(r.value, 0.0f);
    }
}

}  // namespace
}  // namespace korvane
