#pragma once
// TKVXPagePreview: one page of a prepared report on screen, at a chosen
// zoom, with optional margin lines, an inch grid and highlighted matches.
// A scroll area whose content holds the sheet: the page painted by the EMF
// player at the sheet's own resolution, with a drop shadow.
//
// The control keeps a guarded reference to its report: a report freed
// while shown leaves an empty control, never a dangling one.

#include "frame/print_component.h"
#include "preview/page_paint.h"

#include <QCursor>
#include <QPixmap>
#include <QPointer>
#include <QScrollArea>
#include <algorithm>
#include <functional>

class QMouseEvent;

namespace vorel {

class TKVXPreviewEnums {
    Q_GADGET
public:
    enum TZoomByClick { zcNone, zcInc, zcDec };
    Q_ENUM(TZoomByClick)
    Q_CLASSINFO("Doc.zcNone", "A click on the page does nothing.")
    Q_CLASSINFO("Doc.zcInc", "A left click zooms in by half, a right click zooms out.")
    Q_CLASSINFO("Doc.zcDec", "A left click zooms out, a right click zooms in by half.")
};
using TZoomByClick = TKVXPreviewEnums::TZoomByClick;
using enum TKVXPreviewEnums::TZoomByClick;

// The zoom range in percent: zooming out from the smallest zoom stays there.
inline constexpr int kMinZoom = 10;
inline constexpr int kMaxZoom = 2000;
inline int ClampZoom(int percent)
{
    return std::clamp(percent, kMinZoom, kMaxZoom);
}

class TPageSheet;

// Mouse events of the sheet, in the control's client coordinates.
using TPreviewMouseEvent =
    std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;

class TKVXPagePreview : public QScrollArea {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Shows one page of a prepared report at a chosen zoom, with margin lines, an inch grid and "
                       "highlighted text.")
    Q_PROPERTY(int PageNumber READ PageNumber WRITE SetPageNumber)
    Q_CLASSINFO("Doc.PageNumber", "The page shown, from 1.")
    Q_PROPERTY(int BarNumber READ BarNumber WRITE SetBarNumber)
    Q_CLASSINFO("Doc.BarNumber", "The bar (horizontal strip of a report wider than the paper) shown, from 1.")
    Q_PROPERTY(int Zoom READ Zoom WRITE SetZoom)
    Q_CLASSINFO("Doc.Zoom", "The scale in percent (10 to 2000); 0 or less means 100.")
    Q_PROPERTY(bool ShowMargins READ ShowMargins WRITE SetShowMargins)
    Q_CLASSINFO("Doc.ShowMargins", "Draws the page offsets (unprintable area or margins) as dotted green lines.")
    Q_PROPERTY(bool ShowGrid READ ShowGrid WRITE SetShowGrid)
    Q_CLASSINFO("Doc.ShowGrid", "Draws a grid of one-inch squares over the page.")
    Q_PROPERTY(vorel::TKVXPreviewEnums::TZoomByClick ZoomByClick READ ZoomByClick WRITE SetZoomByClick)
    Q_CLASSINFO("Doc.ZoomByClick", "What a click on the page does: nothing, zoom in or zoom out.")
public:
    explicit TKVXPagePreview(QWidget* parent = nullptr);
    ~TKVXPagePreview() override;

    // Setting it shows the first page of the first bar and lays it out.
    TKVPrintBaseComponent* Report() const { return FReport.data(); }
    void SetReport(TKVPrintBaseComponent* report);

    // From 1. A number below 1, beyond the report's pages (or bars), the
    // current one, or any number without a report changes nothing and
    // raises no event.
    int PageNumber() const { return FPageNumber + 1; }
    void SetPageNumber(int value);
    int BarNumber() const { return FBarNumber + 1; }
    void SetBarNumber(int value);
    // Percent; 0 or less gives 100, then kept within the zoom range.
    int Zoom() const { return FZoom; }
    void SetZoom(int value);
    bool ShowMargins() const { return FShowMargins; }
    void SetShowMargins(bool value);
    bool ShowGrid() const { return FShowGrid; }
    void SetShowGrid(bool value);
    TZoomByClick ZoomByClick() const { return FZoomByClick; }
    void SetZoomByClick(TZoomByClick value);

    // The zooms at which the shown page fills the width beside the margin,
    // or shows whole; 100 when there is no page.
    int GetZoomFitToWidth() const;
    int GetZoomFitToPage() const;

    TKVXPrevHighlightRect& AddHighlightRect();
    void ClearHighlightRects();
    const QList<TKVXPrevHighlightRect>& HighlightRects() const { return FHighlightRects; }

    // The margin around the sheet in pixels: 3 for a plain page preview.
    virtual int GetOffset() const { return 3; }
    // The offset plus the width of anything standing in the client area
    // left of the sheet (nothing here: side panes stand beside the viewport).
    virtual int GetLeftOffset() const { return GetOffset(); }

    // Whether navigation moves the report's current page and bar
    // (intCurPage, intCurBar), so that printing "the current page" follows
    // the preview. True for a preview; a thumbnail leaves them alone.
    bool FollowsReport() const { return FFollowsReport; }
    void SetFollowsReport(bool value) { FFollowsReport = value; }

    // The page shown (GetPage of the shown page and bar), or nullptr.
    TPageInfo* ShownPage() const;
    // The sheet widget (pnlPage) and its page area in the content's coordinates.
    QWidget* Sheet() const;
    QRect SheetGeometry() const;

    // Lays the sheet out again (after a size or zoom change).
    void LayoutPage();
    // The report's page list changed (prepared again, loaded) or the report
    // itself: shows the first page of the first bar again, forgets what was
    // painted and the highlights, and lays out.
    virtual void PagesChanged();
    // Repaints the sheet (its cached picture is dropped).
    void RepaintSheet();

    TNotifyEvent PageNumberChangeEvent;
    TNotifyEvent BarNumberChangeEvent;
    TNotifyEvent ZoomChangeEvent;
    TPreviewMouseEvent OnMouseDown;
    TPreviewMouseEvent OnMouseMove;
    TPreviewMouseEvent OnMouseUp;

protected:
    // Called after the page or bar changed, before the events are raised.
    virtual void PageChanged() {}
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Room beside the viewport for side panes (thumbnails, outlines).
    void SetLeftPaneWidth(int pixels);
    int LeftPaneWidth() const { return FLeftPane; }

private:
    friend class TPageSheet;
    void SheetMouse(QMouseEvent* event);
    // The viewport's size when no scroll bar shows, and a scroll bar's width.
    QSize ViewportWithoutBars() const;
    int ScrollBarExtent() const;
    void ReportDestroyed();

    QPointer<TKVPrintBaseComponent> FReport;
    int FPageNumber = 0; // from 0
    int FBarNumber = 0;  // from 0
    int FZoom = 100;
    bool FShowMargins = false;
    bool FShowGrid = false;
    TZoomByClick FZoomByClick = zcNone;
    bool FFollowsReport = true;
    int FLeftPane = 0;
    int FWheelRemainder = 0; // wheel units short of a notch
    QList<TKVXPrevHighlightRect> FHighlightRects;
    QWidget* FContent = nullptr;
    TPageSheet* FSheet = nullptr;
    QCursor FZoomInCursor;
    QCursor FZoomOutCursor;
};

} // namespace vorel
