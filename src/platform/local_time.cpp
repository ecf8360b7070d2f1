#include "platform/local_time.h"

#include <cstdio>

namespace korvane {

std::string localClockText(std::chrono::system_clock::time_point when) {
    const std::tm local = localTimeOf(std::chrono::system_clock::to_time_t(when));
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis < 0 ? millis + 1000 : millis));
    return text;
}

}  // namespace korvane
