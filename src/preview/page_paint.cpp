#include "preview/page_paint.h"

#include "frame/page_list.h"
#include "graphics/printer.h"

#include <QPainter>

namespace vorel {

void PaintPage(QPainter& painter, const TPageInfo& page, QSize sheet, const TPagePaintOptions& options)
{
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), sheet), Qt::white);
    const int pageWidth = page.PageWidth();   // report pixels
    const int pageHeight = page.PageHeight(); // report pixels
    if (pageWidth > 0 && pageHeight > 0 && !sheet.isEmpty()) {
        // The page's logical extent onto the sheet's device extent: x and y
        // scale independently, so a page always fills its sheet.
        painter.scale(qreal(sheet.width()) / pageWidth, qreal(sheet.height()) / pageHeight);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (options.Highlights)
            for (const TKVXPrevHighlightRect& h : *options.Highlights)
                painter.fillRect(QRectF(h.r.Left, h.r.Top, h.r.Width(), h.r.Height()), ToQColor(h.Background));
        if (page.Data && !page.Data->Empty())
            page.Data->Play(painter, QRectF(0, 0, pageWidth, pageHeight));
        // Lines one device pixel wide whatever the zoom.
        painter.setRenderHint(QPainter::Antialiasing, false);
        if (options.ShowMargins) {
            QPen pen(Qt::green, 0, Qt::DotLine);
            painter.setPen(pen);
            const int right = pageWidth - page.OffsetRight;
            const int bottom = pageHeight - page.OffsetBottom;
            painter.drawLine(QPointF(page.OffsetLeft, 0), QPointF(page.OffsetLeft, pageHeight));
            painter.drawLine(QPointF(right, 0), QPointF(right, pageHeight));
            painter.drawLine(QPointF(0, page.OffsetTop), QPointF(pageWidth, page.OffsetTop));
            painter.drawLine(QPointF(0, bottom), QPointF(pageWidth, bottom));
        }
        if (options.ShowGrid) {
            painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0), 0, Qt::SolidLine));
            const int inch = GetScreenPixelsPerInch(); // report pixels per inch
            for (int k = 1; k <= pageWidth / inch; ++k)
                painter.drawLine(QPointF(k * inch, 0), QPointF(k * inch, pageHeight));
            for (int k = 1; k <= pageHeight / inch; ++k)
                painter.drawLine(QPointF(0, k * inch), QPointF(pageWidth, k * inch));
        }
    }
    painter.restore();
}

} // namespace vorel
