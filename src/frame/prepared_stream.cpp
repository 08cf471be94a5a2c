// Prepared-report streams and ".zpg" files: the page list of a print
// component written so that it can be previewed, printed or exported later
// without preparing it again.
//
// Layout (integers 32-bit signed little-endian; a string is a 32-bit count
// and that many bytes in the library-wide Windows code page):
//   signature string ("KVXP" + free text)   reserved string (200 blanks)
//   author, keywords, subject, title strings
//   NumPages, NumBars
//   NumPages x NumBars page records, page-major: page index, bar index,
//   width, height, offsets left, right, top, bottom, then the page's EMF
//   metafile exactly as stored (its header states its length).
//   Then, only when the stored pages have bookmarks (outline entries): the
//   four bytes "KVXO", their count, and per entry its page index, bar
//   index, top (report pixels) and text (a 32-bit byte count and UTF-8,
//   as bookmarks are often in a script the code page lacks). Readers that
//   stop after the pages never see it.
//
// A file holds exactly the records its counts announce: a save of selected
// pages, or of one page per file, states the counts of what it holds, so it
// loads back with exactly the pages written. Readers take the stored page
// and bar indexes as authoritative and never allocate from a count before
// the bytes are there.

#include "export/export_base.h"
#include "foundation/values/byte_io.h"
#include "foundation/values/file_write.h"
#include "foundation/locale/code_page.h"
#include "foundation/values/text_utils.h"
#include "frame/prepared_pages_p.h"
#include "frame/print_component.h"
#include "graphics/metafile_canvas.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <set>

namespace vorel {

namespace {

constexpr int kReservedBlanks = 200;
// Page and bar indexes a stream may store: far above any real report, and
// low enough that page counts (index + 1) never overflow.
constexpr int kMaxStoredIndex = 1 << 24;
// Strings are read in steps of this many bytes, so a count that lies
// allocates no more than the stream holds.
constexpr qint64 kReadStep = 1 << 20;
constexpr char kOutlineTag[] = "KVXO";

QString Signature()
{
    return QStringLiteral("KVXP") + ProductVersionText() + QStringLiteral(" prepared report");
}

// --- writing --------------------------------------------------------------------------------

class TStreamWriter {
public:
    TStreamWriter(QIODevice& out, int codePage, QString target) : FOut(out), FCodePage(codePage), FTarget(std::move(target)) {}

    // The small fields are gathered and written in blocks (files are
    // unbuffered, so that a failure is met where it happens); a page's
    // metafile goes out as it is.
    void Put(QByteArrayView bytes)
    {
        if (FPending.size() + bytes.size() <= kPendingBytes) {
            FPending.append(bytes);
            return;
        }
        Flush();
        if (bytes.size() < kPendingBytes)
            FPending.append(bytes);
        else if (!WriteFully(FOut, bytes))
            Fail();
    }
    void Flush()
    {
        if (!FPending.isEmpty() && !WriteFully(FOut, FPending))
            Fail();
        FPending.clear();
    }
    void Int(qint32 value)
    {
        QByteArray b;
        bytes::writeI32le(b, value);
        Put(b);
    }
    void String(const QString& text)
    {
        const QByteArray encoded = EncodeCodePage(text, FCodePage);
        Int(qint32(encoded.size()));
        Put(encoded);
    }

private:
    static constexpr qsizetype kPendingBytes = 64 * 1024;

    [[noreturn]] void Fail()
    {
        throw EStreamError(FormatText(QStringLiteral("Cannot write the prepared report to %s. %s"),
                                      {FTarget, FOut.errorString()}));
    }

    QIODevice& FOut;
    int FCodePage;
    QString FTarget;
    QByteArray FPending;
};

// The counts a stream of these pages announces: the distinct page indexes
// by the bars when the pages form that rectangle (the usual case), else
// every record as a page of its own bar. Either way their product is the
// number of records that follow.
std::pair<qint32, qint32> Counts(const std::vector<TPageInfo*>& pages)
{
    std::set<int> pageIndexes, barIndexes;
    for (const TPageInfo* p : pages) {
        pageIndexes.insert(p->intNumPage);
        barIndexes.insert(p->intNumBar);
    }
    const qint64 rectangle = qint64(pageIndexes.size()) * qint64(barIndexes.size());
    if (rectangle == qint64(pages.size()))
        return {qint32(pageIndexes.size()), qint32(barIndexes.size())};
    return {qint32(pages.size()), 1};
}

void WriteHeader(TStreamWriter& w, const TKVProperty& properties, std::pair<qint32, qint32> counts)
{
    w.String(Signature());
    w.String(QString(kReservedBlanks, u' '));
    w.String(properties.Author());
    w.String(properties.Keywords());
    w.String(properties.Subject());
    w.String(properties.Title());
    w.Int(counts.first);
    w.Int(counts.second);
}

void WritePage(TStreamWriter& w, const TPageInfo& page)
{
    w.Int(page.intNumPage);
    w.Int(page.intNumBar);
    w.Int(page.PageWidth());
    w.Int(page.PageHeight());
    w.Int(page.OffsetLeft);
    w.Int(page.OffsetRight);
    w.Int(page.OffsetTop);
    w.Int(page.OffsetBottom);
    if (!page.Data->Empty()) {
        w.Put(page.Data->Bytes());
        return;
    }
    // A page that was never drawn on still needs a metafile, or the stream
    // would lose its place: an empty page of the page's size.
    TMetafile blank;
    blank.SetWidth(page.PageWidth());
    blank.SetHeight(page.PageHeight());
    {
        TMetafileCanvas canvas(blank, ProductVersionText(), QString::fromUtf16(kPageDescription));
    }
    w.Put(blank.Bytes());
}

// The bookmarks of the stored pages, in their own order.
void WriteOutlines(TStreamWriter& w, const TKVXOutlines& outlines, const std::vector<TPageInfo*>& pages)
{
    std::set<std::pair<int, int>> stored;
    for (const TPageInfo* page : pages)
        stored.emplace(page->intNumPage, page->intNumBar);
    QList<const TKVXOutline*> kept;
    for (int k = 0; k < outlines.Count(); ++k) {
        const TKVXOutline* outline = outlines.GetOutline(k);
        if (stored.count({outline->PageNo(), outline->BarNo()}))
            kept.append(outline);
    }
    if (kept.isEmpty())
        return;
    w.Put(QByteArrayView(kOutlineTag, 4));
    w.Int(qint32(kept.size()));
    for (const TKVXOutline* outline : std::as_const(kept)) {
        w.Int(outline->PageNo());
        w.Int(outline->BarNo());
        w.Int(outline->Top());
        const QByteArray text = outline->Text().toUtf8();
        w.Int(qint32(text.size()));
        w.Put(text);
    }
}

bool WriteStream(QIODevice& out, const QString& target, int codePage, const TKVProperty& properties,
                 const TKVXOutlines& outlines, const std::vector<TPageInfo*>& pages,
                 const std::function<bool()>& pageWritten = {})
{
    TStreamWriter w(out, codePage, target);
    WriteHeader(w, properties, Counts(pages));
    for (const TPageInfo* page : pages) {
        WritePage(w, *page);
        if (pageWritten && !pageWritten())
            return false;
    }
    WriteOutlines(w, outlines, pages);
    w.Flush();
    return true;
}

// `pageWritten` is called after each page; false from it abandons the file
// (none is created, an existing one stays as it was) and returns false.
bool WriteFile(const QString& fileName, int codePage, const TKVProperty& properties, const TKVXOutlines& outlines,
               const std::vector<TPageInfo*>& pages, const std::function<bool()>& pageWritten)
{
    // A device or pipe is written into; a file is written aside and renamed.
    return WriteWholeFile(fileName, [&](QFileDevice& file) {
        return WriteStream(file, fileName, codePage, properties, outlines, pages, pageWritten);
    });
}

// --- reading --------------------------------------------------------------------------------

class TStreamReader {
public:
    TStreamReader(QIODevice& in, int codePage, QString source) : FIn(in), FCodePage(codePage), FSource(std::move(source)) {}

    const QString& Source() const { return FSource; }

    qint32 Int(const char* what)
    {
        const qint64 at = FIn.pos();
        const QByteArray b = FIn.read(4);
        if (b.size() < 4)
            throw EStreamError(FormatText(QStringLiteral("Prepared report %s ends at byte offset %d while reading %s"),
                                          {FSource, QString::number(at + b.size()), QString::fromLatin1(what)}),
                               Place(at + b.size()));
        return bytes::ByteReader(b).i32le();
    }

    // A string shorter in the stream than its count is read as far as the
    // stream goes; the next field then reports the end.
    QByteArray Bytes(const char* what, bool keep)
    {
        const qint32 count = Int(what);
        QByteArray result;
        qint64 left = std::max<qint32>(count, 0);
        while (left > 0) {
            const QByteArray part = FIn.read(std::min(left, kReadStep));
            if (part.isEmpty())
                break;
            left -= part.size();
            if (keep)
                result += part;
        }
        return result;
    }
    QString String(const char* what) { return DecodeCodePage(Bytes(what, true), FCodePage); }
    void Skip(const char* what) { Bytes(what, false); }

    [[noreturn]] void Fail(qint64 offset, const QString& why)
    {
        throw EStreamError(FormatText(QStringLiteral("Prepared report %s: %s at byte offset %d"),
                                      {FSource, why, QString::number(offset)}),
                           Place(offset));
    }

    // The file read (none for another device) and the offset, as data.
    TErrorPlace Place(qint64 offset) const
    {
        TErrorPlace place;
        if (const auto* file = qobject_cast<const QFile*>(&FIn))
            place.File = file->fileName();
        place.Offset = offset;
        return place;
    }

    QIODevice& Device() { return FIn; }

private:
    QIODevice& FIn;
    int FCodePage;
    QString FSource;
};

QString SourceName(const QIODevice& stream)
{
    if (const auto* file = qobject_cast<const QFile*>(&stream); file && !file->fileName().isEmpty())
        return file->fileName();
    return QStringLiteral("stream");
}

} // namespace

// --- TKVPrintBaseComponent -------------------------------------------------------------------

void TKVPrintBaseComponent::SavePreparedReport(const QString& fileName)
{
    SavePreparedPages(fileName, false, {});
}

void TKVPrintBaseComponent::SavePreparedReportToStream(QIODevice& stream)
{
    // An unprepared report is generated first, without progress dialog or
    // printer set-up; one that still has no pages writes nothing.
    TCancelScope cancel(*this);
    if (!FPrepared) {
        PrepareReport();
        if (cancel.Cancelled())
            DiscardPages();
    }
    if (!FPrepared)
        return;
    WriteStream(stream, SourceName(stream), EffectiveCodePage(GetLanguageShift()), *KVProperty(), *Outlines(),
                PagesInOrder(FPages, nullptr));
}

void TKVPrintBaseComponent::SavePreparedPages(const QString& fileName, bool oneFilePerPage, const QList<int>& pages)
{
    // An empty list means every page (the classic "no list").
    SavePreparedPageList(*this, fileName, oneFilePerPage, pages.isEmpty() ? nullptr : &pages);
}

void SavePreparedPageList(TKVPrintBaseComponent& component, const QString& fileName, bool oneFilePerPage,
                          const QList<int>* pages)
{
    TCancelScope cancel(component);
    if (!component.Prepared()) {
        component.PrepareReport();
        if (cancel.Cancelled()) {
            component.DiscardPages();
            return;
        }
    }
    if (!component.Prepared())
        return;
    const int codePage = EffectiveCodePage(component.GetLanguageShift());
    const TKVProperty& properties = *component.KVProperty();
    const std::vector<TPageInfo*> selected = PagesInOrder(component.Pages(), pages);
    // No file is made when no page is selected.
    if (selected.empty())
        return;
    const TKVXOutlines& outlines = *component.Outlines();
    // Progress after each page; a cancel (the application's request, or
    // the progress dialog's while one is shown) abandons the output.
    const int total = int(selected.size());
    int done = 0;
    const auto pageWritten = [&] {
        ++done;
        if (component.OnOutputProgress)
            component.OnOutputProgress(&component, done, total);
        return !component.CancelPending(component.AnimatedStatus());
    };
    if (component.CancelPending(component.AnimatedStatus()))
        return;
    if (!oneFilePerPage) {
        WriteFile(fileName, codePage, properties, outlines, selected, pageWritten);
        return;
    }
    QStringList written; // removed again when cancelled
    for (TPageInfo* page : selected) {
        const QString pageFile = PageFileName(fileName, page->intNumPage, page->intNumBar);
        const bool existed = QFileInfo::exists(pageFile);
        if (!WriteFile(pageFile, codePage, properties, outlines, {page}, pageWritten)) {
            for (const QString& file : std::as_const(written))
                QFile::remove(file);
            return;
        }
        if (!existed)
            written.append(pageFile);
    }
}

void TKVPrintBaseComponent::LoadPreparedReport(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        TErrorPlace place;
        place.File = fileName;
        throw EStreamError(FormatText(QStringLiteral("Cannot open file \"%s\". %s"), {fileName, file.errorString()}),
                           place);
    }
    LoadPreparedReportFromStream(file);
}

void TKVPrintBaseComponent::LoadPreparedReportFromStream(QIODevice& stream)
{
    // The old pages go first; the component counts as prepared again only
    // when the whole stream has been read. After an error the pages read
    // before it stay in the list.
    FreePages();
    FOutlines->Clear();
    FPrepared = false;
    TStreamReader in(stream, EffectiveCodePage(GetLanguageShift()), SourceName(stream));
    in.Skip("the signature");
    in.Skip("the reserved field");
    TKVProperty* properties = KVProperty();
    properties->SetAuthor(in.String("the author"));
    properties->SetKeywords(in.String("the keywords"));
    properties->SetSubject(in.String("the subject"));
    properties->SetTitle(in.String("the title"));
    const qint32 numPages = in.Int("the page count");
    const qint32 numBars = in.Int("the bar count");
    if (numPages >= 1) {
        // Records are read one at a time; a count the stream does not back
        // ends at the stream's end, after reading what is there.
        const qint64 total = qint64(numPages) * std::max<qint32>(numBars, 0);
        for (qint64 k = 0; k < total; ++k) {
            const qint64 at = stream.pos();
            if (stream.atEnd())
                in.Fail(at, QStringLiteral("the stream ends after %1 of the %2 pages it announces").arg(k).arg(total));
            auto page = std::make_unique<TPageInfo>();
            page->intNumPage = in.Int("a page index");
            page->intNumBar = in.Int("a bar index");
            if (page->intNumPage < 0 || page->intNumPage >= kMaxStoredIndex || page->intNumBar < 0
                || page->intNumBar >= kMaxStoredIndex)
                in.Fail(at, QStringLiteral("page index %1 and bar index %2 are impossible")
                                .arg(page->intNumPage)
                                .arg(page->intNumBar));
            // Stored as read; the metafile's own size comes from its header.
            page->SetPageWidth(in.Int("a page width"));
            page->SetPageHeight(in.Int("a page height"));
            page->OffsetLeft = in.Int("a page offset");
            page->OffsetRight = in.Int("a page offset");
            page->OffsetTop = in.Int("a page offset");
            page->OffsetBottom = in.Int("a page offset");
            const qint64 metafileAt = stream.pos();
            try {
                page->Data->ReadFromStream(stream, in.Source());
            } catch (EKVXError& e) {
                // The message gives the offset in the metafile's terms; the
                // place says in whose file and where the page's metafile starts.
                e.Place().Fill(in.Place(metafileAt));
                throw;
            }
            FPages.Add(std::move(page));
        }
    }
    if (stream.peek(4) == QByteArrayView(kOutlineTag, 4)) {
        stream.skip(4);
        const qint32 count = in.Int("the bookmark count");
        // Each entry reads its fields or raises at the stream's end, so a
        // count the stream does not back costs nothing.
        for (qint32 k = 0; k < count; ++k) {
            const qint32 pageIndex = in.Int("a bookmark's page index");
            const qint32 barIndex = in.Int("a bookmark's bar index");
            const qint32 top = in.Int("a bookmark's top");
            const QString text = QString::fromUtf8(in.Bytes("a bookmark's text", true));
            TKVXOutline* outline = FOutlines->Add();
            outline->SetPageNo(pageIndex);
            outline->SetBarNo(barIndex);
            outline->SetTop(top);
            outline->SetText(text);
        }
    }
    FPrepared = true;
    intCurPage = 0;
    intCurBar = 0;
}

} // namespace vorel
