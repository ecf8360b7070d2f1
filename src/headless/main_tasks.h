#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace korvane {

// The headless runner's main thread once the link has started: it runs what
// other threads hand it (a control channel's link commands), until an end
// request comes.
class MainTasks {
public:
    // Returns once an end request (the system's, or requestEnd) has come.
    void runUntilEndRequest();
    // Runs `task` on the main thread and waits for it; false, without
    // running it, once the main thread has stopped taking tasks.
    bool runAndWait(const std::function<void()>& task);

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> tasks;
        bool ended = false;
        bool open = true;
    };
    std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();
};

}  // namespace korvane
