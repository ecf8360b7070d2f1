#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <vector>

#include "resources/dialog_template.h"

class QListWidget;

namespace korvane::ui {

// The font every dialog and tab page uses, so that dialog units come out the
// same on every desktop: the application's family at a fixed 8 points.
QFont dialogFont();

// Dialog base units of the font a dialog uses (Windows' baseX, baseY).
struct BaseUnits {
    int x;
    int y;
};
BaseUnits baseUnitsOf(const QWidget* dialog);

// Dialog units to pixels: x * baseX / 4, y * baseY / 8 (integer division).
QRect toPixels(const BaseUnits& units, int x, int y, int w, int h);

// Gives `dialog` the dialog font, creates the template's controls as its
// children, placed by dialog units, and fixes its size to the template (the
// caption, if any, becomes the window title; the frame is the window
// manager's). Each control with an id gets the object name controlName(id).
void buildDialog(const DialogTemplate& dialogTemplate, QWidget* dialog);

// Where a list box with tab stops draws the `fields` tab-separated fields of
// a line: the left edge of each column, then the right end of the last, in
// viewport pixels. Columns sit a tab stop apart, closer together when the
// viewport (narrower while a vertical scroll bar shows) would not hold them.
std::vector<int> tabStopColumns(const QListWidget* list, int fields);

QString controlName(int id);

// The control with this id, or nullptr if it does not exist or is not a T.
template <typename T>
T* control(const QWidget* dialog, int id) {
    return dialog->findChild<T*>(controlName(id));
}

}  // namespace korvane::ui
