#include "graphics/gdi_paint.h"

#include "graphics/text_shaping.h"

#include "graphics/canvas.h"
#include "graphics/graphics_types.h"

#include <QGlyphRun>
#include <QPaintEngine>
#include <QVarLengthArray>
#include <QtMath>

namespace vorel {

namespace {

QRectF Normalized(const QRectF& r) { return r.normalized(); }

// The classic outline rectangle: the pen runs on the last unit inside.
QRectF OutlineRect(const QRectF& r) { return QRectF(r.left(), r.top(), r.width() - 1, r.height() - 1); }

} // namespace

void DrawGlyphs(QPainter& painter, const QRawFont& font, const QList<quint32>& glyphs, const QList<QPointF>& positions,
    const QColor& color)
{
    const QTransform t = painter.worldTransform();
    const qreal sx = std::hypot(t.m11(), t.m12());
    const qreal sy = std::hypot(t.m21(), t.m22());
    if (!std::isfinite(sx) || !std::isfinite(sy) || sx <= 0 || sy <= 0)
        return;
    // Qt's glyph cache is for text sizes and near-uniform scaling; glyphs
    // that are very large or squeezed far more in one direction than the
    // other crash it (both found by fuzzing), so they are filled as outlines.
    const qreal em = font.pixelSize();
    // A PDF device (a print job, a PDF file) keeps glyphs as text and has no
    // glyph cache to protect; outlines there would lose the text itself.
    const QPaintEngine* engine = painter.paintEngine();
    const bool keepsText = engine && engine->type() == QPaintEngine::Pdf;
    if (keepsText
        || (std::max(sx, sy) * em <= kMaxCachedGlyphPixels && std::max(sx, sy) <= 8 * std::min(sx, sy))) {
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.setPen(color);
        painter.drawGlyphRun(QPointF(0, 0), run);
        return;
    }
    QPainterPath path;
    for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
        path.addPath(font.pathForGlyph(glyphs[i]).translated(positions[i]));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(path, color);
    painter.restore();
}

qreal TGdiPainter::DeviceScale() const
{
    const QTransform t = FPainter.worldTransform();
    return std::sqrt(std::abs(t.determinant()));
}

QPen TGdiPainter::MakePen(const TGdiPen& pen) const
{
    if (pen.IsNull())
        return Qt::NoPen;
    QPen qp(RgbToQColor(pen.Color));
    const int style = pen.Style & PS_STYLE_MASK;
    const qreal width = pen.Width * PenScale;
    if (OnePixelPen(pen, PenScale * DeviceScale())) {
        qp.setWidth(0);
        qp.setCapStyle(Qt::FlatCap);
        qp.setJoinStyle(Qt::MiterJoin);
        if (const QList<qreal>& dash = ClassicDashPattern(style, true); !dash.isEmpty())
            qp.setDashPattern(dash);
        return qp;
    }
    qp.setWidthF(width);
    qp.setCosmetic(false);
    switch (pen.Style & PS_ENDCAP_MASK) {
    case PS_ENDCAP_SQUARE: qp.setCapStyle(Qt::SquareCap); break;
    case PS_ENDCAP_FLAT: qp.setCapStyle(Qt::FlatCap); break;
    default: qp.setCapStyle(Qt::RoundCap); break;
    }
    switch (pen.Style & PS_JOIN_MASK) {
    case PS_JOIN_BEVEL: qp.setJoinStyle(Qt::BevelJoin); break;
    case PS_JOIN_MITER: qp.setJoinStyle(Qt::MiterJoin); break;
    default: qp.setJoinStyle(Qt::RoundJoin); break;
    }
    if (const QList<qreal>& dash = ClassicDashPattern(style, false); !dash.isEmpty())
        qp.setDashPattern(dash);
    return qp;
}

const QList<qreal>& ClassicDashPattern(int style, bool cosmetic)
{
    // Cosmetic pens in device pixels (on, off, ...); geometric pens scale
    // their pattern with the width (in pen widths).
    static const QList<qreal> kCosmetic[] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
    static const QList<qreal> kGeometric[] = {{}, {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
    const int index = style >= PS_DASH && style <= PS_DASHDOTDOT ? style : 0;
    return (cosmetic ? kCosmetic : kGeometric)[index];
}

QBrush TGdiPainter::MakeBrush(const TGdiBrush& brush) const
{
    const QColor color = RgbToQColor(brush.Color);
    switch (brush.Style) {
    case BS_NULL: return Qt::NoBrush;
    case BS_HATCHED: {
        // HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL (top-left down to
        // bottom-right), HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS.
        static constexpr Qt::BrushStyle kHatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        const int h = brush.Hatch;
        QBrush hatch(color, h >= 0 && h < 6 ? kHatch[h] : Qt::SolidPattern);
        // Qt's horizontal and vertical hatches lie in row 3 and column 4 of
        // their 8 x 8 cell; the page's lie in its row and column 0 (as the
        // PDF draws them), and the diagonals already agree.
        if (h == 0 || h == 1 || h == 4)
            hatch.setTransform(QTransform::fromTranslate(4, 5));
        return hatch;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
        if (!brush.Pattern.isNull())
            return QBrush(brush.Pattern);
        return QBrush(color);
    default: return QBrush(color);
    }
}

void TGdiPainter::ApplyRop()
{
    // Raster operations exist on raster devices only; printers and PDF
    // draw with the plain copy.
    if (FPainter.device() == nullptr || FPainter.device()->devType() != QInternal::Image) {
        FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (State.Rop2) {
    case 2: mode = QPainter::RasterOp_NotSourceAndNotDestination; break; // R2_NOTMERGEPEN
    case 3: mode = QPainter::RasterOp_NotSourceAndDestination; break; // R2_MASKNOTPEN
    case 4: mode = QPainter::RasterOp_NotSource; break; // R2_NOTCOPYPEN
    case 5: mode = QPainter::RasterOp_SourceAndNotDestination; break; // R2_MASKPENNOT
    case 6: mode = QPainter::RasterOp_NotDestination; break; // R2_NOT
    case 7: mode = QPainter::RasterOp_SourceXorDestination; break; // R2_XORPEN
    case 8: mode = QPainter::RasterOp_NotSourceOrNotDestination; break; // R2_NOTMASKPEN
    case 9: mode = QPainter::RasterOp_SourceAndDestination; break; // R2_MASKPEN
    case 10: mode = QPainter::RasterOp_NotSourceXorDestination; break; // R2_NOTXORPEN
    case 12: mode = QPainter::RasterOp_NotSourceOrDestination; break; // R2_MERGENOTPEN
    case 14: mode = QPainter::RasterOp_SourceOrNotDestination; break; // R2_MERGEPENNOT
    case 15: mode = QPainter::RasterOp_SourceOrDestination; break; // R2_MERGEPEN
    default: break;
    }
    FPainter.setCompositionMode(mode);
}

bool TGdiPainter::NeedsGapFill(const TGdiPen& pen) const
{
    const int style = pen.Style & PS_STYLE_MASK;
    return State.BkMode == OPAQUE_MODE && style >= PS_DASH && style <= PS_DASHDOTDOT;
}

void TGdiPainter::Stroke(const QPainterPath& path)
{
    const QPen pen = MakePen(State.Pen);
    if (pen.style() == Qt::NoPen || FPainter.testRenderHint(QPainter::Antialiasing)) {
        Stroke(path, pen);
        return;
    }
    if (!pen.isCosmetic()) {
        // A wider pen is centred on the middles of the pixels its points name.
        Stroke(path.translated(0.5, 0.5), pen);
        return;
    }
    // A one-pixel outline on pixel corners runs through the middles of
    // device pixels: on a pixel boundary the aliased painter picks either
    // side depending on the direction the outline runs.
    const QPainterPath device = FPainter.worldTransform().map(path).translated(0.5, 0.5);
    FPainter.save();
    FPainter.setWorldTransform(QTransform());
    Stroke(device, pen);
    FPainter.restore();
}

void TGdiPainter::Stroke(const QPainterPath& path, QPen pen)
{
    if (State.Pen.IsNull() || State.Rop2 == 11) // R2_NOP draws nothing
        return;
    FPainter.save();
    ApplyRop();
    FPainter.setBrush(Qt::NoBrush);
    if (State.Rop2 == 1)
        pen.setColor(Qt::black);
    else if (State.Rop2 == 16)
        pen.setColor(Qt::white);
    if (NeedsGapFill(State.Pen)) {
        QPen gap = pen;
        gap.setStyle(Qt::SolidLine);
        gap.setColor(RgbToQColor(State.BkColor));
        FPainter.setPen(gap);
        FPainter.drawPath(path);
    }
    FPainter.setPen(pen);
    FPainter.drawPath(path);
    FPainter.restore();
}

void TGdiPainter::Fill(const QPainterPath& path)
{
    if (State.Brush.IsNull() || State.Rop2 == 11)
        return;
    FPainter.save();
    ApplyRop();
    FPainter.setPen(Qt::NoPen);
    if (State.Brush.Style == BS_HATCHED && State.BkMode == OPAQUE_MODE)
        FPainter.fillPath(path, RgbToQColor(State.BkColor));
    FPainter.fillPath(path, MakeBrush(State.Brush));
    FPainter.restore();
}

void TGdiPainter::Line(QPointF from, QPointF to)
{
    const QPen pen = MakePen(State.Pen);
    if (pen.style() != Qt::NoPen && pen.isCosmetic()) {
        // Qt leaves out the pixel at the larger coordinate of a one-pixel
        // line whichever way it runs; the classic platform leaves out the
        // end point. A line running left (or up, when steep) is moved one
        // device pixel so that the same pixels come out.
        const QTransform t = FPainter.worldTransform();
        QPointF a = t.map(from), b = t.map(to);
        const QPointF d = b - a;
        if (std::abs(d.x()) >= std::abs(d.y())) {
            if (d.x() < 0)
                a.rx() += 1, b.rx() += 1;
        } else if (d.y() < 0) {
            a.ry() += 1, b.ry() += 1;
        }
        QPainterPath path(a);
        path.lineTo(b);
        FPainter.save();
        FPainter.setWorldTransform(QTransform());
        Stroke(path, pen);
        FPainter.restore();
        return;
    }
    QPainterPath path(from);
    path.lineTo(to);
    Stroke(path);
}

void TGdiPainter::Polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    const QPen pen = MakePen(State.Pen);
    if (pen.style() != Qt::NoPen && pen.isCosmetic()) {
        // One-pixel lines: each segment stops before its end point and the
        // next one starts there, so the polyline's last point stays undrawn
        // as on the classic platform (a stroked path would draw it).
        for (qsizetype i = 1; i < points.size(); ++i)
            Line(points[i - 1], points[i]);
        return;
    }
    QPainterPath path;
    path.addPolygon(points);
    Stroke(path);
}

void TGdiPainter::Polygon(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    path.setFillRule(State.PolyFillMode == WINDING_FILL ? Qt::WindingFill : Qt::OddEvenFill);
    Fill(path);
    Stroke(path);
}

void TGdiPainter::PolyPolygon(const QList<QPolygonF>& polygons)
{
    QPainterPath path;
    for (const QPolygonF& p : polygons) {
        if (p.size() < 2)
            continue;
        path.addPolygon(p);
        path.closeSubpath();
    }
    path.setFillRule(State.PolyFillMode == WINDING_FILL ? Qt::WindingFill : Qt::OddEvenFill);
    Fill(path);
    Stroke(path);
}

void TGdiPainter::Rectangle(const QRectF& rect)
{
    const QRectF r = Normalized(rect);
    if (State.Pen.IsNull()) {
        // Without a pen the filled area is one unit smaller to the right and
        // bottom, as the classic platform fills it.
        QPainterPath path;
        path.addRect(OutlineRect(r));
        Fill(path);
        return;
    }
    QRectF outline = OutlineRect(r);
    if ((State.Pen.Style & PS_STYLE_MASK) == PS_INSIDEFRAME && State.Pen.Width > 1) {
        const qreal half = State.Pen.Width / 2.0;
        outline = outline.adjusted(half - 0.5, half - 0.5, -(half - 0.5), -(half - 0.5));
    }
    QPainterPath path;
    path.addRect(outline);
    Fill(path);
    Stroke(path);
}

void TGdiPainter::RoundRect(const QRectF& rect, qreal cornerWidth, qreal cornerHeight)
{
    const QRectF r = OutlineRect(Normalized(rect));
    QPainterPath path;
    path.addRoundedRect(r, std::min(std::abs(cornerWidth) / 2, r.width() / 2),
        std::min(std::abs(cornerHeight) / 2, r.height() / 2));
    Fill(path);
    Stroke(path);
}

void TGdiPainter::Ellipse(const QRectF& rect)
{
    QRectF r = OutlineRect(Normalized(rect));
    if ((State.Pen.Style & PS_STYLE_MASK) == PS_INSIDEFRAME && State.Pen.Width > 1) {
        const qreal half = State.Pen.Width / 2.0;
        r = r.adjusted(half - 0.5, half - 0.5, -(half - 0.5), -(half - 0.5));
    }
    QPainterPath path;
    path.addEllipse(r);
    Fill(path);
    Stroke(path);
}

void TGdiPainter::ArcShape(const QRectF& rect, QPointF start, QPointF end, int kind)
{
    const QRectF r = OutlineRect(Normalized(rect));
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const QPointF c = r.center();
    // Angles of the radials, counter-clockwise from the x axis in y-up terms.
    const qreal a0 = qRadiansToDegrees(std::atan2(-(start.y() - c.y()) * r.width(), (start.x() - c.x()) * r.height()));
    qreal a1 = qRadiansToDegrees(std::atan2(-(end.y() - c.y()) * r.width(), (end.x() - c.x()) * r.height()));
    qreal sweep = a1 - a0;
    if (sweep <= 0)
        sweep += 360; // arcs run counter-clockwise from start to end
    QPainterPath path;
    if (kind == 2)
        path.moveTo(c);
    path.arcMoveTo(r, a0);
    if (kind == 2)
        path.lineTo(path.currentPosition());
    path.arcTo(r, a0, sweep);
    if (kind != 0) {
        path.closeSubpath();
        Fill(path);
    }
    Stroke(path);
}

void TGdiPainter::FillRect(const QRectF& r, const TGdiBrush& brush)
{
    if (brush.IsNull())
        return;
    QPainterPath path;
    path.addRect(Normalized(r));
    const TGdiBrush saved = State.Brush;
    State.Brush = brush;
    Fill(path);
    State.Brush = saved;
}

void TGdiPainter::FillPath(const QPainterPath& path)
{
    QPainterPath p = path;
    p.setFillRule(State.PolyFillMode == WINDING_FILL ? Qt::WindingFill : Qt::OddEvenFill);
    Fill(p);
}

void TGdiPainter::StrokePath(const QPainterPath& path) { Stroke(path); }

void TGdiPainter::Shape(const QPainterPath& path, const TGdiBrush* brush, bool stroke, bool chain)
{
    if (brush) {
        const TGdiBrush saved = State.Brush;
        State.Brush = *brush;
        Fill(path);
        State.Brush = saved;
    }
    if (!stroke)
        return;
    // On an aliased painter a coordinate names a pixel's corner, as the
    // painter canvas draws, so the outline moves back by half a pixel.
    const QPainterPath corners = path.translated(-0.5, -0.5);
    const QPen pen = MakePen(State.Pen);
    if (!chain || pen.style() == Qt::NoPen || !pen.isCosmetic()) {
        Stroke(corners);
        return;
    }
    // Along a chain each segment follows the line rule.
    for (int i = 1; i < corners.elementCount(); ++i) {
        if (corners.elementAt(i).type == QPainterPath::LineToElement)
            Line(corners.elementAt(i - 1), corners.elementAt(i));
    }
}

void TGdiPainter::Text(const TGdiTextFont& font, QPointF ref, QStringView text, const int* dx, unsigned options,
    const QRectF* rect)
{
    if (!font.Face)
        return;
    const TFontFace& face = *font.Face;
    FPainter.save();
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (rect && (options & ETO_OPAQUE))
        FPainter.fillRect(Normalized(*rect), RgbToQColor(State.BkColor));
    if (rect && (options & ETO_CLIPPED))
        FPainter.setClipRect(Normalized(*rect), Qt::IntersectClip);

    const qsizetype n = text.size();
    QVarLengthArray<int, 128> advances(n);
    if (dx)
        std::copy(dx, dx + n, advances.data());
    else
        face.Advances(text, advances.data());
    qreal width = 0;
    for (qsizetype i = 0; i < n; ++i)
        width += advances[i];

    // The text box relative to the reference point, before rotation.
    qreal left = 0;
    switch (State.TextAlign & TA_HORZ_MASK) {
    case TA_RIGHT: left = -width; break;
    case TA_CENTER: left = -width / 2; break;
    default: break;
    }
    qreal baseline = face.Ascent(); // TA_TOP
    switch (State.TextAlign & TA_VERT_MASK) {
    case TA_BOTTOM: baseline = -face.Descent(); break;
    case TA_BASELINE: baseline = 0; break;
    default: break;
    }

    FPainter.translate(ref);
    if (font.Escapement != 0)
        FPainter.rotate(-font.Escapement / 10.0);
    if (State.BkMode == OPAQUE_MODE)
        FPainter.fillRect(QRectF(left, baseline - face.Ascent(), width, face.Height()), RgbToQColor(State.BkColor));

    const QColor color = RgbToQColor(State.TextColor);
    FPainter.setPen(color);
    // The same glyphs at the same places as every other device draws them.
    thread_local TShapedText shaped;
    ShapeText(face, text, advances.data(), shaped);
    // Glyph positions run from the text's left on its baseline; shaped text
    // is stretched about that point to its measured width.
    const QTransform unplaced = FPainter.transform();
    FPainter.translate(left, baseline);
    if (shaped.ScaleX != 1)
        FPainter.scale(shaped.ScaleX, 1);
    for (const TGlyphRun& run : shaped)
        DrawGlyphs(FPainter, *run.Font, run.Glyphs, run.Positions, color);
    FPainter.setTransform(unplaced);
    if (font.Underline || font.StrikeOut) {
        const TFontFace::TDecoration lines = face.Decoration();
        if (font.Underline)
            FPainter.fillRect(QRectF(left, baseline + lines.UnderlineBelow - lines.Thickness / 2, width, lines.Thickness),
                color);
        if (font.StrikeOut)
            FPainter.fillRect(QRectF(left, baseline - lines.StrikeOutAbove - lines.Thickness / 2, width, lines.Thickness),
                color);
    }
    FPainter.restore();
}

void TGdiPainter::Image(const QRectF& dest, const QImage& image, const QRect& source, std::uint32_t rop)
{
    if (image.isNull() || dest.width() == 0 || dest.height() == 0)
        return;
    const QRect src = source.intersected(image.rect());
    if (src.isEmpty())
        return;
    QImage part = (src == image.rect()) ? image : image.copy(src);
    const bool mirrorX = dest.width() < 0;
    const bool mirrorY = dest.height() < 0;
    if (mirrorX || mirrorY)
        part = part.mirrored(mirrorX, mirrorY);
    FPainter.save();
    FPainter.setRenderHint(QPainter::SmoothPixmapTransform, State.StretchMode == 4); // HALFTONE
    const bool raster = FPainter.device() && FPainter.device()->devType() == QInternal::Image;
    switch (rop) {
    case 0x008800C6: // SRCAND
        if (raster)
            FPainter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        break;
    case 0x00EE0086: // SRCPAINT
        if (raster)
            FPainter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        break;
    case 0x00660046: // SRCINVERT
        if (raster)
            FPainter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        break;
    default: break;
    }
    FPainter.drawImage(Normalized(dest), part);
    FPainter.restore();
}

} // namespace vorel
