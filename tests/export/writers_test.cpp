// Every writer over the same pages: the golden outputs, one table of
// questions asked of all writers, and real consumers of the files.

#include "export/csv_export.h"
#include "export/html_export.h"
#include "export/text_export.h"
#include "export/xml_export.h"
#include "export_test_support.h"
#include "support/delimited.h"

#include <QRegularExpression>
#include <QUrl>

namespace vorel::test {
namespace {

// Three pages of a small grouped report: a page header, a group header in
// bold, detail lines in two columns, a group footer and the page number.
// Page 1 carries a picture (only the HTML writer collects it).
void DrawReportPage(TCanvas& c, int page, int bar)
{
    Q_UNUSED(bar);
    struct Line {
        const char* item;
        const char* amount;
    };
    static const Line groups[3][3] = {
        {{"Fish & Chips", "12.50"}, {"Tea \"strong\"", "1.20"}, {"Scones; jam", "3.00"}},
        {{"Borscht", "4.10"}, {"Pelmeni <large>", "7.80"}, {"Kvass 25°", "2.00"}},
        {{"Grüße aus Köln", "9.99"}, {"Käse|Brot", "5.55"}, {"Straße", "0.45"}},
    };
    static const char* regions[3] = {"North", "East", "South"};
    c.Font()->SetSize(14);
    c.Font()->SetStyle(fsBold);
    Text(c, 20, 10, QStringLiteral("Sales by region"));
    c.Font()->SetSize(10);
    c.Font()->SetStyle({});
    Text(c, 20, 40, QStringLiteral("Item"));
    Text(c, 250, 40, QStringLiteral("Amount"));
    c.Font()->SetStyle(fsBold);
    c.Font()->SetColor(clNavy);
    Text(c, 20, 70, QStringLiteral("Region: %1").arg(QString::fromLatin1(regions[page])));
    c.Font()->SetStyle({});
    c.Font()->SetColor(clBlack);
    for (int k = 0; k < 3; ++k) {
        Text(c, 20, 100 + 25 * k, QString::fromUtf8(groups[page][k].item));
        Text(c, 250, 100 + 25 * k, QString::fromUtf8(groups[page][k].amount));
    }
    c.Font()->SetStyle(fsItalic);
    Text(c, 20, 180, QStringLiteral("Total %1").arg(QString::fromLatin1(regions[page])));
    c.Font()->SetStyle({});
    Text(c, 320, 270, QStringLiteral("Page %1").arg(page + 1));
    if (page == 0) {
        QImage image(24, 12, QImage::Format_RGB888);
        image.fill(QColor(200, 30, 30));
        c.StretchImage({330, 8, 354, 20}, image, {0, 0, 24, 12});
    }
}

void MakeGroupedReport(TPagesReport& report)
{
    report.Drawers.assign(3, DrawReportPage);
    report.KVProperty()->SetTitle(QStringLiteral("Sales & Regions"));
    report.KVProperty()->SetAuthor(QStringLiteral("Vorel tests"));
    report.KVProperty()->SetKeywords(QStringLiteral("sales, <regions>"));
}

struct TWriterCase {
    const char* name;
    const QMetaObject* cls;
    const char* extension;
};

const TWriterCase kWriters[] = {
    {"text", &TKVXExportToText::staticMetaObject, "txt"},
    {"csv", &TKVXExportToCSV::staticMetaObject, "csv"},
    {"html", &TKVXExportToHTML::staticMetaObject, "htm"},
    {"xml", &TKVXExportToXML::staticMetaObject, "xml"},
};

class Writers : public ExportTest {};

TEST_F(Writers, GoldenOutputsOfTheGroupedReport)
{
    TPagesReport report;
    MakeGroupedReport(report);
    report.Prepare();
    for (const TWriterCase& w : kWriters) {
        const QString file = Path(QStringLiteral("report.") + QString::fromLatin1(w.extension));
        report.ExportTo(file, false, w.cls, {1, 2, 3});
        QString text = ReadUtf8(file);
        // Picture files get a fresh name each run.
        text.replace(QRegularExpression(QStringLiteral("KVX[0-9A-F]+\\.jpg")), QStringLiteral("KVX####.jpg"));
        ExpectGolden(QStringLiteral("export_report_") + QString::fromLatin1(w.name), text);
    }
}

// Does every filter see the text of every page? Each page and bar says
// its own name; every output must hold every name once, in one file and
// in one file per page.
TEST_F(Writers, EveryWriterSeesTheTextOfEveryPageAndBar)
{
    TPagesReport report;
    NamePages(report, 3, 2);
    report.Prepare();
    for (const TWriterCase& w : kWriters) {
        const QString ext = QString::fromLatin1(w.extension);
        report.ExportTo(Path(QStringLiteral("all.") + ext), false, w.cls, {1, 2, 3});
        const QString all = ReadUtf8(Path(QStringLiteral("all.") + ext));
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 2; ++j) {
                const QString name = QStringLiteral("page %1 bar %2").arg(i).arg(j);
                EXPECT_EQ(all.count(name), 1) << w.name << ": " << name.toStdString();
            }
        }
        report.ExportTo(Path(QStringLiteral("each.") + ext), true, w.cls, {1, 2, 3});
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 2; ++j) {
                const QString one = ReadUtf8(Path(QStringLiteral("each%1_%2.").arg(i).arg(j) + ext));
                EXPECT_TRUE(one.contains(QStringLiteral("page %1 bar %2").arg(i).arg(j))) << w.name;
                EXPECT_FALSE(one.contains(QStringLiteral("page %1 bar %2").arg((i + 1) % 3).arg(j))) << w.name;
            }
        }
    }
}

// The texts every writer must carry through unharmed (after the writer's
// own escaping), with what each format shows for them.
TEST_F(Writers, EveryWriterKeepsAwkwardTextsIntact)
{
    struct Case {
        QString text;
        QString inXml;
        QString inHtml;
        QString inCsv;
    };
    const Case cases[] = {
        {QStringLiteral("a;b"), QStringLiteral("a;b"), QStringLiteral("a;b"), QStringLiteral("\"a;b\"")},
        {QStringLiteral("say \"x\""), QStringLiteral("say &quot;x&quot;"), QStringLiteral("say &quot;x&quot;"),
         QStringLiteral("\"say \"\"x\"\"\"")},
        {QStringLiteral("R&D <team>"), QStringLiteral("R&amp;D &lt;team&gt;"), QStringLiteral("R&amp;D &lt;team&gt;"),
         QStringLiteral("R&D <team>")},
        {QStringLiteral("Grüße €"), QStringLiteral("Grüße €"), QStringLiteral("Grüße €"), QStringLiteral("Grüße €")},
        {QStringLiteral("it's 25°"), QStringLiteral("it&apos;s 25°"), QStringLiteral("it&#39;s 25&deg;"),
         QStringLiteral("it's 25°")},
    };
    TPagesReport report;
    report.Drawers.push_back([&](TCanvas& c, int, int) {
        for (int k = 0; k < int(std::size(cases)); ++k)
            Text(c, 20, 20 + 30 * k, cases[k].text);
    });
    report.Prepare();
    for (const TWriterCase& w : kWriters) {
        const QString file = Path(QStringLiteral("awkward.") + QString::fromLatin1(w.extension));
        report.ExportTo(file, false, w.cls, {1});
        const QString out = ReadUtf8(file);
        for (const Case& c : cases) {
            const QString expected = QString::fromLatin1(w.name) == u"xml" ? c.inXml
                : QString::fromLatin1(w.name) == u"html"                 ? c.inHtml
                : QString::fromLatin1(w.name) == u"csv"                  ? c.inCsv
                                                                         : c.text;
            EXPECT_TRUE(out.contains(expected)) << w.name << ": " << expected.toStdString();
        }
    }
}

// --- real consumers -----------------------------------------------------------------------

TEST_F(Writers, XmllintAcceptsTheXmlAndTheHtml)
{
    const QString xmllint = FindTool(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils); XML and HTML not checked";
    TPagesReport report;
    MakeGroupedReport(report);
    report.Drawers.push_back([](TCanvas& c, int, int) {
        Text(c, 20, 20, QStringLiteral("control \x01 char and form\ffeed"));
        Text(c, 20, 60, QStringLiteral("<!-- not a comment --> ]]> &amp;"));
    });
    report.Prepare();
    report.ExportTo(Path(QStringLiteral("check.xml")), false, &TKVXExportToXML::staticMetaObject, {1, 2, 3, 4});
    report.ExportTo(Path(QStringLiteral("check.html")), false, &TKVXExportToHTML::staticMetaObject, {1, 2, 3, 4});

    const TToolRun xml = RunTool(xmllint, {QStringLiteral("--noout"), Path(QStringLiteral("check.xml"))});
    ASSERT_TRUE(xml.Started);
    EXPECT_EQ(xml.ExitCode, 0) << xml.Err.toStdString();
    EXPECT_TRUE(xml.Err.isEmpty()) << xml.Err.toStdString();
    // The declared encoding matches the bytes: xmllint reads the cells back as written.
    const TToolRun german = RunTool(xmllint, {QStringLiteral("--xpath"), QStringLiteral("count(//ROW[@Column1='Grüße aus Köln'])"),
                                              Path(QStringLiteral("check.xml"))});
    EXPECT_EQ(QString::fromUtf8(german.Out).trimmed(), QStringLiteral("1"));

    const TToolRun html = RunTool(xmllint, {QStringLiteral("--html"), QStringLiteral("--noout"), Path(QStringLiteral("check.html"))});
    ASSERT_TRUE(html.Started);
    EXPECT_EQ(html.ExitCode, 0) << html.Err.toStdString();
    EXPECT_TRUE(html.Err.isEmpty()) << html.Err.toStdString();
}

// Parses the tab-separated text LibreOffice writes (quoted fields may hold
// tabs, quotes and line breaks).
QList<QStringList> ParseTsv(const QString& text)
{
    return test::ParseDelimited(text, u'\t');
}

TEST_F(Writers, LibreOfficeReadsTheCsvIntoTheRightCells)
{
    const QString soffice = FindTool(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the CSV is not checked by a spreadsheet";
    TPagesReport report;
    report.Drawers.push_back([](TCanvas& c, int, int) {
        Text(c, 20, 20, QStringLiteral("name"));
        Text(c, 150, 20, QStringLiteral("note"));
        Text(c, 300, 20, QStringLiteral("amount"));
        Text(c, 20, 60, QStringLiteral("semi;colon"));
        Text(c, 150, 60, QStringLiteral("say \"hi\""));
        Text(c, 300, 60, QStringLiteral("1,5"));
        Text(c, 20, 100, QStringLiteral("Grüße €"));
        Text(c, 300, 100, QStringLiteral("two\nlines"));
    });
    report.Prepare();
    const QString csv = Path(QStringLiteral("cells.csv"));
    report.ExportTo(csv, false, &TKVXExportToCSV::staticMetaObject, {1});

    // Import: semicolon (59) separated, quotes (34), UTF-8 (76), from line 1,
    // every column as text (format 2) so numbers come back as written.
    // Export: tab (9) separated, quotes (34), UTF-8 (76).
    const QString outDir = Path(QStringLiteral("lo"));
    const QString profile = QUrl::fromLocalFile(Path(QStringLiteral("lo-profile"))).toString();
    const TToolRun run = RunTool(soffice, {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                                           QStringLiteral("--norestore"),
                                           QStringLiteral("--infilter=CSV:59,34,76,1,1/2/2/2/3/2"),
                                           QStringLiteral("--convert-to"),
                                           QStringLiteral("tsv:Text - txt - csv (StarCalc):9,34,76"),
                                           QStringLiteral("--outdir"), outDir, csv},
                                 180000);
    ASSERT_TRUE(run.Started);
    const QByteArray converted = ReadAll(outDir + QStringLiteral("/cells.tsv"));
    if (converted.isEmpty())
        GTEST_SKIP() << "LibreOffice did not convert the file (exit " << run.ExitCode << "): " << run.Err.toStdString();
    const QList<QStringList> rows = ParseTsv(QString::fromUtf8(converted));
    ASSERT_EQ(rows.size(), 3) << converted.toStdString();
    EXPECT_EQ(rows[0], QStringList({"name", "note", "amount"}));
    EXPECT_EQ(rows[1], QStringList({"semi;colon", "say \"hi\"", "1,5"}));
    EXPECT_EQ(rows[2], QStringList({"Grüße €", "", "two\nlines"}));
}

} // namespace
} // namespace vorel::test
