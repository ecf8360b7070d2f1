#pragma once

#include <chrono>
#include <string>

#include "links/frame_source.h"

namespace korvane {

// What opening a medium found.
struct LinkOpen {
    bool up = false;
    // In the operator's words: why the link could not come up, or, for a link
    // that is up but waiting (a TCP server whose port is taken), for what.
    // Empty when there is nothing to add.
    std::string reason;
    bool interrogated = false;
    float interval = 3.0f;  // transmitInterval as read with the settings
};

// What a streaming wait ended with.
enum class Wake {
    stop,      // linkStopEvent is set
    none,      // nothing is due (or the medium is not ready): wait again
    beat,      // the time for a frame for every receiver has come
    beatNow,   // a frame for every receiver at once, whatever the time (a connection made, a
               // device back); the beat starts again from now
    idleBeat,  // a frame is due but nobody would get it: none is made
    greet,     // receivers that have just come want a frame of their own; the beat stands
};

// How the pause between streamed frames is measured.
enum class Beat {
    afterSend,  // from the end of the previous send (UDP, serial)
    steady,     // the beat keeps time; after a hold-up the next frame is a whole pause away (TCP)
};

// How one medium carries frames. Each keeps its own rules for what counts as
// a request, who the receivers are, and how a device that goes away comes
// back; it says so through LinkControl's news (reportLinkHealth, tellNews)
// and shows what it sends and receives to the observer.
class Transport {
public:
    virtual ~Transport() = default;
    // Reads what it needs of the settings and opens the medium.
    virtual LinkOpen open() = 0;
    // Once the link has reported itself up.
    virtual void started() {}
    virtual Beat beat() const { return Beat::afterSend; }

    // Streaming: waits until `due` at most, servicing the medium meanwhile.
    virtual Wake waitUntil(LinkClock::time_point due) = 0;
    // A source that sends as fast as the medium takes frames sends the next
    // only when this says it would go out now, not wait in (or miss) a queue.
    virtual bool readyForMore() const { return true; }
    // A byte stream, where frames back to back may share a write (TCP); not
    // where each frame is a datagram of its own.
    virtual bool joinsFrames() const { return false; }
    // The frame for a beat (every receiver) or a greeting (those just come).
    virtual void send(const FramePieces& pieces, Wake why) = 0;

    // Interrogated: waits a short while for requests; true when some are owed.
    virtual bool waitForRequests() = 0;
    // Answers the requests owed, each as the medium's rule says.
    virtual void answer(const FramePieces& pieces) = 0;
    // No frame could be had for the requests owed: the medium keeps or drops them.
    virtual void noFrame() = 0;

    // After every pass of either loop: connections that are done are dropped.
    virtual void endPass() {}
    virtual void close() = 0;
};

}  // namespace korvane
