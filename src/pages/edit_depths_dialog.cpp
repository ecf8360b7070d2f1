#include "pages/edit_depths_dialog.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <cmath>
#include <optional>

#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "simulation/number_text.h"

namespace korvane {

namespace {

namespace id = ids::edit_depths;

constexpr int kLeft = 10;  // dialog units
constexpr int kTop = 10;
// The field is read as at most 127 characters, as a 128-byte buffer allows.
constexpr int kFieldChars = 127;

QString depthText(float feet) { return QString::fromStdString(formatFixed(feet, 1)); }

// A depth is whatever number the field starts with ("12ft" is 12). Infinity
// and NaN are refused: the clock would carry them on for the rest of the run.
std::optional<float> readDepth(const QLineEdit* edit) {
    if (!edit) return std::nullopt;
    const std::string text = edit->text().left(kFieldChars).toStdString();
    if (text.empty()) return std::nullopt;
    const std::optional<float> value = scanFloat(text);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

}  // namespace

EditDepthsDialog::EditDepthsDialog(DepthPair& depths, QWidget* parent)
    : QDialog(parent), depths_(depths) {
    ui::buildDialog(ui::kEditDepthsDialogTemplate, this);
    // The dialog sits 10, 10 dialog units from its owner's top-left corner.
    if (parent) {
        const QRect offset = ui::toPixels(ui::baseUnitsOf(this), kLeft, kTop, 0, 0);
        move(parent->mapToGlobal(offset.topLeft()));
    }
    holeDepthEdit_ = ui::control<QLineEdit>(this, id::kHoleDepthEdit);
    bitDepthEdit_ = ui::control<QLineEdit>(this, id::kBitDepthEdit);
    if (holeDepthEdit_) holeDepthEdit_->setText(depthText(depths_.holeDepth));
    if (bitDepthEdit_) bitDepthEdit_->setText(depthText(depths_.bitDepth));
    if (auto* ok = ui::control<QPushButton>(this, ids::kOk)) {
        connect(ok, &QPushButton::clicked, this, &EditDepthsDialog::confirm);
    }
    if (auto* cancel = ui::control<QPushButton>(this, ids::kCancel)) {
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
}

void EditDepthsDialog::confirm() {
    const std::optional<float> hole = readDepth(holeDepthEdit_);
    const std::optional<float> bit = readDepth(bitDepthEdit_);
    if (hole && bit) {
        depths_ = {*hole, *bit};
        accept();
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Korvane"), QStringLiteral("Invalid Input Values!"));
}

}  // namespace korvane
