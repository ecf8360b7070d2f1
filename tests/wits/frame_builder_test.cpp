#include "wits/frame_builder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cfloat>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "tables/extra_record_ops.h"

namespace korvane {
namespace {

constexpr char kGreeting[] = "&&\r\n1984KVT\r\n!!\r\n";
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A state with every item line off, so each case switches on only what it tests.
std::unique_ptr<SharedState> quietState() {
    auto s = std::make_unique<SharedState>();
    s->sim.dropBitDepth = 1;
    s->sim.dropHoleDepth = 1;
    for (auto& c : s->sim.pumpCirculating) c = 0;
    return s;
}

std::string frameOf(SharedState& s) {
    std::vector<char> out(kFrameBufferSize);
    const std::size_t length = buildFrame(s, out.data());
    EXPECT_EQ(length, std::strlen(out.data()));
    return std::string(out.data(), length);
}

// Joins lines with CR LF after each.
std::string lines(std::initializer_list<const char*> items) {
    std::string text;
    for (const char* item : items) (text += item) += "\r\n";
    return text;
}

void addExtra(SharedState& s, int32_t record, int32_t item, float value) {
    ASSERT_GE(appendExtraRecord(s.extraRecords, record, item, value), 0);
}

// On a quiet state: bit depth 1500 ft, pump 1 at 90 spm and three extraneous
// records, two of them in record 01.
void workedExample(SharedState& s) {
    s.sim.dropBitDepth = 0;
    s.sim.bitDepth = 1500.0f;
    s.sim.pumpCirculating[0] = 1;
    s.sim.transmitExtraRecords = 1;
    addExtra(s, 1, 5, 2.0f);
    addExtra(s, 2, 3, 7.5f);
    addExtra(s, 1, 12, 0.5f);
}
const std::string kWorkedExample = lines({"&&", "01081500.0000", "012390.00", "!!", "&&", "01052.0",
                                          "01120.5", "!!", "&&", "02037.5", "!!"});

TEST(BuildFrame, CasesLineByLine) {
    struct Case {
        const char* legend;
        std::function<void(SharedState&)> setup;
        std::string expected;  // everything after the greeting
    };
    const Case cases[] = {
        {"every line off: greeting and an empty data record", [](SharedState&) {},
         lines({"&&", "!!"})},
        {"worked example", workedExample, kWorkedExample},
        {"a float depth shows its binary value in the last digits",
         [](SharedState& s) {
             s.sim.dropBitDepth = 0;
             s.sim.dropHoleDepth = 0;
             s.sim.bitDepth = 1234.56f;
             s.sim.holeDepth = -0.5f;
         },
         lines({"&&", "01081234.5601", "0110-0.5000", "!!"})},
        {"extraneous switch on, empty table: nothing after the data record",
         [](SharedState& s) { s.sim.transmitExtraRecords = 1; }, lines({"&&", "!!"})},
        {"records defined but the switch off: not sent",
         [](SharedState& s) { addExtra(s, 1, 5, 2.0f); }, lines({"&&", "!!"})},
        {"stopped pump with its drop clear sends no rate; a circulating 0 spm pump sends 0.00",
         [](SharedState& s) {
             s.sim.pumpCirculating[0] = 0;
             s.sim.pumpCirculating[1] = 1;
             s.sim.pumpSpmChoice[1] = 6;
             s.sim.pumpCirculating[2] = 1;
             s.sim.pumpSpmChoice[2] = 3;
         },
         lines({"&&", "01240.00", "012560.00", "!!"})},
        {"drop pump spm silences a circulating pump",
         [](SharedState& s) {
             for (auto& c : s.sim.pumpCirculating) c = 1;
             s.sim.dropPumpSpm[1] = 1;
         },
         lines({"&&", "012390.00", "012590.00", "!!"})},
        {"a choice outside the rate list sends no rate line rather than reading past it",
         [](SharedState& s) {
             s.sim.pumpCirculating[0] = 1;
             s.sim.pumpSpmChoice[0] = 7;
             s.sim.pumpCirculating[1] = 1;
             s.sim.pumpSpmChoice[1] = -1;
         },
         lines({"&&", "!!"})},
        {"total strokes of a stopped pump are still sent; %.1f rounds ties to even",
         [](SharedState& s) {
             s.sim.sendTotalStrokes[0] = 1;
             s.sim.sendTotalStrokes[2] = 1;
             s.sim.totalStrokes[0] = 12.25;
             s.sim.totalStrokes[2] = 0.75;
         },
         lines({"&&", "014312.2", "01450.8", "!!"})},
        {"simulated gas at its start-up value", [](SharedState& s) { s.sim.sendSimulatedGas = 1; },
         lines({"&&", "9003100.00", "!!"})},
        {"aux: inUse without transmit, or transmit without inUse, gives no line",
         [](SharedState& s) {
             s.auxTracks.inUse[3] = 1;
             std::strcpy(s.auxTracks.tag[3], "0201");
             s.auxTracks.transmit[4] = 1;
             std::strcpy(s.auxTracks.tag[4], "0202");
         },
         lines({"&&", "!!"})},
        {"aux lines in slot order, after the depths and before the pump rates",
         [](SharedState& s) {
             s.sim.dropHoleDepth = 0;
             s.sim.holeDepth = 10.0f;
             s.sim.pumpCirculating[0] = 1;
             auto& a = s.auxTracks;
             for (int slot : {7, 2}) {
                 a.inUse[slot] = 1;
                 a.transmit[slot] = 1;
             }
             std::strcpy(a.tag[7], "0110");  // a second 0110 line, after the first
             a.value[7] = 3.0f;
             std::strcpy(a.tag[2], "0999");
             a.value[2] = -1.125f;
         },
         lines({"&&", "011010.0000", "0999-1.12", "01103.00", "012390.00", "!!"})},
        {"a track added after a removal takes the hole and is sent between the older ones",
         [](SharedState& s) {
             addAuxTrack(s.auxTracks, "0801", 0.0f, 2.0f);
             addAuxTrack(s.auxTracks, "0802", 0.0f, 4.0f);
             addAuxTrack(s.auxTracks, "0803", 0.0f, 6.0f);
             removeAuxTrack(s.auxTracks, 1);
             addAuxTrack(s.auxTracks, "0899", 0.0f, 8.0f);
         },
         lines({"&&", "08011.00", "08994.00", "08033.00", "!!"})},
        {"aux tag printed as stored, short or filling its field without a NUL",
         [](SharedState& s) {
             auto& a = s.auxTracks;
             for (int slot : {0, 1}) {
                 a.inUse[slot] = 1;
                 a.transmit[slot] = 1;
             }
             std::strcpy(a.tag[0], "7");
             std::memcpy(a.tag[1], "ABCDE", 5);
             std::strcpy(a.tag[2], "ZZZZ");  // must not run on into the next slot
         },
         lines({"&&", "70.00", "ABCDE0.00", "!!"})},
        {"aux values that are not finite",
         [](SharedState& s) {
             auto& a = s.auxTracks;
             const float values[] = {kNaN, kInf, -kInf};
             for (int slot = 0; slot < 3; ++slot) {
                 a.inUse[slot] = 1;
                 a.transmit[slot] = 1;
                 std::strcpy(a.tag[slot], "0101");
                 a.value[slot] = values[slot];
             }
         },
         lines({"&&", "0101nan", "0101inf", "0101-inf", "!!"})},
        {"same record number apart in the table ends up in one record, table order",
         [](SharedState& s) {
             s.sim.transmitExtraRecords = 1;
             addExtra(s, 8, 1, 1.0f);
             addExtra(s, 12, 2, 2.0f);
             addExtra(s, 8, 3, 3.0f);
             addExtra(s, 12, 1, 4.0f);
             addExtra(s, 8, 1, 1.0f);  // duplicates are sent too
         },
         lines({"&&", "!!", "&&", "08011.0", "08033.0", "08011.0", "!!", "&&", "12022.0", "12014.0",
                "!!"})},
        {"numbers outside 0 to 99 are not sent; the rest keep their records and order",
         [](SharedState& s) {
             s.sim.transmitExtraRecords = 1;
             addExtra(s, 1, 123, 4.25f);
             addExtra(s, 2, 3, 1.0f);
             addExtra(s, 1, 5, -3.5f);
             addExtra(s, -1, 0, -0.04f);
             addExtra(s, 0, -12, 0.05f);
             addExtra(s, 0, 99, -0.04f);
         },
         lines(
             {"&&", "!!", "&&", "0105-3.5", "!!", "&&", "02031.0", "!!", "&&", "0099-0.0", "!!"})},
        {"extremes of the 32-bit numbers are not sent",
         [](SharedState& s) {
             s.sim.transmitExtraRecords = 1;
             addExtra(s, INT32_MIN, INT32_MAX, 0.0f);
         },
         lines({"&&", "!!"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        auto s = quietState();
        c.setup(*s);
        EXPECT_EQ(frameOf(*s), kGreeting + c.expected);
    }
}

TEST(BuildFrame, ExtraRecordCountOutsideTheTableIsClamped) {
    auto s = quietState();
    s->sim.transmitExtraRecords = 1;
    s->extraRecords.extraRecordCount = -3;
    EXPECT_EQ(frameOf(*s), kGreeting + lines({"&&", "!!"}));

    s->extraRecords.extraRecordCount = 1000;  // all 100 zero slots, one record 00
    const std::string frame = frameOf(*s);
    std::string expected = kGreeting + lines({"&&", "!!", "&&"});
    for (int i = 0; i < kExtraRecordSlots; ++i) expected += "00000.0\r\n";
    EXPECT_EQ(frame, expected + "!!\r\n");
}

TEST(BuildFrame, SentMarksAreClearedSoTwoFramesMatch) {
    auto s = quietState();
    s->sim.transmitExtraRecords = 1;
    addExtra(*s, 2, 1, 1.0f);
    addExtra(*s, 3, 1, 1.0f);
    addExtra(*s, 2, 2, 1.0f);
    addExtra(*s, 2, 100, 1.0f);                // never sent, so never marked
    s->extraRecords.extraRecords[1].sent = 1;  // stale mark, e.g. from the records file
    s->extraRecords.extraRecords[3].sent = 1;
    const std::string first = frameOf(*s);
    EXPECT_NE(first.find("03011.0"), std::string::npos);
    EXPECT_EQ(frameOf(*s), first);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s->extraRecords.extraRecords[i].sent, i < 3 ? 1 : 0);
}

TEST(BuildFrame, TransmitToggleTakesEffectFromTheNextFrame) {
    auto s = quietState();
    addAuxTrack(s->auxTracks, "0145", 0.0f, 100.0f);
    setAuxTrackTransmit(s->auxTracks, 0, false);
    EXPECT_EQ(frameOf(*s), kGreeting + lines({"&&", "!!"}));
    setAuxTrackTransmit(s->auxTracks, 0, true);
    EXPECT_EQ(frameOf(*s), kGreeting + lines({"&&", "014550.00", "!!"}));
    // A range narrowed below the value leaves the value as it is sent.
    setAuxTrackRange(s->auxTracks, s->dataMutex, kStoreWait, 0, 0.0f, 10.0f);
    EXPECT_EQ(frameOf(*s), kGreeting + lines({"&&", "014550.00", "!!"}));
}

TEST(BuildFrame, OverwritesWhatTheBufferHeldBefore) {
    auto s = quietState();
    std::vector<char> out(kFrameBufferSize, 'x');
    const std::size_t length = buildFrame(*s, out.data());
    EXPECT_EQ(std::string(out.data()), kGreeting + lines({"&&", "!!"}));
    EXPECT_EQ(length, 25u);
}

TEST(BuildFrame, DecimalPointStaysAPointUnderAGermanLocale) {
    auto s = quietState();
    workedExample(*s);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale: de_DE.UTF-8 (Linux) or German_Germany.1252 (Windows)";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    const std::string frame = frameOf(*s);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_STREQ(probe, "2,5") << "the locale did not take effect";
    EXPECT_EQ(frame, kGreeting + kWorkedExample);
}

// printf in the "C" locale, the formats the frame is defined by.
std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// A value as printf writes it, and a NaN with its sign as glibc writes it on
// every system (the C library of mingw drops the sign; the frame does not).
std::string printedValue(const char* format, double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    return printed(format, value);
}

// The frame as printf would write it, for comparing whole frames built from
// arbitrary values (the test runs in the "C" locale).
std::string printfFrame(const SharedState& s) {
    const SimState& sim = s.sim;
    std::string f = kGreeting;
    f += "&&\r\n";
    if (!sim.dropBitDepth) f += "0108" + printedValue("%.4f", sim.bitDepth) + "\r\n";
    if (!sim.dropHoleDepth) f += "0110" + printedValue("%.4f", sim.holeDepth) + "\r\n";
    for (int i = 0; i < kAuxTrackSlots; ++i) {
        if (s.auxTracks.inUse[i] && s.auxTracks.transmit[i])
            f += printed("%.*s", 5, s.auxTracks.tag[i]) +
                 printedValue("%.2f", s.auxTracks.value[i]) + "\r\n";
    }
    const char* rate[] = {"0123", "0124", "0125"};
    for (int p = 0; p < kPumpCount; ++p) {
        if (sim.pumpCirculating[p] && !sim.dropPumpSpm[p])
            f += printed("%s%.2f\r\n", rate[p], kSpmList[sim.pumpSpmChoice[p]]);
    }
    const char* strokes[] = {"0143", "0144", "0145"};
    for (int p = 0; p < kPumpCount; ++p) {
        if (sim.sendTotalStrokes[p])
            f += strokes[p] + printedValue("%.1f", sim.totalStrokes[p]) + "\r\n";
    }
    if (sim.sendSimulatedGas) f += "9003" + printedValue("%.2f", sim.gasOutput) + "\r\n";
    f += "!!\r\n";
    if (!sim.transmitExtraRecords) return f;
    const int n = s.extraRecords.extraRecordCount;
    std::vector<bool> done(n);
    for (int i = 0; i < n; ++i) {
        if (done[i]) continue;
        std::string record;
        for (int j = i; j < n; ++j) {
            const ExtraRecord& r = s.extraRecords.extraRecords[j];
            if (done[j] || r.recordNumber != s.extraRecords.extraRecords[i].recordNumber) continue;
            done[j] = true;
            if (r.recordNumber < 0 || r.recordNumber > 99 || r.itemNumber < 0 || r.itemNumber > 99)
                continue;
            record += printed("%2.2d%2.2d", r.recordNumber, r.itemNumber) +
                      printedValue("%.1f", r.value) + "\r\n";
        }
        if (!record.empty()) f += "&&\r\n" + record + "!!\r\n";
    }
    return f;
}

float anyFloat(std::mt19937& rng) {
    // Mostly ordinary magnitudes, some across the whole range, a few specials.
    std::uniform_int_distribution<int> kind(0, 9);
    switch (kind(rng)) {
        case 0: {
            const float specials[] = {0.0f,    -0.0f,    kInf,    -kInf,  kNaN,
                                      FLT_MAX, -FLT_MAX, FLT_MIN, 0.005f, 0.125f};
            return specials[std::uniform_int_distribution<int>(0, 9)(rng)];
        }
        case 1:
        case 2: {
            const uint32_t bits = rng();
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
        default:
            return std::uniform_real_distribution<float>(-20000.0f, 20000.0f)(rng);
    }
}

TEST(BuildFrame, MatchesPrintfForArbitraryValues) {
    std::mt19937 rng(20261208);
    auto bit = [&] { return static_cast<int32_t>(rng() & 1); };
    for (int round = 0; round < 300; ++round) {
        auto s = std::make_unique<SharedState>();
        SimState& sim = s->sim;
        sim.dropBitDepth = bit();
        sim.dropHoleDepth = bit();
        sim.bitDepth = anyFloat(rng);
        sim.holeDepth = anyFloat(rng);
        for (int p = 0; p < kPumpCount; ++p) {
            sim.pumpCirculating[p] = bit();
            sim.dropPumpSpm[p] = bit();
            sim.pumpSpmChoice[p] = static_cast<int32_t>(rng() % kListSize);
            sim.sendTotalStrokes[p] = bit();
            sim.totalStrokes[p] = round % 7 == 0 ? DBL_MAX * (bit() ? 1 : -1)
                                                 : std::ldexp(double(rng()), int(rng() % 40) - 20);
        }
        sim.sendSimulatedGas = bit();
        sim.gasOutput = anyFloat(rng);
        for (int i = 0; i < kAuxTrackSlots; ++i) {
            if (rng() % 4 != 0) continue;
            const int slot = addAuxTrack(s->auxTracks, std::to_string(rng() % 10000), anyFloat(rng),
                                         anyFloat(rng));
            s->auxTracks.value[slot] = anyFloat(rng);
            s->auxTracks.transmit[slot] = bit();
        }
        sim.transmitExtraRecords = bit();
        const int records = static_cast<int>(rng() % (kExtraRecordSlots + 1));
        for (int i = 0; i < records; ++i) {
            addExtra(*s, static_cast<int32_t>(rng() % 9) - 2,
                     static_cast<int32_t>(rng() % 130) - 15, anyFloat(rng));
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(frameOf(*s), printfFrame(*s));
    }
}

// Dyadic fractions (m / 2^k) put many values exactly half-way between two
// printed decimals, where rounding half to even shows; the rest spread over
// every magnitude a float or double can hold.
TEST(BuildFrame, DigitsMatchPrintfAcrossMagnitudes) {
    std::mt19937_64 rng(8);
    auto dyadic = [&] {
        const double m = static_cast<double>(rng() % 2000001) - 1000000.0;
        return std::ldexp(m, -static_cast<int>(rng() % 24));
    };
    auto anyBits = [&] {
        const auto bits = rng();
        return std::bit_cast<double>(bits);
    };
    for (int round = 0; round < 1000; ++round) {
        auto s = std::make_unique<SharedState>();
        SimState& sim = s->sim;
        const bool ties = round % 2 == 0;
        auto next = [&] { return ties ? dyadic() : anyBits(); };
        sim.bitDepth = static_cast<float>(next());
        sim.holeDepth = static_cast<float>(next());
        for (int p = 0; p < kPumpCount; ++p) {
            sim.sendTotalStrokes[p] = 1;
            sim.totalStrokes[p] = next();
        }
        for (int i = 0; i < kAuxTrackSlots; ++i) {
            addAuxTrack(s->auxTracks, "0101", 0.0f, 0.0f);
            s->auxTracks.value[i] = static_cast<float>(next());
        }
        sim.transmitExtraRecords = 1;
        for (int i = 0; i < kExtraRecordSlots; ++i) addExtra(*s, 1, i, static_cast<float>(next()));
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(frameOf(*s), printfFrame(*s));
    }
}

// The widest frame the tables allow: every line on, every slot sending, every
// record in a record of its own, every number at its widest.
std::unique_ptr<SharedState> worstState() {
    auto s = std::make_unique<SharedState>();
    SimState& sim = s->sim;
    sim.bitDepth = -FLT_MAX;
    sim.holeDepth = -FLT_MAX;
    for (int p = 0; p < kPumpCount; ++p) {
        sim.sendTotalStrokes[p] = 1;
        sim.totalStrokes[p] = -DBL_MAX;
    }
    sim.sendSimulatedGas = 1;
    sim.gasOutput = -FLT_MAX;
    for (int i = 0; i < kAuxTrackSlots; ++i) {
        EXPECT_EQ(addAuxTrack(s->auxTracks, "0000", 0.0f, 0.0f), i);
        std::memcpy(s->auxTracks.tag[i], "-9999", 5);  // no NUL: the field is full
        s->auxTracks.value[i] = -FLT_MAX;
    }
    s->auxTracks.value[97] = kNaN;
    s->auxTracks.value[98] = -kInf;
    s->auxTracks.value[99] = FLT_MAX;
    sim.transmitExtraRecords = 1;
    for (int i = 0; i < kExtraRecordSlots; ++i) addExtra(*s, i, 99, -FLT_MAX);
    return s;
}

TEST(BuildFrame, WorstCaseFitsWithoutTouchingPastTheBuffer) {
    auto s = worstState();
    // Exactly kFrameBufferSize bytes on the heap, so an overrun shows under
    // AddressSanitizer; the guard bytes behind catch it without.
    constexpr std::size_t kGuard = 256;
    auto out = std::make_unique<char[]>(kFrameBufferSize + kGuard);
    std::memset(out.get(), 'g', kFrameBufferSize + kGuard);
    const std::size_t length = buildFrame(*s, out.get());
    EXPECT_LT(length, kFrameBufferSize);
    EXPECT_EQ(out[length], '\0');
    EXPECT_EQ(std::string(out.get(), length), printfFrame(*s));  // nothing cut short
    for (std::size_t i = kFrameBufferSize; i < kFrameBufferSize + kGuard; ++i) {
        ASSERT_EQ(out[i], 'g') << "byte " << i;
    }
    EXPECT_GT(length, 11600u) << "not the widest frame any more?";

    auto exact = std::make_unique<char[]>(kFrameBufferSize);
    EXPECT_EQ(buildFrame(*s, exact.get()), length);
}

// The Aux Tracks page adds tracks and toggles transmit without the mutex while
// the link thread builds frames under it: a frame holds whole tracks only.
TEST(BuildFrame, TracksAddedDuringFramesAppearWhole) {
    auto s = quietState();
    std::atomic<bool> done{false};
    std::atomic<int> frames{0};
    std::atomic<int> malformed{0};
    std::thread link([&] {
        std::vector<char> out(kFrameBufferSize);
        while (!done) {
            std::string frame;
            withData(s->dataMutex, kDataWait,
                     [&] { frame.assign(out.data(), buildFrame(*s, out.data())); });
            // Between the data record's marks only whole "0145<n>.00" lines may appear.
            const std::string body = frame.substr(sizeof kGreeting - 1 + 4);
            std::size_t at = 0;
            while (body.compare(at, 4, "!!\r\n") != 0) {
                const std::size_t end = body.find("\r\n", at);
                const std::string line = body.substr(at, end - at);
                if (line.rfind("0145", 0) != 0 || line.substr(line.size() - 3) != ".00")
                    ++malformed;
                at = end + 2;
            }
            ++frames;
        }
    });
    for (int i = 0; i < kAuxTrackSlots; ++i) {
        addAuxTrack(s->auxTracks, "0145", 0.0f, 2.0f * i);
        setAuxTrackTransmit(s->auxTracks, i / 2, i % 3 != 0);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    while (frames < 50) std::this_thread::yield();
    done = true;
    link.join();
    EXPECT_EQ(malformed, 0);
}

// Whole frames kept as files under tests/data/frames and compared byte for
// byte. After a deliberate change of the frame text, rewrite them with
//     KORVANE_REGENERATE_GOLDEN=1 ctest -R GoldenFrames
// and read the diff of every .frame file before committing it: the files are
// what receivers see on the wire.
class GoldenFrames : public ::testing::Test {
protected:
    void check(const char* name, SharedState& s) {
        const std::string path = std::string(KORVANE_TEST_DATA_DIR) + "/frames/" + name + ".frame";
        const std::string frame = frameOf(s);
        const char* regenerate = std::getenv("KORVANE_REGENERATE_GOLDEN");
        if (regenerate && std::string(regenerate) == "1") {
            std::ofstream(path, std::ios::binary) << frame;
            GTEST_SKIP() << "rewrote " << path;
        }
        std::ifstream file(path, std::ios::binary);
        ASSERT_TRUE(file) << "missing " << path;
        const std::string golden{std::istreambuf_iterator<char>(file), {}};
        EXPECT_EQ(frame, golden) << path;
    }
};

// Both depths and the three pumps at 90 spm.
TEST_F(GoldenFrames, FreshStart) {
    SharedState s;
    check("fresh_start", s);
}

TEST_F(GoldenFrames, WorkedExample) {
    auto s = quietState();
    workedExample(*s);
    check("worked_example", *s);
}

TEST_F(GoldenFrames, BusyRig) {
    SharedState s;
    SimState& sim = s.sim;
    sim.bitDepth = 12034.56f;
    sim.holeDepth = 12510.25f;
    sim.pumpSpmChoice[0] = 1;
    sim.pumpSpmChoice[1] = 4;
    sim.pumpCirculating[2] = 0;
    for (int p = 0; p < kPumpCount; ++p) sim.sendTotalStrokes[p] = 1;
    sim.totalStrokes[0] = 48211.75;
    sim.totalStrokes[1] = 30110.0625;
    sim.totalStrokes[2] = 977.3;
    sim.sendSimulatedGas = 1;
    sim.gasOutput = 37.5f;
    addAuxTrack(s.auxTracks, "0813", 0.0f, 100.0f);
    addAuxTrack(s.auxTracks, "0145", -50.0f, 10.0f);
    addAuxTrack(s.auxTracks, "1201", 2.0f, 10.0f);
    removeAuxTrack(s.auxTracks, 1);
    addAuxTrack(s.auxTracks, "0999", 1.0f, 2.0f);  // takes slot 1 again
    setAuxTrackTransmit(s.auxTracks, 2, false);
    sim.transmitExtraRecords = 1;
    addExtra(s, 12, 8, 1.5f);
    addExtra(s, 1, 123, -3.25f);
    addExtra(s, 12, 9, 1000.0f);
    addExtra(s, 7, 1, 0.05f);
    addExtra(s, 1, 2, 22.0f);
    check("busy_rig", s);
}

TEST_F(GoldenFrames, WidestFrame) {
    auto s = worstState();
    check("widest", *s);
}

}  // namespace
}  // namespace korvane
