// vorel table, vorel text and vorel join, run as users run them.

#include "support/shop_db.h"
#include "support/tool_run.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vorel;

namespace {

class AutoCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        ASSERT_TRUE(dir.isValid());
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    ToolRun Run(const QStringList& args) const { return Vorel(args, dir.path()); }
    static int PagesSaid(const ToolRun& run)
    {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(": (\\d+) pages? in ")).match(run.Out);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(AutoCommandsTest, TableSumsEachGroupAndTheWholeData)
{
    MakeShop(Path("shop.db"), 30);
    const ToolRun run = Run({QStringLiteral("table"),
                             QStringLiteral("sqlite:shop.db?sql=SELECT customer, amount FROM orders ORDER BY customer, id"),
                             QStringLiteral("-o"), QStringLiteral("out.txt"), QStringLiteral("--title"),
                             QStringLiteral("Orders 100%"), QStringLiteral("--group"), QStringLiteral("customer"),
                             QStringLiteral("--sum"), QStringLiteral("amount")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(PagesSaid(run), 1) << run.Out.toStdString();
    const QString text = QString::fromUtf8(Read(Path("out.txt")));
    EXPECT_TRUE(text.contains(QStringLiteral("Orders 100%")));
    EXPECT_EQ(text.count(QStringLiteral("Total")), 7) << text.toStdString(); // one per customer
    // C0 holds orders 7, 14, 21, 28: (7 + 14 + 21 + 28) x 1.5 = 105.
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Total\\s+105\\b")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Grand total\\s+697.5")))) << text.toStdString();
}

TEST_F(AutoCommandsTest, TableRefusesWhatItCannotPrint)
{
    MakeShop(Path("shop.db"), 3);
    const QString source = QStringLiteral("sqlite:shop.db?sql=SELECT id, amount FROM orders");
    ToolRun run = Run({QStringLiteral("table"), source, QStringLiteral("-o"), QStringLiteral("o.pdf"), QStringLiteral("--sum"),
                       QStringLiteral("price")});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("--sum: the data has no column \"price\" (its columns: id, amount)")))
        << run.Err.toStdString();
    run = Run({QStringLiteral("table"), QStringLiteral("sqlite:shop.db"), QStringLiteral("-o"), QStringLiteral("o.pdf")});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("names no query"))) << run.Err.toStdString();
    run = Run({QStringLiteral("table"), QStringLiteral("sqlite:shop.db?sql=SELECT nope FROM orders"), QStringLiteral("-o"),
               QStringLiteral("o.pdf")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_FALSE(QFile::exists(Path("o.pdf")));
}

TEST_F(AutoCommandsTest, TextPrintsAFileAndJoinPutsFormsOneAfterAnother)
{
    {
        QFile file(Path("notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("first line\nsecond line\n");
    }
    ToolRun run = Run({QStringLiteral("text"), QStringLiteral("notes.txt"), QStringLiteral("-o"), QStringLiteral("notes.out.txt")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString text = QString::fromUtf8(Read(Path("notes.out.txt")));
    EXPECT_TRUE(text.contains(QStringLiteral("first line")) && text.contains(QStringLiteral("second line")));

    const QString examples = QStringLiteral(VOREL_SOURCE_DIR "/examples/");
    run = Run({QStringLiteral("render"), examples + QStringLiteral("addresses.kvx"), QStringLiteral("-o"),
               QStringLiteral("one.txt")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const int single = PagesSaid(run);
    ASSERT_GT(single, 0);
    run = Run({QStringLiteral("join"), examples + QStringLiteral("addresses.kvx"), examples + QStringLiteral("addresses.kvx"),
               QStringLiteral("-o"), QStringLiteral("both.zpg")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(PagesSaid(run), 2 * single);
    run = Run({QStringLiteral("join"), examples + QStringLiteral("addresses.kvx"), QStringLiteral("-o"), QStringLiteral("x.pdf"),
               QStringLiteral("--data"), QStringLiteral("Nothing=csv:none.csv")});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("--data Nothing: none of the forms"))) << run.Err.toStdString();
}
