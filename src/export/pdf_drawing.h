#pragma once
// What the PDF filter draws, in the order the page drew it (painter's
// order): the PDF device of the record interpreter (graphics/
// emf_interpreter.h), which decides which record draws what, with the
// classic pixel rules, and keeps the clip region. This device turns its
// figures into outlines and fills with the pen and brush, its text records
// into text runs with their font, decorations, rotation, background and
// clipping, and its pictures into pictures at their own resolution. The
// items of the export framework are made for grids (text runs merged into
// cells, one box per item); a PDF page needs each record as it stands, so
// the filter keeps this list beside them.
//
// Geometry is in page pixels (report pixels of the PDF page, 1/96 inch, y
// downwards): the interpreter's page pixels moved by the bar's place on the
// PDF page, and cut to what PDF viewers take.

#include "foundation/records/font.h"
#include "graphics/emf_enumerator.h"
#include "graphics/emf_interpreter.h"
#include "graphics/gdi_paint.h"
#include "graphics/text_measure.h"

#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <deque>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace vorel {

// The hatch styles of a hatched brush (HS_*).
constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2; // top left down to bottom right
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

// How the inside of a shape is painted.
struct TPdfFill {
    enum TKind { None, Solid, Hatched };
    TKind Kind = None;
    std::uint32_t Color = 0; // 0x00BBGGRR
    int Hatch = HS_HORIZONTAL;
    // Hatch gaps are painted in this colour (opaque background mode).
    std::optional<std::uint32_t> Background;
};

// How the outline of a shape is drawn.
struct TPdfStroke {
    bool Visible = false;
    int Style = PS_SOLID; // pen style with its end-cap and join bits
    bool Cosmetic = true; // one device pixel; dashes counted in pixels
    double Width = 1; // page pixels
    std::uint32_t Color = 0;
    // Gaps of a dashed pen are painted in this colour (opaque background mode).
    std::optional<std::uint32_t> GapColor;
};

struct TPdfShape {
    QPainterPath Path; // page pixels, with its fill rule
    TPdfFill Fill;
    TPdfStroke Stroke;
};

// One text record.
struct TPdfText {
    QString Text;
    // The font as selected, its colour the text colour and its Orientation
    // the escapement (tenths of a degree, counter-clockwise).
    std::shared_ptr<const TFont> Font;
    // From the text cell (origin at the cell's top left, x along the text,
    // y down, logical units; the baseline lies the face's ascent down) to
    // page pixels: alignment, rotation about the reference point, world
    // transform and bar place.
    QTransform CellToPage;
    int Width = 0; // the advances' sum, logical units
    // The text cell is painted first (opaque background mode).
    std::optional<std::uint32_t> CellBackground;
    // ETO_OPAQUE: this polygon (page pixels) is painted first.
    std::optional<QPolygonF> OpaqueArea;
    std::uint32_t OpaqueColor = 0xFFFFFF;
    // ETO_CLIPPED, when the text cell reaches beyond it (page pixels).
    std::optional<QPolygonF> Clip;
    // The record's advance of each UTF-16 unit (logical units) when it
    // differs from the face's own advances; empty otherwise.
    std::vector<int> Dx;
};

// One picture record: the picture at its own resolution (the source part
// of the record's bitmap), placed by mapping its unit square (0..1, y down)
// to page pixels.
struct TPdfPicture {
    QImage Image; // RGB888
    QTransform UnitToPage;
};

// The clip region changed: from here on drawing is clipped to Region (page
// pixels), or not clipped at all when it is empty.
struct TPdfClipChange {
    std::optional<QPainterPath> Region;
};

// An upright text at whole page pixels with nothing around it (no
// background, clip, decoration or rotation): most texts of a report. A file
// keeps every page's drawings until it is written, so this common case is
// kept small; TPdfDocument::WriteTextRun writes a TPdfText of this shape
// the same way.
struct TPdfPlainText {
    QString Text;
    std::shared_ptr<const TFont> Font; // colour the text colour
    int Left = 0; // page pixels: the text cell's top left corner
    int Top = 0;
    std::vector<int> Dx; // as TPdfText::Dx: empty while the face's advances hold
};

// The larger drawings stand behind a pointer, so that the list's elements
// are only as large as a shape.
using TPdfDrawing =
    std::variant<TPdfShape, TPdfPlainText, std::unique_ptr<TPdfText>, std::unique_ptr<TPdfPicture>, TPdfClipChange>;
// A list whose growth moves nothing: no second copy of a long report's
// drawings while it grows.
using TPdfDrawings = std::deque<TPdfDrawing>;

// Turns the records of the pages into drawings through the record
// interpreter, keeping what only the PDF needs: the bar's place, the font
// snapshot texts share, and the pictures held once.
class TPdfDrawingCollector final : private TEmfDevice {
public:
    TPdfDrawingCollector() : FInterpreter(*this) {}

    // A new page metafile, drawn barX page pixels right of the PDF page's left.
    void BeginPage(int barX);
    // The record after the enumerator applied it.
    void Record(const TEmfEnumerator& dc, const TEmfRecord& record, int codePage);

    TPdfDrawings& Drawings() { return FDrawings; }
    const TPdfDrawings& Drawings() const { return FDrawings; }
    // Forgets the drawings (after a file is written).
    void Clear();
    // Forgets the drawings of the pages written so far, but keeps the
    // pictures held for the file (later pages share them, and the file's
    // picture budget counts them).
    void ClearDrawings();

private:
    void Shape(const TEmfDrawContext& dc, TEmfShape& shape) override;
    void Text(const TEmfDrawContext& dc, const TEmfText& text) override;
    void Picture(const TEmfDrawContext& dc, const TEmfPicture& picture) override;
    void SetClip(const std::optional<QPainterPath>& region) override;

    // Logical units to the PDF page's pixels: the bar's place added.
    QTransform Placed(const QTransform& toPage) const;
    TPdfStroke StrokeOf(const TEmfReplayState& s, const QTransform& toPage) const;
    TPdfFill FillOf(const TEmfReplayState& s, const TGdiBrush& brush) const;
    std::shared_ptr<const TFont> TextFont(const TEmfReplayState& s);
    // The record's dx array when it differs from the face's advances.
    std::vector<int> OwnAdvances(const TFontFace& face, QStringView text, const int* dx);
    // The picture as held already, or newly held; null when the file's
    // picture budget is spent.
    QImage SharedImage(const QImage& image);

    TEmfInterpreter FInterpreter;
    TPdfDrawings FDrawings;
    int FBarX = 0; // page pixels
    std::size_t FPageStart = 0; // the current page's first drawing
    std::shared_ptr<const TFont> FFont;
    TFontFacePtr FFace; // FFont's face
    TLogFont FFontFor;
    std::uint32_t FFontColor = 0;
    std::vector<int> FAdvances; // scratch for OwnAdvances
    // Pictures repeat (a logo on every page): equal pixels are kept once.
    QMultiHash<std::size_t, QImage> FImages;
    std::int64_t FPicturePixels = 0; // held by the pictures since the last Clear
};

} // namespace vorel
