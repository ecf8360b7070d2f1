#pragma once

#include <string>
#include <string_view>

namespace korvane {

// One transmission as readable lines for --echo: every line starts with
// `direction` and a blank, then "[peer] " for a link with several peers;
// CR LF ends a line, other control bytes and backslashes are shown escaped
// ("\r", "\x01", "\\"). `mark`, if any, leads the first line: the faults
// that shaped the frame ("> [split 3] &&").
std::string echoText(std::string_view data, char direction, std::string_view peer = {},
                     std::string_view mark = {});

}  // namespace korvane
