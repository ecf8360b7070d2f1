#include <windows.h>

#include "instance_guard_probe.h"

namespace korvane::testing {

bool instanceGuardHeld(const std::filesystem::path&) {
    // The guard is a mutex named in the session's namespace; it exists while
    // a process keeps it open.
    const HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Korvane");
    if (mutex == nullptr) return false;
    ::CloseHandle(mutex);
    return true;
}

}  // namespace korvane::testing
