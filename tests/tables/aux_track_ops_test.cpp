#include "tables/aux_track_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "state/shared_state.h"

namespace korvane {
namespace {

TEST(AuxTrackOps, AddFillsTheLowestFreeSlotAndCountsIt) {
    auto s = std::make_unique<SharedState>();
    AuxTrackTable& t = s->auxTracks;
    EXPECT_EQ(addAuxTrack(t, "0145", 0.0f, 100.0f), 0);
    EXPECT_EQ(addAuxTrack(t, "0210", -10.0f, 30.0f), 1);
    EXPECT_EQ(addAuxTrack(t, "0813", 2.0f, 10.0f), 2);
    EXPECT_EQ(t.auxTrackCount, 3);

    EXPECT_STREQ(t.tag[1], "0210");
    EXPECT_FLOAT_EQ(t.minimum[1], -10.0f);
    EXPECT_FLOAT_EQ(t.maximum[1], 30.0f);
    EXPECT_FLOAT_EQ(t.value[1], 10.0f);  // mid-range
    EXPECT_EQ(t.transmit[1], 1);
    EXPECT_EQ(t.inUse[1], 1);

    EXPECT_EQ(removeAuxTrack(t, 1), 0);
    EXPECT_EQ(t.auxTrackCount, 2);
    EXPECT_EQ(addAuxTrack(t, "0999", 1.0f, 2.0f), 1) << "the hole is filled first";
    EXPECT_EQ(addAuxTrack(t, "1000", 1.0f, 2.0f), 3);
    EXPECT_EQ(t.auxTrackCount, 4);
}

TEST(AuxTrackOps, RemoveClearsOnlyInUse) {
    auto s = std::make_unique<SharedState>();
    AuxTrackTable& t = s->auxTracks;
    addAuxTrack(t, "0145", 4.0f, 8.0f);
    EXPECT_EQ(removeAuxTrack(t, 0), 0);
    EXPECT_EQ(t.inUse[0], 0);
    EXPECT_STREQ(t.tag[0], "0145");
    EXPECT_FLOAT_EQ(t.minimum[0], 4.0f);
    EXPECT_FLOAT_EQ(t.maximum[0], 8.0f);
    EXPECT_FLOAT_EQ(t.value[0], 6.0f);
    EXPECT_EQ(t.transmit[0], 1);

    // A second remove of the same slot, or one out of range, leaves the count alone.
    EXPECT_EQ(removeAuxTrack(t, 0), -1);
    EXPECT_EQ(removeAuxTrack(t, -1), -1);
    EXPECT_EQ(removeAuxTrack(t, kAuxTrackSlots), -1);
    EXPECT_EQ(t.auxTrackCount, 0);
}

TEST(AuxTrackOps, HundredthAddFitsHundredAndFirstIsRefused) {
    auto s = std::make_unique<SharedState>();
    AuxTrackTable& t = s->auxTracks;
    for (int i = 0; i < kAuxTrackSlots; ++i) ASSERT_EQ(addAuxTrack(t, "0101", 0.0f, 1.0f), i);
    EXPECT_EQ(t.auxTrackCount, 100);
    EXPECT_EQ(addAuxTrack(t, "0102", 5.0f, 6.0f), -1);
    EXPECT_EQ(t.auxTrackCount, 100);
    for (int i = 0; i < kAuxTrackSlots; ++i) ASSERT_STREQ(t.tag[i], "0101") << "slot " << i;
}

TEST(AuxTrackOps, AddEdgeValues) {
    struct Case {
        const char* legend;
        std::string tag;
        float minimum, maximum;
        const char* storedTag;
        float value;
    };
    const Case cases[] = {
        {"defaults of the Add dialog", "0145", 0.0f, 100.0f, "0145", 50.0f},
        {"tag cut to four characters", "012345", 0.0f, 1.0f, "0123", 0.5f},
        {"short tag kept short", "7", -1.0f, 1.0f, "7", 0.0f},
        {"huge bounds do not overflow the mid-point", "0101", 3.0e38f, 3.2e38f, "0101", 3.1e38f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        auto s = std::make_unique<SharedState>();
        std::memset(s->auxTracks.tag[0], 'x', sizeof s->auxTracks.tag[0]);  // a left-over tag
        ASSERT_EQ(addAuxTrack(s->auxTracks, c.tag, c.minimum, c.maximum), 0);
        EXPECT_STREQ(s->auxTracks.tag[0], c.storedTag);
        EXPECT_FLOAT_EQ(s->auxTracks.value[0], c.value);
    }
}

TEST(AuxTrackOps, RecountScansAllSlotsAndClearZeroesEverything) {
    auto s = std::make_unique<SharedState>();
    AuxTrackTable& t = s->auxTracks;
    t.inUse[0] = 1;
    t.inUse[57] = 1;
    t.inUse[99] = 1;
    t.auxTrackCount = 42;
    EXPECT_EQ(recountAuxTracks(t), 3);
    EXPECT_EQ(t.auxTrackCount, 3);

    addAuxTrack(t, "0145", 1.0f, 2.0f);
    clearAuxTracks(t);
    EXPECT_EQ(t.auxTrackCount, 0);
    for (int i = 0; i < kAuxTrackSlots; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t.inUse[i], 0);
        EXPECT_EQ(t.transmit[i], 0);
        EXPECT_EQ(t.tag[i][0], '\0');
        EXPECT_EQ(t.minimum[i], 0.0f);
        EXPECT_EQ(t.maximum[i], 0.0f);
        EXPECT_EQ(t.value[i], 0.0f);
    }
}

TEST(AuxTrackOps, RangeAndValueAreStoredUnderTheMutexOrNotAtAll) {
    auto s = std::make_unique<SharedState>();
    AuxTrackTable& t = s->auxTracks;
    addAuxTrack(t, "0145", 0.0f, 100.0f);

    EXPECT_TRUE(setAuxTrackRange(t, s->dataMutex, kStoreWait, 0, 10.0f, 20.0f));
    EXPECT_FLOAT_EQ(t.minimum[0], 10.0f);
    EXPECT_FLOAT_EQ(t.maximum[0], 20.0f);
    EXPECT_FLOAT_EQ(t.value[0], 50.0f) << "a new range leaves the value where it was";
    EXPECT_TRUE(setAuxTrackValue(t, s->dataMutex, kStoreWait, 0, 12.5f));
    EXPECT_FLOAT_EQ(t.value[0], 12.5f);

    EXPECT_FALSE(setAuxTrackValue(t, s->dataMutex, kStoreWait, -1, 1.0f));
    EXPECT_FALSE(setAuxTrackRange(t, s->dataMutex, kStoreWait, kAuxTrackSlots, 1, 2));

    // Held by another thread for longer than the store waits: nothing is written.
    std::unique_lock held(s->dataMutex);
    const std::chrono::milliseconds w{20};
    auto value = std::async(std::launch::async,
                            [&] { return setAuxTrackValue(t, s->dataMutex, w, 0, 99.0f); });
    auto range = std::async(std::launch::async,
                            [&] { return setAuxTrackRange(t, s->dataMutex, w, 0, 1.0f, 2.0f); });
    EXPECT_FALSE(value.get());
    EXPECT_FALSE(range.get());
    held.unlock();
    EXPECT_FLOAT_EQ(t.value[0], 12.5f);
    EXPECT_FLOAT_EQ(t.minimum[0], 10.0f);
    EXPECT_FLOAT_EQ(t.maximum[0], 20.0f);
}

TEST(AuxTrackOps, TransmitToggle) {
    auto s = std::make_unique<SharedState>();
    AuxTrackTable& t = s->auxTracks;
    addAuxTrack(t, "0145", 0.0f, 100.0f);
    EXPECT_EQ(setAuxTrackTransmit(t, 0, false), 0);
    EXPECT_EQ(t.transmit[0], 0);
    EXPECT_EQ(t.inUse[0], 1) << "a silenced track stays in the table";
    EXPECT_EQ(setAuxTrackTransmit(t, 0, true), 0);
    EXPECT_EQ(t.transmit[0], 1);
    EXPECT_EQ(setAuxTrackTransmit(t, 100, true), -1);
}

}  // namespace
}  // namespace korvane
