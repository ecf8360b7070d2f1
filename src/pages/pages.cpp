#include "pages/pages.h"

#include "pages/aux_tracks_page.h"
#include "pages/drilling_page.h"
#include "pages/gas_simulator_page.h"
#include "pages/options_page.h"

namespace korvane {

QWidget* createPage(Tab tab, SharedState& shared, QWidget* parent) {
    switch (tab) {
        case Tab::Drilling:
            return new DrillingPage(shared, parent);
        case Tab::Options:
            return new OptionsPage(shared, parent);
        case Tab::AuxTracks:
            return new AuxTracksPage(shared, parent);
        case Tab::GasSimulator:
            return new GasSimulatorPage(shared, parent);
    }
    return nullptr;
}

}  // namespace korvane
