#include "app/application.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "app/settings_file.h"
#include "links/link_control.h"
#include "platform/file_replacement.h"
#include "platform/instance_lock.h"
#include "simulation/simulation_clock.h"
#include "state/shared_state.h"
#include "tables/extra_record_file.h"

namespace korvane {

namespace {

// The clock looks for a stop request every 50 ms; this is ample.
constexpr auto kClockStopWait = std::chrono::milliseconds{1000};

}  // namespace

void FrontEnd::saveFailed(const std::string& text) {
    std::fprintf(stderr, "Korvane: %s\n", text.c_str());
}

int runApplication(SharedState& shared, LinkControl& control, FrontEnd& frontEnd,
                   const ApplicationOptions& options) {
    std::optional<InstanceLock> lock;
    if (!options.instanceName.empty()) {
        lock = InstanceLock::acquire(options.instanceName);
        if (!lock) {
            frontEnd.alreadyRunning();
            return 0;
        }
        if (std::function<void()> called = frontEnd.whenCalled())
            lock->listenForCalls(std::move(called));
    }

    // The lock is ours, so no other copy is saving: what a save killed
    // half-way left behind can go.
    removeLeftoverTemporaries(options.folder / kSettingsFileName);
    removeLeftoverTemporaries(options.folder / kExtraRecordFileName);

    setStartupDefaults(shared, options.folder);
    loadSettings(shared, options.folder);  // a damaged file has already fallen back to defaults
    frontEnd.settingsLoaded();
    if (options.startClock) startClock(shared);

    int exitCode = frontEnd.run(options.linkDelay, [&shared, &control, &frontEnd] {
        // Only this thread writes medium, so it reads it unlocked.
        startLink(shared, control, frontEnd.linkUi(), shared.link.medium);
    });

    // A link or clock that does not stop in time is left to end with the
    // process: the operator's settings matter more than a tidy end.
    stopLink(control);
    if (options.startClock) stopClock(shared, kClockStopWait);
    if (!frontEnd.keepsSettings()) return exitCode;
    std::string why;
    if (saveSettings(shared, options.folder, &why) != 0) {
        frontEnd.saveFailed(std::string(kSettingsFileName) +
                            " could not be saved: " + (why.empty() ? "a write failed" : why));
        exitCode = kExitSaveFailed;
    }
    return exitCode;
}

}  // namespace korvane
