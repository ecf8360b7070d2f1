#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/control_channel.h"
#include "faults/fault_plan.h"
#include "headless/echo_text.h"  // echoText, which the options once held
#include "links/recorded_source.h"

namespace korvane {

struct LinkSettings;

// What the command line asks for; unset fields keep the loaded settings.
struct HeadlessOptions {
    std::optional<int32_t> medium;  // kMediumUdp, kMediumRs232 or kMediumTcp
    std::optional<int32_t> ipAddress[4];
    std::optional<int32_t> comPort;
    std::optional<int32_t> baudIndex;
    std::optional<int32_t> interrogated;
    std::optional<float> transmitInterval;  // seconds, already raised to 0.5 at least
    std::optional<int32_t> tcpRole;
    std::optional<int32_t> tcpPort;
    std::optional<std::array<int32_t, 4>> tcpListenAddress;
    std::optional<std::string> tcpHost;
    // A recording to play instead of the rig, and how.
    std::optional<std::string> play;
    PlayOptions playing;
    // Where to record what goes over the link.
    std::optional<std::string> record;
    bool recordOverwrite = false;
    // Faults to make on purpose, never saved; the seed is drawn at start when
    // none was given.
    FaultPlan faults;
    std::optional<uint64_t> faultSeed;
    // A control channel, a scenario run from start-up, the rig clock's scale.
    std::optional<ControlPlace> control;
    std::optional<std::string> scenario;
    std::optional<double> clockScale;
    bool echo = false;
    bool timestamps = false;  // --echo lines start with the local time too
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    std::optional<HeadlessOptions> options;  // nothing when the command line is wrong
    std::string error;                       // why, for the operator
};

// Reads the arguments after the program name. Both "--name value" and
// "--name=value" are accepted.
ParsedOptions parseHeadlessOptions(const std::vector<std::string>& arguments);

// Writes the options given into the settings (they are then saved at exit).
void applyHeadlessOptions(const HeadlessOptions& options, LinkSettings& link);

extern const char* const kHeadlessUsage;

}  // namespace korvane
