#include "app/settings_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "fail_device.h"
#include "state/shared_state.h"
#include "tables/aux_track_ops.h"

namespace korvane {
namespace {

// A device that fails from a given byte on: the code names the last field
// that failed, and a file without its count is never reported saved.
TEST(SettingsCodec, FailedWritesNameTheLastFailedField) {
    struct Case {
        const char* legend;
        std::size_t limit;  // bytes the device takes
        int tracks;
        SettingsWrite expected;
    };
    const Case cases[] = {
        {"fails from the interval on, no tracks: last failure a depth", 10, 0,
         SettingsWrite::floatField},
        {"fails from the interval on, with tracks: last failure a record", 10, 2,
         SettingsWrite::intField},
        {"fails in the medium", 18, 0, SettingsWrite::floatField},
        {"only the count fails", 33, 0, SettingsWrite::intField},
        {"the second record fails", 36 + 21 + 5, 2, SettingsWrite::intField},
        {"everything fits", 36 + 42, 2, SettingsWrite::ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        auto shared = std::make_unique<SharedState>();
        for (int k = 0; k < c.tracks; ++k) addAuxTrack(shared->auxTracks, "0145", 0, 100);
        testing::FailDevice device(c.limit);
        EXPECT_EQ(writeSettings(encodeSettings(*shared), device), c.expected);
        EXPECT_EQ(device.written().size(), std::min<std::size_t>(c.limit, 36 + 21 * c.tracks));
    }
}

// Bytes to settings and back give the same bytes, the TCP block included.
TEST(SettingsCodec, DecodedBytesEncodeToTheSameBytes) {
    auto saved = std::make_unique<SharedState>();
    saved->link = LinkSettings{kMediumTcp, 1, 1, 1, {10, 0, 0, 7}, 1.5f, kTcpClient, 7000};
    saved->link.tcpHost = "logger.rig";
    addAuxTrack(saved->auxTracks, "0824", -5.0f, 250.0f);
    const std::vector<uint8_t> bytes = encodeSettings(*saved).bytes;

    auto loaded = std::make_unique<SharedState>();
    ASSERT_EQ(decodeSettings(bytes, *loaded), SettingsRead::ok);
    EXPECT_EQ(loaded->link.tcpHost, "logger.rig");
    EXPECT_EQ(encodeSettings(*loaded).bytes, bytes);
    EXPECT_EQ(decodeSettings(std::span(bytes).first(35), *loaded), SettingsRead::shortField);
    EXPECT_EQ(loaded->link.medium, kMediumNone) << "a rejected file starts no link";
}

}  // namespace
}  // namespace korvane
