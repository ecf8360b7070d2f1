#pragma once
// A temporary file's name beside the file it will replace; private to the
// platform layer's saves on both systems.

#include <filesystem>

namespace korvane {

// `target` with ".<12 hex digits>.tmp" added, different from call to call and
// run to run, so a name planted in advance is only ever met by chance (and the
// exclusive create then skips it).
std::filesystem::path temporaryName(const std::filesystem::path& target);

}  // namespace korvane
