#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::aux_tracks;

constexpr DialogItem kItems[] = {
    {id::kValueSlider, ControlKind::Slider, "", 12, 8, 28, 100, kVertical | kTicksBoth},
    {id::kUpperBoundText, ControlKind::Static, "-.--", 48, 12, 36, 10},
    {id::kLowerBoundText, ControlKind::Static, "-.--", 48, 95, 39, 10},
    {id::kTrackList, ControlKind::ListBox, "", 192, 7, 100, 112, kSorted | kTabStops},
    {id::kAddButton, ControlKind::PushButton, "Add Track", 116, 16, 64, 16},
    {id::kRemoveButton, ControlKind::PushButton, "Remove Track", 116, 39, 64, 16},
    {id::kModifyButton, ControlKind::PushButton, "Modify Track", 116, 63, 64, 16},
    {id::kTransmitBox, ControlKind::CheckBox, "Transmit This Track", 103, 96, 77, 10},
    {kNoId, ControlKind::Static, "Current Output for Track", 16, 115, 84, 9, kRightAligned},
    {id::kTagText, ControlKind::Static, "7777", 105, 115, 17, 9},
    {kNoId, ControlKind::Static, "is", 125, 115, 8, 8},
    {id::kValueText, ControlKind::Static, "7777", 134, 115, 48, 9},
};

}  // namespace

const DialogTemplate kAuxTracksPageTemplate = {177, "", 302, 134, kItems};

}  // namespace korvane::ui
