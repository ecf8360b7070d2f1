#include "resources/dialog_builder.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "resources/ip_address_edit.h"

namespace korvane::ui {
namespace {

constexpr DialogItem kItems[] = {
    {kNoId, ControlKind::GroupBox, "Frame", 4, 4, 100, 60},
    {10, ControlKind::Static, "Left", 8, 16, 40, 8},
    {11, ControlKind::Static, "-.--", 50, 16, 40, 10, kSunken | kRightAligned},
    {12, ControlKind::Edit, "", 8, 30, 28, 12, kDisabled},
    {13, ControlKind::PushButton, "Cancel", 120, 8, 50, 14},
    {14, ControlKind::DefaultButton, "OK", 120, 26, 50, 14},
    {15, ControlKind::CheckBox, "Check", 8, 46, 60, 10},
    {20, ControlKind::RadioButton, "A", 120, 50, 30, 10, kGroupStart},
    {21, ControlKind::RadioButton, "B", 120, 62, 30, 10},
    {22, ControlKind::RadioButton, "C", 160, 50, 30, 10, kGroupStart},
    {23, ControlKind::RadioButton, "D", 160, 62, 30, 10},
    {30, ControlKind::ComboEditable, "", 8, 70, 60, 71},
    {31, ControlKind::ComboList, "", 70, 70, 60, 71},
    {32, ControlKind::ListBox, "", 8, 90, 60, 40, kSorted},
    {33, ControlKind::Slider, "", 140, 80, 20, 60, kVertical | kTicksBoth},
    {34, ControlKind::IpAddress, "", 70, 100, 89, 12},
};
constexpr DialogTemplate kTestTemplate{900, "Test Dialog", 200, 150, kItems};

class DialogBuilderTest : public ::testing::Test {
protected:
    void SetUp() override { buildDialog(kTestTemplate, &dialog); }
    QDialog dialog;
};

TEST_F(DialogBuilderTest, BaseUnitsFollowTheDialogFont) {
    const BaseUnits units = baseUnitsOf(&dialog);
    const QFontMetrics metrics(dialogFont());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(units.x, (letters / 26 + 1) / 2);
    EXPECT_EQ(units.y, metrics.height());
    EXPECT_EQ(dialog.font(), dialogFont());
}

TEST(DialogUnits, ConvertWithIntegerDivision) {
    struct Case {
        const char* legend;
        BaseUnits units;
        int x, y, w, h;
        QRect expected;
    };
    const Case cases[] = {
        {"classic 6x13 font", {6, 13}, 7, 3, 103, 36, QRect(10, 4, 154, 58)},
        {"whole tab page", {6, 13}, 0, 0, 302, 134, QRect(0, 0, 453, 217)},
        {"larger font", {7, 16}, 13, 16, 36, 12, QRect(22, 32, 63, 24)},
        {"zero rectangle", {6, 13}, 0, 0, 0, 0, QRect(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(toPixels(c.units, c.x, c.y, c.w, c.h), c.expected);
    }
}

TEST_F(DialogBuilderTest, DialogTakesTemplateSizeAndCaption) {
    const BaseUnits units = baseUnitsOf(&dialog);
    EXPECT_EQ(dialog.size(), toPixels(units, 0, 0, 200, 150).size());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Test Dialog"));
}

TEST_F(DialogBuilderTest, EveryKindBecomesItsWidgetAtItsRectangle) {
    const BaseUnits units = baseUnitsOf(&dialog);
    for (const DialogItem& item : kItems) {
        if (item.id == kNoId) continue;
        SCOPED_TRACE(item.id);
        auto* widget = control<QWidget>(&dialog, item.id);
        ASSERT_NE(widget, nullptr);
        const QRect rect = toPixels(units, item.x, item.y, item.w, item.h);
        EXPECT_EQ(widget->pos(), rect.topLeft());
        EXPECT_EQ(widget->width(), rect.width());
        // Combo boxes take their own height; the template's is the open list's.
        if (qobject_cast<QComboBox*>(widget)) {
            EXPECT_EQ(widget->height(), widget->sizeHint().height());
        } else {
            EXPECT_EQ(widget->height(), rect.height());
        }
    }
    EXPECT_NE(control<QLabel>(&dialog, 10), nullptr);
    EXPECT_NE(control<QLineEdit>(&dialog, 12), nullptr);
    EXPECT_NE(control<QCheckBox>(&dialog, 15), nullptr);
    EXPECT_NE(control<QRadioButton>(&dialog, 20), nullptr);
    EXPECT_NE(control<IpAddressEdit>(&dialog, 34), nullptr);
    EXPECT_EQ(control<QCheckBox>(&dialog, 10), nullptr) << "a label is not a check box";
    EXPECT_EQ(control<QWidget>(&dialog, 99), nullptr) << "no such id";
    EXPECT_EQ(dialog.findChildren<QGroupBox*>().size(), 1);
    EXPECT_EQ(dialog.findChild<QGroupBox*>()->title(), QStringLiteral("Frame"));
}

TEST_F(DialogBuilderTest, StylesReachTheWidgets) {
    auto* sunken = control<QLabel>(&dialog, 11);
    EXPECT_EQ(sunken->frameStyle(), QFrame::Panel | QFrame::Sunken);
    EXPECT_EQ(sunken->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(control<QLabel>(&dialog, 10)->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(control<QLineEdit>(&dialog, 12)->isEnabled());
    EXPECT_TRUE(control<QPushButton>(&dialog, 14)->isDefault());
    EXPECT_FALSE(control<QPushButton>(&dialog, 13)->isDefault());
    EXPECT_TRUE(control<QComboBox>(&dialog, 30)->isEditable());
    EXPECT_FALSE(control<QComboBox>(&dialog, 31)->isEditable());
    EXPECT_TRUE(control<QListWidget>(&dialog, 32)->isSortingEnabled());
    auto* slider = control<QSlider>(&dialog, 33);
    EXPECT_EQ(slider->orientation(), Qt::Vertical);
    EXPECT_EQ(slider->tickPosition(), QSlider::TicksBothSides);
}

TEST_F(DialogBuilderTest, RadioGroupsStartAtTheirFirstButton) {
    auto* a = control<QRadioButton>(&dialog, 20);
    auto* b = control<QRadioButton>(&dialog, 21);
    auto* c = control<QRadioButton>(&dialog, 22);
    auto* d = control<QRadioButton>(&dialog, 23);
    ASSERT_NE(a->group(), nullptr);
    EXPECT_EQ(a->group(), b->group());
    EXPECT_EQ(c->group(), d->group());
    EXPECT_NE(a->group(), c->group());
    a->setChecked(true);
    c->setChecked(true);
    EXPECT_TRUE(a->isChecked()) << "checking C must not clear the other group";
    b->setChecked(true);
    EXPECT_FALSE(a->isChecked());
    EXPECT_TRUE(c->isChecked());
}

TEST(IpAddressEditTest, OctetsRoundTripAndEmptyReadsZero) {
    IpAddressEdit edit;
    edit.setOctets({192, 168, 1, 100});
    EXPECT_EQ(edit.octets(), (std::array<int, 4>{192, 168, 1, 100}));
    edit.field(2)->clear();
    EXPECT_EQ(edit.octets(), (std::array<int, 4>{192, 168, 0, 100}));
    int pos = 0;
    QString tooBig = QStringLiteral("256");
    EXPECT_NE(edit.field(0)->validator()->validate(tooBig, pos), QValidator::Acceptable);
}

TEST(IpAddressEditTest, DotsAndThirdDigitsMoveToTheNextField) {
    IpAddressEdit edit;
    edit.setOctets({0, 0, 0, 0});
    edit.show();
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    struct Case {
        const char* typed;
        std::array<int, 4> octets;
    };
    const Case cases[] = {{"10.0.0.7", {10, 0, 0, 7}}, {"192168001100", {192, 168, 1, 100}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        edit.field(0)->setFocus();
        edit.field(0)->selectAll();
        for (QChar key : QString::fromLatin1(c.typed)) {
            ASSERT_NE(QApplication::focusWidget(), nullptr);
            QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
        }
        EXPECT_EQ(edit.octets(), c.octets);
    }
}

// Keys sent to the control itself, as the Windows address control takes them,
// from an empty address (or one showing 0.0.0.0): '\b' is Backspace, '\x16'
// Ctrl+V, '@' a click at the left end of the first octet.
TEST(IpAddressEditTest, KeysGiveTheAddressTheWindowsControlWould) {
    const struct {
        const char* legend;
        const char* clipboard;
        const char* keys;
        std::array<int, 4> octets;
        bool shownZeros = false;
    } cases[] = {
        {"dot after a full octet swallowed", "", "127.1.2.3", {127, 1, 2, 3}},
        {"dot after a short octet moves on", "", "127.0.0.1", {127, 0, 0, 1}},
        {"the default peer", "", "192.168.1.100", {192, 168, 1, 100}},
        {"Backspace in an empty octet goes back", "", "12.3\b\b5", {125, 0, 0, 0}},
        {"256 and above held at 255", "", "256999.7", {255, 255, 7, 0}},
        {"pasted address fills all four", "10.20.30.4\n", "1\x16", {10, 20, 30, 4}},
        {"a click selects the octet it gives", "", "@127.0.0.1", {127, 0, 0, 1}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        IpAddressEdit edit;
        if (c.shownZeros) edit.setOctets({0, 0, 0, 0});
        edit.show();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(c.clipboard));
        for (const char key : std::string(c.keys))
            if (key == '@')
                QTest::mouseClick(edit.field(0), Qt::LeftButton, {}, QPoint(2, 2));
            else
                QTest::keyClick(&edit, key == '\x16' ? 'v' : key,
                                key == '\x16' ? Qt::ControlModifier : Qt::NoModifier);
        EXPECT_EQ(edit.octets(), c.octets);
    }
}

}  // namespace
}  // namespace korvane::ui
