#include <cstdlib>
#include <initializer_list>

#include "platform/display.h"

namespace korvane {

bool displayNamed() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace korvane
