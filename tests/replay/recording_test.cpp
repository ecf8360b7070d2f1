#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "file_fixtures.h"
#include "replay/recorder.h"
#include "replay/recording_lines.h"
#include "replay/recording_reader.h"

namespace korvane {
namespace {

using Frames = std::vector<std::pair<std::optional<double>, std::string>>;
const std::string G = "&&\r\n1984KVT\r\n!!\r\n";

Frames readAll(RecordingReader& reader) {
    Frames frames;
    RecordedFrame f;
    while (reader.next(f)) frames.emplace_back(f.t, f.frame);
    return frames;
}

TEST(Recording, ReadsEveryFormatAndCountsDamage) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b) allBytes.push_back(static_cast<char>(b));
    struct Case {
        const char* legend;
        std::optional<std::string> content;  // none: no file
        RecordingFormat format;
        Frames frames;
        uint64_t damaged;
        std::vector<std::string> notes;
        std::string error;  // after "Cannot play PATH: "
    };
    using F = RecordingFormat;
    const Case cases[] = {
        {"json round trip of every byte",
         noteLine(0, "x") + frameLine(0.5, allBytes) + receivedLine(0.7, "&&", "#1 a"),
         F::korvaneJsonLines,
         {{0.5, allBytes}},
         0,
         {},
         ""},
        {"json frame sent to several receivers read once",
         frameLine(1, "A", "#1") + receivedLine(1, "r", "#1") + frameLine(1, "A", "#2") +
             frameLine(2, "A", "#1"),
         F::korvaneJsonLines,
         {{1, "A"}, {2, "A"}},
         0,
         {},
         ""},
        {"json damaged lines skipped",
         "{\"t\": 1, \"frame\": \"x\"\n{\"frame\": \"y\"}\n\n"
         " { \"x\": [1, {\"a\": null}], \"frame\": \"\\u0100\\/\\b\", \"t\": 2e0 }\n[]\n",
         F::korvaneJsonLines,
         {{2, "\xC4\x80/\b"}},
         3,
         {},
         ""},
        {"raw line ends of every kind",
         "&&\r\n1984KVT\r\n!!\r\n&&\n0108 1\n!!\r&&\r1984X\r!!\r\njunk\n&&\r\n0110 2\n!!",
         F::rawWits,
         {{{}, G + "&&\r\n0108 1\r\n!!\r\n"}, {{}, "&&\r\n1984X\r\n!!\r\n&&\r\n0110 2\r\n!!\r\n"}},
         0,
         {},
         ""},
        {"raw without greeting: a frame per record",
         "junk\n&&\n0108 1\n!!\n&&\n0110 2\n!!\n",
         F::rawWits,
         {{{}, "&&\r\n0108 1\r\n!!\r\n"}, {{}, "&&\r\n0110 2\r\n!!\r\n"}},
         0,
         {},
         ""},
        {"raw unclosed records counted",
         "&&\n0108 1\n&&\n0110 2\n!!\n&&\n" + std::string(70000, 'x') + "\n!!\n&&\n0111\n",
         F::rawWits,
         {{{}, "&&\r\n0110 2\r\n!!\r\n"}},
         3,
         {},
         ""},
        {"csv: iso times, quotes, empty cells, grouping, note, bad rows",
         "time,0108 Bit Depth,Comment,1201 Gas,\"0110 Hole, Depth\"\n"
         "2026-03-01T10:00:00Z, 100.5 ,hi,7,\"20\"\"0\"\n"
         "2026-03-01 11:00:10.5+01:00,101,,,\n2026-03-01T09:00:00,1,,,\nbad,1,,,\n"
         "2026-03-01T10:00:20,1,\n",
         F::csvChannels,
         {{0, G + "&&\r\n0108100.5\r\n011020\"0\r\n!!\r\n&&\r\n12017\r\n!!\r\n"},
          {10.5, G + "&&\r\n0108101\r\n!!\r\n"}},
         3,
         {"ignored columns without an item code: Comment"},
         ""},
        {"csv: semicolons and seconds",
         "Time;0108;0110\r\n5;1;2\r\n7.5;3;\r\n",
         F::csvChannels,
         {{0, G + "&&\r\n01081\r\n01102\r\n!!\r\n"}, {2.5, G + "&&\r\n01083\r\n!!\r\n"}},
         0,
         {},
         ""},
        {"csv without time column: untimed",
         "0108,Operator\n5,x\n",
         F::csvChannels,
         {{{}, G + "&&\r\n01085\r\n!!\r\n"}},
         0,
         {"ignored columns without an item code: Operator"},
         ""},
        {"missing file",
         std::nullopt,
         F::rawWits,
         {},
         0,
         {},
         "it cannot be read (No such file or directory)"},
        {"empty file", "", F::rawWits, {}, 0, {}, "it holds no frame"},
        {"csv without item column",
         "time,Comment\n1,x\n",
         F::rawWits,
         {},
         0,
         {},
         "it holds no item column"},
    };
    testing::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::string path = (folder / c.legend).string();
        if (c.content) testing::writeText(path, *c.content);
        auto opened = RecordingReader::open(path);
        if (!c.error.empty()) {
            ASSERT_TRUE(std::holds_alternative<std::string>(opened));
            EXPECT_EQ(std::get<std::string>(opened), "Cannot play " + path + ": " + c.error);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<RecordingReader>(opened)) << std::get<1>(opened);
        auto& reader = std::get<RecordingReader>(opened);
        EXPECT_EQ(reader.format(), c.format);
        EXPECT_EQ(readAll(reader), c.frames);
        EXPECT_EQ(reader.damaged(), c.damaged);
        EXPECT_EQ(reader.notes(), c.notes);
        EXPECT_EQ(reader.progress(), 1.0);
        reader.rewind();  // a loop plays the same frames and counts no damage again
        EXPECT_EQ(readAll(reader), c.frames);
        EXPECT_EQ(reader.damaged(), c.damaged);
    }
}

TEST(Recording, RecorderRefusesOverwritesFlushesAndDrains) {
    testing::TempFolder folder;
    const std::string path = (folder / "run.jsonl").string();
    testing::writeText(path, "old");
    auto refused = Recorder::open(path, false);
    ASSERT_TRUE(std::holds_alternative<RecorderRefusal>(refused));
    EXPECT_EQ(std::get<RecorderRefusal>(refused).text, "Cannot record to " + path + ": it exists");
    EXPECT_TRUE(std::get<RecorderRefusal>(refused).exists);

    auto opened = Recorder::open(path, true);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Recorder>>(opened));
    auto& recorder = *std::get<std::unique_ptr<Recorder>>(opened);
    const std::string first = frameLine(12.5, "&&\r\n", "#3 127.0.0.1:40312");
    EXPECT_EQ(first, "{\"t\": 12.500, \"frame\": \"&&\\r\\n\", \"to\": \"#3 127.0.0.1:40312\"}\n");
    recorder.post(first);
    const auto posted = std::chrono::steady_clock::now();
    std::string seen;
    while (seen.find(first) == std::string::npos &&
           std::chrono::steady_clock::now() - posted < std::chrono::milliseconds(1500)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto bytes = testing::readBytes(path);
        seen.assign(bytes.begin(), bytes.end());
    }
    EXPECT_EQ(seen.substr(0, 21), "{\"t\": 0.000, \"note\": ");
    EXPECT_NE(seen.find(first), std::string::npos) << "not flushed within a second";
    recorder.post(frameLine(13, "B"));
    recorder.stop();
    const auto bytes = testing::readBytes(path);
    EXPECT_EQ(std::string(bytes.begin() + seen.size(), bytes.end()), frameLine(13, "B"));
    EXPECT_EQ(recorder.dropped(), 0u);
    EXPECT_EQ(recorder.problem(), "");
}

}  // namespace
}  // namespace korvane
