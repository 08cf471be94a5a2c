// The SQL data set over SQLite: master-detail, the row window, column
// types, parameters, read-only opening and errors that name what failed.

#include "data/memory_dataset.h"
#include "data/sql_dataset.h"
#include "data_test_support.h"

using namespace vorel;
using namespace vorel::test;

namespace {

class SqlDataSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("shop.db"));
        QStringList setup = {
            QStringLiteral("CREATE TABLE orders (OrderId INTEGER PRIMARY KEY, Customer TEXT)"),
            QStringLiteral("CREATE TABLE items (ItemId INTEGER PRIMARY KEY, OrderId INTEGER, Product TEXT, Qty INTEGER)"),
            QStringLiteral("CREATE TABLE notes (ItemId INTEGER, Note TEXT)"),
            QStringLiteral("CREATE TABLE numbers (n INTEGER)"),
        };
        // Order 1 has 3 items, order 2 none, order 3 has 2; item 11 has two notes.
        setup << QStringLiteral("INSERT INTO orders VALUES (1, 'Ann'), (2, 'Ben'), (3, 'Cy')")
              << QStringLiteral("INSERT INTO items VALUES (10, 1, 'Pen', 2), (11, 1, 'Ink', 1), (12, 1, 'Pad', 5), "
                                "(30, 3, 'Cup', 4), (31, 3, 'Mug', 1)")
              << QStringLiteral("INSERT INTO notes VALUES (11, 'blue'), (11, 'black'), (30, 'fragile')");
        for (int i = 1; i <= 100; ++i)
            setup << QStringLiteral("INSERT INTO numbers VALUES (%1)").arg(i);
        RunSqlite(FPath, setup);
    }

    std::unique_ptr<TSqlDataSet> Query(const QString& sql, const QString& name = QStringLiteral("Query"))
    {
        auto ds = std::make_unique<TSqlDataSet>();
        ds->SetName(name);
        ds->SetConnection(QStringLiteral("sqlite:") + FPath);
        ds->SetSQL(sql);
        return ds;
    }

    FormatSettingsScope FFormat;
    QTemporaryDir FDir;
    QString FPath;
};

// Walks master and detail as a sub-detail band would: "customer: products".
QStringList WalkMasterDetail(TDataSet* master, TDataSet* detail, const QString& masterField, const QString& detailField)
{
    QStringList out;
    master->DisableControls(); // as the report does: details must still follow
    for (master->First(); !master->Eof(); master->Next()) {
        QStringList products;
        for (detail->First(); !detail->Eof(); detail->Next())
            products.append(detail->FieldByName(detailField)->AsString());
        out.append(master->FieldByName(masterField)->AsString() + u": "_qs + products.join(u','));
    }
    master->EnableControls();
    return out;
}

TEST_F(SqlDataSetTest, DetailFollowsItsMasterRecordByRecord)
{
    auto orders = Query(QStringLiteral("SELECT * FROM orders ORDER BY OrderId"), QStringLiteral("Orders"));
    auto items = Query(QStringLiteral("SELECT Product FROM items WHERE OrderId = :OrderId ORDER BY ItemId"));
    items->SetMaster(orders.get());
    orders->Open();
    items->Open();
    EXPECT_EQ(WalkMasterDetail(orders.get(), items.get(), u"Customer"_qs, u"Product"_qs),
              QStringList({u"Ann: Pen,Ink,Pad"_qs, u"Ben: "_qs, u"Cy: Cup,Mug"_qs}));
    // The master closing leaves the detail open and empty.
    orders->Close();
    EXPECT_TRUE(items->Active());
    EXPECT_TRUE(items->IsEmpty());
    EXPECT_TRUE(items->Eof());
}

TEST_F(SqlDataSetTest, SubDetailChainsFollowAMemoryMaster)
{
    // The master need not be SQL; the link goes through MasterFields.
    TMemoryDataSet orders;
    orders.AddFieldDef(QStringLiteral("Id"), ftInteger);
    orders.AddFieldDef(QStringLiteral("Who"), ftWideString);
    orders.AppendRecord({3, u"Cy"});
    orders.AppendRecord({1, u"Ann"});
    auto items = Query(QStringLiteral("SELECT ItemId, Product FROM items WHERE OrderId = :o ORDER BY ItemId"));
    items->SetMasterFields(QStringLiteral("o=Id"));
    items->SetMaster(&orders);
    auto notes = Query(QStringLiteral("SELECT Note FROM notes WHERE ItemId = :ItemId ORDER BY Note"));
    notes->SetMaster(items.get());
    orders.Open();
    items->Open();
    notes->Open();
    QStringList out;
    for (orders.First(); !orders.Eof(); orders.Next())
        for (items->First(); !items->Eof(); items->Next()) {
            QStringList n;
            for (notes->First(); !notes->Eof(); notes->Next())
                n.append(notes->Fields(0)->AsString());
            out.append(items->FieldByName(QStringLiteral("Product"))->AsString() + u"="_qs + n.join(u'/'));
        }
    EXPECT_EQ(out, QStringList({u"Cup=fragile"_qs, u"Mug="_qs, u"Pen="_qs, u"Ink=black/blue"_qs, u"Pad="_qs}));
}

TEST_F(SqlDataSetTest, ADetailsErrorReachesTheCallerOfTheMastersMove)
{
    RunSqlite(FPath, {QStringLiteral("CREATE TABLE dated (k INTEGER, d DATE)"),
                      QStringLiteral("INSERT INTO dated VALUES (1, '2024-01-01'), (2, 'someday')")});
    TMemoryDataSet keys;
    keys.AddFieldDef(QStringLiteral("k"), ftInteger);
    keys.AppendRecord({1});
    keys.AppendRecord({2});
    auto dates = Query(QStringLiteral("SELECT d FROM dated WHERE k = :k"));
    dates->SetMaster(&keys);
    keys.Open();
    dates->Open();
    EXPECT_EQ(dates->Fields(0)->AsDateTime(), EncodeDate(2024, 1, 1));
    const QString message = ErrorOf([&] { keys.Next(); });
    EXPECT_TRUE(message.contains(u"'someday' in column 'd' is not a valid Date value")) << message.toStdString();
    EXPECT_EQ(keys.RecNo(), 2);
}

TEST_F(SqlDataSetTest, ALinkThatWouldCloseACircleIsRefused)
{
    auto a = Query(QStringLiteral("SELECT 1"), QStringLiteral("A"));
    auto b = Query(QStringLiteral("SELECT 1"), QStringLiteral("B"));
    b->SetMaster(a.get());
    EXPECT_EQ(ErrorOf([&] { a->SetMaster(b.get()); }), u"A: Circular datalinks are not allowed"_qs);
    EXPECT_EQ(ErrorOf([&] { a->SetMaster(a.get()); }), u"A: Circular datalinks are not allowed"_qs);
    // A freed master drops out of the link.
    a.reset();
    EXPECT_EQ(b->Master(), nullptr);
}

TEST_F(SqlDataSetTest, TheWindowBoundsRowsAndReQueriesOnlyToGoBehindIt)
{
    auto numbers = Query(QStringLiteral("SELECT n FROM numbers ORDER BY n"));
    numbers->SetFetchWindow(16);
    numbers->Open();
    TField* n = numbers->Fields(0);
    qint64 sum = 0;
    TBookmark at5;
    for (; !numbers->Eof(); numbers->Next()) {
        sum += n->AsInteger();
        if (n->AsInteger() == 5)
            at5 = numbers->GetBookmark();
    }
    EXPECT_EQ(sum, 5050);
    EXPECT_EQ(numbers->QueryCount(), 1); // one pass forward, one query

    // Back inside the window: no query.
    for (int i = 0; i < 15; ++i)
        numbers->Prior();
    EXPECT_EQ(n->AsInteger(), 85);
    EXPECT_EQ(numbers->QueryCount(), 1);
    // One more step leaves it: the query runs again and lands on the record,
    // which now ends the window, so the next steps back are free.
    numbers->Prior();
    EXPECT_EQ(n->AsInteger(), 84);
    EXPECT_EQ(numbers->QueryCount(), 2);
    for (int i = 0; i < 10; ++i)
        numbers->Prior();
    EXPECT_EQ(n->AsInteger(), 74);
    EXPECT_EQ(numbers->QueryCount(), 2);

    numbers->GotoBookmark(at5);
    EXPECT_EQ(n->AsInteger(), 5);
    numbers->Last();
    EXPECT_EQ(n->AsInteger(), 100);
    EXPECT_EQ(numbers->RecordCount(), 100);
    numbers->First();
    EXPECT_EQ(n->AsInteger(), 1);
    EXPECT_TRUE(numbers->Bof());
}

TEST_F(SqlDataSetTest, RecordCountCountsWithoutMovingTheCursor)
{
    auto numbers = Query(QStringLiteral("SELECT n FROM numbers WHERE n > :low ORDER BY n"));
    numbers->SetParamValue(QStringLiteral("low"), Variant(90));
    numbers->SetFetchWindow(16);
    numbers->Open();
    numbers->Next();
    EXPECT_EQ(numbers->RecordCount(), 10);
    EXPECT_EQ(numbers->Fields(0)->AsInteger(), 92);
    numbers->Next();
    EXPECT_EQ(numbers->Fields(0)->AsInteger(), 93);
}

TEST_F(SqlDataSetTest, DeclaredColumnTypesMapToTheFieldTypesExpressionsUse)
{
    RunSqlite(FPath, {QStringLiteral("CREATE TABLE typed (a CHAR(5), b VARCHAR(40), c TEXT, d INTEGER, e INT, "
                                     "f SMALLINT, g BIGINT, h INT8, i REAL, j FLOAT, k DOUBLE, l NUMERIC(10,2), "
                                     "m DECIMAL, n BOOLEAN, o DATE, p TIME, q DATETIME, r TIMESTAMP, s BLOB, t)"),
                      QStringLiteral("INSERT INTO typed VALUES ('x', 'y', 'z', 1, 2, 3, 4, 5, 1.5, 2.5, 3.5, 4.25, "
                                     "5.5, 1, '2024-03-05', '10:20:30', '2024-03-05 10:20:30', "
                                     "'2024-03-05T10:20:30.250', x'00ff10', 'free')")});
    auto ds = Query(QStringLiteral("SELECT *, d + 1 AS expr FROM typed"));
    ds->Open();
    const std::vector<std::pair<const char16_t*, TFieldType>> expected = {
        {u"a", ftWideString}, {u"b", ftWideString}, {u"c", ftWideString}, {u"d", ftInteger},
        {u"e", ftInteger},    {u"f", ftInteger},    {u"g", ftLargeint},   {u"h", ftLargeint},
        {u"i", ftFloat},      {u"j", ftFloat},      {u"k", ftFloat},      {u"l", ftBCD},
        {u"m", ftBCD},        {u"n", ftBoolean},    {u"o", ftDate},       {u"p", ftTime},
        {u"q", ftDateTime},   {u"r", ftDateTime},   {u"s", ftBlob},       {u"t", ftWideString},
        {u"expr", ftInteger},
    };
    for (const auto& [name, type] : expected) {
        TField* f = ds->FindField(name);
        ASSERT_NE(f, nullptr) << QString::fromUtf16(name).toStdString();
        EXPECT_EQ(FieldTypeName(f->DataType()), FieldTypeName(type)) << QString::fromUtf16(name).toStdString();
    }
    EXPECT_EQ(ds->FindField(u"a")->Size(), 5);
    EXPECT_EQ(ds->FindField(u"b")->Size(), 40);
    EXPECT_EQ(ds->FindField(u"o")->AsDateTime(), EncodeDate(2024, 3, 5));
    EXPECT_DOUBLE_EQ(ds->FindField(u"p")->AsDateTime(), EncodeTime(10, 20, 30, 0));
    EXPECT_DOUBLE_EQ(ds->FindField(u"r")->AsDateTime(), EncodeDate(2024, 3, 5) + EncodeTime(10, 20, 30, 250));
    EXPECT_EQ(ds->FindField(u"q")->DisplayText(), u"2024-03-05 10:20:30"_qs);
    EXPECT_EQ(ds->FindField(u"s")->AsBytes(), QByteArray("\x00\xff\x10", 3));
    EXPECT_EQ(ds->FindField(u"s")->DisplayText(), u"(BLOB)"_qs);
    EXPECT_EQ(ds->FindField(u"l")->DisplayText(), u"4,25"_qs);
    EXPECT_EQ(ds->FindField(u"n")->DisplayText(), u"True"_qs);
}

TEST_F(SqlDataSetTest, IntegerColumnsHoldingValuesBeyond32BitsBecome64Bit)
{
    RunSqlite(FPath, {QStringLiteral("CREATE TABLE big (id INTEGER, small INTEGER)"),
                      QStringLiteral("INSERT INTO big VALUES (1, 1), (1099511627776, 2)")});
    auto ds = Query(QStringLiteral("SELECT id, small, id * 2 AS twice FROM big"));
    ds->Open();
    EXPECT_EQ(ds->Fields(0)->DataType(), ftLargeint);
    EXPECT_EQ(ds->Fields(1)->DataType(), ftInteger);
    EXPECT_EQ(ds->Fields(2)->DataType(), ftLargeint);
    ds->Last();
    EXPECT_EQ(ds->Fields(0)->AsLargeInt(), 1099511627776LL);
    EXPECT_EQ(ds->Fields(0)->DisplayText(), u"1099511627776"_qs);
}

TEST_F(SqlDataSetTest, ParametersComeFromValuesTextsAndTheirOrderIsKept)
{
    auto ds = Query(QStringLiteral("SELECT n, ':skip' AS lit FROM numbers -- not :this\n"
                                   "WHERE n BETWEEN :low AND :high AND n <> :low + 1 ORDER BY n"));
    EXPECT_EQ(ds->ParamNames(), QStringList({u"low"_qs, u"high"_qs}));
    ds->Params()->Add(QStringLiteral("LOW=10"));
    ds->Params()->Add(QStringLiteral("high=13"));
    ds->Open();
    QStringList got;
    for (; !ds->Eof(); ds->Next())
        got.append(ds->Fields(0)->AsString());
    EXPECT_EQ(got, QStringList({u"10"_qs, u"12"_qs, u"13"_qs}));
    EXPECT_EQ(ds->Fields(1)->AsString(), u":skip"_qs);
    // A typed value wins over the text line.
    ds->Close();
    ds->SetParamValue(QStringLiteral("high"), Variant(11));
    ds->Open();
    EXPECT_EQ(ds->RecordCount(), 1);
}

TEST_F(SqlDataSetTest, SqliteFilesOpenReadOnlyAndOnlyTheApplicationLetsAQueryWrite)
{
    auto writer = Query(QStringLiteral("UPDATE numbers SET n = n + 1000 WHERE n = 1 RETURNING n"));
    QString message = ErrorOf([&] { writer->Open(); });
    EXPECT_TRUE(message.contains(u"would change the database")) << message.toStdString();
    EXPECT_FALSE(writer->Active());
    // A form's ReadOnly = False opens the file for writing, but the query
    // still only reads.
    writer->SetReadOnly(false);
    message = ErrorOf([&] { writer->Open(); });
    EXPECT_TRUE(message.contains(u"would change the database")) << message.toStdString();
    writer->SetAllowWrites(true);
    writer->Open();
    EXPECT_EQ(writer->Fields(0)->AsInteger(), 1001);
}

TEST_F(SqlDataSetTest, TheApplicationsConnectionIsUsedOpenedAndLeftOpen)
{
    const QString connection = QStringLiteral("sql_dataset_test_app");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:")); // left closed: the data set opens it
    }
    auto ds = Query(QStringLiteral("SELECT n FROM numbers ORDER BY n"));
    ds->SetConnection(QStringLiteral("sqlite:") + FDir.filePath(QStringLiteral("never-opened.db")));
    ds->SetDatabase(QSqlDatabase::database(connection, false));
    EXPECT_EQ(ds->DatabaseConnectionName(), connection);
    // The application's empty in-memory database has no such table.
    EXPECT_TRUE(ErrorOf([&] { ds->Open(); }).contains(u"numbers"));
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        ASSERT_TRUE(db.isOpen()) << "opened for the data set";
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE numbers (n INTEGER)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO numbers VALUES (7), (8)")));
    }
    ds->Open();
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(ds->Fields(0)->AsInteger(), 7);
    ds->Close();
    ds.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        EXPECT_TRUE(db.isOpen()) << "neither closed nor removed";
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM numbers")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), 2);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    EXPECT_FALSE(QFile::exists(FDir.filePath(QStringLiteral("never-opened.db"))));

    // Without the connection the data set goes back to its own.
    auto own = Query(QStringLiteral("SELECT n FROM numbers"));
    own->SetDatabase(QSqlDatabase());
    EXPECT_TRUE(own->DatabaseConnectionName().isEmpty());
    own->Open();
    EXPECT_EQ(own->RecordCount(), 100);
}

// Reading ahead (a second thread steps the query) changes nothing a
// reader of the data set sees: the rows, the way back, the count, and a
// bad value's error at its own record, after every row before it.
TEST_F(SqlDataSetTest, ReadingAheadGivesTheRowsAndErrorsOfOneThread)
{
    QStringList setup = {QStringLiteral("CREATE TABLE big (n INTEGER, d DATE)")};
    QStringList rows;
    for (int i = 1; i <= 1500; ++i)
        rows << QStringLiteral("(%1, '%2')").arg(i).arg(i == 1200 ? QStringLiteral("soon") : QStringLiteral("2024-01-02"));
    setup << QStringLiteral("INSERT INTO big VALUES ") + rows.join(u',');
    RunSqlite(FPath, setup);
    const bool was = SqlReadAhead();
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "reading ahead" : "one thread");
        SetSqlReadAhead(ahead);
        auto big = Query(QStringLiteral("SELECT n, d FROM big ORDER BY n"));
        big->SetFetchWindow(16);
        big->Open();
        qint64 sum = 0;
        int last = 0;
        const QString message = ErrorOf([&] {
            for (; !big->Eof(); big->Next()) {
                last = int(big->Fields(0)->AsInteger());
                sum += last;
                if (last == 600) {
                    EXPECT_EQ(big->RecordCount(), 1500); // counted beside the reading
                    EXPECT_EQ(big->Fields(0)->AsInteger(), 600);
                }
            }
        });
        EXPECT_EQ(last, 1199);
        EXPECT_EQ(sum, 1199LL * 1200 / 2);
        EXPECT_TRUE(message.contains(u"record 1200: 'soon' in column 'd' is not a valid Date value"))
            << message.toStdString();
        // Back to the start (the query runs again), then closed half-way.
        big->First();
        EXPECT_EQ(big->Fields(0)->AsInteger(), 1);
        for (int i = 0; i < 300; ++i)
            big->Next();
        EXPECT_EQ(big->Fields(0)->AsInteger(), 301);
        big->Close();
        auto numbers = Query(QStringLiteral("SELECT n FROM numbers ORDER BY n"));
        numbers->Open();
        numbers->Last();
        EXPECT_EQ(numbers->Fields(0)->AsInteger(), 100);
    }
    SetSqlReadAhead(was);
}

TEST_F(SqlDataSetTest, BadInputRaisesErrorsNamingWhatFailed)
{
    // A missing file: the path and the driver's words.
    auto missing = Query(QStringLiteral("SELECT 1"));
    const QString missingPath = FDir.filePath(QStringLiteral("nope.db"));
    missing->SetConnection(QStringLiteral("sqlite:") + missingPath);
    QString message = ErrorOf([&] { missing->Open(); });
    EXPECT_TRUE(message.startsWith(u"Query: cannot open the database "_qs + missingPath + u" (no such file)"_qs))
        << message.toStdString();
    EXPECT_TRUE(message.contains(u"unable to open database file")) << message.toStdString();
    EXPECT_FALSE(QFile::exists(missingPath)); // read-only opening creates nothing

    // An SQL error: the SQL and the driver's message.
    auto wrong = Query(QStringLiteral("SELECT * FROM nosuchtable"));
    message = ErrorOf([&] { wrong->Open(); });
    EXPECT_TRUE(message.contains(u"no such table: nosuchtable")) << message.toStdString();
    EXPECT_TRUE(message.contains(u"SELECT * FROM nosuchtable")) << message.toStdString();
    EXPECT_FALSE(wrong->Active());

    // A parameter without a value.
    auto unbound = Query(QStringLiteral("SELECT n FROM numbers WHERE n = :wanted"));
    EXPECT_EQ(ErrorOf([&] { unbound->Open(); }), u"Query: No value for parameter 'wanted'"_qs);

    // A stored value its declared type cannot hold: record, column, value.
    RunSqlite(FPath, {QStringLiteral("CREATE TABLE dated (d DATE)"),
                      QStringLiteral("INSERT INTO dated VALUES ('2024-01-01'), ('yesterday')")});
    auto dated = Query(QStringLiteral("SELECT d FROM dated"));
    message = ErrorOf([&] { dated->Open(); });
    EXPECT_TRUE(message.contains(u"record 2: 'yesterday' in column 'd' is not a valid Date value"))
        << message.toStdString();

    // Not a connection string, no SQL, positional parameters.
    auto odd = Query(QStringLiteral("SELECT 1"));
    odd->SetConnection(QStringLiteral("mysql-ish"));
    EXPECT_TRUE(ErrorOf([&] { odd->Open(); }).contains(u"'mysql-ish' is not a connection string"));
    auto empty = Query(QString());
    EXPECT_EQ(ErrorOf([&] { empty->Open(); }), u"Query: Property SQL wasn't specified."_qs);
    auto positional = Query(QStringLiteral("SELECT n FROM numbers WHERE n = ?"));
    EXPECT_TRUE(ErrorOf([&] { positional->Open(); }).contains(u"positional parameters"));
}

} // namespace
