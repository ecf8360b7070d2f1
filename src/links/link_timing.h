#pragma once

#include <chrono>

#include "platform/serial_port.h"

namespace korvane {

// Every period and time-out of the links, in one place a test can shorten
// (LinkControl carries one). The defaults are the product's values.
struct LinkTiming {
    using ms = std::chrono::milliseconds;
    // startLink's waits: a UDP or TCP link needs no hardware but may wait for
    // the data mutex; a serial port either opens promptly or not at all.
    ms networkStartTimeout{10000};
    ms rs232StartTimeout{5000};
    ms stopTimeout{5000};
    // Every wait of a link on the data mutex; one that runs out skips its work.
    ms dataWait{500};
    // The network links copy their settings once at start-up, and the main
    // thread may be holding the data mutex for a dialog.
    ms settingsWait{5000};
    // The Setup dialog never stores less than 0.5 s; a smaller, negative or
    // non-numeric interval from a damaged settings file must not turn the
    // pause into a flood of frames.
    ms shortestPause{500};
    // How often a serial port whose device went away is opened again.
    ms serialReopen{1000};
    // How long a serial write may make no progress (a receiver holding the
    // line) before the frame is given up.
    ms serialWriteStall{kSerialWriteStall};
    // How long a streaming serial link waits for its listener to end.
    ms listenerStopWait{5000};
    // A TCP receiver whose queue is full and that has taken nothing for this
    // long has stopped reading; one that reads a burst slowly has not.
    ms tcpStallTime{2000};
    // A streaming link looks this often whether a recording has started or
    // stopped playing, which changes when the next frame is due.
    ms feedLook{100};
    // A TCP server whose port another program holds tries to listen again this often.
    ms tcpListenRetry{2000};
};

}  // namespace korvane
