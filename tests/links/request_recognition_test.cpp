#include "links/request_recognition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "links/transmit_pause.h"

namespace korvane {
namespace {

using namespace std::string_literals;

TEST(RequestRecognition, Table) {
    struct Case {
        const char* legend;
        std::string received;
        bool complete;
        std::optional<float> gas;
    };
    const Case cases[] = {
        {"a plain request", "&&\r\n0140 12.5\r\n!!\r\n", true, 12.5f},
        {"value right after the code", "&&\r\n014012.5\r\n!!\r\n", true, 12.5f},
        {"sign and exponent", "&&\r\n0140-1.5e2\r\n!!\r\n", true, -150.0f},
        {"blank lines before the value", "&&\r\n0140\r\n\r\n 7\r\n!!", true, 7.0f},
        {"no terminator yet", "&&\r\n0140 12.5\r\n", false, std::nullopt},
        {"a lone terminator", "!!\r\n", true, std::nullopt},
        {"terminator split by a blank", "&&\r\n0140 1\r\n! !\r\n", false, std::nullopt},
        {"other items only", "&&\r\n0139 3.0\r\n!!\r\n", true, std::nullopt},
        {"no record start", "0140 5.0\r\n!!\r\n", true, std::nullopt},
        {"a single ampersand", "&\r\n0140 5.0\r\n!!\r\n", true, std::nullopt},
        {"start after the terminator still counts", "!!\r\n&&\r\n01403\r\n", true, 3.0f},
        {"0140 inside another line counts", "&&\r\n99990140 4\r\n!!\r\n", true, 4.0f},
        {"only the first 0140 is read", "&&\r\n0140x\r\n0140 5\r\n!!\r\n", true, std::nullopt},
        {"a second request is not looked at", "&&\r\n0140 1\r\n!!\r\n&&\r\n0140 2\r\n!!", true,
         1.0f},
        {"a bare point is no number", "&&\r\n0140.\r\n!!\r\n", true, std::nullopt},
        {"a leading point is", "&&\r\n0140.5\r\n!!\r\n", true, 0.5f},
        {"noise with NULs before a request", "\0\xff\0&&\r\n0140 2.5\r\n!!\r\n"s, true, 2.5f},
        {"nan is no gas reading", "&&\r\n0140nan\r\n!!\r\n", true, std::nullopt},
        {"nor is an overflowing number", "&&\r\n01401e39\r\n!!\r\n", true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const RequestCheck check = recogniseRequest(c.received);
        EXPECT_EQ(check.complete, c.complete);
        EXPECT_EQ(check.gas, c.gas);
    }
}

// Feeds text to `held` the way a link does: into its free space, then add().
std::optional<float> feed(ReceivedText& held, const std::string& text) {
    std::memcpy(held.end(), text.data(), text.size());
    return held.add(text.size());
}

TEST(ReceivedText, JoinsPiecesUntilARecordIsCompleteThenStartsAfresh) {
    ReceivedText held;
    EXPECT_EQ(feed(held, "&&\r\n01"), std::nullopt);
    EXPECT_EQ(held.view(), "&&\r\n01");
    EXPECT_EQ(feed(held, "4012.5\r\n!!\r\n"), 12.5f);
    EXPECT_EQ(held.length(), 0u);
    EXPECT_EQ(feed(held, "&&\r\n0139 3.0\r\n!!\r\n"), std::nullopt);
    EXPECT_EQ(held.length(), 0u);
}

TEST(ReceivedText, DropsMoreThan1014BytesWithoutTerminator) {
    const std::string start = "&&\r\n0140 9.5\r\n";
    ReceivedText kept;
    EXPECT_EQ(feed(kept, start + std::string(ReceivedText::kMaxHeld - start.size(), 'x')),
              std::nullopt);
    EXPECT_EQ(kept.length(), ReceivedText::kMaxHeld);
    EXPECT_EQ(feed(kept, "!!"), 9.5f);

    ReceivedText dropped;
    feed(dropped, start + std::string(ReceivedText::kMaxHeld + 1 - start.size(), 'x'));
    EXPECT_EQ(dropped.length(), 0u);
    EXPECT_EQ(feed(dropped, "!!"), std::nullopt);  // its start went with the rest
}

TEST(TransmitPause, TruncatesToWholeMilliseconds) {
    struct Case {
        const char* legend;
        float interval;
        int64_t pause;
    };
    const Case cases[] = {
        {"the Setup dialog's minimum", 0.5f, 500},
        {"just under three seconds", 2.9999f, 2999},
        {"the default", 3.0f, 3000},
        {"zero never floods the receiver", 0.0f, 500},
        {"negative, from a damaged file", -2.0f, 500},
        {"not a number", std::nanf(""), 500},
        {"beyond a 32-bit count", 1e30f, 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(transmitPause(c.interval).count(), c.pause);
    }
}

}  // namespace
}  // namespace korvane
