#include "links/link_runner.h"

#include <system_error>
#include <thread>

#include "links/feed.h"
#include "links/link_control.h"
#include "links/simulated_rig.h"
#include "links/transmit_pause.h"
#include "links/transport.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

// A frame every pause, the pause read afresh after every beat so a new
// interval applies from the next frame; while the mutex is busy the last
// value stands.
void stream(SharedState& shared, LinkControl& control, Transport& transport, FrameSource& source,
            float interval) {
    const LinkTiming& timing = control.timing;
    const auto pause = [&] {
        withData(shared.dataMutex, timing.dataWait,
                 [&] { interval = shared.link.transmitInterval; });
        return transmitPause(interval, timing.shortestPause);
    };
    LinkClock::time_point due = LinkClock::now() + pause();
    FramePieces pieces;
    for (;;) {
        // A source with a schedule of its own (a recording) sets the beat. A
        // long wait is cut short now and then, for a recording may start.
        // A frame due at once waits while the medium is still taking the last.
        const auto now = LinkClock::now();
        const auto look = now + timing.feedLook;
        auto wanted = source.due().value_or(due);
        const bool held = source.asFastAsTaken() && !transport.readyForMore();
        if (held) wanted = look;
        Wake wake = transport.waitUntil(std::min(wanted, look));
        if (wake == Wake::stop) break;
        const bool early = wanted >= look && LinkClock::now() < wanted;
        if ((wake == Wake::beat || wake == Wake::idleBeat) &&
            (early || (held && !transport.readyForMore())))
            wake = Wake::none;
        if (wake == Wake::beatNow) wake = Wake::beat;
        // A frame asked for beside the beat goes to every receiver; the beat stands.
        if (wake == Wake::none && control.sendNow.exchange(false) &&
            source.framesNow(pieces, Ask::beat))
            transport.send(pieces, Wake::beat);
        // A frame that cannot be had this time is skipped; the beat goes on.
        // Faults are made frame by frame: no bursts while they are on.
        const Ask beat = source.asFastAsTaken() && transport.joinsFrames() && !control.faults.on()
                             ? Ask::burst
                             : Ask::beat;
        if ((wake == Wake::beat || wake == Wake::greet) &&
            source.framesNow(pieces, wake == Wake::beat ? beat : Ask::greet))
            transport.send(pieces, wake);
        if (wake == Wake::idleBeat) source.beatMissed();
        if (wake == Wake::beat || wake == Wake::idleBeat) {
            const auto now = LinkClock::now();
            const auto next = pause();
            if (transport.beat() == Beat::afterSend) {
                due = now + next;
            } else {
                // An early beat (a receiver has come back) starts the beat afresh.
                if (due > now) due = now;
                due += next;
                if (due <= now) due = now + next;
            }
        }
        transport.endPass();
    }
}

// Every request owed is answered from one ask of the source; the stop event is
// looked at once per pass, without waiting.
void answer(LinkControl& control, Transport& transport, FrameSource& source) {
    FramePieces pieces;
    for (;;) {
        if (transport.waitForRequests()) {
            if (source.framesNow(pieces, Ask::request))
                transport.answer(pieces);
            else
                transport.noFrame();
        }
        transport.endPass();
        if (control.linkStopEvent.isSet()) break;
    }
}

}  // namespace

void runLink(SharedState& shared, LinkControl& control, Transport& transport, FrameSource& source) {
    LinkOpen opened = transport.open();
    // Written before the report, read by startLink only after it.
    control.failureReason = std::move(opened.reason);
    if (!opened.up) {
        reportLinkStatus(control, kLinkDown);
        return;
    }
    reportLinkStatus(control, kLinkUp);
    transport.started();
    if (opened.interrogated)
        answer(control, transport, source);
    else
        stream(shared, control, transport, source, opened.interval);
    transport.close();
    reportLinkStatus(control, kLinkDown);
}

void runLink(SharedState& shared, LinkControl& control, Transport& transport) {
    SimulatedRig rig(shared, control.timing.dataWait);
    FeedSource feed(control.feed, rig);
    runLink(shared, control, transport, feed);
}

bool launchLink(SharedState& shared, LinkControl& control, LinkBody body) {
    control.linkAckEvent.reset();
    control.linkStopEvent.reset();
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

bool stopLinkThread(LinkControl& control, std::chrono::milliseconds timeout) {
    if (!control.linkEnded) return true;
    control.linkAckEvent.reset();
    control.linkStopEvent.set();
    if (!control.linkEnded->waitFor(timeout)) return false;
    control.linkEnded.reset();
    return true;
}

}  // namespace korvane
