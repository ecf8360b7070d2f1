#pragma once

#include <QDialog>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvane {

struct FaultPlan;
struct LinkControl;

// File, Faults...: the faults the link makes on purpose, one row each with its
// switch and numbers, the seed of their random choices, and how many of each
// have been made (kept up to date while the dialog is open). OK puts the whole
// plan in force at once, or nothing when a number is refused; Cancel changes
// nothing. Clear All switches every fault off and zeroes the counts there and
// then. An empty seed is drawn on OK; `lastSeed` keeps the seed used from one
// opening to the next, as the plan in force forgets it once all is off.
class FaultsDialog : public QDialog {
    Q_OBJECT
public:
    FaultsDialog(LinkControl& control, std::optional<uint64_t>& lastSeed,
                 QWidget* parent = nullptr);

    void accept() override;

signals:
    // After OK or Clear All: the window's title says whether any fault is on.
    void faultsChanged();

private:
    void showPlan(const FaultPlan& plan);
    bool readPlan(FaultPlan& plan);
    void enableRow(std::size_t row);
    void clearAll();
    void refreshCounts();

    LinkControl& control_;
    std::optional<uint64_t>& lastSeed_;
};

}  // namespace korvane
