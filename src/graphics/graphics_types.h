#pragma once
// Geometry, pens and brushes of the canvas API. Coordinates are integers in
// the canvas's logical units: report pixels (1/96 inch) on pages, device
// pixels on bitmaps and printers.

#include "foundation/records/alignment.h"
#include "foundation/components/component.h"
#include "foundation/records/font.h"

#include <QColor>
#include <algorithm>

namespace vorel {

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// The classic rectangle: Right and Bottom lie just outside the area, so the
// width is Right - Left (a 10 x 10 square at the origin is (0, 0, 10, 10)).
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    TRect Inflated(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
    TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    TRect Intersected(const TRect& o) const
    {
        return {std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right), std::min(Bottom, o.Bottom)};
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

class TGraphicsEnums {
    Q_GADGET
public:
    enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
    Q_ENUM(TPenStyle)
    Q_CLASSINFO("Doc.psSolid", "A solid line.")
    Q_CLASSINFO("Doc.psDash", "A dashed line.")
    Q_CLASSINFO("Doc.psDot", "A dotted line.")
    Q_CLASSINFO("Doc.psDashDot", "Dashes and dots alternating.")
    Q_CLASSINFO("Doc.psDashDotDot", "A dash and two dots alternating.")
    Q_CLASSINFO("Doc.psClear", "No line.")
    Q_CLASSINFO("Doc.psInsideFrame", "A solid line kept inside the rectangle it borders.")
    enum TPenMode {
        pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
        pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
    };
    Q_ENUM(TPenMode)
    enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
    Q_ENUM(TBrushStyle)
    Q_CLASSINFO("Doc.bsSolid", "Filled with the colour.")
    Q_CLASSINFO("Doc.bsClear", "Not filled.")
    Q_CLASSINFO("Doc.bsHorizontal", "Horizontal hatch lines.")
    Q_CLASSINFO("Doc.bsVertical", "Vertical hatch lines.")
    Q_CLASSINFO("Doc.bsFDiagonal", "Diagonal hatch lines falling from left to right.")
    Q_CLASSINFO("Doc.bsBDiagonal", "Diagonal hatch lines rising from left to right.")
    Q_CLASSINFO("Doc.bsCross", "Horizontal and vertical hatch lines.")
    Q_CLASSINFO("Doc.bsDiagCross", "Crossed diagonal hatch lines.")
};
using TPenStyle = TGraphicsEnums::TPenStyle;
using TPenMode = TGraphicsEnums::TPenMode;
using TBrushStyle = TGraphicsEnums::TBrushStyle;
using enum TGraphicsEnums::TPenStyle;
using enum TGraphicsEnums::TPenMode;
using enum TGraphicsEnums::TBrushStyle;

// The colour as Qt paints it (system colours resolved, opaque).
inline QColor ToQColor(TColor color)
{
    const std::uint32_t rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
inline QColor RgbToQColor(std::uint32_t colorRef) // 0x00BBGGRR
{
    return QColor(GetRValue(colorRef), GetGValue(colorRef), GetBValue(colorRef));
}

class TPen : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(vorel::TGraphicsEnums::TPenMode Mode READ Mode WRITE SetMode)
    Q_PROPERTY(vorel::TGraphicsEnums::TPenStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
public:
    Q_INVOKABLE explicit TPen(QObject* parent = nullptr) : TPersistent(parent) {}

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    int Width() const { return FWidth; } // logical units; 0 draws one device pixel
    void SetWidth(int value);

    void Assign(const TPersistent* source) override;
    bool Equals(const TPen& o) const
    {
        return FColor == o.FColor && FMode == o.FMode && FStyle == o.FStyle && FWidth == o.FWidth;
    }

    std::function<void()> OnChange;

private:
    void Changed()
    {
        if (OnChange)
            OnChange();
    }
    TColor FColor = clBlack;
    TPenMode FMode = pmCopy;
    TPenStyle FStyle = psSolid;
    int FWidth = 1;
};

class TBrush : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(vorel::TGraphicsEnums::TBrushStyle Style READ Style WRITE SetStyle)
public:
    Q_INVOKABLE explicit TBrush(QObject* parent = nullptr) : TPersistent(parent) {}

    TColor Color() const { return FColor; }
    // Setting a colour on a clear brush makes it solid, as the classic brush does.
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);

    void Assign(const TPersistent* source) override;
    bool Equals(const TBrush& o) const { return FColor == o.FColor && FStyle == o.FStyle; }

    std::function<void()> OnChange;

private:
    void Changed()
    {
        if (OnChange)
            OnChange();
    }
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
};

// The classic binary raster operation numbers (R2_*) of each pen mode.
int PenModeToRop2(TPenMode mode);

} // namespace vorel

Q_DECLARE_METATYPE(vorel::TRect)
Q_DECLARE_METATYPE(vorel::TPoint)
