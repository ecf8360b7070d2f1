// The Aux Tracks and Gas Simulator pages and their dialogs as laid out from
// their templates: every text fits its control and every control lies inside.
#include <QListWidget>
#include <QScrollBar>
#include <memory>

#include "gui_support.h"
#include "pages/aux_track_dialog.h"
#include "pages/aux_tracks_page.h"
#include "pages/gas_setup_dialog.h"
#include "pages/gas_simulator_page.h"
#include "resources/control_ids.h"
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

// Each field of each track line fits its column, whether or not the list
// shows a scroll bar, which narrows its viewport.
TEST(AuxGasLayoutTest, TrackListColumnsHoldTheirTexts) {
    struct Case {
        const char* legend;
        int tracks;
        bool scrollBar;
    };
    const Case cases[] = {{"a few tracks", 3, false}, {"enough tracks for a scroll bar", 20, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        auto shared = std::make_unique<SharedState>();
        for (int i = 0; i < c.tracks; ++i) {
            const bool wide = i % 2 == 0;
            addAuxTrack(shared->auxTracks, std::to_string(800 + i), wide ? -9999.0f : 0.0f,
                        wide ? 99999.0f : 100.0f);
        }
        AuxTracksPage page(*shared, nullptr);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        auto* list = ui::control<QListWidget>(&page, ids::aux_tracks::kTrackList);
        EXPECT_EQ(list->verticalScrollBar()->isVisible(), c.scrollBar);
        const QFontMetrics metrics(list->font());
        for (int row = 0; row < list->count(); ++row) {
            const QStringList fields = list->item(row)->text().split('\t');
            const std::vector<int> edges = ui::tabStopColumns(list, int(fields.size()));
            EXPECT_LE(edges.back(), list->viewport()->width());
            for (int k = 0; k < fields.size(); ++k) {
                EXPECT_LE(metrics.horizontalAdvance(fields[k]), edges[k + 1] - edges[k])
                    << "row " << row << ": \"" << fields[k].toStdString() << '"';
            }
        }
    }
}

}  // namespace
}  // namespace korvane
