#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>

#include "control/control_host.h"

class QTimer;

namespace korvane {

class ControlEvents;
class MainWindow;

// The window's side of a control channel: the channel's thread hands the
// main thread what only it may do, plays and records as the File menu does
// (without its message boxes), and has the window show what commands
// changed. Lives on the main thread; close() it before the window goes.
class WindowControlHost final : public QObject, public ControlHost {
public:
    explicit WindowControlHost(MainWindow& window);
    ~WindowControlHost() override;

    // Watching clients hear of each recording played to its end.
    void tellPlayed(ControlEvents& events);
    // Main thread, once the event loop has ended and before the channel
    // closes: from now on onMainThread runs nothing and returns false at once,
    // and the calls under way are answered so.
    void close();

    // Any thread but the main one.
    bool onMainThread(const std::function<void()>& task) override;
    LinkUi& linkUi() override;
    void quit() override;
    std::string play(const std::string& path, const PlayOptions& options) override;
    void stopPlaying() override;
    std::string record(const std::string& path) override;
    void stopRecording() override;
    void changed() override;

private:
    void reload();

    MainWindow& window_;
    std::atomic<bool> closing_{false};
    std::atomic<int> calls_{0};  // onMainThread calls that may yet post
    // A change not yet shown: thousands of commands a second make one reload.
    std::atomic<bool> pending_{false};
    QTimer* reloadTimer_ = nullptr;
};

}  // namespace korvane
