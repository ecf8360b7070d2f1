#include "pages/dialog_input.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <cmath>

#include "simulation/number_text.h"

namespace korvane {

namespace {
constexpr int kEditTextLimit = 127;  // characters, before the terminator
}  // namespace

QString editText(const QLineEdit* edit) { return edit->text().left(kEditTextLimit); }

std::optional<float> readNumber(const QLineEdit* edit) {
    const std::optional<float> number = scanFloat(editText(edit).toStdString());
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

void showWarning(QWidget* owner, const char* text) {
    QMessageBox::warning(owner, QString::fromLatin1(kMessageCaption), QString::fromLatin1(text));
}

}  // namespace korvane
