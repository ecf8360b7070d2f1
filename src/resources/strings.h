#pragma once

// The string table and the menu texts of the main window.
namespace korvane::ui {

inline constexpr const char* kCaption = "Korvane";          // 103: first title, message boxes
inline constexpr const char* kWindowClassName = "KORVANE";  // 104

// Menu 157.
inline constexpr const char* kMenuFile = "&File";
inline constexpr const char* kMenuSetup = "&Setup...";  // command 32778
inline constexpr const char* kMenuPlay = "&Play Recording...";
inline constexpr const char* kMenuStopPlaying = "Stop P&laying";
inline constexpr const char* kMenuRecord = "&Record...";
inline constexpr const char* kMenuStopRecording = "Stop Re&cording";
inline constexpr const char* kMenuFaults = "&Faults...";
inline constexpr const char* kMenuAbout = "&About...";
inline constexpr const char* kMenuExit = "&Exit";  // command 162
inline constexpr int kCommandSetup = 32778;
inline constexpr int kCommandExit = 162;

inline constexpr const char* kTrayTip = "Korvane";
inline constexpr const char* kAlreadyRunning = "An Instace of Korvane is Already Running!";

// File, About...: the box's title and its lines under the name and version.
inline constexpr const char* kAboutTitle = "About Korvane";
inline constexpr const char* kAboutWhat =
    "Simulates a drilling rig and sends its readings as WITS Level 0 frames over UDP, RS-232 or "
    "TCP.";
inline constexpr const char* kAboutLicence = "MIT licence";

// Simulator Setup dialog.
inline constexpr const char* kInvalidComPort = "Invalid Com Port!";
inline constexpr const char* kInvalidInterval = "Invalid Transmit Interval!";
inline constexpr const char* kInvalidTcpPort = "Invalid TCP Port!";
inline constexpr const char* kInvalidHost = "Invalid Host!";

// Faults dialog: a refused number, by fault in kAllFaults order, and the seed.
inline constexpr const char* kInvalidFault[] = {
    "Invalid Drop Percentage! (0 to 100)",
    "Invalid Duplicate Percentage! (0 to 100)",
    "Invalid Delay! (whole milliseconds)",
    "Invalid Split! (2 to 1000 pieces, whole milliseconds)",
    "Invalid Corrupt Percentage! (0 to 100)",
    "Invalid Noise Percentage! (0 to 100)",
    "Invalid Truncate Percentage! (0 to 100)",
    "Invalid Bad Value Percentage! (0 to 100)",
    "Invalid Line Ends!",
    "Invalid Stall! (seconds, shorter than every)",
    "Invalid Disconnect Period! (seconds)",
    "Invalid Reorder Percentage! (0 to 100)",
};
inline constexpr const char* kInvalidSeed = "Invalid Seed! (a whole number, or empty)";

// Tab labels, left to right.
inline constexpr const char* kTabLabels[4] = {"Drilling", "Options", "Aux Tracks", "Gas Simulator"};

}  // namespace korvane::ui
