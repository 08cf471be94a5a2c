#pragma once
// A data set over an SQL query through QtSql.
//
// Connection strings:
//   sqlite:PATH                      an SQLite file (":memory:" too); opened
//                                    read-only unless ReadOnly is false (the
//                                    query only reads all the same, see
//                                    AllowWrites)
//   postgresql://user:pw@host:port/db?opt=value   (also postgres://)
//   QDRIVER:key=value;key=value      any QtSql driver by name (QPSQL, QODBC,
//                                    QMYSQL, ...); keys host, port, database
//                                    (or dbname), user, password; the others
//                                    are passed as the driver's options
//
// The SQL text may hold named parameters (":name"). A parameter takes its
// value, in this order, from the master link (MasterFields "param=field;..."),
// from SetParamValue, from the Params lines ("name=value", bound as text),
// and from the master's field of the same name. A parameter without a value
// is an error that names it. With a master data set the query runs again
// whenever the master moves, opens or closes (a closed or empty master binds
// Null, which selects nothing in the usual "= :param" link), so the detail
// always holds the rows of the master's current record.
//
// Rows are fetched with a forward-only cursor into a window of FetchWindow
// rows (see docs/ARCHITECTURE.md, "Data"): memory stays bounded however
// large the result; moving back before the window re-runs the query.
//
// Declared column types map to field types: CHAR, VARCHAR, TEXT, CLOB and
// columns without a declared type holding text -> ftWideString; INTEGER,
// INT, SMALLINT, TINYINT, MEDIUMINT -> ftInteger; BIGINT, INT8, or integer
// values beyond 32 bits in the first window -> ftLargeint; REAL, FLOAT,
// DOUBLE -> ftFloat; NUMERIC, DECIMAL -> ftBCD; BOOLEAN -> ftBoolean; DATE,
// TIME, DATETIME, TIMESTAMP -> ftDate, ftTime, ftDateTime (ISO texts
// converted); BLOB -> ftBlob; other declared types -> ftWideString.

#include "data/dataset.h"

#include <QHash>
#include <QPointer>
#include <QSqlDatabase>
#include <memory>

namespace vorel {

class TSqlDataSetPrivate;

// Whether data sets opened from now on read ahead: a data set on a
// connection of its own (an SQLite file, a PostgreSQL server) without a
// master steps its query and converts the rows on a second thread while
// the report works on the rows before them. On by default; the command
// line's "--threads 1" turns it off. Results are the same either way.
bool SqlReadAhead();
void SetSqlReadAhead(bool on);

class TSqlDataSet : public TDataSet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A data set over an SQL query through Qt's SQL drivers: SQLite files, PostgreSQL and other "
                       "servers, with master-detail links.")
    Q_PROPERTY(QString Connection READ Connection WRITE SetConnection)
    Q_CLASSINFO("Doc.Connection", "Where the data is: 'sqlite:PATH' (relative to the form's folder), "
                                  "'postgresql://user:pw@host:port/db' or 'QDRIVER:key=value;...'.")
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_CLASSINFO("Doc.ReadOnly", "Opens SQLite files read-only. Either way the query only reads: a statement that "
                                "would change data is refused unless the application allows it.")
    Q_PROPERTY(QString SQL READ SQL WRITE SetSQL)
    Q_CLASSINFO("Doc.SQL", "The query; ':name' marks a parameter.")
    Q_PROPERTY(vorel::TStringList* Params READ Params WRITE SetParams)
    Q_CLASSINFO("Doc.Params", "Parameter values, one 'name=value' line each (bound as text).")
    Q_PROPERTY(vorel::TDataSet* Master READ Master WRITE SetMaster)
    Q_CLASSINFO("Doc.Master", "The master data set: the query runs again for each of its records (for sub-detail "
                              "bands).")
    Q_PROPERTY(QString MasterFields READ MasterFields WRITE SetMasterFields)
    Q_CLASSINFO("Doc.MasterFields", "Which master field each parameter takes, as 'param=field;...'; a parameter not "
                                    "named takes the master's field of its own name.")
    Q_PROPERTY(int FetchWindow READ FetchWindow WRITE SetFetchWindow)
    Q_CLASSINFO("Doc.FetchWindow", "How many rows are held in memory at most (16 or more); going back beyond them "
                                   "runs the query again.")
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_CLASSINFO("Doc.Active", "Open: the query has run.")
public:
    Q_INVOKABLE explicit TSqlDataSet(QObject* owner = nullptr);
    ~TSqlDataSet() override;

    QString Connection() const { return FConnection; }
    void SetConnection(const QString& connection);
    // The application's own connection (a valid QSqlDatabase of any driver):
    // the query runs on it instead of on Connection, which is then not
    // read. The data set opens the connection when it is closed and never
    // closes or removes it; the application must keep it (by its QtSql
    // connection name) until the data set is closed, and use it in the
    // thread that made it. An invalid QSqlDatabase goes back to Connection.
    // Not stored.
    void SetDatabase(const QSqlDatabase& database);
    // The QtSql connection name given by SetDatabase; empty: Connection is used.
    QString DatabaseConnectionName() const { return FDatabaseName; }
    // SQLite files open read-only unless this is false. Default true.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    // A report's query only reads: a statement that would change data
    // (INSERT, UPDATE, DELETE, VACUUM INTO, a function that writes, ...) is
    // refused before it runs, by SQLite's verdict on the prepared statement,
    // by a read-only session on PostgreSQL and MySQL servers, and otherwise
    // by a plain SELECT being asked for. Only an application can allow
    // writing, here; forms cannot (this is no published property), and the
    // command line never does. Default false.
    bool AllowWrites() const { return FAllowWrites; }
    void SetAllowWrites(bool value);
    QString SQL() const { return FSQL; }
    void SetSQL(const QString& sql);
    TStringList* Params() const { return FParams; }
    void SetParams(const TStringList* params);
    TDataSet* Master() const { return FMaster.data(); }
    // Raises "Circular datalinks are not allowed" when the master is this
    // data set or one of its own details.
    void SetMaster(TDataSet* master);
    QString MasterFields() const { return FMasterFields; }
    void SetMasterFields(const QString& fields);
    // Rows held in memory at most (>= 16). Default 1024.
    int FetchWindow() const { return FFetchWindow; }
    void SetFetchWindow(int rows);

    // A typed parameter value; takes effect at the next opening or re-query.
    void SetParamValue(const QString& name, const Variant& value);
    void ClearParamValues();
    // The parameter names of the SQL text, in order of first appearance.
    QStringList ParamNames() const;
    // Runs the query again with the current parameter values and moves to
    // the first record (the master link calls it).
    void Requery();
    // Number of queries run since the data set was created (diagnostics and tests).
    qint64 QueryCount() const { return FQueryCount; }

protected:
    void InternalOpen() override;
    void InternalClose() override;
    const Variant* InternalRecord(qint64 recNo) override;
    qint64 InternalLastRecNo() override;
    qint64 InternalRecordCount() override;
    void MasterEvent(TDataSet* master, TDataEvent event) override;

private:
    void CheckInactive() const;
    friend class TSqlDataSetPrivate;

    QString FConnection;
    QString FDatabaseName; // the application's connection, by QtSql name
    bool FReadOnly = true;
    bool FAllowWrites = false;
    QString FSQL;
    TStringList* FParams;
    QPointer<TDataSet> FMaster;
    QString FMasterFields;
    int FFetchWindow = 1024;
    QHash<QString, Variant> FParamValues; // keys upper-cased
    qint64 FQueryCount = 0;
    std::unique_ptr<TSqlDataSetPrivate> d;
};

} // namespace vorel
