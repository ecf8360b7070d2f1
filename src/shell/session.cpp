#include "shell/session.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

#include "links/link_control.h"
#include "resources/strings.h"
#include "shell/main_window.h"
#include "shell/settings_file.h"
#include "simulation/shared_state.h"
#include "simulation/simulation_clock.h"

namespace korvane {

std::optional<InstanceLock> takeInstanceLock() {
    std::optional<InstanceLock> lock = InstanceLock::acquire(ui::kCaption);
    if (!lock) {
        QMessageBox box(QMessageBox::Critical, QString(), QString::fromLatin1(ui::kAlreadyRunning),
                        QMessageBox::Ok);
        // The first copy's window stays on top; a box below it would leave
        // this copy looking hung.
        box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
        QTimer::singleShot(0, &box, [&box] {
            box.raise();
            box.activateWindow();
        });
        box.exec();
    }
    return lock;
}

int runSession(SharedState& shared, LinkControl& control, TrayIcon& tray,
               const SessionOptions& options, const std::function<void(MainWindow&)>& started) {
    loadSettings(shared, options.folder);

    auto window = std::make_unique<MainWindow>(shared, control, tray);
    QObject::connect(window.get(), &MainWindow::exitRequested, qApp,
                     [](int code) { QCoreApplication::exit(code); });
    window->showCentred();

    if (options.startClock) startClock(shared);
    MainWindow* ui = window.get();
    QTimer::singleShot(options.linkDelay, ui, [&shared, &control, ui] {
        // Only this thread writes medium, so it reads it unlocked.
        startLink(shared, control, *ui, shared.link.medium);
    });
    if (started) started(*window);

    const int exitCode = QApplication::exec();
    window.reset();
    saveSettings(shared, options.folder);
    return exitCode;
}

}  // namespace korvane
