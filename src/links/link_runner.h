#pragma once

// The link runner: the one place where frames are paced (streaming) or
// answered (interrogated), where the pause rules live, and where a link
// thread and startLink shake hands. A link is a transport (transport.h), a
// frame source (frame_source.h) and this runner.

#include <chrono>
#include <memory>

namespace korvane {

struct SharedState;
struct LinkControl;
class Transport;
class FrameSource;

using LinkBody = void (*)(SharedState&, LinkControl&);

// Runs a link on the calling thread until linkStopEvent is set: opens the
// transport, reports kLinkUp (or kLinkDown with the reason, and returns),
// streams or answers from `source`, then closes and reports kLinkDown.
void runLink(SharedState& shared, LinkControl& control, Transport& transport, FrameSource& source);

// The same with the feed as the source: the simulated rig, or the recording
// that plays.
void runLink(SharedState& shared, LinkControl& control, Transport& transport);

// The thread side of startLink. Starts `body` on a detached thread after
// clearing both events; false when no thread could be had (the system is out
// of threads), which counts as a link that could not come up.
bool launchLink(SharedState& shared, LinkControl& control, LinkBody body);
// True when the thread launched last has ended, or ends within `timeout`
// after being asked to (ack cleared, stop set).
bool stopLinkThread(LinkControl& control, std::chrono::milliseconds timeout);

}  // namespace korvane
