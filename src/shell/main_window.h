#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "links/link_control.h"

class QAction;
class QTabWidget;

namespace korvane {

struct SharedState;
class TrayIcon;
class ReplayMenu;

// The program's one window: a small fixed tool window, always on top while
// shown, with a File menu and the four tab pages. Closing it only hides it
// (only minimises it while the desktop has no tray); File, Exit ends the
// program. It also names the link state in its title.
class MainWindow : public QMainWindow, public LinkUi {
    Q_OBJECT
public:
    MainWindow(SharedState& shared, LinkControl& control, TrayIcon& tray);
    ~MainWindow() override;

    // LinkUi
    void showLinkError(const std::string& text) override;
    void setTitle(const std::string& title) override;
    // Names the link in force as it is now (after news from the link thread).
    void refreshTitle();
    // Shows again what a control command may have changed: the page and the
    // title. False while the data mutex is busy: to be tried again.
    bool reloadShown();

    QTabWidget* tabControl() const { return tabs_; }
    QWidget* currentPage() const { return currentPage_; }
    // Where pages go, in the coordinates of the tab control's page area.
    QRect displayRect() const;
    bool windowVisible() const { return windowVisible_; }
    QAction* setupAction() const { return setupAction_; }
    QAction* faultsAction() const { return faultsAction_; }
    QAction* aboutAction() const { return aboutAction_; }
    QAction* exitAction() const { return exitAction_; }
    ReplayMenu* replayMenu() const { return replayMenu_; }

    // Centres the window on the primary screen and shows it.
    void showCentred();
    // File, Setup...: runs the Setup dialog and, after OK, restarts the link.
    void runSetup();
    // File, Faults...: runs the Faults dialog; the title follows what it changed.
    void runFaults();
    // File, About...: the program's name, version, purpose and licence.
    void showAbout();
    // File, Exit: removes the tray icon, closes the window and asks the
    // event loop to end with code 1.
    void exitProgram();
    // A left click on the tray icon hides a shown window and shows, restores
    // and activates a hidden or minimised one.
    void toggleFromTray();
    // Shows, restores, raises and activates the window, whatever its state.
    void bringBack();

signals:
    void exitRequested(int exitCode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildMenu();
    void buildTabs();
    void switchPage(int index);
    void trayAvailabilityChanged();

    SharedState& shared_;
    LinkControl& control_;
    TrayIcon& tray_;
    QTabWidget* tabs_ = nullptr;
    std::array<QWidget*, 4> pageHosts_{};
    QPointer<QWidget> currentPage_;
    QAction* setupAction_ = nullptr;
    QAction* faultsAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    ReplayMenu* replayMenu_ = nullptr;
    // The seed the Faults dialog last used, shown when it opens again.
    std::optional<uint64_t> faultSeed_;
    bool windowVisible_ = false;
    bool exiting_ = false;
    std::shared_ptr<struct NewsSink> news_;
};

}  // namespace korvane
