#pragma once
// The canvas API the report model, the print frame and the automatic
// reports draw with: the classic operations with their classic semantics
// (which rectangle edges are drawn, where text sits, how formatted text
// breaks), over two implementations: TMetafileCanvas records EMF records
// (pages), TPainterCanvas draws through a QPainter (preview, printer,
// bitmaps). Both measure through the one text measuring service, so a text
// breaks into the same lines on each.

#include "graphics/graphics_types.h"
#include "graphics/text_layout.h"
#include "graphics/text_measure.h"

#include <QImage>
#include <QList>
#include <QString>
#include <memory>

namespace vorel {

class TGraphic;
class TMetafile;

// Formatted text drawing flags (the classic DT_* values).
constexpr unsigned DT_LEFT = 0;
constexpr unsigned DT_CENTER = 1;
constexpr unsigned DT_RIGHT = 2;
constexpr unsigned DT_VCENTER = 4; // single line only
constexpr unsigned DT_BOTTOM = 8; // single line only
constexpr unsigned DT_WORDBREAK = 16;
constexpr unsigned DT_SINGLELINE = 32;
constexpr unsigned DT_EXPANDTABS = 64;
constexpr unsigned DT_NOCLIP = 256;
constexpr unsigned DT_EXTERNALLEADING = 512;
constexpr unsigned DT_CALCRECT = 1024; // measure only
constexpr unsigned DT_NOPREFIX = 2048;

// Text alignment (the classic TA_* values): where the reference point of a
// text output lies on the text.
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;
constexpr unsigned TA_HORZ_MASK = 6;
constexpr unsigned TA_VERT_MASK = 24;

// Text output options (the classic ETO_* values).
constexpr unsigned ETO_OPAQUE = 2;
constexpr unsigned ETO_CLIPPED = 4;
// Further ExtTextOut options of text records (never written by Vorel, read
// from any page): glyph indices for characters, no rectangle in a small
// text record, 8-bit characters there, x and y in each advance.
constexpr unsigned ETO_GLYPH_INDEX = 0x10;
constexpr unsigned ETO_NO_RECT = 0x100;
constexpr unsigned ETO_SMALL_CHARS = 0x200;
constexpr unsigned ETO_PDY = 0x2000;

struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

class TCanvas {
public:
    TCanvas();
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // State. Setters of the owned objects copy; the objects report their
    // changes, so a canvas re-selects only what changed.
    TFont* Font() { return FFont.get(); }
    const TFont* Font() const { return FFont.get(); }
    void SetFont(const TFont* font) { FFont->Assign(font); }
    TPen* Pen() { return FPen.get(); }
    const TPen* Pen() const { return FPen.get(); }
    void SetPen(const TPen* pen) { FPen->Assign(pen); }
    TBrush* Brush() { return FBrush.get(); }
    const TBrush* Brush() const { return FBrush.get(); }
    void SetBrush(const TBrush* brush) { FBrush->Assign(brush); }
    TPoint PenPos() const { return FPenPos; }
    void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
    unsigned TextAlign() const { return FTextAlign; }
    void SetTextAlign(unsigned align);

    // Lines: LineTo draws from the pen position to (x, y), that last point
    // excluded, and moves the pen there.
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    // Connected segments; the pen position does not change.
    void Polyline(const QList<TPoint>& points);

    // Shapes in the pen, filled with the brush. The outline lies on Left/Top
    // and on Right - 1/Bottom - 1: the right and bottom coordinates are just
    // outside, as the classic platform draws them.
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    // Corner ellipse width and height in logical units.
    void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
    void Ellipse(int left, int top, int right, int bottom);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    // Fills Left..Right-1 x Top..Bottom-1 with the brush, no outline; a
    // clear brush fills nothing.
    void FillRect(const TRect& r);
    // A one-unit outline painted with the brush (no fill).
    void FrameRect(const TRect& r);

    // Text at a reference point (the text alignment says where on the text
    // it lies; top-left by default), in the font and its colour. A solid
    // brush paints the text cell's background in the brush colour first.
    // A font with an Orientation draws rotated about the reference point.
    void TextOut(int x, int y, const QString& text);
    // The same, clipped to the rectangle.
    void TextRect(const TRect& r, int x, int y, const QString& text);
    // The primitive both of the above use: dx gives each UTF-16 unit's
    // advance (nullptr: the measured advances).
    void ExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx);
    int TextWidth(QStringView text);
    int TextHeight(QStringView text); // the font's ascent + descent; the text is not looked at
    TSize TextExtent(QStringView text) { return {TextWidth(text), TextHeight(text)}; }
    // The face of the current font (measuring without drawing).
    const TFontFace& Face();
    TFontFacePtr FacePtr()
    {
        Face();
        return FFace;
    }

    // Formatted text (the classic DrawText): breaks, aligns and draws text
    // into r, or with DT_CALCRECT only measures it and sets r's bottom (and
    // right, for a single line or a word wider than r) to what the text
    // needs. Returns the height of the text in logical units (with
    // DT_VCENTER or DT_BOTTOM: from r.Top to the bottom of the text).
    int DrawText(const QString& text, TRect& r, unsigned flags);
    // LayoutText in the current face, kept with what it was made from: a
    // text is measured and then painted in the same font and width, and the
    // painting takes the measured layout. The reference holds until the
    // next layout of another text.
    const TTextLayout& Layout(const QString& text, unsigned flags, int width);

    // Pictures: scaled into the rectangle, or at natural size at (x, y).
    void StretchDraw(const TRect& r, const TGraphic& graphic);
    void Draw(int x, int y, const TGraphic& graphic);
    // Bitmap copy: the source part of an image stretched over dest.
    void StretchImage(const TRect& dest, const QImage& image, const TRect& source);
    // A metafile played into dest (its page scaled over the rectangle).
    void PlayMetafile(const TRect& dest, const TMetafile& metafile);

    // Clipping and state: the clip region only ever narrows until a
    // RestoreState or SetClipRect(nullptr).
    void IntersectClipRect(const TRect& r);
    void SetClipRect(const TRect* r); // nullptr: no clipping
    void SaveState();
    void RestoreState();
    // Private data beside the drawing (a page metafile records it as a GDI
    // comment, which players pass over); other canvases drop it.
    virtual void Comment(QByteArrayView /*data*/) {}

    // Logical units per inch of the device the canvas draws on (96 for
    // pages and the preview's page coordinates).
    virtual int PixelsPerInchX() const { return kScreenPixelsPerInch; }
    virtual int PixelsPerInchY() const { return kScreenPixelsPerInch; }

protected:
    // What each canvas implements. State (font, pen, brush, text align) is
    // read from the accessors above; the *Changed flags say what changed
    // since the implementation last looked (it clears them).
    virtual void DoMoveTo(int x, int y) = 0;
    virtual void DoLineTo(int x, int y) = 0;
    virtual void DoPolyline(const QList<TPoint>& points) = 0;
    virtual void DoRectangle(const TRect& r) = 0;
    virtual void DoRoundRect(const TRect& r, int cornerWidth, int cornerHeight) = 0;
    virtual void DoEllipse(const TRect& r) = 0;
    virtual void DoFillRect(const TRect& r) = 0; // with the brush, no outline
    virtual void DoExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx) = 0;
    virtual void DoStretchImage(const TRect& dest, const QImage& image, const TRect& source) = 0;
    virtual void DoPlayMetafile(const TRect& dest, const TMetafile& metafile) = 0;
    virtual void DoIntersectClipRect(const TRect& r) = 0;
    virtual void DoSetClipRect(const TRect* r) = 0;
    virtual void DoSaveState() = 0;
    virtual void DoRestoreState() = 0;
    virtual void DoTextAlignChanged() {}

    bool FFontChanged = true;
    bool FPenChanged = true;
    bool FBrushChanged = true;

private:
    void DrawTextLine(int x, int y, QStringView line, unsigned flags, const TRect& clip, int tabWidth);

    struct TLayoutCache {
        TFontFacePtr Face; // held, so that its address stays its own
        QString Text;
        unsigned Flags = 0; // the flags LayoutText looks at
        int Width = 0;
        TTextLayout Layout;
    };

    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TPen> FPen;
    std::unique_ptr<TBrush> FBrush;
    TFontFacePtr FFace;
    TPoint FPenPos;
    unsigned FTextAlign = TA_LEFT | TA_TOP;
    QList<int> FDxBuffer;
    TLayoutCache FLayoutCache;
};

// The bevel of design-time painting: bottom-left -> top-left -> top-right in
// the light colour, then top-right -> bottom-right -> bottom-left in the
// dark one, with a solid pen of width 1. The corners are the rectangle's own
// coordinates, so the right and bottom edges lie on Right and Bottom.
void DrawBorder(TCanvas& canvas, const TRect& rect, TColor light, TColor dark);

} // namespace vorel
