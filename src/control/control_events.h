#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "links/link_control.h"

namespace korvane {

// Where a watching client's event lines go: it takes or drops each line
// (and counts what it dropped). Never waits.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void event(const std::string& line) = 0;
};

// The events a control channel's watching clients get: what the links send
// and receive, the receivers' gas, connections, health, the end of a play
// and the faults applied. It sees the links as their observer (and passes
// everything on to the observer that was there, such as --echo) and hears
// their news. Each event is one JSON line with "event" and "t" (monotonic
// seconds). With no client watching it costs one atomic load per call.
class ControlEvents final : public LinkObserver {
public:
    // Puts itself between the links and their observer and news; before
    // the first startLink.
    void attach(LinkControl& control);

    void watch(const std::shared_ptr<EventSink>& sink);
    void unwatch(const EventSink* sink);
    void unwatchAll();

    void frameSent(std::string_view frame, std::string_view peer, std::string_view mark) override;
    void dataReceived(std::string_view data, std::string_view peer) override;
    void gasReceived(float value, std::string_view peer) override;
    void news(const std::string& note, NewsKind kind, LinkHealth health);
    // A recording played to its end.
    void played(const std::string& note);

    // Seconds on the clock the events' "t" counts.
    static double now();

private:
    void post(const std::string& line);

    LinkObserver* next_ = nullptr;
    std::atomic<int> watching_{0};
    std::mutex mutex_;
    std::vector<std::shared_ptr<EventSink>> sinks_;
};

}  // namespace korvane
