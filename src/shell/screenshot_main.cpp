// korvane-screenshot WHAT PATH: draws a part of Korvane into the PNG file PATH,
// for the README (offscreen unless a platform is asked for: -platform NAME).
// WHAT is a tab (drilling, options, aux-tracks, gas-simulator) or a dialog
// (setup, define-records). The rig shown is a made-up one a little way into a
// well; no link is started, and no file is touched but PATH and a temporary
// folder of its own.
// korvane-screenshot icon SIZE PATH draws the program's icon alone, SIZE pixels
// square, for the installed desktop entry.
#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "app/settings_file.h"
#include "korvane_version.h"
#include "links/link_control.h"
#include "pages/define_records_dialog.h"
#include "resources/icons/rig_icon.h"
#include "shell/main_window.h"
#include "shell/setup_dialog.h"
#include "shell/tray_icon.h"
#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "tables/extra_record_file.h"
#include "tables/extra_record_ops.h"
#include "text/number_text.h"

namespace {

// Icon sizes in pixels: the smallest menus use and the largest anyone asks of
// a desktop icon theme.
constexpr int kSmallestIcon = 16;
constexpr int kLargestIcon = 1024;

// The offscreen platform has no tray.
class NoTray : public korvane::TrayIcon {
public:
    bool available() const override { return true; }
    void show() override {}
    void remove() override {}
};

// A rig some hours into drilling, with a little of everything defined.
void fillDemonstrationRig(korvane::SharedState& shared) {
    korvane::SimState& sim = shared.sim;
    sim.holeDepth = 4521.25f;
    sim.bitDepth = 4498.5f;
    sim.totalStrokes[0] = 16203.4;
    sim.totalStrokes[1] = 14388.9;
    sim.totalStrokes[2] = 2210.0;
    sim.pumpSpmChoice[1] = 1;
    sim.pumpCirculating[2] = 0;
    sim.receivedGas.store(12.5f);
    sim.gasOutput = 35.0f;
    sim.sendSimulatedGas = 1;
    korvane::addAuxTrack(shared.auxTracks, "0824", 0.0f, 250.0f);
    korvane::addAuxTrack(shared.auxTracks, "0121", 500.0f, 3500.0f);
    korvane::appendExtraRecord(shared.extraRecords, 2, 10, 12.5f);
    korvane::appendExtraRecord(shared.extraRecords, 8, 21, 250.0f);
}

// How long a desktop takes to map, frame and paint a new window, ms.
constexpr int kDesktopSettleMs = 500;
// Desktop taken in around a window's frame, px.
constexpr int kDesktopMarginPx = 16;

// Lets timers run for `ms`, so a page shows its first refresh.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The part of a picture that differs from its corner: a window, with the
// desktop around it cut away.
QPixmap trimmed(const QPixmap& shot) {
    const QImage image = shot.toImage();
    const QRgb desktop = image.pixel(0, 0);
    QRect window;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != desktop) window |= QRect(x, y, 1, 1);
        }
    }
    return shot.copy(window);
}

// Offscreen, the widget draws itself. On a desktop the picture is taken from
// the screen, with the frame and title bar the system draws around it; the
// frame can be wider than Qt reckons, so a margin of desktop is taken in and
// cut away again.
QPixmap picture(QWidget& widget) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return widget.grab();
    widget.activateWindow();
    runFor(kDesktopSettleMs);
    const QRect area = widget.frameGeometry().adjusted(-kDesktopMarginPx, -kDesktopMarginPx,
                                                       kDesktopMarginPx, kDesktopMarginPx);
    return trimmed(widget.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()));
}

bool save(QWidget& widget, const char* path) {
    widget.show();
    QApplication::processEvents();
    return picture(widget).save(QString::fromLocal8Bit(path), "PNG");
}

int saveIcon(const char* sizeText, const char* path) {
    std::size_t used = 0;
    const std::optional<int> size = korvane::scanInt(sizeText, &used);
    if (!size || used != std::strlen(sizeText) || *size < kSmallestIcon || *size > kLargestIcon) {
        std::fprintf(stderr, "korvane-screenshot: icon SIZE is %d to %d pixels\n", kSmallestIcon,
                     kLargestIcon);
        return 2;
    }
    if (!korvane::ui::rigPixmap(*size).save(QString::fromLocal8Bit(path), "PNG")) {
        std::fprintf(stderr, "korvane-screenshot: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Offscreen unless a platform is asked for (-platform or the variable).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "";
    if (argc == 2 && what == "--version") {
        std::printf("korvane-screenshot %s\n", korvane::kVersion);
        return 0;
    }
    if (argc == 4 && what == "icon") return saveIcon(argv[2], argv[3]);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: korvane-screenshot WHAT PATH | icon SIZE PATH | --version\n"
                     "WHAT: drilling, options, aux-tracks, gas-simulator, setup, define-records\n");
        return 2;
    }
    const char* path = argv[2];
    const char* const tabs[] = {"drilling", "options", "aux-tracks", "gas-simulator"};
    int tab = -1;
    for (int i = 0; i < 4; ++i) {
        if (what == tabs[i]) tab = i;
    }
    if (tab < 0 && what != "setup" && what != "define-records") {
        std::fprintf(stderr, "korvane-screenshot: unknown WHAT '%s'\n", what.c_str());
        return 2;
    }

    // A folder of its own: the defaults, not the working directory's tables.
    const QTemporaryDir temporary;
    if (!temporary.isValid()) return 1;
    const std::filesystem::path folder = temporary.path().toStdU16String();

    korvane::SharedState shared;
    korvane::LinkControl control;
    korvane::setStartupDefaults(shared, folder);
    fillDemonstrationRig(shared);
    // The Define WITS Records dialog reads its table from the file as it opens.
    korvane::saveExtraRecords(shared.extraRecords, folder);

    bool saved = false;
    if (what == "setup") {
        int32_t medium = 0;
        korvane::SetupDialog dialog(shared, &medium);
        saved = save(dialog, path);
    } else if (what == "define-records") {
        korvane::DefineRecordsDialog dialog(shared, nullptr, folder);
        saved = save(dialog, path);
    } else {
        NoTray tray;
        korvane::MainWindow window(shared, control, tray);
        window.setTitle("Korvane (Streaming UDP)");
        window.tabControl()->setCurrentIndex(tab);
        window.showCentred();
        saved = picture(window).save(QString::fromLocal8Bit(path), "PNG");
    }
    if (!saved) {
        std::fprintf(stderr, "korvane-screenshot: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
