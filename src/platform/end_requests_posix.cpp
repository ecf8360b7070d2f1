#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/end_requests.h"

namespace korvane {

namespace {

sigset_t endSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void holdEndRequests() {
    // Every thread started from here on inherits the blocked signals, so only
    // the sigwait below ever takes them: no work runs in a signal handler.
    const sigset_t set = endSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

std::string waitForEndRequest() {
    const sigset_t set = endSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "SIGTERM";
    }
}

// Every thread blocks the end signals, so the one sent here waits for the sigwait.
void requestEnd() { ::kill(::getpid(), SIGTERM); }

void endRequestHandled() {}

}  // namespace korvane
