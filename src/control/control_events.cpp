#include "control/control_events.h"

#include <algorithm>
#include <chrono>

#include "control/control_json.h"

namespace korvane {

namespace {

bool endsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

double ControlEvents::now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ControlEvents::attach(LinkControl& control) {
    next_ = control.observer;
    control.observer = this;
    auto heard = control.onNews;
    control.onNews = [this, heard, &control](const std::string& note, NewsKind kind) {
        if (heard) heard(note, kind);
        news(note, kind, control.health.load());
    };
}

void ControlEvents::watch(const std::shared_ptr<EventSink>& sink) {
    std::lock_guard lock(mutex_);
    if (std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) return;
    sinks_.push_back(sink);
    watching_.store(static_cast<int>(sinks_.size()));
}

void ControlEvents::unwatch(const EventSink* sink) {
    std::lock_guard lock(mutex_);
    std::erase_if(sinks_, [sink](const auto& s) { return s.get() == sink; });
    watching_.store(static_cast<int>(sinks_.size()));
}

void ControlEvents::unwatchAll() {
    std::lock_guard lock(mutex_);
    sinks_.clear();
    watching_.store(0);
}

void ControlEvents::post(const std::string& line) {
    std::lock_guard lock(mutex_);
    for (const auto& sink : sinks_) sink->event(line);
}

void ControlEvents::frameSent(std::string_view frame, std::string_view peer,
                              std::string_view mark) {
    if (next_) next_->frameSent(frame, peer, mark);
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    const double t = now();
    if (!mark.empty())
        post(JsonObject()
                 .add("event", "fault")
                 .add("t", t)
                 .add("peer", peer)
                 .add("mark", mark)
                 .text());
    if (!frame.empty())
        post(JsonObject()
                 .add("event", "sent")
                 .add("t", t)
                 .add("peer", peer)
                 .add("bytes", static_cast<uint64_t>(frame.size()))
                 .text());
}

void ControlEvents::dataReceived(std::string_view data, std::string_view peer) {
    if (next_) next_->dataReceived(data, peer);
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    const double t = now();
    post(JsonObject()
             .add("event", "received")
             .add("t", t)
             .add("peer", peer)
             .add("bytes", static_cast<uint64_t>(data.size()))
             .text());
}

void ControlEvents::gasReceived(float value, std::string_view peer) {
    if (next_) next_->gasReceived(value, peer);
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    post(JsonObject()
             .add("event", "gas")
             .add("t", now())
             .add("peer", peer)
             .add("value", value)
             .text());
}

void ControlEvents::news(const std::string& note, NewsKind kind, LinkHealth health) {
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    const double t = now();
    if (kind == NewsKind::health) {
        post(JsonObject()
                 .add("event", "health")
                 .add("t", t)
                 .add("note", note)
                 .add("working", health == LinkHealth::working)
                 .text());
        // A client's own connection is news of its health; it is a
        // connection all the same.
        const bool made = note.rfind("Connected to ", 0) == 0;
        const bool lost =
            health == LinkHealth::reconnecting &&
            (note.rfind("Lost the connection", 0) == 0 || note.rfind("Disconnected from", 0) == 0 ||
             note.find("stopped reading") != std::string::npos);
        if (made || lost)
            post(JsonObject()
                     .add("event", made ? "connected" : "disconnected")
                     .add("t", t)
                     .add("note", note)
                     .text());
        return;
    }
    const char* event = endsWith(note, " connected")                     ? "connected"
                        : note.find("disconnected") != std::string::npos ? "disconnected"
                                                                         : "connection";
    post(JsonObject().add("event", event).add("t", t).add("note", note).text());
}

void ControlEvents::played(const std::string& note) {
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    post(JsonObject().add("event", "played").add("t", now()).add("note", note).text());
}

}  // namespace korvane
