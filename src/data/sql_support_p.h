#pragma once
// The pieces of the SQL data set that do not need the data set itself:
// connection strings and the shared connections, named parameters, column
// type mapping and value conversion.

#include "data/dataset.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

#include <QSqlError>

namespace vorel {

// --- connections ----------------------------------------------------------------
struct TSqlConnectionSpec {
    QString Driver;       // QtSql driver name: QSQLITE, QPSQL, ...
    QString DatabaseName; // file for SQLite
    QString Host;
    int Port = -1;
    QString User;
    QString Password;
    QString Options;      // driver connect options, "key=value;..."
};

// False with a message when the text is not a connection string Vorel reads.
bool ParseConnectionString(const QString& text, bool readOnly, TSqlConnectionSpec& connection, QString& error);

// Opens (or shares) a connection; returns its QtSql connection name, or an
// empty name and a message naming the database and the driver's words.
// SQLite connections are shared per database and mode (so ":memory:" is one
// database for every data set of the process); server connections are not,
// because their drivers allow one streaming result per connection.
// The database's text with the driver's text where it adds something.
QString DriverMessage(const QSqlError& error);

// A relative SQLite file name is taken from baseDirectory (empty: the
// working directory).
// Unless `allowWrites`, a server connection whose driver can be told so
// (PostgreSQL, MySQL and MariaDB) is made read-only for its whole session:
// every statement then runs in a read-only transaction, so a query that
// would change data, or call a function that does, fails in the server
// before it changes anything. `readOnlySession` tells whether that was done.
// `exclusive` asks for an SQLite connection of the caller's own (not shared
// with other data sets), where the database allows one (not ":memory:" nor
// a URI); `*exclusive` tells whether the connection is the caller's alone.
QString AcquireConnection(const QString& connectionString, bool readOnly, const QString& baseDirectory,
                          QString& error, bool allowWrites = false, bool* readOnlySession = nullptr,
                          bool* exclusive = nullptr);
void ReleaseConnection(const QString& connectionName);

// --- parameters ---------------------------------------------------------------------
struct TParsedSql {
    QString Text;            // the SQL with every ":name" replaced by "?"
    QStringList Occurrences; // parameter name of each "?", in order
    QStringList Names;       // distinct names, in order of first appearance
};

// Finds ":name" outside string literals, quoted identifiers and comments;
// "::" (a PostgreSQL cast) is not a parameter. False with a message for a
// positional "?" (mixing both would bind the wrong values).
bool ParseNamedParams(const QString& sql, TParsedSql& parsed, QString& error);

// --- read-only queries ------------------------------------------------------------
// Whether the prepared SQLite statement only reads (SQLite's own verdict:
// false for INSERT, UPDATE, DELETE, RETURNING, VACUUM, CREATE, ...); empty
// when the query is not SQLite's or the library cannot be asked.
std::optional<bool> SqliteStatementReadOnly(const QSqlQuery& query);
// For connections no one can ask: a single SELECT or VALUES statement
// without INTO (which makes a table or writes a file in some dialects).
// Comments, quoted text and identifiers are passed over.
bool LooksLikeReadOnlyQuery(const QString& sql);

// --- types and values ---------------------------------------------------------------
// The declared type of a result column of an SQLite statement ("VARCHAR(40)",
// "" for an expression column), or "" when the driver is not SQLite.
QString SqliteDeclaredType(const QSqlQuery& query, int column);

// Maps a declared column type; `known` is false for an empty declaration.
TFieldType FieldTypeFromDeclared(const QString& declared, int& size, bool& known);
// Maps the type a driver reports for a column (PostgreSQL and the others).
TFieldType FieldTypeFromQtField(const QSqlField& field, const QString& driverName, int& size);
// The type of a column without a declared type, from sample values: integers
// (64-bit when one exceeds 32 bits), floats, text, blobs; ftUnknown when
// every sample is null.
TFieldType FieldTypeFromSamples(const QVariant* values, qsizetype count, qsizetype stride);

// Converts a driver value to what a field of `type` stores; false when it is
// not a valid value of the type.
bool ConvertSqlValue(const QVariant& value, TFieldType type, Variant& result);
// A value to bind for a parameter: dates and times by the field type they
// come from (ISO text for SQLite, which stores them as text).
QVariant ParamValueToSql(const Variant& value, TFieldType typeHint, bool sqlite);

} // namespace vorel
