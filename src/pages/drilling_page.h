#pragma once

#include <QWidget>

namespace korvane {

struct SharedState;

class DrillingPage : public QWidget {
    Q_OBJECT
public:
    DrillingPage(SharedState& shared, QWidget* parent);

private:
    [[maybe_unused]] SharedState& shared_;
};

}  // namespace korvane
