#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "links/link_runner.h"
#include "links/link_timing.h"

namespace korvane {

struct LinkSettings;
struct LinkControl;

// One medium as link control knows it: one row of the table in media.cpp.
struct Medium {
    int32_t medium;     // the LinkSettings medium value
    const char* title;  // as the window title names it: "UDP"
    std::chrono::milliseconds LinkTiming::*startTimeout;
    // The message when the link cannot come up: "UDP Error on 10.0.0.7".
    std::string (*openError)(const LinkSettings& link);
    // The thread body for the mode and role the settings give.
    LinkBody (*body)(const LinkSettings& link);
    // What the title adds after the mode and medium (", 2 receivers"); may be nullptr.
    std::string (*titleDetail)(const LinkControl& control);
};

// The row for a medium value; nullptr for kMediumNone and unknown values.
const Medium* findMedium(int32_t medium);

}  // namespace korvane
