#pragma once
// What the socket sources share, private to the platform layer: the system's
// own calls, one half per system (socket_system_posix.cpp, _win.cpp), so that
// each system maps its errors in one place and the lookup's rules are written
// once (resolve_ipv4.cpp).

#include <optional>
#include <string>
#include <vector>

#include "platform/ipv4_address.h"
#include "platform/udp_socket.h"

namespace korvane {

// The last socket call's error (errno, WSAGetLastError) as the operator's kind.
SocketError lastSocketError();

// The system resolver's IPv4 answers for a host name, first first, ports 0;
// nothing, with the resolver's reason in `why`, when the lookup failed.
std::optional<std::vector<Ipv4Address>> lookUpIpv4(const std::string& host, std::string* why);

}  // namespace korvane
