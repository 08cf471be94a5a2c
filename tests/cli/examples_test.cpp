// The example reports of examples/, rendered by the vorel tool as a user
// runs it: every form to PDF, CSV and a prepared report (.zpg), the prepared
// report again to PDF. The PDFs pass qpdf --check; pdftotext finds the
// titles, a customer and the grand totals, which the test computes from the
// database itself (plain SQL through QtSql, not through Vorel's data sets);
// the CSV holds the same cells. Also: the database generator writes the same
// file on every run.
//
// The forms read shop.db beside them. When examples/shop.db is missing (a
// fresh clone before scripts/setup.sh), the forms are copied into a
// temporary folder and the database is generated there with python3.

#include "support/tool_run.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vorel {
namespace {

const QString kExamples = QStringLiteral(VOREL_SOURCE_DIR "/examples");
const char* const kForms[] = {"orders", "sales", "invoice", "addresses", "wide"};

struct TProgramRun {
    int ExitCode = -1;
    QString Out; // standard output and error together
};

// Runs a program other than vorel (python3, qpdf, pdftotext); -1 when it
// cannot be started or does not finish in a minute.
TProgramRun RunProgram(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    TProgramRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = QString::fromUtf8(process.readAll());
    return run;
}

bool Have(const char* program)
{
    return !QStandardPaths::findExecutable(QLatin1String(program)).isEmpty();
}

// A sum of money as the examples print it: two decimals, comma thousands.
// Written here independently of Vorel's formatter.
QString Money(double value)
{
    const qint64 cents = qint64(std::llround(value * 100));
    QString whole = QString::number(std::llabs(cents) / 100);
    for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
        whole.insert(at, u',');
    return (cents < 0 ? QStringLiteral("-") : QString()) + whole + u'.'
         + QStringLiteral("%1").arg(std::llabs(cents) % 100, 2, 10, QLatin1Char('0'));
}

// The folder holding the forms and shop.db, set up once for all tests.
class ExampleFolder {
public:
    static ExampleFolder& Get()
    {
        static ExampleFolder folder;
        return folder;
    }
    bool Ready() const { return FError.isEmpty(); }
    const QString& Error() const { return FError; }
    QString Form(const QString& name) const { return FDir + u'/' + name + QStringLiteral(".kvx"); }
    QString Database() const { return FDir + QStringLiteral("/shop.db"); }

    // The first column of the first row of an SQL query on shop.db.
    QVariant Query(const QString& sql) const
    {
        QSqlDatabase db = QSqlDatabase::database(FConnection);
        QSqlQuery query(db);
        if (!query.exec(sql) || !query.next()) {
            ADD_FAILURE() << "query failed: " << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        return query.value(0);
    }

private:
    ExampleFolder()
    {
        if (QFileInfo::exists(kExamples + QStringLiteral("/shop.db"))) {
            FDir = kExamples;
        } else {
            FCopy = std::make_unique<QTemporaryDir>();
            FDir = FCopy->path();
            for (const char* form : kForms) {
                const QString name = QLatin1String(form) + QStringLiteral(".kvx");
                if (!QFile::copy(kExamples + u'/' + name, FDir + u'/' + name))
                    FError = QStringLiteral("cannot copy %1 to %2").arg(name, FDir);
            }
            if (!Have("python3")) {
                FError = QStringLiteral("examples/shop.db is missing and python3 is not installed to write it "
                                        "(run scripts/setup.sh)");
                return;
            }
            const TProgramRun run = RunProgram(QStringLiteral("python3"),
                {kExamples + QStringLiteral("/make_shop_db.py"), Database()});
            if (run.ExitCode != 0)
                FError = QStringLiteral("make_shop_db.py failed: ") + run.Out;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
        db.setDatabaseName(Database());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            FError = QStringLiteral("cannot open %1: %2").arg(Database(), db.lastError().text());
    }

    const QString FConnection = QStringLiteral("examples_test");
    std::unique_ptr<QTemporaryDir> FCopy;
    QString FDir;
    QString FError;
};

// What one example must show. Texts are computed from the database where
// they depend on it.
struct TExample {
    const char* Form;
    int Pages;                 // PDF pages (a page of several bars is one PDF page)
    QStringList PdfTexts;      // each must appear in pdftotext's output
    QStringList CsvCells;      // each must be a cell of the CSV
    QStringList CsvRow;        // cells that must stand in one row, in this order
};

TExample Expect(const char* form)
{
    const ExampleFolder& f = ExampleFolder::Get();
    const int orders = f.Query(QStringLiteral("SELECT COUNT(*) FROM orders")).toInt();
    const double goods = f.Query(QStringLiteral("SELECT SUM(qty * price) FROM order_lines")).toDouble();
    const double shipping = f.Query(QStringLiteral("SELECT SUM(shipping) FROM orders")).toDouble();
    const QString firstCustomer = f.Query(QStringLiteral(
        "SELECT c.name FROM orders o JOIN customers c ON c.id = o.customer_id ORDER BY o.id LIMIT 1")).toString();
    const QString form_ = QLatin1String(form);
    TExample e{form, 0, {}, {}, {}};
    if (form_ == u"orders") {
        const QString total = Money(goods + shipping);
        const QString count = QStringLiteral("Total of %1 orders").arg(orders);
        e.Pages = 4;
        e.PdfTexts = {QStringLiteral("Orders 2024"), firstCustomer, count, total, QStringLiteral("Page 1 of 4"),
                      QStringLiteral("Page 4 of 4")};
        e.CsvCells = {QStringLiteral("Orders 2024"), firstCustomer};
        e.CsvRow = {count, Money(goods), Money(shipping), total};
    } else if (form_ == u"sales") {
        const double books = f.Query(QStringLiteral(
            "SELECT SUM(l.qty * l.price) FROM order_lines l JOIN products p ON p.id = l.product_id "
            "WHERE p.category = 'Books'")).toDouble();
        const QString euro = QStringLiteral("\u20ac ");
        e.Pages = 4;
        e.PdfTexts = {QStringLiteral("Sales 2024"), QStringLiteral("Espresso Roast"), QStringLiteral("Books total"),
                      euro + Money(books), QStringLiteral("Grand total 2024"), euro + Money(goods)};
        e.CsvCells = {QStringLiteral("Sales 2024"), QStringLiteral("Total Espresso Roast")};
        e.CsvRow = {QStringLiteral("Grand total 2024"), euro + Money(goods), QStringLiteral("100.0 %")};
    } else if (form_ == u"invoice") {
        const QString month = QStringLiteral("order_date BETWEEN '2024-01-01' AND '2024-01-31'");
        const double first = f.Query(QStringLiteral(
            "SELECT SUM(l.qty * l.price) + o.shipping FROM orders o JOIN order_lines l ON l.order_id = o.id "
            "WHERE o.id = (SELECT MIN(id) FROM orders)")).toDouble();
        const QString lastNo = QStringLiteral("INV-2024-%1")
            .arg(f.Query(QStringLiteral("SELECT MAX(id) FROM orders WHERE ") + month).toInt(), 4, 10, QLatin1Char('0'));
        const QString firstProduct = f.Query(QStringLiteral(
            "SELECT p.name FROM order_lines l JOIN products p ON p.id = l.product_id "
            "WHERE l.order_id = (SELECT MIN(id) FROM orders) ORDER BY l.line_no LIMIT 1")).toString();
        e.Pages = f.Query(QStringLiteral("SELECT COUNT(*) FROM orders WHERE ") + month).toInt();
        e.PdfTexts = {QStringLiteral("INVOICE"), QStringLiteral("INV-2024-0001"), lastNo, firstCustomer, firstProduct,
                      QStringLiteral("\u20ac ") + Money(first)};
        e.CsvCells = {QStringLiteral("INV-2024-0001"), firstCustomer, firstProduct};
        e.CsvRow = {QStringLiteral("Total"), QStringLiteral("\u20ac ") + Money(first)};
    } else if (form_ == u"addresses") {
        const QString someone = f.Query(QStringLiteral("SELECT name FROM customers WHERE id = 1")).toString();
        const QString germany = QStringLiteral("%1 customers in Germany")
            .arg(f.Query(QStringLiteral("SELECT COUNT(*) FROM customers WHERE country = 'Germany'")).toInt());
        e.Pages = 2;
        e.PdfTexts = {QStringLiteral("Customer addresses"), someone, germany, QStringLiteral("Page 2 of 2")};
        e.CsvCells = {QStringLiteral("Customer addresses"), someone, germany};
    } else if (form_ == u"wide") {
        const double january = f.Query(QStringLiteral(
            "SELECT SUM(l.qty * l.price) FROM orders o JOIN order_lines l ON l.order_id = o.id "
            "WHERE o.order_date LIKE '2024-01-%'")).toDouble();
        e.Pages = 1;
        e.PdfTexts = {QStringLiteral("Revenue by customer and month"), QStringLiteral("(continued)"), firstCustomer,
                      Money(january), Money(goods), QStringLiteral("sheet 2 of 2")};
        e.CsvCells = {QStringLiteral("Revenue by customer and month (continued)"), Money(january)};
        e.CsvRow = {QString::number(orders), Money(goods)};
    }
    return e;
}

// The cells of a CSV file (semicolon-separated; quotes removed), by row.
QList<QStringList> CsvRows(const QString& path)
{
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(Read(path)).split(QRegularExpression(QStringLiteral("\r?\n")))) {
        if (line.isEmpty())
            continue;
        QStringList cells = line.split(u';');
        for (QString& cell : cells) {
            if (cell.size() >= 2 && cell.startsWith(u'"') && cell.endsWith(u'"'))
                cell = cell.mid(1, cell.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        }
        rows.append(cells);
    }
    return rows;
}

// Whether the cells of one row hold `wanted` in this order (other cells between).
bool HasRowWith(const QList<QStringList>& rows, const QStringList& wanted)
{
    for (const QStringList& row : rows) {
        qsizetype at = 0;
        for (const QString& cell : row)
            if (at < wanted.size() && cell.trimmed() == wanted[at])
                ++at;
        if (at == wanted.size())
            return true;
    }
    return false;
}

bool HasCell(const QList<QStringList>& rows, const QString& wanted)
{
    return HasRowWith(rows, {wanted});
}

class ExamplesTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        ASSERT_TRUE(ExampleFolder::Get().Ready()) << ExampleFolder::Get().Error().toStdString();
        ASSERT_TRUE(out.isValid());
    }
    QString Out(const QString& name) const { return out.filePath(name); }

    // Renders with the working directory elsewhere than the form: the
    // form's relative database path must not depend on it.
    void Render(const QString& input, const QString& output)
    {
        const ToolRun run = Vorel({QStringLiteral("render"), input, QStringLiteral("-o"), output}, out.path());
        ASSERT_EQ(run.ExitCode, 0) << "vorel render " << input.toStdString() << " -o " << output.toStdString()
                                   << "\n" << run.Err.toStdString() << run.Out.toStdString();
        ASSERT_GT(QFileInfo(output).size(), 0) << output.toStdString();
    }

    static void CheckPdf(const QString& pdf, const TExample& example)
    {
        if (Have("qpdf")) {
            const TProgramRun check = RunProgram(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf});
            EXPECT_EQ(check.ExitCode, 0) << check.Out.toStdString();
            EXPECT_FALSE(check.Out.contains(u"WARNING")) << check.Out.toStdString();
        }
        if (!Have("pdftotext"))
            return;
        const TProgramRun text = RunProgram(QStringLiteral("pdftotext"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        ASSERT_EQ(text.ExitCode, 0) << text.Out.toStdString();
        for (const QString& wanted : example.PdfTexts) {
            EXPECT_TRUE(text.Out.contains(wanted)) << pdf.toStdString() << " lacks \"" << wanted.toStdString() << "\"";
        }
        // pdftotext ends every page with a form feed.
        EXPECT_EQ(text.Out.count(u'\f'), example.Pages) << pdf.toStdString();
    }

    QTemporaryDir out;
};

TEST_P(ExamplesTest, RendersToPdfCsvAndPreparedReport)
{
    const QString name = QLatin1String(GetParam());
    const TExample example = Expect(GetParam());
    const QString form = ExampleFolder::Get().Form(name);

    const QString pdf = Out(name + QStringLiteral(".pdf"));
    Render(form, pdf);
    CheckPdf(pdf, example);

    const QString csv = Out(name + QStringLiteral(".csv"));
    Render(form, csv);
    const QList<QStringList> rows = CsvRows(csv);
    for (const QString& cell : example.CsvCells) {
        EXPECT_TRUE(HasCell(rows, cell)) << csv.toStdString() << " has no cell \"" << cell.toStdString() << "\"";
    }
    if (!example.CsvRow.isEmpty()) {
        EXPECT_TRUE(HasRowWith(rows, example.CsvRow))
            << csv.toStdString() << " has no row with \"" << example.CsvRow.join(QStringLiteral("\", \"")).toStdString()
            << "\"";
    }

    // A prepared report, exported later without the form or the database.
    const QString zpg = Out(name + QStringLiteral(".zpg"));
    Render(form, zpg);
    const QString again = Out(name + QStringLiteral("-from-zpg.pdf"));
    Render(zpg, again);
    CheckPdf(again, example);
}

// Python's csv module reads the orders CSV: every value of a detail line
// stands in the column of its caption (right-aligned numbers of any width
// included), and nothing stands in a column without a caption.
constexpr const char* kCaptionColumnsCheck = R"PY(
import csv, re, sys
rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8'), delimiter=';'))
caps = ['Order', 'Date', 'Customer', 'City', 'Country', 'Items', 'Goods', 'Shipping', 'Total']
header = next(r for r in rows if all(c in r for c in caps))
col = {c: header.index(c) for c in caps}
shape = {'Order': r'\d+', 'Date': r'\d\d?[./-]\d\d?[./-]\d{2,4}|\d{4}-\d\d-\d\d', 'Items': r'\d+',
         'Goods': r'[\d.,]+', 'Shipping': r'[\d.,]*', 'Total': r'[\d.,]+'}  # free shipping prints nothing
details = [r for r in rows if len(r) > col['Order'] and re.fullmatch(r'\d+', r[col['Order']])]
assert len(details) > 10, 'only %d detail lines' % len(details)
for r in details:
    for c, pattern in shape.items():
        assert re.fullmatch(pattern, r[col[c]]), (c, r)
    for i, v in enumerate(r):
        assert not v or i in col.values(), ('a value outside the captions', i, r)
print(len(details))
)PY";

TEST_F(ExamplesTest, OrdersCsvValuesStandInTheirCaptionsColumns)
{
    if (!Have("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const QString csv = Out(QStringLiteral("orders.csv"));
    Render(ExampleFolder::Get().Form(QStringLiteral("orders")), csv);
    const TProgramRun check = RunProgram(QStringLiteral("python3"),
        {QStringLiteral("-c"), QString::fromUtf8(kCaptionColumnsCheck), csv});
    EXPECT_EQ(check.ExitCode, 0) << check.Out.toStdString();
}

// The data-only CSV: one row per order, the captions above, raw values (no
// grouping, ISO dates), no page furniture. Read by Python's csv module; the
// goods total is summed again from the database.
TEST_F(ExamplesTest, OrdersDataCsvHoldsOneRowPerOrderWithRawValues)
{
    if (!Have("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const QString csv = Out(QStringLiteral("orders-data.csv"));
    const ToolRun run = Vorel({QStringLiteral("render"), ExampleFolder::Get().Form(QStringLiteral("orders")),
                               QStringLiteral("-o"), csv, QStringLiteral("--option"), QStringLiteral("Mode=Data"),
                               QStringLiteral("-q")},
                              out.path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const TProgramRun check = RunProgram(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"(
import csv, sqlite3, sys
rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8'), delimiter=';'))
assert rows[0] == ['Order', 'Date', 'Customer', 'City', 'Country', 'Items', 'Goods', 'Shipping', 'Total'], rows[0]
db = sqlite3.connect(sys.argv[2])
assert len(rows) == 1 + db.execute('SELECT COUNT(*) FROM orders').fetchone()[0], len(rows)
assert all(len(r) == 9 for r in rows)
assert rows[1][1] == '2024-01-03', rows[1]
goods = sum(float(r[6]) for r in rows[1:])
expected = db.execute('SELECT SUM(qty * price) FROM order_lines').fetchone()[0]
assert abs(goods - expected) < 0.01, (goods, expected)
)"), csv, ExampleFolder::Get().Database()});
    EXPECT_EQ(check.ExitCode, 0) << check.Out.toStdString();
}

// The invoices through the worksheet and RTF writers, chosen by the output
// file's extension: the invoice numbers land in labels and in the RTF text,
// and the RTF's paper is the report's A4 page (794 x 1123 pixels at 15
// twips each), one page of it, not the height of all twelve.
TEST_F(ExamplesTest, InvoicesRenderToLotusQuattroProAndRtf)
{
    const QString form = ExampleFolder::Get().Form(QStringLiteral("invoice"));
    for (const char* ext : {"wk1", "wq1"}) {
        const QString file = Out(QStringLiteral("invoice.") + QLatin1String(ext));
        Render(form, file);
        const QByteArray bytes = Read(file);
        EXPECT_TRUE(bytes.contains("INV-2024-0001")) << ext;
        EXPECT_TRUE(bytes.endsWith(QByteArray::fromHex("01000000"))) << ext << ": no end-of-file record";
    }
    const QString rtf = Out(QStringLiteral("invoice.rtf"));
    Render(form, rtf);
    const QByteArray text = Read(rtf);
    EXPECT_TRUE(text.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    EXPECT_TRUE(text.contains("\\paperw11910\\paperh16845")) << text.left(800).toStdString();
    EXPECT_TRUE(text.contains(" INV-2024-0001}"));
    EXPECT_TRUE(text.endsWith("\\par}"));
}

INSTANTIATE_TEST_SUITE_P(Examples, ExamplesTest, ::testing::ValuesIn(kForms),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// Two runs of the generator give the same file, so reports of the examples
// are the same on every machine that runs the same SQLite.
TEST(ExampleDatabase, IsTheSameOnEveryRun)
{
    if (!Have("python3"))
        GTEST_SKIP() << "python3 is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString script = kExamples + QStringLiteral("/make_shop_db.py");
    const QString first = dir.filePath(QStringLiteral("first.db"));
    const QString second = dir.filePath(QStringLiteral("second.db"));
    for (const QString& target : {first, second}) {
        const TProgramRun run = RunProgram(QStringLiteral("python3"), {script, target});
        ASSERT_EQ(run.ExitCode, 0) << run.Out.toStdString();
    }
    const QByteArray a = Read(first);
    EXPECT_GT(a.size(), 0);
    EXPECT_TRUE(a == Read(second)) << "two runs of make_shop_db.py wrote different files";
    EXPECT_FALSE(QFileInfo::exists(first + QStringLiteral(".tmp"))) << "the temporary file is left behind";
}

} // namespace
} // namespace vorel
