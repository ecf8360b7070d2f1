#pragma once

#include <chrono>
#include <string>

namespace korvane {

// The local time of day as "HH:MM:SS.mmm", as the headless runner stamps its
// lines.
std::string localClockText(std::chrono::system_clock::time_point when);

}  // namespace korvane
