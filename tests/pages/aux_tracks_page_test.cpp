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

#include "gui_support.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "tables/aux_track_ops.h"
#include "text/number_text.h"

namespace korvane {
namespace {

namespace id = ids::aux_tracks;
namespace track_id = ids::aux_track;

using testing::clickRow;
using testing::hasLine;
using testing::lines;
using testing::Message;
using testing::nextFrame;
using testing::typeInto;
using ui::control;

class AuxTracksPageTest : public testing::PageTest<AuxTracksPage> {
protected:
    QSlider* slider() const { return control<QSlider>(page.get(), id::kValueSlider); }
    QListWidget* list() const { return control<QListWidget>(page.get(), id::kTrackList); }
    bool enabled(int id) const { return control<QWidget>(page.get(), id)->isEnabled(); }
    void click(int id) { QTest::mouseClick(control<QPushButton>(page.get(), id), Qt::LeftButton); }

    int selectedSlot() const {
        const auto selected = list()->selectedItems();
        return selected.isEmpty() ? -1 : selected.first()->data(Qt::UserRole).toInt();
    }

    // Runs "Add Track", fills in whichever fields are given and presses OK.
    // Returns the message shown, if any; the dialog is cancelled after one,
    // having stayed open for correction.
    Message addTrack(const char* tag, const char* minimum = nullptr,
                     const char* maximum = nullptr) {
        Message seen;
        modals.onNext([&](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Add Auxiliary Track");
            if (tag) typeInto(control<QLineEdit>(dialog, track_id::kTagEdit), tag);
            if (minimum) typeInto(control<QLineEdit>(dialog, track_id::kMinimumEdit), minimum);
            if (maximum) typeInto(control<QLineEdit>(dialog, track_id::kMaximumEdit), maximum);
            const std::size_t shown = modals.messages().size();
            QTest::mouseClick(control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
            if (modals.messages().size() > shown) {
                seen = modals.messages().back();
                EXPECT_TRUE(dialog->isVisible()) << "stays open for correction";
                QTest::mouseClick(control<QPushButton>(dialog, ids::kCancel), Qt::LeftButton);
            }
        });
        click(id::kAddButton);
        return seen;
    }
};

// Tracks put straight into the table, as a settings load would.
void fillTable(AuxTrackTable& table, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string tag = formatFixed(1000 + i, 0);
        ASSERT_EQ(addAuxTrack(table, tag, 0.0f, 10.0f), i);
    }
}

TEST_F(AuxTracksPageTest, EmptyTableShowsTheEmptyState) {
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(enabled(id::kAddButton));
    EXPECT_FALSE(enabled(id::kRemoveButton));
    EXPECT_FALSE(enabled(id::kModifyButton));
    EXPECT_FALSE(slider()->isEnabled());
    EXPECT_EQ(slider()->value(), 100) << "at the bottom";
    EXPECT_EQ(text(id::kUpperBoundText), "-.-");
    EXPECT_EQ(text(id::kLowerBoundText), "-.-");
    EXPECT_EQ(text(id::kValueText), "-.-");
    EXPECT_EQ(text(id::kTagText), "----");
    EXPECT_FALSE(enabled(id::kValueText));
    EXPECT_FALSE(enabled(id::kTagText));
    auto* transmit = control<QCheckBox>(page.get(), id::kTransmitBox);
    EXPECT_FALSE(transmit->isChecked());
    EXPECT_FALSE(transmit->isEnabled());
}

TEST_F(AuxTracksPageTest, AddWithTheDefaults) {
    modals.onNext([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Add Auxiliary Track");
        EXPECT_EQ(control<QLineEdit>(dialog, track_id::kTagEdit)->text(), "0145");
        EXPECT_TRUE(control<QLineEdit>(dialog, track_id::kTagEdit)->isEnabled());
        EXPECT_EQ(control<QLineEdit>(dialog, track_id::kMinimumEdit)->text(), "0.0");
        EXPECT_EQ(control<QLineEdit>(dialog, track_id::kMaximumEdit)->text(), "100.0");
        QTest::mouseClick(control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
    });
    click(id::kAddButton);

    EXPECT_EQ(lines(list()), QStringList{"0145\t    0.0\t  100.0"});
    EXPECT_EQ(selectedSlot(), 0);
    EXPECT_EQ(text(id::kTagText), "0145");
    EXPECT_EQ(text(id::kUpperBoundText), "100.0");
    EXPECT_EQ(text(id::kLowerBoundText), "0.0");
    EXPECT_EQ(text(id::kValueText), "50.0");
    EXPECT_EQ(slider()->value(), 50) << "mid travel";
    EXPECT_TRUE(slider()->isEnabled());
    EXPECT_TRUE(control<QCheckBox>(page.get(), id::kTransmitBox)->isChecked());
    EXPECT_TRUE(enabled(id::kRemoveButton));
    EXPECT_TRUE(enabled(id::kModifyButton));
    EXPECT_TRUE(enabled(id::kTransmitBox));
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 1);
    EXPECT_TRUE(hasLine(nextFrame(*shared), "014550.00"));
}

TEST_F(AuxTracksPageTest, CancelAddsNothing) {
    modals.onNext([&](QWidget* dialog) {
        typeInto(control<QLineEdit>(dialog, track_id::kTagEdit), "0777");
        QTest::mouseClick(control<QPushButton>(dialog, ids::kCancel), Qt::LeftButton);
    });
    click(id::kAddButton);
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 0);
    EXPECT_FALSE(enabled(id::kRemoveButton));
}

TEST_F(AuxTracksPageTest, MaximumBelowMinimumIsExchanged) {
    const Message seen = addTrack("0210", "10", "2");
    EXPECT_EQ(seen.text, "");
    EXPECT_EQ(lines(list()), QStringList{"0210\t    2.0\t   10.0"});
    EXPECT_FLOAT_EQ(shared->auxTracks.minimum[0], 2.0f);
    EXPECT_FLOAT_EQ(shared->auxTracks.maximum[0], 10.0f);
    EXPECT_EQ(text(id::kUpperBoundText), "10.0");
    EXPECT_EQ(text(id::kLowerBoundText), "2.0");
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
        EXPECT_EQ(seen.title, "Korvane");
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
    EXPECT_EQ(lines(list()), (QStringList{"0145\t    0.0\t  100.0", "0210\t    0.0\t  100.0"}));
    EXPECT_EQ(list()->currentRow(), 0) << "the new line is selected";
    EXPECT_EQ(selectedSlot(), 1);
    EXPECT_EQ(text(id::kTagText), "0145");

    clickRow(list(), 1);
    EXPECT_EQ(selectedSlot(), 0);
    EXPECT_EQ(text(id::kTagText), "0210");

    // Leaving the tab and coming back shows the first line again.
    open();
    EXPECT_EQ(lines(list()).size(), 2);
    EXPECT_EQ(selectedSlot(), 1);
    EXPECT_EQ(text(id::kTagText), "0145");
    // Sent in slot order, not list order.
    const std::string frame = nextFrame(*shared);
    EXPECT_LT(frame.find("021050.00"), frame.find("014550.00"));
}

TEST_F(AuxTracksPageTest, RemovalsRefillTheLowestSlot) {
    addTrack("0301");
    addTrack("0302");
    addTrack("0303");
    clickRow(list(), 1);
    ASSERT_EQ(text(id::kTagText), "0302");
    click(id::kRemoveButton);
    EXPECT_EQ(lines(list()).size(), 2);
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_EQ(text(id::kTagText), "0301");
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 2);
    EXPECT_EQ(nextFrame(*shared).find("0302"), std::string::npos);

    addTrack("0399");
    EXPECT_EQ(selectedSlot(), 1);
    const std::string frame = nextFrame(*shared);
    EXPECT_LT(frame.find("030150.00"), frame.find("039950.00"));
    EXPECT_LT(frame.find("039950.00"), frame.find("030350.00"));

    for (int left = 3; left > 0; --left) click(id::kRemoveButton);
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 0);
    EXPECT_FALSE(enabled(id::kRemoveButton));
    EXPECT_FALSE(enabled(id::kModifyButton));
    EXPECT_FALSE(enabled(id::kTransmitBox));
    EXPECT_FALSE(slider()->isEnabled());
    EXPECT_EQ(slider()->value(), 100);
    EXPECT_EQ(text(id::kTagText), "----");
}

TEST_F(AuxTracksPageTest, TheHundredthAddFillsTheTableAndTheNextIsRefused) {
    fillTable(shared->auxTracks, 99);
    open();
    EXPECT_EQ(addTrack("0145").text, "");
    EXPECT_EQ(list()->count(), 100);
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 100);

    click(id::kAddButton);
    ASSERT_EQ(modals.messages().size(), 1u);
    const Message& seen = modals.messages()[0];
    EXPECT_EQ(seen.title, "Korvane");
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
        EXPECT_EQ(text(id::kValueText), c.shown);
        EXPECT_TRUE(hasLine(nextFrame(*shared), c.line));
    }

    QSlider* s = slider();
    const QPoint grab = testing::thumbRect(s).center();
    testing::sendMouse(s, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    const QPoint higher = grab - QPoint(0, s->height() / 2);
    testing::sendMouse(s, QEvent::MouseMove, higher, Qt::LeftButton);
    const int dragged = s->sliderPosition();
    ASSERT_LT(dragged, 100);
    EXPECT_EQ(text(id::kValueText), QString::number(100 - dragged) + ".0");
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
    auto* transmit = control<QCheckBox>(page.get(), id::kTransmitBox);
    testing::clickIndicator(transmit);
    EXPECT_FALSE(transmit->isChecked());
    EXPECT_EQ(shared->auxTracks.transmit[0].load(), 0);
    EXPECT_EQ(nextFrame(*shared).find("0145"), std::string::npos);
    EXPECT_EQ(lines(list()).size(), 1) << "stays on the page";

    open();
    EXPECT_FALSE(control<QCheckBox>(page.get(), id::kTransmitBox)->isChecked());
    testing::clickIndicator(control<QCheckBox>(page.get(), id::kTransmitBox));
    EXPECT_TRUE(hasLine(nextFrame(*shared), "014550.00"));
}

TEST_F(AuxTracksPageTest, ModifyChangesTheRangeButNotTheValue) {
    addTrack("0145");
    addTrack("0210");
    ASSERT_EQ(selectedSlot(), 1);
    modals.onNext([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Modify Auxiliary Track");
        auto* tag = control<QLineEdit>(dialog, track_id::kTagEdit);
        EXPECT_EQ(tag->text(), "0210");
        EXPECT_FALSE(tag->isEnabled());
        typeInto(control<QLineEdit>(dialog, track_id::kMinimumEdit), "80");
        typeInto(control<QLineEdit>(dialog, track_id::kMaximumEdit), "60");
        QTest::mouseClick(control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
    });
    click(id::kModifyButton);

    EXPECT_EQ(lines(list()), (QStringList{"0145\t    0.0\t  100.0", "0210\t   60.0\t   80.0"}));
    EXPECT_EQ(selectedSlot(), 1);
    EXPECT_EQ(text(id::kUpperBoundText), "80.0");
    EXPECT_EQ(text(id::kLowerBoundText), "60.0");
    EXPECT_EQ(text(id::kValueText), "50.0") << "the value is left out of range";
    EXPECT_EQ(slider()->value(), 100) << "below the range: pinned to the bottom";
    EXPECT_TRUE(hasLine(nextFrame(*shared), "021050.00"));
    EXPECT_STREQ(shared->auxTracks.tag[1], "0210");

    QTest::keyClick(slider(), Qt::Key_Up);
    EXPECT_TRUE(hasLine(nextFrame(*shared), "021060.20"));
}

TEST_F(AuxTracksPageTest, NothingIsRemovedOrModifiedWithoutASelection) {
    addTrack("0145");
    clickRow(list(), 0, Qt::ControlModifier);  // deselects the line
    ASSERT_EQ(selectedSlot(), -1);
    EXPECT_EQ(text(id::kTagText), "----");
    EXPECT_FALSE(slider()->isEnabled());
    click(id::kRemoveButton);
    click(id::kModifyButton);  // would open the dialog; nothing to modify
    EXPECT_EQ(shared->auxTracks.auxTrackCount, 1);
    EXPECT_EQ(list()->count(), 1);
}

TEST_F(AuxTracksPageTest, StoresWithoutTheMutexAreDropped) {
    addTrack("0145");
    {
        testing::HeldMutex held(shared->dataMutex);
        QTest::keyClick(slider(), Qt::Key_Down);  // waits out its 1000 ms
        EXPECT_EQ(text(id::kValueText), "49.0");
        EXPECT_FLOAT_EQ(shared->auxTracks.value[0], 50.0f);

        modals.onNext([&](QWidget* dialog) {
            typeInto(control<QLineEdit>(dialog, track_id::kMaximumEdit), "20");
            QTest::mouseClick(control<QPushButton>(dialog, ids::kOk), Qt::LeftButton);
        });
        click(id::kModifyButton);
        EXPECT_EQ(text(id::kUpperBoundText), "100.0") << "the range is unchanged";
        EXPECT_EQ(lines(list()), QStringList{"0145\t    0.0\t  100.0"});
    }
    EXPECT_FLOAT_EQ(shared->auxTracks.maximum[0], 100.0f);
}

}  // namespace
}  // namespace korvane
