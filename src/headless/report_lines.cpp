#include "headless/report_lines.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr auto kSecond = std::chrono::seconds{1};

// 2314 as "2,314".
std::string groupedCount(long long count) {
    std::string digits = std::to_string(count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

}  // namespace

std::string escapeControls(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' || (byte >= 0x20 && byte != 0x7f)) {
            shown += c;
        } else {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xf];
        }
    }
    return shown;
}

ReportLines::ReportLines(Sink sink, std::function<Clock::time_point()> now)
    : sink_(std::move(sink)), now_(std::move(now)) {}

void ReportLines::message(const std::string& text) {
    std::lock_guard lock(mutex_);
    printMessage(text);
}

void ReportLines::title(const std::string& title) {
    std::lock_guard lock(mutex_);
    const bool first = !lastTitle_;
    printTitle(title);
    if (!first) return;
    const Clock::time_point now = now_();
    for (const auto& [note, kind] : std::exchange(early_, {})) passOn(note, kind, title, now);
}

void ReportLines::news(const std::string& note, NewsKind kind, const std::string& title) {
    std::lock_guard lock(mutex_);
    if (!lastTitle_) {
        early_.emplace_back(note, kind);
        return;
    }
    passOn(note, kind, title, now_());
}

void ReportLines::tick() {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    if (connectionNotes_ > 0 && now - secondStart_ >= kSecond) closeSecond();
}

void ReportLines::passOn(const std::string& note, NewsKind kind, const std::string& title,
                         Clock::time_point now) {
    if (connectionNotes_ > 0 && now - secondStart_ >= kSecond) closeSecond();
    // A second of connections starts with the first of them.
    if (kind == NewsKind::connection && connectionNotes_ == 0) secondStart_ = now;
    if (kind == NewsKind::connection && ++connectionNotes_ > kConnectionNotesPerSecond) {
        ++unprinted_;
        heldTitle_ = title;
        return;
    }
    if (!note.empty()) printMessage(note);
    if (unprinted_ > 0)
        heldTitle_ = title;  // still many this second: the title waits for its end
    else
        printTitle(title);
}

void ReportLines::closeSecond() {
    if (unprinted_ > 0)
        printMessage("\xe2\x80\xa6 " + groupedCount(unprinted_) +
                     " more connections and disconnections in the last second");
    if (heldTitle_) printTitle(*std::exchange(heldTitle_, std::nullopt));
    unprinted_ = 0;
    connectionNotes_ = 0;
}

void ReportLines::printTitle(const std::string& title) {
    if (lastTitle_ == title) return;
    lastTitle_ = title;
    sink_(escapeControls(title) + "\n");
}

void ReportLines::printMessage(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        sink_("Korvane: " + escapeControls(text.substr(start, end - start)) + "\n");
        start = end + 1;
    }
}

}  // namespace korvane
