#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/control_channel.h"

namespace korvane {

// The desktop program's own options, beside Qt's, which it leaves alone.
struct StartOptions {
    std::optional<ControlPlace> control;  // --control stdin|[ADDRESS:]PORT
    std::string scenario;                 // --scenario FILE
    std::optional<double> clockScale;     // --clock-scale K, 1 to kMostClockScale
};

struct ParsedStartOptions {
    std::optional<StartOptions> options;  // nothing when one is malformed
    std::string error;                    // naming the option and its form
};

// Reads the arguments after the program name, as "--name value" or
// "--name=value"; anything else is Qt's.
ParsedStartOptions parseStartOptions(const std::vector<std::string>& arguments);

}  // namespace korvane
