#include "pages/drilling_page.h"

namespace korvane {

// Placeholder until the page is built.
DrillingPage::DrillingPage(SharedState& shared, QWidget* parent)
    : QWidget(parent), shared_(shared) {}

}  // namespace korvane
