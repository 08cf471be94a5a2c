#include "graphics/text_shaping.h"

#include <QGlyphRun>
#include <QTextLayout>
#include <QVarLengthArray>

#include <cmath>

namespace vorel {

namespace {

// Characters whose scripts join, reorder or stack glyphs, combining marks,
// and the bidirectional controls.
bool IsComplexChar(char32_t c)
{
    if (c < 0x0300)
        return false;
    return (c <= 0x036F) // combining diacritical marks
        || (c >= 0x0590 && c <= 0x08FF) // Hebrew, Arabic, Syriac, Thaana, NKo, Samaritan, Mandaic
        || (c >= 0x0900 && c <= 0x0FFF) // the Indic scripts, Sinhala, Thai, Lao, Tibetan
        || (c >= 0x1000 && c <= 0x109F) // Myanmar
        || (c >= 0x1780 && c <= 0x18AF) // Khmer, Mongolian
        || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) // more combining marks
        || (c >= 0x200C && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)
        || (c >= 0x20D0 && c <= 0x20FF) // combining marks for symbols
        || (c >= 0xA8E0 && c <= 0xA8FF) // Devanagari extended
        || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) // Hebrew and Arabic forms
        || (c >= 0xFE20 && c <= 0xFE2F) // combining half marks
        || (c >= 0x10800 && c <= 0x10FFF) // right-to-left historic scripts
        || (c >= 0x11000 && c <= 0x11FFF) // Brahmi and its descendants
        || (c >= 0x1E800 && c <= 0x1EFFF); // Adlam, Arabic mathematical
}

bool IsRightToLeftChar(char32_t c)
{
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)
        || (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

char32_t CodePointAt(QStringView text, qsizetype i, bool& pair)
{
    pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    return pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : char32_t(text[i].unicode());
}

// Glyph by glyph at the measured advances.
void PlaceGlyphs(const TFontFace& face, QStringView text, const int* advances, TShapedText& out)
{
    const qsizetype n = text.size();
    TGlyphRun* run = nullptr;
    qreal x = 0;
    for (qsizetype i = 0; i < n; ++i) {
        bool pair = false;
        const char32_t c = CodePointAt(text, i, pair);
        const qreal advance = advances[i] + (pair ? advances[i + 1] : 0);
        if (c >= 0x20 && c != 0x7F && !(c >= 0xD800 && c <= 0xDFFF)) {
            const QRawFont* font = &face.RawFont();
            std::uint32_t glyph = face.GlyphIndex(c);
            if (glyph == 0) {
                const TFontFace::TFallbackGlyph fallback = face.FallbackGlyph(c);
                font = fallback.Font;
                glyph = fallback.Glyph;
            }
            if (glyph != 0 && font) {
                if (!run || run->Font != font)
                    run = &out.AddRun(font);
                run->Glyphs.append(glyph);
                run->Positions.append(QPointF(x, 0));
                run->Sources.push_back({int(i), pair ? 2 : 1});
            }
        }
        x += advance;
        if (pair)
            ++i;
    }
}

// Laid out by Qt: shaped, in visual order, with fallback faces.
// Texts up to this many UTF-16 units get the characters of each glyph for
// copying (finding them asks the layout once a character); longer shaped
// texts (only generated or hostile pages have them) are drawn without.
constexpr qsizetype kMaxMappedText = 1000;

bool IsLoneSurrogate(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return !(i + 1 < text.size() && text[i + 1].isLowSurrogate());
    if (c.isLowSurrogate())
        return !(i > 0 && text[i - 1].isHighSurrogate());
    return false;
}

void LayOut(const TFontFace& face, QStringView text, TShapedText& out)
{
    // One line, as the glyph-by-glyph way draws it: line and paragraph
    // separators, control characters and lone surrogates take no glyph
    // there and become zero-width spaces here (the string keeps its length).
    QString string = text.toString();
    for (qsizetype i = 0; i < string.size(); ++i) {
        const char16_t u = string[i].unicode();
        if (u < 0x20 || u == 0x7F || u == 0x2028 || u == 0x2029 || IsLoneSurrogate(text, i))
            string[i] = QChar(0x200B);
    }
    // Laid out in the face that has the text's first letter that needs
    // shaping: the report's face, or the one fontconfig offers for it (a
    // face without the script would only be asked, and warned about, in vain).
    QFont font = face.QtFont();
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool pair = false;
        const char32_t c = CodePointAt(text, i, pair);
        if (IsComplexChar(c) && c > 0x36F) {
            if (face.GlyphIndex(c) == 0) {
                const TFontFace::TFallbackGlyph fallback = face.FallbackGlyph(c);
                // The report's face first, for the letters it has.
                if (fallback.Font)
                    font.setFamilies({face.QtFont().family(), FaceFamilyName(*fallback.Font)});
            }
            break;
        }
        if (pair)
            ++i;
    }
    QTextLayout layout(string, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LayoutDirectionAuto);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;
    // The layout's font has a whole-pixel size; the report's face may not.
    const qreal k = face.EmPixels() / std::max(1, font.pixelSize());
    const qreal baseline = line.y() + line.ascent();

    // Which characters each glyph shows, for copying and searching: the
    // glyphs the layout gives each character's range.
    // A glyph is known by its font, its number and its place: two equal
    // letters are two glyphs at two places, a ligature one glyph at one.
    struct TKey {
        const QRawFont* Font;
        quint32 Glyph;
        QPointF At;
        bool operator==(const TKey& o) const
        {
            return Font == o.Font && Glyph == o.Glyph && std::abs(At.x() - o.At.x()) < 0.01
                && std::abs(At.y() - o.At.y()) < 0.01;
        }
    };
    std::vector<std::pair<TKey, TGlyphSource>> sources;
    for (qsizetype i = 0; i < text.size() && text.size() <= kMaxMappedText; ++i) {
        bool pair = false;
        CodePointAt(text, i, pair);
        const int length = pair ? 2 : 1;
        for (const QGlyphRun& part : layout.glyphRuns(int(i), length)) {
            const QRawFont* font = face.InternFont(part.rawFont());
            const QList<quint32> glyphs = part.glyphIndexes();
            const QList<QPointF> places = part.positions();
            for (qsizetype g = 0; g < glyphs.size() && g < places.size(); ++g) {
                const TKey glyph{font, glyphs[g], places[g]};
                bool known = false;
                for (auto& [key, source] : sources) {
                    if (!(key == glyph))
                        continue;
                    known = true;
                    // A ligature: the glyph shows this character too.
                    if (source.Start + source.Length == int(i))
                        source.Length += length;
                    break;
                }
                if (!known)
                    sources.push_back({glyph, {int(i), length}});
            }
        }
        if (pair)
            ++i;
    }

    qreal left = 0;
    bool first = true;
    for (const QGlyphRun& part : layout.glyphRuns()) {
        const QRawFont* font = face.InternFont(part.rawFont());
        if (!font)
            continue;
        TGlyphRun& run = out.AddRun(font);
        const QList<quint32> glyphs = part.glyphIndexes();
        const QList<QPointF> positions = part.positions();
        for (qsizetype g = 0; g < glyphs.size() && g < positions.size(); ++g) {
            const QPointF p((positions[g].x()) * k, (positions[g].y() - baseline) * k);
            if (first || p.x() < left)
                left = p.x();
            first = false;
            run.Glyphs.append(glyphs[g]);
            run.Positions.append(p);
            TGlyphSource source;
            const TKey glyph{font, glyphs[g], positions[g]};
            for (const auto& [key, known] : sources)
                if (key == glyph) {
                    source = known;
                    break;
                }
            run.Sources.push_back(source);
        }
    }
    // The text starts at the cell's left whatever the layout's own origin.
    for (int r = 0; r < out.RunCount; ++r)
        for (QPointF& p : out.Runs[std::size_t(r)].Positions)
            p.rx() -= left;
    const qreal natural = line.naturalTextWidth() * k;
    if (natural > 0 && out.Width > 0)
        out.ScaleX = out.Width / natural;
}

} // namespace

void TGlyphRun::Clear()
{
    Font = nullptr;
    Glyphs.clear();
    Positions.clear();
    Sources.clear();
}

void TShapedText::Clear()
{
    RunCount = 0;
    Width = 0;
    Shaped = false;
    RightToLeft = false;
    ScaleX = 1;
}

TGlyphRun& TShapedText::AddRun(const QRawFont* font)
{
    if (std::size_t(RunCount) == Runs.size())
        Runs.emplace_back();
    TGlyphRun& run = Runs[std::size_t(RunCount++)];
    run.Clear();
    run.Font = font;
    return run;
}

bool NeedsShaping(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x0300)
            continue;
        bool pair = false;
        if (IsComplexChar(CodePointAt(text, i, pair)))
            return true;
        if (pair)
            ++i;
    }
    return false;
}

void ShapeText(const TFontFace& face, QStringView text, const int* advances, TShapedText& out)
{
    out.Clear();
    const qsizetype n = text.size();
    QVarLengthArray<int, 128> own;
    if (!advances) {
        own.resize(n);
        face.Advances(text, own.data());
        advances = own.data();
    }
    qreal width = 0;
    for (qsizetype i = 0; i < n; ++i)
        width += advances[i];
    out.Width = width;
    if (NeedsShaping(text)) {
        out.Shaped = true;
        for (qsizetype i = 0; i < n && !out.RightToLeft; ++i) {
            bool pair = false;
            out.RightToLeft = IsRightToLeftChar(CodePointAt(text, i, pair));
        }
        LayOut(face, text, out);
        return;
    }
    PlaceGlyphs(face, text, advances, out);
}

} // namespace vorel
