// Drives the Gas Simulator page and its setup dialog through their widgets and
// checks both the display and the 9003 item of the next frame.
#include "pages/gas_simulator_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <clocale>
#include <memory>

#include "gui_support.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "text/number_text.h"

namespace korvane {
namespace {

namespace id = ids::gas_simulator;
namespace setup_id = ids::gas_setup;

using testing::hasLine;
using testing::nextFrame;
using testing::typeInto;
using ui::control;

class GasSimulatorPageTest : public testing::PageTest<GasSimulatorPage> {
protected:
    QSlider* slider() const { return control<QSlider>(page.get(), id::kGasSlider); }

    // Opens Setup, types the bounds and presses OK.
    void setBounds(const QString& upper, const QString& lower) {
        modals.onNext([&](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Gas Simulator Setup");
            typeInto(control<QLineEdit>(dialog, setup_id::kMaximumEdit), upper);
            typeInto(control<QLineEdit>(dialog, setup_id::kMinimumEdit), lower);
            QTest::mouseClick(control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
        });
        QTest::mouseClick(control<QPushButton>(page.get(), id::kSetupButton), Qt::LeftButton);
    }
};

TEST_F(GasSimulatorPageTest, FreshPageShowsDefaultsAndSendsNothing) {
    EXPECT_EQ(text(id::kUpperBoundText), "100.0");
    EXPECT_EQ(text(id::kLowerBoundText), "0.0");
    EXPECT_EQ(text(id::kOutputText), "100.0");
    EXPECT_EQ(slider()->value(), 0);
    EXPECT_TRUE(slider()->invertedAppearance()) << "position 0 belongs at the top";
    EXPECT_FALSE(control<QCheckBox>(page.get(), id::kSendGasBox)->isChecked());
    EXPECT_EQ(nextFrame(*shared).find("9003"), std::string::npos);
}

TEST_F(GasSimulatorPageTest, SendSimulatedGasPutsItemIntoTheFrame) {
    auto* box = control<QCheckBox>(page.get(), id::kSendGasBox);
    testing::clickIndicator(box);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(shared->sim.sendSimulatedGas, 1);
    EXPECT_TRUE(hasLine(nextFrame(*shared), "9003100.00"));

    testing::clickIndicator(box);
    EXPECT_EQ(shared->sim.sendSimulatedGas, 0);
    EXPECT_EQ(nextFrame(*shared).find("9003"), std::string::npos);

    // The box shows the stored choice when the page is made again.
    shared->sim.sendSimulatedGas = 1;
    open();
    EXPECT_TRUE(control<QCheckBox>(page.get(), id::kSendGasBox)->isChecked());
}

TEST_F(GasSimulatorPageTest, KeyboardMovesStoreAtOnce) {
    shared->sim.sendSimulatedGas = 1;
    struct Case {
        const char* legend;
        Qt::Key key;
        int position;
        const char* shown;
    };
    // The slider starts at the top (position 0, value 100).
    const Case cases[] = {
        {"one line down", Qt::Key_Down, 1, "99.0"},
        {"one page down", Qt::Key_PageDown, 11, "89.0"},
        {"right is a line down", Qt::Key_Right, 12, "88.0"},
        {"left is a line up", Qt::Key_Left, 11, "89.0"},
        {"page up", Qt::Key_PageUp, 1, "99.0"},
        {"end goes to the bottom", Qt::Key_End, 100, "0.0"},
        {"up from the bottom", Qt::Key_Up, 99, "1.0"},
        {"home goes to the top", Qt::Key_Home, 0, "100.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        QTest::keyClick(slider(), c.key);
        EXPECT_EQ(slider()->value(), c.position);
        EXPECT_EQ(text(id::kOutputText), c.shown);
        EXPECT_TRUE(hasLine(nextFrame(*shared), "9003" + std::string(c.shown) + "0"));
    }
}

TEST_F(GasSimulatorPageTest, DraggingShowsAndReleasingStores) {
    QSlider* s = slider();
    const QPoint grab = testing::thumbRect(s).center();
    testing::sendMouse(s, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    ASSERT_TRUE(s->isSliderDown());
    const QPoint lower = grab + QPoint(0, s->height() / 2);
    testing::sendMouse(s, QEvent::MouseMove, lower, Qt::LeftButton);
    const int dragged = s->sliderPosition();
    ASSERT_GT(dragged, 0);
    const QString shown = QString::number(100 - dragged) + ".0";
    EXPECT_EQ(text(id::kOutputText), shown);
    EXPECT_FLOAT_EQ(shared->sim.gasOutput, 100.0f) << "not stored while dragging";

    testing::sendMouse(s, QEvent::MouseButtonRelease, lower, Qt::NoButton);
    EXPECT_EQ(text(id::kOutputText), shown);
    EXPECT_FLOAT_EQ(shared->sim.gasOutput, 100.0f - dragged);
}

TEST_F(GasSimulatorPageTest, ClickOnTheChannelStores) {
    QSlider* s = slider();
    const QRect thumb = testing::thumbRect(s);
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(thumb.center().x(), s->height() - 3));
    EXPECT_GT(s->value(), 0);
    EXPECT_FLOAT_EQ(shared->sim.gasOutput, 100.0f - s->value());
    EXPECT_EQ(text(id::kOutputText), QString::number(100 - s->value()) + ".0");
}

TEST_F(GasSimulatorPageTest, NewBoundsClampTheOutput) {
    struct Case {
        const char* legend;
        const char* upper;
        const char* lower;
        const char* shownUpper;
        const char* shownLower;
        float output;
        int position;
    };
    // Each case starts from the fresh output of 100.
    const Case cases[] = {
        {"narrower range pulls the output down to the upper bound", "50", "10", "50.0", "10.0",
         50.0f, 0},
        // 40 / 0.4f is just under 100 and is truncated.
        {"reversed bounds: the lower bound wins", "10", "50", "10.0", "50.0", 50.0f, 99},
        {"equal bounds put the slider at the top", "20", "20", "20.0", "20.0", 20.0f, 0},
        {"a wider range keeps the output", "  200xyz", "-5", "200.0", "-5.0", 100.0f, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared = std::make_unique<SharedState>();
        shared->sim.sendSimulatedGas = 1;
        open();
        setBounds(c.upper, c.lower);
        EXPECT_EQ(text(id::kUpperBoundText), c.shownUpper);
        EXPECT_EQ(text(id::kLowerBoundText), c.shownLower);
        EXPECT_FLOAT_EQ(shared->sim.gasOutput, c.output);
        EXPECT_EQ(text(id::kOutputText), QString::fromStdString(formatFixed(c.output, 1)));
        EXPECT_EQ(slider()->value(), c.position);
        EXPECT_TRUE(hasLine(nextFrame(*shared), "9003" + formatFixed(c.output, 2)));
    }
}

TEST_F(GasSimulatorPageTest, SliderFollowsReversedAndEqualBounds) {
    setBounds("10", "50");
    QTest::keyClick(slider(), Qt::Key_Home);
    EXPECT_EQ(text(id::kOutputText), "10.0");
    QTest::keyClick(slider(), Qt::Key_End);
    EXPECT_EQ(text(id::kOutputText), "50.0");

    setBounds("20", "20");
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_End}) {
        QTest::keyClick(slider(), key);
        EXPECT_EQ(text(id::kOutputText), "20.0");
        EXPECT_FLOAT_EQ(shared->sim.gasOutput, 20.0f);
    }
}

TEST_F(GasSimulatorPageTest, FifteenBetweenTenAndTwentySitsAtFortyNine) {
    shared->sim.gasMinimum = 10.0f;
    shared->sim.gasMaximum = 20.0f;
    shared->sim.gasOutput = 15.0f;
    open();
    EXPECT_EQ(slider()->value(), 49);
    EXPECT_EQ(text(id::kOutputText), "15.0");
}

TEST_F(GasSimulatorPageTest, SetupDialogShowsBoundsAndRefusesBadInput) {
    shared->sim.gasMinimum = 2.5f;
    shared->sim.gasMaximum = 7.25f;
    open();
    const char* refused[] = {"", "   ", "abc", "inf", "nan", "1e39"};
    for (const char* bad : refused) {
        SCOPED_TRACE(std::string("upper bound \"") + bad + "\"");
        const std::size_t shown = modals.messages().size();
        modals.onNext([&](QWidget* dialog) {
            EXPECT_EQ(control<QLineEdit>(dialog, setup_id::kMaximumEdit)->text(), "7.2");
            EXPECT_EQ(control<QLineEdit>(dialog, setup_id::kMinimumEdit)->text(), "2.5");
            typeInto(control<QLineEdit>(dialog, setup_id::kMaximumEdit), bad);
            QTest::mouseClick(control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
            EXPECT_TRUE(dialog->isVisible()) << "stays open for correction";
            QTest::mouseClick(control<QPushButton>(dialog, ids::kCancel), Qt::LeftButton);
        });
        QTest::mouseClick(control<QPushButton>(page.get(), id::kSetupButton), Qt::LeftButton);
        ASSERT_EQ(modals.messages().size(), shown + 1);
        const testing::Message& seen = modals.messages().back();
        EXPECT_EQ(seen.title, "Korvane");
        EXPECT_EQ(seen.text, "Invalid Input Values!");
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_FLOAT_EQ(shared->sim.gasMaximum, 7.25f) << "Cancel changes nothing";
    }
}

TEST_F(GasSimulatorPageTest, StoresWithoutTheMutexAreDropped) {
    shared->sim.sendSimulatedGas = 1;
    testing::HeldMutex held(shared->dataMutex);
    QTest::keyClick(slider(), Qt::Key_Down);  // waits out its 1000 ms
    EXPECT_EQ(text(id::kOutputText), "99.0") << "the display follows anyway";
    EXPECT_FLOAT_EQ(shared->sim.gasOutput, 100.0f);

    testing::clickIndicator(control<QCheckBox>(page.get(), id::kSendGasBox));
    EXPECT_EQ(shared->sim.sendSimulatedGas, 1) << "still the old value";

    setBounds("50", "10");
    EXPECT_FLOAT_EQ(shared->sim.gasMaximum, 100.0f);
    EXPECT_EQ(text(id::kUpperBoundText), "100.0") << "nothing changes, displays included";
}

// The desktop's locale must not turn "12.5" into "12,5" or read "12,5" as 12.5.
TEST_F(GasSimulatorPageTest, NumbersIgnoreTheDesktopLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.utf8") && !std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale: de_DE.utf8 (Linux) or German_Germany.1252 (Windows)";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    setBounds("12.5", "2,75");
    EXPECT_EQ(text(id::kUpperBoundText), "12.5");
    EXPECT_EQ(text(id::kLowerBoundText), "2.0") << "reading stops at the comma";
    EXPECT_FLOAT_EQ(shared->sim.gasMaximum, 12.5f);
    EXPECT_FLOAT_EQ(shared->sim.gasMinimum, 2.0f);
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace korvane
