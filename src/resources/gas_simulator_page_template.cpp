#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

constexpr DialogItem kItems[] = {
    {1020, ControlKind::Slider, "", 21, 15, 31, 103, kVertical | kTicksBoth},
    {1037, ControlKind::Static, "-.--", 55, 19, 35, 10},
    {1038, ControlKind::Static, "-.--", 55, 105, 35, 10},
    {kNoId, ControlKind::Static, "Current Output Value:", 84, 44, 80, 10, kRightAligned},
    {1053, ControlKind::Static, "0.0", 169, 44, 34, 10},
    {1056, ControlKind::CheckBox, "Send Simulated Gas", 98, 60, 89, 9},
    {1052, ControlKind::PushButton, "Setup", 109, 83, 60, 14},
};

}  // namespace

const DialogTemplate kGasSimulatorPageTemplate = {180, "", 302, 134, kItems};

}  // namespace korvane::ui
