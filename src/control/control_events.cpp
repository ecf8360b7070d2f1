#include "control/control_events.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "control/control_json.h"
#include "text/number_text.h"

namespace korvane {

namespace {

// The receiver's gas reading in what it sent: a record line with item 0140.
std::optional<float> gasIn(std::string_view data) {
    for (std::size_t at = data.find("0140"); at != std::string_view::npos;
         at = data.find("0140", at + 1)) {
        if (at > 0 && data[at - 1] != '\n' && data[at - 1] != '\r') continue;
        const std::optional<float> value = scanFloat(data.substr(at + 4));
        if (value && std::isfinite(*value)) return value;
    }
    return std::nullopt;
}

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
    if (const auto gas = gasIn(data))
        post(JsonObject()
                 .add("event", "gas")
                 .add("t", t)
                 .add("peer", peer)
                 .add("value", *gas)
                 .text());
}

void ControlEvents::news(const std::string& note, NewsKind kind, LinkHealth health) {
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    const char* event = "health";
    if (kind == NewsKind::connection)
        event = endsWith(note, " connected")                     ? "connected"
                : note.find("disconnected") != std::string::npos ? "disconnected"
                                                                 : "connection";
    JsonObject line;
    line.add("event", event).add("t", now()).add("note", note);
    if (kind == NewsKind::health) line.add("working", health == LinkHealth::working);
    post(line.text());
}

void ControlEvents::played(const std::string& note) {
    if (watching_.load(std::memory_order_relaxed) == 0) return;
    post(JsonObject().add("event", "played").add("t", now()).add("note", note).text());
}

}  // namespace korvane
