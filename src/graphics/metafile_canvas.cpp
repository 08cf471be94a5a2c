#include "graphics/metafile_canvas.h"

#include "graphics/emf_enumerator.h"
#include "graphics/emf_player.h"
#include "graphics/gdi_paint.h"
#include "graphics/metafile.h"
#include "graphics/painter_canvas.h"

#include <QtMath>
#include <unordered_map>

namespace vorel {

namespace {

// 0.01 mm per report pixel at 96 dpi: 2540 / 96.
int PixelsToHundredthsMm(int pixels) { return int(std::lround(pixels * 2540.0 / kScreenPixelsPerInch)); }

TEmfBounds BoxBounds(const TRect& r, int extent)
{
    const int left = std::min(r.Left, r.Right), right = std::max(r.Left, r.Right);
    const int top = std::min(r.Top, r.Bottom), bottom = std::max(r.Top, r.Bottom);
    return {left - extent, top - extent, right - 1 + extent, bottom - 1 + extent};
}

} // namespace

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, const QString& creator, const QString& description)
    : FMetafile(metafile), FCreator(creator), FDescription(description)
{
}

TMetafileCanvas::~TMetafileCanvas()
{
    if (!FClosed)
        Close();
}

std::uint32_t TMetafileCanvas::AllocHandle()
{
    for (std::size_t i = 1; i < FUsedHandles.size(); ++i) {
        if (!FUsedHandles[i]) {
            FUsedHandles[i] = true;
            return std::uint32_t(i);
        }
    }
    FUsedHandles.push_back(true);
    FMaxHandle = std::max(FMaxHandle, int(FUsedHandles.size()) - 1);
    return std::uint32_t(FUsedHandles.size() - 1);
}

void TMetafileCanvas::FreeHandle(std::uint32_t handle)
{
    if (handle == 0 || handle >= FUsedHandles.size())
        return;
    FWriter.DeleteObject(handle);
    FUsedHandles[handle] = false;
}

int TMetafileCanvas::PenExtent() const
{
    const TPen* pen = Pen();
    if (pen->Style() == psClear || pen->Width() <= 1)
        return 0;
    return pen->Style() == psInsideFrame ? 0 : pen->Width() / 2;
}

void TMetafileCanvas::SetRop2()
{
    const int rop2 = PenModeToRop2(Pen()->Mode());
    if (FRop2 != rop2) {
        FWriter.SetRop2(rop2);
        FRop2 = rop2;
    }
}

void TMetafileCanvas::SelectPen()
{
    SetRop2();
    if (Pen()->Style() == psClear) {
        const std::uint32_t stock = kStockObject | NULL_PEN;
        if (FSelectedPen != stock) {
            FWriter.SelectObject(stock);
            FSelectedPen = stock;
        }
        if (FPenHandle) {
            FreeHandle(FPenHandle);
            FPenHandle = 0;
        }
        FPenChanged = false;
        return;
    }
    if (FPenChanged || FPenHandle == 0) {
        const TGdiPen pen = ToGdiPen(*Pen());
        const std::uint32_t handle = AllocHandle();
        FWriter.CreatePen(handle, pen.Style, pen.Width, pen.Color);
        FWriter.SelectObject(handle);
        if (FPenHandle)
            FreeHandle(FPenHandle);
        FPenHandle = handle;
        FSelectedPen = handle;
        FPenChanged = false;
    } else if (FSelectedPen != FPenHandle) {
        FWriter.SelectObject(FPenHandle);
        FSelectedPen = FPenHandle;
    }
}

void TMetafileCanvas::SelectNullPen()
{
    const std::uint32_t stock = kStockObject | NULL_PEN;
    if (FSelectedPen != stock) {
        FWriter.SelectObject(stock);
        FSelectedPen = stock;
    }
}

void TMetafileCanvas::SetBk()
{
    // The classic canvas paints text and hatch backgrounds in the brush
    // colour while the brush is solid, and leaves them transparent otherwise.
    const int mode = Brush()->Style() == bsSolid ? OPAQUE_MODE : TRANSPARENT_MODE;
    if (FBkMode != mode) {
        FWriter.SetBkMode(mode);
        FBkMode = mode;
    }
    const std::uint32_t color = ColorToRGB(Brush()->Color());
    if (FBkColor != color) {
        FWriter.SetBkColor(color);
        FBkColor = color;
    }
}

void TMetafileCanvas::SelectBrush()
{
    SetBk();
    if (Brush()->Style() == bsClear) {
        const std::uint32_t stock = kStockObject | NULL_BRUSH;
        if (FSelectedBrush != stock) {
            FWriter.SelectObject(stock);
            FSelectedBrush = stock;
        }
        if (FBrushHandle) {
            FreeHandle(FBrushHandle);
            FBrushHandle = 0;
        }
        FBrushChanged = false;
        return;
    }
    if (FBrushChanged || FBrushHandle == 0) {
        const TGdiBrush brush = ToGdiBrush(*Brush());
        const std::uint32_t handle = AllocHandle();
        FWriter.CreateBrushIndirect(handle, brush.Style, brush.Color, brush.Hatch);
        FWriter.SelectObject(handle);
        if (FBrushHandle)
            FreeHandle(FBrushHandle);
        FBrushHandle = handle;
        FSelectedBrush = handle;
        FBrushChanged = false;
    } else if (FSelectedBrush != FBrushHandle) {
        FWriter.SelectObject(FBrushHandle);
        FSelectedBrush = FBrushHandle;
    }
}

void TMetafileCanvas::SelectFont()
{
    if (FFontChanged || FFontHandle == 0) {
        const std::uint32_t handle = AllocHandle();
        FWriter.ExtCreateFontIndirectW(handle, TLogFont::FromFont(*Font()));
        FWriter.SelectObject(handle);
        if (FFontHandle)
            FreeHandle(FFontHandle);
        FFontHandle = handle;
        FSelectedFont = handle;
        FFontChanged = false;
    } else if (FSelectedFont != FFontHandle) {
        FWriter.SelectObject(FFontHandle);
        FSelectedFont = FFontHandle;
    }
    const std::uint32_t color = ColorToRGB(Font()->Color());
    if (FTextColor != color) {
        FWriter.SetTextColor(color);
        FTextColor = color;
    }
}

void TMetafileCanvas::ForgetSelections()
{
    FSelectedPen.reset();
    FSelectedBrush.reset();
    FSelectedFont.reset();
    FTextColor.reset();
    FBkColor.reset();
    FBkMode.reset();
    FRop2.reset();
    FWrittenTextAlign = ~0u;
}

void TMetafileCanvas::DoTextAlignChanged() {}

void TMetafileCanvas::DoMoveTo(int x, int y)
{
    if (Recording())
        FWriter.MoveToEx(x, y);
}

void TMetafileCanvas::DoLineTo(int x, int y)
{
    if (!Recording())
        return;
    SelectPen();
    SelectBrush();
    const TPoint from = PenPos();
    const int e = PenExtent();
    const TEmfBounds b{std::min(from.X, x) - e, std::min(from.Y, y) - e, std::max(from.X, x) + e,
        std::max(from.Y, y) + e};
    FWriter.LineTo(x, y, b);
    AddBounds(b);
}

void TMetafileCanvas::DoPolyline(const QList<TPoint>& points)
{
    if (!Recording())
        return;
    SelectPen();
    SelectBrush();
    TEmfBounds b{points[0].X, points[0].Y, points[0].X, points[0].Y};
    for (const TPoint& p : points)
        b.Unite({p.X, p.Y, p.X, p.Y});
    const int e = PenExtent();
    b = {b.Left - e, b.Top - e, b.Right + e, b.Bottom + e};
    FWriter.Polyline16(points, b);
    AddBounds(b);
}

void TMetafileCanvas::DoRectangle(const TRect& r)
{
    if (!Recording())
        return;
    SelectPen();
    SelectBrush();
    const TEmfBounds b = BoxBounds(r, PenExtent());
    FWriter.Rectangle(r, b);
    AddBounds(b);
}

void TMetafileCanvas::DoRoundRect(const TRect& r, int cornerWidth, int cornerHeight)
{
    if (!Recording())
        return;
    SelectPen();
    SelectBrush();
    const TEmfBounds b = BoxBounds(r, PenExtent());
    FWriter.RoundRect(r, cornerWidth, cornerHeight, b);
    AddBounds(b);
}

void TMetafileCanvas::DoEllipse(const TRect& r)
{
    if (!Recording())
        return;
    SelectPen();
    SelectBrush();
    const TEmfBounds b = BoxBounds(r, PenExtent());
    FWriter.Ellipse(r, b);
    AddBounds(b);
}

void TMetafileCanvas::DoFillRect(const TRect& r)
{
    if (!Recording())
        return;
    // A rectangle without a pen fills one unit less to the right and
    // bottom, so the box is one larger than the area filled.
    SelectBrush();
    SelectNullPen();
    const TRect box{r.Left, r.Top, r.Right + 1, r.Bottom + 1};
    const TEmfBounds b = BoxBounds(r, 0);
    FWriter.Rectangle(box, b);
    AddBounds(b);
}

void TMetafileCanvas::DoExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx)
{
    if (!Recording())
        return;
    SelectBrush(); // background mode and colour of the text cell
    SelectFont();
    if (FWrittenTextAlign != TextAlign()) {
        FWriter.SetTextAlign(TextAlign());
        FWrittenTextAlign = TextAlign();
    }
    const TFontFace& face = Face();
    long long width = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        width += dx[i];
    // The text cell relative to the reference point, before rotation.
    qreal left = 0;
    if ((TextAlign() & TA_HORZ_MASK) == TA_RIGHT)
        left = -qreal(width);
    else if ((TextAlign() & TA_HORZ_MASK) == TA_CENTER)
        left = -qreal(width) / 2;
    qreal top = 0;
    if ((TextAlign() & TA_VERT_MASK) == TA_BASELINE)
        top = -face.Ascent();
    else if ((TextAlign() & TA_VERT_MASK) == TA_BOTTOM)
        top = -face.Height();
    QRectF cell(left, top, qreal(width), face.Height());
    QTransform t;
    t.translate(x, y);
    if (Font()->Orientation() != 0)
        t.rotate(-Font()->Orientation() / 10.0);
    const QRectF box = t.mapRect(cell);
    TEmfBounds b{int(std::floor(box.left())), int(std::floor(box.top())), int(std::ceil(box.right())) - 1,
        int(std::ceil(box.bottom())) - 1};
    if (rect && (options & ETO_CLIPPED)) {
        const TEmfBounds clip = BoxBounds(*rect, 0);
        const TEmfBounds cut{std::max(b.Left, clip.Left), std::max(b.Top, clip.Top), std::min(b.Right, clip.Right),
            std::min(b.Bottom, clip.Bottom)};
        if (!cut.IsEmpty())
            b = cut;
    }
    if (rect && (options & ETO_OPAQUE))
        b.Unite(BoxBounds(*rect, 0));
    FWriter.ExtTextOutW(b, x, y, options, rect ? *rect : TRect{0, 0, -1, -1}, text, dx);
    AddBounds(b);
}

void TMetafileCanvas::DoStretchImage(const TRect& dest, const QImage& image, const TRect& source)
{
    if (!Recording())
        return;
    const TEmfBounds b = BoxBounds(dest, 0);
    FWriter.StretchDIBits(b, dest, image, source);
    AddBounds(b);
}

void TMetafileCanvas::DoPlayMetafile(const TRect& dest, const TMetafile& metafile)
{
    if (!Recording())
        return;
    // Metafiles that set their own mapping would disturb the page's; they
    // are embedded as pictures instead of records.
    {
        TEmfEnumerator scan(metafile);
        while (scan.Next()) {
            const std::uint32_t t = scan.Record().Type;
            if (t == EMR_SETMAPMODE || (t >= EMR_SETWINDOWEXTEX && t <= EMR_SETVIEWPORTORGEX)
                || t == EMR_SCALEVIEWPORTEXTEX || t == EMR_SCALEWINDOWEXTEX) {
                const QImage image = metafile.ToImage();
                DoStretchImage(dest, image, {0, 0, image.width(), image.height()});
                return;
            }
        }
    }
    const QRectF frame = FrameInDevicePixels(metafile.Header());
    const QTransform place = QTransform::fromTranslate(-frame.x(), -frame.y())
        * QTransform::fromScale(dest.Width() / frame.width(), dest.Height() / frame.height())
        * QTransform::fromTranslate(dest.Left, dest.Top);

    FWriter.SaveDC();
    FWriter.ModifyWorldTransform(place, 2); // MWT_LEFTMULTIPLY
    std::unordered_map<std::uint32_t, std::uint32_t> remap; // embedded handle -> ours
    auto mapped = [&](std::uint32_t h, std::uint32_t& out) {
        if (h & kStockObject) {
            out = h;
            return true;
        }
        auto it = remap.find(h);
        if (it == remap.end())
            return false;
        out = it->second;
        return true;
    };
    TEmfEnumerator e(metafile);
    while (e.Next()) {
        const TEmfRecord& rec = e.Record();
        QByteArray copy(reinterpret_cast<const char*>(rec.Bytes.Data()), qsizetype(rec.Size));
        switch (rec.Type) {
        case EMR_HEADER: case EMR_EOF: case EMR_GDICOMMENT: continue;
        case EMR_CREATEPEN: case EMR_CREATEBRUSHINDIRECT: case EMR_EXTCREATEFONTINDIRECTW: case EMR_EXTCREATEPEN:
        case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT: case EMR_CREATEPALETTE:
        case EMR_CREATECOLORSPACE: {
            if (!e.RecordValid())
                continue;
            const std::uint32_t theirs = rec.Bytes.u32le(8);
            auto it = remap.find(theirs);
            if (it != remap.end()) {
                FreeHandle(it->second);
                remap.erase(it);
            }
            const std::uint32_t ours = AllocHandle();
            remap[theirs] = ours;
            patchU32le(copy, 8, ours);
            break;
        }
        case EMR_SELECTOBJECT: case EMR_SELECTPALETTE: case EMR_SETCOLORSPACE: {
            std::uint32_t ours;
            if (!mapped(rec.Bytes.u32le(8), ours))
                continue;
            patchU32le(copy, 8, ours);
            break;
        }
        case EMR_DELETEOBJECT: case EMR_DELETECOLORSPACE: {
            const std::uint32_t theirs = rec.Bytes.u32le(8);
            auto it = remap.find(theirs);
            if (it != remap.end()) {
                FreeHandle(it->second);
                remap.erase(it);
            }
            continue;
        }
        case EMR_FILLRGN: case EMR_FRAMERGN: {
            std::uint32_t ours;
            if (rec.Size < 32 || !mapped(rec.Bytes.u32le(28), ours))
                continue;
            patchU32le(copy, 28, ours);
            break;
        }
        case EMR_SETWORLDTRANSFORM: {
            // Their transform applies inside the placement, not instead of it.
            if (!e.RecordValid())
                continue;
            const QTransform theirs = e.State().World;
            FWriter.ModifyWorldTransform(place, 1); // MWT_IDENTITY
            FWriter.ModifyWorldTransform(place, 2);
            FWriter.ModifyWorldTransform(theirs, 2);
            continue;
        }
        case EMR_MODIFYWORLDTRANSFORM:
            if (!e.RecordValid())
                continue;
            if (rec.Bytes.u32le(32) == 1 || rec.Bytes.u32le(32) == 4) { // identity or set
                FWriter.ModifyWorldTransform(place, 1);
                FWriter.ModifyWorldTransform(place, 2);
                if (rec.Bytes.u32le(32) == 4)
                    FWriter.ModifyWorldTransform(e.State().World, 2);
                continue;
            }
            break;
        default: break;
        }
        FWriter.Raw(copy);
    }
    FWriter.RestoreDC(-1);
    for (const auto& [theirs, ours] : remap)
        FreeHandle(ours);
    ForgetSelections();
    // The bounds: the embedded bounds where it states them, else dest.
    const TEmfBounds inner = metafile.Header().Bounds;
    if (!inner.IsEmpty()) {
        const QRectF mappedBounds =
            place.mapRect(QRectF(QPointF(inner.Left, inner.Top), QPointF(inner.Right + 1, inner.Bottom + 1)));
        AddBounds({int(std::floor(mappedBounds.left())), int(std::floor(mappedBounds.top())),
            int(std::ceil(mappedBounds.right())) - 1, int(std::ceil(mappedBounds.bottom())) - 1});
    }
}

void TMetafileCanvas::DoIntersectClipRect(const TRect& r)
{
    if (Recording())
        FWriter.IntersectClipRect(r);
}

void TMetafileCanvas::DoSetClipRect(const TRect* r)
{
    if (!Recording())
        return;
    FWriter.ResetClip();
    if (r)
        FWriter.IntersectClipRect(*r);
}

void TMetafileCanvas::DoSaveState()
{
    if (Recording())
        FWriter.SaveDC();
}

void TMetafileCanvas::DoRestoreState()
{
    if (!Recording())
        return;
    FWriter.RestoreDC(-1);
    ForgetSelections();
}

void TMetafileCanvas::Close()
{
    if (FClosed)
        return;
    FClosed = true;
    TRect frame;
    if (FMetafile.Width() > 0 && FMetafile.Height() > 0) {
        frame = {0, 0, PixelsToHundredthsMm(FMetafile.Width()), PixelsToHundredthsMm(FMetafile.Height())};
    } else if (!FBounds.IsEmpty()) {
        frame = {PixelsToHundredthsMm(FBounds.Left), PixelsToHundredthsMm(FBounds.Top),
            PixelsToHundredthsMm(FBounds.Right + 1), PixelsToHundredthsMm(FBounds.Bottom + 1)};
    }
    FMetafile.SetRecorded(FWriter.Finish(FBounds, frame, FMaxHandle + 1, FCreator, FDescription));
}

void TMetafileCanvas::Comment(QByteArrayView data)
{
    FWriter.GdiComment(data);
}

} // namespace vorel
