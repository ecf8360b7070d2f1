#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSlider;

namespace korvane {

struct SharedState;

// Third tab: lists the auxiliary tracks, adds, removes and modifies them, and
// sets the shown track's value with a slider running from its maximum at the
// top to its minimum at the bottom. The only writer of the track table while
// the program runs.
class AuxTracksPage : public QWidget {
    Q_OBJECT
public:
    AuxTracksPage(SharedState& shared, QWidget* parent);

    // Shows that slot's track, or the empty state for -1. False when the
    // data mutex was busy: the value then stays as it was shown.
    bool showTrack(int slot);
    // Recounts the table, rebuilds the list and shows the track of its first line.
    void refreshTrackList();
    // Shows the chosen track's value and switch as they are stored now, as a
    // control command may have changed them; a thumb the operator holds stays
    // where it is. False, and nothing changed, while the data mutex is busy.
    bool reload();

private:
    void fillList();
    QListWidgetItem* insertLine(int slot);
    void selectLine(QListWidgetItem* item);
    void setTrackButtonsEnabled(bool enabled);
    void followSlider(int position, bool store);
    void followList();
    void addTrack();
    void removeTrack();
    void modifyTrack();
    void storeTransmit(bool checked);

    SharedState& shared_;
    QSlider* slider_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* upperLabel_ = nullptr;
    QLabel* lowerLabel_ = nullptr;
    QLabel* tagText_ = nullptr;
    QLabel* valueText_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* modifyButton_ = nullptr;
    QCheckBox* transmitBox_ = nullptr;
    int selectedSlot_ = -1;
    // Slider mapping of the shown track: (minimum - maximum) / 100 and maximum.
    float scale_ = 0.0f;
    float offset_ = 0.0f;
};

}  // namespace korvane
