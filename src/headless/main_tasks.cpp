#include "headless/main_tasks.h"

#include <thread>

#include "platform/end_requests.h"

namespace korvane {

void MainTasks::runUntilEndRequest() {
    // The wait for end requests has a thread of its own for as long as the
    // process lasts, as the program's other helpers do. (A thread that ends
    // while every descriptor is taken trips the sanitizers' type checks.)
    std::thread([queue = queue_] {
        for (;;) {
            waitForEndRequest();
            std::lock_guard lock(queue->mutex);
            queue->ended = true;
            queue->changed.notify_all();
        }
    }).detach();
    std::unique_lock lock(queue_->mutex);
    for (;;) {
        queue_->changed.wait(lock, [&] { return queue_->ended || !queue_->tasks.empty(); });
        while (!queue_->tasks.empty()) {
            std::function<void()> task = std::move(queue_->tasks.front());
            queue_->tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        if (queue_->ended) break;
    }
    queue_->open = false;
    // Whoever still waits for a task is told it will not run.
    queue_->changed.notify_all();
}

bool MainTasks::runAndWait(const std::function<void()>& task) {
    bool done = false;
    std::unique_lock lock(queue_->mutex);
    if (!queue_->open) return false;
    queue_->tasks.push_back([&] {
        task();
        std::lock_guard inner(queue_->mutex);
        done = true;
        queue_->changed.notify_all();
    });
    queue_->changed.notify_all();
    queue_->changed.wait(lock, [&] { return done || !queue_->open; });
    return done;
}

}  // namespace korvane
