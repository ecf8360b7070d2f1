#include "links/link_control.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "links/rs232_links.h"
#include "links/tcp_links.h"
#include "links/udp_links.h"
#include "simulation/shared_state.h"

namespace korvane {

namespace {

using namespace std::chrono_literals;

// A UDP or TCP link needs no hardware but may wait for the data mutex; a
// serial port either opens promptly or not at all.
constexpr auto kNetworkStartTimeout = 10000ms;
constexpr auto kRs232StartTimeout = 5000ms;
constexpr auto kStopTimeout = 5000ms;

using LinkBody = void (*)(SharedState&, LinkControl&);

constexpr const char* kNotConnected = "Korvane (Not Connected)";

std::string openErrorText(int32_t requestedMedium, const LinkSettings& link,
                          const std::string& reason) {
    std::string text;
    if (requestedMedium == kMediumRs232)
        text = "Error Opening COM port " + std::to_string(link.comPort);
    else if (requestedMedium == kMediumTcp)
        text = "TCP Error on " + tcpEndpointText(link);
    else
        text = "UDP Error on " + peerText(link.ipAddress);
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

// True when the thread started last has ended or ends within timeout after
// being asked to.
bool stopLinkThread(LinkControl& control, std::chrono::milliseconds timeout) {
    if (!control.linkEnded) return true;
    control.linkAckEvent.reset();
    control.linkStopEvent.set();
    if (!control.linkEnded->waitFor(timeout)) return false;
    control.linkEnded.reset();
    return true;
}

// False when no thread could be had (the system is out of threads); that
// counts as a link that could not come up.
bool launch(SharedState& shared, LinkControl& control, LinkBody body) {
    auto ended = std::make_shared<ManualResetEvent>();
    try {
        std::thread([&shared, &control, body, ended] {
            body(shared, control);
            ended->set();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    control.linkEnded = ended;
    return true;
}

// The thread body for a medium in the mode and role the settings give;
// nullptr for no link.
LinkBody bodyFor(int32_t medium, const LinkSettings& link) {
    switch (medium) {
        case kMediumUdp:
            return link.interrogated ? udpInterrogatedLink : udpStreamingLink;
        case kMediumRs232:
            return link.interrogated ? rs232InterrogatedLink : rs232StreamingLink;
        case kMediumTcp:
            return link.tcpRole == kTcpClient ? tcpClientLink : tcpServerLink;
        default:
            return nullptr;
    }
}

}  // namespace

std::string linkTitle(const LinkControl& control) {
    const int32_t medium = control.runningMedium.load();
    const int32_t interrogated = control.runningInterrogated.load();
    if (control.health.load() == LinkHealth::deviceGone) return kNotConnected;
    if (medium == kMediumUdp)
        return interrogated ? "Korvane (Interrogated UDP)" : "Korvane (Streaming UDP)";
    if (medium == kMediumRs232)
        return interrogated ? "Korvane (Interrogated RS-232)" : "Korvane (Streaming RS-232)";
    if (medium == kMediumTcp) {
        std::string title = interrogated ? "Korvane (Interrogated TCP" : "Korvane (Streaming TCP";
        const int32_t receivers = control.receivers.load();
        if (control.health.load() == LinkHealth::reconnecting)
            title += ", reconnecting";
        else if (control.health.load() == LinkHealth::waitingForPort)
            title += ", waiting for port " + std::to_string(control.localPort.load());
        else if (receivers >= 0)
            title +=
                ", " + std::to_string(receivers) + (receivers == 1 ? " receiver" : " receivers");
        return title + ")";
    }
    return kNotConnected;
}

bool stopLink(LinkControl& control) {
    if (!stopLinkThread(control, kStopTimeout)) return false;
    control.linkActive = 0;
    return true;
}

int32_t startLink(SharedState& shared, LinkControl& control, LinkUi& ui, int32_t requestedMedium) {
    LinkSettings& link = shared.link;

    // Stop the running link. A thread that came up only after its start was
    // given up, or one still on its way out, is stopped the same way: no new
    // thread may start while an older one can still signal.
    const bool running = control.linkActive == 1 && bodyFor(link.medium, link) != nullptr;
    if ((running || control.linkEnded) && !stopLinkThread(control, kStopTimeout)) {
        ui.setTitle(kNotConnected);
        ui.showLinkError("Error Terminating Communications Thread!");
        return 0;
    }

    control.linkActive = 0;
    control.linkStopEvent.reset();
    control.runningMedium.store(kMediumNone);

    if (const LinkBody body = bodyFor(requestedMedium, link)) {
        control.linkAckEvent.reset();
        // Set before the thread runs, so its first news is named rightly.
        control.runningMedium.store(requestedMedium);
        control.runningInterrogated.store(link.interrogated);
        control.health.store(LinkHealth::working);
        control.receivers.store(-1);
        control.localPort.store(0);
        control.failureReason.clear();
        const bool acknowledged =
            launch(shared, control, body) &&
            control.linkAckEvent.waitFor(requestedMedium == kMediumRs232 ? kRs232StartTimeout
                                                                         : kNetworkStartTimeout);
        if (acknowledged && control.linkStatus.load() == kLinkUp) {
            control.linkActive = 1;
            link.medium = requestedMedium;
            // A server whose port is taken is up, waiting for it: said once here.
            if (control.health.load() == LinkHealth::waitingForPort)
                ui.showLinkError(openErrorText(requestedMedium, link, control.failureReason));
        } else {
            // A thread that is late rather than failed would otherwise run on
            // unseen; it leaves as soon as it looks at the stop event. Only a
            // thread that has reported may be asked why.
            control.linkStopEvent.set();
            const std::string reason = acknowledged ? control.failureReason : std::string();
            ui.showLinkError(openErrorText(requestedMedium, link, reason));
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
