#pragma once

#include <QFrame>
#include <array>

class QLineEdit;

namespace korvane::ui {

// Four octet fields separated by dots, like the Windows IP address control.
// An empty field reads as 0; a field accepts 0 to 255 only. A dot, or a third
// digit, moves on to the next field, so an address can be typed in one go.
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

private:
    void focusField(int index);

    std::array<QLineEdit*, 4> fields_{};
};

}  // namespace korvane::ui
