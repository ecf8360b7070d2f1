#include "pages/gas_setup_dialog.h"

#include <QLineEdit>
#include <QPushButton>

#include "pages/dialog_input.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"

namespace korvane {

namespace {

namespace id = ids::gas_setup;

}  // namespace

GasSetupDialog::GasSetupDialog(GasBounds& bounds, QWidget* owner)
    : QDialog(owner), bounds_(bounds) {
    ui::buildDialog(ui::kGasSetupDialogTemplate, this);
    fitRightAlignedCaptions(this);
    placeNearOwner(this, owner);
    ui::control<QLineEdit>(this, id::kMaximumEdit)->setText(oneDecimal(bounds_.upper));
    ui::control<QLineEdit>(this, id::kMinimumEdit)->setText(oneDecimal(bounds_.lower));
    connect(ui::control<QPushButton>(this, ids::kOk), &QPushButton::clicked, this,
            &GasSetupDialog::accept);
    connect(ui::control<QPushButton>(this, ids::kCancel), &QPushButton::clicked, this,
            &GasSetupDialog::reject);
}

void GasSetupDialog::accept() {
    const auto upper = readNumber(ui::control<QLineEdit>(this, id::kMaximumEdit));
    const auto lower = readNumber(ui::control<QLineEdit>(this, id::kMinimumEdit));
    if (!upper || !lower) {
        showWarning(this, kInvalidInputMessage);
        return;
    }
    bounds_.upper = *upper;
    bounds_.lower = *lower;
    QDialog::accept();
}

}  // namespace korvane
