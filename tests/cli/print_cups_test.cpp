// vorel print and vorel printers through a real CUPS queue: a private
// cupsd with a cups-pdf queue (scripts/cups_test_queue.sh), whose PDFs are
// read back to see which sheet came out in which order. cups-pdf turns the
// job into PostScript and back, and the fonts come out without their
// Unicode maps (pdftotext reads nonsense), so each sheet carries a Code
// 128 symbol of one of its rows (prefixed "B" on the second bar), read
// with pdftoppm and zbarimg.
// Skipped, with the reason, where that server or those tools are missing.

#include "support/shop_db.h"
#include "support/tool_run.h"

#include "model/band.h"
#include "model/barcode.h"
#include "model/report.h"
#include "model/report_file.h"
#include "model/text_controls.h"
#include "data/sql_dataset.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace vorel;

namespace {

struct TCupsQueue {
    QString Skip; // why the queue is not there; empty when it is
    QString Server;
    QString PdfDir;
    QString PdfQueue;
    QString RejectQueue;
};

// Started once per test program; the script itself is idempotent and
// serialises concurrent callers.
const TCupsQueue& Queue()
{
    static const TCupsQueue queue = [] {
        TCupsQueue q;
        QProcess script;
        script.start(QStringLiteral("bash"), {QStringLiteral(VOREL_SOURCE_DIR "/scripts/cups_test_queue.sh")});
        if (!script.waitForFinished(180000) || script.exitStatus() != QProcess::NormalExit) {
            q.Skip = QStringLiteral("scripts/cups_test_queue.sh did not finish");
            return q;
        }
        const QString err = QString::fromUtf8(script.readAllStandardError()).trimmed();
        if (script.exitCode() != 0) {
            q.Skip = QStringLiteral("no CUPS queue here: ") + (err.isEmpty() ? QStringLiteral("exit %1").arg(script.exitCode()) : err);
            return q;
        }
        for (const QString& line : QString::fromUtf8(script.readAllStandardOutput()).split(u'\n')) {
            const QString key = line.section(u'=', 0, 0);
            const QString value = line.section(u'=', 1);
            if (key == u"CUPS_SERVER")
                q.Server = value;
            else if (key == u"PDF_DIR")
                q.PdfDir = value;
            else if (key == u"PDF_QUEUE")
                q.PdfQueue = value;
            else if (key == u"REJECT_QUEUE")
                q.RejectQueue = value;
        }
        if (q.Server.isEmpty() || q.PdfDir.isEmpty())
            q.Skip = QStringLiteral("scripts/cups_test_queue.sh gave no server or folder");
        return q;
    }();
    return queue;
}

TKVXExpression* AddText(TKVXBand* band, const QString& expression, int left)
{
    auto* control = static_cast<TKVXExpression*>(band->Object(band->AddElement(&TKVXExpression::staticMetaObject)));
    control->SetExpression(expression);
    control->SetLeft(left);
    control->SetTop(2);
    control->SetWidth(200);
    control->SetHeight(18);
    control->SetWordWrap(false);
    return control;
}

// 100 orders: 3 pages, each footer saying "Sheet P-B" (page P of bar B)
// and each header carrying a Code 128 symbol of one of its rows; with two
// bars the second bar's controls stand beyond the first page's width.
void MakeForm(const QString& path, int bars)
{
    TKVReport report;
    report.SetName(QStringLiteral("Listing"));
    auto* orders = new TSqlDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->SetConnection(QStringLiteral("sqlite:shop.db"));
    orders->SetSQL(QStringLiteral("SELECT id, 'B' || id AS bid FROM orders ORDER BY id"));
    report.SetDataSet(orders);
    report.SetBarNumber(bars);
    report.PrinterSetting()->SetPaperSize(psA4);
    TKVXBand* detail = report.GetBand(report.GetIndexBand(btDetail));
    detail->SetHeight(22);
    AddText(detail, QStringLiteral("'#' + INTTOSTR([id])"), 0);
    TKVXBand* footer = report.GetBand(report.GetIndexBand(btPageFooter));
    footer->SetHeight(24);
    for (int bar = 0; bar < bars; ++bar)
        AddText(footer, QStringLiteral("'Sheet ' + INTTOSTR(PageNo) + '-' + INTTOSTR(BarNo)"), 1000 * bar);
    // The header's symbol encodes a row of its page: "44" on bar 1, "B44"
    // on bar 2 (a symbol takes a field, not an expression).
    TKVXBand* header = report.GetBand(report.GetIndexBand(btPageHeader));
    header->SetHeight(70);
    for (int bar = 0; bar < bars; ++bar) {
        auto* code = static_cast<TKVBarCode*>(header->Object(header->AddElement(&TKVBarCode::staticMetaObject)));
        code->SetBarCodeType(bcCode128);
        code->SetExpression(bar == 0 ? QStringLiteral("Orders.id") : QStringLiteral("Orders.bid"));
        code->SetLeft(1000 * bar + 250);
        code->SetTop(4);
        code->SetWidth(260);
        code->SetHeight(60);
        code->SetNarrowWidth(2); // report pixels: modules wide enough for a 300 dpi scan
    }
    report.SaveReport(path, TReportFormFormat::Text);
}

class PrintCupsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const TCupsQueue& q = Queue();
        if (!q.Skip.isEmpty())
            GTEST_SKIP() << q.Skip.toStdString();
        for (const char* tool : {"pdftoppm", "pdfinfo", "zbarimg"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        // The tool (a child of this process) finds the private server here.
        qputenv("CUPS_SERVER", q.Server.toLocal8Bit());
        MakeShop(dir.filePath(QStringLiteral("shop.db")), 100);
        MakeForm(dir.filePath(QStringLiteral("one.kvx")), 1);
        MakeForm(dir.filePath(QStringLiteral("two.kvx")), 2);
        // A title of its own, so that tests running at once find their own file.
        title = QStringLiteral("vorelt%1").arg(QRandomGenerator::global()->generate() % 100000000);
    }

    // Other tests of this program run the tool on the virtual printer.
    void TearDown() override { qunsetenv("CUPS_SERVER"); }

    ToolRun Print(const QString& form, QStringList args) const
    {
        return Vorel(QStringList{QStringLiteral("print"), dir.filePath(form), QStringLiteral("--title"), title,
                                 QStringLiteral("--quiet")}
                         + args,
                     dir.path());
    }

    // The queue's PDF of this test's job, once cups-pdf has finished it
    // (the file exists while the job is still being written: it counts once
    // pdfinfo reads it whole); empty after the timeout.
    QString WaitForJob() const
    {
        QDeadlineTimer deadline(180000);
        while (!deadline.hasExpired()) {
            const QStringList files =
                QDir(Queue().PdfDir).entryList({title + QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
            if (!files.isEmpty()) {
                const QString path = QDir(Queue().PdfDir).filePath(files.first());
                QProcess info;
                info.start(QStringLiteral("pdfinfo"), {path});
                if (info.waitForFinished(60000) && info.exitCode() == 0
                    && QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("Pages:")))
                    return path;
            }
            QThread::msleep(200);
        }
        return {};
    }

    // "1-1 2-1 ...": the page and bar of each sheet, in sheet order ("?"
    // for a sheet without a symbol). A sheet's symbol names a row of its
    // page; the rows' order among the sheets gives the page numbers.
    QString SheetOrder(const QString& pdf) const
    {
        QTemporaryDir pages;
        QProcess render;
        render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                                  QStringLiteral("-png"), pdf, pages.filePath(QStringLiteral("s"))});
        if (!render.waitForFinished(120000) || render.exitCode() != 0)
            return QStringLiteral("pdftoppm failed");
        QList<QPair<int, int>> sheets; // (row, bar); row -1: no symbol
        // pdftoppm pads the numbers to one width, so names sort in page order.
        for (const QString& png : QDir(pages.path()).entryList({QStringLiteral("s*.png")}, QDir::Files, QDir::Name)) {
            QProcess scan;
            scan.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), pages.filePath(png)});
            scan.waitForFinished(60000);
            static const QRegularExpression symbol(QStringLiteral("CODE-128:(B?)(\\d+)"));
            const auto m = symbol.match(QString::fromUtf8(scan.readAllStandardOutput()));
            sheets.append(m.hasMatch() ? qMakePair(m.captured(2).toInt(), m.captured(1).isEmpty() ? 1 : 2)
                                       : qMakePair(-1, 0));
        }
        QList<int> rows;
        for (const auto& [row, bar] : std::as_const(sheets))
            if (row >= 0 && !rows.contains(row))
                rows.append(row);
        std::sort(rows.begin(), rows.end());
        QStringList out;
        for (const auto& [row, bar] : std::as_const(sheets))
            out << (row < 0 ? QStringLiteral("?") : QStringLiteral("%1-%2").arg(rows.indexOf(row) + 1).arg(bar));
        return out.join(u' ');
    }

    // Prints, waits for the queue's PDF and reads its sheets; the PDF goes.
    QString PrintedSheets(const QString& form, const QStringList& args, QString* pageSize = nullptr) const
    {
        const ToolRun run = Print(form, args);
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        if (run.ExitCode != 0)
            return run.Err;
        const QString pdf = WaitForJob();
        if (pdf.isEmpty())
            return QStringLiteral("no PDF titled %1 in %2").arg(title, Queue().PdfDir);
        if (pageSize) {
            QProcess info;
            info.start(QStringLiteral("pdfinfo"), {pdf});
            info.waitForFinished(60000);
            *pageSize = QString::fromUtf8(info.readAllStandardOutput());
        }
        const QString order = SheetOrder(pdf);
        QFile::remove(pdf);
        return order;
    }

    QTemporaryDir dir;
    QString title;
};

TEST_F(PrintCupsTest, CollatedCopiesComeAsWholeSetsOnA4)
{
    QString details;
    EXPECT_EQ(PrintedSheets(QStringLiteral("one.kvx"), {QStringLiteral("--copies"), QStringLiteral("2"), QStringLiteral("--collate")},
                            &details),
              QStringLiteral("1-1 2-1 3-1 1-1 2-1 3-1"));
    // A4 is 595.28 x 841.89 points.
    EXPECT_TRUE(details.contains(QRegularExpression(QStringLiteral("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts"))))
        << details.toStdString();
}

TEST_F(PrintCupsTest, UncollatedCopiesKeepEachPagesCopiesTogether)
{
    EXPECT_EQ(PrintedSheets(QStringLiteral("one.kvx"), {QStringLiteral("--copies=2")}),
              QStringLiteral("1-1 1-1 2-1 2-1 3-1 3-1"));
}

TEST_F(PrintCupsTest, TwoBarsPrintBarOneThenBarTwoForEachListedPage)
{
    // Pages 2, 3 and 9 of 3: page 9 does not exist and adds no sheet (the
    // numbers are the printed pages' order among themselves).
    EXPECT_EQ(PrintedSheets(QStringLiteral("two.kvx"), {QStringLiteral("--pages"), QStringLiteral("2,3,9")}),
              QStringLiteral("1-1 1-2 2-1 2-2"));
}

TEST_F(PrintCupsTest, QueueThatRejectsJobsIsAnErrorNamingThePrinter)
{
    const ToolRun run = Print(QStringLiteral("one.kvx"), {QStringLiteral("--printer"), Queue().RejectQueue});
    EXPECT_EQ(run.ExitCode, 1) << run.Out.toStdString();
    EXPECT_TRUE(run.Err.contains(Queue().RejectQueue)) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(QStringLiteral("not accepting"), Qt::CaseInsensitive)) << run.Err.toStdString();
}

TEST_F(PrintCupsTest, PagesThatSelectNothingStartNoJob)
{
    const ToolRun run = Print(QStringLiteral("one.kvx"), {QStringLiteral("--pages"), QStringLiteral("abc")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("selects none"))) << run.Err.toStdString();
    const ToolRun unknown = Print(QStringLiteral("one.kvx"), {QStringLiteral("--printer"), QStringLiteral("Nope")});
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_TRUE(unknown.Err.contains(Queue().PdfQueue)) << "lists the printers: " << unknown.Err.toStdString();
}

TEST_F(PrintCupsTest, PrintersListsTheQueuesTheDefaultAndItsPapers)
{
    const ToolRun run = Vorel({QStringLiteral("printers")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(Queue().PdfQueue + QStringLiteral(" (default)"))) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(Queue().RejectQueue)) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("papers: "))) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("A4"))) << run.Out.toStdString();
}

} // namespace
