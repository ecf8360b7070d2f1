#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/instance_lock.h"
#include "shell/start_options.h"

namespace korvane {

struct SharedState;
struct LinkControl;
class MainWindow;
class TrayIcon;

// Tells the operator that another copy runs (error icon, no caption: the
// caption is not loaded yet).
void showAlreadyRunning();

// The single-instance guard: nothing when another copy runs, which is then
// asked to show its window, and the operator is told.
std::optional<InstanceLock> takeInstanceLock();

struct SessionOptions {
    std::filesystem::path folder;  // where Korvane.ini lives; empty: the working directory
    bool singleInstance = true;
    // End requests from the system (holdEndRequests already called) end the
    // program like File, Exit.
    bool watchEndRequests = false;
    bool startClock = true;
    // Lets the window paint before a link that may block the main thread for
    // seconds is started.
    std::chrono::milliseconds linkDelay{500};
    // A failed save at the end is shown in a box as well as on stderr.
    bool showSaveFailure = true;
    // The command line's control channel, scenario and clock scale.
    StartOptions start;
};

// The exit status of a start refused (a malformed option, no display, a
// control channel that cannot listen, a scenario with an error), said on stderr.
inline constexpr int kStartRefused = 2;

// The desktop program's whole run (see runApplication): start-up, the main
// window with its pages, the event loop until File, Exit (or an end request
// from the system, or the end of the desktop session), shut-down with the
// settings saved. Returns the exit code (1 after File, Exit; 0 when another
// copy runs; kStartRefused, the settings left as they were, when the control
// channel or the scenario cannot start). `started` sees the window once it is
// shown.
int runSession(SharedState& shared, LinkControl& control, TrayIcon& tray,
               const SessionOptions& options, const std::function<void(MainWindow&)>& started = {});

}  // namespace korvane
