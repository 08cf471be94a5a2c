// Bookmarks, the document information and PDF/A-2b files, read back with
// qpdf, pdfinfo and the project's PDF/A checker (scripts/check_pdfa.py).

#include "pdf_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vorel {
namespace {

using namespace pdftest;

class PdfArchive : public test::ExportTest {
protected:
    void SetUp() override
    {
        test::ExportTest::SetUp();
        for (const char* tool : {"qpdf", "pdfinfo", "pdffonts", "xmllint", "python3"})
            if (!HaveTool(QString::fromLatin1(tool)))
                GTEST_SKIP() << tool << " is not installed (Debian: qpdf, poppler-utils, libxml2-utils, python3)";
    }

    // The report's bookmarks as the engine leaves them: (text, page, bar, top).
    static void AddOutline(TKVPrintBaseComponent& report, const QString& text, int page, int bar, int top)
    {
        TKVXOutline* outline = report.Outlines()->Add();
        outline->SetText(text);
        outline->SetPageNo(page);
        outline->SetBarNo(bar);
        outline->SetTop(top);
    }

    // "title -> page N at x,y" for each bookmark qpdf finds, in order.
    static QStringList Bookmarks(const QString& file)
    {
        const test::TToolRun r = RunTool(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=outlines"), file});
        QStringList out;
        for (const QJsonValue item : QJsonDocument::fromJson(r.Out).object().value(QStringLiteral("outlines")).toArray()) {
            const QJsonObject o = item.toObject();
            const QJsonArray dest = o.value(QStringLiteral("dest")).toArray();
            out << QStringLiteral("%1 -> page %2 at %3,%4")
                       .arg(o.value(QStringLiteral("title")).toString())
                       .arg(o.value(QStringLiteral("destpageposfrom1")).toInt())
                       .arg(dest.at(2).toDouble())
                       .arg(dest.at(3).toDouble());
            if (!o.value(QStringLiteral("kids")).toArray().isEmpty())
                out << QStringLiteral("(nested)");
        }
        return out;
    }

    static test::TToolRun CheckPdfA(const QString& file)
    {
        return RunTool(QStringLiteral("python3"), {QStringLiteral(VOREL_SOURCE_DIR "/scripts/check_pdfa.py"), file});
    }

    static QString Catalog(const QString& file)
    {
        return QString::fromUtf8(RunTool(QStringLiteral("qpdf"), {QStringLiteral("--show-object=trailer"), file}).Out)
            + QString::fromUtf8(RunTool(QStringLiteral("qpdf"), {QStringLiteral("--show-object=1"), file}).Out);
    }
};

// A page 300 pixels high: a bookmark at top 60 points at 0.75 * (300 - 60) = 180.
TEST_F(PdfArchive, BookmarksPointAtTheirPageAndBandInReportOrder)
{
    test::TPagesReport report;
    test::NamePages(report, 3, 2);
    report.Prepare();
    AddOutline(report, QStringLiteral("Totals"), 2, 0, 60);
    AddOutline(report, QStringLiteral("\u0418\u0442\u043E\u0433\u0438 \u5408\u8A08"), 0, 0, 0);
    AddOutline(report, QStringLiteral("Second bar"), 1, 1, 300);

    // One file: the bars of a page side by side, bar 1 at x 400 pixels.
    const QString all = Path(QStringLiteral("all.pdf"));
    report.ExportTo(all, false, &TKVXExportToPDF::staticMetaObject, {1, 2, 3});
    EXPECT_EQ(QpdfComplaint(all), QString());
    EXPECT_EQ(Bookmarks(all), QStringList({QStringLiteral("Totals -> page 3 at 0,180"),
                                  QStringLiteral("\u0418\u0442\u043E\u0433\u0438 \u5408\u8A08 -> page 1 at 0,225"),
                                  QStringLiteral("Second bar -> page 2 at 300,0")}));
    EXPECT_TRUE(Catalog(all).contains(QStringLiteral("/PageMode /UseOutlines")));

    // Only the listed pages' bookmarks land, on the pages as numbered in the file.
    const QString part = Path(QStringLiteral("part.pdf"));
    report.ExportTo(part, false, &TKVXExportToPDF::staticMetaObject, {2, 3});
    EXPECT_EQ(Bookmarks(part), QStringList({QStringLiteral("Totals -> page 2 at 0,180"),
                                   QStringLiteral("Second bar -> page 1 at 300,0")}));

    // One file per page and bar: each file its own entries; none, no outline tree.
    report.ExportTo(Path(QStringLiteral("one.pdf")), true, &TKVXExportToPDF::staticMetaObject, {1, 2, 3});
    EXPECT_EQ(Bookmarks(Path(QStringLiteral("one1_1.pdf"))), QStringList({QStringLiteral("Second bar -> page 1 at 0,0")}));
    EXPECT_EQ(Bookmarks(Path(QStringLiteral("one2_0.pdf"))), QStringList({QStringLiteral("Totals -> page 1 at 0,180")}));
    const QString none = Path(QStringLiteral("one2_1.pdf"));
    EXPECT_EQ(Bookmarks(none), QStringList());
    EXPECT_FALSE(Catalog(none).contains(QStringLiteral("/Outlines")));
    EXPECT_FALSE(Catalog(none).contains(QStringLiteral("/PageMode")));
}

// Title, author, subject and keywords in Cyrillic, CJK and Arabic read back
// as they were; the dates carry the creation date's own UTC offset.
TEST_F(PdfArchive, InformationInAnyScriptAndDatesWithTheirOffsetReadBack)
{
    const TMetafile page = MakePage([](TCanvas&) {});
    TKVXExportToPDF filter;
    filter.CreationDate = QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30, 999), Qt::OffsetFromUTC, -(3 * 3600 + 30 * 60));
    filter.Properties()->SetTitle(QStringLiteral("\u041E\u0442\u0447\u0451\u0442 (\u0447\u0430\u0441\u0442\u044C 1)"));
    filter.Properties()->SetAuthor(QStringLiteral("\u5C71\u7530\u592A\u90CE"));
    filter.Properties()->SetSubject(QStringLiteral("\u062A\u0642\u0631\u064A\u0631 \u0627\u0644\u0645\u0628\u064A\u0639\u0627\u062A"));
    filter.Properties()->SetKeywords(QStringLiteral("Umsatz, \u00DCbersicht"));
    const QString file = Path(QStringLiteral("info.pdf"));
    ExportPages(filter, {page}, file);

    const QString info = QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-isodates"), file}).Out);
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Title")), filter.Properties()->Title());
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Author")), filter.Properties()->Author());
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Subject")), filter.Properties()->Subject());
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Keywords")), filter.Properties()->Keywords());
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Producer")), QStringLiteral("Tarnwick Vorel"));
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("CreationDate")), QStringLiteral("2026-03-01T10:20:30-03:30"));
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("ModDate")), QStringLiteral("2026-03-01T10:20:30-03:30"));
}

// What PDF/A-2b asks, checked by the project's checker: LZW asked is Flate
// written, dates agree with the XMP, the Cyrillic font is embedded. The
// checker is shown to fail too: a plain LZW file breaks the rules it checks.
TEST_F(PdfArchive, APdfAFilePassesTheCheckerAndAPlainOneDoesNot)
{
    const TMetafile page = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 12, {}, RUSSIAN_CHARSET);
        c.TextOut(40, 40, QStringLiteral("\u0421\u0447\u0451\u0442 \u2116 5 & <\u0438\u0442\u043E\u0433>"));
    });
    auto write = [&](const QString& name, bool pdfA) {
        TKVXExportToPDF filter;
        filter.SetPdfA(pdfA);
        filter.SetCompression(seLZW);
        filter.CreationDate = QDateTime(QDate(2026, 12, 9), QTime(8, 0, 0), Qt::OffsetFromUTC, 3600);
        filter.Outlines = {{QStringLiteral("Start"), 0, 0, 40}};
        filter.Properties()->SetTitle(QStringLiteral("Q1 <draft> & \"final\""));
        filter.Properties()->SetAuthor(QStringLiteral("\u0410\u043D\u043D\u0430"));
        filter.Properties()->SetSubject(QStringLiteral("Sales"));
        const QString file = Path(name);
        ExportPages(filter, {page}, file);
        EXPECT_EQ(filter.ForceEmbeddedFonts(), pdfA);
        return file;
    };

    const QString archive = write(QStringLiteral("a.pdf"), true);
    const test::TToolRun passed = CheckPdfA(archive);
    EXPECT_EQ(passed.ExitCode, 0) << passed.Out.toStdString() << passed.Err.toStdString();
    EXPECT_TRUE(ReadAll(archive).startsWith("%PDF-1.7\r\n"));
    EXPECT_EQ(PdfText(archive).trimmed(), QStringLiteral("\u0421\u0447\u0451\u0442 \u2116 5 & <\u0438\u0442\u043E\u0433>"));
    // The identifier is the same for the same content.
    const QByteArray again = ReadAll(write(QStringLiteral("b.pdf"), true));
    const QByteArray first = ReadAll(archive);
    EXPECT_EQ(first.mid(first.indexOf("/ID")), again.mid(again.indexOf("/ID")));

    const test::TToolRun refused = CheckPdfA(write(QStringLiteral("plain.pdf"), false));
    EXPECT_EQ(refused.ExitCode, 1) << refused.Err.toStdString();
    for (const char* rule : {"/ID", "/Metadata", "/OutputIntents", "LZW-compressed"})
        EXPECT_TRUE(refused.Out.contains(rule)) << rule << " not reported:\n" << refused.Out.toStdString();
}

TEST_F(PdfArchive, AMissingColourProfileFailsNamingItAndLeavesNoFile)
{
    TKVXExportToPDF filter;
    filter.SetPdfA(true);
    filter.ColorProfileFile = Path(QStringLiteral("no-such-sRGB.icc"));
    const QString file = Path(QStringLiteral("out.pdf"));
    try {
        ExportPages(filter, {MakePage([](TCanvas&) {})}, file);
        ADD_FAILURE() << "no error raised";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(filter.ColorProfileFile)) << e.Message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(file));
}

} // namespace
} // namespace vorel
