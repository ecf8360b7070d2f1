// The Aux Tracks and Gas Simulator pages and their dialogs as laid out from
// their templates: every text fits its control and every control lies inside.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "modal_driver.h"
#include "pages/aux_track_dialog.h"
#include "pages/aux_tracks_page.h"
#include "pages/gas_setup_dialog.h"
#include "pages/gas_simulator_page.h"
#include "resources/dialog_builder.h"
#include "tables/aux_track_ops.h"

namespace korvane {
namespace {

// Room a push button needs around its text, px: frame and focus rectangle.
constexpr int kButtonTextMargin = 6;

void expectTextsFit(const QWidget* dialog) {
    const QRect inside(QPoint(0, 0), dialog->size());
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QFontMetrics metrics(child->font());
        QString text;
        int needed = 0;
        if (auto* box = qobject_cast<const QCheckBox*>(child)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            text = box->text();
            needed =
                box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).left() +
                metrics.horizontalAdvance(text);
        } else if (auto* button = qobject_cast<const QPushButton*>(child)) {
            text = button->text();
            needed = metrics.horizontalAdvance(text) + kButtonTextMargin;
        } else if (auto* label = qobject_cast<const QLabel*>(child)) {
            text = label->text();
            needed = metrics.horizontalAdvance(text);
        }
        SCOPED_TRACE(text.toStdString() + " " + child->objectName().toStdString());
        EXPECT_TRUE(inside.contains(child->geometry()));
        EXPECT_LE(needed, child->width());
    }
}

TEST(AuxGasLayoutTest, TextsFitAndControlsStayInside) {
    auto shared = std::make_unique<SharedState>();
    const QSize pageSize(302, 134);  // dialog units
    {
        SCOPED_TRACE("empty Aux Tracks page");
        AuxTracksPage page(*shared, nullptr);
        EXPECT_EQ(
            page.size(),
            ui::toPixels(ui::baseUnitsOf(&page), 0, 0, pageSize.width(), pageSize.height()).size());
        expectTextsFit(&page);
    }
    {
        SCOPED_TRACE("Aux Tracks page with a wide range");
        addAuxTrack(shared->auxTracks, "0145", -9999.0f, 99999.0f);
        AuxTracksPage page(*shared, nullptr);
        expectTextsFit(&page);
    }
    {
        SCOPED_TRACE("Modify Auxiliary Track");
        AuxTrackEdit edit{kModifyTrack, "0145", -9999.0f, 99999.0f};
        AuxTrackDialog dialog(edit, nullptr);
        expectTextsFit(&dialog);
    }
    {
        SCOPED_TRACE("Gas Simulator page");
        shared->sim.gasMaximum = 99999.0f;
        shared->sim.gasMinimum = -9999.0f;
        GasSimulatorPage page(*shared, nullptr);
        EXPECT_EQ(
            page.size(),
            ui::toPixels(ui::baseUnitsOf(&page), 0, 0, pageSize.width(), pageSize.height()).size());
        expectTextsFit(&page);
    }
    {
        SCOPED_TRACE("Gas Simulator Setup");
        GasBounds bounds{0.0f, 100.0f};
        GasSetupDialog dialog(bounds, nullptr);
        expectTextsFit(&dialog);
    }
}

}  // namespace
}  // namespace korvane
