#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "control/scenario.h"

namespace korvane {

struct SharedState;
struct LinkControl;
class ControlCommands;
class ControlHost;

// Runs a scenario from start-up on a thread of its own: its rig time runs at
// the rig clock's scale, and each command is run through the control
// channel's commands as it falls due. Its progress goes into the title and
// into get; a command that fails is told as news and the scenario goes on.
class ScenarioPlayer {
public:
    ScenarioPlayer(ScenarioRun run, SharedState& shared, LinkControl& control,
                   ControlCommands& commands, ControlHost& host);
    ~ScenarioPlayer();
    void start();
    void stop();

private:
    void play();

    ScenarioRun run_;
    SharedState& shared_;
    LinkControl& control_;
    ControlCommands& commands_;
    ControlHost& host_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace korvane
