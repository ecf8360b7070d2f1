#include "pages/drilling_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <memory>
#include <string>

#include "gui_support.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"

namespace korvane {
namespace {

namespace id = ids::drilling;

using testing::clickIndicator;
using testing::hasItem;
using testing::nextFrame;

class DrillingPageTest : public ::testing::Test {
protected:
    void open() {
        page = std::make_unique<DrillingPage>(shared, nullptr);
        page->show();
    }
    template <typename T>
    T* get(int id) {
        return ui::control<T>(page.get(), id);
    }
    QString text(int id) { return get<QLabel>(id)->text(); }
    void typeRop(const QString& keys) {
        QLineEdit* edit = get<QComboBox>(id::kRopCombo)->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, keys);
    }

    SharedState shared;
    std::unique_ptr<DrillingPage> page;
};

TEST_F(DrillingPageTest, FreshStartShowsTheDefaults) {
    open();
    QComboBox* rop = get<QComboBox>(id::kRopCombo);
    EXPECT_EQ(testing::lines(rop),
              (QStringList{"0.00", "0.10", "0.25", "0.50", "0.75", "1.00", "2.00"}));
    EXPECT_EQ(rop->currentText(), QStringLiteral("0.10"));
    for (int n = 0; n < kPumpCount; ++n) {
        SCOPED_TRACE(n);
        QComboBox* pump = get<QComboBox>(id::kPumpRateCombos[n]);
        ASSERT_EQ(pump->count(), kListSize);
        EXPECT_EQ(pump->itemText(6), QStringLiteral("0.00 ps/min"));
        EXPECT_EQ(pump->currentText(), QStringLiteral("90.00 ps/min"));
        EXPECT_TRUE(pump->isEnabled());
        EXPECT_TRUE(get<QCheckBox>(id::kCirculatePumpBoxes[n])->isChecked());
        EXPECT_EQ(text(id::kPumpStrokesTexts[n]), QStringLiteral("0")) << "at once";
    }
    EXPECT_EQ(text(id::kHoleDepthText), QStringLiteral("0.00")) << "no placeholder";
}

TEST_F(DrillingPageTest, TypedRateIsReadOnEveryKeystroke) {
    open();
    typeRop("abc");
    EXPECT_EQ(shared.sim.ropChoice, 1) << "text that is no number changes nothing";
    EXPECT_FLOAT_EQ(shared.sim.rateOfPenetration(), 0.10f);

    typeRop("5");
    EXPECT_EQ(shared.sim.ropChoice, -1);
    EXPECT_FLOAT_EQ(shared.sim.rateOfPenetration(), 5.0f);

    typeRop("0.35 min");
    EXPECT_FLOAT_EQ(shared.sim.rateOfPenetration(), 0.35f) << "trailing text is ignored";

    for (const char* endless : {"nan", "inf", "-infinity"}) {
        typeRop(endless);
        EXPECT_FLOAT_EQ(shared.sim.rateOfPenetration(), 0.35f) << endless << " is no rate";
    }

    // Leaving the box with text that matches a line keeps the typed rate.
    typeRop("0.50");
    get<QComboBox>(id::kPumpRateCombos[0])->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(shared.sim.ropChoice, -1);
    EXPECT_FLOAT_EQ(shared.sim.rateOfPenetration(), 0.50f);

    // Picking a line, even the one still current in the list, ends the typed rate.
    QComboBox* rop = get<QComboBox>(id::kRopCombo);
    rop->setFocus();
    QTest::keyClick(rop, Qt::Key_Down);
    EXPECT_EQ(shared.sim.ropChoice, 2);
    EXPECT_EQ(rop->currentText(), QStringLiteral("0.25"));
}

TEST_F(DrillingPageTest, TypedRateLeavesAnEmptyBoxAfterATabRoundTrip) {
    open();
    typeRop("5");
    page.reset();
    open();
    QComboBox* rop = get<QComboBox>(id::kRopCombo);
    EXPECT_EQ(rop->currentIndex(), -1);
    EXPECT_EQ(rop->currentText(), QString());
    EXPECT_FLOAT_EQ(shared.sim.rateOfPenetration(), 5.0f) << "still in force";
}

TEST_F(DrillingPageTest, PumpRateChoiceIsStored) {
    open();
    QComboBox* pump = get<QComboBox>(id::kPumpRateCombos[2]);
    pump->setFocus();
    QTest::keyClick(pump, Qt::Key_Down);
    QTest::keyClick(pump, Qt::Key_Down);
    EXPECT_EQ(shared.sim.pumpSpmChoice[2], 2);
    EXPECT_EQ(shared.sim.pumpSpmChoice[0], 0);
    page.reset();
    open();
    EXPECT_EQ(get<QComboBox>(id::kPumpRateCombos[2])->currentText(),
              QStringLiteral("70.00 ps/min"));
}

TEST_F(DrillingPageTest, StoppedPumpGreysItsBoxAndLeavesTheOutput) {
    open();
    ASSERT_TRUE(hasItem(nextFrame(shared), "0124"));
    clickIndicator(get<QCheckBox>(id::kCirculatePumpBoxes[1]));
    EXPECT_EQ(shared.sim.pumpCirculating[1], 0);
    EXPECT_FALSE(get<QComboBox>(id::kPumpRateCombos[1])->isEnabled());
    EXPECT_TRUE(get<QComboBox>(id::kPumpRateCombos[0])->isEnabled());
    const std::string frame = nextFrame(shared);
    EXPECT_FALSE(hasItem(frame, "0124"));
    EXPECT_TRUE(hasItem(frame, "0123"));
    EXPECT_TRUE(hasItem(frame, "0125"));

    // A new page shows the stored state.
    page.reset();
    open();
    EXPECT_FALSE(get<QCheckBox>(id::kCirculatePumpBoxes[1])->isChecked());
    EXPECT_FALSE(get<QComboBox>(id::kPumpRateCombos[1])->isEnabled());
    clickIndicator(get<QCheckBox>(id::kCirculatePumpBoxes[1]));
    EXPECT_EQ(shared.sim.pumpCirculating[1], 1);
    EXPECT_TRUE(get<QComboBox>(id::kPumpRateCombos[1])->isEnabled());
}

TEST_F(DrillingPageTest, RateBoxFollowsTheStoredFlagWhenTheMutexIsBusy) {
    open();
    {
        testing::HeldMutex busy(shared.dataMutex);
        clickIndicator(get<QCheckBox>(id::kCirculatePumpBoxes[0]));  // gives up after 500 ms
    }
    EXPECT_EQ(shared.sim.pumpCirculating[0], 1) << "not stored";
    EXPECT_FALSE(get<QCheckBox>(id::kCirculatePumpBoxes[0])->isChecked())
        << "shows the operator's click";
    EXPECT_TRUE(get<QComboBox>(id::kPumpRateCombos[0])->isEnabled()) << "follows the stored flag";
}

TEST_F(DrillingPageTest, RefreshShowsDepthsGasAndWholeStrokes) {
    struct Case {
        const char* legend;
        double strokes;
        const char* shown;
    };
    const Case cases[] = {
        {"none yet", 0.0, "0"},
        {"fraction is cut, not rounded", 1234.9, "1234"},
        {"just below one", 0.999, "0"},
        {"largest unsigned 32-bit count", 4294967295.5, "4294967295"},
        {"beyond it stays at the largest", 1e12, "4294967295"},
    };
    open();
    shared.sim.holeDepth = 1500.256f;
    shared.sim.bitDepth = 2.5f;
    shared.sim.receivedGas = 42.126f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared.sim.totalStrokes[0] = c.strokes;
        page->refresh();
        EXPECT_EQ(text(id::kPumpStrokesTexts[0]), QString::fromLatin1(c.shown));
    }
    EXPECT_EQ(text(id::kHoleDepthText), QStringLiteral("1500.26"));
    EXPECT_EQ(text(id::kBitDepthText), QStringLiteral("2.50"));
    EXPECT_EQ(text(id::kGasText), QStringLiteral("42.13"));
}

TEST_F(DrillingPageTest, DisplaysRefreshOnTheirOwnEverySecond) {
    open();
    shared.sim.totalStrokes[2] = 90.4;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return text(id::kPumpStrokesTexts[2]) == QStringLiteral("90"); }, 2500));
    EXPECT_EQ(text(id::kGasText), QStringLiteral("0.00"));
}

}  // namespace
}  // namespace korvane
