// The one shaping step of every device: which glyphs a text record becomes,
// from which face, at which places.
#include "graphics/text_shaping.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

TFontFacePtr FaceOf(const char* name, TFontStyles style = {})
{
    TFont font;
    font.SetName(QString::fromLatin1(name));
    font.SetSize(12);
    font.SetStyle(style);
    return TTextMeasurer::Face(font);
}

int GlyphCount(const TShapedText& shaped)
{
    int n = 0;
    for (const TGlyphRun& run : shaped)
        n += int(run.Glyphs.size());
    return n;
}

TEST(TextShaping, SimpleTextStandsGlyphByGlyphAtTheMeasuredAdvances)
{
    const TFontFacePtr face = FaceOf("Arial");
    TShapedText shaped;
    const QString text = QStringLiteral("Total \u20AC 12");
    const int dx[] = {9, 8, 7, 6, 5, 4, 10, 3, 11, 12};
    ShapeText(*face, text, dx, shaped);
    ASSERT_EQ(shaped.RunCount, 1);
    EXPECT_FALSE(shaped.Shaped);
    EXPECT_EQ(shaped.ScaleX, 1);
    EXPECT_EQ(shaped.Width, 75);
    const TGlyphRun& run = *shaped.begin();
    EXPECT_EQ(run.Font, &face->RawFont());
    ASSERT_EQ(run.Positions.size(), text.size());
    int x = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        EXPECT_EQ(run.Positions[i], QPointF(x, 0)) << i;
        EXPECT_EQ(run.Sources[std::size_t(i)].Start, int(i));
        x += dx[i];
    }
}

TEST(TextShaping, WhatTheFaceLacksComesFromAFallbackFaceAndWhatNoFaceHasTakesNoGlyph)
{
    const TFontFacePtr face = FaceOf("Arial");
    TShapedText shaped;
    // A Chinese word in a Latin face, a lone surrogate and a control
    // character: two fallback glyphs, nothing for the other two.
    const QString text = QStringLiteral("ab\u4F60\u597D") + QChar(0xD800) + QChar(0x07) + QStringLiteral("c");
    ShapeText(*face, text, nullptr, shaped);
    ASSERT_EQ(shaped.RunCount, 3);
    const TGlyphRun* runs = shaped.begin();
    EXPECT_EQ(runs[0].Font, &face->RawFont());
    EXPECT_NE(runs[1].Font, &face->RawFont());
    EXPECT_EQ(runs[1].Glyphs.size(), 2);
    EXPECT_EQ(runs[2].Glyphs.size(), 1);
    EXPECT_EQ(runs[2].Sources[0].Start, 6);
}

TEST(TextShaping, LettersOnlyQtsStandInDrawsTakeNoGlyphAndNameNoFamily)
{
    // Qt offers no face for Thaana here (it stands its box engine in),
    // whatever fontconfig has; asking that stand-in its family crashed.
    const TFontFacePtr face = FaceOf("Arial");
    for (const QString& text : {QStringLiteral("ab \u0780\u07A6\u0783"), QStringLiteral("\u0780")}) {
        TShapedText shaped;
        ShapeText(*face, text, nullptr, shaped);
        for (const TGlyphRun& run : shaped) {
            ASSERT_NE(run.Font, nullptr);
            EXPECT_TRUE(IsRealFace(*run.Font));
            EXPECT_FALSE(FaceFamilyName(*run.Font).isEmpty());
        }
    }
    const TFontFace::TFallbackGlyph fallback = face->FallbackGlyph(0x0780);
    if (fallback.Font) {
        EXPECT_TRUE(IsRealFace(*fallback.Font));
    }
    EXPECT_TRUE(FaceFamilyName(QRawFont()).isEmpty());
}

TEST(TextShaping, ShapedTextKeepsTheReportsFaceForItsLettersAndFillsTheMeasuredWidth)
{
    const struct {
        const char* Name;
        QString Text;
        bool RightToLeft;
    } cases[] = {
        {"Arabic after Latin", QStringLiteral("Invoice total \u0645\u0631\u062D\u0628\u0627"), true},
        {"Hebrew", QStringLiteral("\u05E9\u05DC\u05D5\u05DD"), true},
        {"Devanagari", QStringLiteral("\u0928\u092E\u0938\u094D\u0924\u0947"), false},
        {"a line separator", QStringLiteral("abc\u2028def \u05E9\u05DC"), true},
    };
    const TFontFacePtr face = FaceOf("Liberation Serif");
    for (const auto& c : cases) {
        TShapedText shaped;
        ShapeText(*face, c.Text, nullptr, shaped);
        EXPECT_TRUE(shaped.Shaped) << c.Name;
        EXPECT_EQ(shaped.RightToLeft, c.RightToLeft) << c.Name;
        // Stretched to the unshaped width, not squeezed or blown up.
        EXPECT_GT(shaped.ScaleX, 0.6) << c.Name;
        EXPECT_LT(shaped.ScaleX, 1.6) << c.Name;
        EXPECT_GE(GlyphCount(shaped), int(c.Text.size()) - 3) << c.Name; // a separator is no glyph
        // Latin letters in the report's own face.
        bool latinInFace = false;
        for (const TGlyphRun& run : shaped)
            for (const TGlyphSource& source : run.Sources)
                if (source.Length == 1 && c.Text[source.Start].unicode() < 0x80 && c.Text[source.Start].isLetter())
                    latinInFace = latinInFace || run.Font == &face->RawFont();
        if (c.Text[0].unicode() < 0x80) {
            EXPECT_TRUE(latinInFace) << c.Name;
        }
    }
}

} // namespace
} // namespace vorel
