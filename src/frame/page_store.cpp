#include "frame/page_store.h"

#include "foundation/values/byte_io.h"
#include "foundation/values/errors.h"
#include "foundation/values/scratch_file.h"
#include "frame/page_list.h"

#include <limits>
#include <mutex>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vorel {

namespace {

constexpr qint64 kRecordHead = 8 * 4; // the eight integers before the metafile

std::mutex gDefaultsLock;
// 32 MB: about 650 pages of a 50-row table (50 kB each), so ordinary
// reports never touch the disk; at 20,000 pages the rest of the process
// (about 110 MB, see docs/PERFORMANCE.md) stays under 150 MB with it.
TPageStoreSettings gDefaults{};

} // namespace

TPageStoreSettings DefaultPageStoreSettings()
{
    std::lock_guard<std::mutex> lock(gDefaultsLock);
    return gDefaults;
}

void SetDefaultPageStoreSettings(const TPageStoreSettings& settings)
{
    std::lock_guard<std::mutex> lock(gDefaultsLock);
    gDefaults = settings;
}

qint64 ParseByteSize(const QString& text)
{
    QString t = text.trimmed().toUpper();
    if (t.endsWith(u'B') && t.size() > 1 && !t.at(t.size() - 2).isDigit())
        t.chop(1); // "200MB" as "200M"
    qint64 unit = 1;
    if (!t.isEmpty()) {
        switch (t.back().unicode()) {
        case u'K': unit = 1LL << 10; break;
        case u'M': unit = 1LL << 20; break;
        case u'G': unit = 1LL << 30; break;
        case u'T': unit = 1LL << 40; break;
        default: break;
        }
        if (unit > 1)
            t.chop(1);
    }
    bool ok = false;
    const qint64 value = t.toLongLong(&ok);
    if (!ok || value < 0 || value > (std::numeric_limits<qint64>::max() / unit))
        return -1;
    return value * unit;
}

TPageStore::TPageStore() : FSettings(DefaultPageStoreSettings()) {}

TPageStore::~TPageStore()
{
    Reset();
}

void TPageStore::SetSettings(const TPageStoreSettings& settings)
{
    FSettings = settings;
    Enforce(-1);
}

qint64 TPageStore::SpilledBytes() const
{
    return FFile ? FFile->Size() : 0;
}

void TPageStore::Add(TPageInfo& page)
{
    const int key = int(FEntries.size());
    TEntry entry;
    entry.Page = &page;
    FEntries.push_back(entry);
    page.Data->Attach(this, key);
    // A page that comes with its content (read from a stream) counts now.
    if (!page.Data->Empty())
        Changed(*page.Data, key);
}

void TPageStore::RaiseDeferredFailure()
{
    if (FFailure.isEmpty())
        return;
    const QString message = FFailure;
    FFailure.clear();
    throw EStreamError(message, FFailurePlace);
}

void TPageStore::Reset()
{
    for (TEntry& entry : FEntries) {
        if (!entry.Page || !entry.Page->Data || entry.Page->Data->Backing() != this)
            continue;
        // A page that outlives the store (not the usual way: the list frees
        // its pages first) takes its bytes back.
        TMetafile& metafile = *entry.Page->Data;
        if (!metafile.Resident() && entry.Record >= 0) {
            QByteArray bytes;
            FFile->Read(entry.Record + kRecordHead, entry.Size, bytes);
            metafile.RestoreBytes(std::move(bytes));
        }
        metafile.Attach(nullptr, -1);
    }
    FEntries.clear();
    FRecent.clear();
    FResident = 0;
    FFile.reset();
}

void TPageStore::Forget(TEntry& entry)
{
    if (entry.InMemory) {
        FRecent.erase(entry.Recent);
        FResident -= entry.Size;
        entry.InMemory = false;
    }
}

void TPageStore::MakeRecent(int key)
{
    TEntry& entry = FEntries[size_t(key)];
    if (entry.InMemory) {
        FRecent.splice(FRecent.begin(), FRecent, entry.Recent);
        return;
    }
    FRecent.push_front(key);
    entry.Recent = FRecent.begin();
    entry.InMemory = true;
    FResident += entry.Size;
}

void TPageStore::Changed(TMetafile& metafile, int key)
{
    if (key < 0 || size_t(key) >= FEntries.size())
        return;
    TEntry& entry = FEntries[size_t(key)];
    Forget(entry);
    entry.Record = -1; // what the file holds is the old content
    if (FDiscarding) {
        // Counting only: nobody looks at these pages; they go with the
        // second pass's first page.
        metafile.Attach(nullptr, -1);
        metafile.Clear();
        metafile.Attach(this, key);
        entry.Size = 0;
        return;
    }
    entry.Size = metafile.ByteSize();
    if (entry.Size == 0)
        return;
    MakeRecent(key);
    // Called while a canvas closes (in a destructor): nothing may escape.
    try {
        Enforce(key);
    } catch (const EKVXError& e) {
        if (FFailure.isEmpty()) {
            FFailure = QStringLiteral("Cannot keep the prepared pages: %1").arg(e.Message());
            FFailurePlace = e.Place();
        }
    }
}

void TPageStore::Touched(TMetafile& metafile, int key)
{
    if (key < 0 || size_t(key) >= FEntries.size())
        return;
    TEntry& entry = FEntries[size_t(key)];
    if (metafile.Resident()) {
        if (entry.InMemory && FRecent.front() != key)
            MakeRecent(key);
        return;
    }
    // Read back: the record's metafile part.
    QByteArray bytes;
    FFile->Read(entry.Record + kRecordHead, entry.Size, bytes);
    metafile.RestoreBytes(std::move(bytes));
    MakeRecent(key);
    Enforce(key);
}

void TPageStore::Detached(int key)
{
    if (key < 0 || size_t(key) >= FEntries.size())
        return;
    TEntry& entry = FEntries[size_t(key)];
    Forget(entry);
    entry.Page = nullptr;
}

void TPageStore::Enforce(int keep)
{
    // After a failed spill every page stays in memory: none is lost.
    if (FSettings.MemoryLimit <= 0 || !FFailure.isEmpty())
        return;
    while (FResident > FSettings.MemoryLimit && !FRecent.empty()) {
        const int victim = FRecent.back();
        if (victim == keep)
            break; // the page in use stays, whatever its size
        Spill(victim);
    }
}

void TPageStore::Spill(int key)
{
    TEntry& entry = FEntries[size_t(key)];
    TMetafile& metafile = *entry.Page->Data;
    if (entry.Record < 0) {
        if (!FFile)
            FFile = std::make_unique<TScratchFile>(FSettings.Folder);
        const TPageInfo& page = *entry.Page;
        FScratch.resize(0);
        for (const qint32 value : {page.intNumPage, page.intNumBar, page.PageWidth(), page.PageHeight(),
                                   page.OffsetLeft, page.OffsetRight, page.OffsetTop, page.OffsetBottom})
            bytes::writeI32le(FScratch, value);
        // The bytes as they stand; the metafile is not touched (that would
        // make it the most recent page again).
        metafile.Attach(nullptr, -1);
        const QByteArray content = metafile.Bytes();
        metafile.Attach(this, key);
        const qint64 at = FFile->Append(FScratch);
        FFile->Append(content);
        entry.Record = at; // only once the whole record is in
    }
    Forget(entry);
    metafile.DropBytes();
    // A page's bytes are a block of about 50 kB, below the allocator's own
    // mapping threshold: thousands of them freed and made again leave the
    // heap fragmented and the process holding memory it no longer uses
    // (W1 at 1M rows, 20,000 pages: 119 MB at its peak, 94 MB when every
    // 128 spills give the free pages back to the system).
#if defined(__GLIBC__)
    if (++FSpillsSinceTrim >= kSpillsPerTrim) {
        FSpillsSinceTrim = 0;
        malloc_trim(0);
    }
#endif
}

} // namespace vorel
