// What the find dialog's modes match, text records in every form (wide,
// 8-bit in its code page, small), and the margin lines at the page offsets.

#include "preview/page_paint.h"
#include "preview/text_search.h"
#include "preview_test_support.h"

#include <QPainter>

namespace vorel {
namespace {

TEST(TextSearch, ModesAndCase)
{
    // Each row: record text, search text, mode, case-sensitive, match.
    const struct {
        const char* Text;
        const char* Search;
        TFindMode Mode;
        bool CaseSensitive;
        bool Matches;
    } rows[] = {
        {"SUBTOTAL:", "total", TFindMode::AnyPosition, false, true},
        {"SUBTOTAL:", "total", TFindMode::Beginning, false, false},
        {"SUBTOTAL:", "total", TFindMode::AnyPosition, true, false},
        {"SUBTOTAL:", "subtotal", TFindMode::Beginning, false, true},
        {"SUBTOTAL:", "SUBTOTAL", TFindMode::Exact, true, false},
        {"SUBTOTAL:", "subtotal:", TFindMode::Exact, false, true},
        {"Ärger", "ä", TFindMode::Beginning, false, true},
        {"Итого", "ИТОГО", TFindMode::Exact, false, true},
        {"anything", "", TFindMode::AnyPosition, false, false},
    };
    for (const auto& row : rows) {
        const TKVXFindOptions options{QString::fromUtf8(row.Search), row.Mode, row.CaseSensitive, true};
        EXPECT_EQ(TextMatches(QString::fromUtf8(row.Text), options), row.Matches)
            << row.Text << " / " << row.Search << " mode " << int(row.Mode);
    }
}

TEST(TextSearch, EightBitRecordsAreDecodedInTheirCodePage)
{
    // "Été" in code page 1252 and "Итого" in 1251: read as wide characters
    // they would be two unreadable characters each.
    TPageInfo page;
    page.SetPageWidth(400);
    page.SetPageHeight(300);
    page.Data = test::MetafileOf({test::ExtTextOutA(test::Bounds(10, 20, 60, 35), QByteArray("\xC9t\xE9")),
                                  test::SmallTextOut(10, 50, QStringLiteral("small"), 0)});
    page.Data->SetWidth(400);
    page.Data->SetHeight(300);
    const QList<TRect> found = FindOnPage(page, {QStringLiteral("été"), TFindMode::Exact, false, true}, 1252);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0], Rect(9, 19, 61, 36)) << "the bounds grown by one pixel";
    EXPECT_EQ(FindOnPage(page, {QStringLiteral("small"), TFindMode::Exact, false, true}, 1252).size(), 1);

    page.Data = test::MetafileOf({test::ExtTextOutA(test::Bounds(0, 0, 50, 10), QByteArray("\xC8\xF2\xEE\xE3\xEE"))});
    EXPECT_EQ(FindOnPage(page, {QStringLiteral("итого"), TFindMode::Exact, false, true}, 1251).size(), 1);
}

TEST(PagePaint, MarginLinesStandAtThePageOffsets)
{
    test::TPagesReport report;
    report.Drawers = {[](TCanvas&, int, int) {}};
    report.Prepare();
    const TPageInfo* page = report.GetPage(0, 0); // offsets 10, 20, 30, 40 (left, top, right, bottom)
    ASSERT_TRUE(page);
    QImage image(page->PageWidth(), page->PageHeight(), QImage::Format_RGB32);
    QPainter painter(&image);
    TPagePaintOptions options;
    options.ShowMargins = true;
    PaintPage(painter, *page, image.size(), options);
    painter.end();
    const auto greenIn = [&](int x0, int y0, int x1, int y1) {
        int green = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                green += image.pixelColor(x, y) == QColor(Qt::green);
        return green;
    };
    const int w = page->PageWidth(), h = page->PageHeight();
    EXPECT_GT(greenIn(10, 100, 10, 200), 20) << "left offset";
    EXPECT_EQ(greenIn(11, 100, 12, 200), 0);
    EXPECT_GT(greenIn(w - 30, 100, w - 30, 200), 20) << "right offset";
    EXPECT_GT(greenIn(100, 20, 200, 20), 20) << "top offset";
    EXPECT_GT(greenIn(100, h - 40, 200, h - 40), 20) << "bottom offset";
    EXPECT_EQ(greenIn(100, 0, 200, 0), 0) << "not at the frame of the page";
}

} // namespace
} // namespace vorel
