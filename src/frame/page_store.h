#pragma once
// Where the page metafiles of a page list live. A small report keeps them in
// memory. Once the pages in memory pass the store's memory limit, the least
// recently used ones are written to a scratch file (nameless from the start,
// so nothing is left behind even after a crash) and their bytes dropped;
// reading a page's bytes brings it back, dropping another. The page list's
// pages and their metafiles stay where they are, so GetPage, preview,
// printing, saving and the export filters work unchanged; only the bytes
// come and go.
//
// The file holds page records in the prepared-report stream's record
// layout: page index, bar index, width, height and the four offsets as
// 32-bit little-endian integers, then the page's EMF bytes. A record is
// written once; a page whose content changes afterwards is written anew.

#include "foundation/values/errors.h"
#include "graphics/metafile.h"

#include <QString>
#include <list>
#include <memory>
#include <vector>

namespace vorel {

class TPageInfo;
class TScratchFile;

struct TPageStoreSettings {
    // Bytes of page metafiles kept in memory before pages spill to disk;
    // 0 or less: no limit (every page stays in memory).
    qint64 MemoryLimit = 32LL * 1024 * 1024;
    // The folder of the scratch file; empty: ScratchFolder() (the
    // application's choice, else $TMPDIR or /tmp).
    QString Folder;
};

// The settings new page lists start with. Thread-safe.
TPageStoreSettings DefaultPageStoreSettings();
void SetDefaultPageStoreSettings(const TPageStoreSettings& settings);

// "200M", "1G", "512k", "1048576" (bytes; the suffixes are powers of 1024,
// upper or lower case, an optional "B" after them); -1 for a text that is
// none of these.
qint64 ParseByteSize(const QString& text);

class TPageStore final : public TMetafileBacking {
public:
    TPageStore();
    ~TPageStore() override;
    TPageStore(const TPageStore&) = delete;
    TPageStore& operator=(const TPageStore&) = delete;

    const TPageStoreSettings& Settings() const { return FSettings; }
    // A lower limit takes effect at once; a folder with the next file.
    void SetSettings(const TPageStoreSettings& settings);

    // The page's metafile is kept by this store from now on.
    void Add(TPageInfo& page);
    // Forgets every page (their metafiles keep what they hold in memory)
    // and closes the scratch file.
    void Reset();
    // While set, a page's recorded content is not kept at all: the first
    // pass of a two-pass preparation only counts its pages.
    void SetDiscarding(bool discarding) { FDiscarding = discarding; }

    // Bytes of page metafiles in memory, and in the scratch file.
    qint64 ResidentBytes() const { return FResident; }
    qint64 SpilledBytes() const;
    // Whether pages went to a scratch file since the last Reset.
    bool Spilling() const { return FFile != nullptr; }
    // A page is recorded when its canvas closes, often in a destructor, so
    // a failure to spill (disk full) is not raised there: the store keeps
    // every page in memory from then on and raises the error here, which
    // the page list calls when the next page is added and the frame when
    // the preparation ends.
    void RaiseDeferredFailure();

    // TMetafileBacking
    void Changed(TMetafile& metafile, int key) override;
    void Touched(TMetafile& metafile, int key) override;
    void Detached(int key) override;

private:
    struct TEntry {
        TPageInfo* Page = nullptr; // null once its metafile went away
        qint64 Record = -1;        // where its record starts in the file; -1: not written
        qint64 Size = 0;           // bytes of the metafile, in memory or not
        bool InMemory = false;     // counted in FResident and listed in FRecent
        std::list<int>::iterator Recent;
    };
    void MakeRecent(int key);
    void Forget(TEntry& entry);
    // Spills the least recently used pages until the limit holds; the page
    // keep (just used) stays.
    void Enforce(int keep);
    void Spill(int key);

    TPageStoreSettings FSettings;
    std::vector<TEntry> FEntries; // by key
    std::list<int> FRecent;       // keys of the pages in memory, most recent first
    qint64 FResident = 0;
    bool FDiscarding = false;
    QString FFailure;             // a spill that failed, until raised
    TErrorPlace FFailurePlace;
    std::unique_ptr<TScratchFile> FFile;
    QByteArray FScratch; // record buffer, reused
    static constexpr int kSpillsPerTrim = 128;
    int FSpillsSinceTrim = 0;
};

} // namespace vorel
