#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::Static, "Hole Depth:", 10, 10, 54, 9, kRightAligned},
    {1045, ControlKind::Edit, "", 68, 8, 40, 12},
    {kNoId, ControlKind::Static, "BIt Depth:", 10, 29, 54, 9, kRightAligned},
    {1046, ControlKind::Edit, "", 68, 27, 40, 12},
    {1, ControlKind::DefaultButton, "OK", 7, 47, 50, 14},
    {2, ControlKind::PushButton, "Cancel", 68, 47, 50, 14},
};

}  // namespace

const DialogTemplate kEditDepthsDialogTemplate = {183, "Edit Depths", 125, 68, kItems};

}  // namespace korvane::ui
