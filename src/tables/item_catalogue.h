#pragma once

#include <cstdint>

namespace korvane {

inline constexpr int kCatalogueRecords = 8;
inline constexpr int kCatalogueItems = 40;
inline constexpr int kItemNameSize = 64;  // 63 characters and a NUL

// Record types and item names offered by the Define WITS Records dialog.
struct ItemCatalogue {
    int32_t nrecords = 0;
    int32_t recid[kCatalogueRecords] = {};
    int32_t nitems[kCatalogueRecords] = {};
    int32_t itemid[kCatalogueRecords][kCatalogueItems] = {};
    char text[kCatalogueRecords][kCatalogueItems][kItemNameSize] = {};
};

}  // namespace korvane
