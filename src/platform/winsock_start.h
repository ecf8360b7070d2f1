#pragma once
// Winsock needs one start-up per process before its first call; it stays up
// until the process ends. Private to the Windows half of the platform layer.

namespace korvane {

// Starts Winsock on the first call; whether it is up.
bool winsockStarted();

}  // namespace korvane
