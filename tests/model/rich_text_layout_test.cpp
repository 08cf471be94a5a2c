// The rich text layout: line breaking and heights reasoned from the measuring
// service's font metrics, alignment and indents, and what drawing leaves on
// a page (EMF text records with their fonts and colours, pictures).
#include "model/rich_text_layout.h"
#include "model/rtf_reader.h"

#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"

#include <QBuffer>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace vorel {
namespace {

// The face the layout must use for a font of the given size in points.
TFontFacePtr Face(const char* name, qreal points, bool bold = false)
{
    TFontRequest r;
    r.Name = QString::fromLatin1(name);
    r.Height = -qRound(points * 96 / 72);
    r.Bold = bold;
    return TTextMeasurer::Face(r);
}

void Read(QTextDocument& doc, const QByteArray& rtf) { ReadRtf(doc, rtf, TRichTextDefaults()); }

// The text of each line, pieces joined, tabs left out.
QStringList LineTexts(TRichTextLayout& layout, int width)
{
    const TRichTextLines& lines = layout.Lines(width);
    QStringList texts;
    for (const TRichTextLine& line : lines.Lines) {
        QString t;
        for (int i = 0; i < line.PieceCount; ++i) {
            const TRichTextPiece& p = lines.Pieces[line.FirstPiece + i];
            t += layout.Paragraphs()[p.Paragraph].Text.mid(p.Start, p.Length);
        }
        texts << t;
    }
    return texts;
}

struct TextRecord {
    QString Text;
    int X = 0, Y = 0; // reference point (top left)
    std::vector<int> Dx;
    TLogFont Font;
    std::uint32_t Color = 0; // 0x00BBGGRR
};

struct PageRecords {
    std::vector<TextRecord> Texts;
    std::vector<TRect> Pictures; // destination rectangles of EMR_STRETCHDIBITS
    int Fills = 0; // filled rectangles (backgrounds)
    int Clips = 0;
};

PageRecords Records(const TMetafile& mf)
{
    PageRecords out;
    TEmfEnumerator e(mf);
    while (e.Next()) {
        if (!e.RecordValid())
            continue;
        const ByteView b = e.Record().Bytes;
        switch (e.Record().Type) {
        case EMR_EXTTEXTOUTW: {
            // EMREXTTEXTOUTW: the EMRTEXT starts at byte 36 (reference
            // point, character count, string offset, options, rectangle,
            // dx offset), offsets counted from the record's start.
            TextRecord t;
            t.X = b.i32le(36);
            t.Y = b.i32le(40);
            const std::uint32_t n = b.u32le(44), offString = b.u32le(48), offDx = b.u32le(72);
            for (std::uint32_t i = 0; i < n; ++i) {
                t.Text.append(QChar(b.u16le(offString + 2 * i)));
                t.Dx.push_back(b.i32le(offDx + 4 * i));
            }
            t.Font = e.State().Font;
            t.Color = e.State().TextColor;
            out.Texts.push_back(t);
            break;
        }
        case EMR_STRETCHDIBITS:
            out.Pictures.push_back(Bounds(b.i32le(24), b.i32le(28), b.i32le(72), b.i32le(76)));
            break;
        case EMR_RECTANGLE:
            ++out.Fills;
            break;
        case EMR_INTERSECTCLIPRECT:
            ++out.Clips;
            break;
        default:
            break;
        }
    }
    return out;
}

// Draws the document into rect on a page and returns what the page holds.
PageRecords DrawOnPage(const QTextDocument& doc, const TRect& rect, int* bottom = nullptr, bool measureOnly = false)
{
    TMetafile mf;
    mf.SetWidth(800);
    mf.SetHeight(600);
    {
        TMetafileCanvas canvas(mf, QStringLiteral("Vorel test"), QStringLiteral("rich text"));
        canvas.Font()->SetColor(clNavy); // the automatic colour
        const int b = LayoutRichText(doc, canvas, rect, measureOnly);
        if (bottom)
            *bottom = b;
    }
    return Records(mf);
}

// --- heights ----------------------------------------------------------------------

const QByteArray kThreeFonts = "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}{\\f2 Courier New;}}"
                               "\\f0\\fs20 First paragraph in Arial ten.\\par "
                               "Arial and {\\f1\\fs40 Times twenty} on one line.\\par "
                               "\\sa120\\f2\\fs28 Courier fourteen with space after.\\par}";

TEST(RichTextLayout, HeightOfParagraphsInSeveralFontsIsTheSumOfTheirLines)
{
    QTextDocument doc;
    Read(doc, kThreeFonts);
    const auto arial = Face("Arial", 10), times = Face("Times New Roman", 20), courier = Face("Courier New", 14);
    // One line each (the width holds every paragraph): a line is as high as
    // its highest ascent plus its deepest descent; \sa120 adds 120 twips = 8 pixels.
    const int line1 = arial->Height();
    const int line2 = std::max(arial->Ascent(), times->Ascent()) + std::max(arial->Descent(), times->Descent());
    const int line3 = courier->Height();
    TRichTextLayout layout(doc);
    const TRichTextLines& lines = layout.Lines(1000);
    ASSERT_EQ(lines.Lines.size(), 3u);
    EXPECT_EQ(lines.Lines[0].Top, 0);
    EXPECT_EQ(lines.Lines[1].Top, line1);
    EXPECT_EQ(lines.Lines[2].Top, line1 + line2);
    EXPECT_EQ(lines.Height, line1 + line2 + line3 + 8);
    EXPECT_GT(line2, line1); // the larger font makes its line higher

    // Measuring and drawing report the same bottom; measuring draws nothing.
    int measured = 0, drawn = 0;
    const PageRecords none = DrawOnPage(doc, Rect(10, 20, 1010, 400), &measured, true);
    const PageRecords page = DrawOnPage(doc, Rect(10, 20, 1010, 400), &drawn, false);
    EXPECT_EQ(measured, 20 + lines.Height);
    EXPECT_EQ(drawn, measured);
    EXPECT_TRUE(none.Texts.empty());
    EXPECT_FALSE(page.Texts.empty());
}

TEST(RichTextLayout, EmptyParagraphsAndLineSpacing)
{
    struct Row {
        const char* rtf;
        int height; // from the faces below
    };
    const int a10 = Face("Arial", 10)->Height(), a20 = Face("Arial", 20)->Height();
    const Row rows[] = {
        // An empty paragraph is as high as its mark's font.
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 a\\par\\fs40\\par\\fs20 b}", a10 + a20 + a10},
        // A line break at the end of a paragraph opens an empty line.
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 a\\line}", 2 * a10},
        // \sl-480: exactly 32 pixels a line; \sl480: at least 32; \sl360\slmult1: 1.5 lines.
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20\\sl-480 a\\line b}", 64},
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20\\sl480 a}", std::max(32, a10)},
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20\\sl360\\slmult1 a}", qRound(a10 * 1.5)},
        // \sb and \sa around a paragraph.
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20\\sb150\\sa300 a}", 10 + a10 + 20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rtf);
        QTextDocument doc;
        Read(doc, row.rtf);
        TRichTextLayout layout(doc);
        EXPECT_EQ(layout.Height(500), row.height);
    }
}

// --- line breaking ----------------------------------------------------------------

TEST(RichTextLayout, LinesBreakAtBlanksAndExactFitsStay)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 one two threefourfivesix seven}");
    const auto face = Face("Arial", 10);
    const int oneTwo = face->TextWidth(u"one two");
    TRichTextLayout layout(doc);
    struct Row {
        int width;
        QStringList lines;
    };
    const Row rows[] = {
        {1000, {"one two threefourfivesix seven"}},
        {oneTwo, {"one two", "threefourfivesix", "seven"}}, // "one two" fits exactly
        {oneTwo - 1, {"one", "two", "threefourfivesix", "seven"}}, // one pixel less: "two" wraps
        {0, {"one", "two", "threefourfivesix", "seven"}}, // a word wider than the line is not split
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.width);
        EXPECT_EQ(LineTexts(layout, row.width), row.lines);
        EXPECT_EQ(layout.Height(row.width), int(row.lines.size()) * face->Height());
    }
}

TEST(RichTextLayout, AWordInTwoFontsBreaksAsOne)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 xx bo{\\b ld}}");
    const auto regular = Face("Arial", 10), bold = Face("Arial", 10, true);
    const int all = regular->TextWidth(u"xx bo") + bold->TextWidth(u"ld");
    TRichTextLayout layout(doc);
    EXPECT_EQ(LineTexts(layout, all), QStringList{"xx bold"});
    EXPECT_EQ(LineTexts(layout, all - 1), (QStringList{"xx", "bold"}));
    // The second line holds two pieces, one per font, side by side.
    const TRichTextLines& lines = layout.Lines(all - 1);
    ASSERT_EQ(lines.Lines[1].PieceCount, 2);
    const TRichTextPiece& bo = lines.Pieces[lines.Lines[1].FirstPiece];
    const TRichTextPiece& ld = lines.Pieces[lines.Lines[1].FirstPiece + 1];
    EXPECT_EQ(bo.X, 0);
    EXPECT_EQ(ld.X, regular->TextWidth(u"bo"));
}

TEST(RichTextLayout, ExplicitBreaksTabsAndIndents)
{
    const auto face = Face("Arial", 10);
    {
        QTextDocument doc;
        Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 a\\line  b\\par c}");
        TRichTextLayout layout(doc);
        // Blanks after a line break stay (only a wrap drops them); \\line takes one as its delimiter.
        EXPECT_EQ(LineTexts(layout, 500), (QStringList{"a", " b", "c"}));
    }
    {
        // Default stops every 720 twips (48 pixels); \tx sets the paragraph's own.
        QTextDocument doc;
        Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 a\\tab b\\tab c\\par\\tx1500 d\\tab e\\tab f}");
        TRichTextLayout layout(doc);
        const TRichTextLines& lines = layout.Lines(500);
        ASSERT_EQ(lines.Lines.size(), 2u);
        ASSERT_EQ(lines.Lines[0].PieceCount, 3);
        EXPECT_EQ(lines.Pieces[1].X, 48);
        EXPECT_EQ(lines.Pieces[2].X, 96);
        ASSERT_EQ(lines.Lines[1].PieceCount, 3);
        EXPECT_EQ(lines.Pieces[4].X, 100);
        EXPECT_EQ(lines.Pieces[5].X, 144); // past the own stops: the next default stop
    }
    {
        // \li300 \ri300 \fi-150: 20 pixels each side, the first line 10 pixels further left.
        QTextDocument doc;
        Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20\\li300\\ri300\\fi-150 aaa bbb ccc}");
        const int aaa = face->TextWidth(u"aaa"), space = face->CharWidth(U' ');
        // Room for "aaa bbb" on the first line (width - 20 - 10) but not on the second (width - 20 - 20).
        const int width = 30 + aaa * 2 + space;
        TRichTextLayout layout(doc);
        EXPECT_EQ(LineTexts(layout, width), (QStringList{"aaa bbb", "ccc"}));
        const TRichTextLines& lines = layout.Lines(width);
        EXPECT_EQ(lines.Pieces[lines.Lines[0].FirstPiece].X, 10);
        EXPECT_EQ(lines.Pieces[lines.Lines[1].FirstPiece].X, 20);
        EXPECT_EQ(LineTexts(layout, width - 1), (QStringList{"aaa", "bbb", "ccc"}));
    }
}

TEST(RichTextLayout, AlignmentPlacesEachLine)
{
    const auto face = Face("Arial", 10);
    const int width = face->TextWidth(u"aaaa bb cc") + 3; // "aaaa bb cc" fits, "aaaa bb cc dd" does not
    const int first = face->TextWidth(u"aaaa bb cc"), last = face->TextWidth(u"dd");
    struct Row {
        const char* align;
        int firstX, lastX; // x of each line's first piece
        int firstRight; // right end of the first line's ink
    };
    const Row rows[] = {
        {"\\ql", 0, 0, first},
        {"\\qr", width - first, width - last, width},
        {"\\qc", (width - first) / 2, (width - last) / 2, (width - first) / 2 + first},
        // Justified: the first line reaches the right edge, the last keeps its spacing.
        {"\\qj", 0, 0, width},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.align);
        QTextDocument doc;
        Read(doc, QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20") + row.align + " aaaa bb cc dd}");
        TRichTextLayout layout(doc);
        ASSERT_EQ(LineTexts(layout, width), (QStringList{"aaaa bb cc", "dd"}));
        // What the page shows: text records placed and spaced as laid out.
        const PageRecords page = DrawOnPage(doc, Rect(0, 0, width, 200));
        ASSERT_EQ(page.Texts.size(), 2u);
        EXPECT_EQ(page.Texts[0].X, row.firstX);
        EXPECT_EQ(page.Texts[1].X, row.lastX);
        int right = page.Texts[0].X;
        for (int dx : page.Texts[0].Dx)
            right += dx;
        EXPECT_EQ(right, row.firstRight);
    }
}

// --- drawing ----------------------------------------------------------------------

TEST(RichTextLayout, RunsBecomeTextRecordsWithTheirFontsAndColours)
{
    QTextDocument doc;
    Read(doc,
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "\\f0\\fs20 Plain {\\b bold} {\\i\\ul under} {\\f1\\fs40\\cf1 Big}}");
    const PageRecords page = DrawOnPage(doc, Rect(5, 7, 700, 300));
    struct Row {
        const char* text;
        const char* face;
        int height; // logical font height: minus the em size in pixels
        int weight;
        bool italic, underline;
        int charset;
        std::uint32_t color;
    };
    // Blank runs between the styled words leave no ink and no record; text
    // in the automatic colour takes the canvas font's colour (navy).
    const Row rows[] = {
        {"Plain ", "Arial", -13, 400, false, false, DEFAULT_CHARSET, 0x800000},
        {"bold", "Arial", -13, 700, false, false, DEFAULT_CHARSET, 0x800000},
        {"under", "Arial", -13, 400, true, true, DEFAULT_CHARSET, 0x800000},
        {"Big", "Times New Roman", -27, 400, false, false, RUSSIAN_CHARSET, 0x0000FF},
    };
    ASSERT_EQ(page.Texts.size(), std::size(rows));
    const auto arial = Face("Arial", 10), times = Face("Times New Roman", 20);
    const int baseline = 7 + std::max(arial->Ascent(), times->Ascent());
    for (size_t i = 0; i < page.Texts.size(); ++i) {
        SCOPED_TRACE(rows[i].text);
        const TextRecord& t = page.Texts[i];
        EXPECT_EQ(t.Text, QString::fromLatin1(rows[i].text));
        EXPECT_EQ(t.Font.FaceName, QString::fromLatin1(rows[i].face));
        EXPECT_EQ(t.Font.Height, rows[i].height);
        EXPECT_EQ(t.Font.Weight, rows[i].weight);
        EXPECT_EQ(bool(t.Font.Italic), rows[i].italic);
        EXPECT_EQ(bool(t.Font.Underline), rows[i].underline);
        EXPECT_EQ(t.Font.CharSet, rows[i].charset);
        EXPECT_EQ(t.Color, rows[i].color);
        // Every run sits on the line's one baseline.
        const auto face = i == 3 ? times : Face("Arial", 10, rows[i].weight == 700);
        EXPECT_EQ(t.Y + face->Ascent(), baseline);
    }
    // Runs follow each other without gaps: each starts where the text before it ends.
    const auto regular = Face("Arial", 10), bold = Face("Arial", 10, true);
    EXPECT_EQ(page.Texts[0].X, 5);
    EXPECT_EQ(page.Texts[1].X, 5 + regular->TextWidth(u"Plain "));
    EXPECT_EQ(page.Texts[2].X, page.Texts[1].X + bold->TextWidth(u"bold") + regular->TextWidth(u" "));
}

TEST(RichTextLayout, CanvasStateIsLeftAsItWas)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\colortbl;\\red0\\green0\\blue255;}{\\highlight1\\b\\fs40 x}}");
    TMetafile mf;
    TMetafileCanvas canvas(mf, QStringLiteral("t"), QStringLiteral("t"));
    canvas.Font()->SetName(QStringLiteral("Courier New"));
    canvas.Font()->SetSize(9);
    canvas.Brush()->SetColor(clYellow);
    canvas.SetTextAlign(TA_RIGHT | TA_BASELINE);
    TFont before;
    before.Assign(canvas.Font());
    LayoutRichText(doc, canvas, Rect(0, 0, 100, 100), false);
    EXPECT_TRUE(canvas.Font()->Equals(before));
    EXPECT_EQ(canvas.Brush()->Color(), clYellow);
    EXPECT_EQ(canvas.Brush()->Style(), bsSolid);
    EXPECT_EQ(canvas.TextAlign(), TA_RIGHT | TA_BASELINE);
}

TEST(RichTextLayout, BackgroundsArePaintedBehindTheirRuns)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}a {\\highlight1 marked} b}");
    const PageRecords page = DrawOnPage(doc, Rect(0, 0, 400, 100));
    EXPECT_EQ(page.Fills, 1);
    ASSERT_EQ(page.Texts.size(), 3u);
    EXPECT_EQ(page.Texts[1].Text, "marked");
}

TEST(RichTextLayout, PicturesSitOnTheBaselineAndRaiseTheLine)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QTextDocument doc;
    // 600 x 450 twips: 40 x 30 pixels.
    Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 ab{\\pict\\pngblip\\picwgoal600\\pichgoal450 " + png.toHex() + "}c}");
    const auto face = Face("Arial", 10);
    TRichTextLayout layout(doc);
    const int ascent = std::max(face->Ascent(), 30);
    EXPECT_EQ(layout.Height(500), ascent + face->Descent());
    const PageRecords page = DrawOnPage(doc, Rect(10, 10, 510, 300));
    ASSERT_EQ(page.Pictures.size(), 1u);
    EXPECT_EQ(page.Pictures[0], Bounds(10 + face->TextWidth(u"ab"), 10 + ascent - 30, 40, 30));
    ASSERT_EQ(page.Texts.size(), 2u);
    EXPECT_EQ(page.Texts[1].X, 10 + face->TextWidth(u"ab") + 40);
}

TEST(RichTextLayout, LinesBelowTheRectangleAreNotDrawn)
{
    QTextDocument doc;
    Read(doc, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\fs20 one\\par two\\par three}");
    const int h = Face("Arial", 10)->Height();
    struct Row {
        int height;
        size_t texts;
        int clips;
    };
    const Row rows[] = {
        {3 * h, 3, 0}, // everything fits: no clipping
        {2 * h + 1, 3, 1}, // the third line starts inside: drawn, clipped
        {2 * h, 2, 1}, // the third line starts at the bottom: left out
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.height);
        int bottom = 0;
        const PageRecords page = DrawOnPage(doc, Rect(0, 50, 300, 50 + row.height), &bottom);
        EXPECT_EQ(page.Texts.size(), row.texts);
        EXPECT_EQ(page.Clips, row.clips);
        EXPECT_EQ(bottom, 50 + 3 * h); // the bottom of the text, whatever the rectangle
    }
}

TEST(RichTextLayout, PlainTextAndHtmlLayOutAlike)
{
    TRichTextDefaults defaults;
    defaults.FontName = QStringLiteral("Arial");
    defaults.PointSize = 10;
    QTextDocument plain;
    LoadRichText(plain, QByteArray("one\ntwo"), defaults);
    TRichTextLayout plainLayout(plain);
    EXPECT_EQ(plainLayout.Height(300), 2 * Face("Arial", 10)->Height());
    QTextDocument html;
    LoadRichText(html, QByteArray("<p style=\"margin:0\">one</p><p style=\"margin:0\"><b>two</b></p>"), defaults);
    TRichTextLayout htmlLayout(html);
    EXPECT_EQ(LineTexts(htmlLayout, 300), (QStringList{"one", "two"}));
    EXPECT_EQ(htmlLayout.Height(300), 2 * Face("Arial", 10)->Height());
}

} // namespace
} // namespace vorel
