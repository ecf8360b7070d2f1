#pragma once

#include <QDialog>

namespace korvane {

// The gas bounds handed to the Gas Simulator Setup dialog and read back on OK.
struct GasBounds {
    float lower;
    float upper;
};

// Gas Simulator Setup: edits a GasBounds. exec() gives 1 after a valid OK
// (the bounds are then written) and 0 after Cancel. The bounds may come back
// reversed or equal; the page copes with both.
class GasSetupDialog : public QDialog {
    Q_OBJECT
public:
    GasSetupDialog(GasBounds& bounds, QWidget* owner);

    void accept() override;

private:
    GasBounds& bounds_;
};

}  // namespace korvane
