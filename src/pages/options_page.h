#pragma once

#include <QWidget>

namespace korvane {

struct SharedState;

class OptionsPage : public QWidget {
    Q_OBJECT
public:
    OptionsPage(SharedState& shared, QWidget* parent);

private:
    [[maybe_unused]] SharedState& shared_;
};

}  // namespace korvane
