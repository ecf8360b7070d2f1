#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::define_records;

// Both upper group boxes read "Record Type", the item list's frame included.
constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::GroupBox, "Record Type", 7, 3, 54, 38},
    {id::kRecordTypeCombo, ControlKind::ComboList, "", 15, 18, 37, 51},
    {kNoId, ControlKind::GroupBox, "Record Type", 70, 3, 109, 38},
    {id::kItemCombo, ControlKind::ComboList, "", 80, 18, 90, 68},
    {id::kAddButton, ControlKind::PushButton, "Add Specified Record", 8, 48, 86, 14},
    {kNoId, ControlKind::Static, "Value=", 112, 51, 24, 8},
    {id::kValueEdit, ControlKind::Edit, "", 138, 49, 40, 13},
    {kNoId, ControlKind::GroupBox, "Currently Defined Records", 7, 71, 172, 98},
    {id::kRecordList, ControlKind::ListBox, "", 17, 86, 151, 51},
    {id::kRemoveButton, ControlKind::PushButton, "Remove Selected Record", 44, 145, 98, 14},
    {ids::kOk, ControlKind::DefaultButton, "OK", 33, 177, 50, 14},
    {ids::kCancel, ControlKind::PushButton, "Cancel", 99, 177, 50, 14},
};

}  // namespace

const DialogTemplate kDefineRecordsDialogTemplate = {185, "Define WITS Records", 186, 198, kItems};

}  // namespace korvane::ui
