#include "preview/page_preview.h"

#include "preview/preview_icons.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace vorel {

namespace {

constexpr int kShadow = 3; // pixels of the shadow along the sheet's right and bottom edges
// Sheets up to this many device pixels keep their painted picture, so
// scrolling and repainting do not play the page again; larger ones (high
// zooms) are played for the exposed part only.
constexpr qint64 kMaxCachedPixels = 8 * 1024 * 1024;
// The application-workspace colour around the sheet.
const QColor kWorkspace(0xAB, 0xAB, 0xAB);

} // namespace

// pnlPage: the sheet with its shadow; paints the shown page (pbPage).
class TPageSheet : public QWidget {
public:
    explicit TPageSheet(TKVXPagePreview* owner, QWidget* parent) : QWidget(parent), FOwner(owner)
    {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        setMouseTracking(true);
    }

    QSize PageSize() const { return size() - QSize(kShadow, kShadow); }
    void Invalidate()
    {
        FCache = QPixmap();
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        const QSize page = PageSize();
        // The shadow: two black strips, offset down and right.
        painter.fillRect(QRect(page.width(), kShadow, kShadow, page.height()), Qt::black);
        painter.fillRect(QRect(kShadow, page.height(), page.width(), kShadow), Qt::black);
        TPageInfo* info = FOwner->ShownPage();
        if (!info) {
            painter.fillRect(QRect(QPoint(0, 0), page), Qt::white);
        } else {
            TPagePaintOptions options;
            options.ShowMargins = FOwner->ShowMargins();
            options.ShowGrid = FOwner->ShowGrid();
            options.Highlights = &FOwner->HighlightRects();
            const qreal ratio = devicePixelRatioF();
            if (qint64(page.width() * ratio) * qint64(page.height() * ratio) <= kMaxCachedPixels) {
                if (FCache.isNull() || FCache.deviceIndependentSize().toSize() != page) {
                    FCache = QPixmap((QSizeF(page) * ratio).toSize());
                    FCache.setDevicePixelRatio(ratio);
                    QPainter cachePainter(&FCache);
                    PaintPage(cachePainter, *info, page, options);
                }
                painter.drawPixmap(0, 0, FCache);
            } else {
                FCache = QPixmap();
                painter.setClipRect(event->rect().intersected(QRect(QPoint(0, 0), page)));
                PaintPage(painter, *info, page, options);
                painter.setClipping(false);
            }
        }
        // The black frame along the page.
        painter.setPen(QPen(Qt::black, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(0, 0, page.width() - 1, page.height() - 1));
    }

    void mousePressEvent(QMouseEvent* event) override { FOwner->SheetMouse(event); }
    void mouseMoveEvent(QMouseEvent* event) override { FOwner->SheetMouse(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { FOwner->SheetMouse(event); }

private:
    TKVXPagePreview* FOwner;
    QPixmap FCache;
};

TKVXPagePreview::TKVXPagePreview(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundRole(QPalette::Window);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kWorkspace);
    setPalette(pal);
    FContent = new QWidget;
    FContent->setAutoFillBackground(true);
    FContent->setPalette(pal);
    FSheet = new TPageSheet(this, FContent);
    FSheet->hide();
    setWidget(FContent);
    viewport()->installEventFilter(this);
    FZoomInCursor = ZoomCursor(true);
    FZoomOutCursor = ZoomCursor(false);
}

TKVXPagePreview::~TKVXPagePreview() = default;

void TKVXPagePreview::SetReport(TKVPrintBaseComponent* report)
{
    if (FReport != report) {
        if (FReport)
            disconnect(FReport, nullptr, this, nullptr);
        FReport = report;
        if (report)
            connect(report, &QObject::destroyed, this, [this] { ReportDestroyed(); });
    }
    PagesChanged();
}

void TKVXPagePreview::PagesChanged()
{
    FPageNumber = 0;
    FBarNumber = 0;
    FHighlightRects.clear();
    if (FReport && FFollowsReport && FReport->Prepared()) {
        FReport->intCurPage = 0;
        FReport->intCurBar = 0;
    }
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    LayoutPage();
    RepaintSheet();
    PageChanged();
}

void TKVXPagePreview::ReportDestroyed()
{
    // Nothing of the report is read again: the guarded pointer is null
    // from here on (this runs while the report is being destroyed).
    FReport.clear();
    PagesChanged();
}

void TKVXPagePreview::SetPageNumber(int value)
{
    if (!FReport || value < 1 || value - 1 == FPageNumber || value > FReport->GetNumPages())
        return;
    FPageNumber = value - 1;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (FFollowsReport)
        FReport->intCurPage = FPageNumber;
    // Matches belong to the page they were found on.
    FHighlightRects.clear();
    LayoutPage(); // pages of one report may differ in size
    RepaintSheet();
    PageChanged();
    if (PageNumberChangeEvent)
        PageNumberChangeEvent(this);
}

void TKVXPagePreview::SetBarNumber(int value)
{
    if (!FReport || value < 1 || value - 1 == FBarNumber || value > FReport->GetNumBars())
        return;
    FBarNumber = value - 1;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (FFollowsReport)
        FReport->intCurBar = FBarNumber;
    FHighlightRects.clear();
    LayoutPage();
    RepaintSheet();
    PageChanged();
    if (BarNumberChangeEvent)
        BarNumberChangeEvent(this);
}

void TKVXPagePreview::SetZoom(int value)
{
    if (value <= 0)
        value = 100;
    value = ClampZoom(value);
    if (value == FZoom)
        return;
    FZoom = value;
    LayoutPage();
    RepaintSheet();
    if (ZoomChangeEvent)
        ZoomChangeEvent(this);
}

void TKVXPagePreview::SetShowMargins(bool value)
{
    if (value != FShowMargins) {
        FShowMargins = value;
        RepaintSheet();
    }
}

void TKVXPagePreview::SetShowGrid(bool value)
{
    if (value != FShowGrid) {
        FShowGrid = value;
        RepaintSheet();
    }
}

void TKVXPagePreview::SetZoomByClick(TZoomByClick value)
{
    FZoomByClick = value;
    switch (value) {
    case zcNone: FSheet->unsetCursor(); break;
    case zcInc: FSheet->setCursor(FZoomInCursor); break;
    case zcDec: FSheet->setCursor(FZoomOutCursor); break;
    }
}

TPageInfo* TKVXPagePreview::ShownPage() const
{
    return FReport ? FReport->GetPage(FPageNumber, FBarNumber) : nullptr;
}

QWidget* TKVXPagePreview::Sheet() const
{
    return FSheet;
}

QRect TKVXPagePreview::SheetGeometry() const
{
    return QRect(FSheet->pos(), FSheet->PageSize());
}

QSize TKVXPagePreview::ViewportWithoutBars() const
{
    return maximumViewportSize();
}

int TKVXPagePreview::ScrollBarExtent() const
{
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

int TKVXPagePreview::GetZoomFitToWidth() const
{
    const TPageInfo* page = ShownPage();
    if (!page || page->PageWidth() <= 0 || page->PageHeight() <= 0)
        return 100;
    const int o = GetOffset();
    const QSize room = ViewportWithoutBars();
    int zoom = (room.width() - o) * 100 / page->PageWidth();
    // A page taller than the window brings the vertical scroll bar, which
    // takes its width from the room.
    if (zoom * page->PageHeight() / 100 + o > room.height())
        zoom = (room.width() - ScrollBarExtent() - o) * 100 / page->PageWidth();
    return ClampZoom(zoom);
}

int TKVXPagePreview::GetZoomFitToPage() const
{
    const TPageInfo* page = ShownPage();
    if (!page || page->PageWidth() <= 0 || page->PageHeight() <= 0)
        return 100;
    const int o = GetOffset();
    const QSize room = ViewportWithoutBars();
    // The whole page: the smaller of the zooms that fit its height and its width.
    const int byHeight = (room.height() - o) * 100 / page->PageHeight();
    const int byWidth = (room.width() - o) * 100 / page->PageWidth();
    return ClampZoom(std::min(byHeight, byWidth));
}

TKVXPrevHighlightRect& TKVXPagePreview::AddHighlightRect()
{
    FHighlightRects.append(TKVXPrevHighlightRect{});
    return FHighlightRects.last();
}

void TKVXPagePreview::ClearHighlightRects()
{
    FHighlightRects.clear();
}

void TKVXPagePreview::RepaintSheet()
{
    FSheet->Invalidate();
}

void TKVXPagePreview::SetLeftPaneWidth(int pixels)
{
    FLeftPane = std::max(0, pixels);
    setViewportMargins(FLeftPane, 0, 0, 0);
    LayoutPage();
}

void TKVXPagePreview::LayoutPage()
{
    const TPageInfo* page = ShownPage();
    const QSize room = viewport()->size();
    if (!page || page->PageWidth() <= 0 || page->PageHeight() <= 0) {
        FSheet->hide();
        FContent->resize(room);
        return;
    }
    const int o = GetOffset();
    const int extraLeft = GetLeftOffset() - o;
    const int width = FZoom * page->PageWidth() / 100;   // device pixels of the sheet
    const int height = FZoom * page->PageHeight() / 100;
    // Centred when the viewport has room for the sheet and its margins,
    // else half the offset from the edge.
    const int top = room.height() > height + o + 5 ? (room.height() - height - o - 5) / 2 : o / 2;
    const int left = extraLeft + (room.width() > width + o + 5 ? (room.width() - width - o - 5) / 2 : o / 2);
    FSheet->setGeometry(left, top, width + kShadow, height + kShadow);
    FSheet->show();
    const int tail = std::max(o / 2, kShadow);
    FContent->resize(std::max(room.width(), left + width + tail), std::max(room.height(), top + height + tail));
}

void TKVXPagePreview::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    LayoutPage();
}

bool TKVXPagePreview::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport changes size when a scroll bar comes or goes.
    if (watched == viewport() && event->type() == QEvent::Resize)
        LayoutPage();
    return QScrollArea::eventFilter(watched, event);
}

void TKVXPagePreview::wheelEvent(QWheelEvent* event)
{
    // Three scroll-bar increments per notch (120 units), down for negative
    // deltas; high-resolution wheels add up their parts of a notch.
    FWheelRemainder += event->angleDelta().y();
    const int notches = FWheelRemainder / 120;
    FWheelRemainder -= notches * 120;
    if (event->modifiers() & Qt::ControlModifier) {
        // Ctrl with the wheel zooms as a click would, one step per notch.
        for (int i = 0; i < std::abs(notches); ++i)
            SetZoom(notches > 0 ? FZoom * 150 / 100 : FZoom * 100 / 150);
    } else if (notches != 0) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() - notches * 3 * bar->singleStep());
    }
    event->accept();
}

void TKVXPagePreview::SheetMouse(QMouseEvent* event)
{
    const QPoint client = FSheet->mapTo(this, event->position().toPoint());
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const Qt::MouseButton button = event->button();
        if (FReport && FZoomByClick != zcNone && (button == Qt::LeftButton || button == Qt::RightButton)) {
            const QSize page = FSheet->PageSize();
            const qreal relX = page.width() > 0 ? event->position().x() / page.width() : 0;
            const qreal relY = page.height() > 0 ? event->position().y() / page.height() : 0;
            const bool zoomIn = (button == Qt::LeftButton) == (FZoomByClick == zcInc);
            SetZoom(zoomIn ? FZoom * 150 / 100 : FZoom * 100 / 150);
            // The clicked point of the page comes to the middle of the view.
            const QRect sheet = SheetGeometry();
            horizontalScrollBar()->setValue(sheet.left() + int(sheet.width() * relX) - viewport()->width() / 2);
            verticalScrollBar()->setValue(sheet.top() + int(sheet.height() * relY) - viewport()->height() / 2);
        }
        if (OnMouseDown)
            OnMouseDown(this, button, event->modifiers(), client.x(), client.y());
        break;
    }
    case QEvent::MouseMove:
        if (OnMouseMove)
            OnMouseMove(this, Qt::NoButton, event->modifiers(), client.x(), client.y());
        break;
    case QEvent::MouseButtonRelease:
        if (OnMouseUp)
            OnMouseUp(this, event->button(), event->modifiers(), client.x(), client.y());
        break;
    default: break;
    }
}

} // namespace vorel
