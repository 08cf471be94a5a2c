#include "graphics/emf_player.h"

#include "graphics/canvas.h"
#include "graphics/emf_enumerator.h"
#include "graphics/emf_interpreter.h"
#include "graphics/metafile.h"
#include "graphics/text_measure.h"

#include <QGlyphRun>
#include <QtMath>

namespace vorel {

namespace {

qreal Snap(qreal v) { return std::abs(v - std::round(v)) < 0.05 ? std::round(v) : v; }

// The QPainter device of the record interpreter: page pixels go through
// the frame-to-destination mapping onto the painter; the classic pen and
// brush rules on raster devices (raster operations, one-device-pixel pens
// at any zoom, dash gaps) are TGdiPainter's.
class TPainterDevice final : public TEmfDevice {
public:
    TPainterDevice(QPainter& painter, const TEmfHeader& header, const QRectF& dest) : P(painter), G(painter)
    {
        FBase = painter.transform();
        const QRectF frame = FrameInDevicePixels(header);
        FPageToDevice = QTransform::fromTranslate(-frame.x(), -frame.y())
            * QTransform::fromScale(dest.width() / frame.width(), dest.height() / frame.height())
            * QTransform::fromTranslate(dest.x(), dest.y()) * FBase;
        FHasBaseClip = painter.hasClipping();
        if (FHasBaseClip)
            FBaseClip = painter.transform().map(painter.clipPath());
    }

    void Shape(const TEmfDrawContext& dc, TEmfShape& shape) override
    {
        Sync(dc);
        P.setTransform(FPageToDevice);
        // Pen widths are logical units; the painter draws page pixels.
        G.PenScale = std::sqrt(std::abs(dc.ToPage.determinant()));
        G.Shape(shape.Path, shape.Brush, shape.Stroke, shape.Chain);
    }

    void Text(const TEmfDrawContext& dc, const TEmfText& text) override
    {
        Sync(dc);
        P.setTransform(dc.ToPage * FPageToDevice);
        const QRectF* rect = text.Rect ? &*text.Rect : nullptr;
        if (text.Options & ETO_GLYPH_INDEX)
            GlyphText(dc.State(), text, rect);
        else
            G.Text(TextFont(dc.State().Font), text.Reference, text.Text, text.Dx, text.Options, rect);
    }

    void Picture(const TEmfDrawContext& dc, const TEmfPicture& picture) override
    {
        Sync(dc);
        P.setTransform(dc.ToPage * FPageToDevice);
        P.save();
        P.setOpacity(picture.Opacity);
        G.Image(picture.Dest, picture.Image, picture.Source, picture.Rop);
        P.restore();
    }

    void SetClip(const std::optional<QPainterPath>& region) override
    {
        const QTransform keep = P.transform();
        P.setTransform(QTransform());
        if (region) // within the painter's own clip
            P.setClipPath(FHasBaseClip ? FBaseClip.intersected(FPageToDevice.map(*region))
                                       : FPageToDevice.map(*region),
                Qt::ReplaceClip);
        else if (FHasBaseClip)
            P.setClipPath(FBaseClip, Qt::ReplaceClip);
        else
            P.setClipping(false);
        P.setTransform(keep);
    }

private:
    void Sync(const TEmfDrawContext& dc)
    {
        const TEmfReplayState& s = dc.State();
        G.State.Pen = s.Pen;
        G.State.Brush = s.Brush;
        G.State.Rop2 = s.Rop2;
        G.State.BkMode = s.BkMode;
        G.State.BkColor = s.BkColor;
        G.State.TextColor = s.TextColor;
        G.State.TextAlign = s.TextAlign;
        G.State.PolyFillMode = s.PolyFillMode;
        G.State.StretchMode = s.StretchMode;
    }

    TGdiTextFont TextFont(const TLogFont& lf)
    {
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

    // Glyph indices of the selected face (never written by Vorel).
    void GlyphText(const TEmfReplayState& s, const TEmfText& text, const QRectF* rect)
    {
        const TGdiTextFont font = TextFont(s.Font);
        const TFontFace& face = *font.Face;
        if (!face.RawFont().isValid())
            return;
        P.save();
        if (rect && (text.Options & ETO_OPAQUE))
            P.fillRect(*rect, RgbToQColor(s.BkColor));
        if (rect && (text.Options & ETO_CLIPPED))
            P.setClipRect(*rect, Qt::IntersectClip);
        P.translate(text.Reference);
        if (font.Escapement)
            P.rotate(-font.Escapement / 10.0);
        QList<quint32> glyphs;
        QList<QPointF> positions;
        QList<QPointF> advances(text.Text.size());
        for (QChar c : text.Text)
            glyphs.append(c.unicode());
        face.RawFont().advancesForGlyphIndexes(glyphs.constData(), advances.data(), int(glyphs.size()),
            QRawFont::UseDesignMetrics);
        qreal x = 0;
        const qreal baseline = (s.TextAlign & TA_VERT_MASK) == TA_BASELINE ? 0 : face.Ascent();
        for (int i = 0; i < glyphs.size(); ++i) {
            positions.append(QPointF(x, baseline));
            x += text.Dx ? text.Dx[i] : std::round(advances[i].x());
        }
        DrawGlyphs(P, face.RawFont(), glyphs, positions, RgbToQColor(s.TextColor));
        P.restore();
    }

    QPainter& P;
    TGdiPainter G;
    QTransform FBase;
    QTransform FPageToDevice; // page pixels to the painter's device
    QPainterPath FBaseClip; // the painter's own clip, device coordinates
    bool FHasBaseClip = false;
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
    TPainterDevice device(painter, header, dest);
    TEmfInterpreter interpreter(device);
    TEmfEnumerator records(bytes, header);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    interpreter.Run(records);
    painter.restore();
}

void PlayEmf(QPainter& painter, const TMetafile& metafile, const QRectF& dest)
{
    if (metafile.Empty())
        return;
    PlayEmf(painter, ByteView(metafile.Bytes()), metafile.Header(), dest);
}

} // namespace vorel
