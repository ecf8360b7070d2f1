#include "shell/session.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <mutex>
#include <thread>

#include "app/application.h"
#include "app/settings_file.h"
#include "links/link_control.h"
#include "platform/end_requests.h"
#include "resources/strings.h"
#include "shell/main_window.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

// A copy that finds another running brings that one's window back, which
// may have been hidden or lost, and says why it ends.
void tellAlreadyRunning() {
    InstanceLock::callHolder(ui::kCaption);  // an older copy may not listen: nothing lost
    showAlreadyRunning();
}

class DesktopFrontEnd : public FrontEnd {
public:
    DesktopFrontEnd(SharedState& shared, LinkControl& control, TrayIcon& tray,
                    const SessionOptions& options, const std::function<void(MainWindow&)>& started)
        : shared_(shared), control_(control), tray_(tray), options_(options), started_(started) {}

    // The window outlives the run, so that it is gone only once the link has stopped.
    ~DesktopFrontEnd() override = default;

    void alreadyRunning() override { tellAlreadyRunning(); }

    std::function<void()> whenCalled() override {
        return [] {
            // The window is looked for on its own thread, so a window that has
            // gone is never touched.
            QCoreApplication* app = QCoreApplication::instance();
            if (app == nullptr) return;  // the program is ending
            QMetaObject::invokeMethod(app, [] {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* window = qobject_cast<MainWindow*>(widget)) window->bringBack();
            });
        };
    }

    void settingsLoaded() override {
        window_ = std::make_unique<MainWindow>(shared_, control_, tray_);
        QObject::connect(window_.get(), &MainWindow::exitRequested, qApp,
                         [](int code) { QCoreApplication::exit(code); });
        // A logout may end the program without File, Exit: keep the settings.
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, window_.get(),
                         [this] { saveSettings(shared_, options_.folder); });
        window_->showCentred();
    }

    LinkUi& linkUi() override { return *window_; }

    int run(std::chrono::milliseconds delay, const std::function<void()>& startLink) override {
        QTimer::singleShot(delay, window_.get(), startLink);
        // The system's end requests (a logout, kill, a closed terminal) end
        // the program like File, Exit: the settings are saved.
        if (options_.watchEndRequests) {
            std::thread([window = QPointer<MainWindow>(window_.get())] {
                waitForEndRequest();
                QMetaObject::invokeMethod(qApp, [window] {
                    if (window) window->exitProgram();
                });
            }).detach();
        }
        if (started_) started_(*window_);
        return QApplication::exec();
    }

    // After File, Exit the window is gone: a box of its own, on top.
    void saveFailed(const std::string& text) override {
        FrontEnd::saveFailed(text);
        if (!options_.showSaveFailure) return;
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ui::kCaption),
                        QString::fromStdString(text), QMessageBox::Ok);
        box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
        box.exec();
    }

private:
    SharedState& shared_;
    LinkControl& control_;
    TrayIcon& tray_;
    const SessionOptions& options_;
    const std::function<void(MainWindow&)>& started_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace

void showAlreadyRunning() {
    QMessageBox box(QMessageBox::Critical, QString(), QString::fromLatin1(ui::kAlreadyRunning),
                    QMessageBox::Ok);
    // The first copy's window stays on top; a box below it would leave this
    // copy looking hung.
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
}

std::optional<InstanceLock> takeInstanceLock() {
    std::optional<InstanceLock> lock = InstanceLock::acquire(ui::kCaption);
    if (!lock) tellAlreadyRunning();
    return lock;
}

int runSession(SharedState& shared, LinkControl& control, TrayIcon& tray,
               const SessionOptions& options, const std::function<void(MainWindow&)>& started) {
    DesktopFrontEnd frontEnd(shared, control, tray, options, started);
    ApplicationOptions application;
    application.folder = options.folder;
    application.instanceName = options.singleInstance ? ui::kCaption : "";
    application.startClock = options.startClock;
    application.linkDelay = options.linkDelay;
    return runApplication(shared, control, frontEnd, application);
}

}  // namespace korvane
