#include "shell/replay_menu.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <mutex>

#include "links/link_control.h"
#include "replay/recorder.h"
#include "resources/strings.h"
#include "shell/main_window.h"

namespace korvane {

struct ReplaySink {
    std::mutex mutex;
    ReplayMenu* menu = nullptr;
};

namespace {

constexpr int kProgressMs = 1000;
constexpr const char* kBadSpeed = "The speed must be a number from 0.1 to 1000, or max.";
constexpr const char* kFastRefused = "A recording plays as fast as taken only in streaming mode.";

void tell(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    auto* box = new QMessageBox(icon, QString::fromLatin1(ui::kCaption),
                                QString::fromStdString(text), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace

ReplayMenu::ReplayMenu(QMenu& file, MainWindow& window, LinkControl& control)
    : QObject(&window), window_(window), control_(control), sink_(std::make_shared<ReplaySink>()) {
    sink_->menu = this;
    play_ = file.addAction(QString::fromLatin1(ui::kMenuPlay));
    stopPlaying_ = file.addAction(QString::fromLatin1(ui::kMenuStopPlaying));
    record_ = file.addAction(QString::fromLatin1(ui::kMenuRecord));
    stopRecording_ = file.addAction(QString::fromLatin1(ui::kMenuStopRecording));
    connect(play_, &QAction::triggered, this, &ReplayMenu::choosePlay);
    connect(stopPlaying_, &QAction::triggered, this, &ReplayMenu::stopPlaying);
    connect(record_, &QAction::triggered, this, &ReplayMenu::chooseRecord);
    connect(stopRecording_, &QAction::triggered, this, &ReplayMenu::stopRecording);
    progress_ = new QTimer(this);
    progress_->setInterval(kProgressMs);
    connect(progress_, &QTimer::timeout, &window_, &MainWindow::refreshTitle);
    updateItems();
}

ReplayMenu::~ReplayMenu() {
    {
        std::lock_guard lock(sink_->mutex);
        sink_->menu = nullptr;
    }
    // The window goes only once the link has stopped: what it recorded is
    // all written and the file closed.
    if (const std::shared_ptr<Recorder> recorder = control_.recording.stop()) recorder->stop();
}

bool ReplayMenu::play(const QString& path, const PlayOptions& options) {
    if (fastRefused(options)) {
        tell(&window_, QMessageBox::Warning, kFastRefused);
        return false;
    }
    std::string notes;
    const std::string error = startPlaying(path.toStdString(), options, true, notes);
    if (!error.empty()) {
        tell(&window_, QMessageBox::Critical, error);
        return false;
    }
    if (!notes.empty()) tell(&window_, QMessageBox::Information, notes);
    return true;
}

std::string ReplayMenu::playQuietly(const std::string& path, const PlayOptions& options) {
    std::string notes;
    return startPlaying(path, options, false, notes);
}

std::string ReplayMenu::startPlaying(const std::string& path, const PlayOptions& options,
                                     bool tellEnd, std::string& notes) {
    if (fastRefused(options)) return kFastRefused;
    OpenedRecording opened = openRecording(path, options);
    if (!opened.recording) return opened.error;
    for (const std::string& note : opened.notes) notes += note + "\n";
    std::shared_ptr<RecordedSource> recording = std::move(opened.recording);
    recording->onEnded = [sink = sink_, weak = std::weak_ptr<RecordedSource>(recording), tellEnd] {
        std::lock_guard lock(sink->mutex);
        if (ReplayMenu* menu = sink->menu)
            QMetaObject::invokeMethod(
                menu,
                [menu, weak, tellEnd] {
                    if (auto recording = weak.lock()) menu->played(recording, tellEnd);
                },
                Qt::QueuedConnection);
    };
    control_.feed.play(std::move(recording));
    refresh();
    return {};
}

bool ReplayMenu::fastRefused(const PlayOptions& options) const {
    return options.asFastAsTaken && control_.runningInterrogated.load() &&
           control_.runningMedium.load() != 0;
}

void ReplayMenu::stopPlaying() {
    control_.feed.stopPlaying();
    refresh();
}

void ReplayMenu::played(const std::shared_ptr<RecordedSource>& recording, bool tellEnd) {
    // Only if it is still the one playing: another may have been started since.
    if (control_.feed.playing() != recording) return;
    control_.feed.stopPlaying();
    refresh();
    const std::string note = playedText(*recording);
    if (onPlayed) onPlayed(note);
    if (tellEnd) tell(&window_, QMessageBox::Information, note + ".");
}

bool ReplayMenu::record(const QString& path) {
    // The file dialog has asked before a file is replaced.
    const std::string error = startRecording(path.toStdString(), true);
    if (!error.empty()) tell(&window_, QMessageBox::Critical, error);
    return error.empty();
}

std::string ReplayMenu::recordQuietly(const std::string& path) {
    return startRecording(path, false);
}

std::string ReplayMenu::startRecording(const std::string& path, bool overwrite) {
    auto opened = Recorder::open(path, overwrite);
    if (auto* refusal = std::get_if<RecorderRefusal>(&opened)) return refusal->text;
    if (auto before =
            control_.recording.start(std::move(std::get<std::unique_ptr<Recorder>>(opened))))
        before->stop();
    refresh();
    return {};
}

void ReplayMenu::stopRecording() {
    const std::string trouble = stopRecordingQuietly();
    if (!trouble.empty()) tell(&window_, QMessageBox::Warning, trouble);
}

std::string ReplayMenu::stopRecordingQuietly() {
    const std::shared_ptr<Recorder> recorder = control_.recording.stop();
    refresh();
    if (!recorder) return {};
    recorder->stop();
    std::string trouble = recorder->problem();
    if (const uint64_t dropped = recorder->dropped())
        trouble += (trouble.empty() ? "" : "\n") + std::string("The recording lost ") +
                   std::to_string(dropped) + (dropped == 1 ? " line." : " lines.");
    return trouble;
}

void ReplayMenu::updateItems() {
    const bool playing = control_.feed.playing() != nullptr;
    stopPlaying_->setEnabled(playing);
    stopRecording_->setEnabled(control_.recording.recorder() != nullptr);
    if (playing)
        progress_->start();
    else
        progress_->stop();
}

void ReplayMenu::refresh() {
    updateItems();
    window_.refreshTitle();
}

void ReplayMenu::choosePlay() {
    QDialog dialog(&window_);
    dialog.setWindowTitle(QStringLiteral("Play Recording"));
    auto* form = new QFormLayout(&dialog);
    auto* path = new QLineEdit(&dialog);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), &dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(path);
    row->addWidget(browse);
    form->addRow(QStringLiteral("&File:"), row);
    auto* speed = new QLineEdit(QStringLiteral("1"), &dialog);
    speed->setToolTip(QStringLiteral("0.1 to 1000 times as recorded, or max"));
    form->addRow(QStringLiteral("&Speed:"), speed);
    auto* loop = new QCheckBox(QStringLiteral("&Loop"), &dialog);
    form->addRow(QString(), loop);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(browse, &QPushButton::clicked, &dialog, [&] {
        const QString chosen = QFileDialog::getOpenFileName(
            &dialog, QStringLiteral("Play Recording"), path->text(),
            QStringLiteral("Recordings (*.jsonl *.txt *.log *.csv);;All files (*)"));
        if (!chosen.isEmpty()) path->setText(chosen);
    });
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        PlayOptions options;
        options.loop = loop->isChecked();
        if (!readPlaySpeed(speed->text().trimmed().toStdString(), options)) {
            QMessageBox::warning(&dialog, QString::fromLatin1(ui::kCaption),
                                 QString::fromLatin1(kBadSpeed));
            speed->setFocus();
            return;
        }
        if (play(path->text(), options)) dialog.accept();
    });
    dialog.exec();
}

void ReplayMenu::chooseRecord() {
    const QString path =
        QFileDialog::getSaveFileName(&window_, QStringLiteral("Record"), QString(),
                                     QStringLiteral("Korvane recordings (*.jsonl);;All files (*)"));
    if (!path.isEmpty()) record(path);
}

}  // namespace korvane
