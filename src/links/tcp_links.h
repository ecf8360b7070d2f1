#pragma once

#include <string>
#include <string_view>

namespace korvane {

struct SharedState;
struct LinkControl;
struct LinkSettings;

// Link thread bodies; startLink runs one of them on a detached thread. Each
// streams or answers requests as the settings say. The server takes any number
// of receivers up to tcpReceiverLimit; the client keeps one connection to the
// receiver's server and makes it again whenever it is lost.
void tcpServerLink(SharedState& shared, LinkControl& control);
void tcpClientLink(SharedState& shared, LinkControl& control);

// Where the link listens ("0.0.0.0:5001") or what it connects to
// ("logger.rig:5001"), as the operator reads it in messages.
std::string tcpEndpointText(const LinkSettings& link);

}  // namespace korvane
