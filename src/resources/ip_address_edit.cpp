#include "resources/ip_address_edit.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

namespace korvane::ui {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
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
        field->setObjectName(QStringLiteral("octet%1").arg(i + 1));
        // Three digits fit; the fields share the control's width evenly.
        field->setMinimumWidth(1);
        row->addWidget(field, 1);
        fields_[i] = field;
    }
    setFocusProxy(fields_[0]);
}

std::array<int, 4> IpAddressEdit::octets() const {
    std::array<int, 4> result{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int value = fields_[i]->text().toInt(&ok);
        result[i] = ok && value >= 0 && value <= 255 ? value : 0;
    }
    return result;
}

void IpAddressEdit::setOctets(const std::array<int, 4>& octets) {
    for (int i = 0; i < 4; ++i) fields_[i]->setText(QString::number(octets[i] & 0xFF));
}

}  // namespace korvane::ui
