#include "shell/session.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <mutex>
#include <thread>

#include "links/link_control.h"
#include "platform/end_requests.h"
#include "resources/strings.h"
#include "shell/application.h"
#include "shell/main_window.h"
#include "shell/settings_file.h"
#include "simulation/shared_state.h"

namespace korvane {

namespace {

// Where the link thread's news goes: the window, while there is one. The
// lock keeps the window from going away between the look and the post.
struct NewsSink {
    std::mutex mutex;
    MainWindow* window = nullptr;
};

class DesktopFrontEnd : public FrontEnd {
public:
    DesktopFrontEnd(SharedState& shared, LinkControl& control, TrayIcon& tray,
                    const SessionOptions& options, const std::function<void(MainWindow&)>& started)
        : shared_(shared), control_(control), tray_(tray), options_(options), started_(started) {}

    // Runs after the link has stopped, so no news is on its way.
    ~DesktopFrontEnd() override {
        {
            std::lock_guard lock(news_->mutex);
            news_->window = nullptr;
        }
        window_.reset();
    }

    void alreadyRunning() override { showAlreadyRunning(); }

    void settingsLoaded() override {
        window_ = std::make_unique<MainWindow>(shared_, control_, tray_);
        QObject::connect(window_.get(), &MainWindow::exitRequested, qApp,
                         [](int code) { QCoreApplication::exit(code); });
        // News from the link thread (a device gone, and back) reaches the
        // window through its event queue; a window deleted meanwhile takes
        // its queued calls with it.
        news_->window = window_.get();
        control_.onNews = [news = news_](const std::string&) {
            std::lock_guard lock(news->mutex);
            if (MainWindow* window = news->window)
                QMetaObject::invokeMethod(window, [window] { window->refreshTitle(); });
        };
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

private:
    SharedState& shared_;
    LinkControl& control_;
    TrayIcon& tray_;
    const SessionOptions& options_;
    const std::function<void(MainWindow&)>& started_;
    std::unique_ptr<MainWindow> window_;
    std::shared_ptr<NewsSink> news_ = std::make_shared<NewsSink>();
};

}  // namespace

void showAlreadyRunning() {
    QMessageBox box(QMessageBox::Critical, QString(), QString::fromLatin1(ui::kAlreadyRunning),
                    QMessageBox::Ok);
    box.exec();
}

std::optional<InstanceLock> takeInstanceLock() {
    std::optional<InstanceLock> lock = InstanceLock::acquire(ui::kCaption);
    if (!lock) showAlreadyRunning();
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
