#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

constexpr DialogItem kItems[] = {
    {1018, ControlKind::Slider, "", 12, 8, 28, 100, kVertical | kTicksBoth},
    {1037, ControlKind::Static, "-.--", 48, 12, 36, 10},
    {1038, ControlKind::Static, "-.--", 48, 95, 39, 10},
    {1022, ControlKind::ListBox, "", 192, 7, 100, 112, kSorted | kTabStops},
    {1034, ControlKind::PushButton, "Add Track", 116, 16, 64, 16},
    {1035, ControlKind::PushButton, "Remove Track", 116, 39, 64, 16},
    {1036, ControlKind::PushButton, "Modify Track", 116, 63, 64, 16},
    {1039, ControlKind::CheckBox, "Transmit This Track", 103, 96, 77, 10},
    {kNoId, ControlKind::Static, "Current Output for Track", 16, 115, 84, 9, kRightAligned},
    {1043, ControlKind::Static, "7777", 105, 115, 17, 9},
    {kNoId, ControlKind::Static, "is", 125, 115, 8, 8},
    {1042, ControlKind::Static, "7777", 134, 115, 48, 9},
};

}  // namespace

const DialogTemplate kAuxTracksPageTemplate = {177, "", 302, 134, kItems};

}  // namespace korvane::ui
