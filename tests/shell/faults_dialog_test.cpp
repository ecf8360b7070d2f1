#include "shell/faults_dialog.h"

#include "gui_support.h"
#include "links/link_control.h"
#include "resources/control_ids.h"

namespace korvane {
namespace {

namespace id = ids::faults;

// "split=3;20" ticks split and types 3 and 20 into its two fields, "!drop=x"
// types x with the switch off, "seed=7" the seed; then OK. The warnings shown.
std::vector<testing::Message> okWith(FaultsDialog& dialog, const QStringList& fields) {
    const auto type = [&](int field, const QString& text) {
        QWidget* widget = ui::control<QWidget>(&dialog, field);
        widget->setProperty(qobject_cast<QComboBox*>(widget) ? "currentText" : "text", text);
    };
    dialog.show();
    for (const QString& field : fields) {
        const QString name = field.section('=', 0, 0), text = field.section('=', 1);
        if (name == "seed") type(id::kSeedEdit, text);
        for (std::size_t row = 0; row < kFaultKinds; ++row) {
            if (QString(name).remove('!').toStdString() != faultName(kAllFaults[row])) continue;
            ui::control<QCheckBox>(&dialog, id::kSwitches[row])->setChecked(!name.startsWith('!'));
            type(id::kValueFields[row], text.section(';', 0, 0));
            const int seconds[] = {0, 0, id::kDelayJitterEdit, id::kSplitGapEdit, 0, 0, 0,
                                   0, 0, id::kStallEveryEdit};
            if (text.contains(';')) type(seconds[row], text.section(';', 1));
        }
    }
    testing::ModalDriver modals;
    QTest::mouseClick(ui::control<QPushButton>(&dialog, ids::kOk), Qt::LeftButton);
    return modals.messages();
}

std::string described(const FaultPlan& plan) {
    std::string text;
    for (const std::string& fault : faultTexts(plan)) text += fault + " ";
    return text + "seed=" + std::to_string(plan.seed);
}

// Each case opens on reorder 1% with seed 9 in force, which a refusal keeps.
TEST(FaultsDialogTest, OkPutsTheWholePlanInForceOrRefusesAndChangesNothing) {
    const char* badSplit = "Invalid Split! (2 to 1000 pieces, whole milliseconds)";
    const struct {
        const char* legend;
        QStringList fields;
        std::string outcome;  // the plan put in force, or the warning
    } cases[] = {
        {"every kind of number",
         {"delay= 100 ;", "split=3;20", "line-ends=mixed", "stall=2;30.5", "disconnect=60",
          "!reorder=1", "seed=7"},
         "delay=100 split=3:20 line-ends=mixed stall=2:30.5 disconnect=60 seed=7"},
        {"numbers of a fault off",
         {"drop=0.5%", "!corrupt=x", "seed=42"},
         "drop=0.5% reorder=1% seed=42"},
        {"share above 100", {"drop=100.5"}, "Invalid Drop Percentage! (0 to 100)"},
        {"one piece", {"split=1"}, badSplit},
        {"both parts in one field", {"split=3:20"}, badSplit},
        {"stall as long as period", {"stall=5;5"}, "Invalid Stall! (seconds, shorter than every)"},
        {"good fault, bad seed", {"drop=5", "seed=-1"}, "Invalid Seed! (a whole number, or empty)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        LinkControl control;
        control.faults.set(FaultPlan{.reorder = 1, .seed = 9});
        std::optional<uint64_t> seed;
        FaultsDialog dialog(control, seed);
        const auto warnings = okWith(dialog, c.fields);
        const bool refused = !warnings.empty();
        const std::string inForce = described(control.faults.plan());
        EXPECT_EQ(refused ? warnings[0].text.toStdString() : inForce, c.outcome);
        EXPECT_EQ(inForce, refused ? "reorder=1% seed=9" : c.outcome);
        EXPECT_EQ(dialog.isVisible(), refused);
    }
}

// Opening shows the plan in force: OK without a change puts it back. Clear All
// switches all off and zeroes the counts; a seed drawn after it shows next time.
TEST(FaultsDialogTest, OpensOnThePlanInForceAndClearAllLeavesNothingOn) {
    LinkControl control;
    std::optional<uint64_t> seed;
    FaultsDialog first(control, seed);
    testing::expectTextsFit(&first);
    okWith(first, {"drop=50", "duplicate=12.25", "delay=5;3", "bad-value=100", "line-ends=cr",
                   "stall=0.5;10", "seed=123456"});
    const FaultPlan plan = control.faults.plan();
    FaultsDialog again(control, seed);
    EXPECT_TRUE(okWith(again, {}).empty());
    EXPECT_EQ(control.faults.plan(), plan);
    FaultsDialog second(control, seed);
    auto* drops = ui::control<QLabel>(&second, id::kCounts[0]);
    int changes = 0;
    QObject::connect(&second, &FaultsDialog::faultsChanged, [&] { ++changes; });
    control.faults.counts.add(FaultKind::drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return drops->text() == "1"; }, 2000)) << "live counts";
    ui::control<QPushButton>(&second, id::kClearAllButton)->click();
    EXPECT_FALSE(control.faults.on());
    EXPECT_EQ(control.faults.counts.all(), FaultTally{});
    EXPECT_EQ(drops->text(), "0");
    EXPECT_EQ(changes, 1) << "the window's title follows";
    okWith(second, {"seed="});
    EXPECT_FALSE(control.faults.on()) << "the switches were unticked";
    ASSERT_NE(seed, std::nullopt);
    FaultsDialog third(control, seed);
    EXPECT_EQ(ui::control<QLineEdit>(&third, id::kSeedEdit)->text(), QString::number(*seed));
}

}  // namespace
}  // namespace korvane
