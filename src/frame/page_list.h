#pragma once
// The prepared pages of a print component: one page record per page, each
// holding its page as an enhanced metafile, in creation order.

#include "frame/page_store.h"
#include "graphics/metafile.h"

#include <QHash>
#include <memory>
#include <vector>

namespace vorel {

// One prepared page. A page is addressed by (page index within its bar,
// bar index), both from 0.
class TPageInfo {
public:
    TPageInfo();
    ~TPageInfo();
    TPageInfo(const TPageInfo&) = delete;
    TPageInfo& operator=(const TPageInfo&) = delete;

    // Page size in report pixels; setting it sizes the metafile too.
    int PageWidth() const { return FPageWidth; }
    void SetPageWidth(int pixels);
    int PageHeight() const { return FPageHeight; }
    void SetPageHeight(int pixels);

    // Set before the page is added to a list (the list indexes them).
    int intNumPage = 0;
    int intNumBar = 0;
    // Unprintable area or margins in report pixels, copied from the printer
    // settings when the page was created.
    int OffsetLeft = 0;
    int OffsetRight = 0;
    int OffsetTop = 0;
    int OffsetBottom = 0;
    // The page's drawing; owned.
    std::unique_ptr<TMetafile> Data;

private:
    int FPageWidth = 0;
    int FPageHeight = 0;
};

// The page list. It owns the pages given to Add; a composite report's list
// holds pages its member reports own (AddShared), which Clear only forgets.
// The metafiles of the pages it owns are kept by its page store: in memory
// up to the store's limit, beyond it in a scratch file, read back when a
// page's bytes are asked for (page_store.h).
class TPageList {
public:
    TPageList() = default;
    ~TPageList();
    TPageList(const TPageList&) = delete;
    TPageList& operator=(const TPageList&) = delete;

    int Count() const { return int(FPages.size()); }
    TPageInfo* Items(int index) const; // nullptr out of range
    // Takes the page and appends it.
    TPageInfo* Add(std::unique_ptr<TPageInfo> page);
    // Appends a page owned elsewhere (composite reports).
    void AddShared(TPageInfo* page);
    // Frees the pages the list owns and empties it.
    void Clear();

    // 1 + the largest bar index, 0 for an empty list.
    int BarCount() const { return FPages.empty() ? 0 : FMaxBar + 1; }
    // 1 + the largest page index, 0 for an empty list.
    int PageCount() const { return FPages.empty() ? 0 : FMaxPage + 1; }
    // The first page in list order with these indexes, nullptr if none.
    TPageInfo* Find(int pageNo, int barNo) const;

    TPageStore& Store() { return FStore; }
    const TPageStore& Store() const { return FStore; }

private:
    void Append(TPageInfo* page, bool owned);

    struct TEntry {
        TPageInfo* Page;
        bool Owned;
    };
    std::vector<TEntry> FPages;
    QHash<quint64, int> FFirstByKey; // (page, bar) -> position of its first record
    int FMaxPage = -1;
    int FMaxBar = -1;
    TPageStore FStore;
};

} // namespace vorel
