#pragma once

#include <string>

namespace korvane {

// The requests to end the program that the system sends: SIGINT, SIGTERM and
// SIGHUP (Ctrl+C, kill, a closed terminal or a logout) on POSIX; Ctrl+C,
// Ctrl+Break and a closed console window on Windows. Each is treated like
// File, Exit: the settings are saved before the program ends.

// Call first thing in main, before any other thread starts: from then on an
// end request no longer ends the process at once, but waits for
// waitForEndRequest. Output to a reader that has gone away no longer ends it
// either.
void holdEndRequests();

// Blocks until an end request comes; returns its name ("SIGTERM", "Ctrl+C").
std::string waitForEndRequest();

// An end request from the program itself (a recording played to its end),
// taken by waitForEndRequest like the system's. Any thread.
void requestEnd();

// Says that the orderly end is done. On Windows the system ends the process
// as soon as its console-close handler returns, so the handler waits for this.
void endRequestHandled();

}  // namespace korvane
