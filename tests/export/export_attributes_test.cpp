// Record interpretation and grid building of the item-collecting filters.

#include "export/emf_text_record.h"
#include "export/export_attributes.h"
#include "export_test_support.h"
#include "foundation/code_page.h"

#include "graphics/picture.h"

#include <QRandomGenerator>
#include <QSet>
#include <map>

namespace vorel::test {
namespace {

// Collects the items of pages without writing a file.
struct Collected {
    TKVXExportAttributes filter;
    explicit Collected(TKVXMFERecordKinds kinds = {rkText}) { filter.RecordKinds = kinds; }
    void Page(const TMetafile& page, int offsetY = 0)
    {
        filter.SetOffsetY(offsetY);
        filter.EnumerateMetafile(page);
    }
    TKVXMFERecordList& Items() { return filter.Records(); }
    // Runs the grid building (it writes no file of its own).
    void Grid() { filter.SaveToFile(QStringLiteral("unused")); }
    QStringList Cells()
    {
        QStringList out;
        for (const TKVXMFERecord& r : filter.Records())
            out << (r.Text.isEmpty() ? QStringLiteral("_") : r.Text);
        return out;
    }
};

TEST(ExportRecords, RunsDrawnSideBySideWithAGapBelowFivePixelsMergeIntoOneItem)
{
    // The first run covers pixels 10 .. 10 + w - 1; enlarged by one pixel on
    // each side, its item ends at 10 + w. The second run, drawn g pixels
    // after the first one's advance, starts its item at 9 + w + g. They
    // merge while |1 - g| < 5: up to a drawn gap of 5 pixels.
    struct Case {
        int gapPx;
        int expectedItems;
    };
    for (const Case& c : {Case{0, 1}, Case{4, 1}, Case{5, 1}, Case{6, 2}, Case{20, 2}}) {
        auto page = MakePage(400, 300, [&](TCanvas& canvas) {
            Text(canvas, 10, 50, QStringLiteral("ab"));
            const int width = canvas.TextWidth(QStringLiteral("ab"));
            Text(canvas, 10 + width + c.gapPx, 50, QStringLiteral("cd"));
        });
        Collected col;
        col.filter.StartExport();
        col.Page(*page);
        ASSERT_EQ(int(col.Items().size()), c.expectedItems) << "gap " << c.gapPx;
        if (c.expectedItems == 1) {
            EXPECT_EQ(col.Items()[0].Text, QStringLiteral("abcd"));
        }
    }
}

TEST(ExportRecords, AMergedItemAccumulatesWidthAndHeight)
{
    int w1 = 0, w2 = 0, h = 0;
    auto page = MakePage(400, 300, [&](TCanvas& canvas) {
        w1 = canvas.TextWidth(QStringLiteral("ab"));
        w2 = canvas.TextWidth(QStringLiteral("cd"));
        h = canvas.TextHeight(QStringLiteral("ab"));
        Text(canvas, 10, 50, QStringLiteral("ab"));
        Text(canvas, 10 + w1, 50, QStringLiteral("cd"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 1u);
    const TKVXMFERecord& item = col.Items()[0];
    EXPECT_EQ(item.Left, 9);
    EXPECT_EQ(item.Top, 49);
    // Each run adds its enlarged extent (two pixels more than it covers).
    EXPECT_EQ(item.Width, (w1 + 1) + (w2 + 1));
    EXPECT_EQ(item.Height, 2 * (h + 1));
}

TEST(ExportRecords, ADifferentBackgroundColourStartsANewItem)
{
    auto page = MakePage(400, 300, [](TCanvas& canvas) {
        Text(canvas, 10, 50, QStringLiteral("ab"));
        canvas.Brush()->SetColor(clYellow); // a solid brush paints the text cell: background colour changes
        Text(canvas, 10 + canvas.TextWidth(QStringLiteral("ab")), 50, QStringLiteral("cd"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 2u);
    EXPECT_EQ(col.Items()[1].Color, clYellow);
}

TEST(ExportRecords, BlankTextsMakeNoItem)
{
    auto page = MakePage(400, 300, [](TCanvas& canvas) { Text(canvas, 10, 50, QStringLiteral("   ")); });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    EXPECT_TRUE(col.Items().empty());
}

TEST(ExportRecords, RightAndCentreTextAlignLeaveTheAlignmentState)
{
    // Only the values below 2 are taken: 0 and 1 set it, 2 (right) and 6
    // (centre) leave it as it was.
    struct Case {
        QList<std::uint32_t> modes;
        TAlignment expected;
    };
    for (const Case& c : {Case{{1}, taRightJustify}, Case{{1, 2}, taRightJustify}, Case{{1, 6}, taRightJustify},
                          Case{{1, 0}, taLeftJustify}, Case{{2}, taLeftJustify}}) {
        QList<QByteArray> records;
        for (std::uint32_t m : c.modes)
            records << Simple(EMR_SETTEXTALIGN, m);
        auto page = MetafileOf(records);
        Collected col;
        col.filter.StartExport();
        col.Page(*page);
        EXPECT_EQ(col.filter.CurrentAlignment, c.expected);
    }
}

TEST(ExportRecords, SmallTextOutWithGlyphIndicesContributesNoText)
{
    constexpr unsigned kGlyphIndex = 0x10, kSmallChars = 0x200;
    auto page = MetafileOf({SmallTextOut(30, 40, QStringLiteral("glyphs"), kGlyphIndex),
                            SmallTextOut(30, 80, QStringLiteral("wide"), 0),
                            SmallTextOut(30, 120, QStringLiteral("small"), kSmallChars)});
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 2u);
    // The reference point stands for the position; the extent is zero.
    EXPECT_EQ(col.Items()[0].Text, QStringLiteral("wide"));
    EXPECT_EQ(col.Items()[0].Left, 30);
    EXPECT_EQ(col.Items()[0].Top, 80);
    EXPECT_EQ(col.Items()[0].Width, 0);
    EXPECT_EQ(col.Items()[1].Text, QStringLiteral("small"));
}

TEST(ExportRecords, EightBitTextIsDecodedInTheFiltersCodePage)
{
    auto page = MetafileOf({ExtTextOutA(Bounds(20, 30, 60, 45), QByteArray("\xC4\xE0", 2))});
    struct Case {
        int codePage;
        QString text;
    };
    for (const Case& c : {Case{1252, QStringLiteral("Äà")}, Case{1251, QStringLiteral("Да")}}) {
        Collected col;
        col.filter.CodePage = c.codePage;
        col.filter.StartExport();
        col.Page(*page);
        ASSERT_EQ(col.Items().size(), 1u);
        EXPECT_EQ(col.Items()[0].Text, c.text);
        EXPECT_EQ(col.Items()[0].Left, 19);
        EXPECT_EQ(col.Items()[0].Top, 29);
        EXPECT_EQ(col.Items()[0].Width, 42);
    }
}

TEST(ExportRecords, TheSelectedFontIsCopiedIntoTheItems)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        c.Font()->SetName(QStringLiteral("Courier New"));
        c.Font()->SetSize(12);
        c.Font()->SetStyle(fsBold | fsUnderline);
        c.Font()->SetColor(clRed);
        Text(c, 10, 10, QStringLiteral("styled"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 1u);
    const TFont& f = *col.Items()[0].Font;
    EXPECT_EQ(f.Name(), QStringLiteral("Courier New"));
    EXPECT_EQ(f.Size(), 12);
    EXPECT_EQ(f.Style(), TFontStyles(fsBold | fsUnderline));
    EXPECT_EQ(f.Color(), clRed);
}

TEST(ExportRecords, ShapesLinesAndPicturesAreCollectedOnlyWhenAsked)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        c.Pen()->SetColor(clBlack);
        c.Rectangle(10, 20, 50, 60);
        c.Ellipse(100, 20, 150, 60);
        c.MoveTo(10, 100);
        c.LineTo(200, 130);
        QImage image(8, 4, QImage::Format_RGB888);
        image.fill(Qt::red);
        c.StretchImage({300, 200, 316, 208}, image, {0, 0, 8, 4});
        Text(c, 10, 250, QStringLiteral("text"));
    });
    {
        Collected col;
        col.filter.StartExport();
        col.Page(*page);
        ASSERT_EQ(col.Items().size(), 1u); // text only by default
    }
    Collected col({rkText, rkLine, rkRectangle, rkEllipse, rkPicture});
    col.filter.StartExport();
    col.Page(*page);
    std::map<TKVXMFERecordKind, const TKVXMFERecord*> byKind;
    for (const TKVXMFERecord& r : col.Items())
        byKind[r.Kind] = &r;
    ASSERT_EQ(byKind.size(), 5u);
    // The box enlarged by one pixel on every side (the record holds the
    // classic box 10,20 - 50,60).
    EXPECT_EQ(byKind[rkRectangle]->Left, 9);
    EXPECT_EQ(byKind[rkRectangle]->Top, 19);
    EXPECT_EQ(byKind[rkRectangle]->Width, 42);
    EXPECT_EQ(byKind[rkLine]->Left, 10);
    EXPECT_EQ(byKind[rkLine]->Top, 100);
    EXPECT_EQ(byKind[rkLine]->Width, 190);
    EXPECT_EQ(byKind[rkLine]->Height, 30);
    const TKVXMFERecord& picture = *byKind[rkPicture];
    ASSERT_TRUE(picture.Bitmap);
    EXPECT_EQ(picture.Bitmap->Width(), 16); // the destination size
    EXPECT_EQ(picture.Bitmap->Height(), 8);
    EXPECT_EQ(picture.Bitmap->Image().pixelColor(3, 3), QColor(Qt::red));
}

TEST(ExportRecords, APictureRecordStatingAHugeSizeBecomesAnItemWithoutPixels)
{
    QByteArray p = Bounds(0, 0, 10, 10);
    p.resize(72 - 8, '\0'); // up to cxDest
    writeU32le(p, 1u << 20); // cxDest
    writeU32le(p, 1u << 20); // cyDest
    auto page = MetafileOf({Record(EMR_STRETCHDIBITS, p)});
    Collected col({rkPicture});
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 1u);
    EXPECT_EQ(col.Items()[0].Kind, rkPicture);
    EXPECT_FALSE(col.Items()[0].Bitmap);
}

TEST(ExportRecords, AnOnRecordHandlerThatRefusesARecordHidesIt)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 10, QStringLiteral("kept"));
        Text(c, 10, 50, QStringLiteral("refused"));
    });
    Collected col;
    int seen = 0;
    col.filter.OnRecord = [&](QObject*, const TEmfRecord& record, bool& accept) {
        ++seen;
        if (record.Type == EMR_EXTTEXTOUTW) {
            TEmfTextRun run;
            accept = !(DecodeTextRecord(record, 1252, run) && run.Text == QStringLiteral("refused"));
        }
    };
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 1u);
    EXPECT_EQ(col.Items()[0].Text, QStringLiteral("kept"));
    EXPECT_GT(seen, 4); // every record, the header and state records included
}

TEST(ExportRecords, ReplayStateCarriesOverFromPageToPage)
{
    auto first = MakePage(400, 300, [](TCanvas& c) {
        c.Brush()->SetColor(clYellow);
        Text(c, 10, 10, QStringLiteral("one"));
    });
    // The second page sets no background colour of its own.
    auto second = MetafileOf({ExtTextOutA(Bounds(20, 30, 60, 45), "two")});
    Collected col;
    col.filter.StartExport();
    col.Page(*first);
    col.filter.NewPage(1, 0);
    col.Page(*second, 300);
    ASSERT_EQ(col.Items().size(), 2u);
    EXPECT_EQ(col.Items()[1].Color, clYellow);
    EXPECT_EQ(col.Items()[1].Top, 329);
}

// --- grid building ------------------------------------------------------------------------

TEST(ExportGrid, TopsFivePixelsApartShareARowAndSixApartDoNot)
{
    for (int dy : {5, 6}) {
        auto page = MakePage(400, 300, [&](TCanvas& c) {
            Text(c, 10, 50, QStringLiteral("left"));
            Text(c, 200, 50 + dy, QStringLiteral("right"));
        });
        Collected col;
        col.filter.StartExport();
        col.Page(*page);
        col.Grid();
        EXPECT_EQ(col.filter.RowCount, dy == 5 ? 1 : 2) << "dy " << dy;
        EXPECT_EQ(col.filter.ColCount, 2);
        if (dy == 5)
            EXPECT_EQ(col.Cells(), QStringList({"left", "right"}));
        else // each row gets a blank for the column it does not fill
            EXPECT_EQ(col.Cells(), QStringList({"left", "_", "_", "right"}));
    }
}

TEST(ExportGrid, ARowFillingOnlyTheMiddleColumnGetsBlankFirstAndLastCells)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 20, QStringLiteral("a1"));
        Text(c, 150, 20, QStringLiteral("b1"));
        Text(c, 300, 20, QStringLiteral("c1"));
        Text(c, 150, 60, QStringLiteral("b2"));
        Text(c, 10, 100, QStringLiteral("a3"));
        Text(c, 300, 100, QStringLiteral("c3"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    col.Grid();
    EXPECT_EQ(col.filter.ColCount, 3);
    EXPECT_EQ(col.filter.RowCount, 3);
    EXPECT_EQ(col.Cells(), QStringList({"a1", "b1", "c1", "_", "b2", "_", "a3", "_", "c3"}));
    // A blank takes its column's position and its row's top.
    const TKVXMFERecord& blank = col.Items()[3];
    EXPECT_EQ(blank.Left, 9);
    EXPECT_EQ(blank.Top, 59);
    EXPECT_EQ(blank.Width, 0);
}

TEST(ExportGrid, ColumnsWithinFifteenPixelsAreOne)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 100, 20, QStringLiteral("x"));
        Text(c, 115, 60, QStringLiteral("y")); // 15 apart: the same column
        Text(c, 116, 100, QStringLiteral("z")); // 16 apart: a column of its own
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    col.Grid();
    EXPECT_EQ(col.filter.Columns(), std::vector<int>({99, 115}));
}

TEST(ExportGrid, NoTextItemsGiveNoColumnsAndNoCells)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        QImage image(4, 4, QImage::Format_RGB888);
        image.fill(Qt::blue);
        c.StretchImage({10, 10, 14, 14}, image, {0, 0, 4, 4});
        c.StretchImage({10, 100, 14, 104}, image, {0, 0, 4, 4});
    });
    Collected col({rkText, rkPicture});
    col.filter.StartExport();
    col.Page(*page);
    col.Grid();
    EXPECT_EQ(col.filter.ColCount, 0);
    EXPECT_EQ(col.filter.RowCount, 2);
    EXPECT_EQ(col.Items().size(), 2u); // the pictures themselves, no blanks
}

TEST(ExportGrid, TheItemOrderIsRowsTopDownThenLeftToRight)
{
    struct Case {
        int aLeft, aTop, bLeft, bTop;
        int expected; // <0: a first, >0: b first, 0: equal
    };
    const Case cases[] = {
        {10, 10, 20, 12, 0},   // within both tolerances
        {10, 10, 200, 10, -1}, // same top, a left of b
        {200, 10, 10, 10, 1},  // same top, b left of a
        {200, 10, 10, 12, -1}, // a higher (by 2) goes first even though it is to the right
        {10, 12, 200, 10, -1}, // a left, lower by 2 (within a row): a first
        {10, 20, 200, 10, 1},  // a left but lower by 10: b first
        {10, 100, 10, 10, 1},  // same column, b higher
    };
    for (const Case& c : cases) {
        TKVXMFERecord a, b;
        a.Left = c.aLeft, a.Top = c.aTop, b.Left = c.bLeft, b.Top = c.bTop;
        const int got = CompareExportItems(a, b);
        EXPECT_EQ((got > 0) - (got < 0), c.expected) << c.aLeft << "," << c.aTop << " vs " << c.bLeft << "," << c.bTop;
    }
}

TEST(ExportGrid, SortingAnyItemsStaysInBoundsAndKeepsEveryItem)
{
    // The comparison is not a strict ordering; thousands of items placed at
    // random within a few tolerances of each other must sort without harm.
    QRandomGenerator random(42);
    TKVXExportAttributes filter;
    filter.StartExport();
    for (int i = 0; i < 5000; ++i) {
        TKVXMFERecord r;
        r.Kind = rkText;
        r.Left = random.bounded(60);
        r.Top = random.bounded(30);
        r.Text = QString::number(i);
        filter.Records().push_back(r);
    }
    filter.SaveToFile(QStringLiteral("unused"));
    QSet<QString> texts;
    for (const TKVXMFERecord& r : filter.Records())
        if (!r.Text.isEmpty())
            texts.insert(r.Text);
    EXPECT_EQ(texts.size(), 5000);
    EXPECT_GE(int(filter.Records().size()), 5000);
}

TEST(ExportGrid, TheTolerancesAreGlobalsAnApplicationMayChange)
{
    const int keepY = KVX_EQUAL_Y;
    KVX_EQUAL_Y = 10;
    auto page = MakePage(400, 300, [](TCanvas& c) {
        Text(c, 10, 50, QStringLiteral("left"));
        Text(c, 200, 58, QStringLiteral("right"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    col.Grid();
    KVX_EQUAL_Y = keepY;
    EXPECT_EQ(col.filter.RowCount, 1);
}

} // namespace
} // namespace vorel::test
