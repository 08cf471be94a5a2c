#include "graphics/canvas.h"

#include "graphics/metafile.h"
#include "graphics/picture.h"
#include "graphics/text_layout.h"

namespace vorel {

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>())
{
    FFont->OnChange = [this] {
        FFontChanged = true;
        FFace.reset();
    };
    FPen->OnChange = [this] { FPenChanged = true; };
    FBrush->OnChange = [this] { FBrushChanged = true; };
}

TCanvas::~TCanvas() = default;

const TFontFace& TCanvas::Face()
{
    if (!FFace)
        FFace = TTextMeasurer::Face(*FFont);
    return *FFace;
}

void TCanvas::SetTextAlign(unsigned align)
{
    if (FTextAlign == align)
        return;
    FTextAlign = align;
    DoTextAlignChanged();
}

void TCanvas::MoveTo(int x, int y)
{
    FPenPos = {x, y};
    DoMoveTo(x, y);
}

void TCanvas::LineTo(int x, int y)
{
    DoLineTo(x, y);
    FPenPos = {x, y};
}

void TCanvas::Polyline(const QList<TPoint>& points)
{
    if (points.size() < 2)
        return;
    DoPolyline(points);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    DoRectangle({left, top, right, bottom});
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight)
{
    DoRoundRect({left, top, right, bottom}, cornerWidth, cornerHeight);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) { DoEllipse({left, top, right, bottom}); }

void TCanvas::FillRect(const TRect& r)
{
    if (FBrush->Style() == bsClear || r.IsEmpty())
        return;
    DoFillRect(r);
}

void TCanvas::FrameRect(const TRect& r)
{
    if (r.IsEmpty())
        return;
    if (FBrush->Style() == bsClear)
        return;
    DoFillRect({r.Left, r.Top, r.Right, r.Top + 1});
    DoFillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    DoFillRect({r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1});
    DoFillRect({r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1});
}

int TCanvas::TextWidth(QStringView text) { return Face().TextWidth(text); }

int TCanvas::TextHeight(QStringView) { return Face().Height(); }

void TCanvas::ExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx)
{
    if (text.isEmpty() && !(options & ETO_OPAQUE))
        return;
    if (!dx) {
        FDxBuffer.resize(text.size());
        Face().Advances(text, FDxBuffer.data());
        dx = FDxBuffer.constData();
    }
    DoExtTextOut(x, y, options, rect, text, dx);
}

void TCanvas::TextOut(int x, int y, const QString& text) { ExtTextOut(x, y, 0, nullptr, text, nullptr); }

void TCanvas::TextRect(const TRect& r, int x, int y, const QString& text)
{
    ExtTextOut(x, y, ETO_CLIPPED, &r, text, nullptr);
}

void TCanvas::DrawTextLine(int x, int y, QStringView line, unsigned flags, const TRect& clip, int tabWidth)
{
    const unsigned options = (flags & DT_NOCLIP) ? 0u : ETO_CLIPPED;
    const TRect* clipRect = (flags & DT_NOCLIP) ? nullptr : &clip;
    if (tabWidth <= 0 || !line.contains(u'\t')) {
        ExtTextOut(x, y, options, clipRect, line, nullptr);
        return;
    }
    // Each tab-separated part is its own text output at its tab stop.
    int start = 0;
    int pos = 0; // pixels from the line's start
    const int n = int(line.size());
    while (start <= n) {
        int end = start;
        while (end < n && line[end] != u'\t')
            ++end;
        if (end > start) {
            const QStringView part = line.mid(start, end - start);
            ExtTextOut(x + pos, y, options, clipRect, part, nullptr);
            pos += Face().TextWidth(part);
        }
        if (end >= n)
            break;
        pos = (pos / tabWidth + 1) * tabWidth;
        start = end + 1;
    }
}

const TTextLayout& TCanvas::Layout(const QString& text, unsigned flags, int width)
{
    constexpr unsigned kLayoutFlags = DT_WORDBREAK | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX | DT_EXTERNALLEADING;
    const TFontFace& face = Face();
    TLayoutCache& cache = FLayoutCache;
    const unsigned layoutFlags = flags & kLayoutFlags;
    if (cache.Face.get() == &face && cache.Flags == layoutFlags && cache.Width == width
        && ((cache.Text.constData() == text.constData() && cache.Text.size() == text.size()) || cache.Text == text))
        return cache.Layout;
    // Copied, not moved, onto the cache: Qt 6.4's QVarLengthArray forgets
    // its own heap buffer when another's is moved onto it (a leak per
    // layout of more than four lines).
    const TTextLayout fresh = LayoutText(face, text, flags, width);
    cache.Layout = fresh;
    cache.Face = FFace;
    cache.Text = text;
    cache.Flags = layoutFlags;
    cache.Width = width;
    return cache.Layout;
}

int TCanvas::DrawText(const QString& text, TRect& r, unsigned flags)
{
    const TTextLayout& layout = Layout(text, flags, r.Width());
    if (layout.Lines.isEmpty()) {
        if (flags & DT_CALCRECT)
            r.Bottom = r.Top;
        return 0;
    }
    const bool singleLine = flags & DT_SINGLELINE;
    const int textHeight = layout.Height();
    int y = r.Top;
    if (singleLine && (flags & DT_VCENTER))
        y = r.Top + (r.Height() - layout.LineHeight) / 2;
    else if (singleLine && (flags & DT_BOTTOM))
        y = r.Bottom - layout.LineHeight;
    const int result = (singleLine && (flags & (DT_VCENTER | DT_BOTTOM))) ? y + textHeight - r.Top : textHeight;

    if (flags & DT_CALCRECT) {
        // The rectangle grows (or shrinks) to the text: its bottom always,
        // its right where the lines are not bound to the width.
        if (!(flags & DT_WORDBREAK) || singleLine || layout.MaxWidth > r.Width())
            r.Right = r.Left + layout.MaxWidth;
        r.Bottom = r.Top + textHeight;
        return result;
    }

    for (const TTextLine& line : layout.Lines) {
        int x = r.Left;
        if (flags & DT_CENTER)
            x = r.Left + (r.Width() - line.Width) / 2;
        else if (flags & DT_RIGHT)
            x = r.Right - line.Width;
        if (line.Length > 0)
            DrawTextLine(x, y, QStringView(layout.Text).mid(line.Start, line.Length), flags, r, layout.TabWidth);
        y += layout.LineHeight;
    }
    return result;
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic& graphic)
{
    if (!graphic.Empty())
        graphic.Draw(*this, r);
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic)
{
    if (!graphic.Empty())
        graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
}

void TCanvas::StretchImage(const TRect& dest, const QImage& image, const TRect& source)
{
    if (image.isNull() || dest.Width() == 0 || dest.Height() == 0 || source.Width() <= 0 || source.Height() <= 0)
        return;
    DoStretchImage(dest, image, source);
}

void TCanvas::PlayMetafile(const TRect& dest, const TMetafile& metafile)
{
    if (metafile.Empty() || dest.Width() == 0 || dest.Height() == 0)
        return;
    DoPlayMetafile(dest, metafile);
}

void TCanvas::IntersectClipRect(const TRect& r) { DoIntersectClipRect(r); }

void TCanvas::SetClipRect(const TRect* r) { DoSetClipRect(r); }

void TCanvas::SaveState() { DoSaveState(); }

void TCanvas::RestoreState() { DoRestoreState(); }

void DrawBorder(TCanvas& canvas, const TRect& rect, TColor light, TColor dark)
{
    TPen* pen = canvas.Pen();
    pen->SetWidth(1);
    pen->SetStyle(psSolid);
    pen->SetColor(light);
    canvas.Polyline({{rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}});
    pen->SetColor(dark);
    canvas.Polyline({{rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left, rect.Bottom}});
}

} // namespace vorel
