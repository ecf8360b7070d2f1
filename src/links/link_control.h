#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "links/feed.h"
#include "links/link_faults.h"
#include "links/link_timing.h"
#include "links/recording_tap.h"
#include "platform/manual_reset_event.h"

namespace korvane {

struct SharedState;

// linkStatus values written by a link thread.
inline constexpr int32_t kLinkUp = 0;
inline constexpr int32_t kLinkDown = 2;

// Sees what a link sends and receives (the headless runner's --echo).
// Called on the link thread. `peer` names the connection for a link that
// serves several receivers at once, and is empty for the others. `mark` says
// which faults shaped the frame ("[split 3]"), on its first piece only; a
// frame a fault kept from going out comes with no bytes, only its mark.
class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void frameSent(std::string_view frame, std::string_view peer,
                           std::string_view mark) = 0;
    virtual void dataReceived(std::string_view data, std::string_view peer) = 0;
    // A receiver's gas reading, once the link has stored it.
    virtual void gasReceived(float /*value*/, std::string_view /*peer*/) {}
};

// How a link that is up is doing. A serial device that went away, or a peer
// that cannot be reached, is a normal event: the link says so, keeps trying,
// and carries on once it is back.
enum class LinkHealth : int32_t {
    working,
    deviceGone,      // the serial device went away; the port is reopened every second
    reconnecting,    // a connection to the peer is being tried again
    waitingForPort,  // a server's port is taken; listening is tried again every 2 s
};

// What a line of news is about: receivers coming and going may be many a
// second, and a front end may sum them up rather than show each.
enum class NewsKind { health, connection };

// A line of text any thread may set and read.
class GuardedText {
public:
    void set(std::string text) {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }
    std::string get() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// The only contact between startLink and the running link thread.
struct LinkControl {
    // The periods and time-outs of startLink and the links; a test may
    // shorten them before the first startLink.
    LinkTiming timing;
    LinkObserver* observer = nullptr;  // set before the first startLink, if at all
    // What the links send: the rig, or a recording while one plays.
    Feed feed;
    // Where what they send and receive is recorded, while it is.
    RecordingTap recording;
    // The faults they make on purpose, and how many they made.
    LinkFaults faults;
    // What else the title says: the rig clock's scale while it is not 1 (set
    // before the first startLink, if at all) and how far a scenario is.
    const std::atomic<double>* clockScale = nullptr;
    GuardedText scenarioProgress;
    // A frame is asked for now, beside the beat (a control channel's send):
    // a streaming link sends one within feedLook and clears it.
    std::atomic<bool> sendNow{false};
    // Called on the link thread when health or receivers change, with a line
    // for the operator (the window refreshes its title; the headless runner
    // prints the line). Set before the first startLink, if at all.
    std::function<void(const std::string& note, NewsKind kind)> onNews;
    // The medium and mode the running link started with, which it keeps
    // whatever the settings say meanwhile (Setup writes the mode at once).
    // Written by startLink only.
    std::atomic<int32_t> runningMedium{0};
    std::atomic<int32_t> runningInterrogated{0};
    std::atomic<LinkHealth> health{LinkHealth::working};
    // Receivers connected to a link that serves several; -1 for the others.
    std::atomic<int32_t> receivers{-1};
    // The port a TCP server listens on once it does (the system's choice when
    // the settings ask for port 0), or waits for; 0 for the other links.
    std::atomic<int32_t> localPort{0};
    // Why the link could not come up, in the operator's words (empty when
    // there is nothing to add). Written by the link thread before it reports
    // kLinkDown at start-up; read by startLink only after that report.
    std::string failureReason;
    ManualResetEvent linkAckEvent;
    ManualResetEvent linkStopEvent;
    std::atomic<int32_t> linkStatus{0};
    int32_t linkActive = 0;  // main thread only
    // End signal of the thread startLink started last, set once its body has
    // returned (shared with that thread, so it outlives whichever ends first).
    // startLink starts no new link while an older thread may still touch the
    // events, so a late signal is never taken for the new thread's. Main thread only.
    std::shared_ptr<ManualResetEvent> linkEnded;
};

// The link thread's side of the start and stop handshake: status, then the ack.
inline void reportLinkStatus(LinkControl& control, int32_t status) {
    control.linkStatus.store(status);
    control.linkAckEvent.set();
}

// A line of news for the front end, from the link thread.
inline void tellNews(LinkControl& control, const std::string& note,
                     NewsKind kind = NewsKind::health) {
    if (control.onNews) control.onNews(note, kind);
}

// The link thread's side of a change in health: store it, then tell the front end.
inline void reportLinkHealth(LinkControl& control, LinkHealth health, const std::string& note) {
    control.health.store(health);
    tellNews(control, note);
}

// Pass what a link thread sent or received to the recording and the
// observer, if there are any.
inline void noteSent(LinkControl& control, std::string_view frame, std::string_view peer = {},
                     std::string_view mark = {}) {
    control.recording.frameSent(frame, peer);
    if (control.observer) control.observer->frameSent(frame, peer, mark);
}
// A frame a fault kept from going out: the observer sees its mark alone.
inline void noteUnsent(LinkControl& control, std::string_view mark, std::string_view peer = {}) {
    if (control.observer) control.observer->frameSent({}, peer, mark);
}
inline void noteReceived(LinkControl& control, std::string_view data, std::string_view peer = {}) {
    control.recording.dataReceived(data, peer);
    if (control.observer) control.observer->dataReceived(data, peer);
}

inline void noteGas(LinkControl& control, float value, std::string_view peer = {}) {
    if (control.observer) control.observer->gasReceived(value, peer);
}

// What startLink needs from the user interface: the GUI shows message boxes and
// sets the window title; the headless runner prints lines; tests record them.
class LinkUi {
public:
    virtual ~LinkUi() = default;
    virtual void showLinkError(const std::string& text) = 0;  // error icon, caption "Korvane"
    virtual void setTitle(const std::string& title) = 0;
};

// The window title for the link in force, in the medium and mode it started
// with, or "Korvane (Not Connected)" when there is none or its device has
// gone. A TCP server adds how many receivers it has or the port it waits for,
// a TCP client that it is reconnecting: "Korvane (Streaming TCP, 2 receivers)",
// "Korvane (Streaming TCP, waiting for port 5001)",
// "Korvane (Interrogated TCP, reconnecting)". While a recording plays, the
// title says which and how far: "... - playing well7.csv 42%", and how many
// damaged lines it skipped, if any.
std::string linkTitle(const LinkControl& control);

// Stops the running link thread, if there is one, and leaves medium as it
// is: at exit the settings keep the state of the link. False when the thread
// did not stop in time. Main thread only.
bool stopLink(LinkControl& control);

// Stops the running link, starts the one for requestedMedium (0 none, 1 UDP,
// 2 RS-232, 3 TCP) and names the state in the title. Returns 0 when the running link
// could not be stopped, 1 otherwise. Main thread only.
int32_t startLink(SharedState& shared, LinkControl& control, LinkUi& ui, int32_t requestedMedium);

}  // namespace korvane
