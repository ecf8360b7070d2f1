#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvane {

struct SharedState;

// Files live in the working directory by bare name; `folder` lets tests and
// the headless runner point elsewhere (empty = the working directory).
inline constexpr const char* kSettingsFileName = "Korvane.ini";

// Start-up values of every shared value, then the extraneous records from
// WitsRecords.ini.
void setStartupDefaults(SharedState& shared, const std::filesystem::path& folder = {});

// 0 all read; 1 no file; 2 a short read; -2 a depth came up short.
int32_t loadSettings(SharedState& shared, const std::filesystem::path& folder = {});

// 0 all written; -1 could not create; otherwise the code of the last failed write.
// When the save fails, `why` gets the system's reason.
int32_t saveSettings(SharedState& shared, const std::filesystem::path& folder = {},
                     std::string* why = nullptr);

}  // namespace korvane
