#include "data/sql_support_p.h"

#include "foundation/locale/format_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>
#include <QUrl>
#include <QUrlQuery>
#include <dlfcn.h>

namespace vorel {

// --- connections ------------------------------------------------------------------------

namespace {

struct SharedConnection {
    QString Name;
    int References = 0;
};

QHash<QString, SharedConnection>& Pool() // key: connection string + mode
{
    static QHash<QString, SharedConnection> pool;
    return pool;
}

int gConnectionSerial = 0;


} // namespace

QString DriverMessage(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (!driver.isEmpty() && !text.contains(driver))
        text = text.isEmpty() ? driver : text + QStringLiteral(" (") + driver + u')';
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

bool ParseConnectionString(const QString& input, bool readOnly, TSqlConnectionSpec& connection, QString& error)
{
    const QString text = input.trimmed();
    connection = TSqlConnectionSpec();
    if (text.isEmpty()) {
        error = QStringLiteral("Property Connection wasn't specified.");
        return false;
    }
    if (text.startsWith(u"sqlite:", Qt::CaseInsensitive) || text.startsWith(u"sqlite3:", Qt::CaseInsensitive)) {
        connection.Driver = QStringLiteral("QSQLITE");
        QString path = text.mid(text.indexOf(u':') + 1);
        // "sqlite:///abs/path" and "sqlite://rel" are accepted as URL spellings.
        if (path.startsWith(u"//"))
            path = path.mid(2);
        if (path.isEmpty()) {
            error = QStringLiteral("the connection string '%1' names no database file").arg(input);
            return false;
        }
        connection.DatabaseName = path;
        if (readOnly && path != u":memory:")
            connection.Options = QStringLiteral("QSQLITE_OPEN_READONLY");
        return true;
    }
    if (text.startsWith(u"postgresql://", Qt::CaseInsensitive) || text.startsWith(u"postgres://", Qt::CaseInsensitive)) {
        const QUrl url(text);
        if (!url.isValid()) {
            error = QStringLiteral("the connection string '%1' is not a valid URL: %2").arg(input, url.errorString());
            return false;
        }
        connection.Driver = QStringLiteral("QPSQL");
        connection.Host = url.host();
        connection.Port = url.port(-1);
        connection.User = url.userName();
        connection.Password = url.password();
        connection.DatabaseName = url.path().mid(1);
        QStringList options;
        for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
            options.append(item.first + u'=' + item.second);
        connection.Options = options.join(u';');
        return true;
    }
    const qsizetype colon = text.indexOf(u':');
    if (colon > 1 && text[0] == u'Q' && text.left(colon).toUpper() == text.left(colon)) {
        connection.Driver = text.left(colon);
        QStringList options;
        for (const QString& part : text.mid(colon + 1).split(u';', Qt::SkipEmptyParts)) {
            const qsizetype eq = part.indexOf(u'=');
            const QString key = part.left(eq).trimmed().toLower();
            const QString value = eq >= 0 ? part.mid(eq + 1).trimmed() : QString();
            if (key == u"host" || key == u"hostname")
                connection.Host = value;
            else if (key == u"port")
                connection.Port = value.toInt();
            else if (key == u"database" || key == u"dbname")
                connection.DatabaseName = value;
            else if (key == u"user" || key == u"username")
                connection.User = value;
            else if (key == u"password")
                connection.Password = value;
            else
                options.append(part.trimmed());
        }
        if (connection.Driver == u"QSQLITE" && readOnly)
            options.append(QStringLiteral("QSQLITE_OPEN_READONLY"));
        connection.Options = options.join(u';');
        return true;
    }
    error = QStringLiteral("'%1' is not a connection string (sqlite:PATH, postgresql://user@host/db or DRIVER:options)")
                .arg(input);
    return false;
}

QString AcquireConnection(const QString& connectionString, bool readOnly, const QString& baseDirectory,
                          QString& error, bool allowWrites, bool* readOnlySession, bool* exclusive)
{
    if (readOnlySession)
        *readOnlySession = false;
    const bool wantsOwn = exclusive && *exclusive;
    if (exclusive)
        *exclusive = false;
    TSqlConnectionSpec connection;
    if (!ParseConnectionString(connectionString, readOnly, connection, error))
        return {};
    if (connection.Driver == u"QSQLITE" && !baseDirectory.isEmpty() && connection.DatabaseName != u":memory:" &&
        !connection.DatabaseName.startsWith(u"file:") && QDir::isRelativePath(connection.DatabaseName))
        connection.DatabaseName = QDir::cleanPath(QDir(baseDirectory).filePath(connection.DatabaseName));
    if (!QSqlDatabase::isDriverAvailable(connection.Driver)) {
        error = QStringLiteral("the QtSql driver %1 for '%2' is not installed").arg(connection.Driver, connectionString);
        return {};
    }
    // An in-memory database or a URI (which may name a shared in-memory
    // one) is only the same database through the same connection.
    const bool sqlite = connection.Driver == u"QSQLITE";
    const bool shared = sqlite && !(wantsOwn && connection.DatabaseName != u":memory:" &&
                                    !connection.DatabaseName.startsWith(u"file:"));
    // The same text may name different files from different folders.
    const QString key = connectionString.trimmed() + u'|' + connection.DatabaseName +
                        (readOnly ? QStringLiteral("|ro") : QStringLiteral("|rw"));
    if (shared) {
        auto it = Pool().find(key);
        if (it != Pool().end()) {
            ++it->References;
            return it->Name;
        }
    }
    const QString name = QStringLiteral("vorel_sql_%1").arg(++gConnectionSerial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(connection.Driver, name);
        db.setDatabaseName(connection.DatabaseName);
        if (!connection.Host.isEmpty())
            db.setHostName(connection.Host);
        if (connection.Port > 0)
            db.setPort(connection.Port);
        if (!connection.User.isEmpty())
            db.setUserName(connection.User);
        if (!connection.Password.isEmpty())
            db.setPassword(connection.Password);
        if (!connection.Options.isEmpty())
            db.setConnectOptions(connection.Options);
        if (!db.open()) {
            QString what = connection.DatabaseName;
            if (connection.Driver == u"QSQLITE" && connection.DatabaseName != u":memory:" && !QFileInfo::exists(connection.DatabaseName))
                what += QStringLiteral(" (no such file)");
            error = QStringLiteral("cannot open the database %1: %2").arg(what, DriverMessage(db.lastError()));
        } else if (!allowWrites && !shared) {
            // Set before the first query of the session; a query cannot
            // turn it back within the read-only transaction it runs in.
            const char* statement = connection.Driver == u"QPSQL" ? "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"
                                    : connection.Driver == u"QMYSQL" || connection.Driver == u"QMARIADB"
                                        ? "SET SESSION TRANSACTION READ ONLY"
                                        : nullptr;
            if (statement) {
                QSqlQuery setup(db);
                if (!setup.exec(QString::fromLatin1(statement)))
                    error = QStringLiteral("cannot make the connection to %1 read-only: %2")
                                .arg(connection.DatabaseName, DriverMessage(setup.lastError()));
                else if (readOnlySession)
                    *readOnlySession = true;
            }
        }
    }
    if (!error.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        return {};
    }
    if (shared)
        Pool().insert(key, SharedConnection{name, 1});
    if (exclusive)
        *exclusive = !shared;
    return name;
}

void ReleaseConnection(const QString& connectionName)
{
    if (connectionName.isEmpty())
        return;
    for (auto it = Pool().begin(); it != Pool().end(); ++it) {
        if (it->Name == connectionName) {
            if (--it->References > 0)
                return;
            Pool().erase(it);
            break;
        }
    }
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

// --- parameters ----------------------------------------------------------------------------

bool ParseNamedParams(const QString& sql, TParsedSql& parsed, QString& error)
{
    parsed = TParsedSql();
    const qsizetype n = sql.size();
    QString& out = parsed.Text;
    out.reserve(n);
    const auto isNameStart = [](QChar c) { return c.isLetter() || c == u'_'; };
    const auto isNamePart = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        // Quoted text and identifiers are copied whole.
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype j = i + 1;
            for (;;) {
                if (j >= n)
                    break;
                if (sql[j] == close) {
                    if (close != u']' && j + 1 < n && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += QStringView(sql).mid(i, std::min(j + 1, n) - i);
            i = j + 1;
            continue;
        }
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            qsizetype j = i;
            while (j < n && sql[j] != u'\n')
                ++j;
            out += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            qsizetype j = sql.indexOf(QStringLiteral("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            out += QStringView(sql).mid(i, j - i);
            i = j;
            continue;
        }
        if (c == u':' && i + 1 < n && sql[i + 1] == u':') {
            out += QStringLiteral("::");
            i += 2;
            continue;
        }
        if (c == u':' && i + 1 < n && isNameStart(sql[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql[j]))
                ++j;
            const QString name = sql.mid(i + 1, j - i - 1);
            parsed.Occurrences.append(name);
            bool seen = false;
            for (const QString& known : parsed.Names)
                seen = seen || known.compare(name, Qt::CaseInsensitive) == 0;
            if (!seen)
                parsed.Names.append(name);
            out += u'?';
            i = j;
            continue;
        }
        if (c == u'?') {
            error = QStringLiteral("positional parameters (?) are not supported; name them (:name)");
            return false;
        }
        out += c;
        ++i;
    }
    return true;
}

// --- read-only queries -----------------------------------------------------------------------

std::optional<bool> SqliteStatementReadOnly(const QSqlQuery& query)
{
    // Asked of the SQLite library the QtSql driver has loaded, through the
    // statement handle the driver exposes (as for the declared types).
    using ReadOnlyFn = int (*)(void*);
    static const ReadOnlyFn readOnly = []() -> ReadOnlyFn {
        void* library = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            return nullptr;
        return reinterpret_cast<ReadOnlyFn>(dlsym(library, "sqlite3_stmt_readonly"));
    }();
    if (!readOnly || !query.result())
        return std::nullopt;
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return std::nullopt;
    void* statement = *static_cast<void* const*>(handle.constData());
    if (!statement)
        return std::nullopt;
    return readOnly(statement) != 0;
}

bool LooksLikeReadOnlyQuery(const QString& sql)
{
    const qsizetype n = sql.size();
    QStringList words; // the words outside quotes and comments, upper-cased
    bool statementEnded = false;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype j = i + 1;
            while (j < n && !(sql[j] == close && !(close != u']' && j + 1 < n && sql[j + 1] == close)))
                j += sql[j] == close ? 2 : 1;
            i = j + 1;
            words.append(QStringLiteral("\"")); // something stood here
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == u'_' || sql[i] == u'$'))
                ++i;
            if (statementEnded)
                return false; // a second statement
            words.append(sql.mid(start, i - start).toUpper());
        } else {
            if (c == u';')
                statementEnded = true;
            else if (statementEnded && !c.isSpace())
                return false;
            ++i;
        }
    }
    if (words.isEmpty() || (words.first() != u"SELECT" && words.first() != u"VALUES"))
        return false;
    return !words.contains(QStringLiteral("INTO"));
}

// --- types ----------------------------------------------------------------------------------

QString SqliteDeclaredType(const QSqlQuery& query, int column)
{
    // The QtSql SQLite driver keeps declared types to itself (it reports
    // DATE or BIGINT columns as strings); the statement handle it exposes
    // answers through the SQLite library the driver already loaded.
    using DeclTypeFn = const char* (*)(void*, int);
    static const DeclTypeFn declType = []() -> DeclTypeFn {
        void* library = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            return nullptr;
        return reinterpret_cast<DeclTypeFn>(dlsym(library, "sqlite3_column_decltype"));
    }();
    if (!declType || !query.result())
        return {};
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return {};
    void* statement = *static_cast<void* const*>(handle.constData());
    if (!statement)
        return {};
    const char* text = declType(statement, column);
    return text ? QString::fromUtf8(text) : QString();
}

TFieldType FieldTypeFromDeclared(const QString& declared, int& size, bool& known)
{
    size = 0;
    const QString t = declared.trimmed().toUpper();
    known = !t.isEmpty();
    if (!known)
        return ftUnknown;
    if (const qsizetype open = t.indexOf(u'('); open >= 0) {
        const qsizetype close = t.indexOf(u')', open);
        const QString inner = t.mid(open + 1, close < 0 ? -1 : close - open - 1);
        size = inner.section(u',', 0, 0).trimmed().toInt();
    }
    const auto has = [&t](const char16_t* word) { return t.contains(QStringView(word)); };
    if (has(u"BIGINT") || has(u"BIG INT") || has(u"INT8"))
        return ftLargeint;
    if (has(u"INT"))
        return size = 0, ftInteger;
    if (has(u"BOOL"))
        return size = 0, ftBoolean;
    if (has(u"DATETIME") || has(u"TIMESTAMP"))
        return size = 0, ftDateTime;
    if (has(u"DATE"))
        return size = 0, ftDate;
    if (has(u"TIME"))
        return size = 0, ftTime;
    if (has(u"CHAR") || has(u"CLOB") || has(u"TEXT"))
        return ftWideString;
    if (has(u"BLOB") || has(u"BYTEA") || has(u"BINARY"))
        return size = 0, ftBlob;
    if (has(u"REAL") || has(u"FLOA") || has(u"DOUB"))
        return size = 0, ftFloat;
    if (has(u"NUMERIC") || has(u"DECIMAL"))
        return size = 0, ftBCD;
    size = 0;
    return ftWideString;
}

TFieldType FieldTypeFromQtField(const QSqlField& field, const QString& driverName, int& size)
{
    size = 0;
    switch (field.metaType().id()) {
    case QMetaType::Bool: return ftBoolean;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return ftInteger;
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return ftLargeint;
    case QMetaType::Float:
    case QMetaType::Double:
        // PostgreSQL's numeric (type oid 1700) arrives as a double.
        if (driverName == u"QPSQL" && field.typeID() == 1700)
            return ftBCD;
        return ftFloat;
    case QMetaType::QDate: return ftDate;
    case QMetaType::QTime: return ftTime;
    case QMetaType::QDateTime: return ftDateTime;
    case QMetaType::QByteArray: return ftBlob;
    default:
        if (field.length() > 0 && field.length() < 65536)
            size = field.length();
        return ftWideString;
    }
}

TFieldType FieldTypeFromSamples(const QVariant* values, qsizetype count, qsizetype stride)
{
    bool any = false, allInt = true, allNumber = true, anyBlob = false, anyText = false, wide = false;
    for (qsizetype r = 0; r < count; ++r) {
        const QVariant& v = values[r * stride];
        if (!v.isValid() || v.isNull())
            continue;
        any = true;
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort: break;
        case QMetaType::Long:
        case QMetaType::LongLong: {
            const qint64 i = v.toLongLong();
            if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max())
                wide = true;
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: allInt = false; break;
        case QMetaType::QByteArray: anyBlob = true; allInt = allNumber = false; break;
        default: anyText = true; allInt = allNumber = false; break;
        }
    }
    if (!any)
        return ftUnknown;
    if (allInt)
        return wide ? ftLargeint : ftInteger;
    if (allNumber)
        return ftFloat;
    if (anyBlob && !anyText)
        return ftBlob;
    return ftWideString;
}

bool ConvertSqlValue(const QVariant& value, TFieldType type, Variant& result)
{
    if (!value.isValid() || value.isNull()) {
        result = Variant::Null();
        return true;
    }
    const bool textField = IsStringFieldType(type) || IsMemoFieldType(type);
    switch (value.typeId()) {
    case QMetaType::QString:
        if (textField) {
            result = Variant(value.toString());
            return true;
        }
        return ConvertToFieldType(Variant(value.toString()), type, result);
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        if (textField) {
            result = Variant(QString::fromUtf8(bytes));
            return true;
        }
        if (IsBlobFieldType(type) || type == ftBytes || type == ftVarBytes) {
            result = Variant(BytesToFieldString(bytes));
            return true;
        }
        return ConvertToFieldType(Variant(QString::fromUtf8(bytes)), type, result);
    }
    case QMetaType::LongLong:
    case QMetaType::Long: return ConvertToFieldType(Variant(qint64(value.toLongLong())), type, result);
    case QMetaType::Int:
    case QMetaType::Short: return ConvertToFieldType(Variant(value.toInt()), type, result);
    case QMetaType::Double:
    case QMetaType::Float: return ConvertToFieldType(Variant(value.toDouble()), type, result);
    case QMetaType::Bool: return ConvertToFieldType(Variant(value.toBool()), type, result);
    default: return ConvertToFieldType(Variant::FromQVariant(value), type, result);
    }
}

QVariant ParamValueToSql(const Variant& value, TFieldType typeHint, bool sqlite)
{
    if (value.IsEmptyOrNull())
        return QVariant();
    if (value.Type() == varDate) {
        const double d = value.ToDouble();
        const QDateTime dt = DateTimeToQt(d);
        switch (typeHint) {
        case ftDate: return sqlite ? QVariant(dt.date().toString(Qt::ISODate)) : QVariant(dt.date());
        case ftTime: return sqlite ? QVariant(dt.time().toString(u"HH:mm:ss")) : QVariant(dt.time());
        default:
            return sqlite ? QVariant(dt.toString(u"yyyy-MM-dd HH:mm:ss")) : QVariant(dt);
        }
    }
    if (value.Type() == varCurrency)
        return QVariant(value.ToDouble());
    return value.ToQVariant();
}

} // namespace vorel
