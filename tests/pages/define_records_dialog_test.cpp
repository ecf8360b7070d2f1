// The Define WITS Records dialog, driven through its widgets, with its
// catalogue and record file in a temporary directory.
#include "pages/define_records_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "gui_support.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "tables/catalogue_file.h"
#include "tables/extra_record_file.h"
#include "tables/extra_record_ops.h"

namespace korvane {
namespace {

namespace id = ids::define_records;

using testing::clickRow;
using testing::lines;
using testing::nextFrame;

class DefineRecordsDialogTest : public ::testing::Test {
protected:
    void writeCatalogue(const std::string& text) {
        std::ofstream(dir_.path() / kCatalogueFileName, std::ios::binary) << text;
    }
    void writeRecords(int count) {
        ExtraRecordTable table;
        for (int k = 0; k < count; ++k) appendExtraRecord(table, 1, k % 100, 0.5f * k);
        saveExtraRecords(table, dir_.path());
    }
    std::optional<std::string> recordFile() const {
        std::ifstream in(dir_.path() / kExtraRecordFileName, std::ios::binary);
        if (!in) return std::nullopt;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    DefineRecordsDialog* open() {
        dialog_ = std::make_unique<DefineRecordsDialog>(*shared_, nullptr, dir_.path());
        dialog_->show();
        return dialog_.get();
    }
    QComboBox* recordTypes() { return ui::control<QComboBox>(dialog_.get(), id::kRecordTypeCombo); }
    QComboBox* items() { return ui::control<QComboBox>(dialog_.get(), id::kItemCombo); }
    QLineEdit* value() { return ui::control<QLineEdit>(dialog_.get(), id::kValueEdit); }
    QListWidget* list() { return ui::control<QListWidget>(dialog_.get(), id::kRecordList); }
    QPushButton* addButton() { return ui::control<QPushButton>(dialog_.get(), id::kAddButton); }
    QPushButton* removeButton() {
        return ui::control<QPushButton>(dialog_.get(), id::kRemoveButton);
    }

    void add(const char* typed) {
        value()->clear();
        QTest::keyClicks(value(), typed);
        QTest::mouseClick(addButton(), Qt::LeftButton);
    }

    testing::TempWorkingDir dir_;
    std::unique_ptr<SharedState> shared_ = std::make_unique<SharedState>();
    std::unique_ptr<DefineRecordsDialog> dialog_;
};

using Lines = QStringList;

TEST_F(DefineRecordsDialogTest, CatalogueFillsTheComboBoxes) {
    struct Case {
        const char* legend;
        std::optional<std::string> file;
        Lines recordTypes, items;
        const char* added;  // the line an add of 3 makes with the first choices; nullptr: refused
    };
    const Case cases[] = {
        {"no file: the fallback",
         std::nullopt,
         {"02"},
         {"10-Rate of Penetration"},
         "02 10 Value=3.00"},
        {"empty file: nothing to choose, record 00 item 00", "", {}, {}, "00 00 Value=3.00"},
        {"first type's items shown",
         "1,2\n5,Depth Hole\n6,Bit Depth  // comment\n12,0\n",
         {"01", "12"},
         {"05-Depth Hole", "06-Bit Depth"},
         "01 05 Value=3.00"},
        {"item 123 fits no item code", "1,1\n123,A\n", {"01"}, {"123-A"}, nullptr},
        {"nor does record -1", "-1,1\n5,A\n", {"-01"}, {"05-A"}, nullptr},
        {"the largest numbers", "99,1\n99,A\n", {"99"}, {"99-A"}, "99 99 Value=3.00"},
    };
    testing::ModalDriver modals;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::filesystem::remove(dir_.path() / kCatalogueFileName);
        if (c.file) writeCatalogue(*c.file);
        shared_ = std::make_unique<SharedState>();
        open();
        EXPECT_EQ(lines(recordTypes()), c.recordTypes);
        EXPECT_EQ(lines(items()), c.items);
        EXPECT_EQ(items()->currentIndex(), c.items.empty() ? -1 : 0);
        EXPECT_FALSE(removeButton()->isEnabled());
        add("3");
        EXPECT_EQ(lines(list()), c.added ? Lines{c.added} : Lines{});
    }
    ASSERT_EQ(modals.messages().size(), 2u);
    EXPECT_EQ(modals.messages()[1].title + ": " + modals.messages()[1].text,
              "Korvane: Record and item numbers must be 0 to 99!");
    EXPECT_EQ(modals.messages()[1].icon, QMessageBox::Warning);
}

TEST_F(DefineRecordsDialogTest, ChangingTheRecordTypeStartsAtItsFirstItem) {
    writeCatalogue("1,2\n5,A\n6,B\n2,0\n3,1\n7,C\n");
    open();
    QTest::keyClick(items(), Qt::Key_Down);  // 06-B
    add("1");
    QTest::keyClick(recordTypes(), Qt::Key_Down);  // record 02 has no items
    EXPECT_EQ(items()->count(), 0);
    add("2");
    QTest::keyClick(recordTypes(), Qt::Key_Down);
    EXPECT_EQ(lines(items()), Lines{"07-C"});
    QTest::keyClick(recordTypes(), Qt::Key_Up);
    QTest::keyClick(recordTypes(), Qt::Key_Up);
    EXPECT_EQ(items()->currentText(), "05-A");
    add("3");
    EXPECT_EQ(lines(list()), (Lines{"01 06 Value=1.00", "02 00 Value=2.00", "01 05 Value=3.00"}));
}

TEST_F(DefineRecordsDialogTest, AddedRecordIsListedAndSentAtOnce) {
    shared_->sim.transmitExtraRecords = 1;
    open();
    add("12.5");
    EXPECT_EQ(lines(list()), Lines{"02 10 Value=12.50"});
    EXPECT_EQ(value()->text(), "12.5");
    EXPECT_NE(nextFrame(*shared_).find("&&\r\n021012.5\r\n!!\r\n"), std::string::npos);

    // The same item again: both copies listed, both sent in one record.
    QTest::mouseClick(addButton(), Qt::LeftButton);
    EXPECT_EQ(lines(list()), (Lines{"02 10 Value=12.50", "02 10 Value=12.50"}));
    EXPECT_NE(nextFrame(*shared_).find("&&\r\n021012.5\r\n021012.5\r\n!!\r\n"), std::string::npos);
}

TEST_F(DefineRecordsDialogTest, ValueFieldIsReadLikeScanf) {
    struct Case {
        const char* legend;
        const char* typed;
        const char* shown;
        const char* line;
    };
    const Case cases[] = {
        {"empty field", "", "0.0", "02 10 Value=0.00"},
        {"no number", "abc", "0.0", "02 10 Value=0.00"},
        {"number then text", " 7.5kg", "7.5", "02 10 Value=7.50"},
        {"negative", "-3", "-3.0", "02 10 Value=-3.00"},
        {"exponent", "1e2", "100.0", "02 10 Value=100.00"},
        {"infinity counts as no number", "inf", "0.0", "02 10 Value=0.00"},
    };
    open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        add(c.typed);
        EXPECT_EQ(value()->text(), c.shown);
        EXPECT_EQ(list()->item(list()->count() - 1)->text(), c.line);
    }
}

TEST_F(DefineRecordsDialogTest, LastValueIsOfferedAtTheNextOpening) {
    open();
    add("42.5");
    dialog_->reject();
    open();
    EXPECT_EQ(value()->text(), "42.5");
}

TEST_F(DefineRecordsDialogTest, RemovingTheMiddleRecordKeepsTheOrder) {
    open();
    add("1");
    add("2");
    add("3");
    clickRow(list(), 1);
    EXPECT_TRUE(removeButton()->isEnabled());
    QTest::mouseClick(removeButton(), Qt::LeftButton);
    EXPECT_EQ(lines(list()), (Lines{"02 10 Value=1.00", "02 10 Value=3.00"}));
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    EXPECT_FALSE(removeButton()->isEnabled());
    EXPECT_EQ(shared_->extraRecords.extraRecordCount, 2);
    EXPECT_FLOAT_EQ(shared_->extraRecords.extraRecords[1].value, 3.0f);

    // An add ends a selection too.
    clickRow(list(), 0);
    add("4");
    EXPECT_FALSE(removeButton()->isEnabled());
    EXPECT_TRUE(list()->selectedItems().isEmpty());
}

TEST_F(DefineRecordsDialogTest, CancelPutsBackTheTableAndLeavesTheFile) {
    struct Case {
        const char* legend;
        int recordsInFile;  // -1: no file
        bool escape;
    };
    const Case cases[] = {
        {"no file, Cancel button", -1, false},
        {"no file, Esc", -1, true},
        {"two records, Cancel button", 2, false},
        {"two records, Esc", 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::filesystem::remove(dir_.path() / kExtraRecordFileName);
        if (c.recordsInFile >= 0) writeRecords(c.recordsInFile);
        const std::optional<std::string> before = recordFile();
        shared_ = std::make_unique<SharedState>();
        open();
        add("9");
        if (c.recordsInFile > 0) {
            clickRow(list(), 0);
            QTest::mouseClick(removeButton(), Qt::LeftButton);
        }
        if (c.escape) {
            QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(ui::control<QPushButton>(dialog_.get(), ids::kCancel),
                              Qt::LeftButton);
        }
        EXPECT_EQ(dialog_->result(), QDialog::Rejected);
        EXPECT_FALSE(dialog_->isVisible());
        EXPECT_EQ(recordFile(), before);
        ExtraRecordTable fromFile;
        loadExtraRecords(fromFile, dir_.path());
        const ExtraRecordTable& table = shared_->extraRecords;
        ASSERT_EQ(table.extraRecordCount, fromFile.extraRecordCount);
        for (int k = 0; k < table.extraRecordCount; ++k) {
            EXPECT_EQ(table.extraRecords[k].itemNumber, fromFile.extraRecords[k].itemNumber);
            EXPECT_FLOAT_EQ(table.extraRecords[k].value, fromFile.extraRecords[k].value);
        }
    }
}

TEST_F(DefineRecordsDialogTest, OkSavesTheTable) {
    open();
    add("1");
    add("2");
    add("3");
    QTest::mouseClick(ui::control<QPushButton>(dialog_.get(), ids::kOk), Qt::LeftButton);
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    ASSERT_TRUE(recordFile());
    EXPECT_EQ(recordFile()->size(), 52u);
    EXPECT_EQ(shared_->extraRecords.extraRecordCount, 3);
}

TEST_F(DefineRecordsDialogTest, HundredthAddDisablesAddUntilARemove) {
    writeRecords(99);
    open();
    EXPECT_EQ(list()->count(), 99);
    EXPECT_TRUE(addButton()->isEnabled());
    add("5");
    EXPECT_EQ(shared_->extraRecords.extraRecordCount, 100);
    EXPECT_FALSE(addButton()->isEnabled());
    QTest::mouseClick(addButton(), Qt::LeftButton);
    EXPECT_EQ(list()->count(), 100);

    clickRow(list(), 0);
    QTest::mouseClick(removeButton(), Qt::LeftButton);
    EXPECT_TRUE(addButton()->isEnabled());
    add("6");
    EXPECT_FALSE(addButton()->isEnabled());

    // Saved with 100, reopened with 99: a load keeps at most 99.
    QTest::mouseClick(ui::control<QPushButton>(dialog_.get(), ids::kOk), Qt::LeftButton);
    open();
    EXPECT_EQ(list()->count(), 99);
    EXPECT_TRUE(addButton()->isEnabled());
}

TEST_F(DefineRecordsDialogTest, AddThatCannotGetTheMutexChangesNothing) {
    open();
    {
        testing::HeldMutex busy(shared_->dataMutex);
        add("1");
    }
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(shared_->extraRecords.extraRecordCount, 0);
    add("2");
    EXPECT_EQ(lines(list()), Lines{"02 10 Value=2.00"});
}

}  // namespace
}  // namespace korvane
