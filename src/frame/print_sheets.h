#pragma once
// The two rules of a print job that need no printer: the order of the
// sheets (copies, collation, bars) and where a page lies on the sheet.

#include "graphics/graphics_types.h"
#include "graphics/printer.h"

#include <vector>

namespace vorel {

class TPageInfo;

struct TPrintSheet {
    TPageInfo* Page; // the (page, bar) record printed on this sheet
    int Copy;        // from 1
};

// records: the (page, bar) records to print, page-major (page index, then
// bar), as PagesInOrder lists them. Collated: the whole run once per copy
// (1, 2, 3, 1, 2, 3); not collated: every copy of a page, all its bars,
// before the next page (1, 1, 2, 2, 3, 3). Copies below 1 print one.
std::vector<TPrintSheet> PrintSheetOrder(const std::vector<TPageInfo*>& records, int copies, bool collate);

// Where a page of pageWidth x pageHeight report pixels lies on a job's
// canvas (printer pixels, origin at the printable area's corner): the page
// is the whole sheet, so its corner is the sheet's and it keeps its
// physical size; a page larger than the sheet is scaled down to fit.
TRect SheetPlacement(int pageWidth, int pageHeight, const TDeviceCaps& caps);

} // namespace vorel
