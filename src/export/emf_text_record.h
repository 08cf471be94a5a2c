#pragma once
// The text of a text record (EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTA,
// EMR_SMALLTEXTOUT) and where it stands, as every text-reading filter takes
// it. One decoder for all filters, so they agree on what a page says.

#include "graphics/emf_enumerator.h"
#include "graphics/graphics_types.h"

#include <QString>

namespace vorel {

struct TEmfTextRun {
    QString Text; // untrimmed
    // Page coordinates in report pixels: the record's bounds enlarged by 1
    // on every side, or the reference point with no extent (EMR_SMALLTEXTOUT,
    // and records that state no bounds).
    TRect Box;
    // Where the control that drew the text put it: the reference point, the
    // output options (ETO_CLIPPED, ETO_OPAQUE) and the clipping or opaquing
    // rectangle, empty when the record states none. A label clips its text
    // to its own box, so this is how a filter learns the control's extent.
    TPoint Reference;
    unsigned Options = 0;
    TRect Clip;
};

// False for records that are not text records, that do not fit their size,
// or that carry glyph indices instead of characters (those name shapes of
// one font, not characters, and would read as garbage). 8-bit characters are
// decoded in the given Windows code page.
bool DecodeTextRecord(const TEmfRecord& record, int codePage, TEmfTextRun& run);

} // namespace vorel
