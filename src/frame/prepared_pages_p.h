#pragma once
// Shared by saving and exporting pages.
//
// The prepared pages in page-major order (page index 0 with every bar, then
// page index 1, ...), as saving and exporting walk them. Only pages that
// exist are listed, so a report whose bars have different numbers of pages
// (or a loaded stream with far-apart indexes) costs one step per page, not
// one per possible (page, bar) pair.

#include "frame/page_list.h"

#include <QString>

#include <QList>
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace vorel {

// pageNumbers: 1-based page numbers to keep (every bar of a listed page),
// or nullptr for every page. The first record of a (page, bar) pair in list
// order stands for it, as GetPage finds it.
inline std::vector<TPageInfo*> PagesInOrder(const TPageList& list, const QList<int>* pageNumbers)
{
    std::vector<int> wanted;
    if (pageNumbers) {
        wanted.assign(pageNumbers->begin(), pageNumbers->end());
        std::sort(wanted.begin(), wanted.end());
    }
    std::map<std::pair<int, int>, TPageInfo*> byKey;
    for (int i = 0; i < list.Count(); ++i) {
        TPageInfo* page = list.Items(i);
        if (pageNumbers && !std::binary_search(wanted.begin(), wanted.end(), page->intNumPage + 1))
            continue;
        byKey.emplace(std::make_pair(page->intNumPage, page->intNumBar), page);
    }
    std::vector<TPageInfo*> pages;
    pages.reserve(byKey.size());
    for (const auto& entry : byKey)
        pages.push_back(entry.second);
    return pages;
}

class TKVPrintBaseComponent;

// Saves the listed pages (nullptr: every page) in the prepared-report
// format, to one file or one file per page; an empty list saves nothing.
// An unprepared component is generated first.
void SavePreparedPageList(TKVPrintBaseComponent& component, const QString& fileName, bool oneFilePerPage,
                          const QList<int>* pages);

} // namespace vorel
