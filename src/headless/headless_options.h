#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// One transmission as readable lines for --echo: every line starts with
// `direction` and a blank, then "[peer] " for a link with several peers;
// CR LF ends a line, other control bytes and backslashes are shown escaped
// ("\r", "\x01", "\\").
std::string echoText(std::string_view data, char direction, std::string_view peer = {});

}  // namespace korvane
