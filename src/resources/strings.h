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

// Tab labels, left to right.
inline constexpr const char* kTabLabels[4] = {"Drilling", "Options", "Aux Tracks", "Gas Simulator"};

}  // namespace korvane::ui
