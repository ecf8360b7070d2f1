#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Korvane.ini's bytes to settings and back, with no file in sight; the file
// work (where it lives, deleting a damaged one, replacing it whole) is
// settings_file.cpp's.
namespace korvane {

struct SharedState;
class ByteSink;

// What a decode made of the bytes; the values are loadSettings' codes.
enum class SettingsRead : int32_t {
    ok = 0,
    shortField = 2,   // a field, the count or a record came up short, or held damage
    shortDepth = -2,  // one of the two depths came up short
};

// How a write went; the values are saveSettings' codes, a failed write's
// being that of the last field that failed.
enum class SettingsWrite : int32_t {
    ok = 0,
    notCreated = -1,  // no file to write to (the file layer's)
    floatField = -2,  // the IP octets, the float settings, the depths
    intField = 2,     // the int32 settings, the count and the track records
};

// The longest file a save writes: the header, 100 track records and the
// largest TCP block; anything after it is never read.
inline constexpr std::size_t kLargestSettingsFile = 36 + 21 * 100 + 285;

// The link settings of a missing or rejected file.
void setDefaultLink(SharedState& shared);

// Reads the bytes into the shared state. A field that comes up short keeps
// the value it had. Anything but ok puts the link settings back to their
// defaults, while the switch, the depths and the tracks read whole stay.
SettingsRead decodeSettings(std::span<const uint8_t> bytes, SharedState& shared);

// What one save writes, with the fields as the layout divides them.
struct SettingsImage {
    std::vector<uint8_t> bytes;
    // The header fields in file order, with the status of a failed write of each.
    struct Field {
        std::size_t size;
        SettingsWrite failCode;
    };
    std::vector<Field> header;
    int32_t trackCount = 0;
};

// Copies the settings out of the shared state in one go (the caller takes
// the lock); recounts the tracks in use.
SettingsImage encodeSettings(SharedState& shared);

// Writes the image to the sink field by field, going on past a failed field.
SettingsWrite writeSettings(const SettingsImage& image, ByteSink& sink);

}  // namespace korvane
