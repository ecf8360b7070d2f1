#include "pages/dialog_input.h"

#include <QLineEdit>
#include <QMessageBox>
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

void showWarning(QWidget* owner, const char* text) {
    QMessageBox::warning(owner, QString::fromLatin1(kMessageCaption), QString::fromLatin1(text));
}

}  // namespace korvane
