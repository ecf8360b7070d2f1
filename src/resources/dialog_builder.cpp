#include "resources/dialog_builder.h"

namespace korvane::ui {

// Placeholder until the builder is written.
BaseUnits baseUnitsOf(const QWidget*) { return {6, 13}; }
QRect toPixels(const BaseUnits& u, int x, int y, int w, int h) {
    return QRect(x * u.x / 4, y * u.y / 8, w * u.x / 4, h * u.y / 8);
}
void buildDialog(const DialogTemplate&, QWidget*) {}
QString controlName(int id) { return QStringLiteral("id_%1").arg(id); }

}  // namespace korvane::ui
