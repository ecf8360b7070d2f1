#pragma once

#include "simulation/data_mutex.h"

namespace korvane {

// Reads what a page shows under the data mutex: a control command may write
// it from another thread. A page being built waits for the mutex, since it
// must show something true and every holder keeps it for microseconds; a
// reload gives up after kDataWait and says so, to be tried again.
template <typename Read>
bool readPageData(DataMutex& mutex, bool fresh, Read&& read) {
    if (!fresh) return withData(mutex, kDataWait, read);
    withDataAlways(mutex, read);
    return true;
}

}  // namespace korvane
