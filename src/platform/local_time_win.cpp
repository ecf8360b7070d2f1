#include <time.h>

#include "platform/local_time.h"

namespace korvane {

std::tm localTimeOf(std::time_t seconds) {
    std::tm local{};
    ::localtime_s(&local, &seconds);
    return local;
}

}  // namespace korvane
