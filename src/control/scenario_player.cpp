#include "control/scenario_player.h"

#include <chrono>

#include "control/control_commands.h"
#include "control/control_host.h"
#include "links/link_control.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;
// The longest sleep: a new clock scale is picked up at least this often.
constexpr auto kLongestSleep = std::chrono::milliseconds{100};

}  // namespace

ScenarioPlayer::ScenarioPlayer(ScenarioRun run, SharedState& shared, LinkControl& control,
                               ControlCommands& commands, ControlHost& host)
    : run_(std::move(run)), shared_(shared), control_(control), commands_(commands), host_(host) {}

ScenarioPlayer::~ScenarioPlayer() { stop(); }

void ScenarioPlayer::start() {
    thread_ = std::thread([this] { play(); });
}

void ScenarioPlayer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ScenarioPlayer::play() {
    double rigSeconds = 0;
    Clock::time_point last = Clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const Clock::time_point now = Clock::now();
        const double scale = shared_.sim.clockScale.load();
        rigSeconds += std::chrono::duration<double>(now - last).count() * scale;
        last = now;
        const std::vector<std::string> due = run_.due(rigSeconds);
        if (!due.empty()) {
            lock.unlock();
            for (const std::string& command : due) {
                const ControlCommands::Reply reply = commands_.run(command);
                if (reply.line.find("\"ok\": false") != std::string::npos)
                    tellNews(control_, "Scenario: " + command + ": " + reply.line);
                if (reply.quit) host_.quit();
            }
            commands_.setScenarioProgress(run_.progress());
            control_.scenarioProgress.set("scenario " + run_.progress());
            lock.lock();
        }
        const std::optional<double> next = run_.next();
        if (!next) break;
        const auto sleep = std::chrono::duration<double>((*next - rigSeconds) / scale);
        wake_.wait_for(lock, std::min<std::chrono::duration<double>>(sleep, kLongestSleep),
                       [this] { return stopping_; });
    }
}

}  // namespace korvane
