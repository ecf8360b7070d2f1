#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "links/recorded_source.h"

class QAction;
class QMenu;
class QTimer;
class QWidget;

namespace korvane {

struct LinkControl;
class MainWindow;

// File, Play Recording... / Stop Playing / Record... / Stop Recording: what
// the window sends can come from a recording instead of the rig, and what
// goes over the link can be recorded. Nothing of it is saved in the settings.
class ReplayMenu : public QObject {
    Q_OBJECT
public:
    // Adds the four items to `file`, where it stands.
    ReplayMenu(QMenu& file, MainWindow& window, LinkControl& control);
    ~ReplayMenu() override;

    QAction* playAction() const { return play_; }
    QAction* stopPlayingAction() const { return stopPlaying_; }
    QAction* recordAction() const { return record_; }
    QAction* stopRecordingAction() const { return stopRecording_; }

    // The dialogs' work, without the dialogs. Each says what went wrong in
    // a message box and changes nothing then.
    bool play(const QString& path, const PlayOptions& options);
    void stopPlaying();
    bool record(const QString& path);
    void stopRecording();

    // The same for a control channel, which no box may hold up: "" or what
    // went wrong. The end of such a play is told through onPlayed alone, and
    // a file that exists is never replaced.
    std::string playQuietly(const std::string& path, const PlayOptions& options);
    std::string recordQuietly(const std::string& path);
    // What went wrong with the recording stopped, if anything.
    std::string stopRecordingQuietly();

    // On this thread, each time a recording has played to its end.
    std::function<void(const std::string& note)> onPlayed;

private:
    // "" once playing; `notes` gets what the reader has for the operator.
    std::string startPlaying(const std::string& path, const PlayOptions& options, bool tellEnd,
                             std::string& notes);
    std::string startRecording(const std::string& path, bool overwrite);
    // As fast as taken, while an interrogated link runs.
    bool fastRefused(const PlayOptions& options) const;
    void choosePlay();
    void chooseRecord();
    // On this thread, after the link thread played the recording to its end.
    void played(const std::shared_ptr<RecordedSource>& recording, bool tellEnd);
    void updateItems();
    void refresh();  // the items and the title

    MainWindow& window_;
    LinkControl& control_;
    QAction* play_ = nullptr;
    QAction* stopPlaying_ = nullptr;
    QAction* record_ = nullptr;
    QAction* stopRecording_ = nullptr;
    // The title follows how far the recording has played.
    QTimer* progress_ = nullptr;
    // Lets the link thread's end-of-play call find this menu only while it lives.
    std::shared_ptr<struct ReplaySink> sink_;
};

}  // namespace korvane
