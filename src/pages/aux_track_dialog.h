#pragma once

#include <QDialog>
#include <cstdint>

namespace korvane {

inline constexpr int32_t kAddTrack = 0;
inline constexpr int32_t kModifyTrack = 1;

// What the Aux Tracks page hands to the Add Auxiliary Track dialog and reads
// back after OK.
struct AuxTrackEdit {
    int32_t mode;  // kAddTrack or kModifyTrack
    char tag[8];   // NUL-terminated; 4 characters when valid
    float minimum;
    float maximum;
};

// Add / Modify Auxiliary Track. exec() gives 1 after a valid OK, with the
// range (and, when adding, the tag) written into the record, and 0 after
// Cancel. A maximum below the minimum is accepted with the two exchanged.
class AuxTrackDialog : public QDialog {
    Q_OBJECT
public:
    AuxTrackDialog(AuxTrackEdit& edit, QWidget* owner);

    void accept() override;

private:
    AuxTrackEdit& edit_;
};

}  // namespace korvane
