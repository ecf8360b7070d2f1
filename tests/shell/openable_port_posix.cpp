#include "openable_port.h"
#include "platform/pseudo_terminal.h"

namespace korvane::testing {

struct OpenablePort::Held {
    TempWorkingDir folder;
    PseudoTerminal pty;
};

OpenablePort::OpenablePort() : held_(std::make_unique<Held>()) {
    constexpr int kPort = 7;
    if (!held_->pty.ok()) {
        why_ = "no pseudo-terminal";
    } else if (!mapPort(kPort, held_->pty.slavePath())) {
        why_ = "cannot link COM7 to the pseudo-terminal";
    } else {
        number_ = kPort;
    }
}

OpenablePort::~OpenablePort() = default;

}  // namespace korvane::testing
