#include "resources/ip_address_edit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>
#include <optional>
#include <utility>

namespace korvane::ui {

namespace {

constexpr int kOctets = 4;
constexpr int kOctetDigits = 3;
constexpr int kLargestOctet = 255;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// "a.b.c.d" with one to three digits each, blanks around it allowed; octets
// above 255 are held at 255.
std::optional<std::array<int, 4>> dottedAddress(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != kOctets) return std::nullopt;
    std::array<int, 4> octets{};
    for (int i = 0; i < kOctets; ++i) {
        const QString& part = parts[i];
        if (part.isEmpty() || part.size() > kOctetDigits ||
            !std::all_of(part.begin(), part.end(), isDigit))
            return std::nullopt;
        octets[i] = std::min(part.toInt(), kLargestOctet);
    }
    return octets;
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    // One sunken field holding the four octets, as the Windows control looks.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);
    for (int i = 0; i < kOctets; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        // Typed digits are handled in eventFilter; the validator guards the
        // field's other ways in, such as its context menu's Paste.
        field->setValidator(new QIntValidator(0, kLargestOctet, field));
        field->setMaxLength(kOctetDigits);
        field->setAlignment(Qt::AlignCenter);
        field->setFrame(false);
        field->setObjectName(QStringLiteral("octet%1").arg(i + 1));
        // Three digits fit; the fields share the control's width evenly.
        field->setMinimumWidth(1);
        row->addWidget(field, 1);
        fields_[i] = field;
        field->installEventFilter(this);
    }
    setFocusProxy(fields_[0]);
}

void IpAddressEdit::focusField(int index, bool selectAll) {
    current_ = index;
    QLineEdit* field = fields_[index];
    field->setFocus();
    if (selectAll) {
        field->selectAll();
    } else {
        field->deselect();
        field->end(false);
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const auto found = std::find(fields_.begin(), fields_.end(), watched);
    if (found != fields_.end()) {
        const int index = static_cast<int>(found - fields_.begin());
        if (event->type() == QEvent::FocusIn) {
            current_ = index;
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                   !fields_[index]->hasSelectedText()) {
            // A click selects the whole octet, as Tab does, so that an address
            // typed after it replaces what the octet showed instead of going
            // in around it. The field finishes the click first; a drag keeps
            // the selection it made.
            static_cast<QObject*>(fields_[index])->event(event);
            fields_[index]->selectAll();
            return true;
        } else if (event->type() == QEvent::KeyPress &&
                   handleKey(index, *static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void IpAddressEdit::keyPressEvent(QKeyEvent* event) {
    // A key the field leaves unused comes back up here; it goes no further down.
    if (forwarding_) return QFrame::keyPressEvent(event);
    forwarding_ = true;
    QCoreApplication::sendEvent(fields_[current_], event);
    forwarding_ = false;
}

bool IpAddressEdit::handleKey(int index, const QKeyEvent& key) {
    // Shift and the like alone neither type nor end the move a dot may follow.
    if (key.key() >= Qt::Key_Shift && key.key() <= Qt::Key_ScrollLock) return false;
    const bool movedOn = std::exchange(movedOn_, false);
    QLineEdit* field = fields_[index];
    if (key.matches(QKeySequence::Paste)) {
        paste();
        return true;
    }
    const QString text = key.text();
    if (text == QStringLiteral(".")) {
        if (index + 1 < kOctets && !movedOn) focusField(index + 1, true);
        return true;
    }
    if (key.key() == Qt::Key_Backspace && index > 0 && field->cursorPosition() == 0 &&
        !field->hasSelectedText()) {
        focusField(index - 1, false);
        return true;
    }
    if (text.size() == 1 && isDigit(text[0])) {
        typeDigit(index, text[0]);
        return true;
    }
    return false;
}

void IpAddressEdit::typeDigit(int index, QChar digit) {
    QLineEdit* field = fields_[index];
    const int at = field->hasSelectedText() ? field->selectionStart() : field->cursorPosition();
    QString text = field->text();
    text.remove(at, field->selectedText().size());
    text.insert(at, digit);
    if (text.size() > kOctetDigits) return;  // a full octet takes no more digits
    const bool held = text.toInt() > kLargestOctet;
    if (held) text = QString::number(kLargestOctet);
    field->setText(text);
    field->setCursorPosition(held ? text.size() : at + 1);
    if (index + 1 < kOctets && field->cursorPosition() == kOctetDigits) {
        focusField(index + 1, true);
        movedOn_ = true;
    }
}

void IpAddressEdit::paste() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard ? clipboard->text().trimmed() : QString();
    if (const auto address = dottedAddress(text)) {
        setOctets(*address);
        focusField(kOctets - 1, false);
    } else if (std::all_of(text.begin(), text.end(), isDigit)) {
        // Digits alone go in as if typed; anything else is no address.
        for (const QChar digit : text) typeDigit(current_, digit);
    }
}

std::array<int, 4> IpAddressEdit::octets() const {
    std::array<int, 4> result{};
    for (int i = 0; i < kOctets; ++i) {
        bool ok = false;
        const int value = fields_[i]->text().toInt(&ok);
        result[i] = !ok || value < 0 ? 0 : std::min(value, kLargestOctet);
    }
    return result;
}

void IpAddressEdit::setOctets(const std::array<int, 4>& octets) {
    for (int i = 0; i < kOctets; ++i) fields_[i]->setText(QString::number(octets[i] & 0xFF));
}

}  // namespace korvane::ui
