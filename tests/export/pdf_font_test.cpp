// PDF fonts: the base name chosen from the face name, which entries are
// standard fonts, the code-page differences, and the TrueType subsets that
// are embedded (checked by loading them back as fonts).

#include "export/pdf_code_pages.h"
#include "export/pdf_font_subset.h"
#include "export/pdf_fonts.h"
#include "export/pdf_object_writer.h"
#include "graphics/text_measure.h"

#include <QPainterPath>
#include <gtest/gtest.h>
#include <memory>

namespace vorel {
namespace {

// A font is a persistent object (not copyable): the tests hold it by pointer.
std::unique_ptr<TFont> Font(const QString& name, TFontStyles style = {}, TFontCharset charset = DEFAULT_CHARSET)
{
    auto font = std::make_unique<TFont>();
    font->SetName(name);
    font->SetStyle(style);
    font->SetCharset(charset);
    return font;
}

TEST(PdfFontFamily, BaseNamesFollowTheFaceName)
{
    const struct {
        const char* Face;
        TFontStyles Style;
        TFontCharset Charset;
        const char* Base;
    } cases[] = {
        {"Arial", fsBold | fsItalic, ANSI_CHARSET, "Helvetica-BoldOblique"},
        {"Arial", fsItalic, ANSI_CHARSET, "Helvetica-Oblique"},
        {"MS Sans Serif", fsBold, ANSI_CHARSET, "Helvetica-Bold"},
        {"Courier New", {}, ANSI_CHARSET, "Courier"},
        {"Courier New", fsBold, ANSI_CHARSET, "Courier-Bold"},
        {"Times New Roman", fsItalic, ANSI_CHARSET, "Times-Italic"},
        {"Times New Roman", fsBold | fsItalic, ANSI_CHARSET, "Times-BoldItalic"},
        {"Verdana", fsBold, ANSI_CHARSET, "Times-Roman"}, // unknown faces keep Times-Roman whatever their style
        {"Symbol", {}, SYMBOL_CHARSET, "Symbol"},
        {"Wingdings", {}, SYMBOL_CHARSET, "ZapfDingbats"},
        {"Arial", {}, SHIFTJIS_CHARSET, "JapanFont"},
        {"Arial", {}, CHINESEBIG5_CHARSET, "ChineseTraditionalFont"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TKVXPDFFonts::FontFamily(*Font(QString::fromLatin1(c.Face), c.Style), c.Charset),
            QString::fromLatin1(c.Base))
            << c.Face;
    }
}

TEST(PdfFontFamily, DefaultCharacterSetFollowsTheCodePage)
{
    EXPECT_EQ(TKVXPDFFonts::GetFontCharset(DEFAULT_CHARSET, 1251), RUSSIAN_CHARSET);
    EXPECT_EQ(TKVXPDFFonts::GetFontCharset(DEFAULT_CHARSET, 1250), EASTEUROPE_CHARSET);
    EXPECT_EQ(TKVXPDFFonts::GetFontCharset(DEFAULT_CHARSET, 1252), ANSI_CHARSET);
    EXPECT_EQ(TKVXPDFFonts::GetFontCharset(DEFAULT_CHARSET, 437), ANSI_CHARSET);
    EXPECT_EQ(TKVXPDFFonts::GetFontCharset(GREEK_CHARSET, 1251), GREEK_CHARSET);
}

TEST(PdfFontEntry, OnlyPlainStandardNamesInTheAnsiSetAreStandardFonts)
{
    const struct {
        const char* Base;
        TFontCharset Charset;
        const char* Name;
        bool Standard;
        const char* Encoding;
    } cases[] = {
        {"Helvetica", ANSI_CHARSET, "Helvetica", true, "WinAnsiEncoding"},
        {"Helvetica", RUSSIAN_CHARSET, "Helvetica-Russian", false, "WinAnsiEncoding"},
        {"Helvetica-Bold", ANSI_CHARSET, "Helvetica-Bold", false, "WinAnsiEncoding"},
        {"Times-Roman", ANSI_CHARSET, "Times-Roman", false, "WinAnsiEncoding"},
        {"Courier", EASTEUROPE_CHARSET, "Courier-EastEurope", false, "WinAnsiEncoding"},
        {"Times-Roman", GREEK_CHARSET, "Times-Roman-Greek", false, "WinAnsiEncoding"},
        {"Times-Roman", HEBREW_CHARSET, "Times-Roman-177", false, "WinAnsiEncoding"},
        {"Symbol", SYMBOL_CHARSET, "Symbol-Symbol", false, "StandardEncoding"},
        {"Helvetica", MAC_CHARSET, "Helvetica-MAC", false, "MacRomanEncoding"},
    };
    for (const auto& c : cases) {
        TKVXPDFFont font;
        font.BaseName = QString::fromLatin1(c.Base);
        font.Charset = c.Charset;
        EXPECT_EQ(font.GetFontName(), QString::fromLatin1(c.Name));
        EXPECT_EQ(font.IsStandardFont(), c.Standard) << c.Name;
        EXPECT_EQ(font.EncodingString(), QString::fromLatin1(c.Encoding)) << c.Name;
    }
}

TEST(PdfFontEntry, ParametersComeFromTheResolvedFace)
{
    TKVXPDFFont serif;
    serif.FontParameters(*Font(QStringLiteral("Times New Roman"), fsItalic));
    EXPECT_EQ(serif.TrueType, 1);
    EXPECT_EQ(serif.Embeddable, 1); // the Liberation faces allow embedding
    EXPECT_EQ(serif.DescriptorFlags, 32 + 2 + 64); // nonsymbolic, serif, italic
    TKVXPDFFont sans;
    sans.FontParameters(*Font(QStringLiteral("Arial")));
    EXPECT_EQ(sans.DescriptorFlags, 32);
}

TEST(PdfFontTable, EntriesAreSharedByNameCharsetAndFace)
{
    QByteArray sink;
    TPdfWriter pdf([&sink](QByteArrayView b) { sink.append(b); });
    TKVXPDFFonts fonts;
    const int arial = fonts.FontFromTable(pdf, *Font(QStringLiteral("Arial")), ANSI_CHARSET);
    EXPECT_EQ(fonts.FontFromTable(pdf, *Font(QStringLiteral("Arial")), ANSI_CHARSET), arial);
    // Standard fonts are the viewer's: any face that maps to the name shares it.
    EXPECT_EQ(fonts.FontFromTable(pdf, *Font(QStringLiteral("Arial Narrow")), ANSI_CHARSET), arial);
    const int russian = fonts.FontFromTable(pdf, *Font(QStringLiteral("Arial")), RUSSIAN_CHARSET);
    EXPECT_NE(russian, arial);
    // Two unknown faces both become "Times-Roman", but each keeps its own
    // widths (and outlines when embedded), so each has its entry.
    const int verdana = fonts.FontFromTable(pdf, *Font(QStringLiteral("Verdana")), ANSI_CHARSET);
    const int dejavu = fonts.FontFromTable(pdf, *Font(QStringLiteral("DejaVu Sans")), ANSI_CHARSET);
    EXPECT_NE(verdana, dejavu);
    EXPECT_EQ(fonts.GetFont(verdana)->BaseName, QStringLiteral("Times-Roman"));
    EXPECT_EQ(fonts.Count(), 4);
    EXPECT_EQ(fonts.GetFont(4), nullptr);
    EXPECT_EQ(fonts.GetFont(-1), nullptr);
    // References are handed out in order of first use.
    EXPECT_EQ(fonts.GetFont(arial)->Reference + 1, fonts.GetFont(russian)->Reference);
}

TEST(PdfFontTable, OnlyNonAnsiTrueTypeFacesAreEmbedded)
{
    QByteArray sink;
    TPdfWriter pdf([&sink](QByteArrayView b) { sink.append(b); });
    TKVXPDFFonts fonts;
    const int western = fonts.FontFromTable(pdf, *Font(QStringLiteral("Times New Roman")), ANSI_CHARSET);
    const int cyrillic = fonts.FontFromTable(pdf, *Font(QStringLiteral("Times New Roman")), RUSSIAN_CHARSET);
    const int standard = fonts.FontFromTable(pdf, *Font(QStringLiteral("Arial")), ANSI_CHARSET);
    EXPECT_FALSE(fonts.GetFont(western)->WillEmbed());
    EXPECT_TRUE(fonts.GetFont(cyrillic)->WillEmbed());
    EXPECT_FALSE(fonts.GetFont(standard)->WillEmbed());
}

TEST(PdfDifferences, TablesCoverTheCodesWhereTheCodePageLeavesWinAnsi)
{
    const struct {
        int CodePage;
        std::size_t Count;
        int First, Last;
        const char* FirstName;
        const char* SecondName;
    } cases[] = {
        {1253, 72, 161, 254, "dieresistonos", "Alphatonos"},
        {1250, 53, 140, 255, "Sacute", "Tcaron"},
        {1251, 96, 128, 255, "afii10051", "afii10052"},
        {1255, 56, 164, 254, "afii57636", "multiply"},
        {1257, 58, 141, 255, "dieresis", "caron"},
        {1254, 6, 208, 254, "Gbreve", "Idotaccent"},
        {1256, 64, 129, 255, "afii57506", "afii57511"},
    };
    for (const auto& c : cases) {
        const auto table = PdfDifferences(c.CodePage);
        ASSERT_EQ(table.size(), c.Count) << c.CodePage;
        EXPECT_EQ(table.front().Code, c.First) << c.CodePage;
        EXPECT_EQ(table.back().Code, c.Last) << c.CodePage;
        EXPECT_STREQ(table[0].Name, c.FirstName);
        EXPECT_STREQ(table[1].Name, c.SecondName);
        // Exactly the codes where the code page and 1252 disagree.
        const TPdfCodePage& page = TPdfCodePage::Get(c.CodePage);
        const TPdfCodePage& ansi = TPdfCodePage::Get(1252);
        std::size_t differing = 0;
        for (int code = 128; code < 256; ++code) {
            const char16_t ch = page.Decode(std::uint8_t(code));
            if (ch != 0 && ch != ansi.Decode(std::uint8_t(code)))
                ++differing;
        }
        EXPECT_EQ(differing, c.Count) << c.CodePage;
    }
    EXPECT_TRUE(PdfDifferences(1252).empty());
}

QList<TPdfGlyphChar> CodePageChars(const TFontFace& face, int codePage)
{
    QList<TPdfGlyphChar> chars;
    for (int code = 32; code < 256; ++code) {
        const char16_t c = TPdfCodePage::Get(codePage).Decode(std::uint8_t(code));
        if (c)
            chars.append({c, face.GlyphIndex(c)});
    }
    return chars;
}

TEST(PdfFontSubset, SubsetDrawsEveryCharacterAsTheFaceDoes)
{
    for (const char* name : {"Arial", "Times New Roman", "DejaVu Sans"}) {
        TFontRequest request;
        request.Name = QString::fromLatin1(name);
        request.Height = -1000;
        const TFontFacePtr face = TTextMeasurer::Face(request);
        for (const int codePage : {1251, 1250, 1253}) {
            const QList<TPdfGlyphChar> chars = CodePageChars(*face, codePage);
            const QByteArray subset = SubsetTrueTypeFont(face->RawFont(), chars);
            ASSERT_FALSE(subset.isEmpty()) << name;
            const QRawFont loaded(subset, 1000);
            ASSERT_TRUE(loaded.isValid()) << name << " " << codePage;
            // A few hundred glyphs of the face's thousands.
            EXPECT_LT(subset.size(), face->FontData().size() / 4) << name;
            for (const TPdfGlyphChar& c : chars) {
                if (c.Glyph == 0)
                    continue; // the face lacks it; so does the subset
                const QChar ch(c.Char);
                quint32 glyph = 0;
                int count = 1;
                ASSERT_TRUE(loaded.glyphIndexesForChars(&ch, 1, &glyph, &count));
                ASSERT_NE(glyph, 0u) << name << " U+" << std::hex << int(c.Char);
                // Same outline (composite glyphs included) and advance.
                EXPECT_EQ(loaded.pathForGlyph(glyph).boundingRect().toRect(),
                    face->RawFont().pathForGlyph(c.Glyph).boundingRect().toRect())
                    << name << " U+" << std::hex << int(c.Char);
                const auto advance = loaded.advancesForGlyphIndexes(QList<quint32>{glyph});
                const auto original = face->RawFont().advancesForGlyphIndexes(QList<quint32>{c.Glyph});
                EXPECT_NEAR(advance.first().x(), original.first().x(), 0.5);
            }
        }
    }
}

TEST(PdfFontSubset, FacesWithoutTrueTypeOutlinesGiveNoSubset)
{
    EXPECT_TRUE(SubsetTrueTypeTables([](const char*) { return QByteArray(); }, {}).isEmpty());
    // A loca that points past the glyph data is refused, not followed.
    TFontRequest request;
    request.Name = QStringLiteral("Arial");
    request.Height = -1000;
    const TFontFacePtr face = TTextMeasurer::Face(request);
    const QRawFont& raw = face->RawFont();
    const QByteArray subset = SubsetTrueTypeTables(
        [&raw](const char* tag) {
            QByteArray t = raw.fontTable(tag);
            if (qstrcmp(tag, "glyf") == 0)
                t.truncate(t.size() / 2);
            return t;
        },
        {{u'A', face->GlyphIndex(u'A')}});
    EXPECT_TRUE(subset.isEmpty());
}

} // namespace
} // namespace vorel
