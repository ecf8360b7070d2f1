#pragma once

#include <filesystem>

namespace korvane {

struct ExtraRecordTable;

inline constexpr const char* kExtraRecordFileName = "WitsRecords.ini";

void loadExtraRecords(ExtraRecordTable& table, const std::filesystem::path& folder = {});
void saveExtraRecords(const ExtraRecordTable& table, const std::filesystem::path& folder = {});

}  // namespace korvane
