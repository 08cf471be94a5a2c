#pragma once
// A small SQLite shop for the command tests, made with a recursive query so
// that even hundreds of thousands of rows take a moment.

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <gtest/gtest.h>

namespace vorel {

// orders(id, customer, amount) with ids 1..rows; lines(order_id, item) with
// two items "L<id>a", "L<id>b" for each of the first 20 orders.
inline void MakeShop(const QString& path, int rows)
{
    QFile::remove(path);
    const QString connection = QStringLiteral("vorel_test_shop_%1").arg(quintptr(&path));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE orders(id INTEGER, customer TEXT, amount REAL)")));
        ASSERT_TRUE(q.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                          "INSERT INTO orders SELECT i, 'C' || (i % 7), i * 1.5 FROM n")
                               .arg(rows)));
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE lines(order_id INTEGER, item TEXT)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO lines SELECT id, 'L' || id || 'a' FROM orders WHERE id <= 20 "
                                          "UNION ALL SELECT id, 'L' || id || 'b' FROM orders WHERE id <= 20")));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace vorel
