// What the band engine makes of real forms, seen as a user sees it: each
// form of tests/cli/engine_reports/ is rendered to PDF by the vorel tool and
// its pages are read back with `pdftotext -bbox`, which gives one <page>
// element per page and every word with its box in points. The expected
// numbers come from SQL over the test's own database (through QtSql).
//
// Geometry shared by the forms unless a form says otherwise: a custom page
// of 1270 x 1270 tenths of a millimetre (5 x 5 inches, 480 x 480 report
// pixels at 96 per inch) with margins of 127 tenths (48 pixels), so the
// body runs from y = 48 to y = 432. Rows are 24 pixels high: 16 rows fill
// an empty body; a 48-pixel page footer starts at y = 384 and leaves room
// for 14 rows.

#include "support/tool_run.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vorel {
namespace {

const QString kForms = QStringLiteral(VOREL_SOURCE_DIR "/tests/cli/engine_reports");
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kFooterTop = 432 - 48; // the 48-pixel page footer of the small page

// A word on a page; positions in report pixels, y downwards.
struct TWord {
    QString Text;
    double Left = 0, Top = 0, Bottom = 0;
};

struct TPage {
    double Width = 0, Height = 0; // points
    QList<TWord> Words;

    bool Has(const QString& text) const
    {
        return std::any_of(Words.begin(), Words.end(), [&](const TWord& w) { return w.Text == text; });
    }
    double TopOf(const QString& text) const
    {
        for (const TWord& w : Words)
            if (w.Text == text)
                return w.Top;
        return -1;
    }
    // Words whose tops lie within 2 pixels of each other form a line, read
    // left to right; lines top to bottom. Only words that reach below
    // `below` count.
    QStringList Lines(double below = -1) const
    {
        QList<TWord> words;
        for (const TWord& w : Words)
            if (w.Bottom > below)
                words.append(w);
        std::stable_sort(words.begin(), words.end(), [](const TWord& a, const TWord& b) { return a.Top < b.Top; });
        QStringList lines;
        for (qsizetype i = 0; i < words.size();) {
            qsizetype end = i + 1;
            while (end < words.size() && words[end].Top - words[i].Top <= 2)
                ++end;
            QList<TWord> line = words.mid(i, end - i);
            std::stable_sort(line.begin(), line.end(), [](const TWord& a, const TWord& b) { return a.Left < b.Left; });
            QStringList texts;
            for (const TWord& w : line)
                texts.append(w.Text);
            lines.append(texts.join(u' '));
            i = end;
        }
        return lines;
    }
};

QStringList AllLines(const QList<TPage>& pages)
{
    QStringList lines;
    for (const TPage& page : pages)
        lines += page.Lines();
    return lines;
}

QStringList Matching(const QStringList& lines, const QString& pattern)
{
    return lines.filter(QRegularExpression(QStringLiteral("^(?:%1)").arg(pattern)));
}

// A number as the engine prints running values: plain decimal text.
QString Num(const QVariant& value)
{
    return QString::number(value.toDouble(), 'g', 12);
}

class EngineReports : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<QTemporaryDir>();
        for (const QString& name : QDir(kForms).entryList({QStringLiteral("*.kvx")}))
            QFile::copy(kForms + u'/' + name, dir->filePath(name));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(dir->filePath(QStringLiteral("engine.db")));
        if (!db.open())
            return;
        const char* const statements[] = {
            "CREATE TABLE vals(id INTEGER, grp TEXT, v INTEGER)",
            "INSERT INTO vals VALUES (1, 'A', 5), (2, 'A', 1), (3, 'B', 8), (4, 'C', -2), (5, 'C', -7)",
            "CREATE TABLE nums(id INTEGER, v INTEGER)",
            "INSERT INTO nums VALUES (1, 2), (2, 4), (3, 6)",
            "CREATE TABLE items(id INTEGER, amount INTEGER)",
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
            "INSERT INTO items SELECT i, (i * 7) % 13 + 1 FROM n",
            // The NULL teams stand together, so GROUP BY team gives the groups a listing shows.
            "CREATE TABLE teams(id INTEGER, team TEXT)",
            "INSERT INTO teams VALUES (1, 'X'), (2, 'X'), (3, NULL), (4, NULL), (5, NULL), (6, 'Y')",
            "CREATE TABLE invoices(id INTEGER, no TEXT)",
            "INSERT INTO invoices VALUES (1, 'INV1'), (2, 'INV2'), (3, 'INV3'), (4, 'INV4'), (5, 'INV5'), (6, 'INV6')",
            "CREATE TABLE inv_lines(invoice_id INTEGER, line_no INTEGER, qty INTEGER, price INTEGER)",
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) "
            "INSERT INTO inv_lines SELECT inv.id, n.i, n.i % 4 + 1, (inv.id * 5 + n.i * 3) % 17 + 2 "
            "FROM invoices inv JOIN n ON n.i <= CASE inv.id WHEN 1 THEN 3 WHEN 2 THEN 2 WHEN 3 THEN 4 "
            "WHEN 6 THEN 100 ELSE 25 END",
            "CREATE TABLE texts(id INTEGER, words TEXT)",
            "WITH RECURSIVE n(i, s) AS (SELECT 1, 'w001' UNION ALL "
            "SELECT i + 1, s || printf(' w%03d', i + 1) FROM n WHERE i < 200) "
            "INSERT INTO texts SELECT 1, s FROM n WHERE i = 200",
        };
        QSqlQuery q(db);
        for (const char* sql : statements)
            if (!q.exec(QString::fromUtf8(sql)))
                setupError = q.lastError().text() + QStringLiteral(": ") + QString::fromUtf8(sql);
    }
    static void TearDownTestSuite()
    {
        QSqlDatabase::database(kConnection).close();
        QSqlDatabase::removeDatabase(kConnection);
        dir.reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        ASSERT_TRUE(QSqlDatabase::database(kConnection).isOpen()) << "cannot make engine.db";
        ASSERT_TRUE(setupError.isEmpty()) << setupError.toStdString();
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }

    // The rows of an SQL query over engine.db, each as its columns.
    static QList<QVariantList> Rows(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(kConnection));
        QList<QVariantList> rows;
        if (!q.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return rows;
        }
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            rows.append(row);
        }
        return rows;
    }
    static QVariant Value(const QString& sql)
    {
        const QList<QVariantList> rows = Rows(sql);
        return rows.isEmpty() ? QVariant() : rows.first().value(0);
    }
    // Each row's columns joined by a blank: the lines a listing should show.
    static QStringList RowLines(const QString& sql)
    {
        QStringList lines;
        for (const QVariantList& row : Rows(sql)) {
            QStringList cells;
            for (const QVariant& cell : row)
                cells.append(cell.isNull() ? QString() : cell.typeId() == QMetaType::QString ? cell.toString() : Num(cell));
            lines.append(cells.join(u' ').trimmed());
        }
        return lines;
    }

    // Renders a form of engine_reports/ to PDF and reads its pages.
    // err: what the tool said, for forms whose messages are part of the test.
    static QList<TPage> Render(const QString& form, QString* err = nullptr)
    {
        const QString pdf = dir->filePath(form + QStringLiteral(".pdf"));
        const ToolRun run = Vorel({QStringLiteral("render"), dir->filePath(form + QStringLiteral(".kvx")),
                                   QStringLiteral("-o"), pdf, QStringLiteral("--quiet")});
        if (err)
            *err = run.Err;
        EXPECT_EQ(run.ExitCode, 0) << form.toStdString() << ": " << run.Err.toStdString();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        text.waitForFinished(60000);
        const QString html = QString::fromUtf8(text.readAllStandardOutput());
        static const QRegularExpression item(QStringLiteral(
            R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re"));
        QList<TPage> pages;
        for (const QRegularExpressionMatch& m : item.globalMatch(html)) {
            if (!m.captured(1).isEmpty()) {
                pages.append({m.captured(1).toDouble(), m.captured(2).toDouble(), {}});
            } else if (!pages.isEmpty()) {
                pages.last().Words.append({m.captured(6), m.captured(3).toDouble() * kPixelsPerPoint,
                                           m.captured(4).toDouble() * kPixelsPerPoint,
                                           m.captured(5).toDouble() * kPixelsPerPoint});
            }
        }
        return pages;
    }

    static inline const QString kConnection = QStringLiteral("engine_reports_test");
    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline QString setupError;
};

// The ids of the rows "R<id> ..." on a page, in order.
QList<int> RowIds(const TPage& page)
{
    QList<int> ids;
    static const QRegularExpression row(QStringLiteral("^R(\\d+)$"));
    for (const QString& line : page.Lines()) {
        const QRegularExpressionMatch m = row.match(line.section(u' ', 0, 0));
        if (m.hasMatch())
            ids.append(m.captured(1).toInt());
    }
    return ids;
}

QString IdList(const QList<int>& ids)
{
    QStringList texts;
    for (int id : ids)
        texts.append(QString::number(id));
    return texts.join(u',');
}

// --- running values ---------------------------------------------------------------------

TEST_F(EngineReports, LowestHighestAverageInGroupFootersAndSummary)
{
    const QStringList lines = AllLines(Render(QStringLiteral("aggregates")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Footer ")),
              RowLines(QStringLiteral("SELECT 'Footer', MIN(v), MAX(v), AVG(v) FROM vals GROUP BY grp ORDER BY grp")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Summary ")),
              RowLines(QStringLiteral("SELECT 'Summary', MIN(v), MAX(v), AVG(v) FROM vals")));
}

TEST_F(EngineReports, AverageIsTheMeanOfEveryValueSeen)
{
    const QList<TPage> pages = Render(QStringLiteral("average"));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].Lines(),
              RowLines(QStringLiteral("SELECT v, (SELECT AVG(v) FROM nums m WHERE m.id <= n.id) FROM nums n ORDER BY id")));
}

// Page footer: the page's own sum (reset at each page) and the running
// total; page header: the total carried over from the pages before.
TEST_F(EngineReports, PageSumRunningTotalAndCarriedTotal)
{
    const QList<TPage> pages = Render(QStringLiteral("page_totals"));
    ASSERT_GE(pages.size(), 3);
    QString carried; // nothing is carried onto the first page
    for (qsizetype p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(QStringLiteral("page %1").arg(p + 1).toStdString());
        const QList<int> ids = RowIds(pages[p]);
        ASSERT_FALSE(ids.isEmpty());
        const QString pageSum = Num(Value(QStringLiteral("SELECT SUM(amount) FROM items WHERE id IN (%1)").arg(IdList(ids))));
        const QString running = Num(Value(QStringLiteral("SELECT SUM(amount) FROM items WHERE id <= %1").arg(ids.last())));
        const QStringList lines = pages[p].Lines();
        EXPECT_EQ(Matching(lines, QStringLiteral("Carried")), QStringList{(QStringLiteral("Carried ") + carried).trimmed()});
        EXPECT_EQ(Matching(lines, QStringLiteral("PageSum")), QStringList{QStringLiteral("PageSum ") + pageSum});
        EXPECT_EQ(Matching(lines, QStringLiteral("Running")), QStringList{QStringLiteral("Running ") + running});
        carried = running;
    }
}

// --- system values ----------------------------------------------------------------------

TEST_F(EngineReports, PageNumbersInDetailRowsAndPageFooterConditions)
{
    const QList<TPage> pages = Render(QStringLiteral("page_numbers"));
    ASSERT_GE(pages.size(), 3);
    for (qsizetype p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(QStringLiteral("page %1").arg(p + 1).toStdString());
        const QString here = QStringLiteral("P%1").arg(p + 1);
        for (const QString& row : Matching(pages[p].Lines(), QStringLiteral("R\\d")))
            EXPECT_EQ(row.section(u' ', 1), here) << row.toStdString();
        EXPECT_EQ(pages[p].Has(QStringLiteral("NotFirst")), p > 0);   // ShowIf PageNo > 1
        EXPECT_EQ(pages[p].Has(QStringLiteral("Last")), p == pages.size() - 1); // ShowIf PageNo = PageCount
    }
}

// Each row: R<id>, then DetailNo and BandLineNo, each by an expression and
// by a system data control.
TEST_F(EngineReports, DetailNoAndBandLineNoInExpressionsMatchSystemData)
{
    const QList<TPage> pages = Render(QStringLiteral("line_numbers"));
    ASSERT_EQ(pages.size(), 1);
    QStringList expected;
    for (const QVariantList& row : Rows(QStringLiteral("SELECT id FROM items WHERE id <= 5 ORDER BY id")))
        expected.append(QStringLiteral("R%1 %2 %2 %2 %2").arg(row[0].toInt()).arg(expected.size() + 1));
    EXPECT_EQ(pages[0].Lines(), expected);
}

// --- page breaks ------------------------------------------------------------------------

// A group header and 13 rows fill the 14 rows above the page footer; the
// group footer closing the report has no room left and must go to page 2.
TEST_F(EngineReports, ClosingGroupFooterThatDoesNotFitMovesToANewPage)
{
    const QList<TPage> pages = Render(QStringLiteral("closing_footer"));
    for (const TPage& page : pages)
        EXPECT_EQ(page.Lines(kFooterTop), QStringList{QStringLiteral("PageFoot")}); // nothing drawn over it
    ASSERT_EQ(pages.size(), 2);
    EXPECT_FALSE(pages[0].Has(QStringLiteral("GroupEnd")));
    EXPECT_TRUE(pages[1].Has(QStringLiteral("GroupEnd")));
}

// Group A: header and 15 rows fill page 1; its footer spills onto page 2.
// Group B's header (NewPage) must then begin page 3.
TEST_F(EngineReports, GroupHeaderWithNewPageAfterAFooterThatSpilled)
{
    const QList<TPage> pages = Render(QStringLiteral("group_new_page"));
    ASSERT_GE(pages.size(), 2);
    ASSERT_EQ(pages[1].Lines().value(0), QStringLiteral("EndA")) << "the form no longer spills group A's footer";
    EXPECT_EQ(pages[1].Lines(), QStringList{QStringLiteral("EndA")});
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[2].Lines().value(0), QStringLiteral("StartB"));
}

// Rows are "<group>.<n>"; every page holding rows of a group shows that
// group's "Head<group>" above its first row.
TEST_F(EngineReports, ReprintHeaderOnEveryContinuationPage)
{
    struct TCase {
        const char* Form;
        const char* LastOfPage1; // the geometry the case needs
    } const cases[] = {
        // Group A (header, 13 rows, footer) leaves one row: B's header
        // lands there and its first row moves to page 2.
        {"reprint_header", "HeadB"},
        // Invoices 4 and 5 with 25 sub-detail lines each.
        {"reprint_subdetail", nullptr},
    };
    static const QRegularExpression row(QStringLiteral("^(\\w+)\\.\\d+$"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Form);
        const QList<TPage> pages = Render(QLatin1String(c.Form));
        ASSERT_GE(pages.size(), 3);
        if (c.LastOfPage1) {
            ASSERT_EQ(pages[0].Lines().value(pages[0].Lines().size() - 1), QLatin1String(c.LastOfPage1))
                << "the form no longer ends page 1 with the header";
        }
        for (qsizetype p = 0; p < pages.size(); ++p) {
            QSet<QString> seen;
            for (const TWord& w : pages[p].Words) {
                const QRegularExpressionMatch m = row.match(w.Text);
                if (!m.hasMatch() || seen.contains(m.captured(1)))
                    continue;
                seen.insert(m.captured(1));
                const double head = pages[p].TopOf(QStringLiteral("Head") + m.captured(1));
                EXPECT_TRUE(head >= 0 && head < w.Top)
                    << "page " << p + 1 << ": " << w.Text.toStdString() << " without its header above it";
            }
        }
    }
}

// --- sub-detail, groups -----------------------------------------------------------------

TEST_F(EngineReports, SubDetailRunningSumGroupTotalsAndGrandTotal)
{
    const QStringList lines = AllLines(Render(QStringLiteral("subdetail_sums")));
    EXPECT_EQ(Matching(lines, QStringLiteral("\\d+\\.\\d+ ")),
              RowLines(QStringLiteral("SELECT invoice_id || '.' || line_no, qty * price, "
                                      "(SELECT SUM(qty * price) FROM inv_lines b WHERE b.invoice_id <= 3 AND "
                                      "(b.invoice_id < a.invoice_id OR (b.invoice_id = a.invoice_id AND b.line_no <= a.line_no))) "
                                      "FROM inv_lines a WHERE invoice_id <= 3 ORDER BY invoice_id, line_no")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Total")),
              RowLines(QStringLiteral("SELECT 'Total' || invoice_id, SUM(qty * price) FROM inv_lines "
                                      "WHERE invoice_id <= 3 GROUP BY invoice_id ORDER BY invoice_id")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Grand")),
              RowLines(QStringLiteral("SELECT 'Grand', SUM(qty * price) FROM inv_lines WHERE invoice_id <= 3")));
}

TEST_F(EngineReports, ConsecutiveNullGroupValuesFormOneGroup)
{
    const QStringList lines = AllLines(Render(QStringLiteral("null_groups")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Head")),
              RowLines(QStringLiteral("SELECT 'Head', team FROM teams GROUP BY team ORDER BY MIN(id)")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Count")),
              RowLines(QStringLiteral("SELECT 'Count', COUNT(*) FROM teams GROUP BY team ORDER BY MIN(id)")));
}

TEST_F(EngineReports, TwoGroupBandPairsWithOneExpression)
{
    const QStringList lines = AllLines(Render(QStringLiteral("same_expression")));
    const QString groups = QStringLiteral("FROM vals GROUP BY grp ORDER BY grp");
    EXPECT_EQ(Matching(lines, QStringLiteral("Outer[A-Z]$")), RowLines(QStringLiteral("SELECT 'Outer' || grp ") + groups));
    EXPECT_EQ(Matching(lines, QStringLiteral("Inner[A-Z]$")), RowLines(QStringLiteral("SELECT 'Inner' || grp ") + groups));
    for (const QString& footer : {QStringLiteral("InnerEnd"), QStringLiteral("OuterEnd")})
        EXPECT_EQ(Matching(lines, footer), RowLines(QStringLiteral("SELECT '%1', COUNT(*) ").arg(footer) + groups))
            << footer.toStdString();
}

// --- page setup, stretching -------------------------------------------------------------

TEST_F(EngineReports, LandscapeA4WithoutPaperDimensions)
{
    const QList<TPage> pages = Render(QStringLiteral("landscape"));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_NEAR(pages[0].Width, 842, 2);  // A4 long side, 297 mm in points
    EXPECT_NEAR(pages[0].Height, 595, 2); // 210 mm
}

// One row whose word-wrapped text (200 words in a 120-pixel column) needs
// about three bodies of 336 pixels above the page footer.
TEST_F(EngineReports, StretchingDetailContinuesOnTheNextPage)
{
    const QList<TPage> pages = Render(QStringLiteral("stretch"));
    QStringList words;
    for (const QString& line : AllLines(pages))
        for (const QString& word : line.split(u' '))
            if (word.startsWith(u'w'))
                words.append(word);
    const QStringList expected = Value(QStringLiteral("SELECT words FROM texts")).toString().split(u' ');
    EXPECT_EQ(words.size(), expected.size()) << "last word printed: " << words.value(words.size() - 1).toStdString();
    EXPECT_EQ(words, expected);
    for (qsizetype p = 0; p < pages.size(); ++p)
        EXPECT_EQ(pages[p].Lines(kFooterTop), QStringList{QStringLiteral("PageFoot")}) << "page " << p + 1;
}

// Rows R1..R20, groups G1 (1-10) and G2; one kind "k" all through. Each of
// four controls prints <letter>k with RepeatedValues = False and one
// "also print" setting. Page 1 holds G1's header, 10 rows, footer, G2's
// header and 3 rows; row 14 does not fit and moves to page 2.
TEST_F(EngineReports, RepeatedValuesPrintAgainOnNewPageGroupChangeAndOverflow)
{
    const QList<TPage> pages = Render(QStringLiteral("print_when"));
    ASSERT_EQ(pages.size(), 2);
    QSet<int> pageFirst, groupFirst;
    for (const TPage& page : pages)
        pageFirst.insert(RowIds(page).value(0));
    for (const QVariantList& row : Rows(QStringLiteral(
             "SELECT MIN(id) FROM items WHERE id <= 20 GROUP BY CASE WHEN id <= 10 THEN 1 ELSE 2 END")))
        groupFirst.insert(row[0].toInt());
    ASSERT_NE(pageFirst, groupFirst) << "the page break must not fall on a group change";
    struct TCase {
        QString Token;
        QSet<int> Rows;
    } const cases[] = {
        {QStringLiteral("Sk"), {1}},        // repeated values suppressed, nothing else
        {QStringLiteral("Nk"), pageFirst},  // RePrintOnNewPage
        {QStringLiteral("Gk"), groupFirst}, // OnGroupChange, GroupName = [grp]
        {QStringLiteral("Ok"), pageFirst},  // OnOverflow: row 14 overflowed to page 2
    };
    for (const TCase& c : cases) {
        QSet<int> printed;
        for (const QString& line : AllLines(pages))
            if (line.split(u' ').contains(c.Token))
                printed.insert(line.mid(1).section(u' ', 0, 0).toInt());
        EXPECT_EQ(printed, c.Rows) << c.Token.toStdString();
    }
}

// NewPage on a detail band: a page per record; on a group footer: each
// group ends its page, the summary stands on the last one.
TEST_F(EngineReports, NewPageOnDetailAndGroupFooter)
{
    struct TCase {
        const char* Form;
        const char* Pages; // SQL: a row per page, its first and last line
    } const cases[] = {
        {"detail_new_page", "SELECT 'R' || id, 'R' || id FROM nums ORDER BY id"},
        {"footer_new_page", "SELECT 'Group' || grp, CASE WHEN grp = (SELECT MAX(grp) FROM vals) THEN 'Summary' "
                            "ELSE 'End' || grp END FROM vals GROUP BY grp ORDER BY grp"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Form);
        const QList<TPage> pages = Render(QLatin1String(c.Form));
        const QList<QVariantList> expected = Rows(QLatin1String(c.Pages));
        EXPECT_EQ(pages.size(), expected.size());
        if (pages.size() != expected.size())
            continue;
        for (qsizetype p = 0; p < pages.size(); ++p) {
            const QStringList lines = pages[p].Lines();
            EXPECT_EQ(lines.value(0), expected[p][0].toString()) << "page " << p + 1;
            EXPECT_EQ(lines.value(lines.size() - 1), expected[p][1].toString()) << "page " << p + 1;
        }
    }
}

// One invoice of 100 lines on a page of 480 x 960 pixels: a 40-pixel page
// footer from y = 872, a 48-pixel header with the captions, 20-pixel lines:
// 37 lines on page 1 (below a 24-pixel detail), 38 on page 2, 25 on page 3.
// The total sums the invoice's lines (a sub-detail field) in the footer.
TEST_F(EngineReports, InvoiceOverThreePages)
{
    constexpr double footerTop = 960 - 48 - 40;
    const QList<TPage> pages = Render(QStringLiteral("invoice"));
    ASSERT_EQ(pages.size(), 3);
    const QString total = QStringLiteral("Total ") + Num(Value(QStringLiteral("SELECT SUM(qty * price) FROM inv_lines WHERE invoice_id = 6")));
    QStringList lineNumbers;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(QStringLiteral("page %1").arg(p + 1).toStdString());
        const QStringList lines = pages[p].Lines();
        EXPECT_TRUE(lines.contains(QStringLiteral("Pos Qty Price Amount")));
        EXPECT_EQ(lines.contains(total), p == pages.size() - 1);
        EXPECT_EQ(pages[p].Lines(footerTop), QStringList{QStringLiteral("Page %1").arg(p + 1)});
        lineNumbers += Matching(lines, QStringLiteral("L\\d")).replaceInStrings(QRegularExpression(QStringLiteral(" .*")), QString());
    }
    QStringList expected;
    for (const QVariantList& row : Rows(QStringLiteral("SELECT 'L' || line_no FROM inv_lines WHERE invoice_id = 6 ORDER BY line_no")))
        expected.append(row[0].toString());
    EXPECT_EQ(lineNumbers, expected);
}

// --- expressions ------------------------------------------------------------------------

// A value that cannot be computed for one record (6 / 0 at record 3) prints
// nothing there, not the previous record's value, and the tool names the
// control, the expression and the record; a condition on a missing value
// (the NULL teams) does not hold; a condition that is no Boolean stops the
// report naming the control and the condition.
TEST_F(EngineReports, ExpressionErrorsForOneRecordAndConditions)
{
    QString err;
    const QStringList lines = AllLines(Render(QStringLiteral("expression_errors"), &err));
    EXPECT_EQ(lines, (QStringList{"R1 Q-3 X", "R2 Q-6 X", "R3", "R4 Q6", "R5 Q3", "R6 Q2"}));
    EXPECT_TRUE(err.contains(QStringLiteral("warning: Detail.Ratio, expression \"'Q' + INTTOSTR(6 / ([id] - 3))\"")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("(first at record 3)"))) << err.toStdString();
    EXPECT_EQ(err.count(u'\n'), 1) << "one line for the control, not one a record";

    const ToolRun run = Vorel({QStringLiteral("render"), dir->filePath(QStringLiteral("condition_not_boolean.kvx")),
                               QStringLiteral("-o"), dir->filePath(QStringLiteral("nb.pdf")), QStringLiteral("-q")});
    EXPECT_EQ(run.ExitCode, 1);
    // Right after the form's name: the message names the control itself, so
    // the place the error carries adds nothing before it.
    EXPECT_TRUE(run.Err.contains(
        QStringLiteral("condition_not_boolean.kvx: Detail.OnlyX: the print-when condition ShowIf \"[team]\" gives X")))
        << run.Err.toStdString();
}

} // namespace
} // namespace vorel
