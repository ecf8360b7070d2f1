#pragma once

namespace korvane {

struct SharedState;
struct LinkControl;

// Link thread bodies; startLink runs one of them on a detached thread.
void rs232StreamingLink(SharedState& shared, LinkControl& control);
void rs232InterrogatedLink(SharedState& shared, LinkControl& control);

}  // namespace korvane
