#include "resources/control_ids.h"
#include "resources/dialog_templates.h"

namespace korvane::ui {

namespace {

namespace id = ids::setup;

using enum ControlKind;

// Template 174: File, Setup...
constexpr DialogItem kItems[] = {
    {kNoId, GroupBox, "Communications", 7, 3, 153, 144},
    {id::kUdpRadio, RadioButton, "UDP", 13, 16, 36, 12, kGroupStart},
    {id::kRs232Radio, RadioButton, "RS-232", 13, 35, 43, 12},
    {id::kIpAddressField, IpAddress, "", 64, 16, 89, 12},
    {kNoId, Static, "Comm Port:", 77, 36, 46, 10, kRightAligned},
    {id::kComPortEdit, Edit, "", 125, 35, 28, 12},
    {kNoId, Static, "Baud Rate:", 20, 56, 53, 10, kRightAligned},
    {id::kBaudCombo, ComboList, "", 76, 55, 77, 62, kDisabled},
    {id::kTcpRadio, RadioButton, "TCP", 13, 75, 36, 12},
    {id::kTcpServerRadio, RadioButton, "Server", 64, 75, 40, 12, kGroupStart},
    {id::kTcpClientRadio, RadioButton, "Client", 110, 75, 40, 12},
    {kNoId, Static, "Listen on:", 13, 94, 48, 10, kRightAligned},
    {id::kTcpListenField, IpAddress, "", 64, 93, 89, 12},
    {kNoId, Static, "Host:", 13, 112, 48, 10, kRightAligned},
    {id::kTcpHostEdit, Edit, "", 64, 111, 89, 12},
    {kNoId, Static, "Port:", 13, 130, 48, 10, kRightAligned},
    {id::kTcpPortEdit, Edit, "", 64, 129, 34, 12},
    {kNoId, GroupBox, "Operation Mode", 7, 151, 154, 34},
    {id::kStreamingRadio, RadioButton, "Streaming", 18, 166, 59, 9, kGroupStart},
    {id::kInterrogativeRadio, RadioButton, "Interrogative", 88, 166, 59, 9},
    {kNoId, Static, "WITS Transmit Interval:", 21, 194, 78, 8, kRightAligned},
    {id::kIntervalEdit, Edit, "", 101, 193, 28, 12},
    {kNoId, Static, "sec", 133, 194, 12, 8},
    {ids::kOk, DefaultButton, "OK", 22, 212, 50, 14},
    {ids::kCancel, PushButton, "Cancel", 99, 212, 50, 14},
};

}  // namespace

const DialogTemplate kSetupDialogTemplate{174, "Simulator Setup", 167, 233, kItems};

}  // namespace korvane::ui
