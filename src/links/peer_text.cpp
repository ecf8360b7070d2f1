#include "links/peer_text.h"

namespace korvane {

std::string peerText(const int32_t (&octets)[4]) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}

}  // namespace korvane
