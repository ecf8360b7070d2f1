#include "links/recording_tap.h"

#include <utility>

#include "replay/recorder.h"
#include "replay/recording_lines.h"

namespace korvane {

std::shared_ptr<Recorder> RecordingTap::start(std::shared_ptr<Recorder> recorder) {
    std::lock_guard lock(mutex_);
    on_.store(recorder != nullptr);
    return std::exchange(recorder_, std::move(recorder));
}

std::shared_ptr<Recorder> RecordingTap::stop() { return start(nullptr); }

std::shared_ptr<Recorder> RecordingTap::recorder() const {
    if (!on_.load()) return nullptr;
    std::lock_guard lock(mutex_);
    return recorder_;
}

void RecordingTap::frameSent(std::string_view frame, std::string_view peer) {
    if (const auto recorder = this->recorder())
        recorder->post(frameLine(recorder->secondsSinceStart(), frame, peer));
}

void RecordingTap::dataReceived(std::string_view data, std::string_view peer) {
    if (const auto recorder = this->recorder())
        recorder->post(receivedLine(recorder->secondsSinceStart(), data, peer));
}

}  // namespace korvane
