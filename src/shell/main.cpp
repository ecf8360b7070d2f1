// Korvane: simulates a drilling rig and sends its readings as WITS frames.
#include <QApplication>

#include "links/link_control.h"
#include "platform/end_requests.h"
#include "shell/session.h"
#include "shell/tray_icon.h"
#include "simulation/shared_state.h"

int main(int argc, char** argv) {
    // Before Qt starts any thread of its own.
    korvane::holdEndRequests();
    QApplication app(argc, argv);
    // The window only hides when closed; File, Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // The clock and link threads may outlive main if they fail to stop, so
    // what they use is never destroyed.
    static auto* shared = new korvane::SharedState;
    static auto* control = new korvane::LinkControl;

    korvane::SystemTrayIcon tray;
    korvane::SessionOptions options;
    options.watchEndRequests = true;
    const int exitCode = korvane::runSession(*shared, *control, tray, options);
    korvane::endRequestHandled();
    return exitCode;
}
