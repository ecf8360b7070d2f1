// The Options page and the Edit Depths dialog, driven through their widgets,
// checked on the page and in the next WITS frame.
#include "pages/options_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "gui_support.h"
#include "pages/define_records_dialog.h"
#include "pages/edit_depths_dialog.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "tables/extra_record_file.h"

namespace korvane {
namespace {

namespace id = ids::options;

using testing::clickIndicator;
using testing::hasItem;
using testing::hasLine;
using testing::nextFrame;

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
    testing::ModalDriver modals_;
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
        {"Drop Hole Depth", id::kDropHoleDepthBox, false, true},
        {"Drop Bit Depth", id::kDropBitDepthBox, true, true},
        {"Drop Pump 1 SPM", id::kDropPump1SpmBox, true, true},
        {"Drop Pump 2 SPM", id::kDropPump2SpmBox, false, true},
        // Pump 3 does not circulate: greyed, and its stored drop not shown.
        {"Drop Pump 3 SPM", id::kDropPump3SpmBox, false, false},
        {"Send Total Strokes 1", id::kSendTotalStrokes1Box, false, true},
        {"Send Total Strokes 2", id::kSendTotalStrokes2Box, true, true},
        {"Send Total Strokes 3", id::kSendTotalStrokes3Box, false, true},
        {"Transmit Extraneous WITS Records", id::kTransmitExtraRecordsBox, true, true},
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
        {"Drop Hole Depth", id::kDropHoleDepthBox, "0110", false},
        {"Drop Bit Depth", id::kDropBitDepthBox, "0108", false},
        {"Drop Pump 1 SPM", id::kDropPump1SpmBox, "0123", false},
        {"Drop Pump 2 SPM", id::kDropPump2SpmBox, "0124", false},
        {"Drop Pump 3 SPM", id::kDropPump3SpmBox, "0125", false},
        {"Send Total Strokes 1", id::kSendTotalStrokes1Box, "0143", true},
        {"Send Total Strokes 2", id::kSendTotalStrokes2Box, "0144", true},
        {"Send Total Strokes 3", id::kSendTotalStrokes3Box, "0145", true},
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
    clickIndicator(box(id::kTransmitExtraRecordsBox));
    EXPECT_EQ(shared_->sim.transmitExtraRecords.load(), 1);
    EXPECT_TRUE(hasLine(nextFrame(*shared_), "021012.5"));
    clickIndicator(box(id::kTransmitExtraRecordsBox));
    EXPECT_FALSE(hasLine(nextFrame(*shared_), "021012.5"));
}

TEST_F(OptionsPageTest, SendTotalStrokes2SurvivesANewPage) {
    openPage();
    clickIndicator(box(id::kSendTotalStrokes2Box));
    openPage();  // as after a visit to the Drilling tab
    EXPECT_TRUE(box(id::kSendTotalStrokes2Box)->isChecked());
    EXPECT_TRUE(hasItem(nextFrame(*shared_), "0144"));
}

TEST_F(OptionsPageTest, ToggleThatCannotGetTheMutexIsDropped) {
    openPage();
    {
        testing::HeldMutex busy(shared_->dataMutex);
        clickIndicator(box(id::kDropHoleDepthBox));
    }
    EXPECT_TRUE(box(id::kDropHoleDepthBox)->isChecked());  // the operator's choice stays shown
    EXPECT_EQ(shared_->sim.dropHoleDepth, 0);
    openPage();
    EXPECT_FALSE(box(id::kDropHoleDepthBox)->isChecked());
}

TEST_F(OptionsPageTest, ZeroStrokesClearsAllThreePumps) {
    SimState& sim = shared_->sim;
    sim.pumpCirculating[1] = 0;
    for (int n = 0; n < kPumpCount; ++n) {
        sim.totalStrokes[n] = 100.0 * (n + 1);
        sim.sendTotalStrokes[n] = 1;
    }
    openPage();
    EXPECT_EQ(button(id::kZeroStrokesButton)->text(), "Zero Strokes");
    QTest::mouseClick(button(id::kZeroStrokesButton), Qt::LeftButton);
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
    modals_.onNext<EditDepthsDialog>([&](EditDepthsDialog* dialog) {
        title = dialog->windowTitle();
        shownHole = ui::control<QLineEdit>(dialog, ids::edit_depths::kHoleDepthEdit)->text();
        shownBit = ui::control<QLineEdit>(dialog, ids::edit_depths::kBitDepthEdit)->text();
        QTest::mouseClick(ui::control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
    });
    QTest::mouseClick(button(id::kSetDepthsButton), Qt::LeftButton);

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
    bool stillOpen = false;
    modals_.onNext<EditDepthsDialog>([&](EditDepthsDialog* dialog) {
        auto* hole = ui::control<QLineEdit>(dialog, ids::edit_depths::kHoleDepthEdit);
        hole->selectAll();
        QTest::keyClick(hole, Qt::Key_Backspace);
        QTest::mouseClick(ui::control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
        // Back in the dialog once the warning is answered: it is still up; Esc leaves it.
        stillOpen = QApplication::activeModalWidget() == dialog;
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(button(id::kSetDepthsButton), Qt::LeftButton);

    ASSERT_EQ(modals_.messages().size(), 1u);
    const testing::Message& seen = modals_.messages()[0];
    EXPECT_EQ(seen.text, "Invalid Input Values!");
    EXPECT_EQ(seen.title, "Korvane");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
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
        auto* hole = ui::control<QLineEdit>(&dialog, ids::edit_depths::kHoleDepthEdit);
        auto* bit = ui::control<QLineEdit>(&dialog, ids::edit_depths::kBitDepthEdit);
        hole->clear();
        bit->clear();
        QTest::keyClicks(hole, c.hole);
        QTest::keyClicks(bit, c.bit);
        testing::ModalDriver modals;
        QTest::keyClick(bit, Qt::Key_Return);  // Enter presses OK
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(modals.messages().empty());
            EXPECT_FLOAT_EQ(depths.holeDepth, c.holeDepth);
            EXPECT_FLOAT_EQ(depths.bitDepth, c.bitDepth);
        } else {
            ASSERT_EQ(modals.messages().size(), 1u);
            EXPECT_EQ(modals.messages()[0].text, "Invalid Input Values!");
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_FLOAT_EQ(depths.holeDepth, -1.0f);
        }
    }
}

TEST_F(OptionsPageTest, DefineButtonOpensTheDialogAndOkSavesInTheWorkingDirectory) {
    testing::TempWorkingDir dir;
    openPage();
    EXPECT_EQ(button(id::kDefineRecordsButton)->text(), "Define Extraneous WITS Records...");
    QString title;
    modals_.onNext<DefineRecordsDialog>([&](DefineRecordsDialog* dialog) {
        title = dialog->windowTitle();
        auto* value = ui::control<QLineEdit>(dialog, ids::define_records::kValueEdit);
        value->clear();
        QTest::keyClicks(value, "12.5");
        QTest::mouseClick(ui::control<QPushButton>(dialog, ids::define_records::kAddButton),
                          Qt::LeftButton);
        QTest::mouseClick(ui::control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
    });
    QTest::mouseClick(button(id::kDefineRecordsButton), Qt::LeftButton);

    EXPECT_EQ(title, "Define WITS Records");
    EXPECT_EQ(std::filesystem::file_size(dir.path() / kExtraRecordFileName), 20u);
    EXPECT_EQ(shared_->extraRecords.extraRecordCount, 1);
    EXPECT_EQ(shared_->sim.transmitExtraRecords.load(), 0);  // left as found
}

}  // namespace
}  // namespace korvane
