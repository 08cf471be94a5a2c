// The CSV data set: options, type inference and declarations, and errors
// that name the file and the line.

#include "data/csv_dataset.h"
#include "data_test_support.h"

using namespace vorel;
using namespace vorel::test;

namespace {

class CsvDataSetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    // Writes the bytes to a file and returns a data set named "Csv" over it.
    std::unique_ptr<TCsvDataSet> Csv(const QByteArray& bytes)
    {
        FPath = FDir.filePath(QStringLiteral("data%1.csv").arg(++FSerial));
        WriteFile(FPath, bytes);
        auto ds = std::make_unique<TCsvDataSet>();
        ds->SetName(QStringLiteral("Csv"));
        ds->SetFileName(FPath);
        return ds;
    }

    QStringList Column(TDataSet* ds, int index)
    {
        QStringList out;
        for (ds->First(); !ds->Eof(); ds->Next())
            out.append(ds->Fields(index)->IsNull() ? u"<null>"_qs : ds->Fields(index)->AsString());
        return out;
    }

    FormatSettingsScope FFormat;
    QTemporaryDir FDir;
    QString FPath;
    int FSerial = 0;
};

TEST_F(CsvDataSetTest, InferredTypesTakeEveryValueOfTheColumnIntoAccount)
{
    auto ds = Csv("i,big,f,b,d,t,dt,mixed,empty,num01\n"
                  "1,1,1,true,2024-01-31,08:00,2024-01-31,1,,0\n"
                  "-2,9999999999,2.5,FALSE,1999-12-31,23:59:59,2024-02-01 10:00:00,x,,1\n");
    ds->Open();
    const TFieldType expected[] = {ftInteger, ftLargeint, ftFloat,      ftBoolean,    ftDate,
                                   ftTime,    ftDateTime, ftWideString, ftWideString, ftInteger};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(FieldTypeName(ds->Fields(i)->DataType()), FieldTypeName(expected[i]))
            << ds->Fields(i)->FieldName().toStdString();
    ds->Last();
    EXPECT_EQ(ds->Fields(1)->AsLargeInt(), 9999999999LL);
    EXPECT_EQ(ds->Fields(6)->DisplayText(), u"2024-02-01 10:00:00"_qs);
    EXPECT_EQ(ds->Fields(7)->Size(), 1);
    EXPECT_TRUE(ds->Fields(8)->IsNull());
}

TEST_F(CsvDataSetTest, QuotingDelimitersDecimalsAndLineBreaksInsideValues)
{
    auto ds = Csv("Name;Amount;Note\r\n"
                  "\"Smith; John\";1,5;\"said \"\"hi\"\"\"\r\n"
                  "\"Multi\r\nline\";-0,25;\"\"\r\n"
                  "\r\n"
                  "Plain;;x\r\n");
    ds->SetDelimiter(QStringLiteral(";"));
    ds->SetDecimalSeparator(QStringLiteral(","));
    ds->Open();
    EXPECT_EQ(ds->Fields(1)->DataType(), ftFloat);
    EXPECT_EQ(Column(ds.get(), 0), QStringList({u"Smith; John"_qs, u"Multi\r\nline"_qs, u"Plain"_qs}));
    EXPECT_EQ(Column(ds.get(), 1), QStringList({u"1,5"_qs, u"-0,25"_qs, u"<null>"_qs}));
    // A quoted empty value is an empty string, an unquoted one Null.
    EXPECT_EQ(Column(ds.get(), 2), QStringList({u"said \"hi\""_qs, QString(), u"x"_qs}));
}

TEST_F(CsvDataSetTest, DeclaredTypesWinAndNoHeaderNamesFieldsByPosition)
{
    auto ds = Csv("007\t2024-01-02\n"
                  "010\t2024-03-04\n");
    ds->SetDelimiter(QStringLiteral("\\t"));
    ds->SetHasHeader(false);
    ds->FieldTypes()->Add(QStringLiteral("Field1=WideString(3)"));
    ds->FieldTypes()->Add(QStringLiteral("field2=ftDateTime"));
    ds->Open();
    EXPECT_EQ(ds->FieldNames(), QStringList({u"Field1"_qs, u"Field2"_qs}));
    EXPECT_EQ(ds->Fields(0)->DataType(), ftWideString);
    EXPECT_EQ(ds->Fields(0)->Size(), 3);
    EXPECT_EQ(ds->Fields(1)->DataType(), ftDateTime);
    EXPECT_EQ(Column(ds.get(), 0), QStringList({u"007"_qs, u"010"_qs}));
}

TEST_F(CsvDataSetTest, EncodingsAndByteOrderMarks)
{
    // "Grüße" in windows-1252, then in UTF-8 behind a byte order mark.
    auto cp1252 = Csv("Word\nGr\xFC\xDF" "e\n");
    cp1252->SetEncoding(QStringLiteral("windows-1252"));
    cp1252->Open();
    EXPECT_EQ(cp1252->Fields(0)->AsString(), u"Grüße"_qs);
    auto bom = Csv("\xEF\xBB\xBFWord\nGr\xC3\xBC\xC3\x9F" "e\n");
    bom->SetEncoding(QStringLiteral("ISO-8859-1")); // the mark wins
    bom->Open();
    EXPECT_EQ(bom->FieldNames(), QStringList({u"Word"_qs}));
    EXPECT_EQ(bom->Fields(0)->AsString(), u"Grüße"_qs);
}

// The message, and the place as data: the file and the line (0: none).
TEST_F(CsvDataSetTest, BadInputNamesTheFileAndTheLine)
{
    struct Case {
        const char* bytes;
        const char* declared; // FieldTypes line or nullptr
        QString expected;     // after "Csv: <path>"
        qint64 line;          // the place's
    };
    const Case cases[] = {
        {"a,b,c\n1,2,3\n4,5\n", nullptr, u":3: the row has 2 values where the header has 3 columns"_qs, 3},
        {"a,b\n1,2\n3,4,5\n", nullptr, u":3: the row has 3 values where the header has 2 columns"_qs, 3},
        {"a,b\n\"two\nlines\",1\nx,12z\n", "b=Integer", u":4: '12z' in column 'b' is not a valid Integer value"_qs, 4},
        {"a\n2024-13-01\n", "a=Date", u":2: '2024-13-01' in column 'a' is not a valid Date value"_qs, 2},
        {"a,b\n1,\"open\n2,3\n", nullptr, u":2: the quoted value that starts here is not closed"_qs, 2},
        {"a,b\n\"x\"y,2\n", nullptr, u":2: unexpected character 'y' after a closing quote"_qs, 2},
        {"a\nok\n\xC3(\n", nullptr, u": not valid UTF-8 text at byte 5"_qs, 0},
        {"a\n1\n", "zz=Integer", u": FieldTypes names the field 'zz' that the file does not have"_qs, 0},
        {"", nullptr, u": the file has no header row"_qs, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        auto ds = Csv(c.bytes);
        if (c.declared)
            ds->FieldTypes()->Add(QString::fromUtf8(c.declared));
        try {
            ds->Open();
            ADD_FAILURE() << "no error raised";
        } catch (const EKVXError& e) {
            EXPECT_EQ(e.Message(), u"Csv: "_qs + FPath + c.expected);
            EXPECT_EQ(e.Place().File, FPath);
            EXPECT_EQ(e.Place().Line, c.line);
        }
        EXPECT_FALSE(ds->Active());
    }
    // A line of a million delimiters is counted, not kept (it once took
    // hundreds of megabytes before its count was checked); the count is
    // exact all the same.
    auto wide = Csv("a,b,c\n1,2,3\n" + QByteArray(1000000, ',') + "\n");
    EXPECT_EQ(ErrorOf([&] { wide->Open(); }),
              u"Csv: "_qs + FPath + u":3: the row has 1000001 values where the header has 3 columns"_qs);
    auto missing = std::make_unique<TCsvDataSet>();
    missing->SetFileName(FDir.filePath(QStringLiteral("absent.csv")));
    EXPECT_TRUE(ErrorOf([&] { missing->Open(); }).contains(u"absent.csv: cannot open the file"));
    auto declared = Csv("a\n1\n");
    declared->FieldTypes()->Add(QStringLiteral("a=Integerish"));
    EXPECT_EQ(ErrorOf([&] { declared->Open(); }), u"Csv: FieldTypes: 'a=Integerish' does not name a field type"_qs);
}

TEST_F(CsvDataSetTest, OptionsCannotChangeUnderAnOpenDataSet)
{
    auto ds = Csv("a\n1\n");
    ds->Open();
    EXPECT_TRUE(ErrorOf([&] { ds->SetDelimiter(QStringLiteral(";")); }).contains(u"open dataset"));
    ds->Close();
    EXPECT_TRUE(ErrorOf([&] { ds->SetDelimiter(QStringLiteral(";;")); }).contains(u"one character"));
}

} // namespace
