#include "designer/band_panel.h"

#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/layout_rules.h"
#include "graphics/painter_canvas.h"
#include "model/band.h"
#include "model/report.h"

#include <QMouseEvent>
#include <QPainter>

namespace vorel {

namespace {

constexpr int kBandEdge = 3; // pixels at a band's bottom that drag its height
const QColor kGridColor(0xC0, 0xC0, 0xC0);

Qt::CursorShape ZoneCursor(TKVXControlResize zone)
{
    switch (zone) {
    case scrLeftTop:
    case scrRightBottom:
        return Qt::SizeFDiagCursor;
    case scrRightTop:
    case scrLeftBottom:
        return Qt::SizeBDiagCursor;
    case scrTop:
    case scrBottom:
        return Qt::SizeVerCursor;
    case scrLeft:
    case scrRight:
        return Qt::SizeHorCursor;
    case scrNone:
        break;
    }
    return Qt::SizeAllCursor;
}

QRect ControlRect(const TKVXControl* c)
{
    return QRect(c->Left(), c->Top(), std::max(1, c->Width()), std::max(1, c->Height()));
}

} // namespace

TBandPanel::TBandPanel(TKVXDesignerWindow* window, TKVXBand* band, QWidget* parent)
    : QWidget(parent), FWindow(window), FBand(band)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SyncSize();
}

void TBandPanel::SyncSize()
{
    if (!FBand)
        return;
    int width = BandClientWidth(FBand);
    for (const TKVXControl* c : FBand->Objects())
        width = std::max(width, c->Left() + c->Width() + 1);
    setFixedSize(width, std::max(1, FBand->Height()));
}

TKVXControl* TBandPanel::ControlAt(QPoint point) const
{
    if (!FBand)
        return nullptr;
    // A selected control's handles stick out of nothing, but a point on
    // its edge zone should grab it before a control painted over it.
    for (int i = FBand->ObjectCount() - 1; i >= 0; --i) {
        TKVXControl* c = FBand->Object(i);
        if (c->Selected()) {
            const QPoint rel = point - QPoint(c->Left(), c->Top());
            if (rel.x() >= 0 && rel.y() >= 0 && rel.x() <= c->Width() && rel.y() <= c->Height()
                && HitZone(rel.x(), rel.y(), c->Width(), c->Height()) != scrNone)
                return c;
        }
    }
    for (int i = FBand->ObjectCount() - 1; i >= 0; --i)
        if (ControlRect(FBand->Object(i)).contains(point))
            return FBand->Object(i);
    return nullptr;
}

void TBandPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, Qt::white);
    if (!FBand)
        return;
    const TKVXDOptions& options = FWindow->Designer()->Options();
    if (options.DisplayGrid) {
        const int stepX = options.GridSizeX(), stepY = options.GridSizeY(); // at least 1
        painter.setPen(kGridColor);
        if (stepX >= 4 && stepY >= 4) { // denser grids would only grey the band
            for (int x = area.left() / stepX * stepX; x <= area.right(); x += stepX)
                for (int y = area.top() / stepY * stepY; y <= area.bottom(); y += stepY)
                    painter.drawPoint(x, y);
        }
    }
    {
        TPainterCanvas canvas(&painter);
        for (TKVXControl* c : FBand->Objects())
            if (ControlRect(c).adjusted(-3, -3, 3, 3).intersects(area))
                c->Paint(canvas);
    }
    // The band's name, faint in its bottom right corner, and its lower edge.
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    painter.drawText(rect().adjusted(0, 0, -4, -2), Qt::AlignRight | Qt::AlignBottom, FBand->DisplayName());
    painter.drawLine(0, height() - 1, width(), height() - 1);
    if (FBand->Selected()) {
        painter.setPen(QPen(QColor(0x33, 0x66, 0xCC), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
    if (FRubberActive) {
        QPen pen(Qt::black, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(RubberBand());
    }
}

void TBandPanel::mousePressEvent(QMouseEvent* event)
{
    if (!FBand)
        return;
    setFocus();
    // A drag whose release never came (the button let go over another
    // window) ends here, so that its edit is committed and not left open.
    if (FDragged || FSizingBand) {
        if (FDragged)
            FDragged->SetKVXControlState(scsNothing);
        FDragged = nullptr;
        FSizingBand = false;
        FWindow->History()->Commit();
    }
    const QPoint pos = event->position().toPoint();
    TKVXControl* control = ControlAt(pos);
    if (event->button() == Qt::RightButton) {
        if (control) {
            if (!control->Selected()) {
                FWindow->Designer()->ClearSelected();
                FWindow->Designer()->AddSelected(control);
            }
            FWindow->ShowControlPopup(control, event->globalPosition().toPoint());
        }
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (control)
        PressOnControl(control, event);
    else
        PressOnEmpty(event);
}

void TBandPanel::PressOnControl(TKVXControl* control, QMouseEvent* event)
{
    TKVXDesigner* designer = FWindow->Designer();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (shift && control->Selected()) {
        designer->DeleteSelected(control);
        return;
    }
    // Handles show on selected controls only: a press on one that was not
    // selected selects it and moves it.
    const bool wasSelected = control->Selected();
    if (!wasSelected) {
        if (!shift)
            designer->ClearSelected();
        designer->AddSelected(control);
    }
    const QPoint rel = event->position().toPoint() - QPoint(control->Left(), control->Top());
    const TKVXControlResize zone =
        wasSelected ? HitZone(rel.x(), rel.y(), control->Width(), control->Height()) : scrNone;
    FWindow->History()->Begin(zone == scrNone ? tr("Move") : tr("Size"), SelectedControls(control->Report()));
    FDragged = control;
    FPressPoint = rel;
    control->SetKVXControlResize(zone);
    control->SetKVXControlState(zone == scrNone ? scsMove : scsResize);
    control->update();
}

void TBandPanel::PressOnEmpty(QMouseEvent* event)
{
    TKVXDOptions& options = FWindow->Designer()->Options();
    const QPoint pos = event->position().toPoint();
    if (options.InsertTool >= 2) {
        FWindow->InsertControl(FBand, pos);
        return;
    }
    if (options.InsertTool == 1) {
        options.InsertTool = 0; // the band tool inserts nothing here
        return;
    }
    FWindow->SetCurrentObject(FBand);
    if (pos.y() >= height() - kBandEdge) {
        FWindow->History()->Begin(tr("Band height"), {});
        FSizingBand = true;
        return;
    }
    FRubberActive = true;
    FRubberOrigin = FRubberEnd = pos;
    update();
}

void TBandPanel::DragControl(QPoint globalPos)
{
    TKVXControl* c = FDragged;
    TBandPanel* panel = c ? FWindow->PanelOf(c->GetParentBand()) : nullptr;
    if (!panel)
        return;
    // Relative to the control where it stands now (it may have changed band).
    const QPoint rel = panel->mapFromGlobal(globalPos) - QPoint(c->Left(), c->Top());
    if (c->KVXControlState() == scsResize) {
        ResizeByZone(c, c->KVXControlResize(), rel.x(), rel.y());
        FitIntoBands(c);
        return;
    }
    const TKVXDOptions& options = FWindow->Designer()->Options();
    int left = c->Left() + rel.x() - FPressPoint.x();
    int top = c->Top() + rel.y() - FPressPoint.y();
    if (options.SnapToGrid) {
        left = SnapToGrid(left, options.GridSizeX());
        top = SnapToGrid(top, options.GridSizeY());
    }
    const int dx = left - c->Left(), dy = top - c->Top();
    if (dx == 0 && dy == 0)
        return;
    // The other selected controls keep their places relative to this one.
    const QList<TKVXControl*> selected = SelectedControls(c->Report());
    for (TKVXControl* other : selected) {
        other->SetLeft(other->Left() + dx);
        other->SetTop(other->Top() + dy);
    }
    for (TKVXControl* other : selected) {
        if (other != c)
            FitIntoBands(other);
    }
    FitIntoBands(c);
}

void TBandPanel::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (FDragged) {
        DragControl(event->globalPosition().toPoint());
    } else if (FRubberActive) {
        FRubberEnd = pos;
        update();
    } else if (FSizingBand && FBand) {
        FBand->SetHeight(std::max(1, pos.y()));
    } else {
        UpdateCursor(pos);
    }
    TKVXControl* under = FDragged ? FDragged.data() : ControlAt(pos);
    FWindow->ShowPointer(pos, under ? under->DisplayName() : (FBand ? FBand->DisplayName() : QString()));
}

void TBandPanel::UpdateCursor(QPoint pos)
{
    TKVXControl* c = ControlAt(pos);
    if (c && c->Selected()) {
        const QPoint rel = pos - QPoint(c->Left(), c->Top());
        setCursor(ZoneCursor(HitZone(rel.x(), rel.y(), c->Width(), c->Height())));
    } else if (!c && pos.y() >= height() - kBandEdge) {
        setCursor(Qt::SizeVerCursor);
    } else if (FWindow->Designer()->Options().InsertTool >= 2) {
        setCursor(Qt::CrossCursor);
    } else {
        setCursor(Qt::ArrowCursor);
    }
}

void TBandPanel::FinishRubberBand()
{
    const QRect r = RubberBand();
    FRubberActive = false;
    update();
    // A rectangle reaching outside the band (above or left of it) selects nothing.
    if (!FBand || r.left() < 1 || r.top() < 1 || r.right() < 1 || r.bottom() < 1)
        return;
    TKVXDesigner* designer = FWindow->Designer();
    for (TKVXControl* c : FBand->Objects()) {
        if (ControlRect(c).intersects(r))
            designer->AddSelected(c);
        else
            designer->DeleteSelected(c);
    }
}

void TBandPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (FDragged) {
        TKVXControl* c = FDragged;
        FDragged = nullptr;
        c->SetKVXControlState(scsNothing);
        c->SetKVXControlResize(scrNone);
        FPressPoint = QPoint();
        c->update();
        FWindow->History()->Commit();
        FWindow->SelectionChanged();
    } else if (FRubberActive) {
        FRubberEnd = event->position().toPoint();
        FinishRubberBand();
    } else if (FSizingBand) {
        FSizingBand = false;
        FWindow->History()->Commit();
    }
}

void TBandPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    TKVXControl* control = ControlAt(event->position().toPoint());
    if (control && event->button() == Qt::LeftButton) {
        FWindow->Designer()->ClearSelected();
        FWindow->Designer()->AddSelected(control);
        FWindow->EditProperties();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void TBandPanel::keyPressEvent(QKeyEvent* event)
{
    if (!FWindow->HandleKey(event))
        QWidget::keyPressEvent(event);
}

} // namespace vorel
