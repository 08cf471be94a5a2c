#include "designer/layout_rules.h"

#include "auto/report_wizard.h"

#include "model/band.h"
#include "model/report.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vorel {

namespace {
constexpr int kTolerance = 5;   // report pixels around a handle
constexpr int kGrowMargin = 21; // the last band grows this much below a control dragged past it
} // namespace

TKVXControlResize HitZone(int x, int y, int w, int h)
{
    const int halfW = w / 2, halfH = h / 2;
    const bool top = y >= 0 && y < kTolerance + 1;
    const bool bottom = y >= h - kTolerance && y <= h;
    const bool middleY = std::abs(y - halfH) <= kTolerance;
    if (x >= 0 && x < kTolerance + 1) {
        if (top)
            return scrLeftTop;
        if (middleY)
            return scrLeft;
        return bottom ? scrLeftBottom : scrNone;
    }
    if (std::abs(x - halfW) <= kTolerance) {
        if (top)
            return scrTop;
        return bottom ? scrBottom : scrNone;
    }
    if (x >= w - kTolerance && x <= w) {
        if (top)
            return scrRightTop;
        if (middleY)
            return scrRight;
        return bottom ? scrRightBottom : scrNone;
    }
    return scrNone;
}

void ResizeByZone(TKVXControl* c, TKVXControlResize zone, int x, int y)
{
    const int w = c->Width(), h = c->Height();
    auto fromLeft = [&] {
        c->SetWidth(w - x);
        c->SetLeft(c->Left() + x);
    };
    auto fromTop = [&] {
        c->SetHeight(h - y);
        c->SetTop(c->Top() + y);
    };
    switch (zone) {
    case scrLeftTop:
        if (w > x && h > y) {
            fromLeft();
            fromTop();
        }
        break;
    case scrTop:
        if (h > y)
            fromTop();
        break;
    case scrRightTop:
        if (x > 0 && h > y) {
            c->SetWidth(x);
            fromTop();
        }
        break;
    case scrLeft:
        if (w > x)
            fromLeft();
        break;
    case scrRight:
        if (x > 0)
            c->SetWidth(x);
        break;
    case scrLeftBottom:
        if (w > x && y >= 1) {
            fromLeft();
            c->SetHeight(y);
        }
        break;
    case scrBottom:
        if (y > 0)
            c->SetHeight(y);
        break;
    case scrRightBottom:
        if (x >= 1 && y >= 1) {
            c->SetWidth(x);
            c->SetHeight(y);
        }
        break;
    case scrNone:
        break;
    }
}

int SnapToGrid(int value, int step)
{
    if (step < 1)
        step = 1;
    return value / step * step; // C++ division truncates toward zero
}

void FitIntoBands(TKVXControl* control)
{
    TKVXBand* band = control->GetParentBand();
    TKVReport* report = control->Report();
    if (!band || !report)
        return;
    const int index = band->GetBandIndex();
    if (control->Top() < 0) {
        if (TKVXBand* previous = report->GetBand(index - 1)) {
            control->MoveToBand(previous);
            control->SetTop(previous->Height() - control->Height());
        } else {
            control->SetTop(0);
        }
    } else if (control->Top() + control->Height() > band->Height()) {
        if (TKVXBand* next = report->GetBand(index + 1)) {
            control->MoveToBand(next);
            control->SetTop(0);
        } else {
            band->SetHeight(control->Top() + control->Height() + kGrowMargin);
        }
    }
}

QList<TKVXControl*> SelectedControls(const TKVReport* report)
{
    QList<TKVXControl*> result;
    if (!report)
        return result;
    for (TKVXBand* band : report->Bands())
        for (TKVXControl* control : band->Objects())
            if (control->Selected())
                result.append(control);
    return result;
}

int BandClientWidth(const TKVXBand* band)
{
    return std::max(100, band ? band->GetColumnWidth() : 0);
}

int PrintableWidth(const TKVReport* report)
{
    return report ? ReportPrintableWidth(*report) : 1;
}

namespace {

// The inner controls placed at equal steps between the first and the last
// by position. The classic command moved them in selection order and
// divided by n, which bunched them towards the start and could reorder them.
void SpaceEqually(QList<TKVXControl*> controls, bool horizontal)
{
    const qsizetype n = controls.size();
    if (n < 3)
        return;
    auto pos = [horizontal](const TKVXControl* c) { return horizontal ? c->Left() : c->Top(); };
    std::stable_sort(controls.begin(), controls.end(),
                     [&](const TKVXControl* a, const TKVXControl* b) { return pos(a) < pos(b); });
    const qint64 first = pos(controls.first()), span = qint64(pos(controls.last())) - first;
    for (qsizetype i = 1; i + 1 < n; ++i) {
        const int value = int(first + span * i / (n - 1));
        if (horizontal)
            controls[i]->SetLeft(value);
        else
            controls[i]->SetTop(value);
    }
}

} // namespace

void AlignControls(const QList<TKVXControl*>& controls, TAlignCommand command, int bandWidth)
{
    if (controls.isEmpty())
        return;
    if (command == acSpaceHorizontally || command == acSpaceVertically) {
        SpaceEqually(controls, command == acSpaceHorizontally);
        return;
    }
    int minLeft = INT_MAX, maxRight = -INT_MAX, minTop = INT_MAX, maxBottom = -INT_MAX;
    for (const TKVXControl* c : controls) {
        minLeft = std::min(minLeft, c->Left());
        maxRight = std::max(maxRight, c->Left() + c->Width());
        minTop = std::min(minTop, c->Top());
        maxBottom = std::max(maxBottom, c->Top() + c->Height());
    }
    for (TKVXControl* c : controls) {
        switch (command) {
        case acAlignLefts:
            c->SetLeft(minLeft);
            break;
        case acAlignHorizontalCenters:
            c->SetLeft((maxRight + minLeft - c->Width()) / 2);
            break;
        case acCenterHorizontally: {
            const int width = bandWidth >= 0 ? bandWidth : BandClientWidth(c->GetParentBand());
            c->SetLeft((width - c->Width()) / 2);
            break;
        }
        case acAlignRights:
            c->SetLeft(maxRight - c->Width());
            break;
        case acAlignTops:
            c->SetTop(minTop);
            break;
        case acAlignVerticalCenters:
            c->SetTop((maxBottom + minTop - c->Height()) / 2);
            break;
        case acCenterVertically: {
            const int height = c->GetParentBand() ? c->GetParentBand()->Height() : c->Height();
            c->SetTop((height - c->Height()) / 2);
            break;
        }
        case acAlignBottoms:
            c->SetTop(maxBottom - c->Height());
            break;
        case acSpaceHorizontally:
        case acSpaceVertically:
            break;
        }
    }
}

void NudgeControls(const QList<TKVXControl*>& controls, int dx, int dy, bool resize)
{
    for (TKVXControl* c : controls) {
        if (resize) {
            c->SetWidth(std::max(1, c->Width() + dx));
            c->SetHeight(std::max(1, c->Height() + dy));
        } else {
            c->SetLeft(c->Left() + dx);
            c->SetTop(c->Top() + dy);
            FitIntoBands(c);
        }
    }
}

} // namespace vorel
