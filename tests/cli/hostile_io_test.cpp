// vorel render and convert where the world is hostile: a disk that fills
// up while the output is written, an output that is the database under
// another name, queries that would change the data they are given, text
// that would steer the terminal, cells a spreadsheet would run. One rule
// throughout: one clear error, exit 1, and nothing lost or half-written.

#include "support/shop_db.h"
#include "support/tool_run.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace vorel {
namespace {

const char kListing[] = R"(object Listing: TKVReport
  DataSet = Orders
  object Header: TKVXBand
    BandType = btColumnHeader
    Height = 20
    object HCustomer: TKVXLabel
      DisplayName = 'Customer'
      Top = 1
      Left = 0
      Width = 200
      Height = 18
    end
  end
  object Detail: TKVXBand
    BandType = btDetail
    Height = 20
    object Customer: TKVXExpression
      Expression = '[customer]'
      Top = 1
      Left = 0
      Width = 200
      Height = 18
    end
    object Amount: TKVXExpression
      Expression = '[amount]'
      Top = 1
      Left = 210
      Width = 100
      Height = 18
    end
  end
  object Orders: TSqlDataSet
    Connection = 'sqlite:shop.db'
    ReadOnly = False
    SQL = 'SELECT id, customer, amount FROM orders ORDER BY id'
    Active = True
  end
end
)";

class HostileIoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        ASSERT_TRUE(dir.isValid());
        MakeShop(Path("shop.db"), 3000);
        QFile form(Path("listing.kvx"));
        ASSERT_TRUE(form.open(QIODevice::WriteOnly));
        form.write(kListing);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    ToolRun Run(const QStringList& args) const { return Vorel(args, dir.path()); }
    int Orders() const
    {
        int count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hostile_io_count"));
            db.setDatabaseName(Path("shop.db"));
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("SELECT COUNT(*) FROM orders")) && q.next())
                count = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("hostile_io_count"));
        return count;
    }

    QTemporaryDir dir;
};

// Runs `command` (a shell command line, the tool as "$VOREL") in a mount
// namespace of its own with a tmpfs of `kilobytes` on `folder`, which is
// gone again when the command ends. Exit 77 when no such mount can be made.
ToolRun RunOnSmallTmpfs(const QString& folder, int kilobytes, const QString& command, const QString& workingDir)
{
    ToolRun run;
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty() || ::geteuid() != 0) {
        run.ExitCode = 77;
        return run;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VOREL"), VorelBinary());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    const QString script = QStringLiteral("mount -t tmpfs -o size=%1k vorel-full '%2' 2>/dev/null || exit 77\n%3")
                               .arg(kilobytes)
                               .arg(folder, command);
    process.start(unshare, {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), script});
    return Collect(process, 120000);
}

// The disk fills up while the output is written: every format must fail
// with the system's reason and keep the output that was there. (A flush
// that failed while the file was committed used to go unreported: an empty
// or cut-short file replaced the good one, with exit code 0.)
TEST_F(HostileIoTest, AFullDiskKeepsTheOldOutputAndSaysWhyForEveryFormat)
{
    const QString disk = Path("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    const QStringList formats = {"txt", "csv", "html", "xml", "xls", "xlsx", "wk1", "wq1",
                                 "rtf", "pdf", "emf", "wmf", "bmp", "jpg", "tif", "zpg"};
    for (const QString& format : formats) {
        SCOPED_TRACE(format.toStdString());
        const QString output = disk + QStringLiteral("/out.") + format;
        // One page of a picture is megabytes already (all of them would take minutes).
        const bool picture = format == u"bmp" || format == u"jpg" || format == u"tif";
        // The old output, then the tool; then what is left on the small disk.
        const QString command =
            QStringLiteral("printf good > '%1'\n\"$VOREL\" render listing.kvx -o '%1' -q %3\nrc=$?\n"
                           "echo; ls -A '%2'; printf '[%s]' \"$(cat '%1')\"; exit $rc")
                .arg(output, disk, picture ? QStringLiteral("--pages 1") : QString());
        const ToolRun run = RunOnSmallTmpfs(disk, 16, command, dir.path());
        if (run.ExitCode == 77)
            GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root and unshare -m)";
        EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("No space left on device"))) << run.Err.toStdString();
        EXPECT_EQ(run.Err.count(u'\n'), 1) << run.Err.toStdString();
        // Only the old output is there, as it was.
        EXPECT_EQ(run.Out.trimmed(), QStringLiteral("out.") + format + QStringLiteral("\n[good]")) << run.Out.toStdString();
    }
}

TEST_F(HostileIoTest, AFullDiskFailsAConversionAndKeepsTheOldForm)
{
    const QString disk = Path("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    // The old form, then the disk filled to the last block.
    const QString command = QStringLiteral("printf good > '%1/form.kvx'\ncat /dev/zero > '%1/filler' 2>/dev/null\n"
                                           "\"$VOREL\" convert listing.kvx '%1/form.kvx' --binary\nrc=$?\n"
                                           "rm '%1/filler'; printf '[%s]' \"$(cat '%1/form.kvx')\"; ls -A '%1'; exit $rc")
                                .arg(disk);
    const ToolRun run = RunOnSmallTmpfs(disk, 64, command, dir.path());
    if (run.ExitCode == 77)
        GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root and unshare -m)";
    EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(QStringLiteral("No space left on device"))) << run.Err.toStdString();
    EXPECT_EQ(run.Out.trimmed(), QStringLiteral("[good]form.kvx"));
}

// /dev/full refuses every byte: written into (never renamed over), and the
// refusal reported, whatever the size of the output.
TEST_F(HostileIoTest, AFullDeviceAsTheOutputIsAnErrorForRenderAndConvert)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "this system has no /dev/full";
    const QList<QStringList> commands = {
        {"render", "listing.kvx", "-o", "/dev/full", "--format", "csv", "-q"},
        {"render", "listing.kvx", "-o", "/dev/full", "--format", "pdf", "-q"},
        {"convert", "listing.kvx", "/dev/full", "--binary"},
    };
    for (const QStringList& args : commands) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ToolRun run = Run(args);
        EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("No space left on device"))) << run.Err.toStdString();
    }
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile()) << "the device was replaced by a file";

    // A listing redirected onto a full disk is no success either.
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(VorelBinary(), {"formats"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()),
              QStringLiteral("vorel: cannot write standard output: No space left on device\n"));
}

// The output is the database under another name: a hard link (or a link)
// names the same file, and writing it would destroy the data.
TEST_F(HostileIoTest, AnOutputThatIsTheDatabaseUnderAnyNameIsRefused)
{
    ASSERT_EQ(::link(QFile::encodeName(Path("shop.db")).constData(), QFile::encodeName(Path("hard.csv")).constData()), 0);
    ASSERT_TRUE(QFile::link(Path("shop.db"), Path("soft.csv")));
    const QByteArray before = Read(Path("shop.db"));
    for (const char* output : {"hard.csv", "soft.csv"}) {
        SCOPED_TRACE(output);
        const ToolRun run = Run({"render", "listing.kvx", "-o", output, "-q"});
        EXPECT_EQ(run.ExitCode, 2) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("is the data file"))) << run.Err.toStdString();
    }
    EXPECT_EQ(Read(Path("shop.db")), before);
    EXPECT_EQ(Orders(), 3000);
}

// The form says ReadOnly = False; a query given on the command line still
// only reads, and one that would write is refused before it runs (it used
// to delete the rows and then complain that it returned none).
TEST_F(HostileIoTest, ADataBindingThatWouldChangeTheDatabaseIsRefusedBeforeItRuns)
{
    const QString copy = Path("copy.db");
    const QStringList statements = {
        "delete from orders",
        "delete from orders returning id, customer, amount",
        "VACUUM INTO '" + copy + "'",
    };
    for (const QString& sql : statements) {
        SCOPED_TRACE(sql.toStdString());
        const ToolRun run = Run({"render", "listing.kvx", "-o", "out.csv", "-q", "--data",
                                 "Orders=sqlite:" + Path("shop.db") + "?sql=" + sql});
        EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.startsWith(QStringLiteral("vorel render: listing.kvx: --data Orders: "))) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QStringLiteral("the SQL \"") + sql + "\" would change the database"))
            << run.Err.toStdString();
        EXPECT_FALSE(QFile::exists(Path("out.csv")));
    }
    EXPECT_EQ(Orders(), 3000);
    EXPECT_FALSE(QFile::exists(copy));
}

// Names, texts and SQL from the input are quoted in messages: escape
// sequences and other control characters are shown, never obeyed.
TEST_F(HostileIoTest, ControlCharactersFromTheInputAreEscapedInMessages)
{
    const QList<QStringList> commands = {
        {"render", QStringLiteral("no\x1b[2Jsuch\rform.kvx"), "-o", "out.pdf"},
        {"render", "listing.kvx", "-o", "out.pdf", "--data",
         QStringLiteral("Orders=sqlite:shop.db?sql=SELECT \x1b]0;owned\x07 FROM nowhere\x01")},
        {"render", "listing.kvx", "-o", "out.pdf", "--param", QStringLiteral("No\x1b[31mSuch=1")},
    };
    for (const QStringList& args : commands) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ToolRun run = Run(args);
        EXPECT_NE(run.ExitCode, 0);
        EXPECT_TRUE(run.Err.contains(QStringLiteral("\\x1b"))) << run.Err.toStdString();
        for (const QChar c : run.Err)
            EXPECT_FALSE(c.unicode() < 0x20 && c != u'\n') << "raw control character " << int(c.unicode());
    }
}

// Data made to be opened in a spreadsheet: text cells that a spreadsheet
// would run get an apostrophe; numbers, and the pages' own cells unless
// asked, stay as they are.
TEST_F(HostileIoTest, FormulaCellsAreDefusedInTheDataCsvAndOnRequestInThePagesCsv)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hostile_io_cells"));
        db.setDatabaseName(Path("shop.db"));
        QSqlQuery q(db);
        ASSERT_TRUE(db.open() && q.exec(QStringLiteral("DELETE FROM orders WHERE id > 2")));
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE orders SET customer = '=HYPERLINK(\"http://x\")', amount = -12.5 "
                                          "WHERE id = 1")));
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE orders SET customer = '@SUM(A1)' WHERE id = 2")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("hostile_io_cells"));
    const struct {
        QStringList Options;
        bool Guarded;
    } cases[] = {
        {{"--option", "Mode=Data"}, true},
        {{"--option", "Mode=Data", "--option", "FormulaGuard=Off"}, false},
        {{}, false},
        {{"--option", "FormulaGuard=On"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Options.join(u' ').toStdString());
        const ToolRun run = Run(QStringList{"render", "listing.kvx", "-o", "cells.csv", "-q"} + c.Options);
        ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        const QString csv = QString::fromUtf8(Read(Path("cells.csv")));
        EXPECT_EQ(csv.contains(QStringLiteral("'=HYPERLINK(\"\"http://x\"\")")), c.Guarded) << csv.toStdString();
        EXPECT_EQ(csv.contains(QStringLiteral("'@SUM(A1)")), c.Guarded) << csv.toStdString();
        EXPECT_TRUE(csv.contains(QStringLiteral("-12")) && !csv.contains(QStringLiteral("'-12"))) << csv.toStdString();
    }
}

// A real PostgreSQL server (scripts/pg_test_cluster.sh): a report over its
// data, and a binding that would delete it, which used to delete every row
// and exit 0.
TEST_F(HostileIoTest, APostgresqlBindingRendersAndCannotWrite)
{
    const QString host = qEnvironmentVariable("VOREL_TEST_PGHOST");
    if (host.isEmpty())
        GTEST_SKIP() << "no PostgreSQL server: VOREL_TEST_PGHOST is not set (scripts/test.sh sets it; by hand: "
                        "eval \"$(scripts/pg_test_cluster.sh start)\")";
    const QString table = QStringLiteral("cli_sales_%1").arg(::getpid());
    const QString connection = QStringLiteral("hostile_io_pg");
    const auto exec = [&](const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(connection));
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        return q.next() ? q.value(0).toInt() : -1;
    };
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(host);
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(QStringLiteral("postgres"));
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
    }
    exec(QStringLiteral("DROP TABLE IF EXISTS ") + table);
    exec(QStringLiteral("CREATE TABLE %1 (id integer, customer text, amount numeric(10,2))").arg(table));
    exec(QStringLiteral("INSERT INTO %1 SELECT i, 'P' || i, i * 2.5 FROM generate_series(1, 40) i").arg(table));

    const QString source = QStringLiteral("Orders=postgresql://postgres@/postgres?host=%1&sql=").arg(host);
    ToolRun run = Run({"render", "listing.kvx", "-o", "pg.csv", "-q", "--data",
                       source + QStringLiteral("SELECT id, customer, amount FROM %1 ORDER BY id").arg(table)});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString csv = QString::fromUtf8(Read(Path("pg.csv")));
    EXPECT_TRUE(csv.contains(QStringLiteral("P40")) && csv.contains(QStringLiteral("100"))) << csv.toStdString();

    run = Run({"render", "listing.kvx", "-o", "gone.csv", "-q", "--data",
               source + QStringLiteral("delete from %1 returning *").arg(table)});
    EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(QStringLiteral("read-only transaction"))) << run.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("gone.csv")));
    EXPECT_EQ(exec(QStringLiteral("SELECT COUNT(*) FROM ") + table), 40);
    exec(QStringLiteral("DROP TABLE ") + table);
    QSqlDatabase::database(connection).close();
    QSqlDatabase::removeDatabase(connection);
}

} // namespace
} // namespace vorel
