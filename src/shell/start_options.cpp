#include "shell/start_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "simulation/sim_state.h"

namespace korvane {

namespace {

// As the headless runner says them.
constexpr const char* kControlForm = "--control needs stdin, PORT or ADDRESS:PORT";
constexpr const char* kScenarioForm = "--scenario needs a file name";
constexpr const char* kClockScaleForm = "--clock-scale needs a number from 1 to 3600";

std::optional<double> clockScaleOf(std::string_view text) {
    double scale = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), scale);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(scale) || scale < 1 || scale > kMostClockScale)
        return std::nullopt;
    return scale;
}

}  // namespace

ParsedStartOptions parseStartOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        std::optional<std::string_view> value;
        if (const std::size_t equals = name.find('=');
            name.starts_with("--") && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name != "--control" && name != "--scenario" && name != "--clock-scale") continue;
        if (!value && i + 1 < arguments.size()) value = arguments[++i];
        if (name == "--control") {
            options.control = value ? readControlPlace(*value) : std::nullopt;
            if (!options.control) return {std::nullopt, kControlForm};
        } else if (name == "--scenario") {
            if (!value || value->empty()) return {std::nullopt, kScenarioForm};
            options.scenario = std::string(*value);
        } else {
            options.clockScale = value ? clockScaleOf(*value) : std::nullopt;
            if (!options.clockScale) return {std::nullopt, kClockScaleForm};
        }
    }
    return {options, {}};
}

}  // namespace korvane
