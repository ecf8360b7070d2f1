#include "headless/output_queue.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace korvane {

OutputQueue::OutputQueue(std::FILE* stream, std::size_t capacityBytes)
    : stream_(stream), capacity_(capacityBytes) {
    std::thread([this] { writeLoop(); }).detach();
}

void OutputQueue::post(std::string text) {
    {
        std::lock_guard lock(mutex_);
        if (queuedBytes_ + text.size() > capacity_) {
            for (char c : text) dropped_ += c == '\n' ? 1 : 0;
            return;
        }
        queuedBytes_ += text.size();
        texts_.push_back(std::move(text));
    }
    changed_.notify_all();
}

bool OutputQueue::drain(std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience, [this] { return texts_.empty() && !writing_; });
}

void OutputQueue::writeLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !texts_.empty() || dropped_ > 0; });
        std::string text;
        if (!texts_.empty()) {
            text = std::move(texts_.front());
            texts_.pop_front();
            queuedBytes_ -= text.size();
        } else {
            // The backlog is written, so the reader reads again: say what it missed.
            text = "[" + std::to_string(std::exchange(dropped_, 0)) +
                   " lines dropped while the output was not read]\n";
        }
        writing_ = true;
        lock.unlock();
        std::fwrite(text.data(), 1, text.size(), stream_);
        std::fflush(stream_);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

}  // namespace korvane
