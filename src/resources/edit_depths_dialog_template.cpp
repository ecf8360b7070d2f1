#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::edit_depths;

constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::Static, "Hole Depth:", 10, 10, 54, 9, kRightAligned},
    {id::kHoleDepthEdit, ControlKind::Edit, "", 68, 8, 40, 12},
    {kNoId, ControlKind::Static, "BIt Depth:", 10, 29, 54, 9, kRightAligned},
    {id::kBitDepthEdit, ControlKind::Edit, "", 68, 27, 40, 12},
    {ids::kOk, ControlKind::DefaultButton, "OK", 7, 47, 50, 14},
    {ids::kCancel, ControlKind::PushButton, "Cancel", 68, 47, 50, 14},
};

}  // namespace

const DialogTemplate kEditDepthsDialogTemplate = {183, "Edit Depths", 125, 68, kItems};

}  // namespace korvane::ui
