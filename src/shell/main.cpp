// Korvane: simulates a drilling rig and sends its readings as WITS frames.
#include <QApplication>

#include "links/link_control.h"
#include "shell/session.h"
#include "shell/settings_file.h"
#include "shell/tray_icon.h"
#include "simulation/shared_state.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::optional<korvane::InstanceLock> lock = korvane::takeInstanceLock();
    if (!lock) return 0;

    // The window only hides when closed; File, Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // The clock and link threads are never joined and may still run while the
    // process ends, so what they use is never destroyed.
    static auto* shared = new korvane::SharedState;
    static auto* control = new korvane::LinkControl;
    korvane::setStartupDefaults(*shared);

    korvane::SystemTrayIcon tray;
    return korvane::runSession(*shared, *control, tray, {});
}
