#include "app/settings_file.h"

#include <system_error>

#include "app/settings_codec.h"
#include "platform/file_prefix.h"
#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "tables/binary_file.h"
#include "tables/extra_record_file.h"

namespace korvane {

namespace {

// loadSettings' status when there is no file to decode.
constexpr int32_t kNoFile = 1;

std::filesystem::path settingsPath(const std::filesystem::path& folder) {
    return folder / kSettingsFileName;
}

}  // namespace

void setStartupDefaults(SharedState& shared, const std::filesystem::path& folder) {
    shared.link.comPort = 1;
    shared.link.baudIndex = 1;  // 9600: neither is kept in Korvane.ini
    setDefaultLink(shared);

    clearAuxTracks(shared.auxTracks);
    shared.sim.transmitExtraRecords.store(0);
    shared.sim.clockState.store(kClockRunning);

    loadExtraRecords(shared.extraRecords, folder);
}

int32_t loadSettings(SharedState& shared, const std::filesystem::path& folder) {
    const std::filesystem::path path = settingsPath(folder);
    const FilePrefix file = readFilePrefix(path, kLargestSettingsFile);
    if (file.result != FileRead::read) {
        // A regular file that cannot be opened is deleted like a damaged one,
        // or no save could ever replace it; a FIFO or device is none of ours.
        std::error_code ignored;  // a delete that fails is harmless
        if (file.result == FileRead::unreadable) std::filesystem::remove(path, ignored);
        setDefaultLink(shared);
        return kNoFile;
    }
    // Runs before any other thread exists, so it takes no lock.
    const SettingsRead status = decodeSettings(file.bytes, shared);
    if (status != SettingsRead::ok) {
        std::error_code ignored;  // deleting a missing file is harmless
        std::filesystem::remove(path, ignored);
    }
    return static_cast<int32_t>(status);
}

int32_t saveSettings(SharedState& shared, const std::filesystem::path& folder, std::string* why) {
    // The clock and link threads may still run: copy under the lock so the two
    // depths come from the same clock step. If the lock cannot be had in time,
    // copy without it: the process is about to end, and losing the operator's
    // settings would be worse than depths from two neighbouring steps.
    SettingsImage image;
    if (!withData(shared.dataMutex, kDataWait, [&] { image = encodeSettings(shared); }))
        image = encodeSettings(shared);

    ReplacementFile file(settingsPath(folder));
    const auto failed = [&](SettingsWrite code) {
        if (why) *why = file.failure();
        return static_cast<int32_t>(code);
    };
    if (!file.isOpen()) return failed(SettingsWrite::notCreated);

    const SettingsWrite status = writeSettings(image, file);
    switch (file.commit()) {
        case ReplacementFile::Commit::replaced:
            return status == SettingsWrite::ok ? 0 : failed(status);
        case ReplacementFile::Commit::writeFailed:
            return failed(status == SettingsWrite::ok ? SettingsWrite::intField : status);
        case ReplacementFile::Commit::renameFailed:
            return failed(SettingsWrite::notCreated);
    }
    return static_cast<int32_t>(status);
}

}  // namespace korvane
