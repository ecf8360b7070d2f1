#include "pages/edit_depths_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "pages/dialog_input.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"

namespace korvane {

namespace {

namespace id = ids::edit_depths;

}  // namespace

EditDepthsDialog::EditDepthsDialog(DepthPair& depths, QWidget* parent)
    : QDialog(parent), depths_(depths) {
    ui::buildDialog(ui::kEditDepthsDialogTemplate, this);
    placeNearOwner(this, parent);
    holeDepthEdit_ = ui::control<QLineEdit>(this, id::kHoleDepthEdit);
    bitDepthEdit_ = ui::control<QLineEdit>(this, id::kBitDepthEdit);
    holeDepthEdit_->setText(oneDecimal(depths_.holeDepth));
    bitDepthEdit_->setText(oneDecimal(depths_.bitDepth));
    connect(ui::control<QPushButton>(this, ids::kOk), &QPushButton::clicked, this,
            &EditDepthsDialog::confirm);
    connect(ui::control<QPushButton>(this, ids::kCancel), &QPushButton::clicked, this,
            &QDialog::reject);
}

void EditDepthsDialog::confirm() {
    // A depth is whatever number the field starts with ("12ft" is 12). Infinity
    // and NaN are refused: the clock would carry them on for the rest of the run.
    const std::optional<float> hole = readNumber(holeDepthEdit_);
    const std::optional<float> bit = readNumber(bitDepthEdit_);
    if (hole && bit) {
        depths_ = {*hole, *bit};
        accept();
        return;
    }
    showWarning(this, kInvalidInputMessage);
}

}  // namespace korvane
