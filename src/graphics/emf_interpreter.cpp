#include "graphics/emf_interpreter.h"

#include "foundation/locale/code_page.h"
#include "graphics/canvas.h"

#include <QtMath>

namespace vorel {

namespace {

constexpr int R2_NOP = 11;
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;

// A region larger than any page, for "everything but" (page pixels).
const QRectF kEverywhere(-1e6, -1e6, 2e6, 2e6);

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

// The classic outline box: Left..Right-1 x Top..Bottom-1.
QRectF OutlineBox(const QRectF& box)
{
    return QRectF(box.left(), box.top(), std::max(0.0, box.width() - 1), std::max(0.0, box.height() - 1));
}

// The angle of a radial through p, counter-clockwise in y-up terms, in the
// ellipse's own (circle) terms, as QPainterPath::arcTo takes it.
qreal RadialAngle(const QRectF& outline, QPointF p)
{
    const QPointF c = outline.center();
    return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) * outline.width(), (p.x() - c.x()) * outline.height()));
}

QPointF ArcPointAt(const QRectF& outline, qreal angle)
{
    QPainterPath probe;
    probe.arcMoveTo(outline, angle);
    return probe.currentPosition();
}

Qt::FillRule FillRuleOf(const TEmfReplayState& s)
{
    return s.PolyFillMode == WINDING_FILL ? Qt::WindingFill : Qt::OddEvenFill;
}

} // namespace

QPainterPath EmfRegionPath(const ByteView& r, std::size_t offset, std::uint32_t size)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (size < 32 || !r.Fits(offset, size))
        return path;
    const std::uint32_t count = r.u32le(offset + 8);
    if (!r.Fits(offset + 32, std::uint64_t(count) * 16) || std::uint64_t(count) * 16 > size - 32)
        return path;
    if (count > TEmfInterpreter::kMaxRegionRects) {
        path.addRect(BoxAt(r, offset + 16)); // the header's bounds
        return path;
    }
    for (std::uint32_t i = 0; i < count; ++i)
        path.addRect(BoxAt(r, offset + 32 + 16 * std::size_t(i)));
    return path;
}

void EmfChainPixels(QPainterPath& chain)
{
    // From x0 to x1 > x0 the pixels [x0, x1); from x0 to x1 < x0 they are
    // [x1 + 1, x0 + 1).
    auto shift = [](QPointF from, QPointF to) {
        const QPointF d = to - from;
        const bool flat = std::abs(d.x()) >= std::abs(d.y());
        return QPointF(flat ? (d.x() < 0 ? 1 : 0) : 0.5, flat ? 0.5 : (d.y() < 0 ? 1 : 0));
    };
    const QPointF half(0.5, 0.5); // from the pixel's middle to its corner
    if (chain.elementCount() == 2) { // a line: the common case, kept in place
        const QPointF a = QPointF(chain.elementAt(0)) - half, b = QPointF(chain.elementAt(1)) - half;
        const QPointF s = shift(a, b);
        chain.setElementPositionAt(0, a.x() + s.x(), a.y() + s.y());
        chain.setElementPositionAt(1, b.x() + s.x(), b.y() + s.y());
        return;
    }
    QPainterPath out;
    QPointF last;
    for (int i = 0; i < chain.elementCount(); ++i) {
        const QPainterPath::Element e = chain.elementAt(i);
        const QPointF at = QPointF(e) - half;
        if (e.type == QPainterPath::LineToElement) {
            const QPointF s = shift(last, at);
            out.moveTo(last + s);
            out.lineTo(at + s);
        }
        last = at;
    }
    chain = std::move(out);
}

QPointF EmfArcPoint(const QRectF& box, QPointF radial)
{
    const QRectF outline = OutlineBox(box.normalized());
    if (outline.width() <= 0 || outline.height() <= 0)
        return outline.topLeft();
    return ArcPointAt(outline, RadialAngle(outline, radial));
}

void TEmfInterpreter::Reset()
{
    FClip.reset();
    FSavedClips.clear();
    FInPath = false;
    FPath = QPainterPath();
}

void TEmfInterpreter::Record(const TEmfEnumerator& dc)
{
    if (!dc.RecordValid())
        return;
    const std::uint32_t type = dc.Record().Type;
    const ByteView& r = dc.Record().Bytes;
    switch (type) {
    case EMR_MOVETOEX:
        if (FInPath)
            FPath.moveTo(dc.State().PageTransform(dc.DevicePixelsPerMmX(), dc.DevicePixelsPerMmY())
                             .map(QPointF(r.i32le(8), r.i32le(12))));
        return;
    case EMR_BEGINPATH:
        FInPath = true;
        FPath = QPainterPath();
        return;
    case EMR_ENDPATH: FInPath = false; return;
    case EMR_ABORTPATH:
        FInPath = false;
        FPath = QPainterPath();
        return;
    case EMR_CLOSEFIGURE:
        if (FInPath)
            FPath.closeSubpath();
        return;
    case EMR_SAVEDC:
        // The enumerator refuses saves past its depth limit; its depth is ours.
        while (FSavedClips.size() < std::size_t(dc.SaveDepth()))
            FSavedClips.push_back(FClip);
        return;
    case EMR_RESTOREDC: {
        const auto depth = std::size_t(dc.SaveDepth());
        if (depth < FSavedClips.size()) {
            std::optional<QPainterPath> restored = std::move(FSavedClips[depth]);
            FSavedClips.resize(depth);
            SetClip(std::move(restored));
        }
        return;
    }
    case EMR_EXTSELECTCLIPRGN: {
        const std::uint32_t size = r.u32le(8);
        const int mode = int(r.u32le(12));
        if (size == 0) {
            if (mode == RGN_COPY)
                SetClip(std::nullopt); // no region: clipping off
            return;
        }
        // Clip regions are in device units: page pixels already.
        Combine(EmfRegionPath(r, 16, size), mode);
        return;
    }
    case EMR_SELECTCLIPPATH:
        if (FInPath)
            return; // a path bracket still open is no path yet
        Combine(FPath, int(r.u32le(8)));
        FPath = QPainterPath();
        return;
    default: break;
    }

    // The records below draw, in logical units mapped to page pixels; state
    // records (most of a page) do not need the mapping.
    switch (type) {
    case EMR_LINETO: case EMR_RECTANGLE: case EMR_ELLIPSE: case EMR_ROUNDRECT: case EMR_POLYLINE16: case EMR_POLYLINE:
    case EMR_POLYGON16: case EMR_POLYGON: case EMR_POLYLINETO16: case EMR_POLYLINETO: case EMR_POLYBEZIER16:
    case EMR_POLYBEZIER: case EMR_POLYBEZIERTO16: case EMR_POLYBEZIERTO: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON16: case EMR_POLYPOLYGON: case EMR_ARC: case EMR_CHORD: case EMR_PIE: case EMR_ARCTO:
    case EMR_ANGLEARC: case EMR_FILLRGN: case EMR_PAINTRGN: case EMR_SETPIXELV: case EMR_FILLPATH: case EMR_STROKEPATH:
    case EMR_STROKEANDFILLPATH: case EMR_EXTTEXTOUTW: case EMR_EXTTEXTOUTA: case EMR_SMALLTEXTOUT: case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT:
    case EMR_INTERSECTCLIPRECT: case EMR_EXCLUDECLIPRECT: case EMR_OFFSETCLIPRGN:
        FToPage = dc.State().PageTransform(dc.DevicePixelsPerMmX(), dc.DevicePixelsPerMmY());
        break;
    default: return; // state records are the enumerator's; the rest draw nothing
    }
    switch (type) {
    case EMR_LINETO: Line(dc); break;
    case EMR_RECTANGLE: case EMR_ELLIPSE: case EMR_ROUNDRECT: Box(dc, type); break;
    case EMR_POLYLINE16: case EMR_POLYLINE: case EMR_POLYGON16: case EMR_POLYGON: case EMR_POLYLINETO16:
    case EMR_POLYLINETO: case EMR_POLYBEZIER16: case EMR_POLYBEZIER: case EMR_POLYBEZIERTO16:
    case EMR_POLYBEZIERTO:
        Poly(dc, type);
        break;
    case EMR_POLYPOLYLINE16: case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON16: case EMR_POLYPOLYGON:
        PolyPoly(dc, type);
        break;
    case EMR_ARC: case EMR_CHORD: case EMR_PIE: case EMR_ARCTO: Arc(dc, type); break;
    case EMR_ANGLEARC: AngleArc(dc); break;
    case EMR_FILLRGN: case EMR_PAINTRGN: Region(dc, type); break;
    case EMR_SETPIXELV:
        FSolid = TGdiBrush{BS_SOLID, r.u32le(16) & 0xFFFFFF, 0, {}};
        Emit(dc, TEmfShape{RectPath(QRectF(r.i32le(8), r.i32le(12), 1, 1)), &FSolid});
        break;
    case EMR_FILLPATH: case EMR_STROKEPATH: case EMR_STROKEANDFILLPATH: PathEnd(dc, type); break;
    case EMR_EXTTEXTOUTW: case EMR_EXTTEXTOUTA: case EMR_SMALLTEXTOUT: Text(dc, type); break;
    case EMR_STRETCHDIBITS: case EMR_SETDIBITSTODEVICE: case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
        Picture(dc, type);
        break;
    case EMR_INTERSECTCLIPRECT: case EMR_EXCLUDECLIPRECT:
        // The rectangle's pixels are left .. right - 1: the area [left, right).
        Combine(FToPage.map(RectPath(BoxAt(r, 8))), type == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF);
        break;
    case EMR_OFFSETCLIPRGN:
        if (FClip)
            SetClip(FClip->translated(FToPage.map(QPointF(r.i32le(8), r.i32le(12))) - FToPage.map(QPointF(0, 0))));
        break;
    default: break;
    }
}

// --- figures ----------------------------------------------------------------------------

void TEmfInterpreter::Emit(const TEmfEnumerator& dc, TEmfShape shape, bool logical)
{
    if (logical && !FToPage.isIdentity())
        shape.Path = FToPage.map(shape.Path);
    if (FInPath) {
        // A figure inside a path bracket joins the path instead of drawing.
        FPath.addPath(shape.Path);
        return;
    }
    const TEmfReplayState& s = dc.State();
    if (s.Rop2 == R2_NOP)
        return; // the page stays as it was
    if (shape.Brush && shape.Brush->IsNull())
        shape.Brush = nullptr;
    shape.Stroke = shape.Stroke && !s.Pen.IsNull();
    if (!shape.Stroke && shape.Brush) {
        // A fill of no area covers no pixel (a pen-less box one pixel wide).
        const QRectF extent = shape.Path.controlPointRect();
        if (extent.width() <= 0 || extent.height() <= 0)
            shape.Brush = nullptr;
    }
    if (!shape.Brush && !shape.Stroke)
        return;
    if (shape.Stroke && logical)
        shape.Path.translate(0.5, 0.5); // the outline through the pixels' middles
    FDevice.Shape(TEmfDrawContext{dc, FToPage}, shape);
}

void TEmfInterpreter::Box(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
    const TGdiPen& pen = dc.State().Pen;
    QRectF outline = OutlineBox(BoxAt(r, 8));
    if (!pen.IsNull() && (pen.Style & PS_STYLE_MASK) == PS_INSIDEFRAME && pen.Width > 1) {
        // The pen's outer edge on the outline box, not its middle.
        const double inset = std::min({pen.Width / 2.0 - 0.5, outline.width() / 2, outline.height() / 2});
        outline.adjust(inset, inset, -inset, -inset);
    }
    QPainterPath path;
    switch (type) {
    case EMR_RECTANGLE: path.addRect(outline); break;
    case EMR_ELLIPSE: path.addEllipse(outline); break; // four Bézier quarters
    default: { // EMR_ROUNDRECT: the corner ellipse's width and height, within the box
        const double rx = std::min(std::abs(double(r.i32le(24))) / 2, outline.width() / 2);
        const double ry = std::min(std::abs(double(r.i32le(28))) / 2, outline.height() / 2);
        path.addRoundedRect(outline, rx, ry);
        break;
    }
    }
    Emit(dc, TEmfShape{std::move(path), &dc.State().Brush, true});
}

void TEmfInterpreter::Line(const TEmfEnumerator& dc)
{
    const ByteView& r = dc.Record().Bytes;
    const QPointF from(dc.PositionBefore().X, dc.PositionBefore().Y);
    const QPointF to(r.i32le(8), r.i32le(12));
    if (FInPath) {
        if (FPath.elementCount() == 0)
            FPath.moveTo(FToPage.map(from));
        FPath.lineTo(FToPage.map(to));
        return;
    }
    QPainterPath path(from);
    path.lineTo(to);
    Emit(dc, TEmfShape{std::move(path), nullptr, true, true});
}

void TEmfInterpreter::Poly(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
    const bool small = type >= EMR_POLYBEZIER16;
    const std::uint32_t n = r.u32le(24);
    if (n == 0 || !r.Fits(28, std::uint64_t(n) * (small ? 4 : 8)))
        return;
    const bool to = type == EMR_POLYLINETO16 || type == EMR_POLYLINETO || type == EMR_POLYBEZIERTO16
        || type == EMR_POLYBEZIERTO;
    QPolygonF points;
    points.reserve(qsizetype(n) + 1);
    if (to)
        points.append(QPointF(dc.PositionBefore().X, dc.PositionBefore().Y));
    for (std::uint32_t i = 0; i < n; ++i) {
        if (small)
            points.append(QPointF(r.i16le(28 + 4 * std::size_t(i)), r.i16le(30 + 4 * std::size_t(i))));
        else
            points.append(QPointF(r.i32le(28 + 8 * std::size_t(i)), r.i32le(32 + 8 * std::size_t(i))));
    }
    QPainterPath path;
    switch (type) {
    case EMR_POLYGON16: case EMR_POLYGON:
        if (points.size() < 2)
            return;
        path.addPolygon(points);
        path.closeSubpath();
        path.setFillRule(FillRuleOf(dc.State()));
        Emit(dc, TEmfShape{std::move(path), &dc.State().Brush, true});
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
    const bool chain = type != EMR_POLYBEZIER16 && type != EMR_POLYBEZIER && type != EMR_POLYBEZIERTO16
        && type != EMR_POLYBEZIERTO;
    if (FInPath && to && FPath.elementCount() > 0) {
        // The "to" forms continue the path's figure from the current position.
        FPath.connectPath(FToPage.isIdentity() ? path : FToPage.map(path));
        return;
    }
    Emit(dc, TEmfShape{std::move(path), nullptr, true, chain});
}

void TEmfInterpreter::PolyPoly(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
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
    QPolygonF points;
    for (std::uint32_t k = 0; k < polys; ++k) {
        const std::uint32_t n = r.u32le(32 + 4 * std::size_t(k));
        if (used + n > total)
            return;
        used += n;
        points.clear();
        points.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i, o += small ? 4 : 8) {
            if (small)
                points.append(QPointF(r.i16le(o), r.i16le(o + 2)));
            else
                points.append(QPointF(r.i32le(o), r.i32le(o + 4)));
        }
        if (points.size() < 2)
            continue;
        path.addPolygon(points);
        if (closed)
            path.closeSubpath();
    }
    path.setFillRule(FillRuleOf(dc.State()));
    Emit(dc, TEmfShape{std::move(path), closed ? &dc.State().Brush : nullptr, true, !closed});
}

void TEmfInterpreter::Arc(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
    const QRectF outline = OutlineBox(BoxAt(r, 8));
    if (outline.width() <= 0 || outline.height() <= 0)
        return;
    // Arcs run counter-clockwise (on the page) from the start radial to the end radial.
    const qreal a0 = RadialAngle(outline, QPointF(r.i32le(24), r.i32le(28)));
    qreal sweep = RadialAngle(outline, QPointF(r.i32le(32), r.i32le(36))) - a0;
    if (sweep <= 0)
        sweep += 360;
    const QPointF arcStart = ArcPointAt(outline, a0);
    QPainterPath path;
    if (type == EMR_PIE) {
        path.moveTo(outline.center());
        path.lineTo(arcStart);
    } else if (type == EMR_ARCTO) {
        // A line from the current position to the arc's start; the enumerator
        // moves the current position to the arc's end.
        path.moveTo(QPointF(dc.PositionBefore().X, dc.PositionBefore().Y));
        path.lineTo(arcStart);
    } else {
        path.moveTo(arcStart);
    }
    path.arcTo(outline, a0, sweep);
    const bool closed = type == EMR_CHORD || type == EMR_PIE;
    if (closed)
        path.closeSubpath();
    if (FInPath && type == EMR_ARCTO && FPath.elementCount() > 0) {
        FPath.connectPath(FToPage.isIdentity() ? path : FToPage.map(path));
        return;
    }
    Emit(dc, TEmfShape{std::move(path), closed ? &dc.State().Brush : nullptr, true});
}

void TEmfInterpreter::AngleArc(const TEmfEnumerator& dc)
{
    const ByteView& r = dc.Record().Bytes;
    const QPointF c(r.i32le(8), r.i32le(12));
    const qreal radius = r.u32le(16);
    const qreal start = r.f32le(20), sweep = r.f32le(24);
    if (!std::isfinite(start) || !std::isfinite(sweep) || radius > 1e7)
        return;
    // A line from the current position to the arc's start, then the arc
    // counter-clockwise by the sweep (clockwise when negative); a sweep past
    // a full turn draws the circle once.
    const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    const qreal a0 = std::fmod(start, 360.0);
    QPainterPath path(QPointF(dc.PositionBefore().X, dc.PositionBefore().Y));
    path.lineTo(c + radius * QPointF(std::cos(qDegreesToRadians(a0)), -std::sin(qDegreesToRadians(a0))));
    path.arcTo(box, a0, std::clamp(sweep, -360.0, 360.0));
    if (FInPath && FPath.elementCount() > 0) {
        FPath.connectPath(FToPage.isIdentity() ? path : FToPage.map(path));
        return;
    }
    Emit(dc, TEmfShape{std::move(path), nullptr, true});
}

void TEmfInterpreter::Region(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
    const TGdiBrush* brush = &dc.State().Brush;
    if (type == EMR_FILLRGN) {
        const TEmfObject* object = dc.Object(r.u32le(28));
        if (!object || object->ObjectKind != TEmfObject::Brush)
            return;
        brush = &object->BrushValue;
    }
    // Regions are in device units: page pixels already, areas of whole pixels.
    QPainterPath path = EmfRegionPath(r, type == EMR_FILLRGN ? 32 : 28, r.u32le(24));
    if (path.isEmpty())
        return;
    Emit(dc, TEmfShape{std::move(path), brush}, false);
}

void TEmfInterpreter::PathEnd(const TEmfEnumerator& dc, std::uint32_t type)
{
    if (FInPath)
        return; // a path bracket still open is no path yet
    QPainterPath path = std::move(FPath);
    FPath = QPainterPath();
    if (path.isEmpty())
        return;
    path.setFillRule(FillRuleOf(dc.State()));
    const bool stroke = type != EMR_FILLPATH;
    if (stroke && !dc.State().Pen.IsNull())
        path.translate(0.5, 0.5); // outlines through the pixels' middles, as every figure's
    Emit(dc, TEmfShape{std::move(path), type != EMR_STROKEPATH ? &dc.State().Brush : nullptr, stroke}, false);
}

// --- text and pictures ------------------------------------------------------------------

void TEmfInterpreter::Text(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
    TEmfText text;
    std::uint32_t n = 0;
    std::size_t at = 0;
    bool wide = true;
    std::uint32_t offDx = 0;
    if (type == EMR_SMALLTEXTOUT) {
        // reference (8), count (16), options (20), graphics mode and scales
        // (24..35), then an optional rectangle and the characters.
        text.Reference = QPointF(r.i32le(8), r.i32le(12));
        n = r.u32le(16);
        text.Options = r.u32le(20);
        at = (text.Options & ETO_NO_RECT) ? 36 : 52;
        wide = !(text.Options & ETO_SMALL_CHARS);
        if (!(text.Options & ETO_NO_RECT) && r.Fits(36, 16))
            text.Rect = BoxAt(r, 36);
    } else {
        // bounds (8), graphics mode and scales (24..35), reference (36),
        // count (44), string offset (48), options (52), rectangle (56), dx offset (72).
        text.Reference = QPointF(r.i32le(36), r.i32le(40));
        n = r.u32le(44);
        at = r.u32le(48);
        text.Options = r.u32le(52);
        wide = type == EMR_EXTTEXTOUTW;
        offDx = r.u32le(72);
        if (text.Options & (ETO_OPAQUE | ETO_CLIPPED))
            text.Rect = BoxAt(r, 56);
    }
    if (!r.Fits(at, std::uint64_t(n) * (wide ? 2 : 1)))
        return;
    if (wide || (text.Options & ETO_GLYPH_INDEX)) {
        FText.resize(qsizetype(n));
        QChar* p = FText.data();
        for (std::uint32_t i = 0; i < n; ++i)
            p[i] = QChar(char16_t(wide ? r.u16le(at + 2 * std::size_t(i)) : r.u8(at + i)));
    } else {
        FText = DecodeCodePage(QByteArrayView(r.Data() + at, qsizetype(n)), CodePage);
    }
    text.Text = FText;
    const std::size_t step = (text.Options & ETO_PDY) ? 8 : 4; // PDY: x and y of each advance
    if (offDx != 0 && r.Fits(offDx, std::uint64_t(n) * step) && std::size_t(FText.size()) == n) {
        FDx.resize(n);
        for (std::uint32_t i = 0; i < n; ++i)
            FDx[i] = r.i32le(offDx + step * i);
        text.Dx = FDx.data();
    }
    if (dc.State().TextAlign & 1) // TA_UPDATECP: the text starts at the current position
        text.Reference = QPointF(dc.State().CurrentPosition.X, dc.State().CurrentPosition.Y);
    FDevice.Text(TEmfDrawContext{dc, FToPage}, text);
}


void TEmfInterpreter::Picture(const TEmfEnumerator& dc, std::uint32_t type)
{
    const ByteView& r = dc.Record().Bytes;
    TEmfPicture picture;
    std::optional<QRect> source;
    std::size_t dibFields = 84; // offBmi, cbBmi, offBits, cbBits
    bool sourceFromBottom = false; // the source origin counts from a bottom-up DIB's last row
    switch (type) {
    case EMR_STRETCHDIBITS:
        picture.Dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(72), r.i32le(76));
        source = DibSourceRect(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
        dibFields = 48;
        sourceFromBottom = true;
        picture.Rop = r.u32le(68);
        break;
    case EMR_SETDIBITSTODEVICE:
        picture.Dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(40), r.i32le(44));
        source = DibSourceRect(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
        dibFields = 48;
        sourceFromBottom = true;
        break;
    case EMR_BITBLT:
        picture.Dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(32), r.i32le(36));
        source = DibSourceRect(r.i32le(44), r.i32le(48), r.i32le(32), r.i32le(36));
        picture.Rop = r.u32le(40);
        break;
    default: // EMR_STRETCHBLT, EMR_ALPHABLEND, EMR_TRANSPARENTBLT
        picture.Dest = QRectF(r.i32le(24), r.i32le(28), r.i32le(32), r.i32le(36));
        source = DibSourceRect(r.i32le(44), r.i32le(48), r.i32le(100), r.i32le(104));
        if (type == EMR_STRETCHBLT)
            picture.Rop = r.u32le(40);
        else if (type == EMR_ALPHABLEND)
            picture.Opacity = ((r.u32le(40) >> 16) & 0xFF) / 255.0; // SourceConstantAlpha
        break;
    }
    if (picture.Dest.width() == 0 || picture.Dest.height() == 0)
        return;
    const std::uint32_t offBmi = r.u32le(dibFields), cbBmi = r.u32le(dibFields + 4);
    const std::uint32_t offBits = r.u32le(dibFields + 8), cbBits = r.u32le(dibFields + 12);
    if (cbBmi == 0 || !r.Fits(offBmi, cbBmi) || !r.Fits(offBits, cbBits)) {
        // No bitmap: the raster operations that paint the brush or a
        // constant colour still fill the destination.
        const TGdiBrush* brush = &FSolid;
        if (picture.Rop == 0x00F00021) // PATCOPY
            brush = &dc.State().Brush;
        else if (picture.Rop == 0x00000042) // BLACKNESS
            FSolid = TGdiBrush{BS_SOLID, 0, 0, {}};
        else if (picture.Rop == 0x00FF0062) // WHITENESS
            FSolid = TGdiBrush{BS_SOLID, 0xFFFFFF, 0, {}};
        else
            return;
        Emit(dc, TEmfShape{RectPath(picture.Dest.normalized()), brush});
        return;
    }
    if (picture.Rop == 0x00AA0029) // the destination unchanged
        return;
    if (!source)
        return; // a source no bitmap can have: the record is skipped
    picture.Image = DibToImage(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits));
    if (picture.Image.isNull())
        return;
    if (sourceFromBottom && r.i32le(offBmi + 8) > 0) {
        const std::int64_t top = std::int64_t(picture.Image.height()) - source->top() - source->height();
        source = DibSourceRect(source->left(), top, source->width(), source->height());
        if (!source)
            return;
    }
    picture.Source = *source;
    FDevice.Picture(TEmfDrawContext{dc, FToPage}, picture);
}

// --- clipping ---------------------------------------------------------------------------

void TEmfInterpreter::Combine(QPainterPath area, int mode)
{
    const QPainterPath current = FClip ? *FClip : RectPath(kEverywhere);
    switch (mode) {
    case RGN_AND: SetClip(FClip ? current.intersected(area) : std::move(area)); break;
    case RGN_OR:
        if (FClip) // an unclipped page stays unclipped
            SetClip(current.united(area));
        break;
    case RGN_XOR: SetClip(current.subtracted(area).united(area.subtracted(current))); break;
    case RGN_DIFF: SetClip(current.subtracted(area)); break;
    case RGN_COPY: SetClip(area.simplified()); break;
    default: break;
    }
}

void TEmfInterpreter::SetClip(std::optional<QPainterPath> region)
{
    if (!region && !FClip)
        return;
    FClip = std::move(region);
    FDevice.SetClip(FClip);
}

} // namespace vorel
