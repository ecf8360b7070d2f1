#pragma once

#include <filesystem>

namespace korvane::testing {

// Whether some process holds the "Korvane" single-instance guard that copies
// started with `runtimeDir` as their runtime folder share. It only looks, so
// it never turns away a copy that is starting.
bool instanceGuardHeld(const std::filesystem::path& runtimeDir);

}  // namespace korvane::testing
