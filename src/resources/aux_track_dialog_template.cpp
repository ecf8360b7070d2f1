#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::aux_track;

constexpr DialogItem kItems[] = {
    {id::kTagEdit, ControlKind::Edit, "", 71, 8, 40, 12},
    {id::kMinimumEdit, ControlKind::Edit, "", 71, 26, 40, 12},
    {id::kMaximumEdit, ControlKind::Edit, "", 71, 45, 40, 12},
    {kNoId, ControlKind::Static, "WITS Tag:", 21, 9, 45, 9, kRightAligned},
    {kNoId, ControlKind::Static, "Minimum Value:", 12, 28, 54, 9, kRightAligned},
    {kNoId, ControlKind::Static, "Maximum Value:", 12, 47, 54, 9, kRightAligned},
    {ids::kOk, ControlKind::DefaultButton, "OK", 7, 65, 50, 14},
    {ids::kCancel, ControlKind::PushButton, "Cancel", 68, 65, 50, 14},
};

}  // namespace

// The page retitles it "Modify Auxiliary Track" when it edits an existing track.
const DialogTemplate kAuxTrackDialogTemplate = {182, "Add Auxiliary Track", 125, 86, kItems};

}  // namespace korvane::ui
