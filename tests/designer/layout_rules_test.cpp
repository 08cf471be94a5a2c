// The designer's geometry rules on the model alone: handle zones, sizing by
// handle, band changes of dragged controls, alignment and spacing, keyboard
// sizing, and the grid step guard.

#include "designer/designer_options.h"
#include "designer/layout_rules.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

struct ReportFixture : ::testing::Test {
    TKVReport report; // page header, detail, page footer, 100 pixels each
    TKVXBand* Band(int i) { return report.GetBand(i); }
    TKVXControl* Add(int band, int left, int top, int width = 50, int height = 20)
    {
        TKVXControl* c = Band(band)->Object(Band(band)->AddElement(&TKVXLabel::staticMetaObject));
        c->SetLeft(left);
        c->SetTop(top);
        c->SetWidth(width);
        c->SetHeight(height);
        return c;
    }
};

TEST(HitZone, FindsTheHandleWithinFivePixels)
{
    // A control 50 x 20: halves 25 and 10.
    struct Row {
        int x, y;
        TKVXControlResize zone;
    } rows[] = {
        {0, 0, scrLeftTop},    {5, 5, scrLeftTop},      {0, 10, scrLeft},       {3, 15, scrLeft},
        {0, 16, scrLeftBottom}, {2, 20, scrLeftBottom}, {25, 0, scrTop},        {20, 3, scrTop},
        {30, 18, scrBottom},   {45, 0, scrRightTop},    {50, 10, scrRight},     {47, 20, scrRightBottom},
        {6, 0, scrNone},       {25, 10, scrNone},       {31, 0, scrNone},       {44, 10, scrNone},
    };
    for (const Row& row : rows)
        EXPECT_EQ(HitZone(row.x, row.y, 50, 20), row.zone) << row.x << "," << row.y;
}

TEST_F(ReportFixture, SizingByHandleNeverCrossesTheOppositeEdge)
{
    TKVXControl* c = Add(1, 10, 10, 50, 20);
    ResizeByZone(c, scrLeft, 60, 5); // past the right edge: W > x fails
    EXPECT_EQ(c->Left(), 10);
    EXPECT_EQ(c->Width(), 50);
    ResizeByZone(c, scrRight, 0, 5); // the right edge never makes the width 0
    EXPECT_EQ(c->Width(), 50);
    ResizeByZone(c, scrLeftTop, 10, 5);
    EXPECT_EQ(c->Left(), 20);
    EXPECT_EQ(c->Width(), 40);
    EXPECT_EQ(c->Top(), 15);
    EXPECT_EQ(c->Height(), 15);
    ResizeByZone(c, scrRightBottom, 70, 30);
    EXPECT_EQ(c->Width(), 70);
    EXPECT_EQ(c->Height(), 30);
}

TEST_F(ReportFixture, DraggedControlsChangeBandsAtTheEdges)
{
    TKVXControl* top = Add(0, 10, -5);
    FitIntoBands(top); // above the first band: stays, Top 0
    EXPECT_EQ(top->GetParentBand(), Band(0));
    EXPECT_EQ(top->Top(), 0);

    TKVXControl* up = Add(1, 10, -1);
    FitIntoBands(up); // into the page header, bottom-aligned
    EXPECT_EQ(up->GetParentBand(), Band(0));
    EXPECT_EQ(up->Top(), 100 - 20);

    TKVXControl* down = Add(1, 10, 81);
    FitIntoBands(down); // 81 + 20 > 100: into the page footer at Top 0
    EXPECT_EQ(down->GetParentBand(), Band(2));
    EXPECT_EQ(down->Top(), 0);

    TKVXControl* last = Add(2, 10, 90);
    FitIntoBands(last); // the last band grows to the bottom plus 21
    EXPECT_EQ(last->GetParentBand(), Band(2));
    EXPECT_EQ(Band(2)->Height(), 90 + 20 + 21);
}

TEST_F(ReportFixture, AlignmentCommands)
{
    TKVXControl* a = Add(1, 10, 5, 40, 10);
    TKVXControl* b = Add(1, 30, 20, 60, 30);
    const QList<TKVXControl*> both{a, b};
    AlignControls(both, acAlignRights);
    EXPECT_EQ(a->Left(), 50); // max right 90 - 40
    EXPECT_EQ(b->Left(), 30);
    AlignControls(both, acAlignLefts);
    EXPECT_EQ(a->Left(), 30);
    AlignControls(both, acAlignVerticalCenters); // (50 + 5 - h) / 2
    EXPECT_EQ(a->Top(), 22);
    EXPECT_EQ(b->Top(), 12);
    AlignControls(both, acAlignBottoms);
    EXPECT_EQ(a->Top(), 32);
    EXPECT_EQ(b->Top(), 12);
    AlignControls(both, acCenterHorizontally, 300);
    EXPECT_EQ(a->Left(), 130);
    EXPECT_EQ(b->Left(), 120);
    AlignControls(both, acCenterVertically); // in the 100-pixel band
    EXPECT_EQ(a->Top(), 45);
    EXPECT_EQ(b->Top(), 35);
}

// The classic spacing moved the controls in selection order and stepped by
// (max - min) / n: with the selection out of order, it reordered them and
// left the last gap wider.
TEST_F(ReportFixture, SpaceEquallyOrdersByPositionAndStepsByTheGaps)
{
    TKVXControl* c = Add(1, 300, 0);
    TKVXControl* a = Add(1, 0, 0);
    TKVXControl* d = Add(1, 20, 0);
    TKVXControl* b = Add(1, 90, 0);
    AlignControls({c, a, d, b}, acSpaceHorizontally);
    EXPECT_EQ(a->Left(), 0);
    EXPECT_EQ(d->Left(), 100);
    EXPECT_EQ(b->Left(), 200);
    EXPECT_EQ(c->Left(), 300);

    TKVXControl* x = Add(1, 0, 7);
    TKVXControl* y = Add(1, 0, 50);
    AlignControls({y, x}, acSpaceVertically); // two controls: nothing moves
    EXPECT_EQ(x->Top(), 7);
    EXPECT_EQ(y->Top(), 50);
}

TEST_F(ReportFixture, KeyboardSizingStopsAtOnePixel)
{
    TKVXControl* c = Add(1, 10, 10, 1, 2);
    NudgeControls({c}, -1, 0, true);
    EXPECT_EQ(c->Width(), 1);
    NudgeControls({c}, 0, -1, true);
    EXPECT_EQ(c->Height(), 1);
    NudgeControls({c}, 1, 1, true);
    EXPECT_EQ(c->Width(), 2);
    NudgeControls({c}, 1, -1, false);
    EXPECT_EQ(c->Left(), 11);
    EXPECT_EQ(c->Top(), 9);
}

TEST(DesignerOptions, GridStepBelowOneIsOne)
{
    TKVXDOptions options;
    options.SetGridSizeX(0);
    options.SetGridSizeY(-3);
    EXPECT_EQ(options.GridSizeX(), 1);
    EXPECT_EQ(options.GridSizeY(), 1);
    EXPECT_EQ(SnapToGrid(13, 0), 13); // no division by zero either way

    QTemporaryDir dir;
    QSettings settings(dir.filePath("designer.ini"), QSettings::IniFormat);
    TKVXDOptions saved;
    saved.SnapToGrid = true;
    saved.SetGridSizeX(5);
    saved.Toolbars = rtStandard | rtAlignment;
    saved.Save(settings);
    settings.setValue("GridSizeY", 0); // an edited or broken settings file
    TKVXDOptions loaded;
    loaded.Load(settings);
    EXPECT_TRUE(loaded.SnapToGrid);
    EXPECT_EQ(loaded.GridSizeX(), 5);
    EXPECT_EQ(loaded.GridSizeY(), 1);
    EXPECT_EQ(loaded.Toolbars, rtStandard | rtAlignment);
    EXPECT_EQ(settings.value("Version").toString().isEmpty(), false);
}

TEST(SnapToGrid, RoundsTowardZero)
{
    EXPECT_EQ(SnapToGrid(15, 8), 8);
    EXPECT_EQ(SnapToGrid(16, 8), 16);
    EXPECT_EQ(SnapToGrid(-7, 8), 0);
    EXPECT_EQ(SnapToGrid(-9, 8), -8);
}

} // namespace
} // namespace vorel
