#pragma once
// The canvas that draws through a QPainter: the preview and designer
// (painter of a widget), the printer (painter of a print job), bitmaps.
// Logical units are mapped to the device by the painter's transform as it
// is when the canvas is created (the caller scales for zoom or printer
// resolution).

#include "graphics/canvas.h"
#include "graphics/gdi_paint.h"

#include <QPainter>
#include <vector>

namespace vorel {

class TPainterCanvas : public TCanvas {
public:
    // The painter must outlive the canvas and stay active while it draws.
    explicit TPainterCanvas(QPainter* painter, int pixelsPerInch = kScreenPixelsPerInch);
    ~TPainterCanvas() override;

    QPainter* Painter() const { return FPainter; }
    // The painter has ended (a bitmap's pixels were read): forget it and the
    // state saved on it.
    void DetachPainter();
    int PixelsPerInchX() const override { return FPixelsPerInch; }
    int PixelsPerInchY() const override { return FPixelsPerInch; }

protected:
    // The painter to draw on; a bitmap's canvas (re)starts its painter here.
    virtual QPainter* ActivePainter() { return FPainter; }

    void DoMoveTo(int x, int y) override;
    void DoLineTo(int x, int y) override;
    void DoPolyline(const QList<TPoint>& points) override;
    void DoRectangle(const TRect& r) override;
    void DoRoundRect(const TRect& r, int cornerWidth, int cornerHeight) override;
    void DoEllipse(const TRect& r) override;
    void DoFillRect(const TRect& r) override;
    void DoExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx) override;
    void DoStretchImage(const TRect& dest, const QImage& image, const TRect& source) override;
    void DoPlayMetafile(const TRect& dest, const TMetafile& metafile) override;
    void DoIntersectClipRect(const TRect& r) override;
    void DoSetClipRect(const TRect* r) override;
    void DoSaveState() override;
    void DoRestoreState() override;

    QPainter* FPainter;

private:
    TGdiPainter& Gdi(); // synchronised with pen, brush and text state

    int FPixelsPerInch;
    std::unique_ptr<TGdiPainter> FGdi;
    QPainter* FGdiFor = nullptr;
    bool FHadClip = false;
    QPainterPath FBaseClip; // the painter's clip when the canvas started, device coordinates
    int FSaveDepth = 0;
};

} // namespace vorel

namespace vorel {
// The classic pen and brush as the device drawing state describes them.
TGdiPen ToGdiPen(const TPen& pen);
TGdiBrush ToGdiBrush(const TBrush& brush);
} // namespace vorel
