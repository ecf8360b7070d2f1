#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/manual_reset_event.h"

namespace korvane {

struct SharedState;

// linkStatus values written by a link thread.
inline constexpr int32_t kLinkUp = 0;
inline constexpr int32_t kLinkDown = 2;

// The only contact between startLink and the running link thread.
struct LinkControl {
    ManualResetEvent linkAckEvent;
    ManualResetEvent linkStopEvent;
    std::atomic<int32_t> linkStatus{0};
    int32_t linkActive = 0;  // main thread only
};

// What startLink needs from the user interface: the GUI shows message boxes and
// sets the window title; the headless runner prints lines; tests record them.
class LinkUi {
public:
    virtual ~LinkUi() = default;
    virtual void showLinkError(const std::string& text) = 0;  // error icon, caption "Korvane"
    virtual void setTitle(const std::string& title) = 0;
};

}  // namespace korvane
