#pragma once

namespace korvane {

// Whether the system names a display for the desktop program to open: on
// Linux an X11 or Wayland display in the environment; Windows always has one.
bool displayNamed();

}  // namespace korvane
