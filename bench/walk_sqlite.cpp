// Walks a large SQLite table from the first record to the last through the
// SQL data set, reading every field of every record, to show that memory
// stays bounded by the row window rather than growing with the table.
//
//   walk_sqlite [DATABASE] [ROWS]
//
// When DATABASE does not exist (or is not given: a temporary file), a table
// of ROWS (default 1,000,000) deterministic rows is built there first. Run
// it twice under `/usr/bin/time -v`, the second time on the file the first
// built, for the peak resident set size of the walk alone.

#include "data/sql_dataset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace vorel;

namespace {

bool BuildTable(const QString& path, qint64 rows)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("build"));
        db.setDatabaseName(path);
        if (!db.open())
            return false;
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("CREATE TABLE sales (id INTEGER PRIMARY KEY, customer VARCHAR(30), "
                                   "amount REAL, day DATE, paid BOOLEAN)"));
        db.transaction();
        ok = ok && q.prepare(QStringLiteral("INSERT INTO sales VALUES (?, ?, ?, ?, ?)"));
        for (qint64 i = 1; ok && i <= rows; ++i) {
            q.addBindValue(i);
            q.addBindValue(QStringLiteral("Customer %1").arg(i % 9973));
            q.addBindValue(double(i % 10007) / 100.0);
            q.addBindValue(QStringLiteral("2024-%1-%2")
                               .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                               .arg(1 + i % 28, 2, 10, QLatin1Char('0')));
            q.addBindValue(int(i % 2));
            ok = q.exec();
        }
        if (!ok)
            std::fprintf(stderr, "insert failed: %s\n", qPrintable(q.lastError().text()));
        db.commit();
        q.clear();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("build"));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir dir;
    QString path = args.size() > 1 ? args[1] : QString();
    const qint64 rows = args.size() > 2 ? args[2].toLongLong() : 1000000;
    if (path.isEmpty())
        path = dir.filePath(QStringLiteral("walk.db"));
    if (!QFileInfo::exists(path)) {
        QElapsedTimer build;
        build.start();
        if (!BuildTable(path, rows)) {
            std::fprintf(stderr, "cannot build the table in %s\n", qPrintable(path));
            return 1;
        }
        std::printf("built %lld rows in %.1f s\n", static_cast<long long>(rows), build.elapsed() / 1000.0);
    }

    try {
        TSqlDataSet ds;
        ds.SetConnection(QStringLiteral("sqlite:") + path);
        ds.SetSQL(QStringLiteral("SELECT id, customer, amount, day, paid FROM sales ORDER BY id"));
        QElapsedTimer walk;
        walk.start();
        ds.Open();
        qint64 count = 0;
        qint64 textLength = 0; // characters, so every value is really read
        double amount = 0;
        for (; !ds.Eof(); ds.Next()) {
            ++count;
            amount += ds.Fields(2)->AsFloat();
            for (int i = 0; i < ds.FieldCount(); ++i)
                textLength += ds.Fields(i)->DisplayText().size();
        }
        const double seconds = walk.elapsed() / 1000.0;
        std::printf("walked %lld records in %.2f s (%.2f us per record), %lld characters, amount %.2f, "
                    "queries %lld\n",
                    static_cast<long long>(count), seconds, seconds * 1e6 / std::max<qint64>(count, 1),
                    static_cast<long long>(textLength), amount, static_cast<long long>(ds.QueryCount()));
        // Back to the start: one re-query, then the window serves the walk.
        ds.First();
        std::printf("first record again: id %s, queries %lld\n", qPrintable(ds.Fields(0)->AsString()),
                    static_cast<long long>(ds.QueryCount()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
