#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::faults;

using enum ControlKind;

// Template 186: File, Faults... One row per fault, in kAllFaults order: its
// switch, its numbers and, on the right, how many it has made.
constexpr DialogItem kItems[] = {
    {kNoId, Static, "Applied", 202, 5, 44, 8, kCentered},
    {id::kSwitches[0], CheckBox, "Drop", 7, 17, 56, 10},
    {id::kValueFields[0], Edit, "", 66, 16, 34, 12},
    {kNoId, Static, "%", 103, 18, 44, 8},
    {id::kCounts[0], Static, "", 202, 16, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[1], CheckBox, "Duplicate", 7, 32, 56, 10},
    {id::kValueFields[1], Edit, "", 66, 31, 34, 12},
    {kNoId, Static, "%", 103, 33, 44, 8},
    {id::kCounts[1], Static, "", 202, 31, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[2], CheckBox, "Delay", 7, 47, 56, 10},
    {id::kValueFields[2], Edit, "", 66, 46, 34, 12},
    {kNoId, Static, "ms, jitter", 103, 48, 44, 8},
    {id::kDelayJitterEdit, Edit, "", 149, 46, 34, 12},
    {kNoId, Static, "ms", 186, 48, 12, 8},
    {id::kCounts[2], Static, "", 202, 46, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[3], CheckBox, "Split", 7, 62, 56, 10},
    {id::kValueFields[3], Edit, "", 66, 61, 34, 12},
    {kNoId, Static, "pieces, gap", 103, 63, 44, 8},
    {id::kSplitGapEdit, Edit, "", 149, 61, 34, 12},
    {kNoId, Static, "ms", 186, 63, 12, 8},
    {id::kCounts[3], Static, "", 202, 61, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[4], CheckBox, "Corrupt", 7, 77, 56, 10},
    {id::kValueFields[4], Edit, "", 66, 76, 34, 12},
    {kNoId, Static, "%", 103, 78, 44, 8},
    {id::kCounts[4], Static, "", 202, 76, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[5], CheckBox, "Noise", 7, 92, 56, 10},
    {id::kValueFields[5], Edit, "", 66, 91, 34, 12},
    {kNoId, Static, "%", 103, 93, 44, 8},
    {id::kCounts[5], Static, "", 202, 91, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[6], CheckBox, "Truncate", 7, 107, 56, 10},
    {id::kValueFields[6], Edit, "", 66, 106, 34, 12},
    {kNoId, Static, "%", 103, 108, 44, 8},
    {id::kCounts[6], Static, "", 202, 106, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[7], CheckBox, "Bad Value", 7, 122, 56, 10},
    {id::kValueFields[7], Edit, "", 66, 121, 34, 12},
    {kNoId, Static, "%", 103, 123, 44, 8},
    {id::kCounts[7], Static, "", 202, 121, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[8], CheckBox, "Line Ends", 7, 137, 56, 10},
    {id::kValueFields[8], ComboList, "", 66, 136, 50, 48},
    {id::kCounts[8], Static, "", 202, 136, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[9], CheckBox, "Stall", 7, 152, 56, 10},
    {id::kValueFields[9], Edit, "", 66, 151, 34, 12},
    {kNoId, Static, "s every", 103, 153, 44, 8},
    {id::kStallEveryEdit, Edit, "", 149, 151, 34, 12},
    {kNoId, Static, "s", 186, 153, 12, 8},
    {id::kCounts[9], Static, "", 202, 151, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[10], CheckBox, "Disconnect", 7, 167, 56, 10},
    {id::kValueFields[10], Edit, "", 66, 166, 34, 12},
    {kNoId, Static, "s apart (TCP only)", 103, 168, 96, 8},
    {id::kCounts[10], Static, "", 202, 166, 44, 12, kRightAligned | kSunken},
    {id::kSwitches[11], CheckBox, "Reorder", 7, 182, 56, 10},
    {id::kValueFields[11], Edit, "", 66, 181, 34, 12},
    {kNoId, Static, "%", 103, 183, 44, 8},
    {id::kCounts[11], Static, "", 202, 181, 44, 12, kRightAligned | kSunken},
    {kNoId, Static, "Seed:", 7, 203, 56, 8},
    {id::kSeedEdit, Edit, "", 66, 201, 60, 12},
    {kNoId, Static, "empty: draw one", 129, 203, 70, 8},
    {id::kClearAllButton, PushButton, "Clear All", 7, 222, 50, 14},
    {ids::kOk, DefaultButton, "OK", 141, 222, 50, 14},
    {ids::kCancel, PushButton, "Cancel", 196, 222, 50, 14},
};

}  // namespace

const DialogTemplate kFaultsDialogTemplate{186, "Faults", 253, 243, kItems};

}  // namespace korvane::ui
