#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// One JSON object, written member by member: the control channel's replies
// and events. Numbers in the classic "C" locale, the shortest text that reads
// back the same; a number that is not finite is written as null.
class JsonObject {
public:
    JsonObject& add(std::string_view key, double value);
    JsonObject& add(std::string_view key, float value);
    JsonObject& add(std::string_view key, int64_t value);
    JsonObject& add(std::string_view key, int32_t value) { return add(key, int64_t{value}); }
    JsonObject& add(std::string_view key, uint64_t value);
    JsonObject& add(std::string_view key, bool value);
    JsonObject& add(std::string_view key, std::string_view value);
    JsonObject& add(std::string_view key, const char* value) {
        return add(key, std::string_view(value));
    }
    JsonObject& add(std::string_view key, const std::string& value) {
        return add(key, std::string_view(value));
    }
    // `json` is already JSON (an object, an array, null).
    JsonObject& raw(std::string_view key, std::string_view json);
    JsonObject& null(std::string_view key) { return raw(key, "null"); }

    std::string text() const { return body_ + "}"; }

private:
    void key(std::string_view name);
    std::string body_ = "{";
};

// A JSON string: quoted, with `"`, `\` and control bytes escaped; bytes
// 0x80-0xFF are taken as Latin-1.
std::string jsonString(std::string_view text);

// The reply to a command that failed: {"ok": false, "error": "COMMAND: WHAT"}.
std::string errorReply(std::string_view error);

}  // namespace korvane
