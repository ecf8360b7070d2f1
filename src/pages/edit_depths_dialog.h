#pragma once

#include <QDialog>

class QLineEdit;

namespace korvane {

// Hole and bit depth, ft, handed to the Edit Depths dialog and read back on OK.
struct DepthPair {
    float holeDepth = 0.0f;
    float bitDepth = 0.0f;
};

// Modal: shows both depths to one decimal; OK writes the parsed values into
// the pair and accepts, or warns and stays open when either field is no number.
class EditDepthsDialog : public QDialog {
    Q_OBJECT
public:
    EditDepthsDialog(DepthPair& depths, QWidget* parent);

private:
    void confirm();

    DepthPair& depths_;
    QLineEdit* holeDepthEdit_ = nullptr;
    QLineEdit* bitDepthEdit_ = nullptr;
};

}  // namespace korvane
