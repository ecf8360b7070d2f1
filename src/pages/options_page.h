#pragma once

#include <QWidget>

namespace korvane {

struct SharedState;

// Tab 1: which items the frames drop or add, the depths, the stroke counters
// and the extraneous records. Rebuilt from the shared state at every creation.
class OptionsPage : public QWidget {
    Q_OBJECT
public:
    OptionsPage(SharedState& shared, QWidget* parent);

    // Shows the switches as they are stored now, as a control command may
    // have changed them. False, and nothing changed, while the data mutex is busy.
    bool reload();

private:
    bool load(bool fresh);
    void connectToggle(int id, int32_t& field);
    void setDepths();
    void zeroStrokes();
    void defineRecords();

    SharedState& shared_;
};

}  // namespace korvane
