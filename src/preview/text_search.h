#pragma once
// Finding text on prepared pages: which text records of a page match the
// search, by the find dialog's three modes and its case option. Text
// records are read as every export filter reads them (export/
// emf_text_record.h), so 8-bit records are decoded in their code page.

#include "graphics/graphics_types.h"

#include <QList>
#include <QString>

namespace vorel {

class TPageInfo;

// In the order of the dialog's mode list.
enum class TFindMode {
    Beginning,   // the text begins with the search text
    Exact,       // the text is the search text
    AnyPosition, // the search text occurs anywhere in the text
};

struct TKVXFindOptions {
    QString Text;
    TFindMode Mode = TFindMode::AnyPosition;
    bool CaseSensitive = false;
    // Every page of every bar, from the shown page on; else the shown page only.
    bool Global = true;
};

// Whether a record's text (already trimmed) matches. Case is ignored by
// the rules of Unicode (the user's locale does not change them for the
// scripts a report prints). An empty search text matches nothing.
bool TextMatches(const QString& text, const TKVXFindOptions& options);

// The matches on a page: the bounds of each matching text record, grown by
// 1 pixel on every side, in report pixels. codePage decodes 8-bit records.
QList<TRect> FindOnPage(const TPageInfo& page, const TKVXFindOptions& options, int codePage);

} // namespace vorel
