#pragma once
// The page frame drawn on every new page of a print component: a background
// colour, a background picture in one of five placements, and up to four
// border lines.

#include "foundation/records/font.h"
#include "graphics/graphics_types.h"
#include "graphics/picture.h"

#include <QImage>
#include <QPointer>

namespace vorel {

class TCanvas;

class TKVXFrameEnums {
    Q_GADGET
public:
    enum TKVFrameSide { ftTop = 1, ftBottom = 2, ftLeft = 4, ftRight = 8 };
    Q_DECLARE_FLAGS(TKVFrameType, TKVFrameSide)
    Q_FLAG(TKVFrameType)
    Q_CLASSINFO("Doc.ftTop", "The line along the top edge.")
    Q_CLASSINFO("Doc.ftBottom", "The line along the bottom edge.")
    Q_CLASSINFO("Doc.ftLeft", "The line along the left edge.")
    Q_CLASSINFO("Doc.ftRight", "The line along the right edge.")
    // btNone is also a band type (TBandType, same value 0); it is left
    // qualified here (TKVXFrameEnums::btNone) so that both can be used.
    enum TKVPicType { btNone, btCenter, btStretch, btTile, btTileAsFrame, btCorners };
    Q_ENUM(TKVPicType)
    Q_CLASSINFO("Doc.btNone", "No picture.")
    Q_CLASSINFO("Doc.btCenter", "Centred, at its natural size.")
    Q_CLASSINFO("Doc.btStretch", "Stretched over the whole rectangle.")
    Q_CLASSINFO("Doc.btTile", "Repeated over the whole rectangle.")
    Q_CLASSINFO("Doc.btTileAsFrame", "Repeated along the four edges only, as a border.")
    Q_CLASSINFO("Doc.btCorners", "Once in each corner, at its natural size.")
};
using TKVFrameSide = TKVXFrameEnums::TKVFrameSide;
using TKVFrameType = TKVXFrameEnums::TKVFrameType;
using TKVPicType = TKVXFrameEnums::TKVPicType;
using enum TKVXFrameEnums::TKVFrameSide;
Q_DECLARE_OPERATORS_FOR_FLAGS(TKVXFrameEnums::TKVFrameType)
inline constexpr TKVPicType btCenter = TKVXFrameEnums::btCenter;
inline constexpr TKVPicType btStretch = TKVXFrameEnums::btStretch;
inline constexpr TKVPicType btTile = TKVXFrameEnums::btTile;
inline constexpr TKVPicType btTileAsFrame = TKVXFrameEnums::btTileAsFrame;
inline constexpr TKVPicType btCorners = TKVXFrameEnums::btCorners;

class TKVXFrame : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The frame of a control, a band or the page: border lines with their pen, a fill colour and a "
                       "background picture.")
    Q_PROPERTY(vorel::TColor Color READ Color WRITE SetColor)
    Q_CLASSINFO("Doc.Color", "The colour of the border lines (and of a shape's outline).")
    Q_PROPERTY(vorel::TGraphicsEnums::TPenStyle Style READ Style WRITE SetStyle)
    Q_CLASSINFO("Doc.Style", "The style of the border lines (and of a shape's outline).")
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_CLASSINFO("Doc.Width", "The pen width of the border lines in report pixels; the lines lie inside the rectangle.")
    // The set is stored as the four booleans that follow it.
    Q_PROPERTY(vorel::TKVXFrameEnums::TKVFrameType FrameType READ FrameType WRITE SetFrameType STORED false)
    Q_CLASSINFO("Doc.FrameType", "Which border lines are drawn, as a set; forms store it as FTop, FBottom, FLeft and "
                                 "FRight.")
    Q_PROPERTY(bool FTop READ FTop WRITE SetFTop)
    Q_CLASSINFO("Doc.FTop", "Draws the line along the top edge.")
    Q_PROPERTY(bool FBottom READ FBottom WRITE SetFBottom)
    Q_CLASSINFO("Doc.FBottom", "Draws the line along the bottom edge.")
    Q_PROPERTY(bool FLeft READ FLeft WRITE SetFLeft)
    Q_CLASSINFO("Doc.FLeft", "Draws the line along the left edge.")
    Q_PROPERTY(bool FRight READ FRight WRITE SetFRight)
    Q_CLASSINFO("Doc.FRight", "Draws the line along the right edge.")
    Q_PROPERTY(vorel::TColor BackColor READ BackColor WRITE SetBackColor)
    Q_CLASSINFO("Doc.BackColor", "The fill colour; clWhite fills nothing.")
    Q_PROPERTY(vorel::TPicture* Picture READ Picture WRITE SetPicture)
    Q_CLASSINFO("Doc.Picture", "A background picture, stored in the form.")
    Q_PROPERTY(vorel::TKVXFrameEnums::TKVPicType PicType READ PicType WRITE SetPicType)
    Q_CLASSINFO("Doc.PicType", "How the background picture is placed.")
public:
    Q_INVOKABLE explicit TKVXFrame(QObject* owner = nullptr);
    ~TKVXFrame() override;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    int Width() const { return FWidth; } // pen width in report pixels
    void SetWidth(int value);
    TKVFrameType FrameType() const { return FFrameType; }
    void SetFrameType(TKVFrameType value);
    bool FTop() const { return FFrameType.testFlag(ftTop); }
    void SetFTop(bool on) { SetSide(ftTop, on); }
    bool FBottom() const { return FFrameType.testFlag(ftBottom); }
    void SetFBottom(bool on) { SetSide(ftBottom, on); }
    bool FLeft() const { return FFrameType.testFlag(ftLeft); }
    void SetFLeft(bool on) { SetSide(ftLeft, on); }
    bool FRight() const { return FFrameType.testFlag(ftRight); }
    void SetFRight(bool on) { SetSide(ftRight, on); }
    TColor BackColor() const { return FBackColor; } // white: no fill
    void SetBackColor(TColor value);
    TPicture* Picture() const { return FPicture; }
    void SetPicture(const TPicture* value); // copies
    TKVPicType PicType() const { return FPicType; }
    void SetPicType(TKVPicType value);

    // The designer control to repaint on every change (its update() slot is
    // invoked by name, so the core needs no widget headers); may be none.
    QObject* Parent() const { return FParent; }
    void SetParent(QObject* control) { FParent = control; }

    bool AnyFrame() const { return FFrameType != TKVFrameType(); }
    // Width, plus the larger picture side when the picture lies along the
    // border (btTileAsFrame, btCorners).
    int GetFrameWidth() const;

    // Paints the background, the picture and the lines into rect (report
    // pixels). Leaves the canvas brush solid in its former colour.
    void DrawFrame(TCanvas& canvas, const TRect& rect) const;

    void Assign(const TPersistent* source) override;

private:
    void SetSide(TKVFrameSide side, bool on);
    void Changed();
    void DrawTiles(TCanvas& canvas, const TRect& rect) const;
    const QImage& TileImage() const;

    TColor FColor = clBlack;
    TPenStyle FStyle = psSolid;
    int FWidth = 1;
    TKVFrameType FFrameType;
    TColor FBackColor = clWhite;
    TPicture* FPicture; // owned (child)
    TKVPicType FPicType = TKVXFrameEnums::btNone;
    QPointer<QObject> FParent;
    // The picture as pixels for tiling, made once per picture change rather
    // than once per page.
    mutable QImage FTileImage;
    mutable bool FTileImageValid = false;
};

} // namespace vorel
