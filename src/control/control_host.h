#pragma once

#include <functional>
#include <string>

#include "links/recorded_source.h"

namespace korvane {

class LinkUi;

// What the control channel asks of the program it runs in (the window or
// the headless runner): the things only its main thread may do, and the
// things it does its own way. Each returns "" or what went wrong, in the
// operator's words.
class ControlHost {
public:
    virtual ~ControlHost() = default;
    // Runs `task` on the main thread and waits until it has run; false when
    // the program is ending and it did not run.
    virtual bool onMainThread(const std::function<void()>& task) = 0;
    // Where startLink reports, on the main thread.
    virtual LinkUi& linkUi() = 0;
    // As File, Exit: the program ends once the reply is out.
    virtual void quit() = 0;
    virtual std::string play(const std::string& path, const PlayOptions& options) = 0;
    virtual void stopPlaying() = 0;
    virtual std::string record(const std::string& path) = 0;
    virtual void stopRecording() = 0;
    // After a command changed what the program shows: the window refreshes.
    virtual void changed() {}
};

}  // namespace korvane
