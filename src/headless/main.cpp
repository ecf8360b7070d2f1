// korvane-headless: the simulator without a window, for receivers under test
// on machines without a desktop. Start-up follows the desktop program, minus
// the windows; SIGINT, SIGTERM or SIGHUP takes the place of File, Exit.

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "headless/headless_options.h"
#include "korvane_version.h"
#include "links/link_control.h"
#include "platform/instance_lock.h"
#include "shell/settings_file.h"
#include "simulation/shared_state.h"
#include "simulation/simulation_clock.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

// The desktop program lets the clock run a moment before the link starts.
constexpr auto kClockLead = 500ms;
// How long the end waits for the clock thread to leave (it steps every 500 ms).
constexpr auto kClockStopWait = 2000ms;

class StderrLinkUi : public LinkUi {
public:
    void showLinkError(const std::string& text) override {
        std::fprintf(stderr, "Korvane: %s\n", text.c_str());
    }
    void setTitle(const std::string& title) override {
        std::fprintf(stderr, "%s\n", title.c_str());
    }
};

// Ending quietly: the settings are already saved, nothing more to report.
class SilentLinkUi : public LinkUi {
public:
    void showLinkError(const std::string&) override {}
    void setTitle(const std::string&) override {}
};

class EchoObserver : public LinkObserver {
public:
    void frameSent(std::string_view frame) override { print(echoText(frame, '>')); }
    void dataReceived(std::string_view data) override { print(echoText(data, '<')); }

private:
    void print(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    std::mutex mutex_;
};

void stopClock(SharedState& shared) {
    shared.sim.clockState.store(kClockStopRequested);
    const auto deadline = std::chrono::steady_clock::now() + kClockStopWait;
    while (shared.sim.clockState.load() != kClockStopped &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
}

int run(const std::vector<std::string>& arguments) {
    const ParsedOptions parsed = parseHeadlessOptions(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "korvane-headless: %s\n%s", parsed.error.c_str(), kHeadlessUsage);
        return 2;
    }
    const HeadlessOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(kHeadlessUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("korvane-headless %s\n", kVersion);
        return 0;
    }

    const std::optional<InstanceLock> lock = InstanceLock::acquire("Korvane");
    if (!lock) {
        std::fputs("An Instace of Korvane is Already Running!\n", stderr);
        return 0;
    }

    // Every thread started from here on inherits the blocked end signals, so
    // only the sigwait below ever takes them: no work runs in a signal handler.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    // A closed terminal or ended ssh session is an exit too, settings saved.
    sigaddset(&endSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    // A reader of --echo that goes away must not end the simulator unsaved.
    std::signal(SIGPIPE, SIG_IGN);

    // The clock and link threads may outlive the end of run() if they fail to
    // stop, so what they use is never destroyed (held by statics, so that
    // leak checkers see it is meant to live for the whole process).
    static auto& shared = *new SharedState;
    static auto& control = *new LinkControl;
    static auto& echo = *new EchoObserver;
    if (options.echo) control.observer = &echo;
    StderrLinkUi ui;

    setStartupDefaults(shared);
    loadSettings(shared);
    applyHeadlessOptions(options, shared.link);
    startClock(shared);
    std::this_thread::sleep_for(kClockLead);
    startLink(shared, control, ui, shared.link.medium);

    int signal = 0;
    while (sigwait(&endSignals, &signal) != 0) {
    }

    // Depths stop moving before they are saved; the saved medium is the state
    // of the link, as at a File, Exit.
    stopClock(shared);
    saveSettings(shared);
    SilentLinkUi quiet;
    startLink(shared, control, quiet, kMediumNone);
    return 0;
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) {
    return korvane::run(std::vector<std::string>(argv + 1, argv + argc));
}
