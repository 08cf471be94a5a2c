// Shapes: the outline geometry of rectangles, squares, ellipses and circles,
// double outlines, and the eight line types.

#include "model/shapes.h"

#include "foundation/language/language.h"

#include <algorithm>
#include <typeinfo>

namespace vorel {

TKVXShape::TKVXShape(QObject* owner) : TKVXControl(owner) {}

void TKVXShape::SetStretch(TShapeStretch value)
{
    FStretch = value;
    Invalidate();
}

void TKVXShape::SetLineStyle(TLineStyle value)
{
    FLineStyle = value;
    Invalidate();
}

TRect TKVXShape::ShapeBounds(const TRect& rect, int penWidth) const
{
    const int frameWidth = FrameWidth();
    int x0 = penWidth / 2;
    int y0 = penWidth / 2;
    // The outline is centred on the pen: half a pen inside on each side.
    int w = Width() - penWidth - 2 * frameWidth + 1;
    int hh = (FStretch == ssHeight ? rect.Height() : Height()) - penWidth - 2 * frameWidth + 1;
    if (penWidth == 0) {
        --w;
        --hh;
    }
    if (KeepsEqualSides()) {
        const int s = std::min(w, hh);
        x0 += (w - s) / 2;
        y0 += (hh - s) / 2;
        w = hh = s;
    }
    x0 += rect.Left;
    y0 += rect.Top;
    return {x0, y0, x0 + w, y0 + hh};
}

void TKVXShape::DrawLine(TCanvas& canvas, const TRect& rect)
{
    const int l = rect.Left, t = rect.Top, r = rect.Right, b = rect.Bottom;
    TPoint from, to;
    switch (LineKind()) {
    case ltTop: from = {l, t}, to = {r, t}; break;
    case ltBottom: from = {l, b}, to = {r, b}; break;
    case ltLeft: from = {l, t}, to = {l, b}; break;
    case ltRight: from = {r, t}, to = {r, b}; break;
    case ltLeftDiagonal: from = {l, t}, to = {r, b}; break;
    case ltRightDiagonal: from = {l, b}, to = {r, t}; break;
    case ltHCenter: from = {(l + r) / 2, t}, to = {(l + r) / 2, b}; break; // vertical, at the horizontal centre
    case ltVCenter: from = {l, (t + b) / 2}, to = {r, (t + b) / 2}; break; // horizontal, at the vertical centre
    }
    canvas.MoveTo(from.X, from.Y);
    canvas.LineTo(to.X, to.Y);
}

int TKVXShape::Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags)
{
    // ssTallest would use tallestSoFar; it has no effect in drawing.
    const int height = TKVXControl::Draw(canvas, rect, tallestSoFar, flags);
    // The frame drawing left the pen in the frame's colour and width.
    canvas.Pen()->SetStyle(Frame()->Style());
    if (!Transparent())
        canvas.Brush()->SetColor(BackColor());
    // Outlines only: the base Draw painted the background.
    canvas.Brush()->SetStyle(bsClear);
    if (flags & DT_CALCRECT)
        return height;
    const int p = canvas.Pen()->Width();
    const int inset = 2 * p; // the inner outline of lsDouble
    if (FShapeType == stLine) {
        DrawLine(canvas, rect);
        if (FLineStyle == lsDouble)
            DrawLine(canvas, rect.Inflated(-inset, -inset));
        return height;
    }
    const TRect bounds = ShapeBounds(rect, p);
    const TRect inner = bounds.Inflated(-inset, -inset);
    if (FShapeType == stEllipse) {
        canvas.Ellipse(bounds);
        if (FLineStyle == lsDouble)
            canvas.Ellipse(inner);
    } else if (RoundCorners()) {
        const int corner = std::min(bounds.Width(), bounds.Height()) / 4;
        canvas.RoundRect(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom, corner, corner);
        if (FLineStyle == lsDouble)
            canvas.RoundRect(inner.Left, inner.Top, inner.Right, inner.Bottom, corner, corner);
    } else {
        canvas.Rectangle(bounds);
        if (FLineStyle == lsDouble)
            canvas.Rectangle(inner);
    }
    return height;
}

bool TKVXShape::PaintUnseen()
{
    // A class derived from the library's shapes may do more in Draw.
    const std::type_info& type = typeid(*this);
    if (type != typeid(TKVXShape) && type != typeid(TKVXLine) && type != typeid(TKVXRectangle)
        && type != typeid(TKVXEllipse))
        return false;
    PaintUnseenBackground();
    return true;
}

// --- the three shapes ---------------------------------------------------------------------

TKVXLine::TKVXLine(QObject* owner) : TKVXShape(owner)
{
    SetShapeType(stLine);
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_LINE));
}

void TKVXLine::SetLineType(TLineType value)
{
    FLineType = value;
    Invalidate();
}

TKVXRectangle::TKVXRectangle(QObject* owner) : TKVXShape(owner)
{
    SetShapeType(stRectangle);
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_RECTANGLE));
}

void TKVXRectangle::SetRectangleType(TRectangleType value)
{
    FRectangleType = value;
    Invalidate();
}

TKVXEllipse::TKVXEllipse(QObject* owner) : TKVXShape(owner)
{
    SetShapeType(stEllipse);
    SetDisplayName(GetString(LanguageShift(), KVX_TEXT_ELLIPSE));
}

void TKVXEllipse::SetEllipseType(TEllipseType value)
{
    FEllipseType = value;
    Invalidate();
}

} // namespace vorel
