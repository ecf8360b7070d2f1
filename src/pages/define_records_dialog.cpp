#include "pages/define_records_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <charconv>
#include <optional>
#include <string>

#include "pages/dialog_input.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "state/shared_state.h"
#include "tables/catalogue_file.h"
#include "tables/extra_record_file.h"
#include "tables/extra_record_ops.h"
#include "text/number_text.h"

namespace korvane {

namespace {

namespace id = ids::define_records;

// The value field is read as at most 63 characters, as a 64-byte buffer allows.
constexpr int kValueChars = 63;

constexpr char kNumbersOutOfRangeMessage[] = "Record and item numbers must be 0 to 99!";

// The value last taken from the value field; offered again at the next opening.
float lastValue = 0.0f;

// printf's "%2.2d": at least two digits, a minus sign in front when negative.
std::string twoDigits(int32_t number) {
    const int64_t magnitude = number < 0 ? -int64_t{number} : int64_t{number};
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    std::string text(digits, end);
    if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
    return number < 0 ? "-" + text : text;
}

QString recordLine(const ExtraRecord& record) {
    return QString::fromStdString(twoDigits(record.recordNumber) + " " +
                                  twoDigits(record.itemNumber) +
                                  " Value=" + formatFixed(record.value, 2));
}

// The fields only this thread writes; the link thread's `sent` marks are left
// out, so the copy needs no lock.
ExtraRecordTable definedRecords(const ExtraRecordTable& table) {
    ExtraRecordTable copy;
    copy.extraRecordCount = table.extraRecordCount;
    for (int32_t k = 0; k < table.extraRecordCount && k < kExtraRecordSlots; ++k) {
        const ExtraRecord& record = table.extraRecords[k];
        copy.extraRecords[k] = {record.recordNumber, record.itemNumber, 0, record.value};
    }
    return copy;
}

}  // namespace

DefineRecordsDialog::DefineRecordsDialog(SharedState& shared, QWidget* parent,
                                         std::filesystem::path folder)
    : QDialog(parent), shared_(shared), folder_(std::move(folder)) {
    ui::buildDialog(ui::kDefineRecordsDialogTemplate, this);
    // A modal frame without a system menu: no close box, Esc still cancels.
    setWindowFlags(
        (windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
        ~(Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint));
    recordTypes_ = ui::control<QComboBox>(this, id::kRecordTypeCombo);
    items_ = ui::control<QComboBox>(this, id::kItemCombo);
    valueEdit_ = ui::control<QLineEdit>(this, id::kValueEdit);
    definedRecords_ = ui::control<QListWidget>(this, id::kRecordList);
    addButton_ = ui::control<QPushButton>(this, id::kAddButton);
    removeButton_ = ui::control<QPushButton>(this, id::kRemoveButton);

    // The catalogue is read afresh at every opening, so file edits show at once.
    const ItemCatalogue& catalogue = shared_.catalogue;
    loadCatalogue(shared_.catalogue, folder_);
    for (int r = 0; r < catalogue.nrecords && r < kCatalogueRecords; ++r) {
        recordTypes_->addItem(QString::fromStdString(twoDigits(catalogue.recid[r])));
    }
    showItems(0, 0, true);
    valueEdit_->setText(oneDecimal(lastValue));

    // The file is read outside the lock; the link thread may be building a
    // frame from the table meanwhile. Should the store time out, the table
    // keeps its records and the dialog shows and restores those instead.
    ExtraRecordTable loaded;
    loadExtraRecords(loaded, folder_);
    withData(shared_.dataMutex, kStoreWait, [&] { shared_.extraRecords = loaded; });
    backupRecords_ = definedRecords(shared_.extraRecords);
    fillList();
    clearSelection();
    updateAddButton();

    connect(recordTypes_, &QComboBox::activated, this, &DefineRecordsDialog::chooseRecordType);
    connect(items_, &QComboBox::activated, this, &DefineRecordsDialog::chooseItem);
    connect(definedRecords_, &QListWidget::itemSelectionChanged, this,
            &DefineRecordsDialog::chooseDefinedRecord);
    connect(addButton_, &QPushButton::clicked, this, &DefineRecordsDialog::addRecord);
    connect(removeButton_, &QPushButton::clicked, this, &DefineRecordsDialog::removeRecord);
    connect(ui::control<QPushButton>(this, ids::kOk), &QPushButton::clicked, this,
            &DefineRecordsDialog::accept);
    connect(ui::control<QPushButton>(this, ids::kCancel), &QPushButton::clicked, this,
            &DefineRecordsDialog::reject);
}

void DefineRecordsDialog::showItems(int recordIndex, int itemIndex, bool refill) {
    const ItemCatalogue& catalogue = shared_.catalogue;
    {
        const QSignalBlocker quiet(recordTypes_);
        recordTypes_->setCurrentIndex(recordIndex);
    }
    const QSignalBlocker quiet(items_);
    if (refill) {
        items_->clear();
        if (recordIndex >= 0 && recordIndex < catalogue.nrecords &&
            recordIndex < kCatalogueRecords) {
            const int count = std::min(catalogue.nitems[recordIndex], kCatalogueItems);
            for (int k = 0; k < count; ++k) {
                // The catalogue file is 8-bit text, not necessarily UTF-8.
                items_->addItem(
                    QString::fromStdString(twoDigits(catalogue.itemid[recordIndex][k]) + "-") +
                    QString::fromLatin1(catalogue.text[recordIndex][k]));
            }
        }
    }
    items_->setCurrentIndex(itemIndex);
}

void DefineRecordsDialog::chooseRecordType(int line) {
    if (line < 0) return;
    recordIndex_ = line;
    itemIndex_ = 0;
    showItems(recordIndex_, itemIndex_, true);
}

void DefineRecordsDialog::chooseItem(int line) {
    if (line < 0) return;
    itemIndex_ = line;
    showItems(recordIndex_, itemIndex_, false);
}

void DefineRecordsDialog::chooseDefinedRecord() {
    const int line = definedRecords_->currentRow();
    if (line < 0 || definedRecords_->selectedItems().isEmpty()) return;
    selectedLine_ = line;
    removeButton_->setEnabled(true);
}

void DefineRecordsDialog::addRecord() {
    // An empty catalogue, or a record type without items, gives number 0:
    // the catalogue's unused entries are zero.
    const ItemCatalogue& catalogue = shared_.catalogue;
    const int r = std::clamp(recordIndex_, 0, kCatalogueRecords - 1);
    const int k = std::clamp(itemIndex_, 0, kCatalogueItems - 1);
    // The catalogue may hold any number; only those that fit an item code are sent.
    if (!fitsItemCode(catalogue.recid[r], catalogue.itemid[r][k])) {
        showWarning(this, kNumbersOutOfRangeMessage);
        return;
    }

    // Anything that does not start with a finite number counts as 0.0.
    lastValue = readNumber(valueEdit_, kValueChars).value_or(0.0f);
    valueEdit_->setText(oneDecimal(lastValue));
    const ExtraRecord record{catalogue.recid[r], catalogue.itemid[r][k], 0, lastValue};

    int slot = -1;
    withData(shared_.dataMutex, kStoreWait, [&] {
        slot = appendExtraRecord(shared_.extraRecords, record.recordNumber, record.itemNumber,
                                 record.value);
    });
    if (slot >= 0) definedRecords_->addItem(recordLine(record));
    updateAddButton();
    clearSelection();
}

void DefineRecordsDialog::removeRecord() {
    if (selectedLine_ >= 0 && selectedLine_ < shared_.extraRecords.extraRecordCount) {
        withData(shared_.dataMutex, kStoreWait,
                 [&] { removeExtraRecordAt(shared_.extraRecords, selectedLine_); });
    }
    fillList();
    clearSelection();
    updateAddButton();
}

void DefineRecordsDialog::fillList() {
    const QSignalBlocker quiet(definedRecords_);
    definedRecords_->clear();
    const ExtraRecordTable& table = shared_.extraRecords;
    for (int32_t k = 0; k < table.extraRecordCount && k < kExtraRecordSlots; ++k) {
        definedRecords_->addItem(recordLine(table.extraRecords[k]));
    }
}

void DefineRecordsDialog::clearSelection() {
    {
        const QSignalBlocker quiet(definedRecords_);
        definedRecords_->clearSelection();
        definedRecords_->setCurrentRow(-1);
    }
    selectedLine_ = -1;
    removeButton_->setEnabled(false);
}

void DefineRecordsDialog::updateAddButton() {
    addButton_->setEnabled(shared_.extraRecords.extraRecordCount < kExtraRecordSlots);
}

void DefineRecordsDialog::accept() {
    // A save that fails goes unreported; the table keeps the records this run.
    saveExtraRecords(definedRecords(shared_.extraRecords), folder_);
    QDialog::accept();
}

void DefineRecordsDialog::reject() {
    // Cancel must always put the table back, so this wait has no limit.
    withDataAlways(shared_.dataMutex, [&] { shared_.extraRecords = backupRecords_; });
    QDialog::reject();
}

}  // namespace korvane
