#include "graphics/painter_canvas.h"

#include "graphics/emf_player.h"
#include "graphics/metafile.h"

namespace vorel {

namespace {

QRectF ToRectF(const TRect& r) { return QRectF(r.Left, r.Top, r.Width(), r.Height()); }

} // namespace

TGdiPen ToGdiPen(const TPen& pen)
{
    TGdiPen p;
    static constexpr int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    p.Style = kStyles[std::clamp(int(pen.Style()), 0, 6)];
    p.Width = pen.Width();
    p.Color = ColorToRGB(pen.Color());
    return p;
}

TGdiBrush ToGdiBrush(const TBrush& brush)
{
    TGdiBrush b;
    b.Color = ColorToRGB(brush.Color());
    switch (brush.Style()) {
    case bsSolid: b.Style = BS_SOLID; break;
    case bsClear: b.Style = BS_NULL; break;
    default:
        b.Style = BS_HATCHED;
        b.Hatch = int(brush.Style()) - int(bsHorizontal); // HS_HORIZONTAL .. HS_DIAGCROSS
        break;
    }
    return b;
}

TPainterCanvas::TPainterCanvas(QPainter* painter, int pixelsPerInch) : FPainter(painter), FPixelsPerInch(pixelsPerInch)
{
    if (painter && painter->isActive() && painter->hasClipping()) {
        FHadClip = true;
        FBaseClip = painter->transform().map(painter->clipPath());
    }
}

TPainterCanvas::~TPainterCanvas()
{
    QPainter* p = FPainter;
    if (p && p->isActive())
        while (FSaveDepth-- > 0)
            p->restore();
}

void TPainterCanvas::DetachPainter()
{
    FPainter = nullptr;
    FGdi.reset();
    FGdiFor = nullptr;
    FSaveDepth = 0;
}

TGdiPainter& TPainterCanvas::Gdi()
{
    QPainter* p = ActivePainter();
    if (!FGdi || FGdiFor != p) {
        FGdi = std::make_unique<TGdiPainter>(*p);
        FGdiFor = p;
    }
    TGdiDrawState& s = FGdi->State;
    s.Pen = ToGdiPen(*Pen());
    s.Brush = ToGdiBrush(*Brush());
    s.Rop2 = PenModeToRop2(Pen()->Mode());
    // Text and hatch backgrounds: opaque in the brush colour while the brush
    // is solid, transparent otherwise, as the classic canvas sets them.
    s.BkMode = Brush()->Style() == bsSolid ? OPAQUE_MODE : TRANSPARENT_MODE;
    s.BkColor = ColorToRGB(Brush()->Color());
    s.TextColor = ColorToRGB(Font()->Color());
    s.TextAlign = TextAlign();
    FPenChanged = FBrushChanged = false;
    return *FGdi;
}

void TPainterCanvas::DoMoveTo(int, int) {}

void TPainterCanvas::DoLineTo(int x, int y)
{
    const TPoint from = PenPos();
    Gdi().Line(QPointF(from.X, from.Y), QPointF(x, y));
}

void TPainterCanvas::DoPolyline(const QList<TPoint>& points)
{
    QPolygonF poly;
    poly.reserve(points.size());
    for (const TPoint& p : points)
        poly.append(QPointF(p.X, p.Y));
    Gdi().Polyline(poly);
}

void TPainterCanvas::DoRectangle(const TRect& r) { Gdi().Rectangle(ToRectF(r)); }

void TPainterCanvas::DoRoundRect(const TRect& r, int cornerWidth, int cornerHeight)
{
    Gdi().RoundRect(ToRectF(r), cornerWidth, cornerHeight);
}

void TPainterCanvas::DoEllipse(const TRect& r) { Gdi().Ellipse(ToRectF(r)); }

void TPainterCanvas::DoFillRect(const TRect& r)
{
    TGdiPainter& g = Gdi();
    g.FillRect(ToRectF(r), g.State.Brush);
}

void TPainterCanvas::DoExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx)
{
    TGdiPainter& g = Gdi();
    TGdiTextFont font;
    font.Face = FacePtr();
    font.Underline = Font()->Style().testFlag(fsUnderline);
    font.StrikeOut = Font()->Style().testFlag(fsStrikeOut);
    font.Escapement = Font()->Orientation();
    const QRectF r = rect ? ToRectF(*rect) : QRectF();
    g.Text(font, QPointF(x, y), text, dx, options, rect ? &r : nullptr);
}

void TPainterCanvas::DoStretchImage(const TRect& dest, const QImage& image, const TRect& source)
{
    Gdi().Image(ToRectF(dest), image, QRect(source.Left, source.Top, source.Width(), source.Height()));
}

void TPainterCanvas::DoPlayMetafile(const TRect& dest, const TMetafile& metafile)
{
    PlayEmf(*ActivePainter(), metafile, ToRectF(dest));
}

void TPainterCanvas::DoIntersectClipRect(const TRect& r)
{
    ActivePainter()->setClipRect(ToRectF(r), Qt::IntersectClip);
}

void TPainterCanvas::DoSetClipRect(const TRect* r)
{
    QPainter* p = ActivePainter();
    const QTransform keep = p->transform();
    p->setTransform(QTransform());
    if (FHadClip)
        p->setClipPath(FBaseClip, Qt::ReplaceClip);
    else
        p->setClipping(false);
    p->setTransform(keep);
    if (r)
        p->setClipRect(ToRectF(*r), Qt::IntersectClip);
}

void TPainterCanvas::DoSaveState()
{
    ActivePainter()->save();
    ++FSaveDepth;
}

void TPainterCanvas::DoRestoreState()
{
    if (FSaveDepth == 0)
        return;
    ActivePainter()->restore();
    --FSaveDepth;
}

} // namespace vorel
