#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::drilling;

using enum ControlKind;

// Template 179: the Drilling tab page.
constexpr DialogItem kItems[] = {
    {kNoId, GroupBox, "ROP (min/ft)", 7, 3, 103, 36},
    {id::kRopCombo, ComboEditable, "", 17, 16, 83, 71},
    {kNoId, GroupBox, "Current Status", 7, 48, 104, 71},
    {kNoId, Static, "Hole Depth:", 13, 65, 42, 10, kRightAligned},
    {id::kHoleDepthText, Static, "-.--", 57, 65, 46, 10, kSunken},
    {kNoId, Static, "Bit Depth:", 19, 83, 36, 10, kRightAligned},
    {id::kBitDepthText, Static, "-.--", 57, 83, 46, 10, kSunken},
    {kNoId, Static, "Gas:", 23, 100, 31, 10, kRightAligned},
    {id::kGasText, Static, "-.--", 56, 100, 46, 10, kSunken},
    {kNoId, GroupBox, "Pump Configuration", 128, 3, 160, 124},
    {id::kCirculatePump1Box, CheckBox, "Circulate Pump 1", 137, 19, 70, 10},
    {id::kPump1RateCombo, ComboList, "", 211, 17, 66, 71},
    {kNoId, Static, "Pump 1 Strokes:", 151, 36, 70, 10, kRightAligned},
    {id::kPump1StrokesText, Static, "Static", 225, 36, 50, 10, kSunken | kRightAligned},
    {id::kCirculatePump2Box, CheckBox, "Circulate Pump 2", 137, 55, 69, 10},
    {id::kPump2RateCombo, ComboList, "", 211, 54, 66, 71},
    {kNoId, Static, "Pump 2 Strokes:", 151, 73, 70, 10, kRightAligned},
    {id::kPump2StrokesText, Static, "Static", 225, 73, 50, 10, kSunken | kRightAligned},
    {id::kCirculatePump3Box, CheckBox, "Circulate Pump 3", 137, 90, 69, 10},
    {id::kPump3RateCombo, ComboList, "", 211, 89, 66, 71},
    {kNoId, Static, "Pump 3 Strokes:", 151, 108, 70, 10, kRightAligned},
    {id::kPump3StrokesText, Static, "Static", 225, 109, 50, 10, kSunken | kRightAligned},
};

}  // namespace

const DialogTemplate kDrillingPageTemplate{179, "", 302, 134, kItems};

}  // namespace korvane::ui
