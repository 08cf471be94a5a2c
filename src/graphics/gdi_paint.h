#pragma once
// Classic device drawing semantics on a QPainter, shared by the painter
// canvas and the metafile player so that a page drawn directly and the same
// page played from its EMF come out alike.
//
// Coordinates are logical units; the painter's transform maps them to device
// pixels. Rules kept from the classic platform: a line excludes its last
// point; a rectangle's outline lies on Left..Right-1 and Top..Bottom-1; a
// shape with a null pen fills one unit less to the right and bottom; pens of
// width 0 (and 1 where that is one device pixel) are one pixel wide whatever
// the scale; styled one-pixel pens use the classic dash patterns, with the
// gaps painted in the background colour when the background mode is opaque.

#include "graphics/text_measure.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QRectF>
#include <QStringView>
#include <cstdint>

namespace vorel {

// Logical pen and brush as the EMF object records describe them.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;
constexpr int PS_STYLE_MASK = 0x0F;
constexpr int PS_ENDCAP_MASK = 0x0F00;
constexpr int PS_ENDCAP_SQUARE = 0x0100;
constexpr int PS_ENDCAP_FLAT = 0x0200;
constexpr int PS_JOIN_MASK = 0xF000;
constexpr int PS_JOIN_BEVEL = 0x1000;
constexpr int PS_JOIN_MITER = 0x2000;
constexpr int PS_GEOMETRIC = 0x10000;

constexpr int BS_SOLID = 0;
constexpr int BS_NULL = 1;
constexpr int BS_HATCHED = 2;
constexpr int BS_PATTERN = 3;
constexpr int BS_DIBPATTERN = 5;
constexpr int BS_DIBPATTERNPT = 6;

constexpr int TRANSPARENT_MODE = 1; // background modes
constexpr int OPAQUE_MODE = 2;
constexpr int ALTERNATE_FILL = 1; // polygon fill modes
constexpr int WINDING_FILL = 2;

// The classic dash pattern of a pen style (PS_DASH .. PS_DASHDOTDOT; empty
// for the others): cosmetic pens in device pixels, geometric ones in pen
// widths. Every device dashes with these.
const QList<qreal>& ClassicDashPattern(int style, bool cosmetic);

struct TGdiPen {
    int Style = PS_SOLID; // with the end-cap and join bits of an extended pen
    int Width = 1; // logical units; 0 = one device pixel
    std::uint32_t Color = 0; // 0x00BBGGRR
    bool IsNull() const { return (Style & PS_STYLE_MASK) == PS_NULL; }
};

struct TGdiBrush {
    int Style = BS_SOLID;
    std::uint32_t Color = 0xFFFFFF;
    int Hatch = 0; // HS_HORIZONTAL .. HS_DIAGCROSS
    QImage Pattern; // BS_PATTERN / BS_DIBPATTERN
    bool IsNull() const { return Style == BS_NULL; }
};

// Whether a pen draws one device pixel wide: a width of 0, or one that
// comes to 1.5 device pixels or less (devicePixelsPerUnit: device pixels
// per logical unit). Such a pen keeps the classic one-pixel dash patterns;
// a wider one is geometric, its dashes counted in pen widths.
inline bool OnePixelPen(const TGdiPen& pen, double devicePixelsPerUnit)
{
    return pen.Width <= 0 || pen.Width * devicePixelsPerUnit <= 1.5;
}

// The part of a device context's state that drawing looks at.
struct TGdiDrawState {
    TGdiPen Pen;
    TGdiBrush Brush;
    int Rop2 = 13; // R2_COPYPEN
    int BkMode = OPAQUE_MODE;
    std::uint32_t BkColor = 0xFFFFFF;
    std::uint32_t TextColor = 0;
    unsigned TextAlign = 0; // TA_*
    int PolyFillMode = ALTERNATE_FILL;
    int StretchMode = 3; // COLORONCOLOR: nearest pixel
};

// One text output: the font as a face plus its decorations and rotation.
struct TGdiTextFont {
    TFontFacePtr Face;
    bool Underline = false;
    bool StrikeOut = false;
    int Escapement = 0; // tenths of a degree, counter-clockwise
};

// Glyphs of a raw font at positions (text space) in one colour: from Qt's
// glyph cache up to this many device pixels per em, as outlines above.
constexpr qreal kMaxCachedGlyphPixels = 128;
void DrawGlyphs(QPainter& painter, const QRawFont& font, const QList<quint32>& glyphs, const QList<QPointF>& positions,
    const QColor& color);

class TGdiPainter {
public:
    explicit TGdiPainter(QPainter& painter) : FPainter(painter) {}

    QPainter& Painter() { return FPainter; }
    TGdiDrawState State;
    // Painter units per logical unit of a pen's width (the player draws in
    // page pixels while pens keep their logical widths).
    qreal PenScale = 1;

    void Line(QPointF from, QPointF to);
    void Polyline(const QPolygonF& points);
    void Polygon(const QPolygonF& points);
    void PolyPolygon(const QList<QPolygonF>& polygons);
    void Rectangle(const QRectF& r); // classic rectangle (l, t, r, b) as QRectF(l, t, r - l, b - t)
    void RoundRect(const QRectF& r, qreal cornerWidth, qreal cornerHeight);
    void Ellipse(const QRectF& r);
    // Arc, chord and pie by their bounding rectangle and the two radial points.
    void ArcShape(const QRectF& r, QPointF start, QPointF end, int kind); // 0 arc, 1 chord, 2 pie
    void FillRect(const QRectF& r, const TGdiBrush& brush); // exactly l..r-1 x t..b-1
    void FillPath(const QPainterPath& path);
    // A figure as the record interpreter gives it (outlines through the
    // middles of their pixels): filled with brush (null: not filled) by the
    // path's own fill rule, then outlined with the pen; a chain's segments
    // each leave out their last pixel.
    void Shape(const QPainterPath& path, const TGdiBrush* brush, bool stroke, bool chain);
    void StrokePath(const QPainterPath& path);
    // dx: advance of each UTF-16 unit in logical units (nullptr: the face's).
    // rect: the opaque and/or clip rectangle of the options.
    void Text(const TGdiTextFont& font, QPointF ref, QStringView text, const int* dx, unsigned options,
        const QRectF* rect);
    // source part of image into dest (a negative width or height mirrors).
    void Image(const QRectF& dest, const QImage& image, const QRect& source, std::uint32_t rop = 0x00CC0020);

    QPen MakePen(const TGdiPen& pen) const;
    QBrush MakeBrush(const TGdiBrush& brush) const;

private:
    void ApplyRop();
    void Stroke(const QPainterPath& path);
    void Stroke(const QPainterPath& path, QPen pen);
    void Fill(const QPainterPath& path);
    bool NeedsGapFill(const TGdiPen& pen) const;
    qreal DeviceScale() const;

    QPainter& FPainter;
};

} // namespace vorel
