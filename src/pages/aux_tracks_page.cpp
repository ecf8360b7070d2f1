#include "pages/aux_tracks_page.h"

namespace korvane {

// Placeholder until the page is built.
AuxTracksPage::AuxTracksPage(SharedState& shared, QWidget* parent)
    : QWidget(parent), shared_(shared) {}

}  // namespace korvane
