// Drives the Aux Tracks page and its Add/Modify dialog through their widgets and
// checks the display, the table and the auxiliary items of the next frame.
#include "pages/aux_tracks_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <cstring>
#include <memory>

#include "modal_driver.h"
#include "resources/dialog_builder.h"
#include "simulation/number_text.h"
#include "tables/aux_track_ops.h"

namespace korvane {
namespace {

using testing::answerMessage;
using testing::hasLine;
using testing::Message;
using testing::nextFrame;
using testing::onNextModal;
using testing::typeInto;
using ui::control;

constexpr int kSlider = 1018;
constexpr int kUpper = 1037;
constexpr int kLower = 1038;
constexpr int kList = 1022;
constexpr int kAdd = 1034;
constexpr int kRemove = 1035;
constexpr int kModify = 1036;
constexpr int kTransmit = 1039;
constexpr int kTag = 1043;
constexpr int kValue = 1042;

// Dialog fields.
constexpr int kTagEdit = 1040;
constexpr int kMinimumEdit = 1038;
constexpr int kMaximumEdit = 1037;

class AuxTracksPageTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }

    // Creates the page afresh, as choosing its tab does.
    void open() {
        page.reset();
        page = std::make_unique<AuxTracksPage>(*shared, nullptr);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }

    QString text(int id) const { return control<QLabel>(page.get(), id)->text(); }
    QSlider* slider() const { return control<QSlider>(page.get(), kSlider); }
    QListWidget* list() const { return control<QListWidget>(page.get(), kList); }
    bool enabled(int id) const { return control<QWidget>(page.get(), id)->isEnabled(); }
    void click(int id) { QTest::mouseClick(control<QPushButton>(page.get(), id), Qt::LeftButton); }

    QStringList lines() const {
        QStringList all;
        for (int row = 0; row < list()->count(); ++row) all << list()->item(row)->text();
        return all;
    }
    int selectedSlot() const {
        const auto selected = list()->selectedItems();
        return selected.isEmpty() ? -1 : selected.first()->data(Qt::UserRole).toInt();
    }

    // Runs "Add Track", fills in whichever fields are given and presses OK.
    // Returns the message shown, if any; the dialog is cancelled after one.
    Message addTrack(const char* tag, const char* minimum = nullptr,
                     const char* maximum = nullptr) {
        Message seen;
        onNextModal([&](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Add Auxiliary Track");
            if (tag) typeInto(control<QLineEdit>(dialog, kTagEdit), tag);
            if (minimum) typeInto(control<QLineEdit>(dialog, kMinimumEdit), minimum);
            if (maximum) typeInto(control<QLineEdit>(dialog, kMaximumEdit), maximum);
            answerRefusal(seen, dialog);
        });
        click(kAdd);
        return seen;
    }

    // Presses OK; if a message box comes up, records it, then cancels the
    // dialog (which must have stayed open).
    void answerRefusal(Message& seen, QWidget* dialog) {
        bool refused = false;
        auto stop = onNextModal(
            [&seen, &refused](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                seen = {box->windowTitle().toStdString(), box->text().toStdString(), box->icon()};
                refused = true;
                box->button(QMessageBox::Ok)->click();
            },
            dialog);
        QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
        *stop = true;
        if (refused) {
            EXPECT_TRUE(dialog->isVisible()) << "stays open for correction";
            QTest::mouseClick(control<QPushButton>(dialog, 2), Qt::LeftButton);
        }
    }

    std::unique_ptr<SharedState> shared = std::make_unique<SharedState>();
    std::unique_ptr<AuxTracksPage> page;
    testing::ModalWatchdog watchdog;
};

// Tracks put straight into the table, as a settings load would.
void fillTable(AuxTrackTable& table, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string tag = formatFixed(1000 + i, 0);
        ASSERT_EQ(addAuxTrack(table, tag, 0.0f, 10.0f), i);
    }
}

void clickLine(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

TEST_F(AuxTracksPageTest, EmptyTableShowsTheEmptyState) {
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(enabled(kAdd));
    EXPECT_FALSE(enabled(kRemove));
    EXPECT_FALSE(enabled(kModify));
    EXPECT_FALSE(slider()->isEnabled());
    EXPECT_EQ(slider()->value(), 100) << "at the bottom";
    EXPECT_EQ(text(kUpper), "-.-");
    EXPECT_EQ(text(kLower), "-.-");
    EXPECT_EQ(text(kValue), "-.-");
    EXPECT_EQ(text(kTag), "----");
    EXPECT_FALSE(enabled(kValue));
    EXPECT_FALSE(enabled(kTag));
    auto* transmit = control<QCheckBox>(page.get(), kTransmit);
    EXPECT_FALSE(transmit->isChecked());
    EXPECT_FALSE(transmit->isEnabled());
}

TEST_F(AuxTracksPageTest, AddWithTheDefaults) {
    onNextModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Add Auxiliary Track");
        EXPECT_EQ(control<QLineEdit>(dialog, kTagEdit)->text(), "0145");
        EXPECT_TRUE(control<QLineEdit>(dialog, kTagEdit)->isEnabled());
        EXPECT_EQ(control<QLineEdit>(dialog, kMinimumEdit)->text(), "0.0");
        EXPECT_EQ(control<QLineEdit>(dialog, kMaximumEdit)->text(), "100.0");
        QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    });
    click(kAdd);

    EXPECT_EQ(lines(), QStringList{"0145\t    0.0\t  100.0"});
    EXPECT_EQ(selectedSlot(), 0);
    EXPECT_EQ(text(kTag), "0145");
    EXPECT_EQ(text(kUpper), "100.0");
    EXPECT_EQ(text(kLower), "0.0");
    EXPECT_EQ(text(kValue), "50.0");
    EXPECT_EQ(slider()->value(), 50) << "mid travel";
    EXPECT_TRUE(slider()->isEnabled());
    EXPECT_TRUE(control<QCheckBox>(page.get(), kTransmit)->isChecked());
    EXPECT_TRUE(enabled(kRemove));
    EXPECT_TRUE(enabled(kModify));
    EXPECT_TRUE(enabled(kTransmit));
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 1);
    EXPECT_TRUE(hasLine(nextFrame(*shared), "014550.00"));
}

TEST_F(AuxTracksPageTest, CancelAddsNothing) {
    onNextModal([&](QWidget* dialog) {
        typeInto(control<QLineEdit>(dialog, kTagEdit), "0777");
        QTest::mouseClick(control<QPushButton>(dialog, 2), Qt::LeftButton);
    });
    click(kAdd);
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 0);
    EXPECT_FALSE(enabled(kRemove));
}

TEST_F(AuxTracksPageTest, MaximumBelowMinimumIsExchanged) {
    const Message seen = addTrack("0210", "10", "2");
    EXPECT_EQ(seen.text, "");
    EXPECT_EQ(lines(), QStringList{"0210\t    2.0\t   10.0"});
    EXPECT_FLOAT_EQ(shared->auxTracks.minimum[0], 2.0f);
    EXPECT_FLOAT_EQ(shared->auxTracks.maximum[0], 10.0f);
    EXPECT_EQ(text(kUpper), "10.0");
    EXPECT_EQ(text(kLower), "2.0");
    EXPECT_TRUE(hasLine(nextFrame(*shared), "02106.00"));
}

TEST_F(AuxTracksPageTest, InvalidInputIsRefused) {
    struct Case {
        const char* legend;
        const char* tag;
        const char* minimum;
        const char* maximum;
    };
    const Case cases[] = {
        {"three-character tag", "014", "0", "100"},
        {"five-character tag", "01450", "0", "100"},
        {"empty tag", "", "0", "100"},
        {"equal bounds", "0145", "5", "5.0"},
        {"empty minimum", "0145", "", "100"},
        {"empty maximum", "0145", "0", ""},
        {"blank minimum", "0145", "   ", "100"},
        {"minimum not a number", "0145", "x1", "100"},
        {"infinite maximum", "0145", "0", "1e39"},
        {"NaN minimum", "0145", "nan", "100"},
        // The tag fills a 5-byte slot and an item line: ASCII only.
        {"tag with a non-ASCII letter", "01\u00e95", "0", "100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const Message seen = addTrack(c.tag, c.minimum, c.maximum);
        EXPECT_EQ(seen.caption, "Korvane");
        EXPECT_EQ(seen.text, "Invalid Input Values!");
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_EQ(shared->auxTracks.auxTrackCount, 0);
        EXPECT_EQ(list()->count(), 0);
    }
}

TEST_F(AuxTracksPageTest, AnyFourCharactersMakeATag) {
    struct Case {
        const char* legend;
        const char* tag;
        const char* minimum;
        const char* maximum;
        const char* line;
    };
    const Case cases[] = {
        {"letters", "ABCD", "1", "3", "ABCD2.00"},
        {"a blank inside, numbers with trailing text", "1 2X", " 4kg", "8.5e0z", "1 2X6.25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(addTrack(c.tag, c.minimum, c.maximum).text, "");
        EXPECT_TRUE(hasLine(nextFrame(*shared), c.line));
    }
}

TEST_F(AuxTracksPageTest, LinesInTextOrderSelectTheirOwnSlot) {
    addTrack("0210");
    addTrack("0145");
    EXPECT_EQ(lines(), (QStringList{"0145\t    0.0\t  100.0", "0210\t    0.0\t  100.0"}));
    EXPECT_EQ(list()->currentRow(), 0) << "the new line is selected";
    EXPECT_EQ(selectedSlot(), 1);
    EXPECT_EQ(text(kTag), "0145");

    clickLine(list(), 1);
    EXPECT_EQ(selectedSlot(), 0);
    EXPECT_EQ(text(kTag), "0210");

    // Leaving the tab and coming back shows the first line again.
    open();
    EXPECT_EQ(lines().size(), 2);
    EXPECT_EQ(selectedSlot(), 1);
    EXPECT_EQ(text(kTag), "0145");
    // Sent in slot order, not list order.
    const std::string frame = nextFrame(*shared);
    EXPECT_LT(frame.find("021050.00"), frame.find("014550.00"));
}

TEST_F(AuxTracksPageTest, RemovalsRefillTheLowestSlot) {
    addTrack("0301");
    addTrack("0302");
    addTrack("0303");
    clickLine(list(), 1);
    ASSERT_EQ(text(kTag), "0302");
    click(kRemove);
    EXPECT_EQ(lines().size(), 2);
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_EQ(text(kTag), "0301");
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 2);
    EXPECT_EQ(nextFrame(*shared).find("0302"), std::string::npos);

    addTrack("0399");
    EXPECT_EQ(selectedSlot(), 1);
    const std::string frame = nextFrame(*shared);
    EXPECT_LT(frame.find("030150.00"), frame.find("039950.00"));
    EXPECT_LT(frame.find("039950.00"), frame.find("030350.00"));

    for (int left = 3; left > 0; --left) click(kRemove);
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 0);
    EXPECT_FALSE(enabled(kRemove));
    EXPECT_FALSE(enabled(kModify));
    EXPECT_FALSE(enabled(kTransmit));
    EXPECT_FALSE(slider()->isEnabled());
    EXPECT_EQ(slider()->value(), 100);
    EXPECT_EQ(text(kTag), "----");
}

TEST_F(AuxTracksPageTest, TheHundredthAddFillsTheTableAndTheNextIsRefused) {
    fillTable(shared->auxTracks, 99);
    open();
    EXPECT_EQ(addTrack("0145").text, "");
    EXPECT_EQ(list()->count(), 100);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 100);

    Message seen;
    answerMessage(seen, nullptr);
    click(kAdd);
    EXPECT_EQ(seen.caption, "Korvane");
    EXPECT_EQ(seen.text, "Auxiliary Tag Buffer is Full!");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(list()->count(), 100);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 100);
}

TEST_F(AuxTracksPageTest, KeyboardAndChannelStoreWhileDraggingOnlyShows) {
    addTrack("0145");  // 0 to 100, value 50 at position 50
    struct Case {
        const char* legend;
        Qt::Key key;
        int position;
        const char* shown;
        const char* line;
    };
    const Case cases[] = {
        {"line down", Qt::Key_Down, 51, "49.0", "014549.00"},
        {"page down", Qt::Key_PageDown, 61, "39.0", "014539.00"},
        {"line up", Qt::Key_Up, 60, "40.0", "014540.00"},
        {"left is up", Qt::Key_Left, 59, "41.0", "014541.00"},
        {"page up", Qt::Key_PageUp, 49, "51.0", "014551.00"},
        {"home is the maximum", Qt::Key_Home, 0, "100.0", "0145100.00"},
        {"end is the minimum", Qt::Key_End, 100, "0.0", "01450.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        QTest::keyClick(slider(), c.key);
        EXPECT_EQ(slider()->value(), c.position);
        EXPECT_EQ(text(kValue), c.shown);
        EXPECT_TRUE(hasLine(nextFrame(*shared), c.line));
    }

    QSlider* s = slider();
    const QPoint grab = testing::thumbRect(s).center();
    testing::sendMouse(s, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    const QPoint higher = grab - QPoint(0, s->height() / 2);
    testing::sendMouse(s, QEvent::MouseMove, higher, Qt::LeftButton);
    const int dragged = s->sliderPosition();
    ASSERT_LT(dragged, 100);
    EXPECT_EQ(text(kValue), QString::number(100 - dragged) + ".0");
    EXPECT_FLOAT_EQ(shared->auxTracks.value[0], 0.0f) << "not stored while dragging";
    testing::sendMouse(s, QEvent::MouseButtonRelease, higher, Qt::NoButton);
    EXPECT_FLOAT_EQ(shared->auxTracks.value[0], 100.0f - dragged);

    const int before = s->value();
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(grab.x(), 2));
    EXPECT_LT(s->value(), before);
    EXPECT_FLOAT_EQ(shared->auxTracks.value[0], 100.0f - s->value());
}

TEST_F(AuxTracksPageTest, TransmitBoxTogglesTheItem) {
    addTrack("0145");
    auto* transmit = control<QCheckBox>(page.get(), kTransmit);
    testing::clickIndicator(transmit);
    EXPECT_FALSE(transmit->isChecked());
    EXPECT_EQ(shared->auxTracks.transmit[0].load(), 0);
    EXPECT_EQ(nextFrame(*shared).find("0145"), std::string::npos);
    EXPECT_EQ(lines().size(), 1) << "stays on the page";

    open();
    EXPECT_FALSE(control<QCheckBox>(page.get(), kTransmit)->isChecked());
    testing::clickIndicator(control<QCheckBox>(page.get(), kTransmit));
    EXPECT_TRUE(hasLine(nextFrame(*shared), "014550.00"));
}

TEST_F(AuxTracksPageTest, ModifyChangesTheRangeButNotTheValue) {
    addTrack("0145");
    addTrack("0210");
    ASSERT_EQ(selectedSlot(), 1);
    onNextModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Modify Auxiliary Track");
        auto* tag = control<QLineEdit>(dialog, kTagEdit);
        EXPECT_EQ(tag->text(), "0210");
        EXPECT_FALSE(tag->isEnabled());
        typeInto(control<QLineEdit>(dialog, kMinimumEdit), "80");
        typeInto(control<QLineEdit>(dialog, kMaximumEdit), "60");
        QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    });
    click(kModify);

    EXPECT_EQ(lines(), (QStringList{"0145\t    0.0\t  100.0", "0210\t   60.0\t   80.0"}));
    EXPECT_EQ(selectedSlot(), 1);
    EXPECT_EQ(text(kUpper), "80.0");
    EXPECT_EQ(text(kLower), "60.0");
    EXPECT_EQ(text(kValue), "50.0") << "the value is left out of range";
    EXPECT_EQ(slider()->value(), 100) << "below the range: pinned to the bottom";
    EXPECT_TRUE(hasLine(nextFrame(*shared), "021050.00"));
    EXPECT_STREQ(shared->auxTracks.tag[1], "0210");

    QTest::keyClick(slider(), Qt::Key_Up);
    EXPECT_TRUE(hasLine(nextFrame(*shared), "021060.20"));
}

TEST_F(AuxTracksPageTest, NothingIsRemovedOrModifiedWithoutASelection) {
    addTrack("0145");
    clickLine(list(), 0, Qt::ControlModifier);  // deselects the line
    ASSERT_EQ(selectedSlot(), -1);
    EXPECT_EQ(text(kTag), "----");
    EXPECT_FALSE(slider()->isEnabled());
    click(kRemove);
    click(kModify);  // would open the dialog; nothing to modify
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 1);
    EXPECT_EQ(list()->count(), 1);
}

TEST_F(AuxTracksPageTest, StoresWithoutTheMutexAreDropped) {
    addTrack("0145");
    {
        testing::MutexHolder held(shared->dataMutex);
        QTest::keyClick(slider(), Qt::Key_Down);  // waits out its 1000 ms
        EXPECT_EQ(text(kValue), "49.0");
        EXPECT_FLOAT_EQ(shared->auxTracks.value[0], 50.0f);

        onNextModal([&](QWidget* dialog) {
            typeInto(control<QLineEdit>(dialog, kMaximumEdit), "20");
            QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
        });
        click(kModify);
        EXPECT_EQ(text(kUpper), "100.0") << "the range is unchanged";
        EXPECT_EQ(lines(), QStringList{"0145\t    0.0\t  100.0"});
    }
    EXPECT_FLOAT_EQ(shared->auxTracks.maximum[0], 100.0f);
}

}  // namespace
}  // namespace korvane
