#include "platform/display.h"

namespace korvane {

bool displayNamed() { return true; }

}  // namespace korvane
