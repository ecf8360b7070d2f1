#include "pages/gas_simulator_page.h"

namespace korvane {

// Placeholder until the page is built.
GasSimulatorPage::GasSimulatorPage(SharedState& shared, QWidget* parent)
    : QWidget(parent), shared_(shared) {}

}  // namespace korvane
