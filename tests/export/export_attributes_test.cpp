// Record interpretation and grid building of the item-collecting filters.

#include "export/emf_text_record.h"
#include "export/export_attributes.h"
#include "export_test_support.h"
#include "foundation/locale/code_page.h"

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
    // The grid row by row, "_" for an empty cell (the grid holds only items).
    QStringList Cells()
    {
        QStringList out(filter.RowCount * filter.ColCount, QStringLiteral("_"));
        for (const TKVXMFERecord& r : filter.Records())
            out[r.Row * filter.ColCount + r.Col] = r.Text.isEmpty() ? QStringLiteral("_") : r.Text;
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
    EXPECT_EQ(col.Items().size(), 6u); // the empty cells are not held
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
    EXPECT_EQ(col.Cells(), QStringList({"x", "_", "y", "_", "_", "z"}));
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
    QSet<QString> texts; // texts that meet in one cell are joined with a space
    for (const TKVXMFERecord& r : filter.Records())
        for (const QString& t : r.Text.split(u' ', Qt::SkipEmptyParts))
            texts.insert(t);
    EXPECT_EQ(texts.size(), 5000);
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

// A text as a label draws it: clipped to the control's box from where the
// text starts (the label places it for its alignment) to the box's right edge.
void Label(TCanvas& c, const TRect& box, const QString& text, TAlignment a = taLeftJustify)
{
    const int w = c.TextWidth(text);
    const int x = a == taRightJustify ? box.Right - w : a == taCenter ? box.Left + (box.Width() - w) / 2 : box.Left;
    c.TextRect({x, box.Top, box.Right, box.Bottom}, x, box.Top, text);
}

TEST(ExportGrid, AlignedTextsOfOneControlShareTheColumnOfTheirCaption)
{
    // Numbers of any width right-aligned (or centred) in one control, under
    // a caption that is left-, right- or centre-aligned in a box of the same
    // right edge: one column, and the item column beside it stays apart.
    for (TAlignment caption : {taLeftJustify, taRightJustify, taCenter}) {
        for (TAlignment values : {taRightJustify, taCenter}) {
            auto page = MakePage(600, 300, [&](TCanvas& c) {
                Label(c, {10, 10, 150, 26}, QStringLiteral("Item"));
                Label(c, {200, 10, 320, 26}, QStringLiteral("Amount"), caption);
                const char* numbers[] = {"1", "12345.67", "99.5", "1234567890.12"};
                for (int k = 0; k < 4; ++k) {
                    Label(c, {10, 40 + 20 * k, 150, 56 + 20 * k}, QStringLiteral("item %1").arg(k));
                    Label(c, {200, 40 + 20 * k, 320, 56 + 20 * k}, QString::fromLatin1(numbers[k]), values);
                }
            });
            Collected col;
            col.filter.StartExport();
            col.Page(*page);
            col.Grid();
            const int a = int(caption), b = int(values);
            EXPECT_EQ(col.filter.ColCount, 2) << a << "/" << b;
            EXPECT_EQ(col.Cells(), QStringList({"Item", "Amount", "item 0", "1", "item 1", "12345.67", "item 2", "99.5",
                                                "item 3", "1234567890.12"}))
                << a << "/" << b;
        }
    }
}

TEST(ExportGrid, TheTextAlignmentComesFromTheFlagsOrFromWhereTheTextMeetsItsBox)
{
    auto page = MakePage(600, 300, [](TCanvas& c) {
        Label(c, {10, 10, 150, 26}, QStringLiteral("left"));
        Label(c, {200, 10, 320, 26}, QStringLiteral("right"), taRightJustify);
        c.SetTextAlign(TA_CENTER);
        c.TextOut(450, 10, QStringLiteral("centre"));
        c.SetTextAlign(TA_RIGHT);
        c.TextOut(590, 10, QStringLiteral("flag right"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 4u);
    const TAlignment expected[] = {taLeftJustify, taRightJustify, taCenter, taRightJustify};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(col.Items()[std::size_t(k)].Alignment, expected[k]) << col.Items()[std::size_t(k)].Text.toStdString();
}

TEST(ExportGrid, TheLinesOfAWrappedControlStayInOneCell)
{
    auto page = MakePage(600, 300, [](TCanvas& c) {
        const TRect box{10, 10, 150, 60};
        c.TextRect(box, 10, 10, QStringLiteral("first line"));
        c.TextRect(box, 10, 26, QStringLiteral("second line"));
        c.TextRect(box, 10, 42, QStringLiteral("third"));
        Label(c, {200, 10, 320, 26}, QStringLiteral("beside"));
        Label(c, {10, 70, 150, 86}, QStringLiteral("next control")); // below: a row of its own
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    col.Grid();
    EXPECT_EQ(col.Cells(),
              QStringList({"first line\nsecond line\nthird", "beside", "next control", "_"}));
}

TEST(ExportGrid, OnlyOpaqueTextsCarryABackground)
{
    auto page = MakePage(400, 300, [](TCanvas& c) {
        c.Brush()->SetColor(clYellow);
        c.Brush()->SetStyle(bsSolid);
        c.FillRect({10, 10, 150, 26}); // a label's background, then its text
        c.Brush()->SetStyle(bsClear);
        Label(c, {10, 10, 150, 26}, QStringLiteral("transparent"));
        c.Brush()->SetColor(clAqua);
        c.Brush()->SetStyle(bsSolid);
        c.TextOut(10, 40, QStringLiteral("opaque"));
    });
    Collected col;
    col.filter.StartExport();
    col.Page(*page);
    ASSERT_EQ(col.Items().size(), 2u);
    EXPECT_EQ(col.Items()[0].Color, clNone);
    EXPECT_EQ(col.Items()[1].Color, clAqua);
}

TEST(ExportGrid, TheGridHoldsItsItemsNotItsCells)
{
    // Texts far apart, each in a row and a column of its own: 3000 x 3000
    // cells, of which the grid holds only the 3000 filled.
    auto page = MakePage(2100, 2100, [](TCanvas& c) {
        for (int k = 0; k < 100; ++k)
            Text(c, 20 * k + 2, 20 * k + 2, QStringLiteral("t"));
    });
    Collected col;
    col.filter.StartExport();
    for (int p = 0; p < 30; ++p) {
        col.filter.SetOffsetX(2100 * p);
        col.Page(*page, 2100 * p);
    }
    col.Grid();
    EXPECT_EQ(col.filter.RowCount, 3000);
    EXPECT_EQ(col.filter.ColCount, 3000);
    EXPECT_EQ(col.Items().size(), 3000u);
}

} // namespace
} // namespace vorel::test
