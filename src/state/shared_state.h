#pragma once

#include "simulation/data_mutex.h"
#include "simulation/sim_state.h"
#include "state/link_settings.h"
#include "tables/aux_track_table.h"
#include "tables/extra_record_table.h"
#include "tables/item_catalogue.h"

namespace korvane {

// Everything the threads share. The program makes one at start-up and hands it
// by reference to whoever needs it; each test builds its own.
struct SharedState {
    DataMutex dataMutex;  // guards sim, link, auxTracks and extraRecords
    SimState sim;
    LinkSettings link;
    AuxTrackTable auxTracks;
    ExtraRecordTable extraRecords;
    ItemCatalogue catalogue;       // user-interface thread only
    float reservedSetting = 0.1f;  // carried through Korvane.ini unchanged
};

}  // namespace korvane
