#pragma once
// TBandPanel: one band in the design area, as tall as the band. It paints
// the band's grid and controls (each control paints itself, with its
// handles when selected) and turns the mouse into the designer's edits:
// selecting, moving and sizing controls, inserting from the palette, the
// rubber band, and dragging the band's bottom edge.

#include "model/control.h"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace vorel {

class TKVXBand;
class TKVXDesignerWindow;

class TBandPanel : public QWidget {
    Q_OBJECT
public:
    TBandPanel(TKVXDesignerWindow* window, TKVXBand* band, QWidget* parent = nullptr);

    TKVXBand* Band() const { return FBand; }
    // Follows the band's height and the design width.
    void SyncSize();
    // The topmost control under the point (band coordinates), or nullptr.
    TKVXControl* ControlAt(QPoint point) const;
    // The rubber band while it is dragged (normalised), empty otherwise.
    QRect RubberBand() const { return FRubberActive ? QRect(FRubberOrigin, FRubberEnd).normalized() : QRect(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PressOnControl(TKVXControl* control, QMouseEvent* event);
    void PressOnEmpty(QMouseEvent* event);
    void DragControl(QPoint globalPos);
    void FinishRubberBand();
    void UpdateCursor(QPoint pos);

    TKVXDesignerWindow* FWindow;
    QPointer<TKVXBand> FBand;
    // The control being moved or sized and where the press was (relative to it).
    QPointer<TKVXControl> FDragged;
    QPoint FPressPoint;
    bool FRubberActive = false;
    QPoint FRubberOrigin, FRubberEnd;
    bool FSizingBand = false;
};

} // namespace vorel
