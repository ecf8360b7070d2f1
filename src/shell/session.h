#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/instance_lock.h"

namespace korvane {

struct SharedState;
struct LinkControl;
class MainWindow;
class TrayIcon;

// The single-instance guard. When another copy runs, tells the operator
// (error icon, no caption: the caption is not loaded yet) and gives nothing;
// the caller then ends with 0 before touching any file.
std::optional<InstanceLock> takeInstanceLock();

struct SessionOptions {
    std::filesystem::path folder;  // where Korvane.ini lives; empty: the working directory
    bool startClock = true;
    // Lets the window paint before a link that may block the main thread for
    // seconds is started.
    std::chrono::milliseconds linkDelay{500};
};

// The run of the program after the shared state has its start-up values:
// loads Korvane.ini, shows the main window with its pages, starts the clock
// and, after linkDelay, the link for the loaded medium; runs the event loop
// until File, Exit; saves Korvane.ini. Returns the loop's exit code (1 after
// File, Exit). `started` sees the window once it is shown.
int runSession(SharedState& shared, LinkControl& control, TrayIcon& tray,
               const SessionOptions& options, const std::function<void(MainWindow&)>& started = {});

}  // namespace korvane
