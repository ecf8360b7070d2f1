#include "pages/aux_tracks_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <cstring>

#include "pages/aux_track_dialog.h"
#include "pages/dialog_input.h"
#include "pages/value_slider.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "simulation/slider_mapping.h"
#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "text/number_text.h"

namespace korvane {

namespace {

namespace id = ids::aux_tracks;

constexpr char kTableFullMessage[] = "Auxiliary Tag Buffer is Full!";
constexpr char kNoValue[] = "-.-";
constexpr char kNoTag[] = "----";
constexpr char kDefaultTag[] = "0145";
constexpr float kDefaultMinimum = 0.0f;
constexpr float kDefaultMaximum = 100.0f;

QString tagOf(const AuxTrackTable& table, int slot) {
    return QString::fromLatin1(table.tag[slot],
                               qsizetype(strnlen(table.tag[slot], sizeof table.tag[slot])));
}

// "%s\t%7.1f\t%7.1f": tag, minimum, maximum.
QString lineOf(const AuxTrackTable& table, int slot) {
    return tagOf(table, slot) + '\t' +
           QString::fromStdString(formatFixed(table.minimum[slot], 1, 7)) + '\t' +
           QString::fromStdString(formatFixed(table.maximum[slot], 1, 7));
}

}  // namespace

AuxTracksPage::AuxTracksPage(SharedState& shared, QWidget* parent)
    : QWidget(parent), shared_(shared) {
    ui::buildDialog(ui::kAuxTracksPageTemplate, this);
    fitRightAlignedCaptions(this);
    slider_ = ui::control<QSlider>(this, id::kValueSlider);
    list_ = ui::control<QListWidget>(this, id::kTrackList);
    upperLabel_ = ui::control<QLabel>(this, id::kUpperBoundText);
    lowerLabel_ = ui::control<QLabel>(this, id::kLowerBoundText);
    tagText_ = ui::control<QLabel>(this, id::kTagText);
    valueText_ = ui::control<QLabel>(this, id::kValueText);
    removeButton_ = ui::control<QPushButton>(this, id::kRemoveButton);
    modifyButton_ = ui::control<QPushButton>(this, id::kModifyButton);
    transmitBox_ = ui::control<QCheckBox>(this, id::kTransmitBox);
    setUpValueSlider(slider_);

    // The page keeps the lines in text order itself (insertLine), with a plain
    // case-insensitive comparison rather than the locale's collation.
    list_->setSortingEnabled(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The columns fit the list's width; a list box without one has no horizontal bar.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    refreshTrackList();

    korvane::followSlider(slider_,
                          [this](int position, bool store) { followSlider(position, store); });
    connect(list_, &QListWidget::itemSelectionChanged, this, &AuxTracksPage::followList);
    connect(ui::control<QPushButton>(this, id::kAddButton), &QPushButton::clicked, this,
            &AuxTracksPage::addTrack);
    connect(removeButton_, &QPushButton::clicked, this, &AuxTracksPage::removeTrack);
    connect(modifyButton_, &QPushButton::clicked, this, &AuxTracksPage::modifyTrack);
    connect(transmitBox_, &QCheckBox::clicked, this, &AuxTracksPage::storeTransmit);
}

bool AuxTracksPage::reload() {
    if (selectedSlot_ < 0 || slider_->isSliderDown()) return true;
    return showTrack(selectedSlot_);
}

bool AuxTracksPage::showTrack(int slot) {
    if (slot < 0 || slot >= kAuxTrackSlots) {
        upperLabel_->setText(QString::fromLatin1(kNoValue));
        lowerLabel_->setText(QString::fromLatin1(kNoValue));
        transmitBox_->setChecked(false);
        transmitBox_->setEnabled(false);
        slider_->setValue(kSliderBottom);
        slider_->setEnabled(false);
        valueText_->setText(QString::fromLatin1(kNoValue));
        valueText_->setEnabled(false);
        tagText_->setText(QString::fromLatin1(kNoTag));
        tagText_->setEnabled(false);
        return true;
    }
    // Only this page writes the range and the tag; a control command may
    // write the value from another thread, under the mutex.
    const AuxTrackTable& table = shared_.auxTracks;
    const float minimum = table.minimum[slot];
    const float maximum = table.maximum[slot];
    float value = 0.0f;
    const bool read = withData(shared_.dataMutex, kDataWait, [&] { value = table.value[slot]; });
    lowerLabel_->setText(oneDecimal(minimum));
    upperLabel_->setText(oneDecimal(maximum));
    transmitBox_->setChecked(table.transmit[slot].load() == 1);
    transmitBox_->setEnabled(true);
    scale_ = sliderScale(minimum, maximum);
    offset_ = maximum;
    slider_->setEnabled(true);
    tagText_->setText(tagOf(table, slot));
    tagText_->setEnabled(true);
    if (!read) return false;
    slider_->setValue(sliderPositionOf(valueToPosition(scale_, offset_, value)));
    valueText_->setText(oneDecimal(value));
    valueText_->setEnabled(true);
    return true;
}

void AuxTracksPage::refreshTrackList() {
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
    }
    fillList();
    if (list_->count() == 0) {
        setTrackButtonsEnabled(false);
        showTrack(-1);
        selectedSlot_ = -1;
        return;
    }
    selectLine(list_->item(0));
    showTrack(selectedSlot_);
    setTrackButtonsEnabled(true);
}

void AuxTracksPage::fillList() {
    if (recountAuxTracks(shared_.auxTracks) == 0) return;
    for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
        if (shared_.auxTracks.inUse[slot].load() == 1) insertLine(slot);
    }
}

QListWidgetItem* AuxTracksPage::insertLine(int slot) {
    const QString line = lineOf(shared_.auxTracks, slot);
    int row = 0;
    while (row < list_->count() &&
           QString::compare(list_->item(row)->text(), line, Qt::CaseInsensitive) <= 0) {
        ++row;
    }
    auto* item = new QListWidgetItem(line);
    item->setData(Qt::UserRole, slot);
    const QSignalBlocker blocker(list_);
    list_->insertItem(row, item);
    return item;
}

void AuxTracksPage::selectLine(QListWidgetItem* item) {
    const QSignalBlocker blocker(list_);
    list_->setCurrentItem(item);
    item->setSelected(true);
    selectedSlot_ = item->data(Qt::UserRole).toInt();
}

void AuxTracksPage::setTrackButtonsEnabled(bool enabled) {
    removeButton_->setEnabled(enabled);
    modifyButton_->setEnabled(enabled);
}

void AuxTracksPage::followSlider(int position, bool store) {
    const float value = positionToValue(scale_, offset_, position);
    valueText_->setText(oneDecimal(value));
    // A store that cannot get the mutex in time is dropped; the text keeps the new value.
    if (store && selectedSlot_ >= 0)
        setAuxTrackValue(shared_.auxTracks, shared_.dataMutex, kStoreWait, selectedSlot_, value);
}

void AuxTracksPage::followList() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    selectedSlot_ = selected.isEmpty() ? -1 : selected.first()->data(Qt::UserRole).toInt();
    showTrack(selectedSlot_);
}

void AuxTracksPage::addTrack() {
    if (shared_.auxTracks.auxTrackCount >= kAuxTrackSlots) {
        showWarning(this, kTableFullMessage);
        return;
    }
    AuxTrackEdit edit{kAddTrack, {}, kDefaultMinimum, kDefaultMaximum};
    std::memcpy(edit.tag, kDefaultTag, sizeof kDefaultTag);
    AuxTrackDialog dialog(edit, this);
    if (dialog.exec() != QDialog::Accepted) return;

    const int slot = addAuxTrack(shared_.auxTracks, edit.tag, edit.minimum, edit.maximum);
    if (slot < 0) {
        // The count said there was room, but every slot is taken.
        recountAuxTracks(shared_.auxTracks);
        showWarning(this, kTableFullMessage);
        return;
    }
    selectLine(insertLine(slot));
    showTrack(selectedSlot_);
    setTrackButtonsEnabled(true);
}

void AuxTracksPage::removeTrack() {
    // With the list's selection cleared nothing is shown, and there is nothing to remove.
    if (selectedSlot_ < 0) return;
    removeAuxTrack(shared_.auxTracks, selectedSlot_);
    refreshTrackList();
}

void AuxTracksPage::modifyTrack() {
    if (selectedSlot_ < 0) return;
    const int slot = selectedSlot_;
    const AuxTrackTable& table = shared_.auxTracks;
    AuxTrackEdit edit{kModifyTrack, {}, table.minimum[slot], table.maximum[slot]};
    std::memcpy(edit.tag, table.tag[slot], sizeof table.tag[slot]);
    AuxTrackDialog dialog(edit, this);
    if (dialog.exec() != QDialog::Accepted) return;

    // Dropped when the mutex is not had in time; the line then shows the old range.
    setAuxTrackRange(shared_.auxTracks, shared_.dataMutex, kStoreWait, slot, edit.minimum,
                     edit.maximum);
    for (int row = 0; row < list_->count(); ++row) {
        if (list_->item(row)->data(Qt::UserRole).toInt() != slot) continue;
        const QSignalBlocker blocker(list_);
        delete list_->takeItem(row);
        break;
    }
    selectLine(insertLine(slot));
    showTrack(slot);
}

void AuxTracksPage::storeTransmit(bool checked) {
    if (selectedSlot_ >= 0) setAuxTrackTransmit(shared_.auxTracks, selectedSlot_, checked);
}

}  // namespace korvane
