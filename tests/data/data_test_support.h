#pragma once
// Helpers of the data tests: fixed format settings, temporary files and
// SQLite databases made with plain QtSql (not through the code under test).

#include "foundation/locale/format_settings.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vorel::test {

// Settings unlike the C locale's, so that tests see the locale rules work:
// comma decimals, ISO-like short dates, 24-hour times.
inline TFormatSettings TestFormatSettings()
{
    TFormatSettings fs;
    fs.DecimalSeparator = u',';
    fs.ThousandSeparator = u'.';
    fs.DateSeparator = u'-';
    fs.ShortDateFormat = QStringLiteral("yyyy/mm/dd");
    fs.LongTimeFormat = QStringLiteral("hh:nn:ss");
    fs.ShortTimeFormat = QStringLiteral("hh:nn");
    fs.CurrencyString = QStringLiteral("EUR");
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    fs.CurrencyDecimals = 2;
    return fs;
}

class FormatSettingsScope {
public:
    FormatSettingsScope() : FSaved(FormatSettings()) { SetFormatSettings(TestFormatSettings()); }
    ~FormatSettingsScope() { SetFormatSettings(FSaved); }

private:
    TFormatSettings FSaved;
};

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs statements on an SQLite file through a private connection.
inline void RunSqlite(const QString& path, const QStringList& statements)
{
    static int serial = 0;
    const QString name = QStringLiteral("test_setup_%1").arg(++serial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery q(db);
        db.transaction();
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString() << ": " << q.lastError().text().toStdString();
        db.commit();
        q.clear();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Message of the EKVXError that `f` raises; fails the test when none is raised.
template <typename F>
QString ErrorOf(F&& f)
{
    try {
        f();
    } catch (const EKVXError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

} // namespace vorel::test
