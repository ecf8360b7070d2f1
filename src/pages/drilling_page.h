#pragma once

#include <QWidget>
#include <array>

#include "simulation/sim_state.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace korvane {

struct SharedState;

// The Drilling tab: the rate of penetration, the three mud pumps, and the live
// depths, gas reading and stroke totals. Built afresh from the shared state
// each time its tab is chosen; every change is stored at once.
class DrillingPage : public QWidget {
    Q_OBJECT
public:
    DrillingPage(SharedState& shared, QWidget* parent);

    // Shows the current depths, gas and stroke totals: once at creation, then
    // once a second from the page's timer.
    void refresh();
    // Shows the rate and the pumps as they are stored now, as a control
    // command may have changed them: a typed rate as its number. False, and
    // nothing changed, while the data mutex is busy.
    bool reload();

private:
    bool load(bool fresh);
    void storeRopChoice(int index);
    void storeTypedRop(const QString& text);
    void storePumpChoice(int pump, int index);
    void storeCirculating(int pump, bool checked);

    SharedState& shared_;
    QComboBox* ropBox_ = nullptr;
    std::array<QComboBox*, kPumpCount> pumpBoxes_{};
    std::array<QCheckBox*, kPumpCount> circulateBoxes_{};
    QLabel* holeDepthText_ = nullptr;
    QLabel* bitDepthText_ = nullptr;
    QLabel* gasText_ = nullptr;
    std::array<QLabel*, kPumpCount> strokesTexts_{};
};

}  // namespace korvane
