#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>

namespace korvane {

class Recorder;

// Everything a link sends and receives goes into the recording while one
// runs (LinkControl's noteSent and noteReceived bring it here). Recording
// starts and stops at any time, from any thread; times count from the start
// of the recording (the recorder's).
class RecordingTap {
public:
    // Starting replaces (and gives back) what recorded before.
    std::shared_ptr<Recorder> start(std::shared_ptr<Recorder> recorder);
    std::shared_ptr<Recorder> stop();
    std::shared_ptr<Recorder> recorder() const;

    // On the link thread.
    void frameSent(std::string_view frame, std::string_view peer);
    void dataReceived(std::string_view data, std::string_view peer);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<Recorder> recorder_;
    // Looked at first, so a link that records nothing takes no lock.
    std::atomic<bool> on_{false};
};

}  // namespace korvane
