#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::Static, "Max Gas Value:", 14, 10, 50, 8, kRightAligned},
    {1037, ControlKind::Edit, "", 67, 9, 38, 12},
    {kNoId, ControlKind::Static, "Min Gas Value:", 16, 29, 48, 8, kRightAligned},
    {1038, ControlKind::Edit, "", 67, 27, 38, 12},
    {1, ControlKind::DefaultButton, "OK", 7, 47, 50, 14},
    {2, ControlKind::PushButton, "Cancel", 68, 47, 50, 14},
};

}  // namespace

const DialogTemplate kGasSetupDialogTemplate = {184, "Gas Simulator Setup", 125, 68, kItems};

}  // namespace korvane::ui
