#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct SharedState;
struct LinkControl;
class ControlHost;

// The control channel's commands: one line in, one JSON reply line out.
// Every command checks all it is given before it changes anything, so a bad
// command changes nothing. Values the pages show are changed under the data
// mutex as the pages change them, so a frame never mixes old and new.
class ControlCommands {
public:
    ControlCommands(SharedState& shared, LinkControl& control, ControlHost& host);

    struct Reply {
        std::string line;    // the JSON object, without its line end
        bool watch = false;  // the client asked for events from now on
        bool quit = false;   // the program is to end once the reply is out
    };
    // Runs one command line. Any thread but the main one (link commands wait
    // for it).
    Reply run(std::string_view line);

    // "" when `line` is a command that could run, else what is wrong, as its
    // error reply would say: for scenarios, checked before they start.
    std::string check(std::string_view line);

    // What a scenario has done, for get ("12/40"); empty when none runs.
    void setScenarioProgress(std::string progress);

private:
    std::string runOrCheck(const std::vector<std::string_view>& words, bool apply, Reply& reply);
    std::string get(Reply& reply);
    std::string set(const std::vector<std::string_view>& words, bool apply);
    std::string link(const std::vector<std::string_view>& words, bool apply, Reply& reply);
    std::string restart(int32_t medium, Reply& reply, std::string_view command);
    std::string fault(const std::vector<std::string_view>& words, bool apply, Reply& reply);

    SharedState& shared_;
    LinkControl& control_;
    ControlHost& host_;
    std::mutex mutex_;  // the seed and the progress, between clients
    uint64_t seed_;
    std::string progress_;
};

}  // namespace korvane
