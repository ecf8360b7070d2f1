#pragma once

#include <QWidget>

namespace korvane {

struct SharedState;

class GasSimulatorPage : public QWidget {
    Q_OBJECT
public:
    GasSimulatorPage(SharedState& shared, QWidget* parent);

private:
    [[maybe_unused]] SharedState& shared_;
};

}  // namespace korvane
