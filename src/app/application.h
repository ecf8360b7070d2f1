#pragma once

// app/: the top of the core, below every front end: start-up, shut-down and the
// settings file. Plain C++ in korvane_core, written once for the desktop
// program and the headless runner.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace korvane {

struct SharedState;
struct LinkControl;
class LinkUi;

// Start-up and orderly shut-down, written once for the desktop program and
// the headless runner on every system, so the two cannot drift apart.
//
// Start-up: the single-instance lock; every shared value's start-up value and
// WitsRecords.ini; Korvane.ini; the front end's own set-up (the window); the
// simulation clock; after a short lead, the link for the loaded medium.
// Shut-down, once the front end's run ends: the link and the clock stop, then
// Korvane.ini is saved, so the saved depths come from a clock at rest and the
// saved medium is the state of the link.
struct ApplicationOptions {
    std::filesystem::path folder;          // where the files live; empty: the working directory
    std::string instanceName = "Korvane";  // the single-instance lock; empty: no guard
    bool startClock = true;
    // The clock runs this long before the link starts, as the window paints.
    std::chrono::milliseconds linkDelay{500};
};

// What differs between the front ends.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Another copy holds the lock; the program then ends with 0, touching no file.
    virtual void alreadyRunning() = 0;
    // What to do when a later copy calls this one (InstanceLock::callHolder),
    // or nothing; it runs on a thread of the lock's own, for as long as the
    // process lasts, so it captures nothing that the run destroys.
    virtual std::function<void()> whenCalled() { return {}; }
    // Korvane.ini is loaded and no other thread runs yet.
    virtual void settingsLoaded() {}
    // Where startLink reports.
    virtual LinkUi& linkUi() = 0;
    // Calls startLink once `delay` has passed, then runs until the operator
    // (or the system) ends the program; returns the exit code.
    virtual int run(std::chrono::milliseconds delay, const std::function<void()>& startLink) = 0;
    // False when the run ended without the operator's say (the link it was
    // given could not start): the settings file is then left as it was.
    virtual bool keepsSettings() const { return true; }
    // The save at the end failed; `text` says why, for the operator. The
    // program then ends with kExitSaveFailed.
    virtual void saveFailed(const std::string& text);
};

inline constexpr int kExitSaveFailed = 1;

// The whole life of the program; returns the exit code (0 when another copy
// runs, kExitSaveFailed when the settings could not be saved, else what the
// front end's run returned).
int runApplication(SharedState& shared, LinkControl& control, FrontEnd& frontEnd,
                   const ApplicationOptions& options);

}  // namespace korvane
