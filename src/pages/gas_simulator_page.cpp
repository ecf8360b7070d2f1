#include "pages/gas_simulator_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "pages/dialog_input.h"
#include "pages/gas_setup_dialog.h"
#include "pages/page_data.h"
#include "pages/value_slider.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "simulation/slider_mapping.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

namespace id = ids::gas_simulator;

}  // namespace

GasSimulatorPage::GasSimulatorPage(SharedState& shared, QWidget* parent)
    : QWidget(parent), shared_(shared) {
    ui::buildDialog(ui::kGasSimulatorPageTemplate, this);
    fitRightAlignedCaptions(this);
    slider_ = ui::control<QSlider>(this, id::kGasSlider);
    upperLabel_ = ui::control<QLabel>(this, id::kUpperBoundText);
    lowerLabel_ = ui::control<QLabel>(this, id::kLowerBoundText);
    outputLabel_ = ui::control<QLabel>(this, id::kOutputText);
    setUpValueSlider(slider_);

    sendGas_ = ui::control<QCheckBox>(this, id::kSendGasBox);
    load(true);
    connect(sendGas_, &QCheckBox::clicked, this, &GasSimulatorPage::storeSendGas);
    connect(ui::control<QPushButton>(this, id::kSetupButton), &QPushButton::clicked, this,
            &GasSimulatorPage::runSetup);
    korvane::followSlider(slider_,
                          [this](int position, bool store) { followSlider(position, store); });
}

bool GasSimulatorPage::reload() { return load(false); }

bool GasSimulatorPage::load(bool fresh) {
    float maximum = 0.0f;
    float minimum = 0.0f;
    float output = 0.0f;
    int32_t send = 0;
    const auto read = [&] {
        const SimState& sim = shared_.sim;
        maximum = sim.gasMaximum;
        minimum = sim.gasMinimum;
        output = sim.gasOutput;
        send = sim.sendSimulatedGas;
    };
    if (!readPageData(shared_.dataMutex, fresh, read)) return false;
    if (!slider_->isSliderDown()) showGas(maximum, minimum, output);
    sendGas_->setChecked(send == 1);
    return true;
}

void GasSimulatorPage::showGas(float maximum, float minimum, float output) {
    upperLabel_->setText(oneDecimal(maximum));
    lowerLabel_->setText(oneDecimal(minimum));
    outputLabel_->setText(oneDecimal(output));
    scale_ = sliderScale(minimum, maximum);
    offset_ = maximum;
    slider_->setValue(sliderPositionOf(valueToPosition(scale_, offset_, output)));
}

void GasSimulatorPage::followSlider(int position, bool store) {
    const float value = positionToValue(scale_, offset_, position);
    outputLabel_->setText(oneDecimal(value));
    if (!store) return;
    // A store that cannot get the mutex is dropped; the display keeps the new value.
    withData(shared_.dataMutex, kStoreWait, [&] { shared_.sim.gasOutput = value; });
}

void GasSimulatorPage::runSetup() {
    // Only this page writes the bounds, so they are read here without the lock.
    SimState& sim = shared_.sim;
    GasBounds bounds{sim.gasMinimum, sim.gasMaximum};
    GasSetupDialog dialog(bounds, this);
    if (dialog.exec() != QDialog::Accepted) return;
    float maximum = 0.0f;
    float minimum = 0.0f;
    float output = 0.0f;
    const bool stored = withData(shared_.dataMutex, kStoreWait, [&] {
        sim.gasMaximum = bounds.upper;
        sim.gasMinimum = bounds.lower;
        // Upper bound first, so with reversed bounds the lower one wins.
        if (sim.gasMaximum < sim.gasOutput) sim.gasOutput = sim.gasMaximum;
        if (sim.gasOutput < sim.gasMinimum) sim.gasOutput = sim.gasMinimum;
        maximum = sim.gasMaximum;
        minimum = sim.gasMinimum;
        output = sim.gasOutput;
    });
    if (!stored) return;
    showGas(maximum, minimum, output);
}

void GasSimulatorPage::storeSendGas(bool checked) {
    withData(shared_.dataMutex, kDataWait, [&] { shared_.sim.sendSimulatedGas = checked ? 1 : 0; });
}

}  // namespace korvane
