// vorel wizard run as a process over the example shop: every report type in
// every style is compared with its golden text form, the forms render on
// their own (no --data) with the totals the database gives, and bad
// arguments are refused with a message naming what is wrong.

#include "support/golden.h"
#include "support/tool_run.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

const QString kQuery = QStringLiteral(
    "SELECT o.id, o.order_date, c.name AS customer, c.city, c.country, SUM(l.qty * l.price) AS goods "
    "FROM orders o JOIN customers c ON c.id = o.customer_id JOIN order_lines l ON l.order_id = o.id "
    "GROUP BY o.id ORDER BY c.country, o.id");

const QString kSource = QStringLiteral("Orders=sqlite:shop.db?sql=") + kQuery;

// A folder holding a copy of the example database, where the forms are
// written: their connection then reads "sqlite:shop.db" on every machine.
struct ShopFolder {
    QTemporaryDir dir;
    ShopFolder() { EXPECT_TRUE(QFile::copy(QStringLiteral(VOREL_SOURCE_DIR "/examples/shop.db"), dir.filePath("shop.db"))); }
    QString Path(const QString& name) const { return dir.filePath(name); }
};

QStringList WizardArgs(const QString& type, const QString& style, const QString& output)
{
    QStringList args = {"wizard", "--type", type, "--style", style, "--data", kSource, "-o", output};
    if (type == u"labels")
        args << "--fields" << "customer,city,country" << "--across" << "3" << "--shape" << "rounded";
    else
        args << "--fields" << "id,order_date,customer,country,goods";
    if (type == u"columnar" || type == u"tabular")
        args << "--group" << "country" << "--sum" << "goods";
    return args;
}

// The sum of goods per country, and over all, from the database itself.
QMap<QString, double> ExpectedTotals(const QString& database)
{
    QMap<QString, double> totals;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wizard_totals"));
        db.setDatabaseName(database);
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT country, SUM(goods), (SELECT SUM(qty * price) FROM order_lines) FROM (")
                           + kQuery + QStringLiteral(") GROUP BY country")));
        while (q.next()) {
            totals[q.value(0).toString()] = q.value(1).toDouble();
            totals[QString()] = q.value(2).toDouble();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("wizard_totals"));
    return totals;
}

TEST(WizardCommand, EveryTypeAndStyleMatchesItsGoldenAndRendersItsTotals)
{
    ShopFolder shop;
    const QMap<QString, double> expected = ExpectedTotals(shop.Path("shop.db"));
    ASSERT_EQ(expected.size(), 8); // seven countries and the whole
    static const QRegularExpression groupLine(QStringLiteral("Expression:\\s+(\\S+)"));
    // Totals stand at the left (x 10); a centred page number is no total.
    static const QRegularExpression totalLine(QStringLiteral("^\\s{0,20}(\\d+(\\.\\d+)?)\\s*$"));
    for (const char* type : {"blank", "columnar", "tabular", "labels"}) {
        for (const char* style : {"standard", "executive", "presentative", "corporative"}) {
            const QString name = QStringLiteral("%1_%2").arg(QLatin1String(type), QLatin1String(style));
            SCOPED_TRACE(name.toStdString());
            const ToolRun run = Vorel(WizardArgs(QLatin1String(type), QLatin1String(style), name + ".kvx"), shop.Path({}));
            ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
            testing::ExpectGolden(QStringLiteral("wizard_") + name, QString::fromUtf8(Read(shop.Path(name + ".kvx"))));
            if (qstrcmp(type, "columnar") != 0 && qstrcmp(type, "tabular") != 0)
                continue;
            // Rendered on its own: the form holds its data set.
            const ToolRun render = Vorel({"render", name + ".kvx", "-o", name + ".txt", "-q"}, shop.Path({}));
            ASSERT_EQ(render.ExitCode, 0) << render.Err.toStdString();
            const QStringList lines = QString::fromUtf8(Read(shop.Path(name + ".txt"))).split(u'\n');
            // Each group header names its country; the next total is the
            // country's sum; the last total is the report's.
            QString country;
            QMap<QString, double> printed;
            for (const QString& line : lines) {
                if (const auto group = groupLine.match(line); group.hasMatch())
                    country = group.captured(1);
                else if (const auto total = totalLine.match(line); total.hasMatch())
                    printed[country.isEmpty() ? QStringLiteral("?") : country] = total.captured(1).toDouble(), country.clear();
            }
            ASSERT_EQ(printed.size(), expected.size()) << QStringList(printed.keys()).join(u',').toStdString();
            for (auto it = expected.cbegin(); it != expected.cend(); ++it)
                EXPECT_NEAR(printed.value(it.key().isEmpty() ? QStringLiteral("?") : it.key(), -1), it.value(), 0.005)
                    << it.key().toStdString();
        }
    }
}

TEST(WizardCommand, TitleAndFieldOrderAsGiven)
{
    ShopFolder shop;
    const ToolRun run = Vorel({"wizard", "--type", "columnar", "--style", "executive", "--data", kSource, "--fields",
                               "goods,customer", "--title", "Goods by customer", "-o", "t.kvx"},
                              shop.Path({}));
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString form = QString::fromUtf8(Read(shop.Path("t.kvx")));
    EXPECT_TRUE(form.contains("DisplayName = 'Goods by customer'"));
    EXPECT_LT(form.indexOf("Expression = 'Orders.goods'"), form.indexOf("Expression = 'Orders.customer'"));
    EXPECT_FALSE(form.contains("Orders.city")); // not chosen
}

TEST(WizardCommand, SnapshotPaintsTheDialogAtAStep)
{
    ShopFolder shop;
    const ToolRun run = Vorel({"wizard", "--snapshot", "fields.png", "--page", "3", "--type", "columnar", "--style",
                               "executive", "--data", kSource, "--fields", "id,goods"},
                              shop.Path({}));
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(QImage(shop.Path("fields.png")).size(), QSize(640, 460));
    EXPECT_FALSE(run.Err.contains("style")) << run.Err.toStdString(); // Qt did not take --style
    // A blank report has one step.
    EXPECT_EQ(Vorel({"wizard", "--snapshot", "x.png", "--page", "2", "--type", "blank"}, shop.Path({})).ExitCode, 2);
}

TEST(WizardCommand, BadArgumentsNameWhatIsWrong)
{
    ShopFolder shop;
    const struct {
        QStringList Args;
        int ExitCode;
        const char* Message;
    } rows[] = {
        {{"--type", "pie", "--style", "standard"}, 2, "blank, columnar, tabular, labels"},
        {{"--type", "columnar", "--style", "gothic"}, 2, "standard, executive, presentative, corporative"},
        {{"--type", "columnar", "--style", "standard", "--fields", "id,colour"}, 1,
         "no field \"colour\" (its fields: id, order_date, customer, city, country, goods)"},
        {{"--type", "columnar", "--style", "standard", "--fields", "id", "--sum", "weight"}, 1, "--sum"},
        {{"--type", "columnar", "--style", "standard", "--fields", "id", "--group", "region"}, 1, "--group"},
        {{"--type", "labels", "--style", "standard", "--fields", "id", "--sum", "goods"}, 2, "columnar or tabular"},
        {{"--type", "labels", "--style", "standard", "--fields", "id", "--across", "0"}, 2, "--across"},
    };
    for (const auto& row : rows) {
        QStringList args = QStringList{"wizard", "--data", kSource, "-o", "x.kvx"} + row.Args;
        if (!row.Args.contains("--fields"))
            args << "--fields" << "id";
        const ToolRun run = Vorel(args, shop.Path({}));
        EXPECT_EQ(run.ExitCode, row.ExitCode) << row.Args.join(u' ').toStdString();
        EXPECT_TRUE(run.Err.contains(QString::fromUtf8(row.Message))) << run.Err.toStdString();
        EXPECT_FALSE(QFile::exists(shop.Path("x.kvx")));
    }
    EXPECT_EQ(Vorel({"wizard", "--type", "columnar", "--style", "standard", "--fields", "id", "-o", "x.kvx"}).ExitCode, 2);
    const ToolRun noQuery = Vorel({"wizard", "--type", "columnar", "--style", "standard", "--data", "O=sqlite:shop.db",
                                   "--fields", "id", "-o", "x.kvx"},
                                  shop.Path({}));
    EXPECT_EQ(noQuery.ExitCode, 2);
    EXPECT_TRUE(noQuery.Err.contains("no query")) << noQuery.Err.toStdString();
    // Writing the form over its own database is refused; the data survives.
    const QByteArray before = Read(shop.Path("shop.db"));
    const ToolRun over = Vorel({"wizard", "--type", "columnar", "--style", "standard", "--data", kSource, "--fields", "id",
                                "-o", "shop.db"},
                               shop.Path({}));
    EXPECT_EQ(over.ExitCode, 1);
    EXPECT_EQ(Read(shop.Path("shop.db")), before);
}

} // namespace
} // namespace vorel
