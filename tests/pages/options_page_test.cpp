// The Options page and the Edit Depths dialog, driven through their widgets,
// checked on the page and in the next WITS frame.
#include "pages/options_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "options_gui_support.h"
#include "pages/define_records_dialog.h"
#include "pages/edit_depths_dialog.h"
#include "resources/dialog_builder.h"
#include "tables/extra_record_file.h"

namespace korvane {
namespace {

using test::clickIndicator;
using test::hasItem;
using test::hasLine;
using test::nextFrame;
using test::whenModal;

class OptionsPageTest : public ::testing::Test {
protected:
    OptionsPage* openPage() {
        delete page_;
        page_ = new OptionsPage(*shared_, &host_);
        host_.show();
        return page_;
    }
    QCheckBox* box(int id) { return ui::control<QCheckBox>(page_, id); }
    QPushButton* button(int id) { return ui::control<QPushButton>(page_, id); }

    std::unique_ptr<SharedState> shared_ = std::make_unique<SharedState>();
    QWidget host_;
    OptionsPage* page_ = nullptr;
};

TEST_F(OptionsPageTest, CreationShowsTheStoredChoices) {
    SimState& sim = shared_->sim;
    sim.dropBitDepth = 1;
    sim.dropPumpSpm[0] = 1;
    sim.dropPumpSpm[2] = 1;
    sim.pumpCirculating[2] = 0;
    sim.sendTotalStrokes[1] = 1;
    sim.transmitExtraRecords = 1;
    openPage();

    struct Case {
        const char* legend;
        int id;
        bool checked;
        bool enabled;
    };
    const Case cases[] = {
        {"Drop Hole Depth", 1025, false, true},
        {"Drop Bit Depth", 1026, true, true},
        {"Drop Pump 1 SPM", 1048, true, true},
        {"Drop Pump 2 SPM", 1049, false, true},
        // Pump 3 does not circulate: greyed, and its stored drop not shown.
        {"Drop Pump 3 SPM", 1050, false, false},
        {"Send Total Strokes 1", 1051, false, true},
        {"Send Total Strokes 2", 1052, true, true},
        {"Send Total Strokes 3", 1053, false, true},
        {"Transmit Extraneous WITS Records", 1064, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        ASSERT_NE(box(c.id), nullptr);
        EXPECT_EQ(box(c.id)->text(), QString(c.legend));
        EXPECT_EQ(box(c.id)->isChecked(), c.checked);
        EXPECT_EQ(box(c.id)->isEnabled(), c.enabled);
    }
}

TEST_F(OptionsPageTest, EachToggleDropsOrAddsItsItem) {
    struct Case {
        const char* legend;
        int id;
        const char* code;
        bool sentWhenChecked;
    };
    const Case cases[] = {
        {"Drop Hole Depth", 1025, "0110", false},     {"Drop Bit Depth", 1026, "0108", false},
        {"Drop Pump 1 SPM", 1048, "0123", false},     {"Drop Pump 2 SPM", 1049, "0124", false},
        {"Drop Pump 3 SPM", 1050, "0125", false},     {"Send Total Strokes 1", 1051, "0143", true},
        {"Send Total Strokes 2", 1052, "0144", true}, {"Send Total Strokes 3", 1053, "0145", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        shared_ = std::make_unique<SharedState>();
        openPage();
        EXPECT_EQ(hasItem(nextFrame(*shared_), c.code), !c.sentWhenChecked);
        clickIndicator(box(c.id));
        EXPECT_TRUE(box(c.id)->isChecked());
        EXPECT_EQ(hasItem(nextFrame(*shared_), c.code), c.sentWhenChecked);
        clickIndicator(box(c.id));
        EXPECT_FALSE(box(c.id)->isChecked());
        EXPECT_EQ(hasItem(nextFrame(*shared_), c.code), !c.sentWhenChecked);
    }
}

TEST_F(OptionsPageTest, TransmitSwitchesTheExtraneousRecords) {
    shared_->extraRecords.extraRecords[0] = {2, 10, 0, 12.5f};
    shared_->extraRecords.extraRecordCount = 1;
    openPage();
    EXPECT_FALSE(hasLine(nextFrame(*shared_), "021012.5"));
    clickIndicator(box(1064));
    EXPECT_EQ(shared_->sim.transmitExtraRecords.load(), 1);
    EXPECT_TRUE(hasLine(nextFrame(*shared_), "021012.5"));
    clickIndicator(box(1064));
    EXPECT_FALSE(hasLine(nextFrame(*shared_), "021012.5"));
}

TEST_F(OptionsPageTest, SendTotalStrokes2SurvivesANewPage) {
    openPage();
    clickIndicator(box(1052));
    openPage();  // as after a visit to the Drilling tab
    EXPECT_TRUE(box(1052)->isChecked());
    EXPECT_TRUE(hasItem(nextFrame(*shared_), "0144"));
}

TEST_F(OptionsPageTest, ToggleThatCannotGetTheMutexIsDropped) {
    openPage();
    {
        test::HeldMutex busy(shared_->dataMutex);
        clickIndicator(box(1025));
    }
    EXPECT_TRUE(box(1025)->isChecked());  // the operator's choice stays shown
    EXPECT_EQ(shared_->sim.dropHoleDepth, 0);
    openPage();
    EXPECT_FALSE(box(1025)->isChecked());
}

TEST_F(OptionsPageTest, ZeroStrokesClearsAllThreePumps) {
    SimState& sim = shared_->sim;
    sim.pumpCirculating[1] = 0;
    for (int n = 0; n < kPumpCount; ++n) {
        sim.totalStrokes[n] = 100.0 * (n + 1);
        sim.sendTotalStrokes[n] = 1;
    }
    openPage();
    EXPECT_EQ(button(1019)->text(), "Zero Strokes");
    QTest::mouseClick(button(1019), Qt::LeftButton);
    const std::string frame = nextFrame(*shared_);
    for (const char* line : {"01430.0", "01440.0", "01450.0"}) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(hasLine(frame, line));
    }
}

TEST_F(OptionsPageTest, SetDepthsStoresTheShownValues) {
    shared_->sim.holeDepth = 1234.56f;
    shared_->sim.bitDepth = 1000.04f;
    openPage();
    QString shownHole, shownBit, title;
    whenModal<EditDepthsDialog>([&](EditDepthsDialog* dialog) {
        title = dialog->windowTitle();
        shownHole = ui::control<QLineEdit>(dialog, 1045)->text();
        shownBit = ui::control<QLineEdit>(dialog, 1046)->text();
        QTest::mouseClick(ui::control<QPushButton>(dialog, 1), Qt::LeftButton);
    });
    QTest::mouseClick(button(1044), Qt::LeftButton);

    EXPECT_EQ(title, "Edit Depths");
    EXPECT_EQ(shownHole, "1234.6");
    EXPECT_EQ(shownBit, "1000.0");
    EXPECT_FLOAT_EQ(shared_->sim.holeDepth, 1234.6f);
    EXPECT_FLOAT_EQ(shared_->sim.bitDepth, 1000.0f);
    EXPECT_TRUE(hasLine(nextFrame(*shared_), "01101234.6000"));
}

TEST_F(OptionsPageTest, EmptyHoleDepthIsRefusedAndTheDialogStaysOpen) {
    shared_->sim.holeDepth = 50.0f;
    openPage();
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool stillOpen = false;
    whenModal<EditDepthsDialog>([&](EditDepthsDialog* dialog) {
        auto* hole = ui::control<QLineEdit>(dialog, 1045);
        hole->selectAll();
        QTest::keyClick(hole, Qt::Key_Backspace);
        whenModal<QMessageBox>([&, dialog](QMessageBox* box) {
            text = box->text();
            caption = box->windowTitle();
            icon = box->icon();
            box->accept();
            // Back in the dialog: it is still up; Esc leaves it.
            QTimer::singleShot(0, [&, dialog] {
                stillOpen = QApplication::activeModalWidget() == dialog;
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
        });
        QTest::mouseClick(ui::control<QPushButton>(dialog, 1), Qt::LeftButton);
    });
    QTest::mouseClick(button(1044), Qt::LeftButton);

    EXPECT_EQ(text, "Invalid Input Values!");
    EXPECT_EQ(caption, "Korvane");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_TRUE(stillOpen);
    EXPECT_FLOAT_EQ(shared_->sim.holeDepth, 50.0f);
}

TEST(EditDepthsDialogTest, TypedTextIsReadLikeScanf) {
    struct Case {
        const char* legend;
        const char* hole;
        const char* bit;
        bool accepted;
        float holeDepth, bitDepth;
    };
    const Case cases[] = {
        {"number followed by text", "12ft", "3", true, 12.0f, 3.0f},
        {"blanks and signs", "  -5.5", "+7", true, -5.5f, 7.0f},
        {"exponent", "1e3", "0", true, 1000.0f, 0.0f},
        {"no number", "abc", "1", false, 0, 0},
        {"empty bit depth", "1", "", false, 0, 0},
        {"infinity is no depth", "inf", "1", false, 0, 0},
        {"NaN is no depth", "1", "nan", false, 0, 0},
        {"too large for a float", "1e39", "1", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        DepthPair depths{-1.0f, -1.0f};
        EditDepthsDialog dialog(depths, nullptr);
        dialog.show();
        auto* hole = ui::control<QLineEdit>(&dialog, 1045);
        auto* bit = ui::control<QLineEdit>(&dialog, 1046);
        hole->clear();
        bit->clear();
        QTest::keyClicks(hole, c.hole);
        QTest::keyClicks(bit, c.bit);
        QString warning;
        if (!c.accepted) {
            whenModal<QMessageBox>([&](QMessageBox* box) {
                warning = box->text();
                box->accept();
            });
        }
        QTest::keyClick(bit, Qt::Key_Return);  // Enter presses OK
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
        if (c.accepted) {
            EXPECT_FLOAT_EQ(depths.holeDepth, c.holeDepth);
            EXPECT_FLOAT_EQ(depths.bitDepth, c.bitDepth);
        } else {
            EXPECT_EQ(warning, "Invalid Input Values!");
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_FLOAT_EQ(depths.holeDepth, -1.0f);
        }
    }
}

TEST_F(OptionsPageTest, DefineButtonOpensTheDialogAndOkSavesInTheWorkingDirectory) {
    test::TempWorkingDir dir;
    openPage();
    EXPECT_EQ(button(1020)->text(), "Define Extraneous WITS Records...");
    QString title;
    whenModal<DefineRecordsDialog>([&](DefineRecordsDialog* dialog) {
        title = dialog->windowTitle();
        auto* value = ui::control<QLineEdit>(dialog, 1013);
        value->clear();
        QTest::keyClicks(value, "12.5");
        QTest::mouseClick(ui::control<QPushButton>(dialog, 1060), Qt::LeftButton);
        QTest::mouseClick(ui::control<QPushButton>(dialog, 1), Qt::LeftButton);
    });
    QTest::mouseClick(button(1020), Qt::LeftButton);

    EXPECT_EQ(title, "Define WITS Records");
    EXPECT_EQ(std::filesystem::file_size(dir.path() / kExtraRecordFileName), 20u);
    EXPECT_EQ(shared_->extraRecords.extraRecordCount, 1);
    EXPECT_EQ(shared_->sim.transmitExtraRecords.load(), 0);  // left as found
}

}  // namespace
}  // namespace korvane
