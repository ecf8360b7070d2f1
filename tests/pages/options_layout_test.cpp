// The Options page and its dialogs as laid out from their templates: every
// text fits its control and every control lies inside its dialog. With
// KORVANE_SCREENSHOT_DIR set, the Define WITS Records dialog is also saved
// there as define-records.png for the documentation.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <memory>

#include "options_gui_support.h"
#include "pages/define_records_dialog.h"
#include "pages/edit_depths_dialog.h"
#include "pages/options_page.h"
#include "resources/dialog_builder.h"

namespace korvane {
namespace {

// Room a push button needs around its text, px: frame and focus rectangle.
constexpr int kButtonTextMargin = 6;

void expectTextsFit(const QWidget* dialog) {
    const QRect inside(QPoint(0, 0), dialog->size());
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisibleTo(dialog)) continue;
        const QFontMetrics metrics(child->font());
        QString text;
        int needed = 0;
        if (auto* box = qobject_cast<const QCheckBox*>(child)) {
            // The text starts where the style puts the box's contents.
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            const QRect contents =
                box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            text = box->text();
            needed = contents.left() + metrics.horizontalAdvance(text);
        } else if (auto* button = qobject_cast<const QPushButton*>(child)) {
            text = button->text();
            needed = metrics.horizontalAdvance(text) + kButtonTextMargin;
        } else if (auto* label = qobject_cast<const QLabel*>(child)) {
            text = label->text();
            needed = label->sizeHint().width();
        } else if (auto* group = qobject_cast<const QGroupBox*>(child)) {
            text = group->title();
            needed = metrics.horizontalAdvance(text);
        }
        SCOPED_TRACE(text.toStdString() + " " + child->objectName().toStdString());
        EXPECT_TRUE(inside.contains(child->geometry()));
        EXPECT_LE(needed, child->width());
    }
}

TEST(OptionsLayoutTest, TextsFitAndControlsStayInside) {
    test::TempWorkingDir dir;
    auto shared = std::make_unique<SharedState>();
    {
        SCOPED_TRACE("Options page");
        QWidget host;
        OptionsPage page(*shared, &host);
        EXPECT_EQ(page.size(), ui::toPixels(ui::baseUnitsOf(&page), 0, 0, 302, 134).size());
        expectTextsFit(&page);
    }
    {
        SCOPED_TRACE("Edit Depths");
        DepthPair depths;
        EditDepthsDialog dialog(depths, nullptr);
        expectTextsFit(&dialog);
    }
    {
        SCOPED_TRACE("Define WITS Records");
        DefineRecordsDialog dialog(*shared, nullptr, dir.path());
        expectTextsFit(&dialog);
    }
}

TEST(OptionsLayoutTest, DefineRecordsDialogPicture) {
    const char* folder = std::getenv("KORVANE_SCREENSHOT_DIR");
    if (folder == nullptr) GTEST_SKIP() << "KORVANE_SCREENSHOT_DIR not set";
    test::TempWorkingDir dir;
    auto shared = std::make_unique<SharedState>();
    DefineRecordsDialog dialog(*shared, nullptr, dir.path());
    auto* value = ui::control<QLineEdit>(&dialog, 1013);
    auto* add = ui::control<QPushButton>(&dialog, 1060);
    for (const char* typed : {"250", "0.75", "12.5"}) {
        value->clear();
        QTest::keyClicks(value, typed);
        QTest::mouseClick(add, Qt::LeftButton);
    }
    dialog.show();
    QApplication::processEvents();
    const QString path = QString::fromLocal8Bit(folder) + "/define-records.png";
    EXPECT_TRUE(dialog.grab().save(path, "PNG")) << path.toStdString();
}

}  // namespace
}  // namespace korvane
