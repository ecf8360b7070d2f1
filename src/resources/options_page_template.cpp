#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::options;

constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::GroupBox, "Depth Options", 7, 3, 94, 88},
    {id::kDropHoleDepthBox, ControlKind::CheckBox, "Drop Hole Depth", 19, 18, 72, 13},
    {id::kDropBitDepthBox, ControlKind::CheckBox, "Drop Bit Depth", 19, 34, 72, 13},
    {id::kSetDepthsButton, ControlKind::PushButton, "Set Depths", 22, 68, 60, 14},
    {kNoId, ControlKind::GroupBox, "Pump Options", 112, 3, 181, 88},
    {id::kDropPump1SpmBox, ControlKind::CheckBox, "Drop Pump 1 SPM", 122, 19, 72, 13},
    {id::kDropPump2SpmBox, ControlKind::CheckBox, "Drop Pump 2 SPM", 122, 34, 72, 13},
    {id::kDropPump3SpmBox, ControlKind::CheckBox, "Drop Pump 3 SPM", 122, 49, 72, 13},
    {id::kSendTotalStrokes1Box, ControlKind::CheckBox, "Send Total Strokes 1", 199, 19, 86, 13},
    {id::kSendTotalStrokes2Box, ControlKind::CheckBox, "Send Total Strokes 2", 199, 34, 87, 13},
    {id::kSendTotalStrokes3Box, ControlKind::CheckBox, "Send Total Strokes 3", 199, 49, 86, 13},
    {id::kZeroStrokesButton, ControlKind::PushButton, "Zero Strokes", 168, 68, 64, 14},
    {id::kDefineRecordsButton, ControlKind::PushButton, "Define Extraneous WITS Records...", 9, 99,
     138, 14},
    {id::kTransmitExtraRecordsBox, ControlKind::CheckBox, "Transmit Extraneous WITS Records", 159,
     101, 129, 10},
};

}  // namespace

const DialogTemplate kOptionsPageTemplate = {181, "", 302, 134, kItems};

}  // namespace korvane::ui
