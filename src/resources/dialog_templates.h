#pragma once

#include "resources/dialog_template.h"

// Every dialog and tab page of the program, one table each (one file each
// under src/resources/).
namespace korvane::ui {

// Tab pages: 302 x 134 child dialogs without caption.
extern const DialogTemplate kDrillingPageTemplate;      // 179
extern const DialogTemplate kOptionsPageTemplate;       // 181
extern const DialogTemplate kAuxTracksPageTemplate;     // 177
extern const DialogTemplate kGasSimulatorPageTemplate;  // 180

// Modal dialogs.
extern const DialogTemplate kSetupDialogTemplate;          // 174 "Simulator Setup"
extern const DialogTemplate kAuxTrackDialogTemplate;       // 182 "Add Auxiliary Track"
extern const DialogTemplate kEditDepthsDialogTemplate;     // 183 "Edit Depths"
extern const DialogTemplate kGasSetupDialogTemplate;       // 184 "Gas Simulator Setup"
extern const DialogTemplate kDefineRecordsDialogTemplate;  // 185 "Define WITS Records"
extern const DialogTemplate kFaultsDialogTemplate;         // 186 "Faults"

}  // namespace korvane::ui
