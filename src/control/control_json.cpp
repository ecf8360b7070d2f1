#include "control/control_json.h"

#include <charconv>
#include <cmath>

#include "replay/json_text.h"

namespace korvane {

namespace {

template <typename Number>
std::string shortest(Number value) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

}  // namespace

void JsonObject::key(std::string_view name) {
    if (body_.size() > 1) body_ += ", ";
    body_ += jsonString(name);
    body_ += ": ";
}

JsonObject& JsonObject::add(std::string_view name, double value) {
    return raw(name, shortest(value));
}
JsonObject& JsonObject::add(std::string_view name, float value) {
    return raw(name, shortest(value));
}
JsonObject& JsonObject::add(std::string_view name, int64_t value) {
    return raw(name, std::to_string(value));
}
JsonObject& JsonObject::add(std::string_view name, uint64_t value) {
    return raw(name, std::to_string(value));
}
JsonObject& JsonObject::add(std::string_view name, bool value) {
    return raw(name, value ? "true" : "false");
}
JsonObject& JsonObject::add(std::string_view name, std::string_view value) {
    return raw(name, jsonString(value));
}
JsonObject& JsonObject::raw(std::string_view name, std::string_view json) {
    key(name);
    body_ += json;
    return *this;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    appendJsonEscaped(out, text);
    return out + "\"";
}

std::string errorReply(std::string_view error) {
    return JsonObject().add("ok", false).add("error", error).text();
}

}  // namespace korvane
