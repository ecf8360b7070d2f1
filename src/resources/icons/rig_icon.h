#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvane::ui {

// The program's mark: a drilling derrick, drawn at run time so that no image
// plug-in is needed. Sizes 16, 32 and 48 pixels.
QIcon rigIcon();

// The same mark at any size, size x size pixels on a transparent ground: the
// PNG files the desktop's menus show come from here.
QPixmap rigPixmap(int size);

}  // namespace korvane::ui
