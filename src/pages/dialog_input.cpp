#include "pages/dialog_input.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <cmath>

#include "resources/dialog_builder.h"
#include "resources/strings.h"
#include "text/number_text.h"

namespace korvane {

namespace {
// Where a modal dialog opens, dialog units from its owner's top-left corner.
constexpr int kPlaceX = 10;
constexpr int kPlaceY = 10;
}  // namespace

QString editText(const QLineEdit* edit, int limit) { return edit->text().left(limit); }

std::optional<float> readNumber(const QLineEdit* edit, int limit) {
    const std::optional<float> number = scanFloat(editText(edit, limit).toStdString());
    if (!number || !std::isfinite(*number)) return std::nullopt;
    return number;
}

QString oneDecimal(float value) { return QString::fromStdString(formatFixed(value, 1)); }

void fitRightAlignedCaptions(QWidget* dialog) {
    for (QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (!(label->alignment() & Qt::AlignRight)) continue;
        const int missing = label->sizeHint().width() - label->width();
        if (missing <= 0) continue;
        QRect rect = label->geometry();
        rect.setLeft(std::max(0, rect.left() - missing));
        label->setGeometry(rect);
    }
}

void placeNearOwner(QWidget* dialog, const QWidget* owner) {
    if (owner == nullptr) return;
    const QRect place = ui::toPixels(ui::baseUnitsOf(dialog), kPlaceX, kPlaceY, 0, 0);
    dialog->move(owner->mapToGlobal(place.topLeft()));
}

void showWarning(QWidget* owner, const char* text) {
    QMessageBox::warning(owner, QString::fromLatin1(ui::kCaption), QString::fromLatin1(text));
}

}  // namespace korvane
