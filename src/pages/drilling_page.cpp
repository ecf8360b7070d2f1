#include "pages/drilling_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "pages/page_data.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "state/shared_state.h"
#include "text/number_text.h"

namespace korvane {

namespace {

namespace id = ids::drilling;
static_assert(std::size(id::kPumpRateCombos) == kPumpCount);
static_assert(std::size(id::kPumpStrokesTexts) == kPumpCount);
static_assert(std::size(id::kCirculatePumpBoxes) == kPumpCount);

constexpr int kRefreshMs = 1000;

// Typed text is read from at most this many characters (terminator excluded).
constexpr int kMaxTypedText = 259;

QString fixed2(double value) { return QString::fromStdString(formatFixed(value, 2, 4)); }

// Stroke totals are shown whole, cut toward zero; the count never goes below
// zero and stays inside what an unsigned 32-bit display can hold.
QString wholeStrokes(double strokes) {
    constexpr double kMost = std::numeric_limits<uint32_t>::max();
    const double whole = std::trunc(strokes);
    const double shown = !(whole > 0.0) ? 0.0 : (whole > kMost ? kMost : whole);
    return QString::number(static_cast<uint32_t>(shown));
}

}  // namespace

DrillingPage::DrillingPage(SharedState& shared, QWidget* parent)
    : QWidget(parent), shared_(shared) {
    ui::buildDialog(ui::kDrillingPageTemplate, this);

    // The displays are looked up once; the refresh runs every second.
    holeDepthText_ = ui::control<QLabel>(this, id::kHoleDepthText);
    bitDepthText_ = ui::control<QLabel>(this, id::kBitDepthText);
    gasText_ = ui::control<QLabel>(this, id::kGasText);
    for (int n = 0; n < kPumpCount; ++n) {
        strokesTexts_[n] = ui::control<QLabel>(this, id::kPumpStrokesTexts[n]);
    }

    ropBox_ = ui::control<QComboBox>(this, id::kRopCombo);
    for (float rop : kRopList) ropBox_->addItem(fixed2(rop));
    for (int n = 0; n < kPumpCount; ++n) {
        QComboBox* box = ui::control<QComboBox>(this, id::kPumpRateCombos[n]);
        pumpBoxes_[n] = box;
        for (float spm : kSpmList) {
            box->addItem(fixed2(spm) + QStringLiteral(" ps/min"));
        }
        circulateBoxes_[n] = ui::control<QCheckBox>(this, id::kCirculatePumpBoxes[n]);
    }
    load(true);

    // Connected only now, so that filling the boxes stores nothing. Only the
    // operator's own actions count: a picked line (even the one already
    // current, after a typed rate) and text typed into the box.
    connect(ropBox_, &QComboBox::activated, this, &DrillingPage::storeRopChoice);
    connect(ropBox_->lineEdit(), &QLineEdit::textEdited, this, &DrillingPage::storeTypedRop);
    for (int n = 0; n < kPumpCount; ++n) {
        connect(pumpBoxes_[n], &QComboBox::activated, this,
                [this, n](int index) { storePumpChoice(n, index); });
        connect(circulateBoxes_[n], &QCheckBox::clicked, this,
                [this, n](bool checked) { storeCirculating(n, checked); });
    }

    // The displays show the values at once, not the template's placeholders
    // for up to a period after a tab switch.
    refresh();
    auto* refreshTimer = new QTimer(this);
    refreshTimer->setInterval(kRefreshMs);
    connect(refreshTimer, &QTimer::timeout, this, &DrillingPage::refresh);
    refreshTimer->start();
}

bool DrillingPage::reload() {
    if (!load(false)) return false;
    refresh();
    return true;
}

bool DrillingPage::load(bool fresh) {
    int32_t ropChoice = 0;
    float ropTyped = 0.0f;
    std::array<int32_t, kPumpCount> spmChoice{};
    std::array<int32_t, kPumpCount> circulating{};
    const auto read = [&] {
        const SimState& sim = shared_.sim;
        ropChoice = sim.ropChoice;
        ropTyped = sim.ropTyped;
        for (int n = 0; n < kPumpCount; ++n) {
            spmChoice[n] = sim.pumpSpmChoice[n];
            circulating[n] = sim.pumpCirculating[n];
        }
    };
    if (!readPageData(shared_.dataMutex, fresh, read)) return false;

    if (ropChoice >= 0) {
        if (ropBox_->currentIndex() != ropChoice) ropBox_->setCurrentIndex(ropChoice);
    } else if (fresh) {
        // -1: a typed rate is in force; the box then shows no line and no text.
        ropBox_->setCurrentIndex(-1);
        ropBox_->setEditText(QString());
    } else if (scanFloat(ropBox_->currentText().toStdString()) != ropTyped) {
        // Text the operator typed that reads as the rate in force stays as typed.
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, ropTyped);
        ropBox_->setCurrentIndex(-1);
        ropBox_->setEditText(QString::fromLatin1(text, written.ptr - text));
    }
    for (int n = 0; n < kPumpCount; ++n) {
        if (pumpBoxes_[n]->currentIndex() != spmChoice[n])
            pumpBoxes_[n]->setCurrentIndex(spmChoice[n]);
        circulateBoxes_[n]->setChecked(circulating[n] == 1);
        pumpBoxes_[n]->setEnabled(circulating[n] == 1);
    }
    return true;
}

void DrillingPage::storeRopChoice(int index) {
    if (index < 0 || index >= kListSize) return;
    withData(shared_.dataMutex, kDataWait, [&] { shared_.sim.ropChoice = index; });
}

void DrillingPage::storeTypedRop(const QString& text) {
    // Runs on every keystroke: while "0.35" is typed the rate passes through
    // 0, 0, 0.3 and 0.35. Text that is not a number changes nothing, and
    // neither do "nan" and "inf": the clock would carry them into the depths
    // for the rest of the run.
    const std::optional<float> rop = scanFloat(text.left(kMaxTypedText).toStdString());
    if (!rop || !std::isfinite(*rop)) return;
    withData(shared_.dataMutex, kDataWait, [&] {
        shared_.sim.ropTyped = *rop;
        shared_.sim.ropChoice = -1;
    });
}

void DrillingPage::storePumpChoice(int pump, int index) {
    if (index < 0 || index >= kListSize) return;
    withData(shared_.dataMutex, kDataWait, [&] { shared_.sim.pumpSpmChoice[pump] = index; });
}

void DrillingPage::storeCirculating(int pump, bool checked) {
    withData(shared_.dataMutex, kDataWait,
             [&] { shared_.sim.pumpCirculating[pump] = checked ? 1 : 0; });
    // The rate box follows what was stored, which a timed-out wait left as it was.
    pumpBoxes_[pump]->setEnabled(shared_.sim.pumpCirculating[pump] == 1);
}

void DrillingPage::refresh() {
    float holeDepth = 0.0f;
    float bitDepth = 0.0f;
    float gas = 0.0f;
    double strokes[kPumpCount] = {};
    const bool read = withData(shared_.dataMutex, kDataWait, [&] {
        holeDepth = shared_.sim.holeDepth;
        bitDepth = shared_.sim.bitDepth;
        gas = shared_.sim.receivedGas.load();
        for (int n = 0; n < kPumpCount; ++n) strokes[n] = shared_.sim.totalStrokes[n];
    });
    if (!read) return;
    holeDepthText_->setText(fixed2(holeDepth));
    bitDepthText_->setText(fixed2(bitDepth));
    gasText_->setText(fixed2(gas));
    for (int n = 0; n < kPumpCount; ++n) strokesTexts_[n]->setText(wholeStrokes(strokes[n]));
}

}  // namespace korvane
