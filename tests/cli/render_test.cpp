// The vorel tool's render, info and formats commands, run as a process the
// way users run them: a form with its own SQLite data set (a path relative
// to the form's folder), parameters, data bindings, page lists, prepared
// reports, and every kind of bad input with its exit code and message.

#include "data/sql_dataset.h"
#include "model/report.h"
#include "model/text_controls.h"

#include "support/shop_db.h"
#include "support/tool_run.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <functional>

namespace vorel {
namespace {

TKVXExpression* AddExpression(TKVXBand* band, const QString& expression, int left, int width)
{
    auto* control = static_cast<TKVXExpression*>(band->Object(band->AddElement(&TKVXExpression::staticMetaObject)));
    control->SetExpression(expression);
    control->SetLeft(left);
    control->SetTop(2);
    control->SetWidth(width);
    control->SetHeight(18);
    control->SetWordWrap(false);
    return control;
}

// A listing over Orders: header "Orders for <Who>", one row per order, a
// footer with the page number and count, 40 rows a page.
// `adjust` changes the form before it is saved.
void MakeForm(const QString& path, const QString& connection, const QString& sql, bool twoPass = true,
              const std::function<void(TKVReport&)>& adjust = {})
{
    TKVReport report;
    report.SetName(QStringLiteral("Listing"));
    auto* orders = new TSqlDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->SetConnection(connection);
    orders->SetSQL(sql);
    report.SetDataSet(orders);
    report.SetTwoPass(twoPass);
    TKVXParameter* who = report.Parameters()->Add();
    who->SetName(QStringLiteral("Who"));
    who->SetDisplayLabel(QStringLiteral("Prepared for"));
    who->SetValue(QStringLiteral("nobody"));
    TKVXBand* header = report.GetBand(report.GetIndexBand(btPageHeader));
    header->SetHeight(24);
    AddExpression(header, QStringLiteral("'Orders for ' + Who"), 0, 400);
    TKVXBand* detail = report.GetBand(report.GetIndexBand(btDetail));
    detail->SetHeight(22);
    AddExpression(detail, QStringLiteral("'#' + INTTOSTR([id])"), 0, 100);
    AddExpression(detail, QStringLiteral("[customer]"), 110, 200);
    AddExpression(detail, QStringLiteral("[amount]"), 320, 150);
    TKVXBand* footer = report.GetBand(report.GetIndexBand(btPageFooter));
    footer->SetHeight(24);
    AddExpression(footer, QStringLiteral("'Page ' + INTTOSTR(PageNo) + ' of ' + INTTOSTR(PageCount)"), 0, 300);
    if (adjust)
        adjust(report);
    report.SaveReport(path, TReportFormFormat::Text);
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        ASSERT_TRUE(dir.isValid() && work.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("forms")));
        MakeShop(Path("forms/shop.db"), 100);
        // The form names its database relative to its own folder.
        MakeForm(form, QStringLiteral("sqlite:shop.db"), QStringLiteral("SELECT id, customer, amount FROM orders ORDER BY id"));
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Out(const QString& name) const { return work.filePath(name); }

    // Runs in a working folder other than the form's.
    ToolRun Run(QStringList args) const { return Vorel(args, work.path()); }

    QString TextOf(const QString& file) const { return QString::fromUtf8(Read(file)); }

    QTemporaryDir dir;
    QTemporaryDir work;
    QString form = Path("forms/listing.kvx");
};

TEST_F(RenderTest, RendersToPdfWithDataFromTheFormsFolderAndSaysWhatItDid)
{
    const ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("out.pdf")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(QStringLiteral("out.pdf: 3 pages in "))) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("(load "))) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral(", prepare ")) && run.Out.contains(QStringLiteral(", export ")));

    QProcess check;
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), Out("out.pdf")});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), Out("out.pdf"), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString pdfText = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(pdfText.contains(QStringLiteral("Orders for nobody")));
    EXPECT_TRUE(pdfText.contains(QStringLiteral("#100")));
    EXPECT_TRUE(pdfText.contains(QStringLiteral("Page 3 of 3"))) << "two passes: the count is known on every page";
}

TEST_F(RenderTest, PicturesByTheirExtensionsHoldEveryPageStacked)
{
    // Three pages of one bar: one picture three pages high, whichever
    // spelling of the extension names the format.
    const ToolRun one = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("one.bmp"),
                             QStringLiteral("--pages"), QStringLiteral("1"), QStringLiteral("--quiet")});
    ASSERT_EQ(one.ExitCode, 0) << one.Err.toStdString();
    QProcess single;
    single.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%h"), Out(QStringLiteral("one.bmp"))});
    ASSERT_TRUE(single.waitForFinished(30000));
    const int pageHeight = single.readAllStandardOutput().toInt();
    ASSERT_GT(pageHeight, 100);
    for (const char* name : {"out.bmp", "out.jpg", "out.jpeg", "out.tif", "out.tiff", "out.png"}) {
        SCOPED_TRACE(name);
        const ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QString::fromLatin1(name),
                                 QStringLiteral("--quiet")});
        ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        QProcess identify;
        identify.start(QStringLiteral("identify"),
                       {QStringLiteral("-format"), QStringLiteral("%m %w %h"), Out(QString::fromLatin1(name))});
        ASSERT_TRUE(identify.waitForFinished(30000));
        const QStringList got = QString::fromLatin1(identify.readAllStandardOutput()).split(u' ');
        ASSERT_EQ(got.size(), 3);
        EXPECT_TRUE(got[0].startsWith(QString::fromLatin1(name).endsWith(u"bmp")   ? QStringLiteral("BMP")
                                      : QString::fromLatin1(name).contains(u"tif") ? QStringLiteral("TIFF")
                                      : QString::fromLatin1(name).endsWith(u"png") ? QStringLiteral("PNG")
                                                                                   : QStringLiteral("JPEG")))
            << got[0].toStdString();
        EXPECT_EQ(got[2].toInt(), 3 * pageHeight);
    }
}

TEST_F(RenderTest, ParametersPagesAndFormatByName)
{
    ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("out.data"),
                       QStringLiteral("--format"), QStringLiteral("txt"), QStringLiteral("--pages"), QStringLiteral("2-3"),
                       QStringLiteral("--param"), QStringLiteral("Who=Ann Lee"), QStringLiteral("--quiet")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty()) << "--quiet prints no summary";
    const QString text = TextOf(Out("out.data"));
    EXPECT_TRUE(text.contains(QStringLiteral("Orders for Ann Lee"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Page 1 of 3")));
    EXPECT_TRUE(text.contains(QStringLiteral("Page 2 of 3")) && text.contains(QStringLiteral("Page 3 of 3")));

    // By display label, and "--name=value" spelling.
    run = Run({QStringLiteral("render"), form, QStringLiteral("--output=one.txt"), QStringLiteral("--pages=1"),
               QStringLiteral("--param"), QStringLiteral("Prepared for=Bo")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(QStringLiteral("one.txt: 1 page in "))) << run.Out.toStdString();
    EXPECT_TRUE(TextOf(Out("one.txt")).contains(QStringLiteral("Orders for Bo")));

    // One file per listed page, numbered by page and bar index.
    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("page.txt"), QStringLiteral("--separate"),
               QStringLiteral("--pages"), QStringLiteral("1,3"), QStringLiteral("--language"), QStringLiteral("German")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(TextOf(Out("page0_0.txt")).contains(QStringLiteral("Page 1 of 3")));
    EXPECT_FALSE(QFile::exists(Out("page1_0.txt")));
    EXPECT_TRUE(TextOf(Out("page2_0.txt")).contains(QStringLiteral("Page 3 of 3")));
}

TEST_F(RenderTest, DataBindingsReplaceTheFormsSourceBeforeItOpens)
{
    // The form's own database is gone: a bound source must be used instead
    // and the missing one never opened.
    QFile::rename(Path("forms/shop.db"), Out("other.db"));
    ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("a.txt"),
                       QStringLiteral("--data"), QStringLiteral("Orders=sqlite:other.db")}); // keeps the form's SQL
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(TextOf(Out("a.txt")).contains(QStringLiteral("#100")));

    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("b.txt"), QStringLiteral("--data"),
               QStringLiteral("Orders=sqlite:other.db?sql=SELECT id, customer, amount FROM orders WHERE id <= 5")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(QStringLiteral("b.txt: 1 page"))) << run.Out.toStdString();
    EXPECT_FALSE(TextOf(Out("b.txt")).contains(QStringLiteral("#6")));

    // A CSV file replaces the SQL data set.
    QFile csv(Out("orders.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("id,customer,amount\n1,Zoe,2.5\n2,Yan,3.5\n");
    csv.close();
    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("c.csv"), QStringLiteral("--data"),
               QStringLiteral("Orders=csv:orders.csv")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString cells = TextOf(Out("c.csv"));
    EXPECT_TRUE(cells.contains(QStringLiteral("Zoe")) && cells.contains(QStringLiteral("Yan"))) << cells.toStdString();

    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("d.txt"), QStringLiteral("--data"),
               QStringLiteral("Customers=csv:orders.csv")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("no data set named Customers (it has: Orders)"))) << run.Err.toStdString();
}

// Conditions and functions of the expression language through a saved form:
// a plain-name condition with AND, LIKE and IN on the detail band, a sign,
// FORMATFLOAT and an ISO date constant in the printed text.
TEST_F(RenderTest, ExpressionConditionsSelectTheRowsOfAForm)
{
    MakeForm(form, QStringLiteral("sqlite:shop.db"), QStringLiteral("SELECT id, customer, amount FROM orders ORDER BY id"),
             true, [](TKVReport& report) {
                 TKVXBand* detail = report.GetBand(report.GetIndexBand(btDetail));
                 detail->KVPrintWhen()->SetShowIf(
                     QStringLiteral("id > 3 AND customer LIKE 'C_' AND id IN (4, 12, 5000000000)"));
                 AddExpression(detail,
                               QStringLiteral("FORMATFLOAT('#,##0.00', -amount * 1000) + IIF(GETDATE() > '2024-01-31', "
                                              "' ok', '')"),
                               480, 200);
             });

    const ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("out.txt")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString text = TextOf(Out("out.txt"));
    EXPECT_TRUE(text.contains(QStringLiteral("#4")) && text.contains(QStringLiteral("#12"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("#3")) || text.contains(QStringLiteral("#5"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("-18,000.00 ok"))) << text.toStdString();
}

TEST_F(RenderTest, PreparedReportsSaveAndRenderAgain)
{
    ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("saved.zpg")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("direct.txt")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    run = Run({QStringLiteral("render"), Out("saved.zpg"), QStringLiteral("-o"), QStringLiteral("again.txt")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(Read(Out("again.txt")), Read(Out("direct.txt")));
    EXPECT_FALSE(Read(Out("again.txt")).isEmpty());

    // Options that need a form are refused for a prepared report.
    run = Run({QStringLiteral("render"), Out("saved.zpg"), QStringLiteral("-o"), QStringLiteral("x.txt"),
               QStringLiteral("--param"), QStringLiteral("Who=X")});
    EXPECT_EQ(run.ExitCode, 2);
}

TEST_F(RenderTest, PdfIsFlateCompressedUnlessAnOptionSaysOtherwiseAlsoFromAPreparedReport)
{
    ASSERT_EQ(Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("saved.zpg")}).ExitCode, 0);
    struct Case {
        QString Input;
        QStringList Options;
        bool Flate;
    };
    const QList<Case> cases = {
        {form, {}, true},
        {form, {QStringLiteral("--option"), QStringLiteral("compression=asciihex")}, false},
        {Out("saved.zpg"), {QStringLiteral("--option=CompressionMethod=MaxCompress")}, true},
        {Out("saved.zpg"), {QStringLiteral("--option"), QStringLiteral("Compression=seASCII85")}, false},
        // PDF/A forbids LZW: Flate stands in.
        {form, {QStringLiteral("--option=PdfA=True"), QStringLiteral("--option=Compression=LZW")}, true},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(QStringList{QStringLiteral("render"), c.Input, QStringLiteral("-o"), QStringLiteral("o.pdf"),
                                            QStringLiteral("-q")} + c.Options);
        ASSERT_EQ(run.ExitCode, 0) << c.Options.join(u' ').toStdString() << ": " << run.Err.toStdString();
        EXPECT_EQ(Read(Out("o.pdf")).contains("/FlateDecode"), c.Flate) << c.Options.join(u' ').toStdString();
    }

    ToolRun run = Run({QStringLiteral("formats"), QStringLiteral("--options"), QStringLiteral("PDF")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << run.Out.toStdString(); // a heading, then render's options with render's defaults
    EXPECT_EQ(lines[1].simplified(), QStringLiteral("Compression TKVXECompression seFlate seASCIIHex, seASCII85, seLZW, "
                                                    "seDCT, seFlate"));
    EXPECT_EQ(lines[2].simplified(), QStringLiteral("CompressionMethod TKVXECompressionMethod cmFastest cmFastest, "
                                                    "cmNormal, cmMaxCompress"));
    EXPECT_EQ(lines[3].simplified(), QStringLiteral("EmbedFonts boolean true true, false, yes, no, 1, 0"));
    EXPECT_EQ(lines[4].simplified(), QStringLiteral("PdfA boolean false true, false, yes, no, 1, 0"));
    EXPECT_EQ(Run({QStringLiteral("formats"), QStringLiteral("--options=zpg")}).Out,
              QStringLiteral("zpg (prepared report): no options\n"));
    run = Run({QStringLiteral("formats"), QStringLiteral("--options"), QStringLiteral("doc")});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.startsWith(QStringLiteral("vorel formats: --options: unknown format \"doc\""))) << run.Err.toStdString();
}

// A page header's outline expression gives one bookmark a page; a prepared
// report keeps them, so its PDF has them too.
// XLS and XLSX by the output's extension; the XLSX data mode (records
// asked for by the option) with its frozen caption row and values as numbers.
TEST_F(RenderTest, SpreadsheetsByExtensionAndTheXlsxDataMode)
{
    ToolRun run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("out.xls"), QStringLiteral("-q")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QByteArray xls = Read(Out("out.xls"));
    EXPECT_TRUE(xls.startsWith(QByteArray::fromHex("0908060000001000"))) << "a BIFF beginning-of-file record";
    EXPECT_TRUE(xls.contains("Orders for nobody"));
    EXPECT_TRUE(xls.endsWith(QByteArray::fromHex("0a000000")));

    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("layout.xlsx"), QStringLiteral("-q")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    run = Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("data.xlsx"), QStringLiteral("--option"),
               QStringLiteral("Mode=Data"), QStringLiteral("-q")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 is not installed; the workbooks are not opened";
    QProcess check;
    check.setWorkingDirectory(work.path());
    check.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"PY(
import re, zipfile
layout = zipfile.ZipFile('layout.xlsx').read('xl/worksheets/sheet1.xml').decode()
assert 'Orders for nobody' in layout, 'the page header is in the layout'
assert '<pane' not in layout
data = zipfile.ZipFile('data.xlsx').read('xl/worksheets/sheet1.xml').decode()
assert '<pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>' in data, 'caption row frozen'
assert 'Page 1' not in data, 'no page furniture'
rows = re.findall(r'<row r="(\d+)"', data)
assert len(rows) == 101, len(rows)
cells = dict(re.findall(r'<c r="([A-Z]+\d+)"([^>]*)>', data))
assert 't="inlineStr"' in cells['A2'], 'the order text "#1" is a string'
assert 't=' not in cells['C2'], 'the amount is a number'
assert re.search(r'<col min="3" max="3" width="[\d.]+"', data), 'column widths'
print('ok')
)PY")});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
}

TEST_F(RenderTest, BookmarksReachThePdfFromAFormAndFromItsPreparedReport)
{
    if (QStandardPaths::findExecutable(QStringLiteral("qpdf")).isEmpty())
        GTEST_SKIP() << "qpdf is not installed (Debian: qpdf)";
    MakeForm(form, QStringLiteral("sqlite:shop.db"), QStringLiteral("SELECT id, customer, amount FROM orders ORDER BY id"),
             true, [](TKVReport& report) {
                 report.GetBand(report.GetIndexBand(btPageHeader))
                     ->SetOutlineExpression(QStringLiteral("'Seite ' + INTTOSTR(PageNo)"));
             });
    auto bookmarks = [&](const QString& pdf) {
        QProcess qpdf;
        qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=outlines"), pdf});
        qpdf.waitForFinished();
        QStringList titles;
        for (const QJsonValue item :
             QJsonDocument::fromJson(qpdf.readAllStandardOutput()).object().value(QStringLiteral("outlines")).toArray())
            titles << QStringLiteral("%1@%2").arg(item[QStringLiteral("title")].toString())
                          .arg(item[QStringLiteral("destpageposfrom1")].toInt());
        return titles;
    };
    const QStringList expected{QStringLiteral("Seite 1@1"), QStringLiteral("Seite 2@2"), QStringLiteral("Seite 3@3")};
    ASSERT_EQ(Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("a.pdf"), QStringLiteral("-q")}).ExitCode, 0);
    EXPECT_EQ(bookmarks(Out("a.pdf")), expected);
    ASSERT_EQ(Run({QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("a.zpg"), QStringLiteral("-q")}).ExitCode, 0);
    ASSERT_EQ(Run({QStringLiteral("render"), Out("a.zpg"), QStringLiteral("-o"), QStringLiteral("b.pdf"), QStringLiteral("-q")}).ExitCode, 0);
    EXPECT_EQ(bookmarks(Out("b.pdf")), expected);
}

TEST_F(RenderTest, BadInputAndUsageGiveTheDocumentedExitCodesAndMessages)
{
    QFile::copy(form, Path("forms/cut.kvx"));
    QByteArray bytes = Read(form);
    {
        QFile cut(Path("forms/cut.kvx"));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cut.write(bytes.left(bytes.size() / 2));
    }
    MakeForm(Path("forms/nodb.kvx"), QStringLiteral("sqlite:missing.db"), QStringLiteral("SELECT 1"));
    MakeForm(Path("forms/badsql.kvx"), QStringLiteral("sqlite:shop.db"), QStringLiteral("SELECT nothing FROM nowhere"));
    {
        TKVReport report;
        report.LoadReport(form);
        auto* broken = static_cast<TKVXExpression*>(report.GetBand(report.GetIndexBand(btDetail))->Object(0));
        broken->SetExpression(QStringLiteral("[amount] +* 2"));
        report.SaveReport(Path("forms/badexpr.kvx"), TReportFormFormat::Text);
    }

    struct Case {
        QStringList Args;
        int ExitCode;
        QStringList Said; // texts the message must hold
    };
    const QString out = QStringLiteral("out.pdf");
    const QList<Case> cases = {
        {{QStringLiteral("render"), Path("forms/none.kvx"), QStringLiteral("-o"), out}, 1, {QStringLiteral("none.kvx")}},
        {{QStringLiteral("render"), Path("forms/cut.kvx"), QStringLiteral("-o"), out}, 1, {QStringLiteral("cut.kvx")}},
        {{QStringLiteral("render"), Path("forms/nodb.kvx"), QStringLiteral("-o"), out},
         1,
         {QStringLiteral("nodb.kvx"), QStringLiteral("missing.db"), QStringLiteral("no such file")}},
        {{QStringLiteral("render"), Path("forms/badsql.kvx"), QStringLiteral("-o"), out},
         1,
         {QStringLiteral("badsql.kvx"), QStringLiteral("SELECT nothing FROM nowhere")}},
        // The place from the error: the unnamed detail band (the report's
        // second) and its first control, the property, the expression and
        // the character where its parse stopped.
        {{QStringLiteral("render"), Path("forms/badexpr.kvx"), QStringLiteral("-o"), out},
         1,
         {QStringLiteral("badexpr.kvx: band 2.TKVXExpression #1.Expression \"[amount] +* 2\" at character 11: "
                         "Expression expected but '*' found")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--pages"), QStringLiteral("7-9")},
         1,
         {QStringLiteral("7-9"), QStringLiteral("3 page")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--pages"),
          QStringLiteral("99999999999")},
         1,
         {QStringLiteral("99999999999")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--param"), QStringLiteral("Nope=1")},
         1,
         {QStringLiteral("no parameter named Nope"), QStringLiteral("Who")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("out.doc")},
         2,
         {QStringLiteral("out.doc"), QStringLiteral("--format")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--format"), QStringLiteral("bogus")},
         2,
         {QStringLiteral("unknown format \"bogus\"")}},
        {{QStringLiteral("render"), form}, 2, {QStringLiteral("-o OUT")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--frobnicate")},
         2,
         {QStringLiteral("--frobnicate")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--data"), QStringLiteral("Orders")},
         2,
         {QStringLiteral("NAME=SOURCE")}},
        {{QStringLiteral("render"), form, QStringLiteral("-o"), out, QStringLiteral("--language"), QStringLiteral("Klingon")},
         2,
         {QStringLiteral("Klingon")}},
        {{QStringLiteral("info")}, 2, {QStringLiteral("info FORM.kvx")}},
        {{QStringLiteral("frobnicate")}, 2, {QStringLiteral("unknown command")}},
    };
    for (const Case& c : cases) {
        const ToolRun run = Run(c.Args);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Args.join(u' ').toStdString() << "\n" << run.Err.toStdString();
        for (const QString& said : c.Said)
            EXPECT_TRUE(run.Err.contains(said)) << c.Args.join(u' ').toStdString() << "\nsaid: " << run.Err.toStdString();
        EXPECT_FALSE(QFile::exists(Out(out))) << "no output after a failure: " << c.Args.join(u' ').toStdString();
        EXPECT_EQ(run.Err.count(u'\n'), c.ExitCode == 1 ? 1 : run.Err.count(u'\n')) << "bad input: one line";
    }
}

TEST_F(RenderTest, InfoAndFormatsDescribeWithoutOpeningData)
{
    QFile::remove(Path("forms/shop.db")); // info must not need it
    ToolRun run = Run({QStringLiteral("info"), form});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    for (const QString& expected :
         {QStringLiteral("Listing"), QStringLiteral("Orders  TSqlDataSet  sqlite:shop.db"), QStringLiteral("PageHeader"),
          QStringLiteral("'Orders for ' + Who"), QStringLiteral("Who  \"Prepared for\""), QStringLiteral("two passes")})
        EXPECT_TRUE(run.Out.contains(expected)) << expected.toStdString() << "\n" << run.Out.toStdString();

    run = Run({QStringLiteral("formats")});
    ASSERT_EQ(run.ExitCode, 0);
    for (const QString& extension : {QStringLiteral("zpg "), QStringLiteral("pdf "), QStringLiteral("csv "),
                                     QStringLiteral("txt "), QStringLiteral("html"), QStringLiteral("xml ")})
        EXPECT_TRUE(run.Out.contains(u'\n' + extension) || run.Out.startsWith(extension)) << run.Out.toStdString();
}

TEST_F(RenderTest, InterruptCancelsAndLeavesNoOutput)
{
    MakeShop(Path("forms/shop.db"), 400000);
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(VorelBinary(), {QStringLiteral("render"), form, QStringLiteral("-o"), QStringLiteral("big.pdf")});
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(1500);
    if (process.state() != QProcess::Running)
        GTEST_SKIP() << "the report finished before the signal; the machine is faster than this test assumes";
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("cancelled")));
    EXPECT_FALSE(QFile::exists(Out("big.pdf")));
    EXPECT_TRUE(QDir(work.path()).entryList(QDir::Files).isEmpty()) << "no temporary file left behind";
}

} // namespace
} // namespace vorel
