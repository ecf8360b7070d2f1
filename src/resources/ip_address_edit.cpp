#include "resources/ip_address_edit.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace korvane::ui {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    // One sunken field holding the four octets, as the Windows control looks.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setValidator(new QIntValidator(0, 255, field));
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFrame(false);
        field->setObjectName(QStringLiteral("octet%1").arg(i + 1));
        // Three digits fit; the fields share the control's width evenly.
        field->setMinimumWidth(1);
        row->addWidget(field, 1);
        fields_[i] = field;
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i < 3) focusField(i + 1);
        });
        // The validator lets "256".."999" through as unfinished input; an octet
        // above 255 becomes 255, as the Windows address control does it.
        connect(field, &QLineEdit::editingFinished, this, [field] {
            if (field->text().toInt() > 255) field->setText(QStringLiteral("255"));
        });
    }
    setFocusProxy(fields_[0]);
}

void IpAddressEdit::focusField(int index) {
    fields_[index]->setFocus();
    fields_[index]->selectAll();
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (int i = 0; i < 3; ++i) {
            if (watched == fields_[i] && key->text() == QStringLiteral(".")) {
                focusField(i + 1);
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

std::array<int, 4> IpAddressEdit::octets() const {
    std::array<int, 4> result{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int value = fields_[i]->text().toInt(&ok);
        result[i] = !ok || value < 0 ? 0 : std::min(value, 255);
    }
    return result;
}

void IpAddressEdit::setOctets(const std::array<int, 4>& octets) {
    for (int i = 0; i < 4; ++i) fields_[i]->setText(QString::number(octets[i] & 0xFF));
}

}  // namespace korvane::ui
