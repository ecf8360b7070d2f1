#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QSlider;

namespace korvane {

struct SharedState;

// Fourth tab: a slider sets the simulated gas value (item 9003) between the
// bounds that the setup dialog sets; a check box decides whether it is sent.
class GasSimulatorPage : public QWidget {
    Q_OBJECT
public:
    GasSimulatorPage(SharedState& shared, QWidget* parent);

    // Shows the gas value, its bounds and its switch as they are stored now,
    // as a control command may have changed them; a thumb the operator holds
    // stays where it is. False, and nothing changed, while the data mutex is busy.
    bool reload();

private:
    bool load(bool fresh);
    void showGas(float maximum, float minimum, float output);
    void followSlider(int position, bool store);
    void runSetup();
    void storeSendGas(bool checked);

    SharedState& shared_;
    QSlider* slider_ = nullptr;
    QLabel* upperLabel_ = nullptr;
    QLabel* lowerLabel_ = nullptr;
    QLabel* outputLabel_ = nullptr;
    QCheckBox* sendGas_ = nullptr;
    // Slider mapping of the current bounds: (lower - upper) / 100 and upper.
    float scale_ = 0.0f;
    float offset_ = 0.0f;
};

}  // namespace korvane
