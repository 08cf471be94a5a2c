#pragma once
// The one interpreter of the page records. It reads each drawing record the
// enumerator yields, applies the classic geometry rules once, and hands
// the result to an output device: the QPainter player (preview, printer,
// bitmaps) and the PDF writer are two devices of it, so they cannot
// disagree about which pixels a record covers.
//
// What the interpreter decides (page pixels: the metafile's reference-device
// pixels, logical units mapped through the world transform and the mapping
// mode; a point names the top-left corner of its pixel):
// - A filled figure without an outline covers the pixels whose middles lie
//   inside it (the classic fill leaves out the right and bottom edges).
// - An outlined figure moves half a pixel right and down, so its outline
//   runs through the middles of the pixels its points name and its fill
//   meets the outline.
// - Rectangles, ellipses and rounded rectangles have their outline on
//   Left..Right-1 x Top..Bottom-1, so without a pen they fill one pixel
//   less; an inside-frame pen wider than one pixel moves inwards by half
//   its width less half a pixel.
// - A line covers the pixels from its first point towards its last, the
//   last one left out, whichever way it runs.
// - Arcs, chords and pies run counter-clockwise from the start radial to
//   the end radial; ARCTO and ANGLEARC draw a line from the current position
//   to the arc's start first.
// - Paths (BEGINPATH .. ENDPATH) collect figures in page pixels; stroke,
//   fill and stroke-and-fill draw them, SELECTCLIPPATH clips to them.
// - The clip region (clip rectangles, regions, paths, offsets) is kept with
//   its saved copies (SAVEDC, RESTOREDC) and handed over whole on change.
// - Drawing records under R2_NOP draw nothing.
//
// What each device decides: how a pen of a given width shows on it (one
// device pixel, raster operations, dash gaps), how text is drawn, and its
// own limits (the PDF cuts geometry to what viewers take).

#include "graphics/emf_enumerator.h"

#include <QImage>
#include <QPainterPath>
#include <QStringView>
#include <optional>
#include <vector>

namespace vorel {

// What the device is told with every drawing: the replay state (pen,
// brush, colours, modes, alignment, the selected logical font) and the
// mapping from logical units to page pixels.
struct TEmfDrawContext {
    const TEmfEnumerator& Dc;
    const QTransform& ToPage;
    const TEmfReplayState& State() const { return Dc.State(); }
};

// A figure in page pixels, with its fill rule. A device may take the path.
struct TEmfShape {
    QPainterPath Path;
    const TGdiBrush* Brush = nullptr; // filled with this brush; null: not filled
    bool Stroke = false; // outlined with the selected pen
    // Lines and poly-lines: straight segments through the middles of their
    // pixels, each leaving out its last pixel (EmfChainPixels gives the
    // pixels a one-pixel pen covers; a wider pen strokes the chain).
    bool Chain = false;
};

// One text record. Geometry in logical units (ToPage maps it).
struct TEmfText {
    QStringView Text; // UTF-16; glyph indices when Options has ETO_GLYPH_INDEX
    QPointF Reference; // the current position when the alignment says TA_UPDATECP
    unsigned Options = 0;
    std::optional<QRectF> Rect; // the opaque and/or clip rectangle, normalized
    const int* Dx = nullptr; // advance of each UTF-16 unit; null: none stated
};

// One picture record with a bitmap.
struct TEmfPicture {
    QImage Image; // the whole bitmap
    QRect Source; // its part to draw, rows counted from the image's top
    QRectF Dest; // logical units; a negative width or height mirrors
    std::uint32_t Rop = 0x00CC0020; // SRCCOPY; SRCAND, SRCPAINT, SRCINVERT on raster devices
    qreal Opacity = 1; // the constant alpha of EMR_ALPHABLEND
};

class TEmfDevice {
public:
    virtual ~TEmfDevice() = default;
    virtual void Shape(const TEmfDrawContext& dc, TEmfShape& shape) = 0;
    virtual void Text(const TEmfDrawContext& dc, const TEmfText& text) = 0;
    virtual void Picture(const TEmfDrawContext& dc, const TEmfPicture& picture) = 0;
    // From here on clipped to region (page pixels); none: not clipped.
    virtual void SetClip(const std::optional<QPainterPath>& region) = 0;
};

class TEmfInterpreter {
public:
    explicit TEmfInterpreter(TEmfDevice& device) : FDevice(device) {}

    // Code page of 8-bit text records.
    int CodePage = 1252;

    // One record, after the enumerator applied it.
    void Record(const TEmfEnumerator& dc);
    // Every record of a walk.
    void Run(TEmfEnumerator& dc)
    {
        while (dc.Next())
            Record(dc);
    }
    // A new page metafile: unclipped, nothing saved, no open path. The
    // device is not told (each page starts unclipped anyway).
    void Reset();

    // Regions of more rectangles than this stand as their bounding box: the
    // path operations on them grow faster than their size.
    static constexpr std::uint32_t kMaxRegionRects = 1024;

private:
    // A figure in logical units (page pixels when logical is false) to the
    // device, or into the open path.
    void Emit(const TEmfEnumerator& dc, TEmfShape shape, bool logical = true);
    void Box(const TEmfEnumerator& dc, std::uint32_t type);
    void Line(const TEmfEnumerator& dc);
    void Poly(const TEmfEnumerator& dc, std::uint32_t type);
    void PolyPoly(const TEmfEnumerator& dc, std::uint32_t type);
    void Arc(const TEmfEnumerator& dc, std::uint32_t type);
    void AngleArc(const TEmfEnumerator& dc);
    void Region(const TEmfEnumerator& dc, std::uint32_t type);
    void Text(const TEmfEnumerator& dc, std::uint32_t type);
    void Picture(const TEmfEnumerator& dc, std::uint32_t type);
    void PathEnd(const TEmfEnumerator& dc, std::uint32_t type);
    void Combine(QPainterPath area, int mode);
    void SetClip(std::optional<QPainterPath> region);

    TEmfDevice& FDevice;
    QTransform FToPage;
    std::optional<QPainterPath> FClip; // page pixels; none: not clipped
    std::vector<std::optional<QPainterPath>> FSavedClips; // one per saved device context
    bool FInPath = false;
    QPainterPath FPath; // page pixels, corner coordinates
    QString FText; // reused for every text record
    std::vector<int> FDx;
    TGdiBrush FSolid; // a pixel's or a constant raster operation's colour
};

// The rectangles of a region (RGNDATA: a 32-byte header with the count at
// 8 and the bounds at 16, then left, top, right, bottom of each) in device
// units; empty when it does not fit.
QPainterPath EmfRegionPath(const ByteView& r, std::size_t offset, std::uint32_t size);

// The one-pixel pen's pixels of a chain (TEmfShape::Chain): each segment
// covers the pixels from its first point towards its last, the last left
// out, whichever way it runs; across its direction the path runs through
// the middle of its pixels. As an area, so a butt-ended one-pixel stroke
// of it covers exactly those pixels. In place.
void EmfChainPixels(QPainterPath& chain);

// The point where an arc in box (its outline box) meets the radial from
// the box's centre through radial.
QPointF EmfArcPoint(const QRectF& box, QPointF radial);

} // namespace vorel
