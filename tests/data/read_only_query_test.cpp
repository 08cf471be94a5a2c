// A report's query only reads. Statements that would change a database
// (or write a copy of it elsewhere) are refused before they run, on SQLite
// by the library's verdict on the prepared statement, on a PostgreSQL
// server by a read-only session; only the application can allow writing.
// The PostgreSQL cases run against a real server: the private cluster
// scripts/pg_test_cluster.sh starts (its socket folder in VOREL_TEST_PGHOST).

#include "data/sql_dataset.h"
#include "data/sql_support_p.h"
#include "data_test_support.h"

#include <QCoreApplication>

using namespace vorel;
using namespace vorel::test;

namespace {

int CountRows(const QString& driver, const QString& connectionName, const QString& table)
{
    Q_UNUSED(driver);
    QSqlQuery q(QSqlDatabase::database(connectionName));
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !q.next())
        return -1;
    return q.value(0).toInt();
}

class SqliteReadOnlyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("shop.db"));
        RunSqlite(FPath, {QStringLiteral("CREATE TABLE orders (id INTEGER PRIMARY KEY, customer TEXT)"),
                          QStringLiteral("INSERT INTO orders VALUES (1, 'Ann'), (2, 'Ben'), (3, 'Cy')")});
    }

    int Orders()
    {
        const QString name = QStringLiteral("read_only_check");
        int count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(FPath);
            if (db.open())
                count = CountRows(QStringLiteral("QSQLITE"), name, QStringLiteral("orders"));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return count;
    }

    QTemporaryDir FDir;
    QString FPath;
};

TEST_F(SqliteReadOnlyTest, StatementsThatWouldWriteAreRefusedBeforeTheyRunWhateverReadOnlySays)
{
    const QString copy = FDir.filePath(QStringLiteral("copy.db"));
    const QString statements[] = {
        QStringLiteral("DELETE FROM orders"),
        QStringLiteral("delete from orders returning *"),
        QStringLiteral("UPDATE orders SET customer = 'x' RETURNING id"),
        QStringLiteral("INSERT INTO orders VALUES (4, 'Di') RETURNING id"),
        QStringLiteral("WITH gone AS (SELECT 1) DELETE FROM orders RETURNING id"),
        QStringLiteral("DROP TABLE orders"),
        QStringLiteral("CREATE TABLE t AS SELECT * FROM orders"),
        // Writes a copy of the database anywhere the user may write.
        QStringLiteral("VACUUM INTO '") + copy + u'\'',
        QStringLiteral("PRAGMA user_version = 7"),
        QStringLiteral("/* x */ ATTACH DATABASE '") + copy + QStringLiteral("' AS other"),
    };
    for (const bool readOnly : {true, false}) {
        for (const QString& sql : statements) {
            SCOPED_TRACE(sql.toStdString() + (readOnly ? " (ReadOnly)" : " (ReadOnly = False)"));
            TSqlDataSet ds;
            ds.SetName(QStringLiteral("Orders"));
            ds.SetConnection(QStringLiteral("sqlite:") + FPath);
            ds.SetReadOnly(readOnly);
            ds.SetSQL(sql);
            const QString message = ErrorOf([&] { ds.Open(); });
            EXPECT_TRUE(message.contains(u"would change the database")) << message.toStdString();
            EXPECT_FALSE(ds.Active());
        }
    }
    EXPECT_EQ(Orders(), 3);
    EXPECT_FALSE(QFile::exists(copy));
}

TEST_F(SqliteReadOnlyTest, QueriesThatOnlyReadStillRun)
{
    for (const QString& sql : {QStringLiteral("SELECT * FROM orders"),
                               QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                              "WHERE i < 5) SELECT i FROM n"),
                               QStringLiteral("VALUES (1), (2)"),
                               QStringLiteral("/* totals */ SELECT COUNT(*) AS c FROM orders")}) {
        SCOPED_TRACE(sql.toStdString());
        TSqlDataSet ds;
        ds.SetConnection(QStringLiteral("sqlite:") + FPath);
        ds.SetSQL(sql);
        ds.Open();
        EXPECT_GT(ds.RecordCount(), 0);
    }
}

TEST(ReadOnlyGuess, OnlyASingleSelectWithoutIntoPassesForDriversNoOneCanAsk)
{
    const struct {
        const char* Sql;
        bool ReadOnly;
    } cases[] = {
        {"SELECT * FROM t", true},
        {"  ( select 1 )", true},
        {"-- note\nSELECT 1;", true},
        {"VALUES (1)", true},
        {"SELECT 'delete; into' AS x", true},       // words in text do not count
        {"SELECT \"into\" FROM t", true},           // nor quoted names
        {"SELECT 1; DELETE FROM t", false},         // a second statement
        {"SELECT * INTO copy FROM t", false},       // makes a table (SQL Server, PostgreSQL)
        {"SELECT * FROM t INTO OUTFILE '/tmp/x'", false}, // writes a file (MySQL)
        {"WITH x AS (SELECT 1) DELETE FROM t", false},
        {"DELETE FROM t", false},
        {"EXEC sp_anything", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LooksLikeReadOnlyQuery(QString::fromUtf8(c.Sql)), c.ReadOnly) << c.Sql;
}

// --- a real PostgreSQL server ---------------------------------------------------------

class PostgresReadOnlyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FHost = qEnvironmentVariable("VOREL_TEST_PGHOST");
        if (FHost.isEmpty())
            GTEST_SKIP() << "no PostgreSQL server: VOREL_TEST_PGHOST is not set (scripts/test.sh sets it; by hand: "
                            "eval \"$(scripts/pg_test_cluster.sh start)\")";
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            GTEST_SKIP() << "Qt's PostgreSQL driver is not installed (libqt6sql6-psql)";
        FTable = QStringLiteral("sales_%1").arg(QCoreApplication::applicationPid());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kSetup);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(QStringLiteral("postgres"));
        db.setHostName(FHost);
        ASSERT_TRUE(db.open()) << "the server in " << FHost.toStdString()
                               << " does not answer: " << db.lastError().text().toStdString();
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(FTable)));
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE %1 (id integer PRIMARY KEY, customer text, amount "
                                          "numeric(10,2), sold date)")
                               .arg(FTable)));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO %1 VALUES (1, 'Ann', 12.50, '2024-03-01'), (2, 'Ben', "
                                          "-3.25, '2024-03-02'), (3, 'Cy', 100, NULL)")
                               .arg(FTable)));
        // A function that writes, called from a plain SELECT.
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE OR REPLACE FUNCTION %1_wipe() RETURNS integer LANGUAGE sql AS "
                                          "$$ DELETE FROM %1; SELECT 0 $$")
                               .arg(FTable)));
    }

    void TearDown() override
    {
        if (QSqlDatabase::contains(kSetup)) {
            {
                QSqlDatabase db = QSqlDatabase::database(kSetup);
                QSqlQuery q(db);
                q.exec(QStringLiteral("DROP FUNCTION IF EXISTS %1_wipe()").arg(FTable));
                q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(FTable));
                db.close();
            }
            QSqlDatabase::removeDatabase(kSetup);
        }
    }

    QString Connection() const { return QStringLiteral("postgresql://postgres@/postgres?host=") + FHost; }
    int Sales() const { return CountRows(QStringLiteral("QPSQL"), kSetup, FTable); }

    static constexpr const char* kSetup = "read_only_pg_setup";
    QString FHost;
    QString FTable;
};

TEST_F(PostgresReadOnlyTest, RowsAndTypesComeFromTheServer)
{
    TSqlDataSet ds;
    ds.SetConnection(Connection());
    ds.SetSQL(QStringLiteral("SELECT id, customer, amount, sold FROM %1 WHERE id >= :low ORDER BY id").arg(FTable));
    ds.SetParamValue(QStringLiteral("low"), Variant(2));
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("customer"))->AsString(), QStringLiteral("Ben"));
    EXPECT_DOUBLE_EQ(ds.FieldByName(QStringLiteral("amount"))->AsFloat(), -3.25);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("sold"))->DataType(), ftDate);
    ds.Next();
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("sold"))->IsNull());
}

TEST_F(PostgresReadOnlyTest, AQueryThatWouldChangeDataFailsInTheServerAndChangesNothing)
{
    const QString statements[] = {
        QStringLiteral("DELETE FROM %1 RETURNING *").arg(FTable),
        QStringLiteral("WITH gone AS (DELETE FROM %1 RETURNING id) SELECT id FROM gone").arg(FTable),
        QStringLiteral("SELECT %1_wipe() AS w").arg(FTable),
        QStringLiteral("UPDATE %1 SET amount = 0 RETURNING id").arg(FTable),
    };
    for (const QString& sql : statements) {
        SCOPED_TRACE(sql.toStdString());
        TSqlDataSet ds;
        ds.SetName(QStringLiteral("Sales"));
        ds.SetConnection(Connection());
        ds.SetReadOnly(false); // a form's ReadOnly does not open a server for writing
        ds.SetSQL(sql);
        const QString message = ErrorOf([&] { ds.Open(); });
        EXPECT_TRUE(message.contains(u"read-only transaction")) << message.toStdString();
        EXPECT_EQ(Sales(), 3);
    }
}

TEST_F(PostgresReadOnlyTest, TheApplicationMayLetItsQueryWrite)
{
    TSqlDataSet ds;
    ds.SetConnection(Connection());
    ds.SetAllowWrites(true);
    ds.SetSQL(QStringLiteral("DELETE FROM %1 WHERE id = 3 RETURNING id").arg(FTable));
    ds.Open();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("id"))->AsInteger(), 3);
    ds.Close();
    EXPECT_EQ(Sales(), 2);
}

} // namespace
