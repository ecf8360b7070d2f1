#pragma once

#include <QDialog>
#include <filesystem>

#include "tables/extra_record_table.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvane {

struct SharedState;

// Modal editor of the extraneous records. It edits the live table, so frames
// carry each change at once; OK saves the table to WitsRecords.ini, Cancel (or
// Esc) puts back the table it found when it opened. Files are read from and
// written to `folder` (the working directory when empty).
class DefineRecordsDialog : public QDialog {
    Q_OBJECT
public:
    DefineRecordsDialog(SharedState& shared, QWidget* parent, std::filesystem::path folder = {});

    void accept() override;
    void reject() override;

private:
    void showItems(int recordIndex, int itemIndex, bool refill);
    void chooseRecordType(int line);
    void chooseItem(int line);
    void chooseDefinedRecord();
    void addRecord();
    void removeRecord();
    void fillList();
    void clearSelection();
    void updateAddButton();

    SharedState& shared_;
    std::filesystem::path folder_;
    int recordIndex_ = 0;
    int itemIndex_ = 0;
    int selectedLine_ = -1;
    ExtraRecordTable backupRecords_;

    QComboBox* recordTypes_ = nullptr;
    QComboBox* items_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QListWidget* definedRecords_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
};

}  // namespace korvane
