#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::gas_simulator;

constexpr DialogItem kItems[] = {
    {id::kGasSlider, ControlKind::Slider, "", 21, 15, 31, 103, kVertical | kTicksBoth},
    {id::kUpperBoundText, ControlKind::Static, "-.--", 55, 19, 35, 10},
    {id::kLowerBoundText, ControlKind::Static, "-.--", 55, 105, 35, 10},
    {kNoId, ControlKind::Static, "Current Output Value:", 84, 44, 80, 10, kRightAligned},
    {id::kOutputText, ControlKind::Static, "0.0", 169, 44, 34, 10},
    {id::kSendGasBox, ControlKind::CheckBox, "Send Simulated Gas", 98, 60, 89, 9},
    {id::kSetupButton, ControlKind::PushButton, "Setup", 109, 83, 60, 14},
};

}  // namespace

const DialogTemplate kGasSimulatorPageTemplate = {180, "", 302, 134, kItems};

}  // namespace korvane::ui
