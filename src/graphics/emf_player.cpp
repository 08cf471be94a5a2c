#include "graphics/emf_player.h"

#include "graphics/canvas.h"
#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"
#include "graphics/text_measure.h"

#include <QGlyphRun>
#include <QtMath>

namespace vorel {

namespace {

constexpr unsigned ETO_GLYPH_INDEX = 0x10;
constexpr unsigned ETO_PDY = 0x2000;
constexpr unsigned ETO_NO_RECT = 0x100;
constexpr unsigned ETO_SMALL_CHARS = 0x200;

qreal Snap(qreal v) { return std::abs(v - std::round(v)) < 0.05 ? std::round(v) : v; }

class Player {
public:
    Player(QPainter& painter, ByteView bytes, const TEmfHeader& header, const QRectF& dest)
        : P(painter), G(painter), E(bytes, header)
    {
        FBase = painter.transform();
        const QRectF frame = FrameInDevicePixels(header);
        FDeviceToDest = QTransform::fromTranslate(-frame.x(), -frame.y())
            * QTransform::fromScale(dest.width() / frame.width(), dest.height() / frame.height())
            * QTransform::fromTranslate(dest.x(), dest.y());
        FPxPerMmX = E.DevicePixelsPerMmX();
        FPxPerMmY = E.DevicePixelsPerMmY();
        if (painter.hasClipping())
            FBaseClip = painter.transform().map(painter.clipPath());
        FHasBaseClip = painter.hasClipping();
    }

    void Run()
    {
        P.save();
        P.setRenderHint(QPainter::Antialiasing, false);
        while (E.Next()) {
            if (!E.RecordValid())
                continue;
            const int depthBefore = FDepth;
            Sync();
            Dispatch(depthBefore);
        }
        while (FDepth > 0) {
            P.restore();
            --FDepth;
        }
        P.restore();
    }

private:
    // Painter transform: logical -> reference device -> dest -> painter device.
    QTransform DeviceTransform() const { return FDeviceToDest * FBase; }
    QTransform LogicalTransform() const
    {
        return E.State().PageTransform(FPxPerMmX, FPxPerMmY) * DeviceTransform();
    }

    void Sync()
    {
        const TEmfReplayState& s = E.State();
        G.State.Pen = s.Pen;
        G.State.Brush = s.Brush;
        G.State.Rop2 = s.Rop2;
        G.State.BkMode = s.BkMode;
        G.State.BkColor = s.BkColor;
        G.State.TextColor = s.TextColor;
        G.State.TextAlign = s.TextAlign;
        G.State.PolyFillMode = s.PolyFillMode;
        G.State.StretchMode = s.StretchMode;
        P.setTransform(LogicalTransform());
    }

    // Adds a figure to the open path (in device coordinates) or draws it.
    void Figure(const QPainterPath& logical, bool fill, bool stroke)
    {
        if (FInPath) {
            FPath.addPath(E.State().PageTransform(FPxPerMmX, FPxPerMmY).map(logical));
            return;
        }
        if (fill)
            G.FillPath(logical);
        if (stroke)
            G.StrokePath(logical);
    }

    const ByteView& R() const { return E.Record().Bytes; }
    QPoint Pt32(std::size_t o) const { return QPoint(R().i32le(o), R().i32le(o + 4)); }
    QRectF Box(std::size_t o) const
    {
        return QRectF(QPointF(R().i32le(o), R().i32le(o + 4)), QPointF(R().i32le(o + 8), R().i32le(o + 12)));
    }

    // Points of a poly record (count at 24, points at 28), 16- or 32-bit.
    bool Points(bool small, QPolygonF& out) const
    {
        const std::uint32_t n = R().u32le(24);
        const std::uint64_t bytes = std::uint64_t(n) * (small ? 4 : 8);
        if (!R().Fits(28, bytes))
            return false;
        out.reserve(int(n));
        for (std::uint32_t i = 0; i < n; ++i) {
            if (small)
                out.append(QPointF(R().i16le(28 + 4 * i), R().i16le(30 + 4 * i)));
            else
                out.append(QPointF(R().i32le(28 + 8 * i), R().i32le(32 + 8 * i)));
        }
        return true;
    }

    bool PolyPolys(bool small, QList<QPolygonF>& out) const
    {
        const std::uint32_t polys = R().u32le(24);
        const std::uint32_t total = R().u32le(28);
        const std::uint64_t countBytes = std::uint64_t(polys) * 4;
        const std::uint64_t pointBytes = std::uint64_t(total) * (small ? 4 : 8);
        if (!R().Fits(32, countBytes) || !R().Fits(32 + countBytes, pointBytes))
            return false;
        std::size_t o = 32 + std::size_t(countBytes);
        std::uint64_t used = 0;
        for (std::uint32_t k = 0; k < polys; ++k) {
            const std::uint32_t n = R().u32le(32 + 4 * k);
            if (used + n > total)
                return false;
            used += n;
            QPolygonF poly;
            poly.reserve(int(n));
            for (std::uint32_t i = 0; i < n; ++i) {
                if (small) {
                    poly.append(QPointF(R().i16le(o), R().i16le(o + 2)));
                    o += 4;
                } else {
                    poly.append(QPointF(R().i32le(o), R().i32le(o + 4)));
                    o += 8;
                }
            }
            out.append(poly);
        }
        return true;
    }

    static QPainterPath BezierPath(QPointF start, const QPolygonF& pts, int first)
    {
        QPainterPath path(start);
        for (int i = first; i + 2 < pts.size(); i += 3)
            path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
        return path;
    }

    QPainterPath RegionPath(std::size_t offset, std::uint32_t size) const
    {
        QPainterPath path;
        if (!R().Fits(offset, size) || size < 32)
            return path;
        const std::uint32_t count = R().u32le(offset + 8);
        if (!R().Fits(offset + 32, std::uint64_t(count) * 16))
            return path;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t o = offset + 32 + 16 * std::size_t(i);
            path.addRect(QRectF(QPointF(R().i32le(o), R().i32le(o + 4)), QPointF(R().i32le(o + 8), R().i32le(o + 12))));
        }
        path.setFillRule(Qt::WindingFill);
        return path;
    }

    // Clipping: kept by the painter, in painter device coordinates.
    QPainterPath CurrentClipDevice() const
    {
        if (P.hasClipping())
            return P.transform().map(P.clipPath());
        QPainterPath all;
        all.addRect(QRectF(-1e7, -1e7, 2e7, 2e7));
        return all;
    }

    void SetClipDevice(const QPainterPath& devicePath, int mode)
    {
        const QTransform keep = P.transform();
        QPainterPath result;
        const QPainterPath current = CurrentClipDevice();
        switch (mode) {
        case 1: result = current.intersected(devicePath); break; // RGN_AND
        case 2: result = current.united(devicePath); break; // RGN_OR
        case 3: result = current.subtracted(devicePath).united(devicePath.subtracted(current)); break; // RGN_XOR
        case 4: result = current.subtracted(devicePath); break; // RGN_DIFF
        default: // RGN_COPY: the region within the painter's own clip
            result = FHasBaseClip ? FBaseClip.intersected(devicePath) : devicePath;
            break;
        }
        P.setTransform(QTransform());
        P.setClipPath(result, Qt::ReplaceClip);
        P.setTransform(keep);
    }

    void ResetClip()
    {
        const QTransform keep = P.transform();
        P.setTransform(QTransform());
        if (FHasBaseClip)
            P.setClipPath(FBaseClip, Qt::ReplaceClip);
        else
            P.setClipping(false);
        P.setTransform(keep);
    }

    TGdiTextFont TextFont()
    {
        const TLogFont& lf = E.State().Font;
        if (!FFace || !(lf == FFaceFor)) {
            TFontRequest request;
            request.Name = lf.FaceName.isEmpty() ? QStringLiteral("Arial") : lf.FaceName;
            request.Height = lf.Height;
            request.Bold = lf.Weight >= 600;
            request.Italic = lf.Italic != 0;
            FFace = TTextMeasurer::Face(request);
            FFaceFor = lf;
        }
        TGdiTextFont f;
        f.Face = FFace;
        f.Underline = lf.Underline != 0;
        f.StrikeOut = lf.StrikeOut != 0;
        f.Escapement = lf.Escapement;
        return f;
    }

    void ExtTextOut(bool wide)
    {
        const ByteView& r = R();
        QPointF ref = Pt32(36);
        const std::uint32_t n = r.u32le(44);
        const std::uint32_t offString = r.u32le(48);
        const unsigned options = r.u32le(52);
        const QRectF rect = Box(56);
        const std::uint32_t offDx = r.u32le(72);
        if (!r.Fits(offString, std::uint64_t(n) * (wide ? 2 : 1)))
            return;
        QString text;
        text.reserve(int(n));
        for (std::uint32_t i = 0; i < n; ++i)
            text.append(wide ? QChar(char16_t(r.u16le(offString + 2 * i))) : QChar(char16_t(r.u8(offString + i))));
        QList<int> dx;
        const int step = (options & ETO_PDY) ? 8 : 4;
        if (offDx != 0 && r.Fits(offDx, std::uint64_t(n) * step)) {
            dx.resize(n);
            for (std::uint32_t i = 0; i < n; ++i)
                dx[i] = r.i32le(offDx + step * i);
        }
        if (E.State().TextAlign & 1) // TA_UPDATECP: the text starts at the current position
            ref = QPointF(E.State().CurrentPosition.X, E.State().CurrentPosition.Y);
        const QRectF* optRect = (options & (ETO_OPAQUE | ETO_CLIPPED)) ? &rect : nullptr;
        if (options & ETO_GLYPH_INDEX) {
            GlyphText(ref, text, dx, options, optRect);
            return;
        }
        G.Text(TextFont(), ref, text, dx.isEmpty() ? nullptr : dx.constData(), options, optRect);
    }

    void GlyphText(QPointF ref, const QString& glyphIds, const QList<int>& dx, unsigned options, const QRectF* rect)
    {
        const TGdiTextFont font = TextFont();
        const TFontFace& face = *font.Face;
        if (!face.RawFont().isValid())
            return;
        P.save();
        if (rect && (options & ETO_OPAQUE))
            P.fillRect(rect->normalized(), RgbToQColor(E.State().BkColor));
        if (rect && (options & ETO_CLIPPED))
            P.setClipRect(rect->normalized(), Qt::IntersectClip);
        P.translate(ref);
        if (font.Escapement)
            P.rotate(-font.Escapement / 10.0);
        QList<quint32> glyphs;
        QList<QPointF> positions;
        QList<QPointF> advances(glyphIds.size());
        for (QChar c : glyphIds)
            glyphs.append(c.unicode());
        face.RawFont().advancesForGlyphIndexes(glyphs.constData(), advances.data(), int(glyphs.size()),
            QRawFont::UseDesignMetrics);
        qreal x = 0;
        const qreal baseline = (E.State().TextAlign & TA_VERT_MASK) == TA_BASELINE ? 0 : face.Ascent();
        for (int i = 0; i < glyphs.size(); ++i) {
            positions.append(QPointF(x, baseline));
            x += dx.isEmpty() ? std::round(advances[i].x()) : dx[i];
        }
        DrawGlyphs(P, face.RawFont(), glyphs, positions, RgbToQColor(E.State().TextColor));
        P.restore();
    }

    void SmallTextOut()
    {
        const ByteView& r = R();
        const QPointF ref = Pt32(8);
        const std::uint32_t n = r.u32le(16);
        const unsigned options = r.u32le(20);
        const std::size_t start = (options & ETO_NO_RECT) ? 36 : 52;
        const bool small = options & ETO_SMALL_CHARS;
        if (!r.Fits(start, std::uint64_t(n) * (small ? 1 : 2)))
            return;
        QString text;
        for (std::uint32_t i = 0; i < n; ++i)
            text.append(small ? QChar(char16_t(r.u8(start + i))) : QChar(char16_t(r.u16le(start + 2 * i))));
        const QRectF rect = (options & ETO_NO_RECT) ? QRectF() : Box(36);
        const QRectF* optRect = (options & ETO_NO_RECT) ? nullptr : &rect;
        if (options & ETO_GLYPH_INDEX)
            GlyphText(ref, text, {}, options, optRect);
        else
            G.Text(TextFont(), ref, text, nullptr, options, optRect);
    }

    // A DIB inside the record at the given offsets, drawn into dest.
    void Dib(std::size_t offBmiField, QRectF dest, QRect source, bool sourceFromBottom, std::uint32_t rop)
    {
        const ByteView& r = R();
        const std::uint32_t offBmi = r.u32le(offBmiField), cbBmi = r.u32le(offBmiField + 4);
        const std::uint32_t offBits = r.u32le(offBmiField + 8), cbBits = r.u32le(offBmiField + 12);
        if (cbBmi == 0 || !r.Fits(offBmi, cbBmi) || !r.Fits(offBits, cbBits)) {
            // No bitmap: the raster operations that use the pattern or a
            // constant still fill the destination.
            if (rop == 0x00F00021) // PATCOPY
                G.FillRect(dest, G.State.Brush);
            else if (rop == 0x00000042) // BLACKNESS
                G.FillRect(dest, TGdiBrush{BS_SOLID, 0, 0, {}});
            else if (rop == 0x00FF0062) // WHITENESS
                G.FillRect(dest, TGdiBrush{BS_SOLID, 0xFFFFFF, 0, {}});
            return;
        }
        const QImage image = DibToImage(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits));
        if (image.isNull())
            return;
        if (sourceFromBottom && r.i32le(offBmi + 8) > 0)
            source.moveTop(image.height() - source.top() - source.height());
        G.Image(dest, image, source, rop);
    }

    void Dispatch(int depthBefore)
    {
        const ByteView& r = R();
        switch (E.Record().Type) {
        case EMR_SAVEDC:
            P.save();
            ++FDepth;
            break;
        case EMR_RESTOREDC: {
            // The enumerator accepted the level; mirror it on the painter.
            const int target = E.SaveDepth();
            while (FDepth > target && FDepth > 0) {
                P.restore();
                --FDepth;
            }
            Q_UNUSED(depthBefore);
            P.setTransform(LogicalTransform());
            break;
        }
        case EMR_MOVETOEX:
            if (FInPath)
                FPath.moveTo(E.State().PageTransform(FPxPerMmX, FPxPerMmY).map(QPointF(Pt32(8))));
            break;
        case EMR_LINETO: {
            const QPointF from(E.PositionBefore().X, E.PositionBefore().Y);
            const QPointF to = Pt32(8);
            if (FInPath) {
                const QTransform t = E.State().PageTransform(FPxPerMmX, FPxPerMmY);
                if (FPath.elementCount() == 0)
                    FPath.moveTo(t.map(from));
                FPath.lineTo(t.map(to));
            } else {
                G.Line(from, to);
            }
            break;
        }
        case EMR_POLYLINE16: case EMR_POLYLINE: case EMR_POLYGON16: case EMR_POLYGON:
        case EMR_POLYBEZIER16: case EMR_POLYBEZIER: case EMR_POLYLINETO16: case EMR_POLYLINETO:
        case EMR_POLYBEZIERTO16: case EMR_POLYBEZIERTO: {
            const std::uint32_t t = E.Record().Type;
            const bool small = t >= EMR_POLYBEZIER16;
            QPolygonF pts;
            if (!Points(small, pts) || pts.isEmpty())
                break;
            const QPointF cp(E.PositionBefore().X, E.PositionBefore().Y);
            QPainterPath path;
            if (t == EMR_POLYLINE16 || t == EMR_POLYLINE) {
                if (!FInPath) {
                    G.Polyline(pts);
                    break;
                }
                path.addPolygon(pts);
                Figure(path, false, true);
            } else if (t == EMR_POLYGON16 || t == EMR_POLYGON) {
                path.addPolygon(pts);
                path.closeSubpath();
                Figure(path, true, true);
            } else if (t == EMR_POLYBEZIER16 || t == EMR_POLYBEZIER) {
                Figure(BezierPath(pts[0], pts, 1), false, true);
            } else if (t == EMR_POLYLINETO16 || t == EMR_POLYLINETO) {
                pts.prepend(cp);
                if (!FInPath) {
                    G.Polyline(pts);
                    break;
                }
                path.addPolygon(pts);
                Figure(path, false, true);
            } else {
                Figure(BezierPath(cp, pts, 0), false, true);
            }
            break;
        }
        case EMR_POLYPOLYLINE16: case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON16: case EMR_POLYPOLYGON: {
            const std::uint32_t t = E.Record().Type;
            QList<QPolygonF> polys;
            if (!PolyPolys(t == EMR_POLYPOLYLINE16 || t == EMR_POLYPOLYGON16, polys))
                break;
            const bool closed = t == EMR_POLYPOLYGON16 || t == EMR_POLYPOLYGON;
            if (closed && !FInPath) {
                G.PolyPolygon(polys);
                break;
            }
            QPainterPath path;
            for (const QPolygonF& p : polys) {
                path.addPolygon(p);
                if (closed)
                    path.closeSubpath();
            }
            Figure(path, closed, true);
            break;
        }
        case EMR_RECTANGLE:
            if (FInPath) {
                QPainterPath path;
                path.addRect(Box(8).normalized());
                Figure(path, true, true);
            } else {
                G.Rectangle(Box(8));
            }
            break;
        case EMR_ROUNDRECT:
            if (FInPath) {
                QPainterPath path;
                path.addRoundedRect(Box(8).normalized(), r.i32le(24) / 2.0, r.i32le(28) / 2.0);
                Figure(path, true, true);
            } else {
                G.RoundRect(Box(8), r.i32le(24), r.i32le(28));
            }
            break;
        case EMR_ELLIPSE:
            if (FInPath) {
                QPainterPath path;
                path.addEllipse(Box(8).normalized());
                Figure(path, true, true);
            } else {
                G.Ellipse(Box(8));
            }
            break;
        case EMR_ARC: case EMR_CHORD: case EMR_PIE: case EMR_ARCTO: {
            const int kind = E.Record().Type == EMR_CHORD ? 1 : E.Record().Type == EMR_PIE ? 2 : 0;
            G.ArcShape(Box(8), Pt32(24), Pt32(32), kind);
            break;
        }
        case EMR_ANGLEARC: {
            const QPointF c = Pt32(8);
            const qreal radius = r.u32le(16);
            const qreal start = r.f32le(20), sweep = r.f32le(24);
            if (!std::isfinite(start) || !std::isfinite(sweep) || radius > 1e7)
                break;
            QPainterPath path(QPointF(E.PositionBefore().X, E.PositionBefore().Y));
            const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
            path.arcTo(box, start, sweep);
            Figure(path, false, true);
            break;
        }
        case EMR_SETPIXELV: {
            const QPoint p = Pt32(8);
            G.FillRect(QRectF(p, QSizeF(1, 1)), TGdiBrush{BS_SOLID, r.u32le(16) & 0xFFFFFF, 0, {}});
            break;
        }
        case EMR_EXTTEXTOUTW: ExtTextOut(true); break;
        case EMR_EXTTEXTOUTA: ExtTextOut(false); break;
        case EMR_SMALLTEXTOUT: SmallTextOut(); break;
        case EMR_STRETCHDIBITS: {
            const QRectF dest(r.i32le(24), r.i32le(28), r.i32le(72), r.i32le(76));
            const QRect source(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
            Dib(48, dest, source, true, r.u32le(68));
            break;
        }
        case EMR_SETDIBITSTODEVICE: {
            const QRectF dest(r.i32le(24), r.i32le(28), r.i32le(40), r.i32le(44));
            const QRect source(r.i32le(32), r.i32le(36), r.i32le(40), r.i32le(44));
            Dib(48, dest, source, true, 0x00CC0020);
            break;
        }
        case EMR_BITBLT: {
            const QRectF dest(r.i32le(24), r.i32le(28), r.i32le(32), r.i32le(36));
            const QRect source(r.i32le(44), r.i32le(48), r.i32le(32), r.i32le(36));
            Dib(84, dest, source, false, r.u32le(40));
            break;
        }
        case EMR_STRETCHBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT: {
            const QRectF dest(r.i32le(24), r.i32le(28), r.i32le(32), r.i32le(36));
            const QRect source(r.i32le(44), r.i32le(48), r.i32le(100), r.i32le(104));
            const std::uint32_t rop = E.Record().Type == EMR_STRETCHBLT ? r.u32le(40) : 0x00CC0020;
            if (E.Record().Type == EMR_ALPHABLEND) {
                P.save();
                P.setOpacity(((r.u32le(40) >> 16) & 0xFF) / 255.0); // SourceConstantAlpha
                Dib(84, dest, source, false, rop);
                P.restore();
            } else {
                Dib(84, dest, source, false, rop);
            }
            break;
        }
        case EMR_INTERSECTCLIPRECT: {
            QPainterPath path;
            path.addRect(Box(8).normalized());
            SetClipDevice(LogicalTransform().map(path), 1);
            break;
        }
        case EMR_EXCLUDECLIPRECT: {
            QPainterPath path;
            path.addRect(Box(8).normalized());
            SetClipDevice(LogicalTransform().map(path), 4);
            break;
        }
        case EMR_EXTSELECTCLIPRGN: {
            const std::uint32_t size = r.u32le(8);
            const int mode = int(r.u32le(12));
            if (size == 0) {
                if (mode == 5)
                    ResetClip();
                break;
            }
            // Clip regions are in device units of the reference device.
            SetClipDevice(DeviceTransform().map(RegionPath(16, size)), mode);
            break;
        }
        case EMR_OFFSETCLIPRGN:
            if (P.hasClipping()) {
                const QPointF off = E.State().PageTransform(FPxPerMmX, FPxPerMmY).map(QPointF(Pt32(8)))
                    - E.State().PageTransform(FPxPerMmX, FPxPerMmY).map(QPointF(0, 0));
                const QPointF d = DeviceTransform().map(off) - DeviceTransform().map(QPointF(0, 0));
                const QPainterPath moved = CurrentClipDevice().translated(d);
                SetClipDevice(moved, 5);
            }
            break;
        case EMR_FILLRGN: {
            const TEmfObject* brush = E.Object(r.u32le(28));
            const QPainterPath region = RegionPath(32, r.u32le(24));
            if (brush && brush->ObjectKind == TEmfObject::Brush) {
                const TGdiBrush saved = G.State.Brush;
                G.State.Brush = brush->BrushValue;
                G.FillPath(region);
                G.State.Brush = saved;
            }
            break;
        }
        case EMR_PAINTRGN: G.FillPath(RegionPath(28, r.u32le(24))); break;
        case EMR_BEGINPATH:
            FInPath = true;
            FPath = QPainterPath();
            break;
        case EMR_ENDPATH: FInPath = false; break;
        case EMR_ABORTPATH:
            FInPath = false;
            FPath = QPainterPath();
            break;
        case EMR_CLOSEFIGURE:
            if (FInPath)
                FPath.closeSubpath();
            break;
        case EMR_FILLPATH: case EMR_STROKEPATH: case EMR_STROKEANDFILLPATH: {
            P.setTransform(DeviceTransform());
            if (E.Record().Type != EMR_STROKEPATH)
                G.FillPath(FPath);
            if (E.Record().Type != EMR_FILLPATH)
                G.StrokePath(FPath);
            FPath = QPainterPath();
            break;
        }
        case EMR_SELECTCLIPPATH:
            SetClipDevice(DeviceTransform().map(FPath), int(r.u32le(8)));
            FPath = QPainterPath();
            break;
        default: break; // state records are the enumerator's; the rest draw nothing
        }
    }

    QPainter& P;
    TGdiPainter G;
    TEmfEnumerator E;
    QTransform FBase;
    QTransform FDeviceToDest;
    qreal FPxPerMmX = 96 / 25.4;
    qreal FPxPerMmY = 96 / 25.4;
    QPainterPath FBaseClip;
    bool FHasBaseClip = false;
    int FDepth = 0;
    bool FInPath = false;
    QPainterPath FPath;
    TFontFacePtr FFace;
    TLogFont FFaceFor;
};

} // namespace

QRectF FrameInDevicePixels(const TEmfHeader& h)
{
    const qreal pxPerMmX = h.DeviceX > 0 && h.MillimetresX > 0 ? qreal(h.DeviceX) / h.MillimetresX : 96 / 25.4;
    const qreal pxPerMmY = h.DeviceY > 0 && h.MillimetresY > 0 ? qreal(h.DeviceY) / h.MillimetresY : 96 / 25.4;
    qreal x = Snap(h.Frame.Left * pxPerMmX / 100);
    qreal y = Snap(h.Frame.Top * pxPerMmY / 100);
    qreal w = Snap((qreal(h.Frame.Right) - h.Frame.Left) * pxPerMmX / 100);
    qreal hh = Snap((qreal(h.Frame.Bottom) - h.Frame.Top) * pxPerMmY / 100);
    if (w <= 0 || hh <= 0 || !std::isfinite(w) || !std::isfinite(hh)) {
        // No usable frame: the drawn bounds stand in for it.
        x = h.Bounds.Left;
        y = h.Bounds.Top;
        w = h.Bounds.Right - h.Bounds.Left + 1;
        hh = h.Bounds.Bottom - h.Bounds.Top + 1;
        if (w <= 0 || hh <= 0)
            return QRectF(0, 0, 1, 1);
    }
    return QRectF(x, y, w, hh);
}

void PlayEmf(QPainter& painter, ByteView bytes, const TEmfHeader& header, const QRectF& dest)
{
    if (dest.width() == 0 || dest.height() == 0)
        return;
    Player(painter, bytes, header, dest).Run();
}

void PlayEmf(QPainter& painter, const TMetafile& metafile, const QRectF& dest)
{
    if (metafile.Empty())
        return;
    PlayEmf(painter, ByteView(metafile.Bytes()), metafile.Header(), dest);
}

} // namespace vorel
