// Text measuring and the formatted text drawing: metrics as the classic
// platform reports them, word breaking, line breaks, tabs, prefixes, and
// measuring against painting.
#include "foundation/values/byte_io.h"
#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/painter_canvas.h"
#include "graphics/text_layout.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

TFontFacePtr FaceOf(const QString& name, int points, TFontStyles style = {})
{
    TFont font;
    font.SetName(name);
    font.SetSize(points);
    font.SetStyle(style);
    return TTextMeasurer::Face(font);
}

TEST(TextMetrics, ArialTenPointIsTwelvePlusThreePixelsHigh)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("Arial"), 10);
    EXPECT_EQ(face->Ascent(), 12);
    EXPECT_EQ(face->Descent(), 3);
    EXPECT_EQ(face->Height(), 15);
}

TEST(TextMetrics, WidthIsTheSumOfWholePixelAdvances)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("Arial"), 10);
    const QString text = QStringLiteral("Total amount: 1,234");
    int sum = 0;
    for (QChar c : text)
        sum += face->CharWidth(c.unicode());
    EXPECT_EQ(face->TextWidth(text), sum);
    QList<int> dx(text.size());
    face->Advances(text, dx.data());
    EXPECT_EQ(std::accumulate(dx.begin(), dx.end(), 0), sum);
    // No kerning: "AV" is as wide as "A" plus "V".
    EXPECT_EQ(face->TextWidth(u"AV"), face->CharWidth(U'A') + face->CharWidth(U'V'));
    // Bold is wider than regular for the same text.
    EXPECT_GT(FaceOf(QStringLiteral("Arial"), 10, fsBold)->TextWidth(text), sum);
}

TEST(TextMetrics, SurrogatePairsMeasureOnceAndGetZeroOnTheirLowHalf)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("DejaVu Sans"), 10);
    const QString text = QStringLiteral("a") + QString::fromUcs4(U"\U0001D400") + QStringLiteral("b");
    ASSERT_EQ(text.size(), 4);
    QList<int> dx(4);
    face->Advances(text, dx.data());
    EXPECT_EQ(dx[2], 0);
    EXPECT_EQ(face->TextWidth(text), dx[0] + dx[1] + dx[3]);
}

TEST(TextMetrics, EveryCanvasMeasuresTheSame)
{
    TMetafile mf;
    TMetafileCanvas recording(mf, {}, {});
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    TPainterCanvas direct(&painter);
    for (TCanvas* c : {static_cast<TCanvas*>(&recording), static_cast<TCanvas*>(&direct)}) {
        c->Font()->SetName(QStringLiteral("Times New Roman"));
        c->Font()->SetSize(12);
    }
    const QString text = QStringLiteral("The same width everywhere");
    EXPECT_EQ(recording.TextWidth(text), direct.TextWidth(text));
    EXPECT_EQ(recording.TextHeight(text), direct.TextHeight(text));
}

// Courier New maps to a fixed-pitch face: every character has the same
// advance, so widths below are counted in characters.
struct BreakCase {
    const char* name;
    QString text;
    unsigned flags;
    int widthChars; // rectangle width in characters
    QStringList lines;
};

class WordBreak : public ::testing::TestWithParam<BreakCase> {};

TEST_P(WordBreak, BreaksIntoTheClassicLines)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("Courier New"), 10);
    const int cw = face->CharWidth(U'a');
    ASSERT_EQ(face->CharWidth(U'W'), cw) << "Courier New should be fixed pitch";
    const BreakCase& c = GetParam();
    const TTextLayout layout = LayoutText(*face, c.text, c.flags, c.widthChars * cw);
    QStringList lines;
    for (const TTextLine& line : layout.Lines)
        lines << layout.Text.mid(line.Start, line.Length);
    EXPECT_EQ(lines, c.lines);
}

const unsigned WB = DT_WORDBREAK | DT_NOPREFIX;

INSTANTIATE_TEST_SUITE_P(Cases, WordBreak,
    ::testing::Values(
        // "aaaa bbbb" is 9 characters: it fits a 9-character line exactly...
        BreakCase{"ExactFit", QStringLiteral("aaaa bbbb cccc"), WB, 9, {"aaaa bbbb", "cccc"}},
        // ...and one pixel less (8 characters here) breaks before bbbb.
        BreakCase{"OneLess", QStringLiteral("aaaa bbbb cccc"), WB, 8, {"aaaa", "bbbb", "cccc"}},
        BreakCase{"BlanksAtTheBreakAreDropped", QStringLiteral("aaaa    bbbb"), WB, 6, {"aaaa", "bbbb"}},
        BreakCase{"LeadingBlanksOfTheTextStay", QStringLiteral("  aa bb"), WB, 20, {"  aa bb"}},
        BreakCase{"LongWordIsNotSplit", QStringLiteral("aaaaaaaaaaaa bb"), WB, 5, {"aaaaaaaaaaaa", "bb"}},
        BreakCase{"LongWordAfterShortOne", QStringLiteral("bb aaaaaaaaaaaa"), WB, 5, {"bb", "aaaaaaaaaaaa"}},
        BreakCase{"CrLfCrAndLfEachBreak", QStringLiteral("aa\r\nbb\rcc\ndd"), DT_NOPREFIX, 20, {"aa", "bb", "cc", "dd"}},
        BreakCase{"EmptyLineBetweenBreaks", QStringLiteral("aa\r\n\r\nbb"), WB, 20, {"aa", "", "bb"}},
        BreakCase{"TrailingBreakAddsNoLine", QStringLiteral("aa\r\n"), WB, 20, {"aa"}},
        BreakCase{"SingleLineIgnoresBreaks", QStringLiteral("aa\r\nbb"), DT_SINGLELINE | WB, 1, {"aa\r\nbb"}},
        BreakCase{"NoWordBreakKeepsLongLine", QStringLiteral("aaaa bbbb cccc"), DT_NOPREFIX, 4, {"aaaa bbbb cccc"}},
        BreakCase{"TabIsABreakOpportunity", QStringLiteral("aaaa\tbbbb"), WB, 6, {"aaaa", "bbbb"}},
        BreakCase{"EmptyText", QString(), WB, 10, {}},
        BreakCase{"PrefixesAreStripped", QStringLiteral("a&&b&c"), DT_WORDBREAK, 20, {"a&bc"}},
        BreakCase{"NoPrefixKeepsAmpersands", QStringLiteral("a&&b&c"), WB, 20, {"a&&b&c"}}),
    [](const ::testing::TestParamInfo<BreakCase>& info) { return std::string(info.param.name); });

TEST(TextLayout, ExpandedTabsMoveToStopsOfEightAverageCharacters)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("Courier New"), 10);
    const int cw = face->CharWidth(U'a');
    ASSERT_EQ(face->AveCharWidth(), cw);
    const TTextLayout tabs = LayoutText(*face, QStringLiteral("a\tb"), DT_EXPANDTABS, 1000);
    EXPECT_EQ(tabs.Lines[0].Width, 8 * cw + cw);
    const TTextLayout plain = LayoutText(*face, QStringLiteral("a\tb"), 0, 1000);
    EXPECT_EQ(plain.Lines[0].Width, 2 * cw) << "an unexpanded tab is a control character of no width";
}

// DrawText on a recording canvas: what it returns and what it writes.
struct Recorded {
    int height = 0;
    TRect rect;
    QStringList texts; // of the EMR_EXTTEXTOUTW records, in order
    QList<TPoint> origins;
};

Recorded RecordDrawText(const QString& text, TRect rect, unsigned flags)
{
    TMetafile mf;
    Recorded r;
    {
        TMetafileCanvas canvas(mf, {}, {});
        canvas.Font()->SetName(QStringLiteral("Courier New"));
        canvas.Font()->SetSize(10);
        r.height = canvas.DrawText(text, rect, flags);
        r.rect = rect;
    }
    TEmfEnumerator e(mf);
    while (e.Next()) {
        if (e.Record().Type != EMR_EXTTEXTOUTW)
            continue;
        const ByteView b = e.Record().Bytes;
        QString s;
        for (std::uint32_t i = 0; i < b.u32le(44); ++i)
            s.append(QChar(char16_t(b.u16le(b.u32le(48) + 2 * i))));
        r.texts << s;
        r.origins << TPoint{b.i32le(36), b.i32le(40)};
    }
    return r;
}

TEST(DrawText, CalculateOnlyMeasuresWhatPaintingDraws)
{
    const QString text = QStringLiteral("aaaa bbbb cccc dddd");
    const TFontFacePtr face = FaceOf(QStringLiteral("Courier New"), 10);
    const int cw = face->CharWidth(U'a');
    const TRect box{10, 20, 10 + 9 * cw, 500};
    const Recorded measured = RecordDrawText(text, box, WB | DT_CALCRECT);
    const Recorded painted = RecordDrawText(text, box, WB);
    EXPECT_EQ(measured.height, 2 * face->Height());
    EXPECT_EQ(measured.height, painted.height);
    EXPECT_TRUE(measured.texts.isEmpty()) << "calculate-only must not draw";
    EXPECT_EQ(measured.rect.Bottom, 20 + measured.height);
    EXPECT_EQ(measured.rect.Right, box.Right) << "word-broken text keeps the width";
    EXPECT_EQ(painted.texts, (QStringList{"aaaa bbbb", "cccc dddd"}));
    EXPECT_EQ(painted.origins, (QList<TPoint>{{10, 20}, {10, 20 + face->Height()}}));
}

TEST(DrawText, EmptyTextTakesNoHeight)
{
    const Recorded r = RecordDrawText(QString(), {0, 0, 100, 100}, WB | DT_CALCRECT);
    EXPECT_EQ(r.height, 0);
    EXPECT_EQ(r.rect.Bottom, 0);
}

TEST(DrawText, AlignmentPlacesEachLine)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("Courier New"), 10);
    const int cw = face->CharWidth(U'a');
    const Recorded right = RecordDrawText(QStringLiteral("aa\r\nbbbb"), {0, 0, 10 * cw, 100}, DT_RIGHT | WB);
    EXPECT_EQ(right.origins, (QList<TPoint>{{8 * cw, 0}, {6 * cw, face->Height()}}));
    const Recorded centre = RecordDrawText(QStringLiteral("aa"), {0, 0, 10 * cw + 1, 100}, DT_CENTER | WB);
    EXPECT_EQ(centre.origins[0].X, (10 * cw + 1 - 2 * cw) / 2);
}

TEST(DrawText, SingleLineVerticalCentreReturnsTheBottomOffset)
{
    const TFontFacePtr face = FaceOf(QStringLiteral("Courier New"), 10);
    const Recorded r = RecordDrawText(QStringLiteral("x"), {0, 0, 100, 51}, DT_SINGLELINE | DT_VCENTER);
    const int top = (51 - face->Height()) / 2;
    EXPECT_EQ(r.origins[0].Y, top);
    EXPECT_EQ(r.height, top + face->Height());
}

TEST(DrawText, SolidBrushPaintsTheTextBackgroundClearDoesNot)
{
    // The background mode follows the brush as on the classic canvas.
    for (bool clear : {false, true}) {
        TMetafile mf;
        {
            TMetafileCanvas canvas(mf, {}, {});
            if (clear)
                canvas.Brush()->SetStyle(bsClear);
            canvas.TextOut(0, 0, QStringLiteral("x"));
        }
        TEmfEnumerator e(mf);
        while (e.Next()) {
            if (e.Record().Type == EMR_EXTTEXTOUTW) {
                EXPECT_EQ(e.State().BkMode, clear ? TRANSPARENT_MODE : OPAQUE_MODE);
            }
        }
    }
}

} // namespace
} // namespace vorel

namespace vorel {
namespace {

// What the PDF writer asks of a face: the classic pitch-and-family byte, the
// embedding licence and the font file.
TEST(FontInformation, PitchFamilyLicenceAndFileOfTheStandardFaces)
{
    const TFontFacePtr sans = FaceOf(QStringLiteral("Arial"), 10);
    const TFontFacePtr serif = FaceOf(QStringLiteral("Times New Roman"), 10);
    const TFontFacePtr mono = FaceOf(QStringLiteral("Courier New"), 10);
    EXPECT_EQ(sans->PitchAndFamily(), 0x20 | 4 | 1) << "swiss, TrueType, variable pitch";
    EXPECT_EQ(serif->PitchAndFamily(), 0x10 | 4 | 1) << "roman";
    EXPECT_EQ(mono->PitchAndFamily(), 0x30 | 4) << "modern, fixed pitch";
    EXPECT_EQ(sans->OutlineTypeFlags() & 1, 0) << "the Liberation faces allow embedding";

    const QByteArray file = sans->FontData();
    ASSERT_GT(file.size(), 10000);
    EXPECT_EQ(ByteView(file).u32be(0), 0x00010000u);
    const QRawFont reloaded(file, 20);
    ASSERT_TRUE(reloaded.isValid());
    EXPECT_EQ(reloaded.familyName(), sans->FamilyName());
}

} // namespace
} // namespace vorel
