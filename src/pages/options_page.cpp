#include "pages/options_page.h"

namespace korvane {

// Placeholder until the page is built.
OptionsPage::OptionsPage(SharedState& shared, QWidget* parent) : QWidget(parent), shared_(shared) {}

}  // namespace korvane
