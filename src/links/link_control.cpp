#include "links/link_control.h"

#include <charconv>

#include "links/link_runner.h"
#include "links/media.h"
#include "links/recorded_source.h"
#include "state/link_settings.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

constexpr const char* kNotConnected = "Korvane (Not Connected)";

std::string openErrorText(const Medium& medium, const LinkSettings& link,
                          const std::string& reason) {
    std::string text = medium.openError(link);
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

std::string playingText(const RecordedSource& recording) {
    std::string text =
        " - playing " + recording.name() + " " + std::to_string(recording.percent()) + "%";
    if (const uint64_t damaged = recording.damaged()) text += ", " + skippedText(damaged);
    return text;
}

}  // namespace

std::string linkTitle(const LinkControl& control) {
    const auto playing = control.feed.playing();
    const std::string tail = playing ? playingText(*playing) : std::string();
    std::string faults = control.faults.on() ? ", faults on" : "";
    if (control.clockScale && control.clockScale->load() != 1.0) {
        char scale[32];
        const auto end = std::to_chars(scale, scale + sizeof scale, control.clockScale->load()).ptr;
        faults += ", clock x" + std::string(scale, end);
    }
    if (const std::string scenario = control.scenarioProgress.get(); !scenario.empty())
        faults += ", " + scenario;
    faults += ")";
    const Medium* medium = findMedium(control.runningMedium.load());
    if (!medium || control.health.load() == LinkHealth::deviceGone) {
        std::string title = kNotConnected;
        title.replace(title.size() - 1, 1, faults);
        return title + tail;
    }
    std::string title =
        control.runningInterrogated.load() ? "Korvane (Interrogated " : "Korvane (Streaming ";
    title += medium->title;
    if (medium->titleDetail) title += medium->titleDetail(control);
    return title + faults + tail;
}

bool stopLink(LinkControl& control) {
    if (!stopLinkThread(control, control.timing.stopTimeout)) return false;
    control.linkActive = 0;
    return true;
}

int32_t startLink(SharedState& shared, LinkControl& control, LinkUi& ui, int32_t requestedMedium) {
    LinkSettings& link = shared.link;

    // Stop the running link. A thread that came up only after its start was
    // given up, or one still on its way out, is stopped the same way: no new
    // thread may start while an older one can still signal.
    const bool running = control.linkActive == 1 && findMedium(link.medium) != nullptr;
    if ((running || control.linkEnded) && !stopLinkThread(control, control.timing.stopTimeout)) {
        ui.setTitle(kNotConnected);
        ui.showLinkError("Error Terminating Communications Thread!");
        return 0;
    }

    control.linkActive = 0;
    control.linkStopEvent.reset();
    control.runningMedium.store(kMediumNone);

    if (const Medium* medium = findMedium(requestedMedium)) {
        control.linkAckEvent.reset();
        // Set before the thread runs, so its first news is named rightly.
        control.runningMedium.store(requestedMedium);
        control.runningInterrogated.store(link.interrogated);
        control.health.store(LinkHealth::working);
        control.receivers.store(-1);
        control.localPort.store(0);
        control.failureReason.clear();
        const bool acknowledged =
            launchLink(shared, control, medium->body(link)) &&
            control.linkAckEvent.waitFor(control.timing.*medium->startTimeout);
        if (acknowledged && control.linkStatus.load() == kLinkUp) {
            control.linkActive = 1;
            link.medium = requestedMedium;
            // A server whose port is taken is up, waiting for it: said once here.
            if (control.health.load() == LinkHealth::waitingForPort)
                ui.showLinkError(openErrorText(*medium, link, control.failureReason));
        } else {
            // A thread that is late rather than failed would otherwise run on
            // unseen; it leaves as soon as it looks at the stop event. Only a
            // thread that has reported may be asked why.
            control.linkStopEvent.set();
            const std::string reason = acknowledged ? control.failureReason : std::string();
            ui.showLinkError(openErrorText(*medium, link, reason));
            link.medium = kMediumNone;
            control.runningMedium.store(kMediumNone);
        }
    } else {
        link.medium = kMediumNone;
    }

    ui.setTitle(linkTitle(control));
    return 1;
}

}  // namespace korvane
