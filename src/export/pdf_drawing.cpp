// Record interpretation of the PDF filter: which records draw what, with
// the classic pixel rules turned into paths, and the clip region kept in
// step with the saved device contexts.

#include "export/pdf_drawing.h"
#include "export/pdf_images.h"

#include "export/emf_text_record.h"
#include "export/export_base.h"
#include "graphics/canvas.h"
#include "graphics/text_measure.h"

#include <QtMath>

namespace vorel {

namespace {

constexpr unsigned ETO_NO_RECT = 0x100;
constexpr unsigned ETO_PDY = 0x2000;
constexpr int R2_NOP = 11; // draws nothing
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;

// Largest picture kept at its own resolution, in pixels (a larger one is
// scaled down to it), and the most picture pixels one file's drawings hold
// together; a picture past that is left out rather than exhausting memory.
constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 22;
constexpr std::int64_t kMaxPicturePixelsPerFile = std::int64_t(1) << 26;

// A region larger than any page, for "everything but" (page pixels).
const QRectF kEverywhere(-1e6, -1e6, 2e6, 2e6);
// Regions of more rectangles than this stand as their bounding box: the
// path operations on them grow faster than their size.
constexpr std::uint32_t kMaxRegionRects = 1024;
// Where anything drawn may lie, in page pixels: far beyond every page, yet
// inside the numbers a PDF 1.2 reader takes (reals up to 32767 units).
// Geometry reaching past it (only broken or hostile pages have such) is
// cut to it, so that no viewer chokes on dashes of a billion pixels.
const QRectF kDrawable(-20000, -20000, 60000, 60000);
// The widest pen drawn, in page pixels (a hostile width would give a
// number no viewer takes).
constexpr double kMaxPenWidth = 10000;

QRectF BoxAt(const ByteView& r, std::size_t offset)
{
    return QRectF(QPointF(r.i32le(offset), r.i32le(offset + 4)), QPointF(r.i32le(offset + 8), r.i32le(offset + 12)))
        .normalized();
}

QPainterPath RectPath(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

// The rectangles of a region record (RGNDATA: a 32-byte header with the
// count at 8, then left, top, right, bottom of each), in device units.
QPainterPath RegionPath(const ByteView& r, std::size_t offset, std::uint32_t size)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (size < 32 || !r.Fits(offset, size))
        return path;
    const std::uint32_t count = r.u32le(offset + 8);
    if (!r.Fits(offset + 32, std::uint64_t(count) * 16) || std::uint64_t(count) * 16 > size - 32)
        return path;
    if (count > kMaxRegionRects) {
        path.addRect(BoxAt(r, offset + 16)); // the header's bounds
        return path;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t o = offset + 32 + 16 * std::size_t(i);
        path.addRect(BoxAt(r, o));
    }
    return path;
}

// Whether r lies inside the drawable area, or reaches into it; unlike
// QRectF's own tests these take flat rectangles (a line's bounds) too.
bool InsideDrawable(const QRectF& r)
{
    return r.left() >= kDrawable.left() && r.right() <= kDrawable.right() && r.top() >= kDrawable.top()
        && r.bottom() <= kDrawable.bottom();
}
bool ReachesDrawable(const QRectF& r)
{
    return r.right() >= kDrawable.left() && r.left() <= kDrawable.right() && r.bottom() >= kDrawable.top()
        && r.top() <= kDrawable.bottom();
}

// The segment a to b cut to the rectangle (Liang-Barsky); false when none of it is inside.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& box)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const QPointF from = a;
    a = from + t0 * QPointF(dx, dy);
    b = from + t1 * QPointF(dx, dy);
    return true;
}

// The path cut to the drawable area: its inside when it is filled, its
// segments when only its outline is drawn. False when nothing is left.
bool FitToDrawable(QPainterPath& path, bool filled)
{
    const QRectF bounds = path.controlPointRect();
    if (InsideDrawable(bounds))
        return true;
    if (!ReachesDrawable(bounds))
        return false;
    if (filled) {
        path = path.intersected(RectPath(kDrawable));
        return !path.isEmpty();
    }
    QPainterPath cut;
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        for (qsizetype i = 1; i < polygon.size(); ++i) {
            QPointF a = polygon[i - 1], b = polygon[i];
            if (!ClipSegment(a, b, kDrawable))
                continue;
            if (cut.elementCount() == 0 || cut.currentPosition() != a)
                cut.moveTo(a);
            cut.lineTo(b);
        }
    }
    path = cut;
    return !path.isEmpty();
}

} // namespace

void TPdfDrawingCollector::BeginPage(int barX)
{
    FBarX = barX;
    FPageStart = FDrawings.size();
    FClip.reset();
    FSavedClips.clear();
}

void TPdfDrawingCollector::Clear()
{
    FDrawings.clear();
    FDrawings.shrink_to_fit();
    FPageStart = 0;
    FImages.clear();
    FPicturePixels = 0;
    FClip.reset();
    FSavedClips.clear();
}

QTransform TPdfDrawingCollector::ToPage(const TEmfEnumerator& dc) const
{
    QTransform t = dc.State().PageTransform(dc.DevicePixelsPerMmX(), dc.DevicePixelsPerMmY());
    if (FBarX != 0)
        t *= QTransform::fromTranslate(FBarX, 0);
    return t;
}

void TPdfDrawingCollector::Record(const TEmfEnumerator& dc, const TEmfRecord& record, int codePage)
{
    if (!dc.RecordValid())
        return;
    const ByteView& r = record.Bytes;
    const std::uint32_t type = record.Type;
    // Drawing records under R2_NOP leave the page as it was.
    const bool draws = dc.State().Rop2 != R2_NOP;
    switch (type) {
    case EMR_LINETO:
        if (draws)
            Line(dc, r);
        break;
    case EMR_RECTANGLE: case EMR_ELLIPSE: case EMR_ROUNDRECT:
        if (draws)
            Box(dc, type, r);
        break;
    case EMR_POLYLINE16: case EMR_POLYLINE: case EMR_POLYGON16: case EMR_POLYGON: case EMR_POLYLINETO16:
    case EMR_POLYLINETO: case EMR_POLYBEZIER16: case EMR_POLYBEZIER: case EMR_POLYBEZIERTO16:
    case EMR_POLYBEZIERTO:
        if (draws)
            Poly(dc, type, r);
        break;
    case EMR_POLYPOLYLINE16: case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON16: case EMR_POLYPOLYGON:
        if (draws)
            PolyPoly(dc, type, r);
        break;
    case EMR_ARC: case EMR_CHORD: case EMR_PIE: case EMR_ARCTO:
        if (draws)
            Arc(dc, type, r);
        break;
    case EMR_FILLRGN: case EMR_PAINTRGN:
        if (draws)
            Region(dc, type, r);
        break;
    case EMR_EXTTEXTOUTW: case EMR_EXTTEXTOUTA: case EMR_SMALLTEXTOUT: Text(dc, record, codePage); break;
    case EMR_STRETCHDIBITS: case EMR_SETDIBITSTODEVICE: case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
        Picture(dc, record);
        break;
    case EMR_INTERSECTCLIPRECT: ClipRect(dc, r, false); break;
    case EMR_EXCLUDECLIPRECT: ClipRect(dc, r, true); break;
    case EMR_EXTSELECTCLIPRGN: SelectClipRegion(dc, r); break;
    case EMR_OFFSETCLIPRGN:
        if (FClip) {
            const QTransform t = ToPage(dc);
            const QPointF d = t.map(QPointF(r.i32le(8), r.i32le(12))) - t.map(QPointF(0, 0));
            SetClip(FClip->translated(d));
        }
        break;
    case EMR_SAVEDC: FSavedClips.push_back(FClip); break;
    case EMR_RESTOREDC: {
        // The enumerator accepted the level; its depth is ours.
        const auto depth = std::size_t(dc.SaveDepth());
        if (depth < FSavedClips.size()) {
            std::optional<QPainterPath> restored = std::move(FSavedClips[depth]);
            FSavedClips.resize(depth);
            SetClip(std::move(restored));
        }
        break;
    }
    default: break;
    }
}

// --- outlines and fills -------------------------------------------------------------

TPdfStroke TPdfDrawingCollector::StrokeOf(const TEmfEnumerator& dc, const QTransform& toPage) const
{
    const TEmfReplayState& s = dc.State();
    TPdfStroke stroke;
    if (s.Pen.IsNull())
        return stroke;
    stroke.Visible = true;
    stroke.Style = s.Pen.Style;
    // A pen's width is in logical units; it is one device pixel when that
    // comes to a pixel or less, as the classic platform draws it.
    const double scale = std::sqrt(std::abs(toPage.determinant()));
    const double width = s.Pen.Width * scale;
    stroke.Cosmetic = s.Pen.Width <= 1 || width <= 1.5;
    stroke.Width = stroke.Cosmetic ? 1 : std::min(width, kMaxPenWidth);
    stroke.Color = s.Rop2 == 1 ? 0 : s.Rop2 == 16 ? 0xFFFFFF : s.Pen.Color; // R2_BLACK, R2_WHITE
    const int style = s.Pen.Style & PS_STYLE_MASK;
    if (s.BkMode == OPAQUE_MODE && style >= PS_DASH && style <= PS_DASHDOTDOT)
        stroke.GapColor = s.BkColor;
    return stroke;
}

TPdfFill TPdfDrawingCollector::FillOf(const TEmfEnumerator& dc, const TGdiBrush& brush) const
{
    TPdfFill fill;
    switch (brush.Style) {
    case BS_NULL: break;
    case BS_HATCHED:
        fill.Kind = TPdfFill::Hatched;
        fill.Color = brush.Color;
        fill.Hatch = brush.Hatch;
        if (brush.Hatch < HS_HORIZONTAL || brush.Hatch > HS_DIAGCROSS)
            fill.Kind = TPdfFill::Solid;
        else if (dc.State().BkMode == OPAQUE_MODE)
            fill.Background = dc.State().BkColor;
        break;
    case BS_PATTERN: case BS_DIBPATTERN: case BS_DIBPATTERNPT:
        // A picture brush fills with the average colour of its picture.
        fill.Kind = TPdfFill::Solid;
        fill.Color = brush.Color;
        if (!brush.Pattern.isNull()) {
            const QColor average = QColor::fromRgb(brush.Pattern.scaled(1, 1, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation)
                                                       .pixel(0, 0));
            fill.Color = std::uint32_t(average.red()) | (std::uint32_t(average.green()) << 8)
                | (std::uint32_t(average.blue()) << 16);
        }
        break;
    default:
        fill.Kind = TPdfFill::Solid;
        fill.Color = brush.Color;
        break;
    }
    if (fill.Kind != TPdfFill::None && dc.State().Rop2 == 1)
        fill.Color = 0;
    else if (fill.Kind != TPdfFill::None && dc.State().Rop2 == 16)
        fill.Color = 0xFFFFFF;
    return fill;
}

void TPdfDrawingCollector::Shape(const TEmfEnumerator& dc, QPainterPath path, bool fill, bool stroke)
{
    const QTransform toPage = ToPage(dc);
    TPdfShape shape;
    if (fill)
        shape.Fill = FillOf(dc, dc.State().Brush);
    if (stroke)
        shape.Stroke = StrokeOf(dc, toPage);
    if (shape.Fill.Kind == TPdfFill::None && !shape.Stroke.Visible)
        return;
    shape.Path = toPage.isIdentity() ? std::move(path) : toPage.map(path);
    if (!FitToDrawable(shape.Path, shape.Fill.Kind != TPdfFill::None))
        return;
    FDrawings.emplace_back(std::move(shape));
}

void TPdfDrawingCollector::Line(const TEmfEnumerator& dc, const ByteView& r)
{
    // A classic line covers the pixels from its first point towards its
    // last, the last one left out: from x0 to x1 > x0 that is [x0, x1),
    // from x0 to x1 < x0 it is [x1 + 1, x0 + 1). Across its direction the
    // path runs through the middle of its pixels.
    const TPoint from = dc.PositionBefore();
    const TPoint to{r.i32le(8), r.i32le(12)};
    const qint64 stepX = qint64(to.X) - from.X, stepY = qint64(to.Y) - from.Y;
    const bool flat = std::abs(stepX) >= std::abs(stepY);
    const double dx = flat ? (stepX < 0 ? 1 : 0) : 0.5;
    const double dy = flat ? 0.5 : (stepY < 0 ? 1 : 0);
    QPainterPath path(QPointF(from.X + dx, from.Y + dy));
    path.lineTo(QPointF(to.X + dx, to.Y + dy));
    Shape(dc, std::move(path), false, true);
}

void TPdfDrawingCollector::Box(const TEmfEnumerator& dc, std::uint32_t type, const ByteView& r)
{
    const QRectF box = BoxAt(r, 8);
    const TGdiPen& pen = dc.State().Pen;
    // The outline lies on the box's left and top and one pixel inside its
    // right and bottom; without a pen the fill ends there too.
    QRectF outline(box.left(), box.top(), std::max(0.0, box.width() - 1), std::max(0.0, box.height() - 1));
    if (!pen.IsNull()) {
        outline.translate(0.5, 0.5);
        if ((pen.Style & PS_STYLE_MASK) == PS_INSIDEFRAME && pen.Width > 1) {
            const double inset = std::min({pen.Width / 2.0 - 0.5, outline.width() / 2, outline.height() / 2});
            outline.adjust(inset, inset, -inset, -inset);
        }
    }
    QPainterPath path;
    switch (type) {
    case EMR_RECTANGLE: path.addRect(outline); break;
    case EMR_ELLIPSE: path.addEllipse(outline); break; // four Bézier quarters
    default: { // EMR_ROUNDRECT: the corner ellipse's width and height follow the box
        const double rx = std::min(std::abs(double(r.i32le(24))) / 2, outline.width() / 2);
        const double ry = std::min(std::abs(double(r.i32le(28))) / 2, outline.height() / 2);
        path.addRoundedRect(outline, rx, ry);
        break;
    }
    }
    Shape(dc, std::move(path), true, true);
}

void TPdfDrawingCollector::Poly(const TEmfEnumerator& dc, std::uint32_t type, const ByteView& r)
{
    const bool small = type >= EMR_POLYBEZIER16;
    const std::uint32_t n = r.u32le(24);
    if (n == 0 || !r.Fits(28, std::uint64_t(n) * (small ? 4 : 8)))
        return;
    QPolygonF points;
    const bool to = type == EMR_POLYLINETO16 || type == EMR_POLYLINETO || type == EMR_POLYBEZIERTO16
        || type == EMR_POLYBEZIERTO;
    points.reserve(qsizetype(n) + 1);
    // Points are pixel corners; outlines run through the pixels' middles.
    if (to)
        points.append(QPointF(dc.PositionBefore().X + 0.5, dc.PositionBefore().Y + 0.5));
    for (std::uint32_t i = 0; i < n; ++i) {
        if (small)
            points.append(QPointF(r.i16le(28 + 4 * i) + 0.5, r.i16le(30 + 4 * i) + 0.5));
        else
            points.append(QPointF(r.i32le(28 + 8 * i) + 0.5, r.i32le(32 + 8 * i) + 0.5));
    }
    QPainterPath path;
    switch (type) {
    case EMR_POLYGON16: case EMR_POLYGON:
        path.addPolygon(points);
        path.closeSubpath();
        path.setFillRule(dc.State().PolyFillMode == WINDING_FILL ? Qt::WindingFill : Qt::OddEvenFill);
        Shape(dc, std::move(path), true, true);
        return;
    case EMR_POLYBEZIER16: case EMR_POLYBEZIER: case EMR_POLYBEZIERTO16: case EMR_POLYBEZIERTO:
        path.moveTo(points[0]);
        for (qsizetype i = 1; i + 2 < points.size(); i += 3)
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
        break;
    default:
        if (points.size() < 2)
            return;
        path.addPolygon(points);
        break;
    }
    Shape(dc, std::move(path), false, true);
}

void TPdfDrawingCollector::PolyPoly(const TEmfEnumerator& dc, std::uint32_t type, const ByteView& r)
{
    const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
    const bool closed = type == EMR_POLYPOLYGON16 || type == EMR_POLYPOLYGON;
    const std::uint32_t polys = r.u32le(24);
    const std::uint32_t total = r.u32le(28);
    const std::uint64_t countBytes = std::uint64_t(polys) * 4;
    if (!r.Fits(32, countBytes) || !r.Fits(32 + countBytes, std::uint64_t(total) * (small ? 4 : 8)))
        return;
    QPainterPath path;
    std::size_t o = 32 + std::size_t(countBytes);
    std::uint64_t used = 0;
    for (std::uint32_t k = 0; k < polys; ++k) {
        const std::uint32_t n = r.u32le(32 + 4 * std::size_t(k));
        if (used + n > total)
            return;
        used += n;
        QPolygonF points;
        points.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i, o += small ? 4 : 8) {
            if (small)
                points.append(QPointF(r.i16le(o) + 0.5, r.i16le(o + 2) + 0.5));
            else
                points.append(QPointF(r.i32le(o) + 0.5, r.i32le(o + 4) + 0.5));
        }
        if (points.size() < 2)
            continue;
        path.addPolygon(points);
        if (closed)
            path.closeSubpath();
    }
    path.setFillRule(dc.State().PolyFillMode == WINDING_FILL ? Qt::WindingFill : Qt::OddEvenFill);
    Shape(dc, std::move(path), closed, true);
}

void TPdfDrawingCollector::Arc(const TEmfEnumerator& dc, std::uint32_t type, const ByteView& r)
{
    const QRectF box = BoxAt(r, 8);
    const QRectF outline(box.left() + 0.5, box.top() + 0.5, box.width() - 1, box.height() - 1);
    if (outline.width() <= 0 || outline.height() <= 0)
        return;
    const QPointF start(r.i32le(24), r.i32le(28)), end(r.i32le(32), r.i32le(36));
    const QPointF c = outline.center();
    // Angles of the radials, counter-clockwise in y-up terms; arcs run
    // counter-clockwise from the start radial to the end radial.
    const qreal a0 = qRadiansToDegrees(
        std::atan2(-(start.y() - c.y()) * outline.width(), (start.x() - c.x()) * outline.height()));
    const qreal a1 =
        qRadiansToDegrees(std::atan2(-(end.y() - c.y()) * outline.width(), (end.x() - c.x()) * outline.height()));
    qreal sweep = a1 - a0;
    if (sweep <= 0)
        sweep += 360;
    QPainterPath path;
    if (type == EMR_PIE)
        path.moveTo(c);
    else if (type == EMR_ARCTO)
        path.moveTo(QPointF(dc.PositionBefore().X + 0.5, dc.PositionBefore().Y + 0.5));
    QPointF arcStart;
    {
        QPainterPath probe;
        probe.arcMoveTo(outline, a0);
        arcStart = probe.currentPosition();
    }
    if (path.elementCount() == 0)
        path.moveTo(arcStart);
    else
        path.lineTo(arcStart);
    path.arcTo(outline, a0, sweep);
    const bool closed = type == EMR_CHORD || type == EMR_PIE;
    if (closed)
        path.closeSubpath();
    Shape(dc, std::move(path), closed, true);
}

void TPdfDrawingCollector::Region(const TEmfEnumerator& dc, std::uint32_t type, const ByteView& r)
{
    // Regions are in device units: the bar's place is all that moves them.
    const std::uint32_t size = r.u32le(24);
    QPainterPath path = RegionPath(r, type == EMR_FILLRGN ? 32 : 28, size);
    if (path.isEmpty())
        return;
    TGdiBrush brush = dc.State().Brush;
    if (type == EMR_FILLRGN) {
        const TEmfObject* object = dc.Object(r.u32le(28));
        if (!object || object->ObjectKind != TEmfObject::Brush)
            return;
        brush = object->BrushValue;
    }
    TPdfShape shape;
    shape.Fill = FillOf(dc, brush);
    if (shape.Fill.Kind == TPdfFill::None)
        return;
    shape.Path = path.translated(FBarX, 0);
    if (!FitToDrawable(shape.Path, true))
        return;
    FDrawings.emplace_back(std::move(shape));
}

// --- text -------------------------------------------------------------------------------

std::shared_ptr<const TFont> TPdfDrawingCollector::TextFont(const TEmfEnumerator& dc)
{
    const TLogFont& lf = dc.State().Font;
    const std::uint32_t color = dc.State().TextColor;
    if (FFont && color == FFontColor && lf == FFontFor)
        return FFont;
    // The logical font as the item-collecting filters read it, with the
    // escapement the text is drawn at.
    auto font = std::make_shared<TFont>();
    font->SetName(lf.FaceName);
    font->SetHeight(lf.Height);
    TFontStyles style;
    if (lf.Weight >= 700)
        style |= fsBold;
    if (lf.Italic)
        style |= fsItalic;
    if (lf.Underline)
        style |= fsUnderline;
    if (lf.StrikeOut)
        style |= fsStrikeOut;
    font->SetStyle(style);
    font->SetCharset(lf.CharSet);
    const int pitch = lf.PitchAndFamily & 0x0F;
    font->SetPitch(pitch == 1 ? fpFixed : pitch == 2 ? fpVariable : fpDefault);
    font->SetColor(TColor(color));
    font->SetOrientation(lf.Escapement % 3600);
    FFace = TTextMeasurer::Face(*font);
    FFont = std::move(font);
    FFontFor = lf;
    FFontColor = color;
    return FFont;
}

void TPdfDrawingCollector::Text(const TEmfEnumerator& dc, const TEmfRecord& record, int codePage)
{
    TEmfTextRun decoded;
    if (!DecodeTextRecord(record, codePage, decoded))
        return; // glyph indices name no characters a PDF font could show
    const ByteView& r = record.Bytes;
    const bool small = record.Type == EMR_SMALLTEXTOUT;
    QPointF ref = small ? QPointF(r.i32le(8), r.i32le(12)) : QPointF(r.i32le(36), r.i32le(40));
    const unsigned options = small ? r.u32le(20) : r.u32le(52);
    std::optional<QRectF> rect;
    if (small ? !(options & ETO_NO_RECT) && r.Fits(36, 16) : (options & (ETO_OPAQUE | ETO_CLIPPED)) != 0)
        rect = BoxAt(r, small ? 36 : 56);
    const TEmfReplayState& s = dc.State();
    if (s.TextAlign & 1) // TA_UPDATECP: the text starts at the current position
        ref = QPointF(s.CurrentPosition.X, s.CurrentPosition.Y);

    TPdfText run;
    run.Font = TextFont(dc);
    const TFontFacePtr& face = FFace;
    const std::uint32_t n = small ? r.u32le(16) : r.u32le(44);
    const std::uint32_t offDx = small ? 0 : r.u32le(72);
    const std::size_t step = (options & ETO_PDY) ? 8 : 4;
    qint64 width = 0;
    if (offDx != 0 && r.Fits(offDx, std::uint64_t(n) * step)) {
        for (std::uint32_t i = 0; i < n; ++i)
            width += r.i32le(offDx + step * i);
    } else {
        width = face->TextWidth(decoded.Text);
    }
    run.Width = int(std::clamp<qint64>(width, -0x3FFFFFFF, 0x3FFFFFFF));

    // The cell relative to the reference point, before rotation.
    double left = 0;
    if ((s.TextAlign & TA_HORZ_MASK) == TA_RIGHT)
        left = -double(run.Width);
    else if ((s.TextAlign & TA_HORZ_MASK) == TA_CENTER)
        left = -double(run.Width) / 2;
    double top = 0;
    if ((s.TextAlign & TA_VERT_MASK) == TA_BASELINE)
        top = -face->Ascent();
    else if ((s.TextAlign & TA_VERT_MASK) == TA_BOTTOM)
        top = -face->Height();
    QTransform cellToLogical;
    cellToLogical.translate(ref.x(), ref.y());
    if (run.Font->Orientation() != 0)
        cellToLogical.rotate(-run.Font->Orientation() / 10.0); // counter-clockwise on the page
    cellToLogical.translate(left, top);
    const QTransform toPage = ToPage(dc);
    run.CellToPage = cellToLogical * toPage;
    if (!InsideDrawable(run.CellToPage.mapRect(QRectF(0, 0, run.Width, face->Height()))))
        return; // far off every page: only a broken page puts text there

    if (s.BkMode == OPAQUE_MODE)
        run.CellBackground = s.BkColor;
    if (rect && (options & ETO_OPAQUE)) {
        run.OpaqueArea = toPage.map(QPolygonF(*rect));
        run.OpaqueColor = s.BkColor;
    }
    if (rect && (options & ETO_CLIPPED)) {
        // Only a cell that reaches past the rectangle needs the clip.
        const QRectF cell = cellToLogical.mapRect(QRectF(0, 0, run.Width, face->Height()));
        if (!rect->contains(cell))
            run.Clip = toPage.map(QPolygonF(*rect));
    }
    if (IsBlankText(decoded.Text)) {
        // Nothing to show, but the backgrounds are painted all the same.
        if (!run.CellBackground && !run.OpaqueArea)
            return;
        decoded.Text.clear();
    }
    run.Text = std::move(decoded.Text);
    const QTransform& place = run.CellToPage;
    if (!run.CellBackground && !run.OpaqueArea && !run.Clip && !run.Text.isEmpty()
        && !(run.Font->Style() & (fsUnderline | fsStrikeOut)) && place.type() <= QTransform::TxTranslate
        && place.dx() == std::floor(place.dx()) && place.dy() == std::floor(place.dy())
        && std::abs(place.dx()) < 0x3FFFFFFF && std::abs(place.dy()) < 0x3FFFFFFF) {
        FDrawings.emplace_back(TPdfPlainText{std::move(run.Text), std::move(run.Font), int(place.dx()), int(place.dy())});
        return;
    }
    FDrawings.emplace_back(std::make_unique<TPdfText>(std::move(run)));
}

// --- pictures ---------------------------------------------------------------------------

QImage TPdfDrawingCollector::SharedImage(const QImage& image)
{
    const std::size_t hash = PdfImageHash(image);
    for (auto it = FImages.constFind(hash); it != FImages.cend() && it.key() == hash; ++it) {
        if (PdfSamePixels(it.value(), image))
            return it.value();
    }
    const std::int64_t pixels = std::int64_t(image.width()) * image.height();
    if (FPicturePixels + pixels > kMaxPicturePixelsPerFile)
        return {};
    FPicturePixels += pixels;
    FImages.insert(hash, image);
    return image;
}

void TPdfDrawingCollector::Picture(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    const ByteView& r = record.Bytes;
    QRectF dest;
    QRect source;
    std::size_t dibFields = 84; // offBmi, cbBmi, offBits, cbBits
    bool sourceFromBottom = false; // the source origin counts from a bottom-up DIB's last row
    std::uint32_t rop = 0x00CC0020; // SRCCOPY
    switch (record.Type) {
    case EMR_STRETCHDIBITS:
        dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(72), r.i32le(76));
        source = QRect(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
        dibFields = 48;
        sourceFromBottom = true;
        rop = r.u32le(68);
        break;
    case EMR_SETDIBITSTODEVICE:
        dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(40), r.i32le(44));
        source = QRect(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
        dibFields = 48;
        sourceFromBottom = true;
        break;
    case EMR_BITBLT:
        dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(32), r.i32le(36));
        source = QRect(r.i32le(44), r.i32le(48), r.i32le(32), r.i32le(36));
        rop = r.u32le(40);
        break;
    default: // EMR_STRETCHBLT, EMR_ALPHABLEND, EMR_TRANSPARENTBLT
        dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(32), r.i32le(36));
        source = QRect(r.i32le(44), r.i32le(48), r.i32le(100), r.i32le(104));
        if (record.Type == EMR_STRETCHBLT)
            rop = r.u32le(40);
        break;
    }
    if (dest.width() == 0 || dest.height() == 0)
        return;
    const std::uint32_t offBmi = r.u32le(dibFields), cbBmi = r.u32le(dibFields + 4);
    const std::uint32_t offBits = r.u32le(dibFields + 8), cbBits = r.u32le(dibFields + 12);
    if (cbBmi == 0 || !r.Fits(offBmi, cbBmi) || !r.Fits(offBits, cbBits)) {
        // No bitmap: the raster operations that paint the brush or a
        // constant colour still fill the destination.
        TGdiBrush brush;
        if (rop == 0x00F00021) // PATCOPY
            brush = dc.State().Brush;
        else if (rop == 0x00000042) // BLACKNESS
            brush.Color = 0;
        else if (rop == 0x00FF0062) // WHITENESS
            brush.Color = 0xFFFFFF;
        else
            return;
        TPdfShape shape;
        shape.Fill = FillOf(dc, brush);
        if (shape.Fill.Kind == TPdfFill::None)
            return;
        shape.Path = ToPage(dc).map(RectPath(dest.normalized()));
        if (!FitToDrawable(shape.Path, true))
            return;
        FDrawings.emplace_back(std::move(shape));
        return;
    }
    if (rop == 0x00AA0029) // the destination unchanged
        return;
    QImage image = DibToImage(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits));
    if (image.isNull())
        return;
    if (sourceFromBottom && r.i32le(offBmi + 8) > 0)
        source.moveTop(image.height() - source.top() - source.height());
    const QRect part = source.normalized().intersected(image.rect());
    if (part.isEmpty())
        return;
    if (part != image.rect())
        image = image.copy(part);
    const std::int64_t pixels = std::int64_t(image.width()) * image.height();
    if (pixels > kMaxPicturePixels) {
        const double shrink = std::sqrt(double(kMaxPicturePixels) / double(pixels));
        image = image.scaled(std::max(1, int(image.width() * shrink)), std::max(1, int(image.height() * shrink)),
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image = SharedImage(image.convertToFormat(QImage::Format_RGB888));
    if (image.isNull())
        return;
    TPdfPicture picture;
    picture.UnitToPage = QTransform(dest.width(), 0, 0, dest.height(), dest.x(), dest.y()) * ToPage(dc);
    if (!InsideDrawable(picture.UnitToPage.mapRect(QRectF(0, 0, 1, 1))))
        return; // far off every page
    picture.Image = std::move(image);
    FDrawings.emplace_back(std::make_unique<TPdfPicture>(std::move(picture)));
}

// --- clipping ---------------------------------------------------------------------------

void TPdfDrawingCollector::SetClip(std::optional<QPainterPath> region)
{
    if (!region && !FClip)
        return;
    if (region && !InsideDrawable(region->controlPointRect()))
        region = region->intersected(RectPath(kDrawable));
    FClip = std::move(region);
    // Two changes in a row on one page: only the last one counts.
    if (FDrawings.size() > FPageStart && std::holds_alternative<TPdfClipChange>(FDrawings.back()))
        FDrawings.back() = TPdfClipChange{FClip};
    else
        FDrawings.emplace_back(TPdfClipChange{FClip});
}

void TPdfDrawingCollector::ClipRect(const TEmfEnumerator& dc, const ByteView& r, bool exclude)
{
    // The rectangle's pixels are left .. right - 1: the area [left, right).
    const QPainterPath area = ToPage(dc).map(RectPath(BoxAt(r, 8)));
    const QPainterPath current = FClip ? *FClip : RectPath(kEverywhere);
    SetClip(exclude ? current.subtracted(area) : FClip ? current.intersected(area) : area);
}

void TPdfDrawingCollector::SelectClipRegion(const TEmfEnumerator& dc, const ByteView& r)
{
    Q_UNUSED(dc);
    const std::uint32_t size = r.u32le(8);
    const int mode = int(r.u32le(12));
    if (size == 0) {
        if (mode == RGN_COPY)
            SetClip(std::nullopt); // no region: clipping off
        return;
    }
    // Clip regions are in device units: the bar's place is all that moves them.
    const QPainterPath region = RegionPath(r, 16, size).translated(FBarX, 0);
    const QPainterPath current = FClip ? *FClip : RectPath(kEverywhere);
    switch (mode) {
    case RGN_AND: SetClip(current.intersected(region)); break;
    case RGN_OR: SetClip(FClip ? current.united(region) : current); break;
    case RGN_XOR: SetClip(current.subtracted(region).united(region.subtracted(current))); break;
    case RGN_DIFF: SetClip(current.subtracted(region)); break;
    case RGN_COPY: SetClip(region.simplified()); break;
    default: break;
    }
}

} // namespace vorel
