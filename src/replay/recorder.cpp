#include "replay/recorder.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "korvane_version.h"
#include "replay/recording_lines.h"

namespace korvane {

// What the writer thread shares with the Recorder; the thread holds it too,
// so a thread left in a hung write never touches freed memory.
struct Recorder::Shared {
    std::string path;
    std::FILE* file = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;
    std::size_t queuedBytes = 0;
    uint64_t dropped = 0;
    std::string problem;
    bool stopping = false;
    bool finished = false;
};

namespace {

uint64_t lineCount(const std::string& text) {
    return static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

std::variant<std::unique_ptr<Recorder>, RecorderRefusal> Recorder::open(const std::string& path,
                                                                        bool overwrite) {
    const std::string cannot = "Cannot record to " + path + ": ";
    std::error_code ignored;
    // Checked, then opened: two recorders racing for one new name is not a
    // case this tool has (one program, one recording at a time).
    if (!overwrite && std::filesystem::exists(path, ignored)) {
        return RecorderRefusal{cannot + "it exists", true};
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        const int error = errno != 0 ? errno : EIO;
        return RecorderRefusal{cannot + std::generic_category().message(error), false};
    }
    auto shared = std::make_shared<Shared>();
    shared->path = path;
    shared->file = file;
    std::unique_ptr<Recorder> recorder(new Recorder(shared));
    recorder->post(noteLine(0, std::string("Korvane ") + kVersion + " recording"));
    std::thread(writeLoop, std::move(shared)).detach();
    return recorder;
}

Recorder::Recorder(std::shared_ptr<Shared> shared)
    : shared_(std::move(shared)), started_(std::chrono::steady_clock::now()) {}

Recorder::~Recorder() { stop(); }

void Recorder::post(std::string line) {
    Shared& s = *shared_;
    {
        std::lock_guard lock(s.mutex);
        if (s.stopping || s.queuedBytes + line.size() > kQueueBytes) {
            s.dropped += lineCount(line);
            return;
        }
        s.queuedBytes += line.size();
        s.lines.push_back(std::move(line));
    }
    s.changed.notify_all();
}

void Recorder::stop(std::chrono::milliseconds patience) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (s.stopping) return;  // the first stop waited already
    s.stopping = true;
    s.changed.notify_all();
    if (!s.changed.wait_for(lock, patience, [&] { return s.finished; })) {
        for (const auto& line : s.lines) s.dropped += lineCount(line);
        s.lines.clear();
        s.queuedBytes = 0;
    }
}

uint64_t Recorder::dropped() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->dropped;
}

std::string Recorder::problem() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->problem;
}

double Recorder::secondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void Recorder::writeLoop(std::shared_ptr<Shared> shared) {
    using Clock = std::chrono::steady_clock;
    Shared& s = *shared;
    std::deque<std::string> batch;
    auto lastFlush = Clock::now();
    bool unflushed = false;
    std::unique_lock lock(s.mutex);
    for (;;) {
        const auto ready = [&] { return !s.lines.empty() || s.stopping; };
        if (unflushed) {
            s.changed.wait_until(lock, lastFlush + std::chrono::seconds(1), ready);
        } else {
            s.changed.wait(lock, ready);
        }
        batch.swap(s.lines);
        s.queuedBytes = 0;
        const bool last = s.stopping;
        lock.unlock();

        uint64_t lost = 0;
        int error = 0;
        for (const auto& line : batch) {
            errno = 0;
            if (std::fwrite(line.data(), 1, line.size(), s.file) != line.size()) {
                lost += lineCount(line);
                error = errno != 0 ? errno : EIO;
                std::clearerr(s.file);  // a full disk may have room again later
            }
        }
        batch.clear();
        unflushed = true;
        if (last || Clock::now() - lastFlush >= std::chrono::seconds(1)) {
            errno = 0;
            if (std::fflush(s.file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
            std::clearerr(s.file);
            lastFlush = Clock::now();
            unflushed = false;
        }
        if (last && std::fclose(s.file) != 0 && error == 0) error = errno != 0 ? errno : EIO;

        lock.lock();
        s.dropped += lost;
        if (error != 0 && s.problem.empty()) {
            s.problem =
                "Cannot record to " + s.path + ": " + std::generic_category().message(error);
        }
        if (last) {
            s.finished = true;
            s.changed.notify_all();
            return;
        }
    }
}

}  // namespace korvane
