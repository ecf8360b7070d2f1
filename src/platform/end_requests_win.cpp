#include <windows.h>

#include <atomic>

#include "platform/end_requests.h"

namespace korvane {

namespace {

// Manual-reset events: `requested` once any end request came, `handled` once
// the program has saved and may be ended.
HANDLE requested = nullptr;
HANDLE handled = nullptr;
std::atomic<DWORD> requestKind{CTRL_C_EVENT};

// The system gives a console-close handler about five seconds before it ends
// the process anyway; the orderly end takes well under one.
constexpr DWORD kHandledWaitMs = 4500;

BOOL WINAPI onConsoleControl(DWORD kind) {
    switch (kind) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            requestKind.store(kind);
            SetEvent(requested);
            // The process ends when this returns for a close, logoff or
            // shutdown; hold it until the settings are saved.
            if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT)
                WaitForSingleObject(handled, kHandledWaitMs);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void holdEndRequests() {
    requested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    handled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

std::string waitForEndRequest() {
    WaitForSingleObject(requested, INFINITE);
    switch (requestKind.load()) {
        case CTRL_BREAK_EVENT:
            return "Ctrl+Break";
        case CTRL_CLOSE_EVENT:
            return "console closed";
        case CTRL_LOGOFF_EVENT:
            return "logoff";
        case CTRL_SHUTDOWN_EVENT:
            return "shutdown";
        default:
            return "Ctrl+C";
    }
}

void requestEnd() {
    // Read as Ctrl+C: an end that needs no holding of the console handler.
    requestKind.store(CTRL_C_EVENT);
    if (requested) SetEvent(requested);
}

void endRequestHandled() {
    if (handled) SetEvent(handled);
}

}  // namespace korvane
