// The page preview control and the preview with thumbnails, outlines and
// search, driven as a user drives them (QTest clicks and wheel events on
// the offscreen platform): navigation rules, zoom rules, fits, what the
// thumbnails paint and which page they show.

#include "preview/preview.h"
#include "preview_test_support.h"

#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace vorel {
namespace {

using test::TPagesReport;

class PagePreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::SearchablePages(report, 3, 2);
        report.Prepare();
        ASSERT_EQ(report.GetNumPages(), 3);
        preview.resize(600, 400);
        preview.SetReport(&report);
        preview.show();
        preview.PageNumberChangeEvent = [this](QObject*) { ++pageEvents; };
        preview.BarNumberChangeEvent = [this](QObject*) { ++barEvents; };
        preview.ZoomChangeEvent = [this](QObject*) { ++zoomEvents; };
    }

    // A click on the sheet, at a point of the page given in parts of its size.
    void ClickSheet(Qt::MouseButton button, double relX = 0.5, double relY = 0.5)
    {
        QWidget* sheet = preview.Sheet();
        const QRect page = preview.SheetGeometry();
        QTest::mouseClick(sheet, button, {}, QPoint(int(page.width() * relX), int(page.height() * relY)));
    }

    TPagesReport report;
    TKVXPreview preview;
    int pageEvents = 0, barEvents = 0, zoomEvents = 0;
};

TEST_F(PagePreviewTest, PageAndBarChangesOutsideTheReportRaiseNoEvent)
{
    // Each row: the number set, and whether it moves the preview.
    const struct {
        int Number;
        bool Moves;
    } pageRows[] = {{0, false}, {-1, false}, {4, false}, {1, false} /* the current one */, {3, true}, {2, true}};
    int expectedEvents = 0, expectedPage = 1;
    for (const auto& row : pageRows) {
        preview.SetPageNumber(row.Number);
        if (row.Moves) {
            ++expectedEvents;
            expectedPage = row.Number;
        }
        EXPECT_EQ(pageEvents, expectedEvents) << "page " << row.Number;
        EXPECT_EQ(preview.PageNumber(), expectedPage) << "page " << row.Number;
        // The report's current page follows the preview (printing "the current page").
        EXPECT_EQ(report.intCurPage, expectedPage - 1);
    }
    preview.SetBarNumber(3);
    preview.SetBarNumber(0);
    preview.SetBarNumber(1);
    EXPECT_EQ(barEvents, 0);
    preview.SetBarNumber(2);
    EXPECT_EQ(barEvents, 1);
    EXPECT_EQ(report.intCurBar, 1);
    EXPECT_EQ(preview.ShownPage(), report.GetPage(1, 1));

    TKVXPreview alone; // no report: nothing moves
    alone.SetPageNumber(2);
    EXPECT_EQ(alone.PageNumber(), 1);
}

TEST_F(PagePreviewTest, ZoomRules)
{
    // Each row: the zoom before, the value set or the click, the zoom after.
    preview.SetZoomByClick(zcInc);
    const struct {
        const char* What;
        int Before;
        std::function<void()> Act;
        int After;
    } rows[] = {
        {"0 gives 100", 150, [&] { preview.SetZoom(0); }, 100},
        {"negative gives 100", 150, [&] { preview.SetZoom(-20); }, 100},
        {"below the range", 100, [&] { preview.SetZoom(3); }, kMinZoom},
        {"above the range", 100, [&] { preview.SetZoom(99999); }, kMaxZoom},
        {"left click in zoom-in mode", 100, [&] { ClickSheet(Qt::LeftButton); }, 150},
        {"right click in zoom-in mode", 100, [&] { ClickSheet(Qt::RightButton); }, 66},
        {"zooming out from the smallest zoom stays", kMinZoom, [&] { ClickSheet(Qt::RightButton); }, kMinZoom},
        {"zooming out from 14 does not jump", 14, [&] { ClickSheet(Qt::RightButton); }, kMinZoom},
        {"zooming in from the largest stays", kMaxZoom, [&] { ClickSheet(Qt::LeftButton, 0.1, 0.1); }, kMaxZoom},
    };
    for (const auto& row : rows) {
        preview.SetZoom(row.Before);
        row.Act();
        EXPECT_EQ(preview.Zoom(), row.After) << row.What;
    }
    preview.SetZoomByClick(zcDec);
    preview.SetZoom(100);
    ClickSheet(Qt::LeftButton);
    EXPECT_EQ(preview.Zoom(), 66) << "left click in zoom-out mode";
    preview.SetZoomByClick(zcNone);
    ClickSheet(Qt::LeftButton);
    EXPECT_EQ(preview.Zoom(), 66) << "no zoom without a zoom mode";

    const int events = zoomEvents;
    preview.SetZoom(66);
    EXPECT_EQ(zoomEvents, events) << "an unchanged zoom raises no event";
}

TEST_F(PagePreviewTest, ClickedPointComesToTheMiddle)
{
    preview.SetZoomByClick(zcInc);
    preview.SetZoom(200);
    ClickSheet(Qt::LeftButton, 0.75, 0.75);
    ASSERT_EQ(preview.Zoom(), 300);
    const QRect sheet = preview.SheetGeometry();
    const QPoint clicked(sheet.left() + sheet.width() * 3 / 4, sheet.top() + sheet.height() * 3 / 4);
    const QPoint middle(preview.horizontalScrollBar()->value() + preview.viewport()->width() / 2,
                        preview.verticalScrollBar()->value() + preview.viewport()->height() / 2);
    EXPECT_NEAR(clicked.x(), middle.x(), 2);
    EXPECT_NEAR(clicked.y(), middle.y(), 2);
}

TEST_F(PagePreviewTest, FitToWidthAndPage)
{
    preview.SetZoom(preview.GetZoomFitToWidth());
    QCoreApplication::processEvents();
    const QRect sheet = preview.SheetGeometry();
    // The page fills the width: no horizontal scrolling, one percent more would not fit.
    EXPECT_EQ(preview.horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(sheet.right() + 1 + preview.GetOffset() / 2, preview.viewport()->width());
    EXPECT_GT((preview.Zoom() + 1) * 400 / 100 + preview.GetOffset(), preview.viewport()->width());
    EXPECT_GT(preview.verticalScrollBar()->maximum(), 0) << "a 400 x 600 page is taller than the window at that width";

    preview.SetZoom(preview.GetZoomFitToPage());
    QCoreApplication::processEvents();
    EXPECT_EQ(preview.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(preview.verticalScrollBar()->maximum(), 0) << "the whole page is in view";

    TKVXPreview empty; // no page: both fits are 100
    EXPECT_EQ(empty.GetZoomFitToWidth(), 100);
    EXPECT_EQ(empty.GetZoomFitToPage(), 100);
}

TEST_F(PagePreviewTest, WheelScrollsThreeStepsPerNotch)
{
    preview.SetZoom(300);
    QScrollBar* bar = preview.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 6 * bar->singleStep());
    const auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers = {}) {
        const QPointF at(100, 100);
        QWheelEvent event(at, preview.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(preview.viewport(), &event);
    };
    wheel(-120);
    EXPECT_EQ(bar->value(), 3 * bar->singleStep()) << "down for a negative delta";
    wheel(-60);
    wheel(-60); // two halves of a notch make one
    EXPECT_EQ(bar->value(), 6 * bar->singleStep());
    wheel(120);
    EXPECT_EQ(bar->value(), 3 * bar->singleStep());
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(preview.Zoom(), 450) << "Ctrl with the wheel zooms";
}

TEST_F(PagePreviewTest, ThumbnailsPaintTheirOwnPagesAndOnlyAClickMovesThePage)
{
    // Page 1 is dark in its top half, page 2 in its bottom half.
    report.Bars = 1;
    report.Drawers = {
        [](TCanvas& c, int, int) { c.Brush()->SetColor(clBlack); c.Brush()->SetStyle(bsSolid); c.FillRect(Rect(0, 0, 400, 300)); },
        [](TCanvas& c, int, int) { c.Brush()->SetColor(clBlack); c.Brush()->SetStyle(bsSolid); c.FillRect(Rect(0, 300, 400, 600)); },
        [](TCanvas&, int, int) {},
    };
    report.Prepare();
    preview.PagesChanged();
    preview.SetShowThumbnails(true);
    ASSERT_TRUE(preview.ThumbContainer());
    QWidget* strip = preview.ThumbContainer()->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
    ASSERT_TRUE(strip);
    const QImage painted = strip->grab().toImage();
    const auto half = [&](int page, bool top) {
        QRect r = preview.ThumbnailRect(page).adjusted(8, 8, -8, -8);
        return top ? r.adjusted(0, 0, 0, -r.height() / 2) : r.adjusted(0, r.height() / 2, 0, 0);
    };
    EXPECT_GT(test::DarkShare(painted, half(1, true)), 0.5);
    EXPECT_LT(test::DarkShare(painted, half(1, false)), 0.1);
    EXPECT_LT(test::DarkShare(painted, half(2, true)), 0.1);
    EXPECT_GT(test::DarkShare(painted, half(2, false)), 0.5);
    EXPECT_EQ(preview.PageNumber(), 1) << "painting thumbnails moves no page";
    EXPECT_EQ(report.intCurPage, 0);

    QTest::mouseClick(strip, Qt::LeftButton, {}, preview.ThumbnailRect(3).center());
    EXPECT_EQ(preview.PageNumber(), 3);
    EXPECT_EQ(report.intCurPage, 2);
    EXPECT_EQ(pageEvents, 1);
    // The viewport of the page stands right of the strip.
    EXPECT_GE(preview.viewport()->geometry().left(), preview.ThumbContainer()->geometry().right());

    preview.SetShowThumbnails(false);
    EXPECT_FALSE(preview.ThumbContainer());
}

TEST_F(PagePreviewTest, OutlineClickShowsItsPageAndBar)
{
    TKVXOutline* entry = report.Outlines()->Add();
    entry->SetText(QStringLiteral("Third page, second bar"));
    entry->SetPageNo(2);
    entry->SetBarNo(1);
    report.Outlines()->Add()->SetText(QStringLiteral("First"));

    preview.SetShowOutlines(true);
    EXPECT_FALSE(preview.ShowOutlines()) << "stays off until enabled";
    preview.SetEnableOutlines(true);
    preview.SetShowOutlines(true);
    QListWidget* list = preview.OutlineList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Third page, second bar"));
    EXPECT_EQ(list->visualItemRect(list->item(0)).height(), 18);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(preview.PageNumber(), 3);
    EXPECT_EQ(preview.BarNumber(), 2);
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST_F(PagePreviewTest, SearchModesAndScopes)
{
    TKVXFindOptions any{QStringLiteral("total"), TFindMode::AnyPosition, false, false};
    EXPECT_FALSE(preview.Search(any)) << "page 1 has no SUBTOTAL: with the current-page scope";
    EXPECT_EQ(preview.PageNumber(), 1);

    any.Global = true;
    EXPECT_TRUE(preview.Search(any)) << "global: goes to the first page with a match";
    EXPECT_EQ(preview.PageNumber(), 3);
    ASSERT_EQ(preview.HighlightRects().size(), 1);
    EXPECT_EQ(preview.HighlightRects()[0].Background, clYellow);

    TKVXFindOptions beginning = any;
    beginning.Mode = TFindMode::Beginning;
    EXPECT_FALSE(preview.Search(beginning)) << "SUBTOTAL: does not begin with total";
    EXPECT_TRUE(preview.HighlightRects().isEmpty());

    // From the last page the search wraps round to the first.
    TKVXFindOptions first{QStringLiteral("page 0 bar 0"), TFindMode::Exact, true, true};
    EXPECT_TRUE(preview.Search(first));
    EXPECT_EQ(preview.PageNumber(), 1);
    // Every bar is searched: bar 2's pages follow bar 1's.
    TKVXFindOptions otherBar{QStringLiteral("page 1 bar 1"), TFindMode::Exact, true, true};
    EXPECT_TRUE(preview.Search(otherBar));
    EXPECT_EQ(preview.PageNumber(), 2);
    EXPECT_EQ(preview.BarNumber(), 2);
    EXPECT_EQ(preview.HighlightRects().size(), 1);

    // Find next with one match in the report comes back to it.
    EXPECT_TRUE(preview.FindNext());
    EXPECT_EQ(preview.PageNumber(), 2);
}

TEST_F(PagePreviewTest, HighlightsAreClearedWhenThePageOrBarChanges)
{
    TKVXFindOptions find{QStringLiteral("page"), TFindMode::Beginning, false, false};
    ASSERT_TRUE(preview.Search(find));
    ASSERT_EQ(preview.HighlightRects().size(), 1);
    preview.SetPageNumber(2);
    EXPECT_TRUE(preview.HighlightRects().isEmpty()) << "page change";
    ASSERT_TRUE(preview.Search(find));
    preview.SetBarNumber(2);
    EXPECT_TRUE(preview.HighlightRects().isEmpty()) << "bar change";
}

TEST_F(PagePreviewTest, HighlightIsPaintedUnderTheText)
{
    preview.SetZoom(100);
    TKVXFindOptions find{QStringLiteral("page 0"), TFindMode::Beginning, false, false};
    ASSERT_TRUE(preview.Search(find));
    const TRect r = preview.HighlightRects()[0].r;
    const QImage sheet = preview.Sheet()->grab().toImage();
    // A pixel of the rectangle's edge, where no glyph stands: yellow.
    const QColor c = sheet.pixelColor(r.Left + 1, r.Top + 1);
    EXPECT_EQ(c, QColor(Qt::yellow)) << c.name().toStdString();
}

TEST_F(PagePreviewTest, FreeingTheReportLeavesAnEmptyPreview)
{
    auto* doomed = new TPagesReport;
    test::SearchablePages(*doomed, 3);
    doomed->Prepare();
    TKVXPreview other;
    other.resize(400, 300);
    other.SetReport(doomed);
    other.SetShowThumbnails(true);
    other.show();
    other.SetPageNumber(2);
    delete doomed;
    EXPECT_EQ(other.Report(), nullptr);
    EXPECT_EQ(other.ShownPage(), nullptr);
    other.SetPageNumber(3);
    other.SetZoom(200);
    EXPECT_FALSE(other.Search({QStringLiteral("page"), TFindMode::AnyPosition, false, true}));
    EXPECT_FALSE(other.grab().isNull()); // paints without the report
}

} // namespace
} // namespace vorel
