#include "frame/page_frame.h"

#include "graphics/canvas.h"

namespace vorel {

TKVXFrame::TKVXFrame(QObject* owner) : TPersistent(owner), FPicture(new TPicture(this))
{
    FPicture->OnChange = [this] {
        FTileImageValid = false;
        Changed();
    };
}

TKVXFrame::~TKVXFrame() = default;

void TKVXFrame::Changed()
{
    if (FParent)
        QMetaObject::invokeMethod(FParent.data(), "update");
}

void TKVXFrame::SetColor(TColor value)
{
    FColor = value;
    Changed();
}

void TKVXFrame::SetStyle(TPenStyle value)
{
    FStyle = value;
    Changed();
}

void TKVXFrame::SetWidth(int value)
{
    FWidth = value;
    Changed();
}

void TKVXFrame::SetFrameType(TKVFrameType value)
{
    FFrameType = value;
    Changed();
}

void TKVXFrame::SetSide(TKVFrameSide side, bool on)
{
    FFrameType.setFlag(side, on);
    Changed();
}

void TKVXFrame::SetBackColor(TColor value)
{
    FBackColor = value;
    Changed();
}

void TKVXFrame::SetPicture(const TPicture* value)
{
    if (value == FPicture)
        return;
    if (value)
        FPicture->Assign(value);
    else
        FPicture->Clear();
    FTileImageValid = false;
    Changed();
}

void TKVXFrame::SetPicType(TKVPicType value)
{
    FPicType = value;
    Changed();
}

int TKVXFrame::GetFrameWidth() const
{
    int result = FWidth;
    if (!FPicture->Empty() && (FPicType == btTileAsFrame || FPicType == btCorners))
        result += std::max(FPicture->Width(), FPicture->Height());
    return result;
}

void TKVXFrame::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TKVXFrame*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FColor = other->FColor;
    FStyle = other->FStyle;
    FWidth = other->FWidth;
    FFrameType = other->FFrameType;
    FBackColor = other->FBackColor;
    FPicType = other->FPicType;
    FPicture->Assign(other->FPicture);
    FTileImageValid = false;
    Changed();
}

const QImage& TKVXFrame::TileImage() const
{
    if (!FTileImageValid) {
        FTileImage = FPicture->Bitmap().Image();
        FTileImageValid = true;
    }
    return FTileImage;
}

namespace {

// The nearest whole number of tiles in extent, halves to even, as the
// classic Round does.
int RoundedQuotient(int extent, int tile)
{
    int q = extent / tile;
    const int r2 = 2 * (extent % tile);
    if (r2 > tile || (r2 == tile && (q % 2) != 0))
        ++q;
    return q;
}

} // namespace

void TKVXFrame::DrawTiles(TCanvas& canvas, const TRect& rect) const
{
    const QImage& image = TileImage();
    const int pw = image.width();
    const int ph = image.height();
    const int w = rect.Width();
    const int h = rect.Height();
    if (pw <= 0 || ph <= 0 || w <= 0 || h <= 0)
        return;
    // A tile at (x, y) relative to the rect, copied 1:1 and cut at the rect.
    auto tile = [&](int x, int y) {
        const TRect dest = Bounds(rect.Left + x, rect.Top + y, pw, ph).Intersected(rect);
        if (dest.IsEmpty())
            return;
        const TRect source = Bounds(dest.Left - (rect.Left + x), dest.Top - (rect.Top + y), dest.Width(), dest.Height());
        canvas.StretchImage(dest, image, source);
    };
    const int across = RoundedQuotient(w, pw);
    const int down = RoundedQuotient(h, ph);
    if (FPicType == btTile) {
        for (int i = 0; i <= across; ++i)
            for (int j = 0; j <= down; ++j)
                tile(i * pw, j * ph);
        return;
    }
    // btTileAsFrame: full rows at the top and bottom, columns between them
    // (from the second tile down, the first lies in the top row).
    for (int i = 0; i <= across; ++i) {
        tile(i * pw, 0);
        tile(i * pw, h - ph);
    }
    for (int j = 1; j <= down; ++j) {
        tile(0, j * ph);
        tile(w - pw, j * ph);
    }
}

void TKVXFrame::DrawFrame(TCanvas& canvas, const TRect& rect) const
{
    TBrush* brush = canvas.Brush();
    brush->SetStyle(bsClear);
    TPen* pen = canvas.Pen();
    pen->SetWidth(FWidth);
    pen->SetStyle(FStyle);
    pen->SetColor(FColor);
    const TColor oldBrushColor = brush->Color();

    if (FBackColor != clWhite) {
        brush->SetColor(FBackColor); // makes the brush solid
        canvas.FillRect(rect);
    }

    if (!FPicture->Empty() && FPicType != TKVXFrameEnums::btNone) {
        const TGraphic& graphic = *FPicture->Graphic();
        const int w = rect.Width();
        const int h = rect.Height();
        const int pw = graphic.Width();
        const int ph = graphic.Height();
        switch (FPicType) {
        case btCenter:
            canvas.StretchDraw(Bounds(rect.Left + (w - pw) / 2, rect.Top + (h - ph) / 2, pw, ph), graphic);
            break;
        case btStretch: canvas.StretchDraw(rect, graphic); break;
        case btTile:
        case btTileAsFrame: DrawTiles(canvas, rect); break;
        case btCorners:
            canvas.StretchDraw(Bounds(rect.Left, rect.Top, pw, ph), graphic);
            canvas.StretchDraw(Bounds(rect.Right - pw, rect.Top, pw, ph), graphic);
            canvas.StretchDraw(Bounds(rect.Left, rect.Bottom - ph, pw, ph), graphic);
            canvas.StretchDraw(Bounds(rect.Right - pw, rect.Bottom - ph, pw, ph), graphic);
            break;
        default: break;
        }
    }

    if (FFrameType.testFlag(ftTop)) {
        canvas.MoveTo(rect.Left, rect.Top);
        canvas.LineTo(rect.Right, rect.Top);
    }
    if (FFrameType.testFlag(ftBottom)) {
        canvas.MoveTo(rect.Left, rect.Bottom);
        canvas.LineTo(rect.Right, rect.Bottom);
    }
    if (FFrameType.testFlag(ftLeft)) {
        canvas.MoveTo(rect.Left, rect.Top);
        canvas.LineTo(rect.Left, rect.Bottom);
    }
    if (FFrameType.testFlag(ftRight)) {
        canvas.MoveTo(rect.Right, rect.Top);
        canvas.LineTo(rect.Right, rect.Bottom);
    }

    brush->SetColor(oldBrushColor);
    brush->SetStyle(bsSolid);
}

} // namespace vorel
