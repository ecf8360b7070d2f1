#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

using enum ControlKind;

// Template 179: the Drilling tab page.
constexpr DialogItem kItems[] = {
    {kNoId, GroupBox, "ROP (min/ft)", 7, 3, 103, 36},
    {1021, ComboEditable, "", 17, 16, 83, 71},
    {kNoId, GroupBox, "Current Status", 7, 48, 104, 71},
    {kNoId, Static, "Hole Depth:", 13, 65, 42, 10, kRightAligned},
    {1025, Static, "-.--", 57, 65, 46, 10, kSunken},
    {kNoId, Static, "Bit Depth:", 19, 83, 36, 10, kRightAligned},
    {1026, Static, "-.--", 57, 83, 46, 10, kSunken},
    {kNoId, Static, "Gas:", 23, 100, 31, 10, kRightAligned},
    {1027, Static, "-.--", 56, 100, 46, 10, kSunken},
    {kNoId, GroupBox, "Pump Configuration", 128, 3, 160, 124},
    {1032, CheckBox, "Circulate Pump 1", 137, 19, 70, 10},
    {1022, ComboList, "", 211, 17, 66, 71},
    {kNoId, Static, "Pump 1 Strokes:", 151, 36, 70, 10, kRightAligned},
    {1028, Static, "Static", 225, 36, 50, 10, kSunken | kRightAligned},
    {1033, CheckBox, "Circulate Pump 2", 137, 55, 69, 10},
    {1023, ComboList, "", 211, 54, 66, 71},
    {kNoId, Static, "Pump 2 Strokes:", 151, 73, 70, 10, kRightAligned},
    {1029, Static, "Static", 225, 73, 50, 10, kSunken | kRightAligned},
    {1034, CheckBox, "Circulate Pump 3", 137, 90, 69, 10},
    {1024, ComboList, "", 211, 89, 66, 71},
    {kNoId, Static, "Pump 3 Strokes:", 151, 108, 70, 10, kRightAligned},
    {1030, Static, "Static", 225, 109, 50, 10, kSunken | kRightAligned},
};

}  // namespace

const DialogTemplate kDrillingPageTemplate{179, "", 302, 134, kItems};

}  // namespace korvane::ui
