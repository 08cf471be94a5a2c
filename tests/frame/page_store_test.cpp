// The page store: pages past the memory limit wait in a nameless scratch
// file and come back byte for byte; nothing is left on disk whatever way
// the work ends.

#include "export/text_export.h"
#include "export/pdf_export.h"
#include "frame/frame_test_support.h"
#include "frame/page_store.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel::test {
namespace {

// Pages of different lengths, so records of the scratch file differ in size.
class TLongReport : public TKVPrintComponent {
public:
    TLongReport()
    {
        SetAnimatedStatus(false);
        Font()->SetName(QStringLiteral("Arial"));
    }
    int PageCount = 40;
    int Bars = 1;
    int CancelAtPage = -1;
    int FailAtPage = -1;
    std::function<void(TLongReport&)> OnPage;

    void PrepareReport() override
    {
        TKVPrintComponent::PrepareReport();
        BeginDoc();
        for (int bar = 0; bar < Bars; ++bar) {
            for (int i = 0; i < PageCount; ++i) {
                NewPage(bar > 0 && i == 0);
                for (int line = 0; line <= i % 7; ++line)
                    MFCanvas()->TextOut(40, 40 + 20 * line, QStringLiteral("page %1 bar %2 line %3").arg(i).arg(bar).arg(line));
                if (i == 3) {
                    // A bookmark, which the PDF places only at its end.
                    TKVXOutline* outline = Outlines()->Add();
                    outline->SetText(QStringLiteral("page 4 bar %1").arg(bar));
                    outline->SetPageNo(i);
                    outline->SetBarNo(bar);
                    outline->SetTop(40);
                }
                if (OnPage)
                    OnPage(*this);
                if (i == CancelAtPage)
                    RequestCancel();
                if (i == FailAtPage)
                    throw EKVXError(QStringLiteral("generation failed on purpose"));
                if (CancelPending(false))
                    return;
            }
        }
        EndDoc();
    }
};

TPageStoreSettings Limit(qint64 bytes, const QString& folder = {})
{
    TPageStoreSettings settings;
    settings.MemoryLimit = bytes;
    settings.Folder = folder;
    return settings;
}

// The files this process holds open inside folder (a nameless file shows
// as "folder/#inode (deleted)" or "folder/ (deleted)").
QStringList OpenFilesIn(const QString& folder)
{
    QStringList open;
    const QString canonical = QDir(folder).canonicalPath();
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(canonical + u'/'))
            open << target;
    }
    return open;
}

QStringList NamesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QByteArray SavedStream(TKVPrintBaseComponent& report)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    report.SavePreparedReportToStream(buffer);
    return buffer.data();
}

QByteArray ReadFile(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void FixDate(TLongReport& report)
{
    report.OnExportFilter = [](QObject*, TKVXExport& filter) {
        static_cast<TKVXExportToPDF&>(filter).CreationDate = QDateTime(QDate(2024, 6, 11), QTime(12, 0), Qt::UTC);
    };
}

TEST(PageStore, SpilledPagesComeBackByteForByteInAnyOrder)
{
    ScopedFakePrinters printers;
    QTemporaryDir folder;
    TLongReport inMemory, spilled;
    inMemory.Bars = spilled.Bars = 2;
    inMemory.SetPageStoreSettings(Limit(0));
    spilled.SetPageStoreSettings(Limit(1, folder.path())); // every page but the one in use spills
    inMemory.Prepare();
    spilled.Prepare();
    ASSERT_EQ(spilled.GetNumPages(), 40);
    EXPECT_FALSE(inMemory.Pages().Store().Spilling());
    EXPECT_TRUE(spilled.Pages().Store().Spilling());
    EXPECT_GT(spilled.Pages().Store().SpilledBytes(), 0);

    // Backwards, then forwards: each read drops the page read before.
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < 80; ++k) {
            const int n = pass == 0 ? 79 - k : k;
            const TPageInfo* a = inMemory.GetPage(n % 40, n / 40);
            const TPageInfo* b = spilled.GetPage(n % 40, n / 40);
            ASSERT_TRUE(a && b);
            ASSERT_EQ(a->Data->Bytes(), b->Data->Bytes()) << "page " << n % 40 << " bar " << n / 40;
            EXPECT_FALSE(b->Data->Empty());
            EXPECT_LE(spilled.Pages().Store().ResidentBytes(), b->Data->ByteSize());
        }
    }
    // The saved stream and an export read every page through the store.
    EXPECT_EQ(SavedStream(inMemory), SavedStream(spilled));
    const QString a = folder.filePath(QStringLiteral("a.txt")), b = folder.filePath(QStringLiteral("b.txt"));
    inMemory.ExportTo(a, false, &TKVXExportToText::staticMetaObject, {});
    spilled.ExportTo(b, false, &TKVXExportToText::staticMetaObject, {});
    QFile fa(a), fb(b);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
    EXPECT_EQ(fa.readAll(), fb.readAll());

    // A copy holds its own bytes and outlives the store's pages.
    const TMetafile copy(*spilled.GetPage(3, 1)->Data);
    spilled.FreePages();
    EXPECT_EQ(copy.Bytes(), inMemory.GetPage(3, 1)->Data->Bytes());
}

TEST(PageStore, ALoadedReportSpillsAsItIsReadAndSavesTheSameStream)
{
    ScopedFakePrinters printers;
    TLongReport source;
    source.SetPageStoreSettings(Limit(0));
    source.Prepare();
    const QByteArray stream = SavedStream(source);

    TKVPrintBaseComponent loaded;
    loaded.SetPageStoreSettings(Limit(4096));
    QBuffer in;
    in.setData(stream);
    in.open(QIODevice::ReadOnly);
    loaded.LoadPreparedReportFromStream(in);
    EXPECT_TRUE(loaded.Pages().Store().Spilling());
    EXPECT_LE(loaded.Pages().Store().ResidentBytes(), 4096 + source.GetPage(39, 0)->Data->ByteSize());
    EXPECT_EQ(SavedStream(loaded), stream);
}

TEST(PageStore, TheScratchFileHasNoNameAndIsGoneAfterSuccessFailureAndCancel)
{
    ScopedFakePrinters printers;
    QTemporaryDir folder;
    struct TCase {
        const char* how;
        int failAt;
        int cancelAt;
    };
    for (const TCase& c : {TCase{"success", -1, -1}, TCase{"failure", 30, -1}, TCase{"cancel", -1, 30}}) {
        SCOPED_TRACE(c.how);
        QStringList seenDuringWork;
        QStringList namesDuringWork;
        {
            TLongReport report;
            report.SetPageStoreSettings(Limit(1, folder.path()));
            report.FailAtPage = c.failAt;
            report.CancelAtPage = c.cancelAt;
            report.OnPage = [&](TLongReport& r) {
                if (r.intCurPage == 20) {
                    seenDuringWork = OpenFilesIn(folder.path());
                    namesDuringWork = NamesIn(folder.path());
                }
            };
            if (c.failAt >= 0)
                EXPECT_THROW(report.Prepare(), EKVXError);
            else
                report.Prepare();
            EXPECT_EQ(report.Prepared(), c.cancelAt < 0 && c.failAt < 0);
            // Spilling happened, into a file without a name.
            EXPECT_EQ(seenDuringWork.size(), 1) << seenDuringWork.join(u' ').toStdString();
            EXPECT_TRUE(namesDuringWork.isEmpty()) << namesDuringWork.join(u' ').toStdString();
        }
        EXPECT_TRUE(OpenFilesIn(folder.path()).isEmpty());
        EXPECT_TRUE(NamesIn(folder.path()).isEmpty());
    }
}

TEST(PageStore, AFolderThatCannotTakeTheFileFailsThePreparationNamingIt)
{
    ScopedFakePrinters printers;
    TLongReport report;
    const QString missing = QStringLiteral("/nonexistent/vorel-pages");
    report.SetPageStoreSettings(Limit(1, missing));
    try {
        report.Prepare();
        FAIL() << "expected an error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().contains(missing)) << e.Message().toStdString();
    }
    EXPECT_FALSE(report.Prepared());
}

TEST(PageStore, TheCountingPassOfTwoPassesKeepsNoPageBytes)
{
    ScopedFakePrinters printers;
    TLongReport report;
    report.SetTwoPass(true);
    report.SetPageStoreSettings(Limit(0));
    qint64 mostInFirstPass = -1;
    report.OnPage = [&](TLongReport& r) {
        if (r.intCurPassNumber == 1)
            mostInFirstPass = std::max(mostInFirstPass, r.Pages().Store().ResidentBytes());
    };
    report.Prepare();
    EXPECT_EQ(mostInFirstPass, 0);
    EXPECT_EQ(report.GetNumPages(), 40);
    EXPECT_GT(report.Pages().Store().ResidentBytes(), 0);
    for (int i = 0; i < 40; ++i)
        EXPECT_FALSE(report.GetPage(i, 0)->Data->Empty()) << i;
}

TEST(PageStore, PdfOfSpilledPagesEqualsPdfOfPagesInMemory)
{
    ScopedFakePrinters printers;
    QTemporaryDir folder;
    QByteArray files[2];
    for (int k = 0; k < 2; ++k) {
        TLongReport report;
        report.Bars = 2;
        report.SetPageStoreSettings(Limit(k == 0 ? 0 : 1, folder.path()));
        FixDate(report);
        report.Prepare();
        const QString file = folder.filePath(QStringLiteral("out%1.pdf").arg(k));
        report.ExportTo(file, false, &TKVXExportToPDF::staticMetaObject, {});
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        files[k] = f.readAll();
    }
    EXPECT_TRUE(files[0].startsWith("%PDF"));
    EXPECT_EQ(files[0], files[1]);
    EXPECT_EQ(NamesIn(folder.path()).size(), 2);
}

// The export beside the preparation writes what the plain way writes; a
// report of several bars (made bar by bar, exported page by page) falls
// back to the plain way.
TEST(PrepareAndExport, TheSecondThreadWritesTheSameFileAsOne)
{
    ScopedFakePrinters printers;
    QTemporaryDir folder;
    for (const int bars : {1, 2}) {
        for (const bool twoPass : {false, true}) {
            SCOPED_TRACE(QStringLiteral("bars %1 two-pass %2").arg(bars).arg(twoPass).toStdString());
            QByteArray files[3];
            for (int way = 0; way < 3; ++way) {
                TLongReport report;
                report.Bars = bars;
                report.SetTwoPass(twoPass);
                report.SetPageStoreSettings(Limit(way == 2 ? 1 : 0, folder.path()));
                FixDate(report);
                const QString file = folder.filePath(QStringLiteral("w%1.pdf").arg(way));
                if (way == 0) {
                    report.Prepare();
                    QList<int> all;
                    for (int i = 1; i <= report.GetNumPages(); ++i)
                        all << i;
                    report.ExportTo(file, false, &TKVXExportToPDF::staticMetaObject, all);
                } else {
                    report.PrepareAndExport(file, &TKVXExportToPDF::staticMetaObject, way == 1 ? 1 : 2);
                }
                files[way] = ReadFile(file);
            }
            EXPECT_TRUE(files[0].startsWith("%PDF"));
            EXPECT_EQ(files[1], files[0]);
            EXPECT_EQ(files[2], files[0]);
        }
    }
}

TEST(PrepareAndExport, AFilterThatFailsOnItsThreadFailsTheCallAndWritesNothing)
{
    ScopedFakePrinters printers;
    QTemporaryDir folder;
    TLongReport report;
    const QString profile = folder.filePath(QStringLiteral("missing.icc"));
    report.OnExportFilter = [&](QObject*, TKVXExport& filter) {
        auto& pdf = static_cast<TKVXExportToPDF&>(filter);
        pdf.SetPdfA(true);
        pdf.ColorProfileFile = profile;
    };
    const QString file = folder.filePath(QStringLiteral("out.pdf"));
    try {
        report.PrepareAndExport(file, &TKVXExportToPDF::staticMetaObject, 2);
        FAIL() << "expected an error";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(profile)) << e.Message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(OpenFilesIn(folder.path()).isEmpty());
}

TEST(PrepareAndExport, ACancelledPreparationWritesNothing)
{
    ScopedFakePrinters printers;
    QTemporaryDir folder;
    TLongReport report;
    report.CancelAtPage = 25;
    const QString file = folder.filePath(QStringLiteral("out.pdf"));
    report.PrepareAndExport(file, &TKVXExportToPDF::staticMetaObject, 2);
    EXPECT_TRUE(report.Cancelled());
    EXPECT_FALSE(report.Prepared());
    EXPECT_FALSE(QFile::exists(file));
}

TEST(PageStore, ByteSizesReadAsTheCommandLineGivesThem)
{
    const struct {
        const char* text;
        qint64 bytes;
    } rows[] = {
        {"200M", 200LL << 20}, {"1G", 1LL << 30}, {"512k", 512LL << 10}, {"64MB", 64LL << 20},
        {"1048576", 1048576},  {"0", 0},          {" 2g ", 2LL << 30},   {"1.5G", -1},
        {"", -1},              {"-1M", -1},       {"M", -1},             {"9999999999T", -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseByteSize(QString::fromLatin1(row.text)), row.bytes) << row.text;
}

} // namespace
} // namespace vorel::test
