#pragma once

#include <QString>
#include <QWidget>

#include "resources/dialog_template.h"

namespace korvane::ui {

// Dialog base units of the font a dialog uses (Windows' baseX, baseY).
struct BaseUnits {
    int x;
    int y;
};
BaseUnits baseUnitsOf(const QWidget* dialog);

// Dialog units to pixels: x * baseX / 4, y * baseY / 8 (integer division).
QRect toPixels(const BaseUnits& units, int x, int y, int w, int h);

// Creates the template's controls as children of `dialog`, placed by dialog
// units, and sizes `dialog` to the template (plus its caption for top-level
// dialogs). Each control with an id gets the object name controlName(id).
void buildDialog(const DialogTemplate& dialogTemplate, QWidget* dialog);

QString controlName(int id);

// The control with this id, or nullptr if it does not exist or is not a T.
template <typename T>
T* control(const QWidget* dialog, int id) {
    return dialog->findChild<T*>(controlName(id));
}

}  // namespace korvane::ui
