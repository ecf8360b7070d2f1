#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "control/control_commands.h"
#include "control/control_events.h"

namespace korvane {

struct SharedState;
struct LinkControl;
class ControlHost;

// Lines over this long are refused, whole.
inline constexpr std::size_t kControlLineLimit = 4096;

// Where a control channel listens: standard input, or TCP.
struct ControlPlace {
    bool standardInput = false;
    uint8_t address[4] = {127, 0, 0, 1};  // loopback unless another is given
    uint16_t port = 0;
};
// Reads "stdin", "PORT" or "ADDRESS:PORT"; nothing when it is neither.
std::optional<ControlPlace> readControlPlace(std::string_view text);

// The control channel: commands from standard input or from any number of
// TCP clients, run one line at a time on a thread of its own, each answered
// with one JSON line; clients that watch get the events too. A client's
// replies are never dropped: one that sends faster than it reads them is
// disconnected. Its events are: what does not fit its queue is lost,
// counted, and never holds up a link. It must outlive every link started
// after it (the front ends keep it for the whole run): the links call it.
class ControlChannel {
public:
    ControlChannel(SharedState& shared, LinkControl& control, ControlHost& host);
    ~ControlChannel();

    // Before the first startLink: the events go between the links and
    // their observer. "" once it listens (or reads), else why not.
    std::string open(const ControlPlace& place);
    // The TCP port it listens on (the system's choice for port 0).
    uint16_t port() const { return port_.load(); }
    ControlCommands& commands() { return commands_; }
    ControlEvents& events() { return events_; }
    void close();

private:
    struct Loop;
    ControlCommands commands_;
    ControlEvents events_;
    ControlHost& host_;
    std::unique_ptr<Loop> loop_;
    std::atomic<uint16_t> port_{0};
};

}  // namespace korvane
