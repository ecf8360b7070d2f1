// korvane-screenshot TAB PATH: draws the main window with fresh start-up
// values, tab TAB (0 Drilling .. 3 Gas Simulator) chosen, into the PNG file
// PATH. No link is started and no file is read or written but PATH.
#include <QApplication>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "links/link_control.h"
#include "shell/main_window.h"
#include "shell/settings_file.h"
#include "shell/tray_icon.h"
#include "simulation/shared_state.h"

namespace {

// The offscreen platform has no tray.
class NoTray : public korvane::TrayIcon {
public:
    bool available() const override { return true; }
    void show() override {}
    void remove() override {}
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvane-screenshot TAB PATH\n");
        return 2;
    }
    const int tab = std::atoi(argv[1]);
    if (tab < 0 || tab > 3) {
        std::fprintf(stderr, "korvane-screenshot: TAB is 0 to 3\n");
        return 2;
    }

    korvane::SharedState shared;
    korvane::LinkControl control;
    // A folder without files: the defaults, not the working directory's tables.
    const auto empty = std::filesystem::temp_directory_path() / "korvane-screenshot-none";
    korvane::setStartupDefaults(shared, empty);

    NoTray tray;
    korvane::MainWindow window(shared, control, tray);
    window.setTitle("Korvane (Not Connected)");
    window.tabControl()->setCurrentIndex(tab);
    window.showCentred();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "korvane-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
