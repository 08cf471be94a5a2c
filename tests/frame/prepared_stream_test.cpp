// Prepared-report streams and ".zpg" files.

#include "foundation/values/byte_io.h"
#include "foundation/locale/code_page.h"
#include "frame/print_component.h"
#include "graphics/metafile_canvas.h"
#include "graphics/picture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel::test {
namespace {

// A report of PagesPerBar[bar] pages on each bar, each page saying where it is.
class TStreamReport : public TKVPrintBaseComponent {
public:
    TStreamReport() { SetAnimatedStatus(false); }
    QList<int> PagesPerBar{3};
    int Preparations = 0;
    bool Produce = true;

    void PrepareReport() override
    {
        TKVPrintBaseComponent::PrepareReport();
        ++Preparations;
        if (!Produce)
            return;
        BeginDoc();
        for (int bar = 0; bar < PagesPerBar.size(); ++bar) {
            for (int i = 0; i < PagesPerBar[bar]; ++i) {
                auto page = std::make_unique<TPageInfo>();
                page->intNumPage = i;
                page->intNumBar = bar;
                page->SetPageWidth(300 + bar);
                page->SetPageHeight(200 + i);
                page->OffsetLeft = i;
                page->OffsetRight = bar;
                page->OffsetTop = 7;
                page->OffsetBottom = -3;
                {
                    TMetafileCanvas canvas(*page->Data, QStringLiteral("tests"), QStringLiteral("stream"));
                    canvas.Font()->SetName(QStringLiteral("Arial"));
                    canvas.TextOut(10, 10, QStringLiteral("page %1 bar %2").arg(i).arg(bar));
                    canvas.Rectangle(20, 40, 120, 80);
                }
                Pages().Add(std::move(page));
            }
        }
        EndDoc();
    }
};

// The header fields of a stream and where its page records start.
struct THeader {
    QByteArray Signature;
    QByteArray Reserved;
    QList<QByteArray> Properties; // author, keywords, subject, title
    qint32 NumPages = 0;
    qint32 NumBars = 0;
    qsizetype RecordsAt = 0;
};

THeader ParseHeader(const QByteArray& bytes)
{
    bytes::ByteReader r(bytes);
    THeader h;
    auto string = [&] { return QByteArray(r.Bytes(r.i32le()).toByteArray()); };
    h.Signature = string();
    h.Reserved = string();
    for (int k = 0; k < 4; ++k)
        h.Properties << string();
    h.NumPages = r.i32le();
    h.NumBars = r.i32le();
    h.RecordsAt = r.Offset();
    return h;
}

// (page, bar) of each record, skipping each metafile by its stated size.
QList<QPair<int, int>> RecordKeys(const QByteArray& bytes)
{
    const THeader h = ParseHeader(bytes);
    bytes::ByteReader r(bytes);
    r.Seek(h.RecordsAt);
    QList<QPair<int, int>> keys;
    while (r.Has(32 + 88)) {
        const int page = r.i32le();
        const int bar = r.i32le();
        r.Bytes(24);
        const qsizetype emfStart = r.Offset();
        r.Seek(emfStart + 48);
        const std::uint32_t size = r.u32le();
        r.Seek(emfStart + qsizetype(size));
        keys << qMakePair(page, bar);
    }
    return keys;
}

QByteArray Header(qint32 numPages, qint32 numBars, const QByteArray& title = "t")
{
    QByteArray b;
    auto string = [&](const QByteArray& s) {
        bytes::writeI32le(b, qint32(s.size()));
        b += s;
    };
    string("KVXP hand made");
    string(QByteArray(200, ' '));
    string("a");
    string("k");
    string("s");
    string(title);
    bytes::writeI32le(b, numPages);
    bytes::writeI32le(b, numBars);
    return b;
}

QByteArray SaveToBytes(TKVPrintBaseComponent& report)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    report.SavePreparedReportToStream(buffer);
    return bytes;
}

void LoadFromBytes(TKVPrintBaseComponent& report, const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    report.LoadPreparedReportFromStream(buffer);
}

class PreparedStream : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

TEST_F(PreparedStream, AZpgWrittenAndReadBackGivesByteIdenticalPages)
{
    TStreamReport report;
    report.PagesPerBar = {3, 3};
    report.KVProperty()->SetAuthor(QStringLiteral("Ann"));
    report.KVProperty()->SetTitle(QStringLiteral("Café report"));
    report.KVProperty()->SetSubject(QStringLiteral("Sales"));
    report.KVProperty()->SetKeywords(QStringLiteral("q1, q2"));
    report.PrepareReport();
    report.SavePreparedReport(Path(QStringLiteral("report.zpg")));

    TStreamReport loaded;
    loaded.LoadPreparedReport(Path(QStringLiteral("report.zpg")));
    EXPECT_TRUE(loaded.Prepared());
    EXPECT_EQ(loaded.intCurPage, 0);
    EXPECT_EQ(loaded.KVProperty()->Title(), QStringLiteral("Café report"));
    EXPECT_EQ(loaded.KVProperty()->Author(), QStringLiteral("Ann"));
    EXPECT_EQ(loaded.KVProperty()->Subject(), QStringLiteral("Sales"));
    EXPECT_EQ(loaded.KVProperty()->Keywords(), QStringLiteral("q1, q2"));
    ASSERT_EQ(loaded.Pages().Count(), 6);
    EXPECT_EQ(loaded.GetNumPages(), 3);
    EXPECT_EQ(loaded.GetNumBars(), 2);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 2; ++j) {
            const TPageInfo* a = report.GetPage(i, j);
            const TPageInfo* b = loaded.GetPage(i, j);
            ASSERT_TRUE(b);
            EXPECT_EQ(b->Data->Bytes(), a->Data->Bytes()) << i << "," << j;
            EXPECT_EQ(b->PageWidth(), a->PageWidth());
            EXPECT_EQ(b->PageHeight(), a->PageHeight());
            EXPECT_EQ(b->OffsetLeft, a->OffsetLeft);
            EXPECT_EQ(b->OffsetRight, a->OffsetRight);
            EXPECT_EQ(b->OffsetTop, a->OffsetTop);
            EXPECT_EQ(b->OffsetBottom, a->OffsetBottom);
        }
    }
    // Saved again, the loaded report gives the same file.
    loaded.SavePreparedReport(Path(QStringLiteral("again.zpg")));
    QFile first(Path(QStringLiteral("report.zpg"))), second(Path(QStringLiteral("again.zpg")));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), second.readAll());
}

TEST_F(PreparedStream, ThreePagesOnTwoBarsAreStoredPageMajor)
{
    TStreamReport report;
    report.PagesPerBar = {3, 3};
    report.PrepareReport();
    const QByteArray bytes = SaveToBytes(report);
    const THeader h = ParseHeader(bytes);
    EXPECT_TRUE(h.Signature.startsWith("KVXP"));
    EXPECT_EQ(h.Reserved, QByteArray(200, ' '));
    EXPECT_EQ(h.NumPages, 3);
    EXPECT_EQ(h.NumBars, 2);
    EXPECT_EQ(RecordKeys(bytes),
              (QList<QPair<int, int>>{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}));
}

TEST_F(PreparedStream, StringsAreStoredInTheLibraryCodePage)
{
    TStreamReport report;
    report.KVProperty()->SetTitle(QStringLiteral("Отчёт"));
    report.KVProperty()->SetAuthor(QStringLiteral("Zoë ☃"));
    report.PrepareReport();
    {
        // English: Western code page; a character it lacks becomes '?'.
        const THeader h = ParseHeader(SaveToBytes(report));
        EXPECT_EQ(h.Properties[0], QByteArray("Zo\xEB ?"));
        EXPECT_EQ(h.Properties[3], QByteArray("?????"));
    }
    report.Language()->SetLanguageID(lnRussian);
    const QByteArray bytes = SaveToBytes(report);
    EXPECT_EQ(ParseHeader(bytes).Properties[3], EncodeCodePage(u"Отчёт", 1251));
    TStreamReport loaded;
    loaded.Language()->SetLanguageID(lnRussian);
    LoadFromBytes(loaded, bytes);
    EXPECT_EQ(loaded.KVProperty()->Title(), QStringLiteral("Отчёт"));
}

TEST_F(PreparedStream, AStreamWithNoPagesLoadsAsAPreparedReportWithoutPages)
{
    TStreamReport loaded;
    LoadFromBytes(loaded, Header(0, 5, "empty"));
    EXPECT_TRUE(loaded.Prepared());
    EXPECT_EQ(loaded.Pages().Count(), 0);
    EXPECT_EQ(loaded.KVProperty()->Title(), QStringLiteral("empty"));
}

TEST_F(PreparedStream, SavingAnUnpreparedReportGeneratesItFirst)
{
    TStreamReport report;
    const QByteArray bytes = SaveToBytes(report);
    EXPECT_EQ(report.Preparations, 1);
    EXPECT_EQ(RecordKeys(bytes).size(), 3);

    TStreamReport empty;
    empty.Produce = false;
    EXPECT_TRUE(SaveToBytes(empty).isEmpty()); // still unprepared: nothing written
    empty.SavePreparedReport(Path(QStringLiteral("none.zpg")));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("none.zpg"))));
}

TEST_F(PreparedStream, SavingPagesTwoAndThreeWritesOnlyTheirRecordsAndLoadsBackExactlyThem)
{
    TStreamReport report;
    report.PagesPerBar = {4, 4};
    report.PrepareReport();
    report.SavePreparedPages(Path(QStringLiteral("part.zpg")), false, {2, 3});
    QFile file(Path(QStringLiteral("part.zpg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // The counts state what the file holds, so a reader reads no further.
    EXPECT_EQ(ParseHeader(bytes).NumPages, 2);
    EXPECT_EQ(ParseHeader(bytes).NumBars, 2);
    EXPECT_EQ(RecordKeys(bytes), (QList<QPair<int, int>>{{1, 0}, {1, 1}, {2, 0}, {2, 1}}));
    TStreamReport loaded;
    LoadFromBytes(loaded, bytes);
    ASSERT_EQ(loaded.Pages().Count(), 4);
    EXPECT_EQ(loaded.GetPage(1, 1)->Data->Bytes(), report.GetPage(1, 1)->Data->Bytes());
    EXPECT_EQ(loaded.GetPage(0, 0), nullptr); // stored indexes are kept
}

TEST_F(PreparedStream, OneFilePerPageWritesFilesThatEachLoadWithTheirPage)
{
    TStreamReport report;
    report.PagesPerBar = {2, 2};
    report.PrepareReport();
    report.SavePreparedPages(Path(QStringLiteral("one.zpg")), true, {});
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            TStreamReport loaded;
            loaded.LoadPreparedReport(Path(QStringLiteral("one%1_%2.zpg").arg(i).arg(j)));
            ASSERT_EQ(loaded.Pages().Count(), 1);
            EXPECT_EQ(loaded.Pages().Items(0)->intNumPage, i);
            EXPECT_EQ(loaded.Pages().Items(0)->intNumBar, j);
            EXPECT_EQ(loaded.Pages().Items(0)->Data->Bytes(), report.GetPage(i, j)->Data->Bytes());
        }
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("one.zpg"))));
}

// "text@page,bar,top" of each bookmark, in order.
QStringList OutlineList(const TKVPrintBaseComponent& report)
{
    QStringList out;
    for (int k = 0; k < report.Outlines()->Count(); ++k) {
        const TKVXOutline* o = report.Outlines()->GetOutline(k);
        out << QStringLiteral("%1@%2,%3,%4").arg(o->Text()).arg(o->PageNo()).arg(o->BarNo()).arg(o->Top());
    }
    return out;
}

// Bookmarks follow the pages in their own order and script; a save of some
// pages keeps theirs only; a stream without any replaces a report's old
// ones with none; a list cut short raises naming the place.
TEST_F(PreparedStream, BookmarksOfTheStoredPagesAreKeptAndLoadBack)
{
    TStreamReport report;
    report.PagesPerBar = {3, 3};
    report.PrepareReport();
    for (const auto& [text, page, bar, top] : {std::tuple{u"\u0418\u0442\u043E\u0433\u0438 \u5408\u8A08", 2, 0, 400},
             std::tuple{u"Alpha", 0, 1, 10}, std::tuple{u"", 1, 0, 0}}) {
        TKVXOutline* outline = report.Outlines()->Add();
        outline->SetText(QString::fromUtf16(text));
        outline->SetPageNo(page);
        outline->SetBarNo(bar);
        outline->SetTop(top);
    }
    const QByteArray bytes = SaveToBytes(report);
    TStreamReport loaded;
    LoadFromBytes(loaded, bytes);
    EXPECT_EQ(OutlineList(loaded), OutlineList(report));
    EXPECT_EQ(loaded.Pages().Count(), 6);

    report.SavePreparedPages(Path(QStringLiteral("part.zpg")), false, {1, 2});
    loaded.LoadPreparedReport(Path(QStringLiteral("part.zpg")));
    EXPECT_EQ(OutlineList(loaded), QStringList({QStringLiteral("Alpha@0,1,10"), QStringLiteral("@1,0,0")}));

    EXPECT_THROW(LoadFromBytes(loaded, bytes.chopped(3)), EStreamError);
    EXPECT_EQ(loaded.Pages().Count(), 6); // the pages before the bookmarks

    report.Outlines()->Clear();
    LoadFromBytes(loaded, SaveToBytes(report));
    EXPECT_EQ(OutlineList(loaded), QStringList());
    // Without bookmarks nothing follows the pages: the tag, the count, three
    // entries of four numbers and their UTF-8 texts (17 + 5 + 0 bytes) are gone.
    EXPECT_EQ(SaveToBytes(report).size(), bytes.size() - (4 + 4 + 3 * 16 + 17 + 5));
}

TEST_F(PreparedStream, BarsWithDifferentPageCountsSaveTheirPagesOnly)
{
    // Bar 0 has three pages, bar 1 one: there is no page (1, 1) or (2, 1).
    TStreamReport report;
    report.PagesPerBar = {3, 1};
    report.PrepareReport();
    const QByteArray bytes = SaveToBytes(report);
    EXPECT_EQ(RecordKeys(bytes), (QList<QPair<int, int>>{{0, 0}, {0, 1}, {1, 0}, {2, 0}}));
    TStreamReport loaded;
    LoadFromBytes(loaded, bytes);
    EXPECT_EQ(loaded.Pages().Count(), 4);
}

TEST_F(PreparedStream, AHostilePageCountFailsCleanlyAndFast)
{
    TStreamReport report;
    report.PagesPerBar = {1};
    report.PrepareReport();
    const QByteArray good = SaveToBytes(report);
    const THeader h = ParseHeader(good);
    // The same single record behind counts of 2^31 - 1 by 2^31 - 1.
    QByteArray hostile = Header(0x7FFFFFFF, 0x7FFFFFFF) + good.mid(h.RecordsAt);
    TStreamReport loaded;
    QElapsedTimer timer;
    timer.start();
    try {
        LoadFromBytes(loaded, hostile);
        ADD_FAILURE() << "a stream announcing 2^62 pages loaded";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("after 1 of the"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("byte offset %1").arg(hostile.size()))) << e.Message().toStdString();
        EXPECT_EQ(e.Place().Offset, hostile.size());
        EXPECT_TRUE(e.Place().File.isEmpty()) << "a buffer is no file";
    }
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(loaded.Prepared());
    EXPECT_EQ(loaded.Pages().Count(), 1); // what was read before the end stays
}

TEST_F(PreparedStream, AHostileStringCountReadsOnlyWhatTheStreamHolds)
{
    QByteArray bytes;
    bytes::writeI32le(bytes, 0x7FFFFFFF); // a signature of 2 GB, then 10 bytes
    bytes += "KVXP short";
    TStreamReport loaded;
    try {
        LoadFromBytes(loaded, bytes);
        ADD_FAILURE() << "a truncated stream loaded";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("reserved field"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(loaded.Prepared());
}

TEST_F(PreparedStream, BadPageRecordsStopTheLoadAndKeepThePagesBefore)
{
    TStreamReport report;
    report.PagesPerBar = {2};
    report.PrepareReport();
    const QByteArray good = SaveToBytes(report);
    {
        // The second metafile cut short.
        TStreamReport loaded;
        EXPECT_THROW(LoadFromBytes(loaded, good.left(good.size() - 40)), EInvalidGraphic);
        EXPECT_EQ(loaded.Pages().Count(), 1);
        EXPECT_FALSE(loaded.Prepared());
    }
    {
        // A negative page index.
        QByteArray bad = good;
        const qsizetype at = ParseHeader(good).RecordsAt;
        bad[at] = '\xFF', bad[at + 1] = '\xFF', bad[at + 2] = '\xFF', bad[at + 3] = '\xFF';
        TStreamReport loaded;
        try {
            LoadFromBytes(loaded, bad);
            ADD_FAILURE() << "a page index of -1 loaded";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("page index -1"))) << e.Message().toStdString();
        }
        EXPECT_EQ(loaded.Pages().Count(), 0);
    }
    {
        // Not a metafile where the page image should be.
        QByteArray bad = good;
        const qsizetype emf = ParseHeader(good).RecordsAt + 32;
        bad[emf] = 'X';
        TStreamReport loaded;
        try {
            LoadFromBytes(loaded, bad);
            ADD_FAILURE() << "a page without a metafile loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Place().Offset, emf) << "where the page's metafile starts";
        }
    }
}

TEST_F(PreparedStream, LoadingReplacesThePagesThereWere)
{
    TStreamReport other;
    other.PagesPerBar = {1};
    other.PrepareReport();
    const QByteArray one = SaveToBytes(other);
    TStreamReport report;
    report.PagesPerBar = {3, 3};
    report.PrepareReport();
    LoadFromBytes(report, one);
    EXPECT_EQ(report.Pages().Count(), 1);
}

TEST_F(PreparedStream, AFileThatCannotBeOpenedOrWrittenRaisesNamingIt)
{
    TStreamReport report;
    const QString missing = Path(QStringLiteral("nowhere/x.zpg"));
    try {
        report.LoadPreparedReport(missing);
        ADD_FAILURE();
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().contains(missing));
        EXPECT_EQ(e.Place().File, missing);
    }
    report.PrepareReport();
    // A file cut short: the place names the file and the offset the message gives.
    const QString cut = Path(QStringLiteral("cut.zpg"));
    {
        QFile file(cut);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(SaveToBytes(report).left(10));
    }
    try {
        TStreamReport loaded;
        loaded.LoadPreparedReport(cut);
        ADD_FAILURE();
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Place().File, cut);
        EXPECT_GT(e.Place().Offset, 0);
        EXPECT_TRUE(e.Message().contains(QStringLiteral("byte offset %1").arg(e.Place().Offset))) << e.what();
    }
    EXPECT_THROW(report.SavePreparedReport(missing), EStreamError);
    QByteArray sink;
    QBuffer readOnly(&sink);
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_THROW(report.SavePreparedReportToStream(readOnly), EStreamError);
}

} // namespace
} // namespace vorel::test
