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

private:
    void connectToggle(int id, int32_t& field);
    void setDepths();
    void zeroStrokes();
    void defineRecords();

    SharedState& shared_;
};

}  // namespace korvane
