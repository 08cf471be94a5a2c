#include "preview/text_search.h"

#include "export/emf_text_record.h"
#include "frame/page_list.h"
#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"

namespace vorel {

bool TextMatches(const QString& text, const TKVXFindOptions& options)
{
    const QString& wanted = options.Text;
    if (wanted.isEmpty())
        return false;
    const Qt::CaseSensitivity cs = options.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    switch (options.Mode) {
    case TFindMode::Beginning: return text.startsWith(wanted, cs);
    case TFindMode::Exact: return text.compare(wanted, cs) == 0;
    case TFindMode::AnyPosition: return text.contains(wanted, cs);
    }
    return false;
}

QList<TRect> FindOnPage(const TPageInfo& page, const TKVXFindOptions& options, int codePage)
{
    QList<TRect> found;
    if (options.Text.isEmpty() || !page.Data || page.Data->Empty())
        return found;
    TEmfEnumerator records(*page.Data);
    TEmfTextRun run;
    while (records.Next()) {
        const std::uint32_t type = records.Record().Type;
        if (type != EMR_EXTTEXTOUTW && type != EMR_EXTTEXTOUTA && type != EMR_SMALLTEXTOUT)
            continue;
        if (!records.RecordValid() || !DecodeTextRecord(records.Record(), codePage, run))
            continue;
        const QString text = run.Text.trimmed();
        if (!text.isEmpty() && TextMatches(text, options))
            found.append(run.Box);
    }
    return found;
}

} // namespace vorel
