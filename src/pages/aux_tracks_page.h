#pragma once

#include <QWidget>

namespace korvane {

struct SharedState;

class AuxTracksPage : public QWidget {
    Q_OBJECT
public:
    AuxTracksPage(SharedState& shared, QWidget* parent);

private:
    [[maybe_unused]] SharedState& shared_;
};

}  // namespace korvane
