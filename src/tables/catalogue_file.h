#pragma once

#include <cstdint>
#include <filesystem>

namespace korvane {

struct ItemCatalogue;

inline constexpr const char* kCatalogueFileName = "WitsDialogInfo.txt";

// Returns ierr: 0 loaded, 1 bad header line, 2 missing or bad item line.
// On any error, a missing file included, the catalogue is the fallback.
int32_t loadCatalogue(ItemCatalogue& catalogue, const std::filesystem::path& folder = {});

}  // namespace korvane
