#pragma once
// Painting one prepared page onto a sheet of any size: the page scaled
// independently in x and y to the sheet, highlight rectangles under it,
// margin lines and an inch grid over it. The preview's sheet, the
// thumbnails and the snapshots share it, so they show a page alike.

#include "foundation/records/font.h"
#include "graphics/graphics_types.h"

#include <QColor>
#include <QList>
#include <QSize>

class QPainter;

namespace vorel {

class TPageInfo;

// A rectangle painted under the page (a find match).
struct TKVXPrevHighlightRect {
    TRect r;                       // page coordinates, report pixels
    TColor Background = clYellow;
};

struct TPagePaintOptions {
    bool ShowMargins = false; // the page offsets as dotted green lines
    bool ShowGrid = false;    // one-inch squares in silver
    const QList<TKVXPrevHighlightRect>* Highlights = nullptr;
};

// Paints page onto the rectangle (0, 0, sheet) of the painter's current
// coordinates: white paper, the highlights, the page's drawing (anti-
// aliased, text at the sheet's own resolution), then margins and grid.
// The painter's state is the same afterwards.
void PaintPage(QPainter& painter, const TPageInfo& page, QSize sheet, const TPagePaintOptions& options);

} // namespace vorel
