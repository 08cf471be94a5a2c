#include "designer/ruler.h"

#include "frame/printer_settings.h"

#include <QPainter>
#include <cmath>

namespace vorel {

TRuler::TRuler(Qt::Orientation orientation, QWidget* parent) : QWidget(parent), FOrientation(orientation)
{
    setObjectName(orientation == Qt::Horizontal ? QStringLiteral("HorizontalRuler") : QStringLiteral("VerticalRuler"));
    if (orientation == Qt::Horizontal) {
        setFixedHeight(kRulerThickness);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    } else {
        setFixedWidth(kRulerThickness);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
}

void TRuler::SetPrintable(int length)
{
    FPrintable = std::max(0, length);
    update();
}

void TRuler::SetUnit(TRulerUnit unit)
{
    FUnit = unit;
    update();
}

void TRuler::SetBackground(const QColor& color)
{
    FBackground = color;
    update();
}

QSize TRuler::sizeHint() const
{
    return FOrientation == Qt::Horizontal ? QSize(FPrintable, kRulerThickness) : QSize(kRulerThickness, 1);
}

QList<TRuler::TTick> TRuler::Ticks(TRulerUnit unit, int length)
{
    // Steps in the unit: a minor tick, a middle one, a numbered one.
    // Millimetres: 1, 5, 10 (numbered in centimetres); inches: 1/8, 1/2, 1;
    // pixels: 10, and 50 numbered.
    const double ppi = TKVXPrinter::GetScreenPPI(); // report pixels per inch
    double pixelsPerStep = 10;
    int middle = 5, major = 10, numberDivisor = 1;
    switch (unit) {
    case ruMillimetres:
        pixelsPerStep = ppi / 25.4;
        numberDivisor = 10;
        break;
    case ruInches:
        pixelsPerStep = ppi / 8;
        middle = 4;
        major = 8;
        numberDivisor = 8;
        break;
    case ruPixels:
        major = 5; // bands are often under 100 pixels high: a number every 50
        break;
    }
    QList<TTick> ticks;
    if (length <= 0)
        return ticks;
    ticks.reserve(int(length / pixelsPerStep) + 1);
    for (int step = 0;; ++step) {
        const int position = int(std::lround(step * pixelsPerStep));
        if (position > length)
            break;
        const int size = step % major == 0 ? 2 : step % middle == 0 ? 1 : 0;
        const int number = unit == ruPixels ? step * 10 : step / numberDivisor;
        ticks.append({position, size, number});
    }
    return ticks;
}

void TRuler::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool horizontal = FOrientation == Qt::Horizontal;
    const int length = horizontal ? width() : height();
    painter.fillRect(rect(), FBackground);
    // The printable area is white; past the end margin stays the background.
    const int printable = FPrintable > 0 ? std::min(FPrintable, length) : length;
    painter.fillRect(horizontal ? QRect(0, 0, printable, kRulerThickness) : QRect(0, 0, kRulerThickness, printable),
                     Qt::white);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    for (const TTick& tick : Ticks(FUnit, length)) {
        const int size = tick.Size == 2 ? 9 : tick.Size == 1 ? 6 : 3;
        if (horizontal)
            painter.drawLine(tick.Position, kRulerThickness - size, tick.Position, kRulerThickness - 1);
        else
            painter.drawLine(kRulerThickness - size, tick.Position, kRulerThickness - 1, tick.Position);
        if (tick.Size == 2 && tick.Number > 0) {
            const QString text = QString::number(tick.Number);
            if (horizontal)
                painter.drawText(QRect(tick.Position + 2, 0, 40, kRulerThickness - 8), Qt::AlignLeft | Qt::AlignTop,
                                 text);
            else
                painter.drawText(QRect(1, tick.Position + 1, kRulerThickness - 2, 12), Qt::AlignLeft | Qt::AlignTop,
                                 text);
        }
    }
    // The margins of the printable area: the start at 0, the end at the
    // printable width.
    painter.setPen(QPen(QColor(0x20, 0x50, 0xB0), 2));
    if (horizontal) {
        painter.drawLine(1, 0, 1, kRulerThickness);
        if (FPrintable > 0 && FPrintable <= length)
            painter.drawLine(FPrintable, 0, FPrintable, kRulerThickness);
    }
    painter.setPen(QColor(0x90, 0x90, 0x90));
    if (horizontal)
        painter.drawLine(0, kRulerThickness - 1, length, kRulerThickness - 1);
    else
        painter.drawLine(kRulerThickness - 1, 0, kRulerThickness - 1, length);
}

} // namespace vorel
