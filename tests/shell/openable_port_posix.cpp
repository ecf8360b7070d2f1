#include <utility>

#include "openable_port.h"
#include "platform/pseudo_terminal.h"

namespace korvane::testing {

OpenablePort openablePort() {
    constexpr int kPort = 7;
    auto held = std::make_shared<std::pair<TempWorkingDir, PseudoTerminal>>();
    if (!held->second.ok()) return {0, "no pseudo-terminal", nullptr};
    if (!mapPort(kPort, held->second.slavePath())) return {0, "cannot link COM7", nullptr};
    return {kPort, "", held};
}

}  // namespace korvane::testing
