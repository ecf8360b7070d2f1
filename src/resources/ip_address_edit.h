#pragma once

#include <QFrame>
#include <array>

class QKeyEvent;
class QLineEdit;

namespace korvane::ui {

// Four octet fields separated by dots, behaving like the Windows IP address
// control: digits fill the current octet and a third digit moves on to the
// next; a dot moves on too, except straight after such a move, when it is
// swallowed; Backspace at the start of an octet goes back to the one before;
// pasting a dotted address fills all four, pasted digits go in as typed ones,
// other pasted text is refused; an octet above 255 is held at 255; a click
// into an octet selects it, as Tab does.
// An empty field reads as 0. Keys sent to the control itself go to the octet
// being edited.
class IpAddressEdit : public QFrame {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    std::array<int, 4> octets() const;
    void setOctets(const std::array<int, 4>& octets);

    // The field of one octet (0..3), for tests and focus handling.
    QLineEdit* field(int index) const { return fields_[index]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // True when the key was dealt with here and the field must not see it.
    bool handleKey(int index, const QKeyEvent& key);
    void typeDigit(int index, QChar digit);
    void paste();
    void focusField(int index, bool selectAll);

    std::array<QLineEdit*, 4> fields_{};
    int current_ = 0;          // the octet being edited
    bool movedOn_ = false;     // the last key filled an octet and moved to the next
    bool forwarding_ = false;  // a key sent to the control is with a field
};

}  // namespace korvane::ui
