// Preparing and exporting at once: the export filter walks each finished
// page on a second thread while the preparation makes the next one.
//
// The filter gets exactly the calls ExportTo would make, in the same order
// (sizes, StartExport, per page NewPage, offsets, the records,
// PageProcessed; then SaveToFile and EndExport), only the page walks run
// beside the generation. So the file is the same, byte for byte. Pages go
// to the worker as copies of their metafiles (which share the bytes, not
// copy them) through a queue of a few pages: the preparation waits when
// the filter falls behind, so memory stays bounded, and the page store may
// spill the page list's own copies meanwhile.
//
// What the worker runs shares no state with the preparation: the filter is
// its own, and faces (advance tables, QRawFont) are cached per thread. A
// face's font engine belongs to the thread that made it and goes with it,
// so the filter is used and freed on the worker only: after its last page
// the worker also writes the file (SaveToFile, EndExport) and frees it.

#include "export/export_base.h"
#include "foundation/locale/code_page.h"
#include "frame/prepared_pages_p.h"
#include "frame/print_component.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace vorel {

namespace {

// Pages waiting for the filter: enough to ride out a slow page on either
// side, few enough to be a small part of the memory.
constexpr std::size_t kWindow = 8;

class TExportPipeline {
public:
    explicit TExportPipeline(std::unique_ptr<TKVXExport> filter) : FOwned(std::move(filter)), FFilter(*FOwned) {}
    // Without Finish: the filter is dropped unsaved (on the worker when it
    // ran there).
    ~TExportPipeline() { Stop(false); }
    TExportPipeline(const TExportPipeline&) = delete;
    TExportPipeline& operator=(const TExportPipeline&) = delete;

    // The preparation's thread, for each page of the final pass as it is
    // completed; nullptr when the page list begins again.
    void Add(const TPageInfo* page)
    {
        if (FBroken)
            return;
        if (!page) {
            // Begun again after pages were given: they no longer stand for
            // the report.
            if (!FFed.empty())
                FBroken = true;
            return;
        }
        // Bars are made one after the other, but exported page by page:
        // a report of several bars takes the plain way.
        if (page->intNumBar != 0 || (!FFed.empty() && page->intNumPage != FFed.back()->intNumPage + 1)
            || (FFed.empty() && page->intNumPage != 0)) {
            FBroken = true;
            return;
        }
        auto item = std::make_unique<TItem>();
        item->Metafile = std::make_unique<TMetafile>(*page->Data); // shares the bytes
        item->Page = page->intNumPage;
        item->Bar = page->intNumBar;
        if (FFed.empty())
            Start(*item->Metafile);
        FFed.push_back(page);
        std::unique_lock<std::mutex> lock(FLock);
        FRoom.wait(lock, [this] { return FQueue.size() < kWindow; });
        FQueue.push_back(std::move(item));
        FWork.notify_one();
    }

    // Whether the pages given are those ExportTo would walk, in its order.
    bool Matches(const std::vector<TPageInfo*>& listed) const
    {
        return !FBroken && FFed.size() == listed.size() && std::equal(FFed.begin(), FFed.end(), listed.begin());
    }

    // Waits until the filter has walked every page, then has it write
    // fileName with these bookmarks; raises what the filter raised.
    void Finish(const QString& fileName, QList<TKVXExportOutline> outlines)
    {
        FFileName = fileName;
        FOutlines = std::move(outlines);
        Stop(true);
        if (FError)
            std::rethrow_exception(FError);
    }

private:
    struct TItem {
        std::unique_ptr<TMetafile> Metafile;
        int Page = 0;
        int Bar = 0;
    };

    // As ExportTo sizes a single file: the first page's size; the height of
    // every page the first pass counted (a filter that takes pages as they
    // come does not read it).
    void Start(const TMetafile& first)
    {
        FFilter.PageWidth = first.Width();
        FFilter.PageHeight = first.Height();
        FFilter.TotalWidth = first.Width();
        FFilter.TotalHeight = first.Height();
        FThread = std::thread([this] { Run(); });
    }

    void Stop(bool save)
    {
        if (!FThread.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(FLock);
            FClosed = true;
            FSave = save;
            if (!save)
                FQueue.clear(); // pages nobody will read
        }
        FWork.notify_one();
        FThread.join();
    }

    void Run()
    {
        try {
            FFilter.StartExport();
        } catch (...) {
            FError = std::current_exception();
        }
        RunPages();
        if (FSave && !FError) {
            try {
                FFilter.Outlines = FOutlines;
                FFilter.SaveToFile(FFileName);
                FFilter.EndExport();
            } catch (...) {
                FError = std::current_exception();
            }
        }
        FOwned.reset(); // its faces are this thread's
    }

    void RunPages()
    {
        for (;;) {
            std::unique_ptr<TItem> item;
            {
                std::unique_lock<std::mutex> lock(FLock);
                FWork.wait(lock, [this] { return FClosed || !FQueue.empty(); });
                if (FQueue.empty())
                    return;
                item = std::move(FQueue.front());
                FQueue.pop_front();
            }
            FRoom.notify_one();
            // After a failure the rest is only taken off the queue, so the
            // preparation never waits for a filter that stopped.
            if (FError)
                continue;
            try {
                Walk(*item);
            } catch (...) {
                FError = std::current_exception();
            }
        }
    }

    // One page as ExportTo walks it into a single file (bar 0: no offset
    // across; each page below the previous one).
    void Walk(const TItem& item)
    {
        const TMetafile& metafile = *item.Metafile;
        if (item.Page != FCurrentIndex) {
            FRowTop += FRowHeight;
            FRowHeight = 0;
            FCurrentIndex = item.Page;
        }
        FRowHeight = std::max(FRowHeight, metafile.Height());
        FFilter.NewPage(item.Page, item.Bar);
        FFilter.SetOffsetX(metafile.Width() * item.Bar);
        FFilter.SetOffsetY(FRowTop);
        FFilter.EnumerateMetafile(metafile);
        FFilter.PageProcessed(metafile);
    }

    std::unique_ptr<TKVXExport> FOwned;
    TKVXExport& FFilter;
    QString FFileName;
    QList<TKVXExportOutline> FOutlines;
    // The preparation's thread only.
    std::vector<const TPageInfo*> FFed;
    bool FBroken = false;
    // Shared, under FLock.
    std::mutex FLock;
    std::condition_variable FWork, FRoom;
    std::deque<std::unique_ptr<TItem>> FQueue;
    bool FClosed = false;
    bool FSave = false;
    // The worker's only (read by the other side after the join).
    std::exception_ptr FError;
    int FRowTop = 0, FRowHeight = 0, FCurrentIndex = -1; // report pixels; page index
    std::thread FThread;
};

} // namespace

void TKVPrintBaseComponent::PrepareAndExport(const QString& fileName, const QMetaObject* exportClass, int threads)
{
    TCancelScope cancel(*this);
    const auto everyPage = [this] {
        QList<int> numbers;
        for (const TPageInfo* page : PagesInOrder(FPages, nullptr))
            if (numbers.isEmpty() || numbers.back() != page->intNumPage + 1)
                numbers.append(page->intNumPage + 1);
        return numbers;
    };
    const auto plainWay = [&] {
        Prepare();
        if (!FPrepared || cancel.Cancelled() || FPages.Count() == 0)
            return;
        ExportTo(fileName, false, exportClass, everyPage());
    };
    if (threads == 1 || !exportClass || !exportClass->inherits(&TKVXExport::staticMetaObject)) {
        plainWay();
        return;
    }
    QObject* created = exportClass->newInstance(Q_ARG(QObject*, this));
    if (!created)
        throw EKVXError(QStringLiteral("Cannot create the export filter %1").arg(MetaClassName(exportClass)));
    std::unique_ptr<TKVXExport> filter(static_cast<TKVXExport*>(created));
    if (!filter->TakesPagesAsTheyCome()) {
        filter.reset();
        plainWay();
        return;
    }
    // As ExportTo sets the filter up; the bookmarks are made while the
    // report prepares, so they are given after it.
    filter->Properties()->Assign(KVProperty());
    filter->CodePage = EffectiveCodePage(GetLanguageShift());
    if (OnExportFilter)
        OnExportFilter(this, *filter);

    {
        TExportPipeline pipeline(std::move(filter));
        FPageCompleted = [&pipeline](const TPageInfo* page) { pipeline.Add(page); };
        struct TUnhook {
            std::function<void(const TPageInfo*)>& Hook;
            ~TUnhook() { Hook = nullptr; }
        } unhook{FPageCompleted};
        Prepare();
        FPageCompleted = nullptr;
        if (!FPrepared || cancel.Cancelled() || FPages.Count() == 0)
            return; // the filter is dropped unsaved: no file
        if (pipeline.Matches(PagesInOrder(FPages, nullptr))) {
            QList<TKVXExportOutline> outlines;
            for (int k = 0; k < Outlines()->Count(); ++k) {
                const TKVXOutline* outline = Outlines()->GetOutline(k);
                outlines.append({outline->Text(), outline->PageNo(), outline->BarNo(), outline->Top()});
            }
            pipeline.Finish(fileName, std::move(outlines));
            if (OnOutputProgress)
                OnOutputProgress(this, FPages.Count(), FPages.Count());
            return;
        }
    }
    // The pages did not come as one file wants them: the walk so far is
    // dropped, and the prepared pages are exported the plain way.
    ExportTo(fileName, false, exportClass, everyPage());
}

} // namespace vorel
