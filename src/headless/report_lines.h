#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "links/link_control.h"

namespace korvane {

// What the headless runner tells the operator, in an order and at a rate a
// person can follow: the first title before any news of the link, a title
// only when it changes, and receivers that come and go faster than
// kConnectionNotesPerSecond summed up once a second, with at most one title a
// second while they do. Text from peers and files has its control characters
// shown escaped. Safe to call from any thread.
class ReportLines {
public:
    using Clock = std::chrono::steady_clock;
    // Takes one whole line, "\n" included.
    using Sink = std::function<void(std::string line)>;

    static constexpr int kConnectionNotesPerSecond = 10;

    explicit ReportLines(Sink sink, std::function<Clock::time_point()> now = Clock::now);

    // A message for the operator, at once: "Korvane: " before each of its lines.
    void message(const std::string& text);
    void title(const std::string& title);
    // News of the link, with the title it leaves.
    void news(const std::string& note, NewsKind kind, const std::string& title);
    // Ends a second of many connections: its summary and latest title.
    void tick();

private:
    void printTitle(const std::string& title);
    void printMessage(const std::string& text);
    void closeSecond();
    void passOn(const std::string& note, NewsKind kind, const std::string& title,
                Clock::time_point now);

    Sink sink_;
    std::function<Clock::time_point()> now_;
    std::mutex mutex_;
    std::optional<std::string> lastTitle_;
    // News that came before the first title.
    std::vector<std::pair<std::string, NewsKind>> early_;
    Clock::time_point secondStart_;  // of the second of connections under way
    int connectionNotes_ = 0;        // in that second; 0: none under way
    long long unprinted_ = 0;        // connection notes of that second not printed
    std::optional<std::string> heldTitle_;
};

// Control characters other than the line break shown as "\x1b", so that text
// a peer or a file chose cannot drive the operator's terminal.
std::string escapeControls(const std::string& text);

}  // namespace korvane
