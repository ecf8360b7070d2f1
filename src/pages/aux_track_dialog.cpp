#include "pages/aux_track_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <optional>

#include "pages/dialog_input.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "tables/aux_track_table.h"

namespace korvane {

namespace {

namespace id = ids::aux_track;

// The tag goes into the frame as an item code and into a 5-byte slot, so
// exactly 4 printable ASCII characters; anything else would be cut short or
// break the record's lines.
std::optional<QByteArray> readTag(const QLineEdit* edit) {
    const QString text = editText(edit);
    if (text.size() != kTagLength) return std::nullopt;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) return std::nullopt;
    }
    return text.toLatin1();
}

}  // namespace

AuxTrackDialog::AuxTrackDialog(AuxTrackEdit& edit, QWidget* owner) : QDialog(owner), edit_(edit) {
    ui::buildDialog(ui::kAuxTrackDialogTemplate, this);
    fitRightAlignedCaptions(this);
    // No system menu: the dialog ends through OK or Cancel (or Escape).
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* tagEdit = ui::control<QLineEdit>(this, id::kTagEdit);
    tagEdit->setText(
        QString::fromLatin1(edit_.tag, qsizetype(strnlen(edit_.tag, sizeof edit_.tag))));
    ui::control<QLineEdit>(this, id::kMinimumEdit)->setText(oneDecimal(edit_.minimum));
    ui::control<QLineEdit>(this, id::kMaximumEdit)->setText(oneDecimal(edit_.maximum));
    if (edit_.mode == kModifyTrack) {
        setWindowTitle(QStringLiteral("Modify Auxiliary Track"));
        tagEdit->setEnabled(false);
    }
    connect(ui::control<QPushButton>(this, ids::kOk), &QPushButton::clicked, this,
            &AuxTrackDialog::accept);
    connect(ui::control<QPushButton>(this, ids::kCancel), &QPushButton::clicked, this,
            &AuxTrackDialog::reject);
}

void AuxTrackDialog::accept() {
    std::optional<float> minimum = readNumber(ui::control<QLineEdit>(this, id::kMinimumEdit));
    std::optional<float> maximum = readNumber(ui::control<QLineEdit>(this, id::kMaximumEdit));
    std::optional<QByteArray> tag;
    if (edit_.mode == kAddTrack) tag = readTag(ui::control<QLineEdit>(this, id::kTagEdit));
    const bool valid =
        minimum && maximum && *minimum != *maximum && (edit_.mode != kAddTrack || tag);
    if (!valid) {
        showWarning(this, kInvalidInputMessage);
        return;
    }
    if (*maximum < *minimum) std::swap(minimum, maximum);
    edit_.minimum = *minimum;
    edit_.maximum = *maximum;
    if (tag) {
        std::memset(edit_.tag, 0, sizeof edit_.tag);
        std::memcpy(edit_.tag, tag->constData(), kTagLength);
    }
    QDialog::accept();
}

}  // namespace korvane
