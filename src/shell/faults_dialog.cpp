#include "shell/faults_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <iterator>
#include <string>

#include "faults/fault_plan.h"
#include "links/link_control.h"
#include "pages/dialog_input.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "resources/strings.h"
#include "text/number_text.h"

namespace korvane {

namespace {

namespace id = ids::faults;

static_assert(std::size(id::kSwitches) == kFaultKinds &&
              std::size(id::kValueFields) == kFaultKinds && std::size(id::kCounts) == kFaultKinds &&
              std::size(ui::kInvalidFault) == kFaultKinds);

// How often the counts are read again while the dialog is open.
constexpr int kCountsMs = 500;

// The line-ends choices, as the list shows them and readFault reads them.
constexpr const char* kLineEnds[] = {"lf", "cr", "mixed"};

// The second number of a fault that takes two; 0 for the others.
int secondField(FaultKind kind) {
    switch (kind) {
        case FaultKind::delay:
            return id::kDelayJitterEdit;
        case FaultKind::split:
            return id::kSplitGapEdit;
        case FaultKind::stall:
            return id::kStallEveryEdit;
        default:
            return 0;
    }
}

// A jitter or gap left empty is none; a stall needs both its numbers.
bool emptyMeansNone(FaultKind kind) { return kind == FaultKind::delay || kind == FaultKind::split; }

std::string fieldText(const QWidget* dialog, int field) {
    return editText(ui::control<QLineEdit>(dialog, field)).trimmed().toStdString();
}

}  // namespace

FaultsDialog::FaultsDialog(LinkControl& control, std::optional<uint64_t>& lastSeed, QWidget* parent)
    : QDialog(parent), control_(control), lastSeed_(lastSeed) {
    ui::buildDialog(ui::kFaultsDialogTemplate, this);
    setModal(true);
    auto* lineEnds = ui::control<QComboBox>(
        this, id::kValueFields[static_cast<std::size_t>(FaultKind::lineEnds)]);
    for (const char* choice : kLineEnds) lineEnds->addItem(QString::fromLatin1(choice));

    for (std::size_t row = 0; row < kFaultKinds; ++row)
        connect(ui::control<QCheckBox>(this, id::kSwitches[row]), &QCheckBox::toggled, this,
                [this, row] { enableRow(row); });
    const FaultPlan inForce = control_.faults.plan();
    showPlan(inForce);
    const std::optional<uint64_t> seed = inForce.anyOn() ? inForce.seed : lastSeed_;
    if (seed) ui::control<QLineEdit>(this, id::kSeedEdit)->setText(QString::number(*seed));

    connect(ui::control<QPushButton>(this, id::kClearAllButton), &QPushButton::clicked, this,
            &FaultsDialog::clearAll);
    connect(ui::control<QPushButton>(this, ids::kOk), &QPushButton::clicked, this,
            &FaultsDialog::accept);
    connect(ui::control<QPushButton>(this, ids::kCancel), &QPushButton::clicked, this,
            &FaultsDialog::reject);
    auto* counts = new QTimer(this);
    counts->setInterval(kCountsMs);
    connect(counts, &QTimer::timeout, this, &FaultsDialog::refreshCounts);
    counts->start();
    refreshCounts();
}

// The fields show a fault as readFault would read it back, so the numbers
// are those in force, in the classic locale.
void FaultsDialog::showPlan(const FaultPlan& plan) {
    for (std::size_t row = 0; row < kFaultKinds; ++row) {
        const FaultKind kind = kAllFaults[row];
        ui::control<QCheckBox>(this, id::kSwitches[row])->setChecked(plan.on(kind));
        if (kind == FaultKind::lineEnds) {
            const int choice = plan.lineEnds == LineEnds::cr      ? 1
                               : plan.lineEnds == LineEnds::mixed ? 2
                                                                  : 0;
            ui::control<QComboBox>(this, id::kValueFields[row])->setCurrentIndex(choice);
        } else {
            // "split=3:20" shows 3 and 20; "drop=5%" shows 5.
            QString value = QString::fromStdString(faultText(plan, kind)).section(u'=', 1);
            if (value.endsWith(u'%')) value.chop(1);
            ui::control<QLineEdit>(this, id::kValueFields[row])->setText(value.section(u':', 0, 0));
            if (const int second = secondField(kind))
                ui::control<QLineEdit>(this, second)->setText(value.section(u':', 1, 1));
        }
        enableRow(row);
    }
}

// Every fault switched on is read as readFault reads it from the command
// line, so both accept the same numbers; the first refused is named, and
// `plan` is not to be used then.
bool FaultsDialog::readPlan(FaultPlan& plan) {
    plan = FaultPlan{};
    for (std::size_t row = 0; row < kFaultKinds; ++row) {
        if (!ui::control<QCheckBox>(this, id::kSwitches[row])->isChecked()) continue;
        const FaultKind kind = kAllFaults[row];
        std::string written = std::string(faultName(kind)) + "=";
        if (kind == FaultKind::lineEnds) {
            written +=
                ui::control<QComboBox>(this, id::kValueFields[row])->currentText().toStdString();
        } else {
            written += fieldText(this, id::kValueFields[row]);
            // Both parts are always given, so a colon typed into either field
            // makes three and is refused.
            if (const int second = secondField(kind)) {
                const std::string text = fieldText(this, second);
                written += ":" + (text.empty() && emptyMeansNone(kind) ? std::string("0") : text);
            }
        }
        // A frame in one piece is not split: with its switch on, that is a mistake.
        if (!readFault(written, plan).empty() ||
            (kind == FaultKind::split && plan.splitPieces < 2)) {
            showWarning(this, ui::kInvalidFault[row]);
            return false;
        }
    }
    return true;
}

void FaultsDialog::enableRow(std::size_t row) {
    const bool on = ui::control<QCheckBox>(this, id::kSwitches[row])->isChecked();
    ui::control<QWidget>(this, id::kValueFields[row])->setEnabled(on);
    if (const int second = secondField(kAllFaults[row]))
        ui::control<QWidget>(this, second)->setEnabled(on);
}

void FaultsDialog::accept() {
    FaultPlan plan;
    if (!readPlan(plan)) return;
    const std::string seedText = fieldText(this, id::kSeedEdit);
    const std::optional<uint64_t> seed =
        seedText.empty() ? drawFaultSeed() : readWhole<uint64_t>(seedText);
    if (!seed) {
        showWarning(this, ui::kInvalidSeed);
        return;
    }
    plan.seed = *seed;
    lastSeed_ = *seed;
    control_.faults.set(plan);
    emit faultsChanged();
    QDialog::accept();
}

void FaultsDialog::clearAll() {
    control_.faults.clear();
    control_.faults.counts.clear();
    for (const int box : id::kSwitches) ui::control<QCheckBox>(this, box)->setChecked(false);
    refreshCounts();
    emit faultsChanged();
}

void FaultsDialog::refreshCounts() {
    const FaultTally tally = control_.faults.counts.all();
    for (std::size_t row = 0; row < kFaultKinds; ++row)
        ui::control<QLabel>(this, id::kCounts[row])->setText(QString::number(tally[row]));
}

}  // namespace korvane
