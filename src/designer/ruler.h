#pragma once
// TRuler: the designer's rulers. The horizontal one stands above the bands
// and reads 0 at the start margin (where a control's Left of 0 prints) and
// marks the end margin at the printable width; a vertical one stands
// beside each band and reads 0 at the band's top. Lengths are report
// pixels; the ticks and numbers are in the unit the options choose.

#include <QColor>
#include <QWidget>

namespace vorel {

enum TRulerUnit { ruPixels, ruMillimetres, ruInches };
constexpr int kRulerUnitCount = 3;
// The ruler's thickness in screen pixels.
constexpr int kRulerThickness = 20;

class TRuler : public QWidget {
    Q_OBJECT
public:
    TRuler(Qt::Orientation orientation, QWidget* parent = nullptr);

    Qt::Orientation Orientation() const { return FOrientation; }
    // The printable extent in report pixels (the horizontal ruler's end
    // margin); 0: none is marked.
    void SetPrintable(int length);
    int Printable() const { return FPrintable; }
    void SetUnit(TRulerUnit unit);
    TRulerUnit Unit() const { return FUnit; }
    void SetBackground(const QColor& color);

    QSize sizeHint() const override;

    // The tick marks of a ruler `length` report pixels long: position (report
    // pixels), size (0 minor, 1 middle, 2 major with a number) and the number.
    struct TTick {
        int Position;
        int Size;
        int Number;
    };
    static QList<TTick> Ticks(TRulerUnit unit, int length);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation FOrientation;
    int FPrintable = 0;
    TRulerUnit FUnit = ruPixels;
    QColor FBackground{0xDD, 0xDD, 0xDD};
};

} // namespace vorel
