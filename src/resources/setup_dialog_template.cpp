#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::setup;

using enum ControlKind;

// Template 174: File, Setup...
constexpr DialogItem kItems[] = {
    {kNoId, GroupBox, "Communications", 7, 3, 153, 73},
    {id::kUdpRadio, RadioButton, "UDP", 13, 16, 36, 12, kGroupStart},
    {id::kRs232Radio, RadioButton, "RS-232", 13, 35, 43, 12},
    {id::kIpAddressField, IpAddress, "", 64, 16, 89, 12},
    {kNoId, Static, "Comm Port:", 77, 36, 46, 10, kRightAligned},
    {id::kComPortEdit, Edit, "", 125, 35, 28, 12},
    {kNoId, Static, "Baud Rate:", 20, 56, 53, 10, kRightAligned},
    {id::kBaudCombo, ComboList, "", 76, 55, 77, 62, kDisabled},
    {kNoId, GroupBox, "Operation Mode", 7, 80, 154, 34},
    {id::kStreamingRadio, RadioButton, "Streaming", 18, 95, 59, 9, kGroupStart},
    {id::kInterrogativeRadio, RadioButton, "Interrogative", 88, 95, 59, 9},
    {kNoId, Static, "WITS Transmit Interval:", 21, 123, 78, 8, kRightAligned},
    {id::kIntervalEdit, Edit, "", 101, 122, 28, 12},
    {kNoId, Static, "sec", 133, 123, 12, 8},
    {ids::kOk, DefaultButton, "OK", 22, 141, 50, 14},
    {ids::kCancel, PushButton, "Cancel", 99, 141, 50, 14},
};

}  // namespace

const DialogTemplate kSetupDialogTemplate{174, "Simulator Setup", 167, 162, kItems};

}  // namespace korvane::ui
