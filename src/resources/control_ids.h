#pragma once

// Control ids of every dialog and tab page, one block per template, as a
// Windows resource.h keeps them: the templates place the controls under these
// ids and the code and tests look them up by the same names. The numbers are
// the classic program's and stay as they are.
namespace korvane::ids {

// Windows' IDOK and IDCANCEL: the OK and Cancel buttons of every modal dialog.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// Template 174, "Simulator Setup".
namespace setup {
inline constexpr int kUdpRadio = 1011;
inline constexpr int kRs232Radio = 1012;
inline constexpr int kComPortEdit = 1013;
inline constexpr int kIpAddressField = 1014;
inline constexpr int kIntervalEdit = 1015;
inline constexpr int kStreamingRadio = 1051;
inline constexpr int kInterrogativeRadio = 1052;
inline constexpr int kBaudCombo = 1055;
// Added for TCP, after the classic ones.
inline constexpr int kTcpRadio = 1070;
inline constexpr int kTcpServerRadio = 1071;
inline constexpr int kTcpClientRadio = 1072;
inline constexpr int kTcpListenField = 1073;
inline constexpr int kTcpHostEdit = 1074;
inline constexpr int kTcpPortEdit = 1075;
}  // namespace setup

// Template 177, the Aux Tracks tab page.
namespace aux_tracks {
inline constexpr int kValueSlider = 1018;
inline constexpr int kTrackList = 1022;
inline constexpr int kAddButton = 1034;
inline constexpr int kRemoveButton = 1035;
inline constexpr int kModifyButton = 1036;
inline constexpr int kUpperBoundText = 1037;
inline constexpr int kLowerBoundText = 1038;
inline constexpr int kTransmitBox = 1039;
inline constexpr int kValueText = 1042;
inline constexpr int kTagText = 1043;
}  // namespace aux_tracks

// Template 179, the Drilling tab page.
namespace drilling {
inline constexpr int kRopCombo = 1021;
inline constexpr int kPump1RateCombo = 1022;
inline constexpr int kPump2RateCombo = 1023;
inline constexpr int kPump3RateCombo = 1024;
inline constexpr int kHoleDepthText = 1025;
inline constexpr int kBitDepthText = 1026;
inline constexpr int kGasText = 1027;
inline constexpr int kPump1StrokesText = 1028;
inline constexpr int kPump2StrokesText = 1029;
inline constexpr int kPump3StrokesText = 1030;
inline constexpr int kCirculatePump1Box = 1032;
inline constexpr int kCirculatePump2Box = 1033;
inline constexpr int kCirculatePump3Box = 1034;

// By pump, first to third.
inline constexpr int kPumpRateCombos[] = {kPump1RateCombo, kPump2RateCombo, kPump3RateCombo};
inline constexpr int kPumpStrokesTexts[] = {kPump1StrokesText, kPump2StrokesText,
                                            kPump3StrokesText};
inline constexpr int kCirculatePumpBoxes[] = {kCirculatePump1Box, kCirculatePump2Box,
                                              kCirculatePump3Box};
}  // namespace drilling

// Template 180, the Gas Simulator tab page.
namespace gas_simulator {
inline constexpr int kGasSlider = 1020;
inline constexpr int kUpperBoundText = 1037;
inline constexpr int kLowerBoundText = 1038;
inline constexpr int kSetupButton = 1052;
inline constexpr int kOutputText = 1053;
inline constexpr int kSendGasBox = 1056;
}  // namespace gas_simulator

// Template 181, the Options tab page.
namespace options {
inline constexpr int kZeroStrokesButton = 1019;
inline constexpr int kDefineRecordsButton = 1020;
inline constexpr int kDropHoleDepthBox = 1025;
inline constexpr int kDropBitDepthBox = 1026;
inline constexpr int kSetDepthsButton = 1044;
inline constexpr int kDropPump1SpmBox = 1048;
inline constexpr int kDropPump2SpmBox = 1049;
inline constexpr int kDropPump3SpmBox = 1050;
inline constexpr int kSendTotalStrokes1Box = 1051;
inline constexpr int kSendTotalStrokes2Box = 1052;
inline constexpr int kSendTotalStrokes3Box = 1053;
inline constexpr int kTransmitExtraRecordsBox = 1064;

// By pump, first to third.
inline constexpr int kDropPumpSpmBoxes[] = {kDropPump1SpmBox, kDropPump2SpmBox, kDropPump3SpmBox};
inline constexpr int kSendTotalStrokesBoxes[] = {kSendTotalStrokes1Box, kSendTotalStrokes2Box,
                                                 kSendTotalStrokes3Box};
}  // namespace options

// Template 182, "Add Auxiliary Track" (retitled "Modify Auxiliary Track").
namespace aux_track {
inline constexpr int kMaximumEdit = 1037;
inline constexpr int kMinimumEdit = 1038;
inline constexpr int kTagEdit = 1040;
}  // namespace aux_track

// Template 183, "Edit Depths".
namespace edit_depths {
inline constexpr int kHoleDepthEdit = 1045;
inline constexpr int kBitDepthEdit = 1046;
}  // namespace edit_depths

// Template 184, "Gas Simulator Setup".
namespace gas_setup {
inline constexpr int kMaximumEdit = 1037;
inline constexpr int kMinimumEdit = 1038;
}  // namespace gas_setup

// Template 185, "Define WITS Records".
namespace define_records {
inline constexpr int kValueEdit = 1013;
inline constexpr int kRecordTypeCombo = 1058;
inline constexpr int kItemCombo = 1059;
inline constexpr int kAddButton = 1060;
inline constexpr int kRemoveButton = 1061;
inline constexpr int kRecordList = 1063;
}  // namespace define_records

// Template 186, "Faults".
namespace faults {
// By fault, in kAllFaults order: its switch, its first number (the line-ends
// choice on that row) and how many it has made.
inline constexpr int kSwitches[] = {1101, 1102, 1103, 1104, 1105, 1106,
                                    1107, 1108, 1109, 1110, 1111, 1112};
inline constexpr int kValueFields[] = {1121, 1122, 1123, 1124, 1125, 1126,
                                       1127, 1128, 1129, 1130, 1131, 1132};
inline constexpr int kCounts[] = {1161, 1162, 1163, 1164, 1165, 1166,
                                  1167, 1168, 1169, 1170, 1171, 1172};
// The second numbers of the faults that take two.
inline constexpr int kDelayJitterEdit = 1143;
inline constexpr int kSplitGapEdit = 1144;
inline constexpr int kStallEveryEdit = 1150;
inline constexpr int kSeedEdit = 1180;
inline constexpr int kClearAllButton = 1181;
}  // namespace faults

}  // namespace korvane::ids
