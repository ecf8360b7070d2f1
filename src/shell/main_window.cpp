#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>
#include <mutex>

#include "korvane_version.h"
#include "pages/pages.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "resources/icons/rig_icon.h"
#include "resources/strings.h"
#include "shell/faults_dialog.h"
#include "shell/replay_menu.h"
#include "shell/setup_dialog.h"
#include "shell/tray_icon.h"
#include "state/link_settings.h"
#include "state/shared_state.h"

namespace korvane {

// Where the link thread's news goes: this window, while there is one.
struct NewsSink {
    std::mutex mutex;
    MainWindow* window = nullptr;
};

namespace {

// Ctrl+Tab and Ctrl+PgDn go to the next page, Ctrl+Shift+Tab and Ctrl+PgUp to
// the one before; 0 for any other key.
int pageStep(const QKeyEvent& key) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const bool tab = key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab;
    if (modifiers == Qt::ControlModifier) {
        if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_PageDown) return 1;
        if (key.key() == Qt::Key_PageUp) return -1;
    } else if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && tab) {
        return -1;
    }
    return 0;
}

// Tab pages are all 302 x 134 dialog units.
constexpr int kPageWidthDu = 302;
constexpr int kPageHeightDu = 134;

}  // namespace

MainWindow::MainWindow(SharedState& shared, LinkControl& control, TrayIcon& tray)
    : shared_(shared), control_(control), tray_(tray), news_(std::make_shared<NewsSink>()) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::WindowStaysOnTopHint;
    // A tool window has no taskbar button; without a tray it would be lost
    // once hidden, so it then stays an ordinary window.
    if (tray_.available()) flags |= Qt::Tool;
    setWindowFlags(flags);
    setWindowTitle(QString::fromLatin1(ui::kCaption));
    setWindowIcon(ui::rigIcon());
    setFont(ui::dialogFont());

    tray_.onLeftClick = [this] { toggleFromTray(); };
    tray_.onAvailabilityChange = [this] { trayAvailabilityChanged(); };
    tray_.show();

    // News comes on the link thread; the title changes on this one, through
    // the event loop, and not at all once the window has gone (the link may
    // outlive it): a deleted window takes its queued calls with it, and the
    // sink's lock keeps it from going between the look and the post.
    news_->window = this;
    control_.onNews = [news = news_](const std::string&, NewsKind) {
        std::lock_guard lock(news->mutex);
        if (MainWindow* window = news->window)
            QMetaObject::invokeMethod(
                window, [window] { window->refreshTitle(); }, Qt::QueuedConnection);
    };

    buildMenu();
    buildTabs();
    // The page keys must reach the tabs wherever the focus is, before a page's
    // control takes them for itself (Ctrl+PgDn in the rate box).
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    {
        std::lock_guard lock(news_->mutex);
        news_->window = nullptr;
    }
    tray_.onLeftClick = nullptr;
    tray_.onAvailabilityChange = nullptr;
    // The pages go first: their timers must not fire into a half-destroyed window.
    delete currentPage_;
}

void MainWindow::buildMenu() {
    QMenu* file = menuBar()->addMenu(QString::fromLatin1(ui::kMenuFile));
    setupAction_ = file->addAction(QString::fromLatin1(ui::kMenuSetup));
    replayMenu_ = new ReplayMenu(*file, *this, control_);
    faultsAction_ = file->addAction(QString::fromLatin1(ui::kMenuFaults));
    aboutAction_ = file->addAction(QString::fromLatin1(ui::kMenuAbout));
    file->addSeparator();
    exitAction_ = file->addAction(QString::fromLatin1(ui::kMenuExit));
    connect(setupAction_, &QAction::triggered, this, &MainWindow::runSetup);
    connect(faultsAction_, &QAction::triggered, this, &MainWindow::runFaults);
    connect(aboutAction_, &QAction::triggered, this, &MainWindow::showAbout);
    connect(exitAction_, &QAction::triggered, this, &MainWindow::exitProgram);
}

void MainWindow::buildTabs() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    const ui::BaseUnits units = ui::baseUnitsOf(this);
    const QSize pageSize = ui::toPixels(units, 0, 0, kPageWidthDu, kPageHeightDu).size();

    tabs_ = new QTabWidget(client);
    for (int i = 0; i < 4; ++i) {
        // Each tab's area only hosts the page; the page itself is made afresh
        // whenever its tab is chosen.
        auto* host = new QWidget;
        host->setMinimumSize(pageSize);
        pageHosts_[i] = host;
        tabs_->addTab(host, QString::fromLatin1(ui::kTabLabels[i]));
    }
    const QSize tabSize = tabs_->sizeHint().expandedTo(tabs_->minimumSizeHint());
    const QRect tabRect(QPoint(units.x / 4, units.y / 8), tabSize);
    tabs_->setGeometry(tabRect);

    // The client area is just what the menu and the tabs need, with the
    // tabs' margin all round. (The classic 478 x 300 pixels were the outer
    // size, frame and title bar included; as a client size they left a blank
    // strip below and beside the pages.)
    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(tabRect.right() + 1 + units.x / 4,
                 menuHeight + tabRect.bottom() + 1 + units.y / 8);

    tabs_->setCurrentIndex(static_cast<int>(Tab::Drilling));
    switchPage(tabs_->currentIndex());
    connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::switchPage);
}

QRect MainWindow::displayRect() const {
    QWidget* host = pageHosts_[0];
    return QRect(QPoint(0, 0), host->size());
}

void MainWindow::switchPage(int index) {
    // Pages keep nothing of their own: the old one goes, the new one is built
    // from the shared state.
    delete currentPage_;
    if (index < 0 || index >= static_cast<int>(pageHosts_.size())) return;
    QWidget* page = createPage(static_cast<Tab>(index), shared_, pageHosts_[index]);
    if (page == nullptr) return;
    page->move(displayRect().topLeft());
    page->raise();
    page->show();
    currentPage_ = page;
}

void MainWindow::showCentred() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    show();
}

void MainWindow::showLinkError(const std::string& text) {
    QMessageBox::critical(this, QString::fromLatin1(ui::kCaption), QString::fromStdString(text));
}

void MainWindow::setTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

void MainWindow::refreshTitle() { setTitle(linkTitle(control_)); }

bool MainWindow::reloadShown() {
    refreshTitle();
    return currentPage_ == nullptr || reloadPage(currentPage_);
}

void MainWindow::runSetup() {
    int32_t medium = kMediumNone;
    SetupDialog dialog(shared_, &medium, this);
    if (dialog.exec() != 0) startLink(shared_, control_, *this, medium);
}

void MainWindow::runFaults() {
    FaultsDialog dialog(control_, faultSeed_, this);
    connect(&dialog, &FaultsDialog::faultsChanged, this, &MainWindow::refreshTitle);
    dialog.exec();
}

void MainWindow::showAbout() {
    const QString text =
        QStringLiteral("<b>%1 %2</b><p>%3</p><p>%4</p>")
            .arg(QString::fromLatin1(ui::kCaption), QString::fromLatin1(kVersion),
                 QString::fromLatin1(ui::kAboutWhat), QString::fromLatin1(ui::kAboutLicence));
    QMessageBox::about(this, QString::fromLatin1(ui::kAboutTitle), text);
}

void MainWindow::exitProgram() {
    if (exiting_) return;
    exiting_ = true;
    tray_.remove();
    hide();
    emit exitRequested(1);
}

void MainWindow::toggleFromTray() {
    // Some window managers offer a minimise button even on a tool window; a
    // minimised window has no taskbar button to come back from, so the tray
    // counts it as hidden and brings it back whole.
    if (windowVisible_ && !isMinimized()) {
        hide();
    } else {
        bringBack();
    }
}

void MainWindow::bringBack() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::trayAvailabilityChanged() {
    if (exiting_) return;
    // Changing the flags hides the window; it is shown again as it was.
    const bool wasShown = windowVisible_;
    if (tray_.available()) {
        setWindowFlag(Qt::Tool, true);
        if (wasShown) show();
    } else {
        // Without a tray a hidden window, or a minimised one without a taskbar
        // button, could not be reached again: it becomes an ordinary window
        // and comes back.
        setWindowFlag(Qt::Tool, false);
        bringBack();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const int step = pageStep(*static_cast<QKeyEvent*>(event));
        if (step != 0 && widget != nullptr && widget->window() == this) {
            // After the key's delivery: the switch destroys the page, and with
            // it the control the key was meant for. Round from the last to the
            // first, as the Windows tab control goes.
            QMetaObject::invokeMethod(
                this,
                [this, step] {
                    const int count = tabs_->count();
                    tabs_->setCurrentIndex((tabs_->currentIndex() + step + count) % count);
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_ || tray_.available()) {
        // Hidden, not ended: the tray icon brings it back.
        event->accept();
        return;
    }
    event->ignore();
    showMinimized();
}

void MainWindow::showEvent(QShowEvent* event) {
    // Spontaneous events come from the desktop (un-minimising), not from the
    // window being shown itself.
    if (!event->spontaneous()) windowVisible_ = true;
    QMainWindow::showEvent(event);
}

void MainWindow::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) windowVisible_ = false;
    QMainWindow::hideEvent(event);
}

}  // namespace korvane
