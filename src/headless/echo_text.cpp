#include "headless/echo_text.h"

namespace korvane {

std::string echoText(std::string_view data, char direction, std::string_view peer,
                     std::string_view mark) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string prefix{direction, ' '};
    if (!peer.empty()) prefix.append("[").append(peer).append("] ");
    std::string text;
    // The faults' mark leads the first line; a frame that did not go out is the mark alone.
    if (!mark.empty()) text.append(prefix).append(mark).append(data.empty() ? "\n" : " ");
    bool lineOpen = !mark.empty() && !data.empty();
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!lineOpen) {
            text += prefix;
            lineOpen = true;
        }
        const auto c = static_cast<unsigned char>(data[i]);
        if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') {
            text += '\n';
            lineOpen = false;
            ++i;
        } else if (c == '\\') {
            text += "\\\\";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 0xf];
        } else {
            text += static_cast<char>(c);
        }
    }
    if (lineOpen) text += '\n';
    return text;
}

}  // namespace korvane
