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
#include <string>
#include <thread>
#include <vector>

#include "headless/headless_options.h"
#include "headless/output_queue.h"
#include "korvane_version.h"
#include "links/link_control.h"
#include "platform/end_requests.h"
#include "shell/application.h"
#include "simulation/shared_state.h"

namespace korvane {
namespace {

// Room for a few hundred frames while a reader of --echo does not read.
constexpr std::size_t kEchoQueueBytes = 256 * 1024;
constexpr std::size_t kMessageQueueBytes = 64 * 1024;
// What is still queued at the end gets this long to reach the reader.
constexpr auto kFinalDrain = std::chrono::milliseconds{200};

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

void printMessage(const std::string& text) {
    std::string lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines += "Korvane: " + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    messages().post(std::move(lines));
}

class StderrLinkUi : public LinkUi {
public:
    void showLinkError(const std::string& text) override { printMessage(text); }
    void setTitle(const std::string& title) override { messages().post(title + "\n"); }
};

class EchoObserver : public LinkObserver {
public:
    void frameSent(std::string_view frame, std::string_view peer) override {
        echoOutput().post(echoText(frame, '>', peer));
    }
    void dataReceived(std::string_view data, std::string_view peer) override {
        echoOutput().post(echoText(data, '<', peer));
    }
};

class HeadlessFrontEnd : public FrontEnd {
public:
    HeadlessFrontEnd(SharedState& shared, LinkControl& control, const HeadlessOptions& options)
        : shared_(shared), control_(control), options_(options) {}

    void alreadyRunning() override {
        messages().post("An Instace of Korvane is Already Running!\n");
    }

    void settingsLoaded() override {
        // Options override the loaded settings as the Setup dialog would.
        applyHeadlessOptions(options_, shared_.link);
        control_.onNews = [this](const std::string& note) {
            if (!note.empty()) printMessage(note);
            ui_.setTitle(linkTitle(linkMedium_.load(), linkInterrogated_.load(), control_));
        };
    }

    LinkUi& linkUi() override { return ui_; }

    int run(std::chrono::milliseconds delay, const std::function<void()>& startLink) override {
        std::this_thread::sleep_for(delay);
        startLink();
        // The link thread names its state from these, not from the settings
        // the main thread owns.
        linkMedium_.store(shared_.link.medium);
        linkInterrogated_.store(shared_.link.interrogated);
        waitForEndRequest();
        return 0;
    }

private:
    SharedState& shared_;
    LinkControl& control_;
    const HeadlessOptions& options_;
    StderrLinkUi ui_;
    std::atomic<int32_t> linkMedium_{kMediumNone};
    std::atomic<int32_t> linkInterrogated_{0};
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
    static auto& echo = *new EchoObserver;
    if (options.echo) control.observer = &echo;

    HeadlessFrontEnd frontEnd(shared, control, options);
    const int exitCode = runApplication(shared, control, frontEnd, ApplicationOptions{});
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
