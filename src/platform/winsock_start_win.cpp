#include <winsock2.h>

#include "platform/winsock_start.h"

namespace korvane {

bool winsockStarted() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace korvane
