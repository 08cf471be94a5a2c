#pragma once
// The one text measuring service of every canvas. A text's width is the sum
// of its characters' advances (no kerning, no shaping), each advance the
// face's linear advance at the font's pixel size rounded to whole pixels;
// heights are the face's Windows ascent and descent, each rounded up. So a
// text measures, breaks and is drawn alike on the page recording, the
// preview, the printer and bitmaps, and a 20-character measure is a table
// walk, not a shaping run.
//
// Sizes are in the units of the font's Height: report pixels (1/96 inch).

#include "foundation/records/font.h"

#include <QFont>
#include <QRawFont>
#include <QStringView>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace vorel {

// What a logical font asks for; the key of the face cache.
struct TFontRequest {
    QString Name;
    int Height = -11; // pixels; negative = character (em) height, positive = cell height
    bool Bold = false;
    bool Italic = false;

    static TFontRequest From(const TFont& font);
    friend bool operator==(const TFontRequest&, const TFontRequest&) = default;
};

// Qt stands a box-drawing engine in for characters no installed face has.
// It is no face: it has no tables, and asking its family name reads an
// empty list (a crash), so every family name goes through FaceFamilyName.
bool IsRealFace(const QRawFont& font);
// The face's family; empty for an invalid font or Qt's stand-in.
QString FaceFamilyName(const QRawFont& font);

// One face at one size, with its metrics and a lazily filled advance table.
class TFontFace {
public:
    explicit TFontFace(const TFontRequest& request);
    TFontFace(const TFontFace&) = delete;
    TFontFace& operator=(const TFontFace&) = delete;

    const TFontRequest& Request() const { return FRequest; }
    int Ascent() const { return FAscent; } // pixels above the baseline, rounded up
    int Descent() const { return FDescent; } // pixels below the baseline, rounded up
    int Height() const { return FAscent + FDescent; } // the text height of one line
    int ExternalLeading() const { return FExternalLeading; } // extra line gap the face recommends
    int InternalLeading() const { return FInternalLeading; } // Height minus the em size
    int AveCharWidth() const { return FAveCharWidth; }
    int MaxCharWidth() const { return FMaxCharWidth; }
    qreal EmPixels() const { return FEmPixels; }
    bool IsFixedPitch() const { return FFixedPitch; }
    bool IsTrueType() const { return FTrueType; }
    QString FamilyName() const { return FaceFamilyName(FRaw); }
    // The classic text-metric pitch-and-family byte: bit 0 set for a
    // variable pitch (the classic inversion), 4 for TrueType outlines, the
    // family (0x10 roman, 0x20 swiss, 0x30 modern, 0x40 script, 0x50
    // decorative) in the high nibble, from the face's PANOSE class.
    int PitchAndFamily() const;
    // The classic outline-metrics type field: bit 0 set when the licence
    // forbids embedding, bit 1 when it allows preview-and-print only.
    int OutlineTypeFlags() const;
    int Weight() const { return FRequest.Bold ? 700 : 400; }
    // The face's font file, rebuilt from its tables (a TrueType or OpenType
    // file that embeds in PDF); empty when the face has no tables.
    QByteArray FontData() const;

    // Advance of one character in whole pixels.
    int CharWidth(char32_t c) const { return c < 256 ? FLatin[c] : CharWidthSlow(c); }
    int TextWidth(QStringView text) const;
    // dx[i] for each UTF-16 unit of text: the advance of the character that
    // starts there; the low half of a surrogate pair gets 0.
    void Advances(QStringView text, int* dx) const;
    // The glyph of a character in RawFont(), 0 when the face lacks it (the
    // painter then draws it with Qt's fallback face, at the same advance).
    std::uint32_t GlyphIndex(char32_t c) const { return c < 256 ? FLatinGlyphs[c] : GlyphIndexSlow(c); }

    const QRawFont& RawFont() const { return FRaw; }
    // Where the face puts underline and strike-out, in pixels: the line's
    // thickness, the underline's middle below the baseline and the
    // strike-out's middle above it. Every device draws them there.
    struct TDecoration {
        qreal Thickness = 1;
        qreal UnderlineBelow = 1;
        qreal StrikeOutAbove = 3;
    };
    TDecoration Decoration() const;
    // A character the face lacks, from the face Qt and fontconfig fall back
    // to: that font (held by this face, at its em size) and its glyph; a
    // null font when no installed face has the character.
    struct TFallbackGlyph {
        const QRawFont* Font = nullptr;
        std::uint32_t Glyph = 0;
    };
    TFallbackGlyph FallbackGlyph(char32_t c) const;
    // The font held by this face that stands for font (the face itself, or
    // a fallback face), at this face's em size: equal fonts, one pointer.
    const QRawFont* InternFont(const QRawFont& font) const;
    // A QFont for the same face and size (fallback glyphs, consumers that
    // need one), with the given decorations.
    QFont QtFont(bool underline = false, bool strikeOut = false) const;

private:
    struct Page {
        std::array<std::int32_t, 256> Advance;
        std::array<std::uint32_t, 256> Glyph;
    };
    const Page& PageFor(std::uint32_t pageIndex) const;
    int CharWidthSlow(char32_t c) const;
    std::uint32_t GlyphIndexSlow(char32_t c) const;
    void FillPage(Page& page, std::uint32_t base) const;
    int FallbackAdvance(char32_t c) const;

    TFontRequest FRequest;
    QFont FFont;
    QRawFont FRaw;
    qreal FEmPixels = 11;
    int FAscent = 0;
    int FDescent = 0;
    int FExternalLeading = 0;
    int FInternalLeading = 0;
    int FAveCharWidth = 0;
    int FMaxCharWidth = 0;
    bool FFixedPitch = false;
    bool FTrueType = false;
    int FFamilyNibble = 0; // 0x10 .. 0x50, 0 unknown
    int FFsType = 0; // OS/2 embedding licence bits
    mutable std::array<std::unique_ptr<Page>, 256> FPages; // the Basic Multilingual Plane
    const std::int32_t* FLatin = nullptr; // FPages[0]'s advances, filled at construction
    const std::uint32_t* FLatinGlyphs = nullptr; // and its glyphs
    mutable std::unordered_map<char32_t, std::pair<int, std::uint32_t>> FAstral;
    mutable std::vector<std::unique_ptr<QRawFont>> FFallbackFonts;
    mutable std::unordered_map<char32_t, TFallbackGlyph> FFallbackGlyphs;
};

using TFontFacePtr = std::shared_ptr<const TFontFace>;

// The face cache. Faces are shared: a canvas keeps the face of its current
// font, so measuring does not even look the font up.
class TTextMeasurer {
public:
    static TFontFacePtr Face(const TFont& font);
    static TFontFacePtr Face(const TFontRequest& request);
    // Faces are cached per thread. Forgets every face cached by the calling
    // thread (faces held elsewhere stay valid).
    static void Clear();
    static int CachedFaceCount();
};

} // namespace vorel
