#include "graphics/text_measure.h"

#include "foundation/values/byte_io.h"
#include "graphics/sfnt.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QTextLayout>
#include <cmath>
#include <cstdio>

namespace vorel {

namespace {

// Without a height the classic font mapper picks a default size; 12 pixels
// (9 points) is what it picks for the usual faces at 96 dpi.
constexpr qreal kDefaultEmPixels = 12.0;
// Beyond this many faces the cache starts afresh: only hostile metafiles
// ask for that many fonts, and held faces stay valid.
constexpr int kMaxCachedFaces = 1024;
// A font larger than this is not a text any page can show; clamping keeps
// advance tables and glyph rasters bounded for hostile input.
constexpr qreal kMaxEmPixels = 4096.0;

struct SfntMetrics {
    bool Valid = false;
    int UnitsPerEm = 0;
    int WinAscent = 0;
    int WinDescent = 0;
    int HheaAscender = 0;
    int HheaDescender = 0;
    int LineGap = 0;
    int AvgCharWidth = 0;
    int AdvanceWidthMax = 0;
    bool FixedPitch = false;
    bool TrueType = false;
    int FsType = 0;
    int PanoseFamily = 0; // bFamilyType
    int PanoseSerif = 0; // bSerifStyle
    int PanoseProportion = 0;
};

SfntMetrics ReadSfntMetrics(const QRawFont& raw)
{
    SfntMetrics m;
    const QByteArray head = raw.fontTable("head");
    const QByteArray hhea = raw.fontTable("hhea");
    if (head.size() < 54 || hhea.size() < 36)
        return m;
    const ByteView h(head);
    const ByteView hh(hhea);
    m.UnitsPerEm = h.u16be(18);
    if (m.UnitsPerEm <= 0)
        return m;
    m.HheaAscender = hh.i16be(4);
    m.HheaDescender = hh.i16be(6);
    m.LineGap = hh.i16be(8);
    m.AdvanceWidthMax = hh.u16be(10);
    const QByteArray os2 = raw.fontTable("OS/2");
    if (os2.size() >= 78) {
        const ByteView o(os2);
        m.AvgCharWidth = o.i16be(2);
        m.WinAscent = o.u16be(74);
        m.WinDescent = o.u16be(76);
        m.FsType = o.u16be(8);
        m.PanoseFamily = o.u8(32);
        m.PanoseSerif = o.u8(33);
        m.PanoseProportion = o.u8(35);
    } else {
        m.WinAscent = m.HheaAscender;
        m.WinDescent = -m.HheaDescender;
    }
    const QByteArray post = raw.fontTable("post");
    if (post.size() >= 16)
        m.FixedPitch = ByteView(post).u32be(12) != 0;
    m.TrueType = !raw.fontTable("glyf").isEmpty() || !raw.fontTable("CFF ").isEmpty();
    m.Valid = true;
    return m;
}

int RoundUp(qreal v) { return int(std::ceil(v - 1e-9)); }

} // namespace

TFontRequest TFontRequest::From(const TFont& font)
{
    TFontRequest r;
    r.Name = font.Name();
    r.Height = font.Height();
    r.Bold = font.Style().testFlag(fsBold);
    r.Italic = font.Style().testFlag(fsItalic);
    return r;
}

TFontFace::TFontFace(const TFontRequest& request) : FRequest(request)
{
    FFont = QFont(request.Name);
    FFont.setHintingPreference(QFont::PreferNoHinting);
    FFont.setKerning(false);
    FFont.setBold(request.Bold);
    FFont.setItalic(request.Italic);
    FFont.setPixelSize(100);
    FRaw = QRawFont::fromFont(FFont);
    const SfntMetrics m = FRaw.isValid() ? ReadSfntMetrics(FRaw) : SfntMetrics();

    qreal em = kDefaultEmPixels;
    if (request.Height < 0) {
        em = -qreal(request.Height);
    } else if (request.Height > 0) {
        // A positive height is the cell height (ascent + descent).
        const int cell = m.Valid ? m.WinAscent + m.WinDescent : 0;
        em = cell > 0 ? qreal(request.Height) * m.UnitsPerEm / cell : qreal(request.Height);
    }
    em = std::clamp(em, 1.0, kMaxEmPixels);
    FEmPixels = em;
    FFont.setPixelSize(std::max(1, qRound(em)));
    if (FRaw.isValid())
        FRaw.setPixelSize(em);

    if (m.Valid) {
        const qreal scale = em / m.UnitsPerEm;
        FAscent = RoundUp(m.WinAscent * scale);
        FDescent = RoundUp(m.WinDescent * scale);
        // The classic external leading: the part of the typographic line gap
        // that the Windows ascent and descent do not already cover.
        const int extra = m.LineGap - ((m.WinAscent + m.WinDescent) - (m.HheaAscender - m.HheaDescender));
        FExternalLeading = std::max(0, qRound(extra * scale));
        FAveCharWidth = qRound(m.AvgCharWidth * scale);
        FMaxCharWidth = qRound(m.AdvanceWidthMax * scale);
        FFixedPitch = m.FixedPitch || m.PanoseProportion == 9; // PANOSE monospaced
        FTrueType = m.TrueType;
        FFsType = m.FsType;
        // The family as the classic mapper derives it from PANOSE: script
        // and decorative faces by kind, text faces by serif style.
        if (m.PanoseFamily == 3)
            FFamilyNibble = 0x40;
        else if (m.PanoseFamily == 4 || m.PanoseFamily == 5)
            FFamilyNibble = 0x50;
        else if (FFixedPitch)
            FFamilyNibble = 0x30;
        else if (m.PanoseFamily == 2)
            FFamilyNibble = (m.PanoseSerif >= 11 && m.PanoseSerif <= 13) ? 0x20 : 0x10;
    } else {
        const QFontMetricsF fm(FFont);
        FAscent = RoundUp(fm.ascent());
        FDescent = RoundUp(fm.descent());
        FExternalLeading = std::max(0, qRound(fm.leading()));
        FAveCharWidth = qRound(fm.averageCharWidth());
        FMaxCharWidth = qRound(fm.maxWidth());
        FFixedPitch = QFontInfo(FFont).fixedPitch();
    }
    FLatin = PageFor(0).Advance.data();
    FLatinGlyphs = PageFor(0).Glyph.data();
    if (FAveCharWidth <= 0)
        FAveCharWidth = std::max(1, CharWidth(U'x'));
    FInternalLeading = std::max(0, FAscent + FDescent - qRound(em));
}

TFontFace::TDecoration TFontFace::Decoration() const
{
    const QFontMetricsF metrics(FFont);
    // The metrics are of the whole-pixel size of FFont; the face's em may not be.
    const qreal k = FEmPixels / std::max(1, FFont.pixelSize());
    TDecoration d;
    d.Thickness = std::max<qreal>(1.0, metrics.lineWidth() * k);
    d.UnderlineBelow = std::max<qreal>(1.0, metrics.underlinePos() * k);
    d.StrikeOutAbove = metrics.strikeOutPos() * k;
    return d;
}

QFont TFontFace::QtFont(bool underline, bool strikeOut) const
{
    QFont f = FFont;
    f.setUnderline(underline);
    f.setStrikeOut(strikeOut);
    return f;
}

int TFontFace::FallbackAdvance(char32_t c) const
{
    // Characters the face lacks are drawn by Qt from a fallback face; use
    // that face's advance so that measuring and drawing agree.
    if (c < 0x20 || c == 0x7F)
        return 0; // control characters take no room
    const QFontMetricsF fm(FFont);
    const char32_t chars[1] = {c};
    return qRound(fm.horizontalAdvance(QString::fromUcs4(chars, 1)) * FEmPixels / FFont.pixelSize());
}

void TFontFace::FillPage(Page& page, std::uint32_t base) const
{
    page.Advance.fill(0);
    page.Glyph.fill(0);
    if (FRaw.isValid()) {
        QChar chars[256];
        for (int i = 0; i < 256; ++i)
            chars[i] = QChar(char16_t(base + i));
        // Surrogate code units are not characters; they stay at glyph 0.
        quint32 glyphs[256];
        int count = 256;
        if (FRaw.glyphIndexesForChars(chars, 256, glyphs, &count) && count == 256) {
            QPointF advances[256];
            FRaw.advancesForGlyphIndexes(glyphs, advances, 256, QRawFont::UseDesignMetrics);
            for (int i = 0; i < 256; ++i) {
                const char32_t c = base + i;
                if (c >= 0xD800 && c <= 0xDFFF)
                    continue;
                if (glyphs[i] != 0 && c >= 0x20) {
                    page.Glyph[i] = glyphs[i];
                    page.Advance[i] = qRound(advances[i].x());
                } else {
                    page.Advance[i] = FallbackAdvance(c);
                }
            }
            return;
        }
    }
    for (int i = 0; i < 256; ++i) {
        const char32_t c = base + i;
        if (c < 0xD800 || c > 0xDFFF)
            page.Advance[i] = FallbackAdvance(c);
    }
}

const TFontFace::Page& TFontFace::PageFor(std::uint32_t pageIndex) const
{
    auto& slot = FPages[pageIndex];
    if (!slot) {
        slot = std::make_unique<Page>();
        FillPage(*slot, pageIndex << 8);
    }
    return *slot;
}

int TFontFace::CharWidthSlow(char32_t c) const
{
    if (c < 0x10000)
        return PageFor(c >> 8).Advance[c & 0xFF];
    auto it = FAstral.find(c);
    if (it == FAstral.end()) {
        int advance = 0;
        std::uint32_t glyph = 0;
        if (FRaw.isValid() && FRaw.supportsCharacter(uint(c))) {
            const char32_t chars[1] = {c};
            const QString s = QString::fromUcs4(chars, 1);
            quint32 glyphs[2];
            int count = 2;
            if (FRaw.glyphIndexesForChars(s.constData(), int(s.size()), glyphs, &count) && count >= 1) {
                QPointF adv;
                FRaw.advancesForGlyphIndexes(glyphs, &adv, 1, QRawFont::UseDesignMetrics);
                glyph = glyphs[0];
                advance = qRound(adv.x());
            }
        }
        if (glyph == 0)
            advance = FallbackAdvance(c);
        it = FAstral.emplace(c, std::make_pair(advance, glyph)).first;
    }
    return it->second.first;
}

bool IsRealFace(const QRawFont& font)
{
    // The stand-in keeps a default font definition, whose pixel size is
    // unset; every engine made for a font has a size.
    return font.isValid() && font.pixelSize() > 0;
}

QString FaceFamilyName(const QRawFont& font)
{
    return IsRealFace(font) ? font.familyName() : QString();
}

const QRawFont* TFontFace::InternFont(const QRawFont& font) const
{
    if (!IsRealFace(font))
        return nullptr;
    auto same = [&font](const QRawFont& held) {
        return FaceFamilyName(held) == FaceFamilyName(font) && held.styleName() == font.styleName()
            && held.weight() == font.weight() && held.style() == font.style();
    };
    if (FRaw.isValid() && same(FRaw))
        return &FRaw;
    for (const std::unique_ptr<QRawFont>& held : FFallbackFonts)
        if (same(*held))
            return held.get();
    auto copy = std::make_unique<QRawFont>(font);
    copy->setPixelSize(FEmPixels);
    FFallbackFonts.push_back(std::move(copy));
    return FFallbackFonts.back().get();
}

TFontFace::TFallbackGlyph TFontFace::FallbackGlyph(char32_t c) const
{
    if (const auto found = FFallbackGlyphs.find(c); found != FFallbackGlyphs.end())
        return found->second;
    // Qt's layout picks the face fontconfig offers for the character, as
    // it does when the advance was measured (FallbackAdvance).
    TFallbackGlyph result;
    const char32_t chars[1] = {c};
    QTextLayout layout(QString::fromUcs4(chars, 1), FFont);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QList<quint32> glyphs = run.glyphIndexes();
        if (!glyphs.isEmpty() && glyphs.first() != 0 && IsRealFace(run.rawFont())) {
            result.Font = InternFont(run.rawFont());
            result.Glyph = glyphs.first();
            break;
        }
    }
    FFallbackGlyphs.emplace(c, result);
    return result;
}

std::uint32_t TFontFace::GlyphIndexSlow(char32_t c) const
{
    if (c < 0x10000)
        return PageFor(c >> 8).Glyph[c & 0xFF];
    CharWidth(c);
    return FAstral.at(c).second;
}

int TFontFace::TextWidth(QStringView text) const
{
    int width = 0;
    const qsizetype n = text.size();
    const char16_t* p = text.utf16();
    const std::int32_t* latin = FLatin;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 256) { // the common case: one table, no branches beyond this
            width += latin[u];
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            width += CharWidth(QChar::surrogateToUcs4(u, p[i + 1]));
            ++i;
        } else {
            width += PageFor(u >> 8).Advance[u & 0xFF];
        }
    }
    return width;
}

void TFontFace::Advances(QStringView text, int* dx) const
{
    const qsizetype n = text.size();
    const char16_t* p = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 256) {
            dx[i] = FLatin[u];
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            dx[i] = CharWidth(QChar::surrogateToUcs4(u, p[i + 1]));
            dx[++i] = 0;
        } else {
            dx[i] = PageFor(u >> 8).Advance[u & 0xFF];
        }
    }
}

int TFontFace::PitchAndFamily() const
{
    return (FFixedPitch ? 0 : 1) | (FTrueType ? 4 : 0) | FFamilyNibble;
}

int TFontFace::OutlineTypeFlags() const
{
    // OS/2 fsType: 0x0002 restricted licence (no embedding), 0x0004
    // preview and print.
    return ((FFsType & 0x000F) == 0x0002 ? 1 : 0) | ((FFsType & 0x0004) ? 2 : 0);
}

QByteArray TFontFace::FontData() const
{
    if (!FRaw.isValid())
        return {};
    // The tables a TrueType or OpenType file can hold that matter for
    // drawing and embedding; QRawFont gives tables by tag, not the file.
    static const char* const kTags[] = {"BASE", "CFF ", "DSIG", "GDEF", "GPOS", "GSUB", "JSTF", "LTSH", "MATH",
        "OS/2", "PCLT", "VDMX", "VORG", "cmap", "cvt ", "fpgm", "gasp", "glyf", "hdmx", "head", "hhea", "hmtx",
        "kern", "loca", "maxp", "meta", "name", "post", "prep", "vhea", "vmtx"};
    std::map<std::uint32_t, QByteArray> tables;
    for (const char* tag : kTags) {
        QByteArray data = FRaw.fontTable(tag);
        if (!data.isEmpty())
            tables[SfntTag(tag)] = std::move(data);
    }
    return tables.empty() ? QByteArray() : AssembleSfnt(std::move(tables));
}

// --- the cache -------------------------------------------------------------------

namespace {

struct RequestHash {
    std::size_t operator()(const TFontRequest& r) const noexcept
    {
        return qHash(r.Name) ^ (std::size_t(std::uint32_t(r.Height)) * 2654435761u) ^ (r.Bold ? 0x9e37u : 0)
            ^ (r.Italic ? 0x7f4a0000u : 0);
    }
};

// One cache per thread: a face fills its advance tables and fallback fonts
// lazily and its QRawFont is not to be shared between threads, so a thread
// that measures or draws text (the export beside the preparation) has faces
// of its own. They measure alike, being read from the same font files.
std::unordered_map<TFontRequest, TFontFacePtr, RequestHash>& Cache()
{
    thread_local std::unordered_map<TFontRequest, TFontFacePtr, RequestHash> cache;
    return cache;
}

} // namespace

namespace {

// Qt notes on standard error each time it passes over a face that lacks a
// script's layout tables on its way to the fallback face that has them
// ("OpenType support missing for ..."). Falling back is what a report
// with Hebrew text in Arial asks for, so the note is dropped; every other
// message goes where it went.
QtMessageHandler gPreviousHandler = nullptr;

void FilterFallbackNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("OpenType support missing for")))
        return;
    if (gPreviousHandler)
        gPreviousHandler(type, context, message);
    else
        std::fputs(qPrintable(qFormatLogMessage(type, context, message) + u'\n'), stderr);
}

} // namespace

TFontFacePtr TTextMeasurer::Face(const TFontRequest& request)
{
    static const bool filtered = [] {
        gPreviousHandler = qInstallMessageHandler(FilterFallbackNotes);
        return true;
    }();
    Q_UNUSED(filtered);
    auto& cache = Cache();
    auto it = cache.find(request);
    if (it != cache.end())
        return it->second;
    if (int(cache.size()) >= kMaxCachedFaces)
        cache.clear();
    auto face = std::make_shared<const TFontFace>(request);
    cache.emplace(request, face);
    return face;
}

TFontFacePtr TTextMeasurer::Face(const TFont& font) { return Face(TFontRequest::From(font)); }

void TTextMeasurer::Clear() { Cache().clear(); }

int TTextMeasurer::CachedFaceCount() { return int(Cache().size()); }

} // namespace vorel
