#include "pages/options_page.h"

#include <QCheckBox>
#include <QPushButton>
#include <iterator>

#include "pages/define_records_dialog.h"
#include "pages/edit_depths_dialog.h"
#include "pages/page_data.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

namespace id = ids::options;
static_assert(std::size(id::kDropPumpSpmBoxes) == kPumpCount);
static_assert(std::size(id::kSendTotalStrokesBoxes) == kPumpCount);

}  // namespace

OptionsPage::OptionsPage(SharedState& shared, QWidget* parent) : QWidget(parent), shared_(shared) {
    ui::buildDialog(ui::kOptionsPageTemplate, this);
    SimState& sim = shared_.sim;
    load(true);

    connectToggle(id::kDropHoleDepthBox, sim.dropHoleDepth);
    connectToggle(id::kDropBitDepthBox, sim.dropBitDepth);
    for (int n = 0; n < kPumpCount; ++n) {
        connectToggle(id::kDropPumpSpmBoxes[n], sim.dropPumpSpm[n]);
        connectToggle(id::kSendTotalStrokesBoxes[n], sim.sendTotalStrokes[n]);
    }
    if (auto* box = ui::control<QCheckBox>(this, id::kTransmitExtraRecordsBox)) {
        // A single atomic flag: the frame builder sees either value whole.
        connect(box, &QCheckBox::clicked, this,
                [this](bool on) { shared_.sim.transmitExtraRecords.store(on ? 1 : 0); });
    }
    if (auto* button = ui::control<QPushButton>(this, id::kSetDepthsButton)) {
        connect(button, &QPushButton::clicked, this, &OptionsPage::setDepths);
    }
    if (auto* button = ui::control<QPushButton>(this, id::kZeroStrokesButton)) {
        connect(button, &QPushButton::clicked, this, &OptionsPage::zeroStrokes);
    }
    if (auto* button = ui::control<QPushButton>(this, id::kDefineRecordsButton)) {
        connect(button, &QPushButton::clicked, this, &OptionsPage::defineRecords);
    }
}

bool OptionsPage::reload() { return load(false); }

bool OptionsPage::load(bool fresh) {
    SimState sim;
    if (!readPageData(shared_.dataMutex, fresh, [&] {
            sim.dropHoleDepth = shared_.sim.dropHoleDepth;
            sim.dropBitDepth = shared_.sim.dropBitDepth;
            for (int n = 0; n < kPumpCount; ++n) {
                sim.pumpCirculating[n] = shared_.sim.pumpCirculating[n];
                sim.dropPumpSpm[n] = shared_.sim.dropPumpSpm[n];
                sim.sendTotalStrokes[n] = shared_.sim.sendTotalStrokes[n];
            }
        }))
        return false;
    auto check = [this](int id, bool on) {
        if (auto* box = ui::control<QCheckBox>(this, id)) box->setChecked(on);
    };
    check(id::kDropHoleDepthBox, sim.dropHoleDepth == 1);
    check(id::kDropBitDepthBox, sim.dropBitDepth == 1);
    for (int n = 0; n < kPumpCount; ++n) {
        // A pump that does not circulate sends no rate item to drop.
        const bool circulating = sim.pumpCirculating[n] != 0;
        check(id::kDropPumpSpmBoxes[n], circulating && sim.dropPumpSpm[n] == 1);
        if (auto* box = ui::control<QCheckBox>(this, id::kDropPumpSpmBoxes[n]))
            box->setEnabled(circulating);
        check(id::kSendTotalStrokesBoxes[n], sim.sendTotalStrokes[n] == 1);
    }
    check(id::kTransmitExtraRecordsBox, shared_.sim.transmitExtraRecords.load() == 1);
    return true;
}

void OptionsPage::connectToggle(int id, int32_t& field) {
    auto* box = ui::control<QCheckBox>(this, id);
    if (!box) return;
    // A store that cannot get the mutex is dropped; the box keeps the
    // operator's choice and the next page shows the stored value.
    connect(box, &QCheckBox::clicked, this, [this, &field](bool on) {
        withData(shared_.dataMutex, kDataWait, [&] { field = on ? 1 : 0; });
    });
}

void OptionsPage::setDepths() {
    // The clock advances the depths, so they are read under the mutex too.
    DepthPair depths;
    const bool read = withData(shared_.dataMutex, kDataWait, [&] {
        depths = {shared_.sim.holeDepth, shared_.sim.bitDepth};
    });
    if (!read) return;

    EditDepthsDialog dialog(depths, this);
    if (dialog.exec() == QDialog::Accepted) {
        // Whatever the clock added while the dialog was open is replaced.
        withData(shared_.dataMutex, kStoreWait, [&] {
            shared_.sim.holeDepth = depths.holeDepth;
            shared_.sim.bitDepth = depths.bitDepth;
        });
    }
}

void OptionsPage::zeroStrokes() {
    withData(shared_.dataMutex, kDataWait, [&] {
        for (double& strokes : shared_.sim.totalStrokes) strokes = 0.0;
    });
}

void OptionsPage::defineRecords() {
    DefineRecordsDialog dialog(shared_, this);
    dialog.exec();
}

}  // namespace korvane
