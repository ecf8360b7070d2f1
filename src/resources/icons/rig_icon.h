#pragma once

#include <QIcon>

namespace korvane::ui {

// The program's mark: a drilling derrick, drawn at run time so that no image
// plug-in is needed. Sizes 16, 32 and 48 pixels.
QIcon rigIcon();

}  // namespace korvane::ui
