#pragma once
// Turns one text record into glyphs, the same way for every device (the
// painter player, the PDF writer, the raster and vector exports): so a page
// shows the same glyphs at the same places wherever it is drawn.
//
// Simple scripts (Latin, Greek, Cyrillic, Chinese, Japanese, Korean, symbols)
// are drawn glyph by glyph, each character at the advance the report measured
// for it, from the report's face or, for characters that face lacks, from the
// face fontconfig falls back to. Scripts that need shaping or reordering
// (Arabic, Hebrew, the Indic scripts, Thai, combining marks, bidi controls)
// are laid out by Qt (HarfBuzz, the bidirectional algorithm, font fallback)
// in visual order, and the shaped run is stretched as a whole to the width the
// report measured, so that it fills exactly the cell the page gave it.

#include "graphics/text_measure.h"

#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QStringView>
#include <vector>

namespace vorel {

// The UTF-16 units of the text a glyph shows (Length 0: a glyph that only
// completes a cluster another glyph of the run names).
struct TGlyphSource {
    int Start = 0;
    int Length = 0;
};

// Consecutive glyphs from one font.
struct TGlyphRun {
    // The report's face or a fallback face, at the face's em size; owned by
    // the face, so equal pointers mean the same font.
    const QRawFont* Font = nullptr;
    QList<quint32> Glyphs;
    // Pixels before the horizontal stretch: x from the text's left edge, y
    // from the baseline, downwards.
    QList<QPointF> Positions;
    std::vector<TGlyphSource> Sources; // one per glyph

    void Clear();
};

struct TShapedText {
    std::vector<TGlyphRun> Runs; // the first RunCount are in use
    int RunCount = 0;
    // The measured width, pixels: the sum of the advances.
    qreal Width = 0;
    // Shaped (reordered or joined) text: its glyphs stand in visual order and
    // the text's logical order lives only in the string.
    bool Shaped = false;
    // Shaped text with right-to-left letters (Hebrew, Arabic, ...).
    bool RightToLeft = false;
    // Horizontal stretch of shaped text about its left edge, so that its
    // natural width becomes the measured one; 1 for glyph-by-glyph text.
    qreal ScaleX = 1;

    void Clear();
    // The next run to fill (cleared, keeping its memory).
    TGlyphRun& AddRun(const QRawFont* font);
    const TGlyphRun* begin() const { return Runs.data(); }
    const TGlyphRun* end() const { return Runs.data() + RunCount; }
};

// Whether a text needs shaping or reordering (any character of the scripts
// above); false is the common, fast case.
bool NeedsShaping(QStringView text);

// The glyphs of text in face. advances: the advance of each UTF-16 unit
// (the dx array of the text record; the low half of a surrogate pair 0), or
// nullptr for the face's own. out is cleared first; its memory is reused.
void ShapeText(const TFontFace& face, QStringView text, const int* advances, TShapedText& out);

} // namespace vorel
