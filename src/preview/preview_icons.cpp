#include "preview/preview_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace vorel {

namespace {

constexpr int kIconSize = 24; // pixels of the drawn icons (scaled by Qt for other sizes)

const QColor kInk(0x30, 0x30, 0x30);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kAccent(0x2A, 0x6F, 0xBF);

void Page(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
}

void Lines(QPainter& p, const QRectF& r, int count)
{
    p.setPen(QPen(kInk, 1));
    const qreal step = r.height() / (count + 1);
    for (int i = 1; i <= count; ++i)
        p.drawLine(QPointF(r.left() + 3, r.top() + i * step), QPointF(r.right() - 3, r.top() + i * step));
}

void Magnifier(QPainter& p, QPointF centre, qreal radius, int sign)
{
    p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(kPaper);
    p.drawEllipse(centre, radius, radius);
    const qreal d = radius * 0.72;
    p.drawLine(centre + QPointF(d, d), centre + QPointF(radius * 1.9, radius * 1.9));
    p.setPen(QPen(kAccent, 2));
    const qreal a = radius * 0.5;
    if (sign != 0)
        p.drawLine(centre - QPointF(a, 0), centre + QPointF(a, 0));
    if (sign > 0)
        p.drawLine(centre - QPointF(0, a), centre + QPointF(0, a));
}

// A triangle pointing left (-1) or right (1), with a bar at its tip when barred.
void Arrow(QPainter& p, int direction, bool barred, qreal x)
{
    QPainterPath path;
    const qreal tip = x + (direction > 0 ? 8 : 0), base = x + (direction > 0 ? 0 : 8);
    path.moveTo(base, 6);
    path.lineTo(tip, 12);
    path.lineTo(base, 18);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawPath(path);
    if (barred)
        p.fillRect(QRectF(direction > 0 ? tip : tip - 2, 6, 2, 12), kAccent);
}

void Draw(QPainter& p, TPreviewIcon icon)
{
    switch (icon) {
    case TPreviewIcon::Print:
        Page(p, QRectF(7, 3, 10, 8));
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(0xD8, 0xD8, 0xD8));
        p.drawRoundedRect(QRectF(3, 10, 18, 8), 2, 2);
        Page(p, QRectF(7, 15, 10, 6));
        break;
    case TPreviewIcon::PrinterSetup:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(0xD8, 0xD8, 0xD8));
        p.drawRoundedRect(QRectF(3, 8, 18, 9), 2, 2);
        p.setPen(QPen(kAccent, 2));
        p.drawLine(QPointF(6, 20), QPointF(18, 20));
        p.drawLine(QPointF(9, 4), QPointF(15, 4));
        break;
    case TPreviewIcon::Save:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(4, 4, 16, 16), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(7, 4, 10, 6));
        p.drawRect(QRectF(7, 13, 10, 7));
        break;
    case TPreviewIcon::Open:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(0xF0, 0xC8, 0x5A));
        p.drawRect(QRectF(3, 7, 18, 13));
        p.drawRect(QRectF(3, 5, 7, 2));
        break;
    case TPreviewIcon::OnePage:
        Page(p, QRectF(6, 3, 12, 18));
        Lines(p, QRectF(6, 3, 12, 18), 4);
        break;
    case TPreviewIcon::Zoom100: {
        Page(p, QRectF(4, 4, 16, 16));
        QFont f = p.font();
        f.setPixelSize(8);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kAccent);
        p.drawText(QRectF(4, 4, 16, 16), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    }
    case TPreviewIcon::PageWidth:
        Page(p, QRectF(3, 5, 18, 14));
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        p.drawLine(QPointF(5, 12), QPointF(8, 9));
        p.drawLine(QPointF(5, 12), QPointF(8, 15));
        p.drawLine(QPointF(19, 12), QPointF(16, 9));
        p.drawLine(QPointF(19, 12), QPointF(16, 15));
        break;
    case TPreviewIcon::ZoomIn: Magnifier(p, QPointF(10, 10), 6, 1); break;
    case TPreviewIcon::ZoomOut: Magnifier(p, QPointF(10, 10), 6, -1); break;
    case TPreviewIcon::FirstPage: Arrow(p, -1, true, 9); break;
    case TPreviewIcon::PriorPage: Arrow(p, -1, false, 8); break;
    case TPreviewIcon::NextPage: Arrow(p, 1, false, 8); break;
    case TPreviewIcon::LastPage: Arrow(p, 1, true, 7); break;
    case TPreviewIcon::Find:
        Page(p, QRectF(3, 3, 13, 17));
        Lines(p, QRectF(3, 3, 13, 17), 4);
        Magnifier(p, QPointF(15, 14), 4, 0);
        break;
    case TPreviewIcon::Thumbnails:
        for (int i = 0; i < 3; ++i)
            Page(p, QRectF(3 + 6.5 * i, 7, 5, 9));
        break;
    case TPreviewIcon::Outlines:
        p.setPen(QPen(kInk, 1.2));
        for (int i = 0; i < 4; ++i) {
            const qreal y = 5 + 4.5 * i, x = (i == 0 || i == 3) ? 4 : 8;
            p.fillRect(QRectF(x, y - 1, 2.5, 2.5), kAccent);
            p.drawLine(QPointF(x + 4, y), QPointF(20, y));
        }
        break;
    case TPreviewIcon::Margins:
        Page(p, QRectF(4, 3, 16, 18));
        p.setPen(QPen(QColor(0x10, 0x90, 0x10), 1, Qt::DotLine));
        p.drawRect(QRectF(7, 6, 10, 12));
        break;
    case TPreviewIcon::Grid:
        Page(p, QRectF(3, 3, 18, 18));
        p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
        for (int k = 1; k < 3; ++k) {
            p.drawLine(QPointF(3 + 6 * k, 3), QPointF(3 + 6 * k, 21));
            p.drawLine(QPointF(3, 3 + 6 * k), QPointF(21, 3 + 6 * k));
        }
        break;
    case TPreviewIcon::Close:
        p.setPen(QPen(QColor(0xB0, 0x30, 0x30), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    }
}

const char* ThemeName(TPreviewIcon icon)
{
    switch (icon) {
    case TPreviewIcon::Print: return "document-print";
    case TPreviewIcon::Save: return "document-save-as";
    case TPreviewIcon::Open: return "document-open";
    case TPreviewIcon::ZoomIn: return "zoom-in";
    case TPreviewIcon::ZoomOut: return "zoom-out";
    case TPreviewIcon::Zoom100: return "zoom-original";
    case TPreviewIcon::PageWidth: return "zoom-fit-width";
    case TPreviewIcon::OnePage: return "zoom-fit-best";
    case TPreviewIcon::FirstPage: return "go-first";
    case TPreviewIcon::PriorPage: return "go-previous";
    case TPreviewIcon::NextPage: return "go-next";
    case TPreviewIcon::LastPage: return "go-last";
    case TPreviewIcon::Find: return "edit-find";
    case TPreviewIcon::Close: return "window-close";
    default: return nullptr;
    }
}

QPixmap DrawnPixmap(TPreviewIcon icon, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / kIconSize, qreal(size) / kIconSize);
    Draw(p, icon);
    return pixmap;
}

} // namespace

QIcon PreviewIcon(TPreviewIcon icon)
{
    if (const char* name = ThemeName(icon); name && QIcon::hasThemeIcon(QLatin1String(name)))
        return QIcon::fromTheme(QLatin1String(name));
    QIcon drawn;
    for (int size : {16, 24, 32, 48})
        drawn.addPixmap(DrawnPixmap(icon, size));
    return drawn;
}

QCursor ZoomCursor(bool zoomIn)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    Magnifier(p, QPointF(12, 12), 8, zoomIn ? 1 : -1);
    p.end();
    return QCursor(pixmap, 12, 12);
}

QPixmap OutlineIcon()
{
    // A bookmark ribbon on a leaf of paper.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 1.5, 10, 13));
    QPainterPath ribbon;
    ribbon.moveTo(8, 1);
    ribbon.lineTo(12, 1);
    ribbon.lineTo(12, 9);
    ribbon.lineTo(10, 7);
    ribbon.lineTo(8, 9);
    ribbon.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawPath(ribbon);
    return pixmap;
}

} // namespace vorel
