#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace korvane {

// The local time of day as "HH:MM:SS.mmm", as the headless runner stamps its
// lines.
std::string localClockText(std::chrono::system_clock::time_point when);

// The broken-down local time of `seconds`: each system's own thread-safe call.
std::tm localTimeOf(std::time_t seconds);

}  // namespace korvane
