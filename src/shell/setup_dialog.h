#pragma once

#include <QDialog>
#include <cstdint>

namespace korvane {

struct SharedState;

// File, Setup...: the link medium, the UDP peer, the COM port, the baud rate,
// the TCP role with its port and listen address or host, streaming or
// interrogated operation and the transmit interval.
// The mode and the baud rate are stored the moment they are clicked, and Cancel
// puts back what they were at opening; the addresses, ports, TCP role and
// interval are stored only by OK. exec()
// returns 1 after OK, having written the chosen medium (1 UDP, 2 RS-232,
// 3 TCP) to *medium, and 0 after Cancel, writing nothing.
class SetupDialog : public QDialog {
    Q_OBJECT
public:
    SetupDialog(SharedState& shared, int32_t* medium, QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

private:
    void chooseMedium(int32_t medium);
    void chooseRole(int32_t role);
    void enableFields();
    void storeMode(int id, bool checked);
    void storeBaud(int index);
    bool storeComPort();
    bool storeInterval();
    bool storeTcp();

    SharedState& shared_;
    int32_t* result_;
    int32_t medium_;
    int32_t role_;
    // What the clicks may have changed, as it was at opening.
    int32_t openingInterrogated_;
    int32_t openingBaudIndex_;
};

}  // namespace korvane
