#include "shell/session.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "app/application.h"
#include "app/settings_file.h"
#include "control/control_channel.h"
#include "control/scenario.h"
#include "control/scenario_player.h"
#include "links/link_control.h"
#include "platform/end_requests.h"
#include "platform/ipv4_address.h"
#include "resources/strings.h"
#include "shell/main_window.h"
#include "shell/window_control_host.h"
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

    // The window outlives the run, so that it is gone only once the link has
    // stopped. The channel's events sit between the links and their observer
    // and news: a link that would not stop keeps them, as it keeps all it
    // uses; else the links get back what they had.
    ~DesktopFrontEnd() override {
        if (!channel_) return;
        closeControl();
        if (control_.linkEnded && !control_.linkEnded->isSet()) {
            static_cast<void>(channel_.release());
            return;
        }
        scenario_.reset();
        channel_.reset();
        control_.observer = observerBefore_;
        control_.onNews = std::move(newsBefore_);
    }

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
        if (options_.start.clockScale) shared_.sim.clockScale.store(*options_.start.clockScale);
        control_.clockScale = &shared_.sim.clockScale;
        refusal_ = startControl();
        if (refusal_.empty()) window_->showCentred();
    }

    LinkUi& linkUi() override { return *window_; }

    int run(std::chrono::milliseconds delay, const std::function<void()>& startLink) override {
        if (!refusal_.empty()) {
            closeControl();
            std::fprintf(stderr, "korvane: %s\n", refusal_.c_str());
            return kStartRefused;
        }
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
        if (scenario_) scenario_->start();
        if (started_) started_(*window_);
        const int exitCode = QApplication::exec();
        // Before the link stops: no command may start another meanwhile.
        closeControl();
        return exitCode;
    }

    bool keepsSettings() const override { return refusal_.empty(); }

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
    // The control channel and the scenario, once the window is there to set
    // the news and before the first link starts. "" or why they cannot start.
    std::string startControl() {
        const StartOptions& start = options_.start;
        if (!start.control && start.scenario.empty()) return {};
        observerBefore_ = control_.observer;
        newsBefore_ = control_.onNews;
        host_ = std::make_unique<WindowControlHost>(*window_);
        channel_ = std::make_unique<ControlChannel>(shared_, control_, *host_);
        host_->tellPlayed(channel_->events());
        if (start.control) {
            const std::string error = channel_->open(*start.control);
            if (!error.empty()) return "--control: " + error;
            // Port 0 is the system's choice, which a client must learn.
            const ControlPlace& at = *start.control;
            if (!at.standardInput)
                std::fprintf(
                    stderr, "korvane: control channel on %s:%u\n",
                    formatAddress({{at.address[0], at.address[1], at.address[2], at.address[3]}, 0})
                        .c_str(),
                    static_cast<unsigned>(channel_->port()));
        }
        if (start.scenario.empty()) return {};
        // Read whole and checked against the settings just loaded (tracks
        // are named by number); it runs once the event loop does.
        ParsedScenario parsed = readScenarioFile(start.scenario, [this](std::string_view command) {
            return channel_->commands().check(command);
        });
        if (!parsed.error.empty()) return "--scenario: " + parsed.error;
        scenario_ = std::make_unique<ScenarioPlayer>(ScenarioRun(std::move(parsed.lines)), shared_,
                                                     control_, channel_->commands(), *host_);
        return {};
    }

    // The host first: the scenario's and the channel's threads may be
    // waiting for the main one.
    void closeControl() {
        if (host_) host_->close();
        if (scenario_) scenario_->stop();
        if (channel_) channel_->close();
    }

    SharedState& shared_;
    LinkControl& control_;
    TrayIcon& tray_;
    const SessionOptions& options_;
    const std::function<void(MainWindow&)>& started_;
    std::unique_ptr<MainWindow> window_;
    // Made after the window (which sets the news) and gone before it.
    std::unique_ptr<WindowControlHost> host_;
    std::unique_ptr<ControlChannel> channel_;
    std::unique_ptr<ScenarioPlayer> scenario_;
    LinkObserver* observerBefore_ = nullptr;
    std::function<void(const std::string&, NewsKind)> newsBefore_;
    std::string refusal_;
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
