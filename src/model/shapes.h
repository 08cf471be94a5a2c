#pragma once
// Lines, rectangles and ellipses: drawn with the pen of the control's frame
// settings as outlines over the background the base Draw paints. They
// report their design height (Height + 2 x frame width).

#include "model/control.h"

namespace vorel {

class TKVXShapeEnums {
    Q_GADGET
public:
    // ssHeight: the shape extends to the bottom of the printed band;
    // ssTallest: stored, not used in drawing.
    enum TShapeStretch { ssNoStretch, ssTallest, ssHeight };
    Q_ENUM(TShapeStretch)
    Q_CLASSINFO("Doc.ssNoStretch", "Keeps its design height.")
    Q_CLASSINFO("Doc.ssTallest", "Kept for older forms; prints like ssNoStretch.")
    Q_CLASSINFO("Doc.ssHeight", "Reaches down to the bottom of the printed band.")
    // lsDouble draws a second, inner outline.
    enum TLineStyle { lsSingle, lsDouble };
    Q_ENUM(TLineStyle)
    Q_CLASSINFO("Doc.lsSingle", "One outline.")
    Q_CLASSINFO("Doc.lsDouble", "Two outlines, the second inside the first.")
    // Set by each subclass; selects the drawing (not stored).
    enum TShapeType { stLine, stRectangle, stEllipse };
    Q_ENUM(TShapeType)
    enum TLineType { ltTop, ltBottom, ltLeft, ltRight, ltLeftDiagonal, ltRightDiagonal, ltHCenter, ltVCenter };
    Q_ENUM(TLineType)
    Q_CLASSINFO("Doc.ltTop", "Along the top edge.")
    Q_CLASSINFO("Doc.ltBottom", "Along the bottom edge.")
    Q_CLASSINFO("Doc.ltLeft", "Along the left edge.")
    Q_CLASSINFO("Doc.ltRight", "Along the right edge.")
    Q_CLASSINFO("Doc.ltLeftDiagonal", "From the top-left to the bottom-right corner.")
    Q_CLASSINFO("Doc.ltRightDiagonal", "From the bottom-left to the top-right corner.")
    Q_CLASSINFO("Doc.ltHCenter", "Vertical, through the middle of the width.")
    Q_CLASSINFO("Doc.ltVCenter", "Horizontal, through the middle of the height.")
    enum TRectangleType { rtRectangle, rtRoundRect, rtSquare, rtRoundSquare };
    Q_ENUM(TRectangleType)
    Q_CLASSINFO("Doc.rtRectangle", "A rectangle filling the control.")
    Q_CLASSINFO("Doc.rtRoundRect", "A rectangle with rounded corners.")
    Q_CLASSINFO("Doc.rtSquare", "A square as large as the control's shorter side.")
    Q_CLASSINFO("Doc.rtRoundSquare", "A square with rounded corners.")
    enum TEllipseType { etEllipse, etCircle };
    Q_ENUM(TEllipseType)
    Q_CLASSINFO("Doc.etEllipse", "An ellipse filling the control.")
    Q_CLASSINFO("Doc.etCircle", "A circle as large as the control's shorter side.")
};
using TShapeStretch = TKVXShapeEnums::TShapeStretch;
using TLineStyle = TKVXShapeEnums::TLineStyle;
using TShapeType = TKVXShapeEnums::TShapeType;
using TLineType = TKVXShapeEnums::TLineType;
using TRectangleType = TKVXShapeEnums::TRectangleType;
using TEllipseType = TKVXShapeEnums::TEllipseType;
using enum TKVXShapeEnums::TShapeStretch;
using enum TKVXShapeEnums::TLineStyle;
using enum TKVXShapeEnums::TShapeType;
using enum TKVXShapeEnums::TLineType;
using enum TKVXShapeEnums::TRectangleType;
using enum TKVXShapeEnums::TEllipseType;

// Text ids of the default display names.
constexpr int KVX_TEXT_LINE = 1017;      // "Line"
constexpr int KVX_TEXT_RECTANGLE = 1018; // "Rectangle"
constexpr int KVX_TEXT_ELLIPSE = 1019;   // "Ellipse"

class TKVXShape : public TKVXControl {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of lines, rectangles and ellipses: outlines drawn with the pen of the control's "
                       "Frame (Color, Style, Width) over its background.")
    // Written to forms even at its default (forms of other tools rely on it).
    Q_CLASSINFO("AlwaysStored", "Stretch")
    Q_PROPERTY(vorel::TKVXShapeEnums::TShapeStretch Stretch READ Stretch WRITE SetStretch)
    Q_CLASSINFO("Doc.Stretch", "Whether the shape reaches down to the bottom of the printed band.")
    Q_PROPERTY(vorel::TKVXShapeEnums::TLineStyle LineStyle READ LineStyle WRITE SetLineStyle)
    Q_CLASSINFO("Doc.LineStyle", "A single or a double outline.")
public:
    Q_INVOKABLE explicit TKVXShape(QObject* owner = nullptr);

    TShapeStretch Stretch() const { return FStretch; }
    void SetStretch(TShapeStretch value);
    TLineStyle LineStyle() const { return FLineStyle; }
    void SetLineStyle(TLineStyle value);
    TShapeType ShapeType() const { return FShapeType; }

    int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags) override;
    // A shape only paints: the highlights are all there is beyond the canvas.
    bool PaintUnseen() override;
    // One segment of the line type across the rectangle (lines only).
    void DrawLine(TCanvas& canvas, const TRect& rect);

    // The outline a rectangle or ellipse is drawn in, for pen width p, inside
    // the content rectangle (report pixels): the rules of squares and circles
    // included. Exposed for the designer and tests.
    TRect ShapeBounds(const TRect& rect, int penWidth) const;

protected:
    void SetShapeType(TShapeType value) { FShapeType = value; }
    // Squares, round squares and circles keep equal sides.
    virtual bool KeepsEqualSides() const { return false; }
    // Rounded corners (round rectangles and round squares).
    virtual bool RoundCorners() const { return false; }
    virtual TLineType LineKind() const { return ltTop; }

private:
    TShapeStretch FStretch = ssNoStretch;
    TLineStyle FLineStyle = lsSingle;
    TShapeType FShapeType = stRectangle;
};

class TKVXLine : public TKVXShape {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A straight line across the control's rectangle.")
    Q_CLASSINFO("AlwaysStored", "LineType")
    Q_PROPERTY(vorel::TKVXShapeEnums::TLineType LineType READ LineType WRITE SetLineType)
    Q_CLASSINFO("Doc.LineType", "Which line across the rectangle is drawn.")
public:
    Q_INVOKABLE explicit TKVXLine(QObject* owner = nullptr);
    TLineType LineType() const { return FLineType; }
    void SetLineType(TLineType value);

protected:
    // The frame lines lie on the line's own rectangle: its content is not shrunk.
    bool KeepsFrameInRect() const override { return true; }
    TLineType LineKind() const override { return FLineType; }

private:
    TLineType FLineType = ltTop;
};

class TKVXRectangle : public TKVXShape {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A rectangle or square, with square or rounded corners.")
    Q_CLASSINFO("AlwaysStored", "RectangleType")
    Q_PROPERTY(vorel::TKVXShapeEnums::TRectangleType RectangleType READ RectangleType WRITE SetRectangleType)
    Q_CLASSINFO("Doc.RectangleType", "The shape drawn.")
public:
    Q_INVOKABLE explicit TKVXRectangle(QObject* owner = nullptr);
    TRectangleType RectangleType() const { return FRectangleType; }
    void SetRectangleType(TRectangleType value);

protected:
    bool KeepsEqualSides() const override { return FRectangleType == rtSquare || FRectangleType == rtRoundSquare; }
    bool RoundCorners() const override { return FRectangleType == rtRoundRect || FRectangleType == rtRoundSquare; }

private:
    TRectangleType FRectangleType = rtRectangle;
};

class TKVXEllipse : public TKVXShape {
    Q_OBJECT
    Q_CLASSINFO("Doc", "An ellipse or circle.")
    Q_CLASSINFO("AlwaysStored", "EllipseType")
    Q_PROPERTY(vorel::TKVXShapeEnums::TEllipseType EllipseType READ EllipseType WRITE SetEllipseType)
    Q_CLASSINFO("Doc.EllipseType", "The shape drawn.")
public:
    Q_INVOKABLE explicit TKVXEllipse(QObject* owner = nullptr);
    TEllipseType EllipseType() const { return FEllipseType; }
    void SetEllipseType(TEllipseType value);

protected:
    bool KeepsEqualSides() const override { return FEllipseType == etCircle; }

private:
    TEllipseType FEllipseType = etEllipse;
};

} // namespace vorel
