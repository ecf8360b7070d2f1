#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace korvane {

// Why a recording could not start. `exists` says the file was there and
// overwriting was not asked for, so a front end can add how to ask for it
// (the headless runner: " (give --record-overwrite to replace it)").
struct RecorderRefusal {
    std::string text;  // "Cannot record to run.jsonl: it exists"
    bool exists = false;
};

// Writes recording lines (recording_lines.h) to a file from a thread of its
// own, so a link never waits on the disk. Lines are queued up to a byte bound;
// what does not fit, or cannot be written (a full disk), is dropped and
// counted. The file is flushed at least once a second, so a crash loses at
// most the last second. The caller keeps the time base: t is whatever it
// passes to the line encoders, secondsSinceStart() if it likes.
class Recorder {
public:
    static constexpr std::size_t kQueueBytes = 4 << 20;

    // Refuses an existing file unless `overwrite`; writes the first note line.
    static std::variant<std::unique_ptr<Recorder>, RecorderRefusal> open(const std::string& path,
                                                                         bool overwrite);
    // Stops (see stop()).
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // One whole line, "\n" included. Never waits for the disk.
    void post(std::string line);
    // Writes what is queued, waiting at most `patience`, and closes the file.
    // A write that does not come back in that time (a hung network drive)
    // keeps its thread, detached, which closes the file if it ever returns;
    // the Recorder can still be destroyed at once. Lines still queued then
    // count as dropped. Later posts are dropped.
    void stop(std::chrono::milliseconds patience = std::chrono::seconds(2));

    // Lines dropped so far: queue full, write failed, or left at stop.
    uint64_t dropped() const;
    // The first write failure, in the system's words naming the file
    // ("Cannot record to run.jsonl: No space left on device"); empty while none.
    std::string problem() const;
    double secondsSinceStart() const;

private:
    struct Shared;
    explicit Recorder(std::shared_ptr<Shared> shared);
    static void writeLoop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace korvane
