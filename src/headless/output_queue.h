#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

namespace korvane {

// Text for a stream that may stall (a pipe whose reader stopped reading, a
// terminal held with Ctrl+S): queued up to a bound and written by a thread of
// its own, so a link never waits on its output and the program can always
// end. What does not fit is dropped, and the count is reported once the
// reader reads again.
class OutputQueue {
public:
    OutputQueue(std::FILE* stream, std::size_t capacityBytes);
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;
    // The writer thread is never joined (it may be stuck in a write for
    // ever), so a queue lives as long as the process.
    ~OutputQueue() = delete;

    void post(std::string text);
    // Waits up to `patience` for everything queued to be written.
    bool drain(std::chrono::milliseconds patience);

private:
    void writeLoop();

    std::FILE* stream_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> texts_;
    std::size_t queuedBytes_ = 0;
    uint64_t dropped_ = 0;
    bool writing_ = false;
};

}  // namespace korvane
