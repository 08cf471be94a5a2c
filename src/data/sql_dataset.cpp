#include "data/sql_dataset.h"

#include "data/sql_read_ahead_p.h"
#include "data/sql_support_p.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QRegularExpression>
#include <QSqlRecord>
#include <algorithm>
#include <atomic>

namespace vorel {

namespace {

constexpr int kMinFetchWindow = 16; // rows

std::atomic<bool> gReadAhead{true};


} // namespace

bool SqlReadAhead()
{
    return gReadAhead.load(std::memory_order_relaxed);
}

void SetSqlReadAhead(bool on)
{
    gReadAhead.store(on, std::memory_order_relaxed);
}

// The open cursor and its window of rows. Rows [WindowStart, WindowStart +
// WindowCount) are held, row r in slot r % Capacity; the window always ends
// at the cursor (WindowStart + WindowCount == Fetched) unless rows were
// skipped, in which case it restarts empty at the cursor.
class TSqlDataSetPrivate {
public:
    explicit TSqlDataSetPrivate(TSqlDataSet* q) : q(q) {}

    TSqlDataSet* q;
    QString ConnectionName;
    bool OwnConnection = true; // false: the application's (SetDatabase)
    bool Sqlite = false;
    bool ReadOnlySession = false; // the server refuses writes itself
    QString DriverName;
    std::unique_ptr<QSqlQuery> Query;
    // Steps Query on its own thread where the data set reads ahead (after
    // Query, so that it stops before the query goes).
    std::unique_ptr<TSqlReadAhead> Reader;
    TSqlReadAhead::TRow Current; // the reader's row that FetchRaw reached
    TParsedSql Parsed;
    std::vector<QVariant> Bound; // one per occurrence, as last bound
    std::vector<TFieldType> Types;
    int Columns = 0;
    int Capacity = 0;
    std::vector<Variant> Ring;
    qint64 WindowStart = 0;
    qint64 WindowCount = 0;
    qint64 Fetched = 0;      // rows read from the cursor
    qint64 KnownCount = -1;  // set when the cursor reached the end

    QSqlDatabase Database() const { return QSqlDatabase::database(ConnectionName, false); }

    [[noreturn]] void SqlError(const QString& what, const QSqlError& error) const
    {
        q->DataSetError(QStringLiteral("%1: %2 in SQL \"%3\"").arg(what, DriverMessage(error), q->SQL().trimmed()));
    }

    void ResolveParams();
    void CheckReadOnly(const QSqlQuery& query) const;
    void Execute();
    bool FetchRaw();
    void StoreCurrentRow();
    const Variant* Slot(qint64 recNo) { return Ring.data() + size_t(recNo % Capacity) * size_t(Columns); }
    const Variant* Record(qint64 recNo);
    void ResetWindow()
    {
        WindowStart = Fetched;
        WindowCount = 0;
    }
};

void TSqlDataSetPrivate::ResolveParams()
{
    // Master link entries "param=field" (or "name" for both), ';' or ','
    // separated.
    QHash<QString, QString> masterMap;
    for (const QString& entry : q->MasterFields().split(QRegularExpression(QStringLiteral("[;,]")), Qt::SkipEmptyParts)) {
        const qsizetype eq = entry.indexOf(u'=');
        const QString param = entry.left(eq).trimmed();
        const QString field = eq >= 0 ? entry.mid(eq + 1).trimmed() : param;
        if (!param.isEmpty())
            masterMap.insert(param.toUpper(), field);
    }
    TDataSet* master = q->Master();
    const bool masterHasRecord = master && master->Active() && !master->IsEmpty();

    QHash<QString, QVariant> values; // by upper-cased name
    for (const QString& name : Parsed.Names) {
        const QString key = name.toUpper();
        QVariant value;
        bool found = false;
        if (auto it = masterMap.constFind(key); it != masterMap.constEnd()) {
            if (!master)
                q->DataSetError(QStringLiteral("MasterFields links the parameter '%1' but there is no master").arg(name));
            TField* field = master->Active() ? master->FieldByName(*it) : nullptr;
            value = masterHasRecord ? ParamValueToSql(field->Value(), field->DataType(), Sqlite) : QVariant();
            found = true;
        }
        if (!found) {
            if (auto it = q->FParamValues.constFind(key); it != q->FParamValues.constEnd()) {
                value = ParamValueToSql(*it, ftUnknown, Sqlite);
                found = true;
            }
        }
        if (!found) {
            const QString prefix = name + u'=';
            for (const QString& line : q->Params()->List()) {
                if (line.startsWith(prefix, Qt::CaseInsensitive)) {
                    value = line.mid(prefix.size());
                    found = true;
                    break;
                }
            }
        }
        if (!found && master) {
            if (TField* field = master->Active() ? master->FindField(name) : nullptr) {
                value = masterHasRecord ? ParamValueToSql(field->Value(), field->DataType(), Sqlite) : QVariant();
                found = true;
            } else if (!master->Active()) {
                // A closed master selects nothing, whatever its fields will be.
                found = true;
            }
        }
        if (!found)
            q->DataSetError(QStringLiteral("No value for parameter '%1'").arg(name));
        values.insert(key, value);
    }
    Bound.clear();
    for (const QString& name : Parsed.Occurrences)
        Bound.push_back(values.value(name.toUpper()));
}

// Refuses, before it runs, a statement that would change data, unless the
// application allowed it.
void TSqlDataSetPrivate::CheckReadOnly(const QSqlQuery& query) const
{
    if (q->AllowWrites() || ReadOnlySession)
        return;
    std::optional<bool> readOnly;
    if (Sqlite) {
        readOnly = SqliteStatementReadOnly(query);
        // SQLite counts ATTACH as reading, but on a file opened for writing
        // it creates the file it names.
        static const QRegularExpression attach(QStringLiteral("^(?:\\s|--[^\\n]*(?:\\n|$)|/\\*[\\s\\S]*?\\*/)*(ATTACH|DETACH)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
        if (readOnly && *readOnly && attach.match(Parsed.Text).hasMatch())
            readOnly = false;
    }
    if (!readOnly)
        readOnly = LooksLikeReadOnlyQuery(Parsed.Text);
    if (!*readOnly)
        q->DataSetError(QStringLiteral("the SQL \"%1\" would change the database; a report only reads its data, and "
                                       "only an application can allow a query to write (TSqlDataSet::SetAllowWrites)")
                            .arg(q->SQL().trimmed()));
}

void TSqlDataSetPrivate::Execute()
{
    if (Reader)
        Reader->Stop();
    Query.reset();
    auto query = std::make_unique<QSqlQuery>(Database());
    query->setForwardOnly(true);
    if (!query->prepare(Parsed.Text))
        SqlError(QStringLiteral("the query cannot be prepared"), query->lastError());
    CheckReadOnly(*query);
    for (const QVariant& value : Bound)
        query->addBindValue(value);
    ++q->FQueryCount;
    if (!query->exec())
        SqlError(QStringLiteral("the query failed"), query->lastError());
    if (!query->isSelect())
        q->DataSetError(QStringLiteral("the SQL \"%1\" returns no rows to read").arg(q->SQL().trimmed()));
    Query = std::move(query);
    Fetched = 0;
    KnownCount = -1;
    ResetWindow();
    // On opening, the reader starts once the columns' types are known.
    if (Reader && !Types.empty())
        Reader->Start(Query.get(), Types);
}

bool TSqlDataSetPrivate::FetchRaw()
{
    if (KnownCount >= 0)
        return false;
    if (Reader && Reader->Running()) {
        if (!Reader->Next(Current)) {
            if (Reader->Failed())
                SqlError(QStringLiteral("reading record %1 failed").arg(Fetched + 1), Reader->Error());
            KnownCount = Fetched;
            return false;
        }
        ++Fetched;
        return true;
    }
    if (!Query->next()) {
        if (Query->lastError().isValid())
            SqlError(QStringLiteral("reading record %1 failed").arg(Fetched + 1), Query->lastError());
        KnownCount = Fetched;
        return false;
    }
    ++Fetched;
    return true;
}

void TSqlDataSetPrivate::StoreCurrentRow()
{
    const qint64 recNo = Fetched - 1;
    Variant* slot = Ring.data() + size_t(recNo % Capacity) * size_t(Columns);
    const auto invalid = [&](int c, const QString& text) {
        q->DataSetError(QStringLiteral("record %1: '%2' in column '%3' is not a valid %4 value (SQL \"%5\")")
                            .arg(recNo + 1)
                            .arg(text, q->Fields(c)->FieldName(), FieldTypeName(Types[size_t(c)]).mid(2),
                                 q->SQL().trimmed()));
    };
    if (Reader && Reader->Running()) {
        if (Current.BadColumn >= 0)
            invalid(Current.BadColumn, Current.BadText);
        std::move(Current.Values, Current.Values + Columns, slot);
    } else {
        for (int c = 0; c < Columns; ++c) {
            const QVariant value = Query->value(c);
            if (!ConvertSqlValue(value, Types[size_t(c)], slot[c]))
                invalid(c, value.toString());
        }
    }
    if (WindowCount == Capacity) {
        ++WindowStart;
        --WindowCount;
    }
    ++WindowCount;
}

const Variant* TSqlDataSetPrivate::Record(qint64 recNo)
{
    if (recNo < 0 || !Query)
        return nullptr;
    if (recNo >= WindowStart && recNo < WindowStart + WindowCount)
        return Slot(recNo);
    if (KnownCount >= 0 && recNo >= KnownCount)
        return nullptr;
    if (recNo < WindowStart) {
        // Behind the window: a forward-only cursor cannot go back, so the
        // query runs again with the same values and reads up to the record.
        Execute();
    }
    // Rows that would fall out of the window before the target is reached
    // are stepped over without converting them; the target ends the window,
    // so the Prior calls that usually follow a jump back are served from it.
    const qint64 keepFrom = std::max(Fetched, recNo - Capacity + 1);
    if (Fetched < keepFrom) {
        while (Fetched < keepFrom)
            if (!FetchRaw())
                return nullptr;
        ResetWindow();
    }
    while (Fetched <= recNo) {
        if (!FetchRaw())
            return nullptr;
        StoreCurrentRow();
    }
    return Slot(recNo);
}

// --- TSqlDataSet --------------------------------------------------------------------------

TSqlDataSet::TSqlDataSet(QObject* owner)
    : TDataSet(owner), FParams(new TStringList(this)), d(std::make_unique<TSqlDataSetPrivate>(this))
{
}

TSqlDataSet::~TSqlDataSet()
{
    if (FMaster)
        FMaster->DetachDetail(this);
    if (Active()) {
        AfterClose = nullptr;
        BeforeClose = nullptr;
        blockSignals(true);
        Close();
    }
}

void TSqlDataSet::CheckInactive() const
{
    if (Active())
        DataSetError(QStringLiteral("Cannot perform this operation on an open dataset"));
}

void TSqlDataSet::SetConnection(const QString& connection)
{
    CheckInactive();
    FConnection = connection;
}

void TSqlDataSet::SetDatabase(const QSqlDatabase& database)
{
    CheckInactive();
    FDatabaseName = database.isValid() ? database.connectionName() : QString();
}

void TSqlDataSet::SetReadOnly(bool value)
{
    CheckInactive();
    FReadOnly = value;
}

void TSqlDataSet::SetAllowWrites(bool value)
{
    CheckInactive();
    FAllowWrites = value;
}

void TSqlDataSet::SetSQL(const QString& sql)
{
    CheckInactive();
    FSQL = sql;
}

void TSqlDataSet::SetParams(const TStringList* params)
{
    if (params != FParams)
        FParams->Assign(params);
}

void TSqlDataSet::SetMaster(TDataSet* master)
{
    if (master == FMaster)
        return;
    for (TDataSet* m = master; m;) {
        if (m == this)
            DataSetError(QStringLiteral("Circular datalinks are not allowed"));
        auto* sql = qobject_cast<TSqlDataSet*>(m);
        m = sql ? sql->Master() : nullptr;
    }
    if (FMaster)
        FMaster->DetachDetail(this);
    FMaster = master;
    if (master)
        master->AttachDetail(this);
    if (Active())
        Requery();
}

void TSqlDataSet::SetMasterFields(const QString& fields)
{
    FMasterFields = fields;
}

void TSqlDataSet::SetFetchWindow(int rows)
{
    CheckInactive();
    FFetchWindow = std::max(kMinFetchWindow, rows);
}

void TSqlDataSet::SetParamValue(const QString& name, const Variant& value)
{
    FParamValues.insert(name.toUpper(), value);
}

void TSqlDataSet::ClearParamValues()
{
    FParamValues.clear();
}

QStringList TSqlDataSet::ParamNames() const
{
    TParsedSql parsed;
    QString error;
    ParseNamedParams(FSQL, parsed, error);
    return parsed.Names;
}

void TSqlDataSet::MasterEvent(TDataSet* master, TDataEvent event)
{
    if (!Active() || Opening() || master != FMaster)
        return;
    switch (event) {
    case deOpen:
    case deClose:
    case deScroll:
    case deDataSetChange: Requery(); break;
    }
}

void TSqlDataSet::Requery()
{
    if (!Active())
        DataSetError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    d->ResolveParams();
    d->Execute();
    Resync();
}

void TSqlDataSet::InternalOpen()
{
    if (FSQL.trimmed().isEmpty())
        DataSetError(QStringLiteral("Property SQL wasn't specified."));
    QString error;
    if (!ParseNamedParams(FSQL, d->Parsed, error))
        DataSetError(QStringLiteral("%1 in SQL \"%2\"").arg(error, FSQL.trimmed()));
    bool readsAhead = false;
    if (!FDatabaseName.isEmpty()) {
        // The application's connection: used as it is, opened when closed,
        // never closed or removed here.
        QSqlDatabase database = QSqlDatabase::database(FDatabaseName, false);
        if (!database.isValid())
            DataSetError(QStringLiteral("the application's database connection '%1' no longer exists").arg(FDatabaseName));
        if (!database.isOpen() && !database.open())
            DataSetError(QStringLiteral("cannot open the application's database connection '%1': %2")
                             .arg(FDatabaseName, DriverMessage(database.lastError())));
        d->ConnectionName = FDatabaseName;
        d->OwnConnection = false;
        d->ReadOnlySession = false;
    } else {
        // Reading ahead needs a connection nobody else steps: a detail
        // re-runs its query at every master record, too often to be worth
        // a thread.
        bool exclusive = SqlReadAhead() && !FMaster;
        d->ConnectionName = AcquireConnection(FConnection, FReadOnly, BaseDirectory(), error, FAllowWrites,
                                              &d->ReadOnlySession, &exclusive);
        if (d->ConnectionName.isEmpty())
            DataSetError(error);
        d->OwnConnection = true;
        readsAhead = exclusive;
    }
    d->DriverName = d->Database().driverName();
    d->Sqlite = d->DriverName == u"QSQLITE";
    // Server connections are each data set's own; of the drivers, SQLite's
    // and PostgreSQL's are known to step a query from another thread.
    readsAhead = readsAhead || (SqlReadAhead() && !FMaster && d->OwnConnection && d->DriverName == u"QPSQL");
    d->Capacity = FFetchWindow;
    d->ResolveParams();
    d->Execute();

    // Column types: the declared type where the driver tells it, else the
    // driver's type, else the values of the first window.
    const QSqlRecord record = d->Query->record();
    const int columns = record.count();
    std::vector<QVariant> samples;
    samples.reserve(size_t(d->Capacity) * size_t(columns));
    qint64 sampled = 0;
    std::vector<TFieldType> types(size_t(columns), ftUnknown);
    std::vector<int> sizes(size_t(columns), 0);
    std::vector<bool> fromSamples(size_t(columns), false);
    for (int c = 0; c < columns; ++c) {
        if (d->Sqlite) {
            bool known = false;
            types[size_t(c)] = FieldTypeFromDeclared(SqliteDeclaredType(*d->Query, c), sizes[size_t(c)], known);
            fromSamples[size_t(c)] = !known;
        } else {
            types[size_t(c)] = FieldTypeFromQtField(record.field(c), d->DriverName, sizes[size_t(c)]);
        }
    }
    while (sampled < d->Capacity && d->FetchRaw()) {
        for (int c = 0; c < columns; ++c)
            samples.push_back(d->Query->value(c));
        ++sampled;
    }
    for (int c = 0; c < columns; ++c) {
        const QVariant* column = samples.data() + c;
        if (fromSamples[size_t(c)]) {
            const TFieldType t = FieldTypeFromSamples(column, sampled, columns);
            types[size_t(c)] = t == ftUnknown ? ftWideString : t;
        } else if (types[size_t(c)] == ftInteger && FieldTypeFromSamples(column, sampled, columns) == ftLargeint) {
            // SQLite's INTEGER is 64 bits wide: a column holding such values
            // is typed 64-bit, so its values keep their magnitude.
            types[size_t(c)] = ftLargeint;
        }
        CreateField(record.fieldName(c), types[size_t(c)], sizes[size_t(c)]);
    }
    d->Types = types;
    d->Columns = columns;
    d->Ring.assign(size_t(d->Capacity) * size_t(columns), Variant::Null());
    // The sampled rows are the first window.
    d->WindowStart = 0;
    d->WindowCount = 0;
    for (qint64 r = 0; r < sampled; ++r) {
        Variant* slot = d->Ring.data() + size_t(r % d->Capacity) * size_t(columns);
        for (int c = 0; c < columns; ++c) {
            const QVariant& value = samples[size_t(r) * size_t(columns) + size_t(c)];
            if (!ConvertSqlValue(value, types[size_t(c)], slot[c]))
                DataSetError(QStringLiteral("record %1: '%2' in column '%3' is not a valid %4 value (SQL \"%5\")")
                                 .arg(r + 1)
                                 .arg(value.toString(), record.fieldName(c), FieldTypeName(types[size_t(c)]).mid(2),
                                      FSQL.trimmed()));
        }
        ++d->WindowCount;
    }
    if (readsAhead) {
        d->Reader = std::make_unique<TSqlReadAhead>();
        d->Reader->Start(d->Query.get(), d->Types);
    }
}

void TSqlDataSet::InternalClose()
{
    d->Reader.reset();
    d->Query.reset();
    d->Ring.clear();
    d->Ring.shrink_to_fit();
    d->Types.clear();
    d->Columns = 0;
    d->Fetched = d->WindowStart = d->WindowCount = 0;
    d->KnownCount = -1;
    const QString connection = std::exchange(d->ConnectionName, QString());
    if (d->OwnConnection)
        ReleaseConnection(connection);
}

const Variant* TSqlDataSet::InternalRecord(qint64 recNo)
{
    return d->Record(recNo);
}

qint64 TSqlDataSet::InternalLastRecNo()
{
    if (!d->Query)
        return -1;
    while (d->FetchRaw())
        d->StoreCurrentRow();
    return d->KnownCount - 1;
}

qint64 TSqlDataSet::InternalRecordCount()
{
    if (!d->Query)
        return 0;
    if (d->KnownCount >= 0)
        return d->KnownCount;
    // Counting in the database keeps the cursor where it is.
    std::unique_lock<std::mutex> connection;
    if (d->Reader && d->Reader->Running())
        connection = std::unique_lock(d->Reader->ConnectionLock());
    QSqlQuery count(d->Database());
    count.setForwardOnly(true);
    if (count.prepare(QStringLiteral("SELECT COUNT(*) FROM (%1) vorel_count").arg(d->Parsed.Text))) {
        for (const QVariant& value : d->Bound)
            count.addBindValue(value);
        if (count.exec() && count.next())
            return count.value(0).toLongLong();
    }
    return InternalLastRecNo() + 1;
}

} // namespace vorel
