#include "shell/window_control_host.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "control/control_events.h"
#include "shell/main_window.h"
#include "shell/replay_menu.h"

namespace korvane {

namespace {

// How soon after a command the window shows what it changed.
constexpr int kReloadMs = 250;
constexpr const char* kEnding = "the program is ending";

}  // namespace

WindowControlHost::WindowControlHost(MainWindow& window) : window_(window) {
    reloadTimer_ = new QTimer(this);
    reloadTimer_->setSingleShot(true);
    reloadTimer_->setInterval(kReloadMs);
    connect(reloadTimer_, &QTimer::timeout, this, &WindowControlHost::reload);
}

WindowControlHost::~WindowControlHost() { close(); }

void WindowControlHost::tellPlayed(ControlEvents& events) {
    window_.replayMenu()->onPlayed = [&events](const std::string& note) { events.played(note); };
}

void WindowControlHost::close() {
    closing_.store(true);
    window_.replayMenu()->onPlayed = nullptr;
    // A call that saw closing_ false has posted, or will: its event is
    // delivered here and runs nothing, which lets its thread go on. The
    // event loop may be gone, and a blocking post into it would wait forever.
    while (calls_.load() > 0) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        std::this_thread::yield();
    }
}

bool WindowControlHost::onMainThread(const std::function<void()>& task) {
    // Blocking on its own thread would wait for itself.
    if (QThread::currentThread() == thread()) {
        if (closing_.load()) return false;
        task();
        return true;
    }
    bool ran = false;
    // Counted before closing_ is looked at, so close() cannot miss this call.
    calls_.fetch_add(1);
    if (!closing_.load()) {
        QMetaObject::invokeMethod(
            this,
            [&] {
                if (closing_.load()) return;
                task();
                ran = true;
            },
            Qt::BlockingQueuedConnection);
    }
    calls_.fetch_sub(1);
    return ran;
}

LinkUi& WindowControlHost::linkUi() { return window_; }

void WindowControlHost::quit() {
    QMetaObject::invokeMethod(
        this, [this] { window_.exitProgram(); }, Qt::QueuedConnection);
}

std::string WindowControlHost::play(const std::string& path, const PlayOptions& options) {
    std::string error;
    if (!onMainThread([&] { error = window_.replayMenu()->playQuietly(path, options); }))
        return kEnding;
    return error;
}

void WindowControlHost::stopPlaying() {
    onMainThread([this] { window_.replayMenu()->stopPlaying(); });
}

std::string WindowControlHost::record(const std::string& path) {
    std::string error;
    if (!onMainThread([&] { error = window_.replayMenu()->recordQuietly(path); })) return kEnding;
    return error;
}

void WindowControlHost::stopRecording() {
    std::string trouble;
    onMainThread([&] { trouble = window_.replayMenu()->stopRecordingQuietly(); });
    // No box may hold up the channel; what the recording lost still gets said.
    if (!trouble.empty()) std::fprintf(stderr, "korvane: %s\n", trouble.c_str());
}

void WindowControlHost::changed() {
    if (pending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!reloadTimer_->isActive()) reloadTimer_->start();
        },
        Qt::QueuedConnection);
}

void WindowControlHost::reload() {
    // Cleared first: a change made while the page reloads comes round again.
    pending_.store(false);
    if (!window_.reloadShown()) {
        pending_.store(true);
        reloadTimer_->start();
    }
}

}  // namespace korvane
