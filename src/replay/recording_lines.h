#pragma once

#include <string>
#include <string_view>

// The lines of a Korvane recording (JSON Lines), one call a line, each ending
// in "\n". `t` is seconds since the recording started, printed with three
// decimals in the classic locale; texts are taken as Latin-1 bytes, so any
// byte survives. An empty `to` or `from` leaves that member out.
namespace korvane {

std::string frameLine(double t, std::string_view frame, std::string_view to = {});
std::string receivedLine(double t, std::string_view text, std::string_view from = {});
std::string noteLine(double t, std::string_view text);

}  // namespace korvane
