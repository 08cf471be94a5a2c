#pragma once
// The page canvas: records the canvas calls as EMF records into a TMetafile.
// Text is written as EMR_EXTCREATEFONTINDIRECTW + EMR_SELECTOBJECT +
// EMR_SETTEXTCOLOR + EMR_EXTTEXTOUTW with a dx array (each character's
// advance from the measuring service); lines as EMR_MOVETOEX + EMR_LINETO;
// shapes as EMR_RECTANGLE, EMR_ROUNDRECT, EMR_ELLIPSE; pictures as
// EMR_STRETCHDIBITS; fills as null-pen rectangles, so that export filters
// never take a background for a picture. A pen and a brush are selected
// explicitly before the first shape (readers disagree about the defaults).
// Objects are created when the canvas's pen, brush or font changed, and the
// one they replace is deleted, so the handle table stays small.
//
// The metafile is complete when the canvas is closed (or destroyed): then
// the header gets its bounds, frame (from the metafile's Width and Height,
// or from the bounds when those are 0), counts and description.

#include "graphics/canvas.h"
#include "graphics/emf_format.h"

#include <optional>
#include <vector>

namespace vorel {

class TMetafile;

class TMetafileCanvas : public TCanvas {
public:
    // creator and description form the metafile's description text.
    TMetafileCanvas(TMetafile& metafile, const QString& creator, const QString& description);
    ~TMetafileCanvas() override;

    // Ends the recording and hands the bytes to the metafile; the canvas
    // draws nothing afterwards.
    void Close();
    bool Closed() const { return FClosed; }

protected:
    void DoMoveTo(int x, int y) override;
    void DoLineTo(int x, int y) override;
    void DoPolyline(const QList<TPoint>& points) override;
    void DoRectangle(const TRect& r) override;
    void DoRoundRect(const TRect& r, int cornerWidth, int cornerHeight) override;
    void DoEllipse(const TRect& r) override;
    void DoFillRect(const TRect& r) override;
    void DoExtTextOut(int x, int y, unsigned options, const TRect* rect, QStringView text, const int* dx) override;
    void Comment(QByteArrayView data) override;
    void DoStretchImage(const TRect& dest, const QImage& image, const TRect& source) override;
    void DoPlayMetafile(const TRect& dest, const TMetafile& metafile) override;
    void DoIntersectClipRect(const TRect& r) override;
    void DoSetClipRect(const TRect* r) override;
    void DoSaveState() override;
    void DoRestoreState() override;
    void DoTextAlignChanged() override;

private:
    std::uint32_t AllocHandle();
    void FreeHandle(std::uint32_t handle);
    void SelectPen();
    void SelectNullPen();
    void SelectBrush();
    void SelectFont();
    void SetBk();
    void SetRop2();
    void ForgetSelections(); // after a restore: re-select before the next use
    int PenExtent() const; // half the pen width beyond the outline, for bounds
    void AddBounds(const TEmfBounds& b) { FBounds.Unite(b); }
    bool Recording() const { return !FClosed; }

    TMetafile& FMetafile;
    QString FCreator;
    QString FDescription;
    TEmfWriter FWriter;
    TEmfBounds FBounds;
    std::vector<bool> FUsedHandles{true}; // index 0: the metafile itself
    int FMaxHandle = 0;
    bool FClosed = false;

    // What the recorded device context has selected and set.
    std::uint32_t FPenHandle = 0; // created for the current pen (0: none / stock)
    std::uint32_t FBrushHandle = 0;
    std::uint32_t FFontHandle = 0;
    std::optional<std::uint32_t> FSelectedPen; // handle or stock index | kStockObject
    std::optional<std::uint32_t> FSelectedBrush;
    std::optional<std::uint32_t> FSelectedFont;
    std::optional<std::uint32_t> FTextColor;
    std::optional<std::uint32_t> FBkColor;
    std::optional<int> FBkMode;
    std::optional<int> FRop2;
    unsigned FWrittenTextAlign = 0;
};

} // namespace vorel
