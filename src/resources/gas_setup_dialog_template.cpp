#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::gas_setup;

constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::Static, "Max Gas Value:", 14, 10, 50, 8, kRightAligned},
    {id::kMaximumEdit, ControlKind::Edit, "", 67, 9, 38, 12},
    {kNoId, ControlKind::Static, "Min Gas Value:", 16, 29, 48, 8, kRightAligned},
    {id::kMinimumEdit, ControlKind::Edit, "", 67, 27, 38, 12},
    {ids::kOk, ControlKind::DefaultButton, "OK", 7, 47, 50, 14},
    {ids::kCancel, ControlKind::PushButton, "Cancel", 68, 47, 50, 14},
};

}  // namespace

const DialogTemplate kGasSetupDialogTemplate = {184, "Gas Simulator Setup", 125, 68, kItems};

}  // namespace korvane::ui
