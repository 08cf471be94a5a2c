#pragma once
// The designer's geometry rules, on the report model alone (no widgets), so
// that the window, the keyboard and the tests share one implementation:
// which handle is under the pointer, what a drag on a handle or a move does,
// which band a dragged control ends up in, the alignment and spacing
// commands, and keyboard moves and sizing. All lengths are report pixels.

#include "model/control.h"

#include <QList>

namespace vorel {

class TKVXBand;
class TKVReport;

// The handle zone under (x, y), relative to a control of width w and height
// h: the corner and edge handles within 5 pixels, scrNone elsewhere (the
// move zone).
TKVXControlResize HitZone(int x, int y, int w, int h);

// A drag on a handle with the pointer at (x, y) relative to the control:
// the edges follow the pointer, never past the opposite edge (a control is
// always at least 1 pixel wide and high).
void ResizeByZone(TKVXControl* control, TKVXControlResize zone, int x, int y);

// The new Left (or Top) of a moved control: snapped toward zero to a
// multiple of the grid step when asked.
int SnapToGrid(int value, int step);

// After a move or resize: a control above its band's top moves to the
// previous band (bottom-aligned; Top 0 in the first band), one past the
// bottom to the next band (Top 0); past the last band's bottom the band
// grows to the control's bottom plus 21 pixels.
void FitIntoBands(TKVXControl* control);

// The selected controls of every band, bands in order, each band's
// controls in Objects order.
QList<TKVXControl*> SelectedControls(const TKVReport* report);

// The ten alignment commands in toolbar order.
enum TAlignCommand {
    acAlignLefts,
    acAlignHorizontalCenters,
    acCenterHorizontally,
    acSpaceHorizontally,
    acAlignRights,
    acAlignTops,
    acAlignVerticalCenters,
    acCenterVertically,
    acSpaceVertically,
    acAlignBottoms
};
constexpr int kAlignCommandCount = 10;

// Applies an alignment command to the controls (the selection, in band
// order). bandWidth/bandHeight: the client size of a control's band for the
// centring commands (taken per control from its band when negative).
// Spacing orders the controls by position and places the inner ones at
// equal steps between the first and the last; with fewer than three it
// moves nothing.
void AlignControls(const QList<TKVXControl*>& controls, TAlignCommand command, int bandWidth = -1);

// The width of the design area of a band: the column width of the report's
// paper (at least 100 pixels).
int BandClientWidth(const TKVXBand* band);

// The printable width of the report's sheet in report pixels: the paper's
// width less the start and end margins (the page offsets new pages get),
// which the horizontal ruler marks. At least 1.
int PrintableWidth(const TKVReport* report);

// Ctrl + arrow: moves by one pixel; Shift + arrow: Left/Up shrink the
// width/height (never below 1), Right/Down grow it. dx, dy in {-1, 0, 1}.
void NudgeControls(const QList<TKVXControl*>& controls, int dx, int dy, bool resize);

} // namespace vorel
