#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <array>
#include <functional>

#include "app/settings_file.h"
#include "control/control_channel.h"
#include "gui_support.h"
#include "korvane_version.h"
#include "links/link_control.h"
#include "openable_port.h"
#include "pages/drilling_page.h"
#include "pages/options_page.h"
#include "pages/pages.h"
#include "platform/tcp_socket.h"
#include "replay/recording_lines.h"
#include "replay/recording_reader.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/ip_address_edit.h"
#include "shell/replay_menu.h"
#include "shell/session.h"
#include "shell/setup_dialog.h"
#include "shell/tray_icon.h"
#include "shell/window_control_host.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using testing::TempFolder;

// The offscreen platform has no tray: this one records what it was asked.
class RecordingTray : public TrayIcon {
public:
    bool available() const override { return hasTray; }
    void show() override { ++shown; }
    void remove() override { ++removed; }
    void click() {
        if (onLeftClick) onLeftClick();
    }
    void setAvailable(bool has) {
        hasTray = has;
        if (onAvailabilityChange) onAvailabilityChange();
    }

    bool hasTray = true;
    int shown = 0;
    int removed = 0;
};

// A control client on the channel's port: one line out, its reply back,
// while the window's event loop runs (some commands need it).
class ControlClient {
public:
    explicit ControlClient(uint16_t port)
        : connection_(TcpConnection::startConnect({{127, 0, 0, 1}, port})) {
        static_cast<void>(QTest::qWaitFor([this] {
            SocketPoll poll;
            const std::size_t index = poll.add(*connection_, true, false);
            return poll.wait(std::chrono::milliseconds{0}) && poll.writable(index);
        }));
    }
    std::string ask(std::string line) {
        line += "\n";
        static_cast<void>(QTest::qWaitFor([&] {
            line.erase(0, connection_->send(line.data(), line.size()).bytes);
            char buffer[4096];
            in_.append(buffer, connection_->receive(buffer, sizeof buffer).bytes);
            return line.empty() && in_.find('\n') != std::string::npos;
        }));
        const std::size_t end = in_.find('\n');
        std::string reply = end == std::string::npos ? "(no reply)" : in_.substr(0, end);
        in_.erase(0, end == std::string::npos ? end : end + 1);
        return reply;
    }

private:
    std::optional<TcpConnection> connection_;
    std::string in_;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { setStartupDefaults(shared, folder.path()); }

    TempFolder folder;
    SharedState shared;
    LinkControl control;
    RecordingTray tray;
};

TEST_F(MainWindowTest, TabsReadLeftToRightWithDrillingChosen) {
    MainWindow window(shared, control, tray);
    QTabWidget* tabs = window.tabControl();
    ASSERT_NE(tabs, nullptr);
    const QStringList expected = {"Drilling", "Options", "Aux Tracks", "Gas Simulator"};
    ASSERT_EQ(tabs->count(), expected.size());
    for (int i = 0; i < tabs->count(); ++i) EXPECT_EQ(tabs->tabText(i), expected[i]);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_NE(qobject_cast<DrillingPage*>(window.currentPage()), nullptr);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane"));
    EXPECT_EQ(tray.shown, 1) << "the window puts its icon in the tray";
}

TEST_F(MainWindowTest, SwitchingTabsDestroysAndRebuildsPages) {
    MainWindow window(shared, control, tray);
    QPointer<QWidget> drilling = window.currentPage();
    window.tabControl()->setCurrentIndex(1);
    EXPECT_TRUE(drilling.isNull()) << "leaving a tab destroys its page";
    QPointer<QWidget> options = window.currentPage();
    EXPECT_NE(qobject_cast<OptionsPage*>(options), nullptr);

    window.tabControl()->setCurrentIndex(0);
    EXPECT_TRUE(options.isNull());
    EXPECT_NE(qobject_cast<DrillingPage*>(window.currentPage()), nullptr);

    window.tabControl()->setCurrentIndex(1);
    EXPECT_NE(window.currentPage(), nullptr);
    EXPECT_NE(window.currentPage(), options.data()) << "a fresh Options page each time";

    // Only one page exists at a time.
    int pages = 0;
    for (int i = 0; i < 4; ++i) {
        window.tabControl()->setCurrentIndex(i);
        pages = window.findChildren<DrillingPage*>().size() +
                window.findChildren<OptionsPage*>().size();
        EXPECT_LE(pages, 1) << "tab " << i;
    }
}

TEST_F(MainWindowTest, WholePageFitsInsideTheWindow) {
    MainWindow window(shared, control, tray);
    window.showCentred();
    const ui::BaseUnits units = ui::baseUnitsOf(&window);
    const QSize page = ui::toPixels(units, 0, 0, 302, 134).size();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        window.tabControl()->setCurrentIndex(i);
        QWidget* current = window.currentPage();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->size(), page);
        // Page corners, mapped into the window, lie inside its client area.
        const QPoint topLeft = current->mapTo(&window, QPoint(0, 0));
        const QPoint bottomRight = current->mapTo(&window, QPoint(page.width(), page.height()));
        EXPECT_GE(topLeft.y(), window.menuBar()->height());
        EXPECT_LE(bottomRight.x(), window.width());
        EXPECT_LE(bottomRight.y(), window.height());
        const QPoint inTabs =
            current->mapTo(window.tabControl(), QPoint(page.width() - 1, page.height() - 1));
        EXPECT_TRUE(window.tabControl()->rect().contains(inTabs)) << "not clipped by the tabs";
    }
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
    // Fitted to the tabs: no blank strip below or beside them beyond their margin.
    const QRect tabs(window.tabControl()->mapTo(&window, QPoint(0, 0)),
                     window.tabControl()->size());
    EXPECT_LE(window.width() - 1 - tabs.right(), units.x / 4);
    EXPECT_LE(window.height() - 1 - tabs.bottom(), units.y / 8);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool)) << "no taskbar button";
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(MainWindowTest, PageKeysSwitchPagesWhereverTheFocusIs) {
    const struct {
        const char* legend;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int page;
    } cases[] = {
        {"Ctrl+PgDn, not the rate box's", Qt::Key_PageDown, Qt::ControlModifier, 1},
        {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, 1},
        {"Ctrl+Shift+Tab, round to the last", Qt::Key_Backtab,
         Qt::ControlModifier | Qt::ShiftModifier, 3},
        {"Ctrl+PgUp", Qt::Key_PageUp, Qt::ControlModifier, 3},
    };
    MainWindow window(shared, control, tray);
    window.showCentred();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        window.tabControl()->setCurrentIndex(0);
        QLineEdit* rate = window.currentPage()->findChild<QLineEdit*>();
        rate->setFocus();
        QTest::keyClick(rate, c.key, c.modifiers);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.tabControl()->currentIndex() == c.page; }));
        EXPECT_EQ(shared.sim.ropChoice, 1) << "the rate stays";
    }
}

TEST_F(MainWindowTest, FileMenuHoldsSetupReplayFaultsAboutSeparatorExit) {
    MainWindow window(shared, control, tray);
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
    const QList<QAction*> items = menus[0]->menu()->actions();
    const QStringList texts = {"&Setup...",
                               "&Play Recording...",
                               "Stop P&laying",
                               "&Record...",
                               "Stop Re&cording",
                               "&Faults...",
                               "&About...",
                               "",
                               "&Exit"};
    ASSERT_EQ(items.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) EXPECT_EQ(items[i]->text(), texts[i]);
    EXPECT_TRUE(items[7]->isSeparator());

    testing::ModalDriver modals;
    window.aboutAction()->trigger();
    ASSERT_EQ(modals.messages().size(), 1u);
    EXPECT_TRUE(modals.messages()[0].text.contains(QStringLiteral("Korvane ") + kVersion));

    control.faults.set(FaultPlan{.drop = 5});
    modals.onNext<QDialog>([](QDialog* faults) { faults->accept(); });
    window.faultsAction()->trigger();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane (Not Connected, faults on)"));
}

TEST_F(MainWindowTest, CloseHidesAndTrayClicksToggle) {
    MainWindow window(shared, control, tray);
    window.showCentred();
    EXPECT_TRUE(window.windowVisible());

    EXPECT_TRUE(window.close()) << "closing is allowed and only hides";
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.windowVisible());
    EXPECT_EQ(tray.removed, 0) << "the icon stays while the program runs";

    tray.click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowVisible());
    tray.click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.windowVisible());
    tray.click();
    EXPECT_TRUE(window.isVisible());

    // A window manager may minimise even a tool window; a click brings it back whole.
    for (const bool closedToo : {false, true}) {
        SCOPED_TRACE(closedToo ? "minimised, then closed" : "minimised");
        window.showMinimized();
        if (closedToo) window.close();
        tray.click();
        EXPECT_TRUE(window.isVisible() && window.windowVisible() && !window.isMinimized());
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
}

TEST_F(MainWindowTest, WithoutATrayCloseMinimisesAndTheWindowKeepsATaskbarButton) {
    const struct {
        const char* legend;
        bool trayAtStart;
        bool hiddenWhenItGoes;
    } cases[] = {
        {"no tray at start", false, false},
        {"the tray goes while the window shows", true, false},
        {"the tray goes while the window is hidden: it shows itself", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        tray.hasTray = c.trayAtStart;
        MainWindow window(shared, control, tray);
        window.showCentred();
        if (c.hiddenWhenItGoes) window.close();
        if (c.trayAtStart) tray.setAvailable(false);
        EXPECT_TRUE(window.isVisible() && window.windowVisible());
        EXPECT_FALSE(window.windowFlags().testFlag(Qt::Tool));
        EXPECT_FALSE(window.close()) << "hiding would lose the window for good";
        EXPECT_TRUE(window.isVisible() && window.isMinimized());
    }
}

TEST_F(MainWindowTest, TitleNamesEveryLinkState) {
    const testing::OpenablePort port = testing::openablePort();
    if (port.number == 0) GTEST_SKIP() << port.why;

    MainWindow window(shared, control, tray);
    // Loopback only: the streaming link sends to this peer.
    for (int i = 0; i < 4; ++i) shared.link.ipAddress[i] = std::array{127, 0, 0, 1}[i];
    shared.link.comPort = port.number;

    struct Case {
        const char* legend;
        int32_t medium;
        int32_t interrogated;
        const char* title;
    };
    const Case cases[] = {
        {"no link", kMediumNone, 0, "Korvane (Not Connected)"},
        {"UDP streaming", kMediumUdp, 0, "Korvane (Streaming UDP)"},
        {"RS-232 streaming", kMediumRs232, 0, "Korvane (Streaming RS-232)"},
        {"UDP interrogated", kMediumUdp, 1, "Korvane (Interrogated UDP)"},
        {"RS-232 interrogated", kMediumRs232, 1, "Korvane (Interrogated RS-232)"},
        {"stopped again", kMediumNone, 1, "Korvane (Not Connected)"},
    };
    testing::ModalDriver modals;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared.link.interrogated = c.interrogated;
        EXPECT_EQ(startLink(shared, control, window, c.medium), 1);
        EXPECT_EQ(window.windowTitle(), QString::fromLatin1(c.title));
        EXPECT_EQ(shared.link.medium, c.medium);
    }
    for (const testing::Message& box : modals.messages()) ADD_FAILURE() << box.text.toStdString();
}

TEST_F(MainWindowTest, FileMenuPlaysARecordingToItsEndAndRecordsIt) {
    MainWindow window(shared, control, tray);
    ReplayMenu& menu = *window.replayMenu();
    for (int i = 0; i < 4; ++i) shared.link.ipAddress[i] = std::array{127, 0, 0, 1}[i];
    shared.link.interrogated = 0;
    testing::ModalDriver modals;
    ASSERT_EQ(startLink(shared, control, window, kMediumUdp), 1);
    EXPECT_FALSE(menu.stopPlayingAction()->isEnabled());
    EXPECT_FALSE(menu.stopRecordingAction()->isEnabled());

    EXPECT_FALSE(menu.play(QString::fromStdString((folder / "gone.csv").string()), {}));
    const std::vector<std::string> frames = {"&&\r\n01081.0\r\n!!\r\n", "&&\r\n01082.0\r\n!!\r\n"};
    testing::writeText(folder / "in.jsonl", frameLine(0, frames[0]) + frameLine(0.2, frames[1]));
    ASSERT_TRUE(menu.record(QString::fromStdString((folder / "out.jsonl").string())));
    EXPECT_TRUE(menu.stopRecordingAction()->isEnabled());
    ASSERT_TRUE(menu.play(QString::fromStdString((folder / "in.jsonl").string()), {}));
    EXPECT_TRUE(menu.stopPlayingAction()->isEnabled());
    EXPECT_TRUE(window.windowTitle().startsWith("Korvane (Streaming UDP) - playing in.jsonl "));
    // The end of the play comes back to the window, and the rig carries on.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !menu.stopPlayingAction()->isEnabled(); }, 5000));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane (Streaming UDP)"));
    menu.stopRecording();
    EXPECT_FALSE(menu.stopRecordingAction()->isEnabled());

    auto opened = RecordingReader::open((folder / "out.jsonl").string());
    ASSERT_TRUE(std::holds_alternative<RecordingReader>(opened));
    std::vector<std::string> recorded;
    for (RecordedFrame f; std::get<RecordingReader>(opened).next(f);) recorded.push_back(f.frame);
    EXPECT_EQ(recorded, frames);
    ASSERT_TRUE(QTest::qWaitFor([&] { return modals.messages().size() >= 2; }, 2000));
    EXPECT_TRUE(modals.messages()[0].text.startsWith("Cannot play "));
    EXPECT_EQ(modals.messages()[1].text, QStringLiteral("Played in.jsonl to the end."));
}

TEST_F(MainWindowTest, LinkErrorIsACriticalBoxCaptionedKorvane) {
    MainWindow window(shared, control, tray);
    // COM99 stands for no port at all here (no COM99 link in the working
    // folder, no /dev/ttyS98; on Windows, no such device).
    shared.link.comPort = 99;
    testing::ModalDriver modals;
    startLink(shared, control, window, kMediumRs232);
    ASSERT_EQ(modals.messages().size(), 1u);
    EXPECT_EQ(modals.messages()[0].title, QStringLiteral("Korvane"));
    EXPECT_EQ(modals.messages()[0].text, QStringLiteral("Error Opening COM port 99"));
    EXPECT_EQ(modals.messages()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane (Not Connected)"));
    EXPECT_EQ(shared.link.medium, kMediumNone);
}

TEST_F(MainWindowTest, SetupOkRestartsTheLinkAndCancelDoesNot) {
    MainWindow window(shared, control, tray);
    window.setTitle("Korvane (Streaming UDP)");  // stands for a link in force
    testing::ModalDriver modals;
    modals.onNext<SetupDialog>([](SetupDialog* dialog) { dialog->reject(); });
    window.setupAction()->trigger();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane (Streaming UDP)"));
    EXPECT_TRUE(modals.messages().empty());

    modals.onNext<SetupDialog>([](SetupDialog* dialog) {
        // No such port here, so the restarted link fails and says so.
        ui::control<QLineEdit>(dialog, ids::setup::kComPortEdit)->setText(QStringLiteral("99"));
        ui::control<QPushButton>(dialog, ids::kOk)->click();
    });
    window.setupAction()->trigger();
    ASSERT_EQ(modals.messages().size(), 1u);
    EXPECT_EQ(modals.messages()[0].text, QStringLiteral("Error Opening COM port 99"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane (Not Connected)"));
    EXPECT_EQ(shared.link.comPort, 99);
}

TEST_F(MainWindowTest, TcpServerChosenInSetupCountsItsReceiversInTheTitle) {
    MainWindow window(shared, control, tray);
    testing::ModalDriver modals;
    modals.onNext<SetupDialog>([](SetupDialog* dialog) {
        ui::control<QRadioButton>(dialog, ids::setup::kTcpRadio)->click();
        ui::control<ui::IpAddressEdit>(dialog, ids::setup::kTcpListenField)
            ->setOctets({127, 0, 0, 1});
        ui::control<QPushButton>(dialog, ids::kOk)->click();
    });
    window.setupAction()->trigger();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Korvane (Streaming TCP, 0 receivers)"));
    const auto titleBecomes = [&window](const char* title) {
        QElapsedTimer waited;
        waited.start();
        while (window.windowTitle() != QLatin1String(title) && waited.elapsed() < 3000)
            QTest::qWait(10);
        return window.windowTitle().toStdString();
    };
    std::optional<TcpConnection> receiver = TcpConnection::startConnect({{127, 0, 0, 1}, 5001});
    ASSERT_TRUE(receiver.has_value());
    EXPECT_EQ(titleBecomes("Korvane (Streaming TCP, 1 receiver)"),
              "Korvane (Streaming TCP, 1 receiver)");
    receiver->close();
    EXPECT_EQ(titleBecomes("Korvane (Streaming TCP, 0 receivers)"),
              "Korvane (Streaming TCP, 0 receivers)");
    startLink(shared, control, window, kMediumNone);
}

TEST_F(MainWindowTest, ExitRemovesTheIconEndsWithOneAndSavesTheSettings) {
    const auto iniPath = folder / "Korvane.ini";
    ASSERT_FALSE(std::filesystem::exists(iniPath));
    shared.sim.holeDepth = 1234.5f;

    SessionOptions options;
    options.folder = folder.path();
    options.singleInstance = false;  // other tests run the programs alongside
    options.startClock = false;
    options.linkDelay = std::chrono::milliseconds{0};
    QString titleAtExit;
    const int code = runSession(shared, control, tray, options, [&](MainWindow& window) {
        QTimer::singleShot(50, &window, [&window, &titleAtExit] {
            titleAtExit = window.windowTitle();
            window.exitAction()->trigger();
        });
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(tray.removed, 1);
    EXPECT_EQ(titleAtExit, QStringLiteral("Korvane (Not Connected)"))
        << "the link for the loaded medium (none) was started";
    ASSERT_TRUE(std::filesystem::exists(iniPath));

    SharedState reloaded;
    EXPECT_EQ(loadSettings(reloaded, folder.path()), 0);
    EXPECT_FLOAT_EQ(reloaded.sim.holeDepth, 1234.5f);
}

TEST_F(MainWindowTest, ControlCommandsShowOnTheirPagesWithinASecond) {
    MainWindow window(shared, control, tray);
    WindowControlHost host(window);
    ControlChannel channel(shared, control, host);
    ASSERT_EQ(channel.open(*readControlPlace("127.0.0.1:0")), "");
    ControlClient client(channel.port());
    const struct {
        Tab tab;
        const char* command;
        std::function<QString(QWidget*)> shown;
        const char* expected;
    } cases[] = {
        {Tab::Drilling, "set rop 0.5",
         [](QWidget* page) {
             return ui::control<QComboBox>(page, ids::drilling::kRopCombo)->currentText();
         },
         "0.50"},
        {Tab::GasSimulator, "set gas.value 42",
         [](QWidget* page) {
             return ui::control<QLabel>(page, ids::gas_simulator::kOutputText)->text();
         },
         "42.0"},
        {Tab::Options, "set drop.hole 1",
         [](QWidget* page) {
             return QString::number(
                 ui::control<QCheckBox>(page, ids::options::kDropHoleDepthBox)->isChecked());
         },
         "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        window.tabControl()->setCurrentIndex(static_cast<int>(c.tab));
        QPointer<QWidget> page = window.currentPage();
        ASSERT_EQ(client.ask(c.command), R"({"ok": true})");
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.shown(page) == c.expected; }, 1000))
            << c.shown(page).toStdString();
        EXPECT_EQ(window.currentPage(), page.data()) << "reloaded, not rebuilt";
    }
    // A link starts on the main thread.
    EXPECT_EQ(client.ask("link tcp-listen 127.0.0.1:0"),
              R"j({"ok": true, "title": "Korvane (Streaming TCP, 0 receivers)"})j");
    EXPECT_EQ(client.ask("link stop"), R"j({"ok": true, "title": "Korvane (Not Connected)"})j");
    host.close();
    EXPECT_EQ(client.ask("link stop"), R"({"ok": false, "error": "link: the program is ending"})")
        << "answered at once, not left waiting for the main thread";
    channel.close();
}

TEST_F(MainWindowTest, ControlChannelOrScenarioThatCannotStartEndsTheStartWithTwo) {
    std::optional<TcpListener> taken = TcpListener::listen({{127, 0, 0, 1}, 0});
    ASSERT_TRUE(taken.has_value());
    testing::writeText(folder / "bad.scn", "at 0:10 set nothing 1\n");
    SessionOptions inUse;
    inUse.start.control =
        readControlPlace("127.0.0.1:" + std::to_string(taken->localAddress()->port));
    SessionOptions badScenario;
    badScenario.start.scenario = (folder / "bad.scn").string();
    for (SessionOptions* options : {&inUse, &badScenario}) {
        options->folder = folder.path();
        options->singleInstance = false;
        options->startClock = false;
        bool shown = false;
        EXPECT_EQ(runSession(shared, control, tray, *options, [&](MainWindow&) { shown = true; }),
                  kStartRefused);
        EXPECT_FALSE(shown);
        EXPECT_FALSE(std::filesystem::exists(folder / "Korvane.ini"))
            << "the settings are left alone";
    }
}

TEST_F(MainWindowTest, ScenarioRunsThroughTheWindowAndItsTitleSaysHowFar) {
    testing::writeText(folder / "well.scn", "at 0:00 set rop 0.5\n");
    SessionOptions options;
    options.folder = folder.path();
    options.singleInstance = false;
    options.startClock = false;
    options.linkDelay = std::chrono::milliseconds{0};
    options.start.scenario = (folder / "well.scn").string();
    options.start.clockScale = 60;
    QString title;
    QString rop;
    runSession(shared, control, tray, options, [&](MainWindow& window) {
        QTimer::singleShot(0, &window, [&] {
            static_cast<void>(QTest::qWaitFor([&] {
                title = window.windowTitle();
                rop = ui::control<QComboBox>(window.currentPage(), ids::drilling::kRopCombo)
                          ->currentText();
                return title.endsWith("scenario 1/1)") && rop == "0.50";
            }));
            window.exitProgram();
        });
    });
    EXPECT_EQ(title, QStringLiteral("Korvane (Not Connected, clock x60, scenario 1/1)"));
    EXPECT_EQ(rop, QStringLiteral("0.50"));
}

// What only a Windows desktop shows: the window stays above one raised after
// it, and its icon has a tray to go in.
TEST_F(MainWindowTest, StaysAboveOthersOnAWindowsDesktopWithATray) {
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        GTEST_SKIP() << "needs the windows platform (under Wine: -platform windows on Xvfb); "
                        "offscreen has no stacking and no tray, X11's depend on the window manager";
    SystemTrayIcon systemTray;
    ASSERT_TRUE(systemTray.available());
    MainWindow window(shared, control, systemTray);
    window.showCentred();
    QWidget later;
    later.setGeometry(window.geometry());
    later.show();
    later.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowExposed(&later));
    EXPECT_EQ(QApplication::topLevelAt(window.geometry().center()), &window);
}

}  // namespace
}  // namespace korvane
