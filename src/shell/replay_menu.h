#pragma once

#include <QObject>
#include <QString>
#include <memory>

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

private:
    void choosePlay();
    void chooseRecord();
    // On this thread, after the link thread played the recording to its end.
    void played(const std::shared_ptr<RecordedSource>& recording);
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
