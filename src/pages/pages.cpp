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

bool reloadPage(QWidget* page) {
    if (auto* drilling = qobject_cast<DrillingPage*>(page)) return drilling->reload();
    if (auto* options = qobject_cast<OptionsPage*>(page)) return options->reload();
    if (auto* aux = qobject_cast<AuxTracksPage*>(page)) return aux->reload();
    if (auto* gas = qobject_cast<GasSimulatorPage*>(page)) return gas->reload();
    return true;
}

}  // namespace korvane
