#include "frame/page_list.h"

namespace vorel {

TPageInfo::TPageInfo() : Data(std::make_unique<TMetafile>())
{
    Data->SetEnhanced(true);
}

TPageInfo::~TPageInfo() = default;

void TPageInfo::SetPageWidth(int pixels)
{
    FPageWidth = pixels;
    Data->SetWidth(pixels);
}

void TPageInfo::SetPageHeight(int pixels)
{
    FPageHeight = pixels;
    Data->SetHeight(pixels);
}

namespace {
quint64 Key(int pageNo, int barNo)
{
    return (quint64(quint32(pageNo)) << 32) | quint32(barNo);
}
} // namespace

TPageList::~TPageList()
{
    Clear();
}

TPageInfo* TPageList::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return FPages[size_t(index)].Page;
}

TPageInfo* TPageList::Add(std::unique_ptr<TPageInfo> page)
{
    // A page that could not be spilled while the previous one closed says
    // so before the next one is made.
    FStore.RaiseDeferredFailure();
    TPageInfo* raw = page.release();
    if (raw) {
        Append(raw, true);
        FStore.Add(*raw);
    }
    return raw;
}

void TPageList::AddShared(TPageInfo* page)
{
    if (page)
        Append(page, false);
}

void TPageList::Append(TPageInfo* page, bool owned)
{
    const int position = Count();
    FPages.push_back({page, owned});
    // Only the first record of a (page, bar) pair is found by Find.
    const quint64 key = Key(page->intNumPage, page->intNumBar);
    if (!FFirstByKey.contains(key))
        FFirstByKey.insert(key, position);
    FMaxPage = std::max(FMaxPage, page->intNumPage);
    FMaxBar = std::max(FMaxBar, page->intNumBar);
}

void TPageList::Clear()
{
    std::vector<TEntry> pages;
    pages.swap(FPages);
    FFirstByKey.clear();
    FMaxPage = -1;
    FMaxBar = -1;
    for (const TEntry& entry : pages) {
        if (entry.Owned)
            delete entry.Page;
    }
    FStore.Reset();
}

TPageInfo* TPageList::Find(int pageNo, int barNo) const
{
    const auto it = FFirstByKey.constFind(Key(pageNo, barNo));
    return it == FFirstByKey.constEnd() ? nullptr : FPages[size_t(it.value())].Page;
}

} // namespace vorel
