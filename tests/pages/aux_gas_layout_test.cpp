// The Aux Tracks and Gas Simulator pages and their dialogs as laid out from
// their templates: every text fits its control and every control lies inside.
#include <QScrollBar>
#include <memory>

#include "gui_support.h"
#include "pages/aux_track_dialog.h"
#include "pages/aux_tracks_page.h"
#include "pages/gas_setup_dialog.h"
#include "pages/gas_simulator_page.h"
#include "tables/aux_track_ops.h"

namespace korvane {
namespace {

using testing::expectTabPageSize;
using testing::expectTextsFit;
using testing::LabelRoom;

TEST(AuxGasLayoutTest, TextsFitAndControlsStayInside) {
    auto shared = std::make_unique<SharedState>();
    {
        SCOPED_TRACE("empty Aux Tracks page");
        AuxTracksPage page(*shared, nullptr);
        expectTabPageSize(&page);
        expectTextsFit(&page, LabelRoom::TextAdvance);
    }
    {
        SCOPED_TRACE("Aux Tracks page with a wide range");
        addAuxTrack(shared->auxTracks, "0145", -9999.0f, 99999.0f);
        AuxTracksPage page(*shared, nullptr);
        expectTextsFit(&page, LabelRoom::TextAdvance);
    }
    for (const int more : {2, 20}) {  // 20 more lines need a scroll bar
        SCOPED_TRACE(more);
        for (int i = 0; i < more; ++i) addAuxTrack(shared->auxTracks, "0801", -9999.0f, 100.0f);
        AuxTracksPage page(*shared, nullptr);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        EXPECT_EQ(page.findChild<QListWidget*>()->verticalScrollBar()->isVisible(), more == 20);
        expectTextsFit(&page, LabelRoom::TextAdvance);
    }
    {
        SCOPED_TRACE("Modify Auxiliary Track");
        AuxTrackEdit edit{kModifyTrack, "0145", -9999.0f, 99999.0f};
        AuxTrackDialog dialog(edit, nullptr);
        expectTextsFit(&dialog, LabelRoom::TextAdvance);
    }
    {
        SCOPED_TRACE("Gas Simulator page");
        shared->sim.gasMaximum = 99999.0f;
        shared->sim.gasMinimum = -9999.0f;
        GasSimulatorPage page(*shared, nullptr);
        expectTabPageSize(&page);
        expectTextsFit(&page, LabelRoom::TextAdvance);
    }
    {
        SCOPED_TRACE("Gas Simulator Setup");
        GasBounds bounds{0.0f, 100.0f};
        GasSetupDialog dialog(bounds, nullptr);
        expectTextsFit(&dialog, LabelRoom::TextAdvance);
    }
}

}  // namespace
}  // namespace korvane
