// Korvane: simulates a drilling rig and sends its readings as WITS frames.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "korvane_version.h"
#include "links/link_control.h"
#include "platform/display.h"
#include "platform/end_requests.h"
#include "shell/session.h"
#include "shell/start_options.h"
#include "shell/tray_icon.h"
#include "state/shared_state.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvane [--control stdin|[ADDRESS:]PORT] [--scenario FILE]\n"
    "               [--clock-scale K] [--help | --version | Qt options]\n"
    "Simulates a drilling rig and sends its readings as WITS Level 0 frames over\n"
    "UDP, RS-232 or TCP, driven from a small window. The settings are kept in\n"
    "Korvane.ini in the working directory; File, Setup... chooses the link.\n"
    "\n"
    "  --control stdin|[ADDRESS:]PORT\n"
    "                    take commands from standard input, or from TCP clients\n"
    "                    on PORT (on 127.0.0.1 unless ADDRESS is given: the\n"
    "                    channel has no authentication); the window shows what\n"
    "                    they change; see the README\n"
    "  --scenario FILE   run FILE's timed commands from start-up\n"
    "  --clock-scale K   depths and stroke totals advance K times as fast (1 to\n"
    "                    3600); the interval and time-outs stay in real time\n"
    "  --help            print this text\n"
    "  --version         print the program's name and version\n"
    "  -platform NAME    Qt's platform plugin; offscreen needs no display\n"
    "\n"
    "Without a display, korvane-headless runs the same simulator.\n"
    "\n"
    "Exit status: 1 after File, Exit; 0 when another copy is already running;\n"
    "2 without a display, for a malformed option, a control channel that cannot\n"
    "listen or a scenario with an error.\n";

constexpr const char* kNoDisplay =
    "No display: start korvane-headless, or korvane -platform offscreen\n";
constexpr int kNoDisplayStatus = korvane::kStartRefused;

bool hasArgument(int argc, char** argv, std::string_view wanted) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == wanted) return true;
    }
    return false;
}

// A platform chosen for Qt (offscreen, say) needs no display of the system's.
// Qt reads "--platform" as "-platform" too.
bool platformChosen(int argc, char** argv) {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           hasArgument(argc, argv, "-platform") || hasArgument(argc, argv, "--platform");
}

// A display that is named but cannot be reached ends in Qt's fatal "no Qt
// platform plugin could be initialized" while QApplication starts; it gets
// the same words and status as no display at all, not an abort.
QtMessageHandler qtMessages = nullptr;

void startMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(kNoDisplayStatus);
    }
    if (qtMessages != nullptr) {
        qtMessages(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Neither opens a window, so neither needs a display.
    if (hasArgument(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        std::printf("korvane %s\n", korvane::kVersion);
        return 0;
    }
    // A malformed option is said before any display is looked for.
    const korvane::ParsedStartOptions start =
        korvane::parseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!start.options) {
        std::fprintf(stderr, "korvane: %s\n", start.error.c_str());
        return korvane::kStartRefused;
    }
    if (!korvane::displayNamed() && !platformChosen(argc, argv)) {
        std::fputs(kNoDisplay, stderr);
        return kNoDisplayStatus;
    }

    // Before Qt starts any thread of its own.
    korvane::holdEndRequests();
    qtMessages = qInstallMessageHandler(startMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    // The window only hides when closed; File, Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // The clock and link threads may outlive main if they fail to stop, so
    // what they use is never destroyed.
    static auto* shared = new korvane::SharedState;
    static auto* control = new korvane::LinkControl;

    korvane::SystemTrayIcon tray;
    korvane::SessionOptions options;
    options.watchEndRequests = true;
    options.start = *start.options;
    const int exitCode = korvane::runSession(*shared, *control, tray, options);
    korvane::endRequestHandled();
    return exitCode;
}
