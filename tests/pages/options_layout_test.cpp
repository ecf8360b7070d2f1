// The Options page and its dialogs as laid out from their templates: every
// text fits its control and every control lies inside its dialog.
#include <memory>

#include "gui_support.h"
#include "pages/define_records_dialog.h"
#include "pages/edit_depths_dialog.h"
#include "pages/options_page.h"

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

}  // namespace
}  // namespace korvane
