// The Options page and its dialogs as laid out from their templates: every
// text fits its control and every control lies inside its dialog. With
// KORVANE_SCREENSHOT_DIR set, the Define WITS Records dialog is also saved
// there as define-records.png for the documentation.
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>
#include <memory>

#include "gui_support.h"
#include "pages/define_records_dialog.h"
#include "pages/edit_depths_dialog.h"
#include "pages/options_page.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"

namespace korvane {
namespace {

using testing::expectTabPageSize;
using testing::expectTextsFit;

TEST(OptionsLayoutTest, TextsFitAndControlsStayInside) {
    testing::TempWorkingDir dir;
    auto shared = std::make_unique<SharedState>();
    {
        SCOPED_TRACE("Options page");
        QWidget host;
        OptionsPage page(*shared, &host);
        expectTabPageSize(&page);
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
    testing::TempWorkingDir dir;
    auto shared = std::make_unique<SharedState>();
    DefineRecordsDialog dialog(*shared, nullptr, dir.path());
    auto* value = ui::control<QLineEdit>(&dialog, ids::define_records::kValueEdit);
    auto* add = ui::control<QPushButton>(&dialog, ids::define_records::kAddButton);
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
