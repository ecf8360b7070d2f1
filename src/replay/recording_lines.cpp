#include "replay/recording_lines.h"

#include <charconv>
#include <cmath>

#include "replay/json_text.h"

namespace korvane {

namespace {

// {"t": 12.500, "<name>": "<text>"[, "<peerName>": "<peer>"]}\n
std::string line(double t, std::string_view name, std::string_view text, std::string_view peerName,
                 std::string_view peer) {
    std::string out;
    out.reserve(text.size() + text.size() / 4 + peer.size() + 48);
    if (!std::isfinite(t)) t = 0;  // "nan" would make the line unreadable
    out += "{\"t\": ";
    char number[64];
    const auto [end, error] =
        std::to_chars(number, number + sizeof number, t, std::chars_format::fixed, 3);
    out.append(number, error == std::errc{} ? end : number);
    out += ", \"";
    out += name;
    out += "\": \"";
    appendJsonEscaped(out, text);
    out += '"';
    if (!peer.empty()) {
        out += ", \"";
        out += peerName;
        out += "\": \"";
        appendJsonEscaped(out, peer);
        out += '"';
    }
    out += "}\n";
    return out;
}

}  // namespace

std::string frameLine(double t, std::string_view frame, std::string_view to) {
    return line(t, "frame", frame, "to", to);
}

std::string receivedLine(double t, std::string_view text, std::string_view from) {
    return line(t, "received", text, "from", from);
}

std::string noteLine(double t, std::string_view text) { return line(t, "note", text, {}, {}); }

}  // namespace korvane
