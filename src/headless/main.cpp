// korvane-headless: the simulator without a window, for receivers under test
// on machines without a desktop. It starts and ends like the desktop program
// (the same application core); an end request from the system (SIGINT,
// SIGTERM, SIGHUP; Ctrl+C or a closed console on Windows) takes the place of
// File, Exit.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "control/control_channel.h"
#include "control/control_host.h"
#include "control/scenario.h"
#include "control/scenario_player.h"
#include "faults/fault_counts.h"
#include "faults/fault_plan.h"
#include "headless/echo_text.h"
#include "headless/headless_options.h"
#include "headless/main_tasks.h"
#include "headless/output_queue.h"
#include "headless/report_lines.h"
#include "korvane_version.h"
#include "links/link_control.h"
#include "links/recorded_source.h"
#include "platform/end_requests.h"
#include "platform/ipv4_address.h"
#include "platform/local_time.h"
#include "replay/recorder.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

// Room for a few hundred frames while a reader of --echo does not read.
constexpr std::size_t kEchoQueueBytes = 256 * 1024;
constexpr std::size_t kMessageQueueBytes = 64 * 1024;
// What is still queued at the end gets this long to reach the reader.
constexpr auto kFinalDrain = std::chrono::milliseconds{200};
// How often a second of many connections is looked at to be summed up.
constexpr auto kReportTick = std::chrono::milliseconds{100};
// The link the run was given could not start.
constexpr int kExitLinkFailed = 1;
// A recording that cannot play or a file that may not be recorded over: the
// run stops before its link starts, as for a command line it cannot read.
constexpr int kExitCannotPlayOrRecord = 2;

// Every line the runner prints goes through a queue: a stalled terminal or
// pipe must never hold up a link or the end of the program.
OutputQueue& messages() {
    static auto& queue = *new OutputQueue(stderr, kMessageQueueBytes);
    return queue;
}

OutputQueue& echoOutput() {
    static auto& queue = *new OutputQueue(stdout, kEchoQueueBytes);
    return queue;
}

// Every line starts with the local time, so a line can be matched with what a
// receiver logged.
std::string stamped(const std::string& lines) {
    const std::string stamp = localClockText(std::chrono::system_clock::now()) + " ";
    std::string out;
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size() - 1);
        out += stamp;
        out.append(lines, start, end + 1 - start);
        start = end + 1;
    }
    return out;
}

ReportLines& report() {
    static auto& lines = *new ReportLines([](std::string line) { messages().post(stamped(line)); });
    return lines;
}

// Ends each second of many connections on time, even when no more come.
void startReportTicks() {
    std::thread([] {
        for (;;) {
            std::this_thread::sleep_for(kReportTick);
            report().tick();
        }
    }).detach();
}

class StderrLinkUi : public LinkUi {
public:
    void showLinkError(const std::string& text) override { report().message(text); }
    void setTitle(const std::string& title) override { report().title(title); }
};

class EchoObserver : public LinkObserver {
public:
    explicit EchoObserver(bool timestamps) : timestamps_(timestamps) {}
    void frameSent(std::string_view frame, std::string_view peer, std::string_view mark) override {
        post(echoText(frame, '>', peer, mark));
    }
    void dataReceived(std::string_view data, std::string_view peer) override {
        post(echoText(data, '<', peer));
    }

private:
    void post(std::string text) { echoOutput().post(timestamps_ ? stamped(text) : text); }
    bool timestamps_;
};

// What the control channel asks of the runner: link commands on the main
// thread, File, Exit as an end request, and playing and recording as the
// options do, except that a play ends by going back to the rig.
class HeadlessFrontEnd : public FrontEnd, public ControlHost {
public:
    HeadlessFrontEnd(SharedState& shared, LinkControl& control, const HeadlessOptions& options)
        : shared_(shared), control_(control), options_(options) {}

    void alreadyRunning() override {
        messages().post(stamped("An Instace of Korvane is Already Running!\n"));
    }

    void settingsLoaded() override {
        // Options override the loaded settings as the Setup dialog would.
        applyHeadlessOptions(options_, shared_.link);
        if (shared_.link.medium == kMediumNone)
            report().message(
                "No link: choose one with --udp, --serial, --tcp-listen or --tcp-connect");
        control_.onNews = [this](const std::string& note, NewsKind kind) {
            report().news(note, kind, linkTitle(control_));
        };
        // Before anything is opened: a refused run leaves no trace.
        if (options_.faults.on(FaultKind::disconnect) && shared_.link.medium != kMediumTcp)
            setupError_ = "--fault " + faultText(options_.faults, FaultKind::disconnect) +
                          ": disconnect is for TCP links only (--tcp-listen or --tcp-connect)";
        if (options_.play && setupError_.empty()) setupError_ = startPlaying(*options_.play);
        if (options_.record && setupError_.empty()) setupError_ = startRecording(*options_.record);
        if (options_.clockScale) shared_.sim.clockScale.store(*options_.clockScale);
        control_.clockScale = &shared_.sim.clockScale;
        if (setupError_.empty() && (options_.control || options_.scenario)) startControl();
    }

    LinkUi& linkUi() override { return ui_; }

    bool onMainThread(const std::function<void()>& task) override {
        return tasks_.runAndWait(task);
    }
    void quit() override { requestEnd(); }
    std::string play(const std::string& path, const PlayOptions& options) override {
        if (options.asFastAsTaken && control_.runningInterrogated.load())
            return "speed max plays only in streaming mode";
        OpenedRecording opened = openRecording(path, options);
        if (!opened.recording) return opened.error;
        for (const std::string& note : opened.notes) report().message(note);
        std::shared_ptr<RecordedSource> recording = std::move(opened.recording);
        recording->onEnded = [this, recording = recording.get()] {
            const std::string played = playedText(*recording);
            report().message(played);
            if (channel_) channel_->events().played(played);
            control_.feed.stopPlaying();
        };
        control_.feed.play(std::move(recording));
        return {};
    }
    void stopPlaying() override { control_.feed.stopPlaying(); }
    std::string record(const std::string& path) override {
        auto opened = Recorder::open(path, false);
        if (auto* refusal = std::get_if<RecorderRefusal>(&opened)) return refusal->text;
        stopRecording();
        control_.recording.start(std::move(std::get<std::unique_ptr<Recorder>>(opened)));
        return {};
    }

    int run(std::chrono::milliseconds delay, const std::function<void()>& startLink) override {
        if (!setupError_.empty()) {
            messages().post("korvane-headless: " + setupError_ + "\n");
            linkFailed_ = true;
            return kExitCannotPlayOrRecord;
        }
        std::this_thread::sleep_for(delay);
        const int32_t requested = shared_.link.medium;
        if (options_.faults.anyOn()) startFaults();
        startLink();
        // A run that was given a link it cannot have would only idle.
        if (requested != kMediumNone && shared_.link.medium == kMediumNone) {
            linkFailed_ = true;
            return kExitLinkFailed;
        }
        if (scenario_) scenario_->start();
        tasks_.runUntilEndRequest();
        if (scenario_) scenario_->stop();
        return 0;
    }

    bool keepsSettings() const override { return !linkFailed_; }
    void saveFailed(const std::string& text) override { report().message(text); }

    // What went wrong with the recording, said once at the end.
    void stopRecording() override {
        const std::shared_ptr<Recorder> recorder = control_.recording.stop();
        if (!recorder) return;
        recorder->stop();
        if (const std::string problem = recorder->problem(); !problem.empty())
            report().message(problem);
        if (const uint64_t dropped = recorder->dropped())
            report().message("The recording lost " + std::to_string(dropped) +
                             (dropped == 1 ? " line" : " lines"));
    }

    void reportFaults() {
        const FaultTally tally = control_.faults.counts.all();
        const bool any = std::any_of(tally.begin(), tally.end(), [](long long n) { return n > 0; });
        if ((faultsStarted_ || any) && !linkFailed_)
            report().message("Faults applied: " + tallyText(control_.faults.counts.all()));
    }

private:
    // Before the link starts: the channel's events go between the links and
    // their observer and news. A scenario is read (and its commands checked)
    // now, and runs once the link has started.
    void startControl() {
        channel_.emplace(shared_, control_, *this);
        if (options_.control) {
            if (const std::string why = channel_->open(*options_.control); !why.empty()) {
                setupError_ = "--control: " + why;
                return;
            }
            if (!options_.control->standardInput)
                report().message(
                    "Control channel on " +
                    formatAddress({{options_.control->address[0], options_.control->address[1],
                                    options_.control->address[2], options_.control->address[3]},
                                   0}) +
                    ":" + std::to_string(channel_->port()));
        }
        if (!options_.scenario) return;
        ParsedScenario parsed = readScenarioFile(*options_.scenario, [this](std::string_view line) {
            return channel_->commands().check(line);
        });
        if (!parsed.error.empty()) {
            setupError_ = "--scenario: " + parsed.error;
            return;
        }
        scenario_.emplace(ScenarioRun(std::move(parsed.lines)), shared_, control_,
                          channel_->commands(), *this);
    }

    // Said with the seed, so that the run can be repeated fault for fault.
    void startFaults() {
        FaultPlan plan = options_.faults;
        plan.seed = options_.faultSeed ? *options_.faultSeed : drawFaultSeed();
        std::string faults;
        for (const std::string& fault : faultTexts(plan))
            faults += (faults.empty() ? "" : ", ") + fault;
        const std::string seed = std::to_string(plan.seed);
        report().message("Faults on: " + faults + " (seed " + seed + "; repeat with --fault-seed " +
                         seed + ")");
        control_.faults.set(plan);
        faultsStarted_ = true;
    }

    // Empty, or why the run cannot start.
    std::string startPlaying(const std::string& path) {
        if (options_.playing.asFastAsTaken && shared_.link.interrogated)
            return "--speed max plays only in streaming mode";
        OpenedRecording opened = openRecording(path, options_.playing);
        if (!opened.recording) return opened.error;
        for (const std::string& note : opened.notes) report().message(note);
        std::shared_ptr<RecordedSource> recording = std::move(opened.recording);
        // Called on the link thread, which holds the recording meanwhile.
        recording->onEnded = [recording = recording.get()] {
            report().message(playedText(*recording));
            requestEnd();
        };
        control_.feed.play(std::move(recording));
        return {};
    }

    std::string startRecording(const std::string& path) {
        auto opened = Recorder::open(path, options_.recordOverwrite);
        if (auto* refusal = std::get_if<RecorderRefusal>(&opened))
            return refusal->text +
                   (refusal->exists ? " (give --record-overwrite to replace it)" : "");
        control_.recording.start(std::move(std::get<std::unique_ptr<Recorder>>(opened)));
        return {};
    }

    SharedState& shared_;
    LinkControl& control_;
    const HeadlessOptions& options_;
    std::string setupError_;
    StderrLinkUi ui_;
    bool linkFailed_ = false;
    bool faultsStarted_ = false;
    MainTasks tasks_;
    std::optional<ControlChannel> channel_;
    std::optional<ScenarioPlayer> scenario_;
};

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

    // The clock and link threads may outlive run() if they fail to stop, so
    // what they use is never destroyed (held by statics, so that leak
    // checkers see it is meant to live for the whole process).
    static auto& shared = *new SharedState;
    static auto& control = *new LinkControl;
    static auto& echo = *new EchoObserver(options.timestamps);
    if (options.echo) control.observer = &echo;
    startReportTicks();

    HeadlessFrontEnd frontEnd(shared, control, options);
    const int exitCode = runApplication(shared, control, frontEnd, ApplicationOptions{});
    frontEnd.stopRecording();
    frontEnd.reportFaults();
    endRequestHandled();
    // A writer stuck on a reader that does not read must not keep the
    // process alive, and the normal exit would wait for it (it flushes the
    // streams the writers hold): give the queues a moment, then leave.
    messages().drain(kFinalDrain);
    echoOutput().drain(kFinalDrain);
    std::_Exit(exitCode);
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) {
    // Before any other thread starts, so only the main thread takes them.
    korvane::holdEndRequests();
    return korvane::run(std::vector<std::string>(argv + 1, argv + argc));
}
