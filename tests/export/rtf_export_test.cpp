// The RTF writer: the file of a small page in full (golden), the geometry
// and escaping rules it carries, and LibreOffice reading the table back.

#include "export/rtf_export.h"
#include "export_test_support.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace vorel::test {
namespace {

class Rtf : public ExportTest {
protected:
    // The file of the pages, with its creation time (now) blanked.
    QString Export(const std::vector<const TMetafile*>& pages, const QString& name = QStringLiteral("out.rtf"),
                   int codePage = 1252, const QString& title = QString())
    {
        TKVXExportToRTF rtf;
        rtf.CodePage = codePage;
        rtf.Properties()->SetTitle(title);
        rtf.Properties()->SetAuthor(title.isEmpty() ? QString() : QStringLiteral("Ann"));
        ExportPages(rtf, pages, Path(name));
        const QByteArray bytes = ReadAll(Path(name));
        for (char b : bytes)
            if (std::uint8_t(b) >= 0x80)
                ADD_FAILURE() << "a byte beyond ASCII: every character must be escaped";
        return QString::fromLatin1(bytes).replace(QRegularExpression(QStringLiteral("\\\\creatim[^}]*")),
                                                  QStringLiteral("\\creatim\\TIME"));
    }
};

// An A4 page (794 x 1123 report pixels) with the cases a cell meets.
std::unique_ptr<TMetafile> InvoiceLikePage()
{
    return MakePage(794, 1123, [](TCanvas& c) {
        // A band background: a fill, not a cell.
        c.Brush()->SetColor(clYellow);
        c.FillRect({30, 30, 760, 62});
        c.Brush()->SetStyle(bsClear);
        c.Font()->SetStyle(fsBold);
        Text(c, 40, 40, QStringLiteral("Item"));
        c.SetTextAlign(TA_RIGHT);
        c.TextOut(700, 40, QStringLiteral("Amount"));
        c.SetTextAlign(0);
        c.Font()->SetStyle({});
        Text(c, 40, 80, QStringLiteral("a\\b {c} Grüße Привет"));
        c.Font()->SetColor(clWhite);
        Text(c, 400, 80, QStringLiteral("white"));
        c.Font()->SetColor(clNavy);
        c.Font()->SetName(QStringLiteral("Times New Roman"));
        c.Font()->SetSize(12);
        c.Font()->SetStyle(TFontStyles(fsItalic) | fsUnderline);
        Text(c, 40, 120, QStringLiteral("Total"));
        // A line stays an (empty) row of its own.
        c.Pen()->SetColor(clBlack);
        c.MoveTo(40, 150);
        c.LineTo(700, 150);
    });
}

TEST_F(Rtf, GoldenFileOfAnA4Page)
{
    auto page = InvoiceLikePage();
    ExpectGolden(QStringLiteral("export_rtf_a4_page"),
                 Export({page.get()}, QStringLiteral("a4.rtf"), 1252, QStringLiteral("Sales {Q1} \\ 2024")));
}

TEST_F(Rtf, ThePaperIsOnePageHoweverManyPagesTheTableRunsOver)
{
    std::vector<std::unique_ptr<TMetafile>> pages;
    std::vector<const TMetafile*> list;
    for (int i = 0; i < 30; ++i) {
        pages.push_back(MakePage(400, 300, [i](TCanvas& c) { Text(c, 20, 20, QStringLiteral("page %1").arg(i)); }));
        list.push_back(pages.back().get());
    }
    const QString rtf = Export(list);
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\paperw6000\\paperh4500"))) << rtf.left(600).toStdString();
    EXPECT_EQ(rtf.count(QStringLiteral("\\row\r\n")), 30);
}

TEST_F(Rtf, FillsAndBarcodeBarsLeaveNoCells)
{
    const auto texts = [](TCanvas& c) {
        Text(c, 20, 20, QStringLiteral("code"));
        Text(c, 200, 20, QStringLiteral("4006381333931"));
    };
    auto plain = MakePage(400, 300, texts);
    auto filled = MakePage(400, 300, [&](TCanvas& c) {
        c.Brush()->SetColor(clSilver);
        c.FillRect({10, 10, 390, 40});
        c.Brush()->SetColor(clBlack);
        for (int bar = 0; bar < 30; ++bar) // bars of a barcode, under and between the texts
            c.FillRect({100 + 3 * bar, 60, 101 + 3 * bar, 100});
        c.Brush()->SetStyle(bsClear);
        texts(c);
    });
    EXPECT_EQ(Export({filled.get()}, QStringLiteral("filled.rtf")), Export({plain.get()}, QStringLiteral("plain.rtf")));
}

TEST_F(Rtf, TextsThatOverlapOnThePageShareOneTableRow)
{
    // An item line: a name with a line below it, numbers centred beside
    // both; then the next item well below. As grid rows of their own each
    // would take a reader's line, and the pages would run longer than the
    // report's.
    auto page = MakePage(600, 300, [](TCanvas& c) {
        for (int item = 0; item < 2; ++item) {
            const int y = 20 + 60 * item;
            c.Font()->SetStyle(fsBold);
            Text(c, 40, y, QStringLiteral("Name%1").arg(item));
            c.Font()->SetStyle({});
            Text(c, 40, y + 14, QStringLiteral("Sub%1").arg(item));
            Text(c, 300, y + 7, QStringLiteral("Qty%1").arg(item));
        }
    });
    const QString rtf = Export({page.get()});
    EXPECT_EQ(rtf.count(QStringLiteral("\\trowd")), 2) << rtf.toStdString();
    for (int item = 0; item < 2; ++item) {
        // The stacked texts share a cell, top first; the number has its own.
        const QRegularExpression stacked(
            QStringLiteral("Name%1\\}\\\\line [^}]*Sub%1\\}\\\\fs2\\\\cell [^\\n]*Qty%1").arg(item));
        EXPECT_TRUE(stacked.match(rtf).hasMatch()) << rtf.toStdString();
    }
}

TEST_F(Rtf, ALongFontTableIsBrokenIntoLinesShorterThan255Characters)
{
    auto page = MakePage(400, 2000, [](TCanvas& c) {
        for (int k = 0; k < 40; ++k) {
            c.Font()->SetName(QStringLiteral("Font Family Number %1").arg(k));
            Text(c, 20, 20 + 45 * k, QStringLiteral("t%1").arg(k));
        }
    });
    const QString rtf = Export({page.get()});
    int lines = 0;
    for (const QString& line : rtf.split(QStringLiteral("\r\n"))) {
        if (!line.contains(QStringLiteral("Font Family")))
            continue;
        ++lines;
        EXPECT_LT(line.size(), 255) << line.toStdString();
    }
    EXPECT_GT(lines, 1);
    for (int k = 0; k < 40; ++k)
        EXPECT_TRUE(rtf.contains(QStringLiteral("{\\f%1 Font Family Number %1;}").arg(k))) << k;
}

TEST_F(Rtf, NoFileBesideTheOutputIsWrittenOrReplaced)
{
    auto page = MakePage(400, 300, [](TCanvas& c) { Text(c, 20, 20, QStringLiteral("x")); });
    {
        QFile theirs(Path(QStringLiteral("report.$$$")));
        ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
        theirs.write("someone's file");
    }
    Export({page.get()}, QStringLiteral("report.rtf"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("report.$$$"))), QByteArray("someone's file"));
    EXPECT_EQ(QDir(Path(QString())).entryList(QDir::Files), QStringList({"report.$$$", "report.rtf"}));
}

TEST(RtfDates, TheCreationTimeLeavesOutHourAndMinuteAtMidnight)
{
    const struct {
        QDateTime when;
        const char* rtf;
    } cases[] = {
        {QDateTime(QDate(2024, 1, 2), QTime(0, 0)), "yr2024\\mo1\\dy2"},
        {QDateTime(QDate(2024, 11, 30), QTime(10, 5, 7)), "yr2024\\mo11\\dy30\\hr10\\min5"},
        {QDateTime(QDate(2024, 11, 30), QTime(0, 0, 1)), "yr2024\\mo11\\dy30\\hr0\\min0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TKVXExportToRTF::DateTimeToRTF(c.when), QLatin1String(c.rtf));
}

// --- LibreOffice ------------------------------------------------------------------------

// The rows of the first table of LibreOffice's XHTML, each cell's text
// with line breaks as "\n".
QList<QStringList> HtmlTableRows(const QString& html)
{
    QList<QStringList> rows;
    static const QRegularExpression row(QStringLiteral("<tr[^>]*>(.*?)</tr>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell(QStringLiteral("<td[^>]*>(.*?)</td>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    const QString table = html.section(QStringLiteral("</table>"), 0, 0);
    for (const QRegularExpressionMatch& r : row.globalMatch(table)) {
        QStringList cells;
        for (const QRegularExpressionMatch& c : cell.globalMatch(r.captured(1))) {
            QString text = c.captured(1);
            text.replace(QStringLiteral("<br/>"), QStringLiteral("\n")).remove(tag);
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
            text.replace(QStringLiteral("&quot;"), QStringLiteral("\"")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            cells << text.trimmed();
        }
        rows << cells;
    }
    return rows;
}

TEST_F(Rtf, LibreOfficeReadsTheTableWithEveryTextInItsCell)
{
    const QString soffice = FindTool(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the RTF is not read back";
    // The 3 x 3 grid of the worksheet test, with the texts RTF must escape,
    // letters beyond the code page and a wrapped text.
    auto page = MakePage(794, 1123, [](TCanvas& c) {
        Text(c, 40, 20, QStringLiteral("Name"));
        Text(c, 300, 20, QStringLiteral("Qty"));
        Text(c, 500, 20, QStringLiteral("Note"));
        Text(c, 40, 60, QStringLiteral("Привет {мир} \\ Grüße"));
        Text(c, 300, 60, QStringLiteral("-42"));
        Text(c, 40, 100, QStringLiteral("x"));
        Text(c, 300, 100, QStringLiteral("3.25"));
        c.TextRect({500, 100, 740, 132}, 500, 100, QStringLiteral("first line"));
        c.TextRect({500, 100, 740, 132}, 500, 116, QStringLiteral("second line"));
    });
    Export({page.get()}, QStringLiteral("grid.rtf"));
    const TToolRun run = RunTool(soffice,
                                 {QStringLiteral("-env:UserInstallation=")
                                      + QUrl::fromLocalFile(Path(QStringLiteral("lo-profile"))).toString(),
                                  QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                                  QStringLiteral("html:XHTML Writer File:UTF8"), QStringLiteral("--outdir"),
                                  Path(QStringLiteral("lo")), Path(QStringLiteral("grid.rtf"))},
                                 180000);
    const QString html = ReadUtf8(Path(QStringLiteral("lo/grid.html")));
    ASSERT_FALSE(html.isEmpty()) << "LibreOffice did not convert the RTF (exit " << run.ExitCode << "): "
                                 << run.Err.toStdString();
    const QList<QStringList> rows = HtmlTableRows(html);
    ASSERT_EQ(rows.size(), 3) << html.toStdString();
    EXPECT_EQ(rows[0], QStringList({"Name", "Qty", "Note"}));
    // Cells follow each row's texts: no empty cell after the last one.
    EXPECT_EQ(rows[1], QStringList({"Привет {мир} \\ Grüße", "-42"}));
    EXPECT_EQ(rows[2], QStringList({"x", "3.25", "first line\nsecond line"}));
    // The paper of an A4 page: 794 pixels are 8.27 inches (not 7.94, as
    // 14.4 twips to the pixel gave).
    const QRegularExpressionMatch paper = QRegularExpression(QStringLiteral("max-width:([0-9.]+)in")).match(html);
    ASSERT_TRUE(paper.hasMatch()) << html.section(QStringLiteral("<body"), 1).left(300).toStdString();
    EXPECT_NEAR(paper.captured(1).toDouble(), 794 / 96.0, 0.01);
}

} // namespace
} // namespace vorel::test
