#pragma once

#include <cstddef>

namespace korvane {

struct SharedState;

inline constexpr std::size_t kFrameBufferSize = 20480;

// The record every frame starts with; it carries no items.
inline constexpr char kGreetingRecord[] = "&&\r\n1984KVT\r\n!!\r\n";

// Writes one WITS frame as NUL-terminated text at `out` (kFrameBufferSize
// bytes) and returns its length. The caller holds shared.dataMutex.
std::size_t buildFrame(SharedState& shared, char* out);

}  // namespace korvane
