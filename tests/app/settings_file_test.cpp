#include "app/settings_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <iostream>
#include <limits>
#include <memory>
#include <random>
#include <thread>

#include "file_fixtures.h"
#include "platform/file_replacement.h"
#include "state/shared_state.h"
#include "tables/catalogue_file.h"
#include "tables/extra_record_file.h"
#include "tables/extra_record_table.h"

namespace korvane {
namespace {

using testing::put32;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

constexpr int32_t kPeer[4] = {192, 168, 1, 100};

std::unique_ptr<SharedState> startedState(const TempFolder& folder) {
    auto shared = std::make_unique<SharedState>();
    setStartupDefaults(*shared, folder.path());
    return shared;
}

void addTrack(SharedState& shared, int slot, const char* tag, float minimum, float maximum,
              float value, int32_t transmit) {
    AuxTrackTable& t = shared.auxTracks;
    std::memcpy(t.tag[slot], tag, 5);
    t.minimum[slot] = minimum;
    t.maximum[slot] = maximum;
    t.value[slot] = value;
    t.transmit[slot] = transmit;
    t.inUse[slot] = 1;
}

int slotsInUse(const SharedState& shared) {
    int n = 0;
    for (const auto& inUse : shared.auxTracks.inUse) n += inUse.load() == 1;
    return n;
}

void expectDefaultLink(const SharedState& shared) {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(shared.link.ipAddress[i], kPeer[i]);
    EXPECT_EQ(shared.link.interrogated, 0);
    EXPECT_EQ(shared.link.medium, 0);
    EXPECT_EQ(shared.link.comPort, 1);
    EXPECT_EQ(shared.link.baudIndex, 1);
    EXPECT_EQ(shared.reservedSetting, 0.1f);
    EXPECT_EQ(shared.link.transmitInterval, 3.0f);
}

// The header of a well-formed file: 10.0.0.7, reserved 0.25, 1.5 s,
// transmitExtraRecords 1, UDP, interrogated, depths 1234.5 and 1200.25, then N.
std::vector<uint8_t> header(uint32_t n) {
    std::vector<uint8_t> bytes = {10,   0,    0,    7,      // ipAddress
                                  0x00, 0x00, 0x80, 0x3e,   // reservedSetting 0.25
                                  0x00, 0x00, 0xc0, 0x3f,   // transmitInterval 1.5
                                  1,    0,    0,    0,      // transmitExtraRecords
                                  1,    0,    0,    0,      // medium UDP
                                  1,    0,    0,    0,      // interrogated
                                  0x00, 0x50, 0x9a, 0x44,   // holeDepth 1234.5
                                  0x00, 0x08, 0x96, 0x44};  // bitDepth 1200.25
    put32(bytes, n);
    return bytes;
}

// One 21-byte track record: tag, minimum 0, maximum 100, value 50, transmit.
std::vector<uint8_t> trackRecord(const char* tag, uint8_t transmit) {
    std::vector<uint8_t> bytes(tag, tag + 5);
    for (uint8_t b : {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc8, 0x42, 0x00, 0x00, 0x48, 0x42})
        bytes.push_back(b);
    for (uint8_t b : {transmit, uint8_t{0}, uint8_t{0}, uint8_t{0}}) bytes.push_back(b);
    return bytes;
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

TEST(SettingsFile, FirstRunUsesDefaultsAndWritesA36ByteFile) {
    TempFolder folder;
    auto shared = startedState(folder);
    EXPECT_EQ(loadSettings(*shared, folder.path()), 1);
    expectDefaultLink(*shared);
    EXPECT_EQ(shared->sim.transmitExtraRecords, 0);
    EXPECT_EQ(shared->sim.clockState, kClockRunning);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 0);
    EXPECT_EQ(shared->extraRecords.extraRecordCount, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / kSettingsFileName));

    EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
    const std::vector<uint8_t> expected = {
        192,  168,  1,    100,                // default peer
        0xcd, 0xcc, 0xcc, 0x3d,               // 0.1
        0x00, 0x00, 0x40, 0x40,               // 3.0 s
        0,    0,    0,    0,    0, 0, 0, 0,   // extra records off, no link
        0,    0,    0,    0,    0, 0, 0, 0,   // streaming, hole depth 0
        0,    0,    0,    0,    0, 0, 0, 0};  // bit depth 0, N = 0
    EXPECT_EQ(readBytes(folder / kSettingsFileName), expected);
    EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);
}

TEST(SettingsFile, StartupDefaultsClearTheTablesAndLoadTheExtraRecords) {
    TempFolder folder;
    std::vector<uint8_t> records;
    put32(records, 1);
    for (uint32_t v : {1u, 8u, 0u, 0x41200000u}) put32(records, v);  // record 01 item 08, 10.0
    writeBytes(folder / kExtraRecordFileName, records);

    SharedState shared;
    addTrack(shared, 9, "0145", 1, 2, 3, 1);
    shared.auxTracks.auxTrackCount = 1;
    shared.sim.transmitExtraRecords = 1;
    shared.sim.clockState = kClockStopped;
    shared.link = LinkSettings{1, 1, 7, 4, {10, 0, 0, 7}, 9.0f};
    setStartupDefaults(shared, folder.path());

    expectDefaultLink(shared);
    EXPECT_EQ(shared.auxTracks.auxTrackCount, 0);
    EXPECT_EQ(slotsInUse(shared), 0);
    EXPECT_STREQ(shared.auxTracks.tag[9], "");
    EXPECT_EQ(shared.auxTracks.value[9], 0.0f);
    EXPECT_EQ(shared.auxTracks.transmit[9], 0);
    EXPECT_EQ(shared.sim.transmitExtraRecords, 0);
    EXPECT_EQ(shared.sim.clockState, kClockRunning);
    ASSERT_EQ(shared.extraRecords.extraRecordCount, 1);
    EXPECT_EQ(shared.extraRecords.extraRecords[0].itemNumber, 8);
    EXPECT_EQ(shared.extraRecords.extraRecords[0].value, 10.0f);
}

// Tracks in slots 1, 4 and 7 only: three records, in slot order, byte for byte.
TEST(SettingsFile, SaveWritesTheLayoutByteForByte) {
    TempFolder folder;
    auto shared = startedState(folder);
    shared->link = LinkSettings{kMediumUdp, 1, 1, 1, {10, 0, 0, 7}, 1.5f};  // interrogated UDP
    shared->reservedSetting = 0.25f;
    shared->sim.transmitExtraRecords = 1;
    shared->sim.holeDepth = 1234.5f;
    shared->sim.bitDepth = 1200.25f;
    addTrack(*shared, 1, "0145", 0, 100, 50, 1);
    addTrack(*shared, 4, "ABCD", 0, 100, 50, 0);
    addTrack(*shared, 7, "0999", 0, 100, 50, 1);
    addTrack(*shared, 8, "GONE", 0, 100, 50, 1);
    shared->auxTracks.inUse[8] = 0;  // removed: its fields stay but it is not saved

    EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
    std::vector<uint8_t> expected = header(3);
    append(expected, trackRecord("0145", 1));
    append(expected, trackRecord("ABCD", 0));
    append(expected, trackRecord("0999", 1));
    const auto written = readBytes(folder / kSettingsFileName);
    EXPECT_EQ(written.size(), 36u + 21u * 3u);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 3);

    // The same table saved again gives the same N and the same bytes.
    shared->auxTracks.auxTrackCount = 57;  // a stale count is recounted, not trusted
    EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
    EXPECT_EQ(readBytes(folder / kSettingsFileName), expected);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 3);
}

TEST(SettingsFile, RestartRestoresTheSavedSettingsButNotThePort) {
    TempFolder folder;
    {
        auto shared = startedState(folder);
        shared->link = LinkSettings{kMediumRs232, 1, 12, 5, {172, 16, 0, 1}, 0.5f};
        shared->reservedSetting = -7.25f;
        shared->sim.holeDepth = 500.0f;
        shared->sim.bitDepth = 480.0f;
        addTrack(*shared, 1, "0145", -1, 2, 0.5f, 1);
        addTrack(*shared, 4, "0146", 0, 100, 50, 0);
        addTrack(*shared, 7, "0147", -20, 10, -2.5f, 1);
        ASSERT_EQ(saveSettings(*shared, folder.path()), 0);
    }
    auto shared = startedState(folder);
    EXPECT_EQ(loadSettings(*shared, folder.path()), 0);
    EXPECT_EQ(shared->link.medium, kMediumRs232);
    EXPECT_EQ(shared->link.interrogated, 1);
    EXPECT_EQ(shared->link.comPort, 1);    // COM1
    EXPECT_EQ(shared->link.baudIndex, 1);  // 9600
    const int32_t address[4] = {172, 16, 0, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(shared->link.ipAddress[i], address[i]);
    EXPECT_EQ(shared->link.transmitInterval, 0.5f);
    EXPECT_EQ(shared->reservedSetting, -7.25f);
    EXPECT_EQ(shared->sim.holeDepth, 500.0f);
    EXPECT_EQ(shared->sim.bitDepth, 480.0f);

    // The holes are closed: slots 1, 4, 7 come back as 0, 1, 2.
    const AuxTrackTable& t = shared->auxTracks;
    EXPECT_EQ(t.auxTrackCount, 3);
    EXPECT_EQ(slotsInUse(*shared), 3);
    EXPECT_STREQ(t.tag[0], "0145");
    EXPECT_STREQ(t.tag[1], "0146");
    EXPECT_STREQ(t.tag[2], "0147");
    EXPECT_EQ(t.minimum[2], -20.0f);
    EXPECT_EQ(t.maximum[2], 10.0f);
    EXPECT_EQ(t.value[2], -2.5f);
    EXPECT_EQ(t.transmit[0], 1);
    EXPECT_EQ(t.transmit[1], 0);
    EXPECT_EQ(t.inUse[3], 0);
}

// Short and damaged files: all rejected with status 2 and deleted; the link
// settings go back to their defaults while the fields read completely stay.
TEST(SettingsFile, RejectedFilesAreDeletedAndKeepOnlyWhatWasReadWhole) {
    struct Case {
        const char* legend;
        std::vector<uint8_t> file;
        int32_t transmitExtraRecords;  // expected after the load
        float holeDepth;
        int tracks;  // slots in use after the load
    };
    auto truncated = [](std::size_t size) {
        auto bytes = header(0);
        bytes.resize(size);
        return bytes;
    };
    auto withCount = [](uint32_t n, int records) {
        auto bytes = header(n);
        for (int k = 0; k < records; ++k) append(bytes, trackRecord("0145", 1));
        return bytes;
    };
    auto patched = [](std::size_t offset, std::vector<uint8_t> value) {
        auto bytes = header(0);
        std::copy(value.begin(), value.end(), bytes.begin() + static_cast<long>(offset));
        return bytes;
    };
    const Case cases[] = {
        {"empty file", truncated(0), 0, -1.0f, 0},
        {"three octets", truncated(3), 0, -1.0f, 0},
        {"20 bytes: the switch at 12..15 is kept", truncated(20), 1, -1.0f, 0},
        {"half a hole depth is not taken", truncated(26), 1, -1.0f, 0},
        {"no count", truncated(32), 1, 1234.5f, 0},
        {"half a count", truncated(35), 1, 1234.5f, 0},
        {"N 3 with two records", withCount(3, 2), 1, 1234.5f, 2},
        {"N 2 with a record and a half",
         [&] {
             auto b = withCount(2, 2);
             b.resize(b.size() - 4);
             return b;
         }(),
         1, 1234.5f, 1},
        {"N 101 cannot fit the table", withCount(101, 101), 1, 1234.5f, 0},
        {"N negative", withCount(0xffffffffu, 1), 1, 1234.5f, 0},
        {"N huge", withCount(0x7fffffffu, 3), 1, 1234.5f, 0},
        {"medium 3", patched(16, {3, 0, 0, 0}), 1, 1234.5f, 0},
        {"interrogated 2", patched(20, {2, 0, 0, 0}), 1, 1234.5f, 0},
        {"interval 0 s", patched(8, {0, 0, 0, 0}), 1, 1234.5f, 0},
        {"interval 0.25 s", patched(8, {0x00, 0x00, 0x80, 0x3e}), 1, 1234.5f, 0},
        {"interval not a number", patched(8, {0x00, 0x00, 0xc0, 0x7f}), 1, 1234.5f, 0},
        {"interval infinite", patched(8, {0x00, 0x00, 0x80, 0x7f}), 1, 1234.5f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        writeBytes(folder / kSettingsFileName, c.file);
        auto shared = startedState(folder);
        shared->sim.holeDepth = -1.0f;
        EXPECT_EQ(loadSettings(*shared, folder.path()), 2);
        EXPECT_FALSE(std::filesystem::exists(folder / kSettingsFileName));
        expectDefaultLink(*shared);
        EXPECT_EQ(shared->sim.transmitExtraRecords, c.transmitExtraRecords);
        EXPECT_EQ(shared->sim.holeDepth, c.holeDepth);
        EXPECT_EQ(slotsInUse(*shared), c.tracks);
        EXPECT_EQ(shared->auxTracks.auxTrackCount, c.tracks);
        for (int k = 0; k < c.tracks; ++k) EXPECT_STREQ(shared->auxTracks.tag[k], "0145");
        EXPECT_STREQ(shared->auxTracks.tag[c.tracks], "");
    }
}

TEST(SettingsFile, LoadAcceptsTheEdgesOfWhatASaveCanWrite) {
    TempFolder folder;
    auto file = header(100);
    file[8] = 0x00, file[9] = 0x00, file[10] = 0x00, file[11] = 0x3f;  // 0.5 s, the shortest
    for (int k = 0; k < 100; ++k) append(file, trackRecord("0145", 1));
    file[36 + 4] = 'X';    // a fifth tag byte that is not NUL ends the tag all the same
    file.push_back(0xee);  // bytes after the last record are ignored
    writeBytes(folder / kSettingsFileName, file);

    auto shared = startedState(folder);
    EXPECT_EQ(loadSettings(*shared, folder.path()), 0);
    EXPECT_TRUE(std::filesystem::exists(folder / kSettingsFileName));
    EXPECT_EQ(shared->link.transmitInterval, 0.5f);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 100);
    EXPECT_EQ(slotsInUse(*shared), 100);
    EXPECT_STREQ(shared->auxTracks.tag[0], "0145");
    EXPECT_EQ(shared->auxTracks.tag[0][4], '\0');
}

TEST(SettingsFile, SaveThatCannotCreateTheFileReportsIt) {
    TempFolder folder;
    auto shared = startedState(folder);
    // A folder that does not exist, and one whose parent is a plain file.
    EXPECT_EQ(saveSettings(*shared, folder / "missing"), -1);
    testing::writeText(folder / "plain", "x");
    EXPECT_EQ(saveSettings(*shared, folder / "plain" / "sub"), -1);
    // Korvane.ini is a folder: the new file cannot take its place.
    std::filesystem::create_directories(folder / kSettingsFileName / "keep");
    EXPECT_EQ(saveSettings(*shared, folder.path()), -1);
    EXPECT_TRUE(std::filesystem::is_directory(folder / kSettingsFileName / "keep"));
    EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);
}

// POSIX only: links, permission bits, FIFOs and device nodes.
#ifndef _WIN32
// A settings file kept elsewhere and linked into the working folder stays
// linked: the save replaces the file the link points at.
TEST(SettingsFile, SaveThroughASymbolicLinkKeepsTheLink) {
    namespace fs = std::filesystem;
    TempFolder folder;
    fs::create_directories(folder / "kept");
    writeBytes(folder / "kept" / kSettingsFileName, {1, 2, 3});
    fs::create_symlink(fs::path("kept") / kSettingsFileName, folder / kSettingsFileName);
    auto shared = startedState(folder);
    EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
    EXPECT_TRUE(fs::is_symlink(folder / kSettingsFileName));
    EXPECT_EQ(readBytes(folder / "kept" / kSettingsFileName).size(), 36u);
    EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);

    // A link to a file not there yet creates it where the link points.
    fs::remove(folder / "kept" / kSettingsFileName);
    EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
    EXPECT_TRUE(fs::is_symlink(folder / kSettingsFileName));
    EXPECT_EQ(readBytes(folder / "kept" / kSettingsFileName).size(), 36u);
}

TEST(SettingsFile, SaveKeepsThePermissionsOfTheOldFile) {
    namespace fs = std::filesystem;
    const fs::perms cases[] = {fs::perms::owner_read | fs::perms::owner_write,
                               fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read | fs::perms::group_write |
                                   fs::perms::others_read};
    for (const fs::perms perms : cases) {
        SCOPED_TRACE(static_cast<int>(perms));
        TempFolder folder;
        writeBytes(folder / kSettingsFileName, {1, 2, 3});
        fs::permissions(folder / kSettingsFileName, perms);
        auto shared = startedState(folder);
        EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
        EXPECT_EQ(fs::status(folder / kSettingsFileName).permissions(), perms);
    }
}

// A read-only settings file is not replaced behind its owner's back: the save
// fails as if the file could not be created. (Root may write anything.)
TEST(SettingsFile, SaveLeavesAReadOnlyFileAlone) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
    TempFolder folder;
    const std::vector<uint8_t> old = {1, 2, 3, 4, 5};
    writeBytes(folder / kSettingsFileName, old);
    std::filesystem::permissions(folder / kSettingsFileName, std::filesystem::perms::owner_read);
    auto shared = startedState(folder);
    EXPECT_EQ(saveSettings(*shared, folder.path()), -1);
    EXPECT_EQ(readBytes(folder / kSettingsFileName), old);
    EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);
}

// Trials with things planted where the two files live, each in a fresh folder.
namespace planted {
namespace fs = std::filesystem;
using Path = const fs::path&;

bool victimLink(Path folder, Path at) {
    testing::writeText(folder / "victim.txt", "victim");
    fs::create_symlink("victim.txt", fs::path(at) += ".tmp");
    return true;
}
bool fifo(Path, Path at) { return ::mkfifo(at.c_str(), 0600) == 0; }
bool lockedFile(Path, Path at) {
    writeBytes(at, header(0));
    fs::permissions(at, fs::perms::none);
    return ::geteuid() != 0;  // root opens any file
}
// A link at the name to a target that make() has put beside it.
template <bool (*make)(Path, Path)>
bool linkTo(Path folder, Path at) {
    fs::create_symlink(folder / "target", at);
    return make(folder, folder / "target");
}
bool directory(Path, Path at) { return fs::create_directory(at); }
bool device(Path, Path at) {  // a node like /dev/null, not /dev/null itself
    return ::mknod(at.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0;
}

int32_t saveSettingsIn(Path folder) {
    SharedState shared;
    setStartupDefaults(shared, folder);
    return saveSettings(shared, folder);
}
int32_t loadSettingsIn(Path folder) {
    SharedState shared;
    setStartupDefaults(shared, folder);
    return loadSettings(shared, folder);
}
int32_t saveRecordsIn(Path folder) { return saveExtraRecords(ExtraRecordTable{}, folder), 0; }
int32_t loadCatalogueIn(Path folder) {
    ItemCatalogue catalogue;
    return loadCatalogue(catalogue, folder);
}
int32_t loadRecordsIn(Path folder) {
    ExtraRecordTable table;
    table.extraRecordCount = 3;
    loadExtraRecords(table, folder);
    return table.extraRecordCount;
}

bool victimKept(Path folder, Path at) {
    return readBytes(folder / "victim.txt").size() == 6 &&
           fs::is_regular_file(fs::symlink_status(at));
}
bool linkKept(Path folder, Path at) {
    return fs::is_symlink(at) && fs::status(folder / "target").type() != fs::file_type::regular;
}
bool fifoKept(Path, Path at) { return fs::is_fifo(fs::symlink_status(at)); }
bool deleted(Path, Path at) { return !fs::exists(fs::symlink_status(at)); }
}  // namespace planted

// A save writes only a fresh file of its own and follows links only to a
// regular file; a load neither waits on nor deletes what is not a regular file.
TEST(SettingsFile, PlantedFilesAreNotWrittenThroughWaitedOnOrKept) {
    using namespace planted;
    struct Case {
        const char* legend;
        const char* name;                     // the file under trial
        bool (*plant)(Path folder, Path at);  // false: cannot be planted here
        int32_t (*step)(Path folder);         // a status, or the records loaded
        int32_t expected;
        bool (*after)(Path folder, Path at);
    };
    const Case cases[] = {
        {"Korvane.ini.tmp left as a link", kSettingsFileName, victimLink, saveSettingsIn, 0,
         victimKept},
        {"WitsRecords.ini.tmp left as a link", kExtraRecordFileName, victimLink, saveRecordsIn, 0,
         victimKept},
        {"save over a link to a FIFO", kSettingsFileName, linkTo<fifo>, saveSettingsIn, -1,
         linkKept},
        {"save over a link to a device", kSettingsFileName, linkTo<device>, saveSettingsIn, -1,
         linkKept},
        {"save over a link to a folder", kSettingsFileName, linkTo<directory>, saveSettingsIn, -1,
         linkKept},
        {"load through a link to a FIFO", kSettingsFileName, linkTo<fifo>, loadSettingsIn, 1,
         linkKept},
        {"load a FIFO", kSettingsFileName, fifo, loadSettingsIn, 1, fifoKept},
        {"load records from a FIFO", kExtraRecordFileName, fifo, loadRecordsIn, 0, fifoKept},
        {"catalogue from a FIFO", kCatalogueFileName, fifo, loadCatalogueIn, 1, fifoKept},
        {"catalogue through a link to a device", kCatalogueFileName, linkTo<device>,
         loadCatalogueIn, 1, linkKept},
        {"load a file that may not be opened", kSettingsFileName, lockedFile, loadSettingsIn, 1,
         deleted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        const fs::path at = folder / c.name;
        if (!c.plant(folder.path(), at)) {
            std::cout << "[ SKIPPED  ] cannot be planted here: " << c.legend << "\n";
            continue;
        }
        auto result = std::async(std::launch::async, c.step, folder.path());
        if (result.wait_for(std::chrono::seconds{5}) != std::future_status::ready) {
            ADD_FAILURE() << "waits on what was planted";
            ::close(::open(at.c_str(), O_WRONLY | O_NONBLOCK));  // a writer frees a FIFO's reader
        }
        EXPECT_EQ(result.get(), c.expected);
        EXPECT_TRUE(c.after(folder.path(), at));
        EXPECT_EQ(testing::leftoverTemporaries(folder.path()), 0);
    }
}

// What a save killed half-way leaves goes at the next start; nothing else does.
TEST(SettingsFile, LeftoverTemporariesOfOursAloneAreSwept) {
    namespace fs = std::filesystem;
    struct Case {
        const char* legend;
        std::string name;
        bool link;  // a symbolic link to a file of the victim's
        bool swept;
    };
    const Case cases[] = {
        {"a save's leftover", "Korvane.ini.0123456789ab.tmp", false, true},
        {"a records save's leftover", "WitsRecords.ini.00000000ffff.tmp", false, true},
        {"a link under such a name", "Korvane.ini.0123456789ab.tmp", true, false},
        {"capital hex digits", "Korvane.ini.0123456789AB.tmp", false, false},
        {"the old fixed name", "Korvane.ini.tmp", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        testing::writeText(folder / "victim.txt", "victim");
        if (c.link)
            fs::create_symlink(folder / "victim.txt", folder / c.name);
        else
            testing::writeText(folder / c.name, "left over");
        removeLeftoverTemporaries(folder / kSettingsFileName);
        removeLeftoverTemporaries(folder / kExtraRecordFileName);
        EXPECT_EQ(fs::exists(fs::symlink_status(folder / c.name)), !c.swept);
        EXPECT_TRUE(fs::exists(folder / "victim.txt"));
    }
}

#endif

// The clock keeps stepping both depths together under the lock; every save
// must see a pair from one step.
TEST(SettingsFile, SaveCopiesTheDepthsOfOneClockStep) {
    TempFolder folder;
    auto shared = startedState(folder);
    shared->sim.holeDepth = 100.0f;
    shared->sim.bitDepth = 0.0f;
    std::atomic<bool> stop{false};
    std::thread clock([&] {
        while (!stop) {
            withData(shared->dataMutex, kDataWait, [&] {
                shared->sim.holeDepth += 1.0f;
                shared->sim.bitDepth += 1.0f;
            });
        }
    });
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(saveSettings(*shared, folder.path()), 0);
        const auto bytes = readBytes(folder / kSettingsFileName);
        ASSERT_EQ(bytes.size(), 36u);
        float hole = 0, bit = 0;
        std::memcpy(&hole, &bytes[24], 4);  // little-endian host
        std::memcpy(&bit, &bytes[28], 4);
        EXPECT_EQ(hole - bit, 100.0f);
    }
    stop = true;
    clock.join();
}

TEST(SettingsFile, SaveStillWritesWhenTheLockIsNotReleased) {
    TempFolder folder;
    auto shared = startedState(folder);
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        std::lock_guard lock(shared->dataMutex);
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds{5});
    });
    while (!held) std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(saveSettings(*shared, folder.path()), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, kDataWait);
    release = true;
    holder.join();
    EXPECT_EQ(readBytes(folder / kSettingsFileName).size(), 36u);
}

// Truncated good files and random bytes: whatever the load makes of them, the
// table stays within its bounds and a rejected file is gone.
TEST(SettingsFile, LoadSurvivesArbitraryFiles) {
    TempFolder folder;
    std::mt19937 random(20261208);
    std::vector<uint8_t> good = header(5);
    for (int k = 0; k < 5; ++k) append(good, trackRecord("0145", 1));
    for (int i = 0; i < 1500; ++i) {
        std::vector<uint8_t> file;
        if (i % 2 == 0) {
            file.assign(good.begin(),
                        good.begin() + static_cast<long>(random() % (good.size() + 1)));
            if (!file.empty() && i % 4 == 0) file[random() % file.size()] = random() & 0xff;
        } else {
            file.resize(random() % 2300);
            for (auto& b : file) b = static_cast<uint8_t>(random());
            if (file.size() >= 36 && i % 3 == 0) {
                const uint32_t n = random() % 120;
                for (int s = 0; s < 4; ++s) file[32 + s] = static_cast<uint8_t>(n >> (8 * s));
            }
        }
        writeBytes(folder / kSettingsFileName, file);
        auto shared = startedState(folder);
        const int32_t status = loadSettings(*shared, folder.path());
        ASSERT_TRUE(status == 0 || status == 2) << "iteration " << i;
        const AuxTrackTable& t = shared->auxTracks;
        ASSERT_GE(t.auxTrackCount, 0);
        ASSERT_LE(t.auxTrackCount, kAuxTrackSlots);
        ASSERT_EQ(t.auxTrackCount, slotsInUse(*shared));
        for (int s = 0; s < kAuxTrackSlots; ++s) ASSERT_EQ(t.tag[s][kTagLength], '\0');
        ASSERT_GE(shared->link.medium, 0);
        ASSERT_LE(shared->link.medium, 2);
        ASSERT_TRUE(std::isfinite(shared->link.transmitInterval));
        ASSERT_GE(shared->link.transmitInterval, 0.5f);
        ASSERT_EQ(std::filesystem::exists(folder / kSettingsFileName), status == 0);
    }
}

// A reader that knows only the original layout: a 36-byte header, then N
// records of 21 bytes. It takes a file whose fields are in their ranges.
bool validInOriginalLayout(const std::vector<uint8_t>& bytes, int32_t& medium) {
    if (bytes.size() < 36) return false;
    const auto field = [&bytes](std::size_t at) {
        int32_t value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        return value;
    };
    float interval = 0.0f;
    std::memcpy(&interval, bytes.data() + 8, 4);
    medium = field(16);
    const int32_t interrogated = field(20);
    const int32_t count = field(32);
    return medium >= 0 && medium <= 2 && (interrogated == 0 || interrogated == 1) &&
           interval >= 0.5f && count >= 0 && count <= 100 &&
           bytes.size() >= 36 + 21 * static_cast<std::size_t>(count);
}

TEST(SettingsFile, TcpSettingsSitAfterTheTracksWhereTheOriginalLayoutEnds) {
    struct Case {
        const char* legend;
        int32_t medium;
        int32_t role;
        const char* host;
        int32_t port;
        int32_t listenFirstOctet;
    };
    const Case cases[] = {
        {"TCP server in force", kMediumTcp, kTcpServer, "", 6000, 127},
        {"TCP client in force", kMediumTcp, kTcpClient, "logger.rig", 7000, 0},
        {"UDP in force, TCP settings kept", kMediumUdp, kTcpClient, "10.0.0.9", 5001, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        auto saved = startedState(folder);
        saved->link.medium = c.medium;
        saved->link.tcpRole = c.role;
        saved->link.tcpHost = c.host;
        saved->link.tcpPort = c.port;
        saved->link.tcpListenAddress[0] = c.listenFirstOctet;
        addTrack(*saved, 0, "0824", 0.0f, 100.0f, 50.0f, 1);
        ASSERT_EQ(saveSettings(*saved, folder.path()), 0);

        std::vector<uint8_t> bytes = readBytes(folder / kSettingsFileName);
        int32_t medium = -1;
        EXPECT_TRUE(validInOriginalLayout(bytes, medium));
        EXPECT_EQ(medium, c.medium == kMediumTcp ? kMediumNone : c.medium);
        EXPECT_GT(bytes.size(), 36u + 21u) << "the block follows the track";

        auto loaded = startedState(folder);
        EXPECT_EQ(loadSettings(*loaded, folder.path()), 0);
        EXPECT_EQ(loaded->link.medium, c.medium);
        EXPECT_EQ(loaded->link.tcpRole, c.role);
        EXPECT_EQ(loaded->link.tcpHost, c.host);
        EXPECT_EQ(loaded->link.tcpPort, c.port);
        EXPECT_EQ(loaded->link.tcpListenAddress[0], c.listenFirstOctet);
        EXPECT_EQ(loaded->auxTracks.auxTrackCount, 1);

        // A block cut short is ignored; the rest of the file stands.
        bytes.pop_back();
        writeBytes(folder / kSettingsFileName, bytes);
        auto cut = startedState(folder);
        EXPECT_EQ(loadSettings(*cut, folder.path()), 0);
        EXPECT_EQ(cut->link.medium, c.medium == kMediumTcp ? kMediumNone : c.medium);
        EXPECT_EQ(cut->link.tcpPort, kDefaultTcpPort);
        EXPECT_EQ(cut->auxTracks.auxTrackCount, 1);
    }
}

}  // namespace
}  // namespace korvane
