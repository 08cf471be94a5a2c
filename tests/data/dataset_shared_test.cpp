// One suite, three sources: the memory, CSV and SQLite data sets over the
// same five records must behave alike in every respect a report relies on.

#include "data/csv_dataset.h"
#include "data/memory_dataset.h"
#include "data/sql_dataset.h"
#include "data_test_support.h"

#include <memory>

using namespace vorel;
using namespace vorel::test;

namespace {

// Id, Name, Price, Born, Active; record 3 has a null Price, record 4 a null
// Name and a null Born.
struct Source {
    virtual ~Source() = default;
    virtual std::unique_ptr<TDataSet> Make(QTemporaryDir& dir) = 0;
};

struct MemorySource : Source {
    std::unique_ptr<TDataSet> Make(QTemporaryDir&) override
    {
        auto ds = std::make_unique<TMemoryDataSet>();
        ds->AddFieldDef(QStringLiteral("Id"), ftInteger);
        ds->AddFieldDef(QStringLiteral("Name"), ftWideString, 40);
        ds->AddFieldDef(QStringLiteral("Price"), ftFloat);
        ds->AddFieldDef(QStringLiteral("Born"), ftDate);
        ds->AddFieldDef(QStringLiteral("Active"), ftBoolean);
        ds->AppendRecord({1, u"Alice", 12.5, u"1990-01-15", true});
        ds->AppendRecord({2, u"Bob", 0.1, u"1985-12-31", false});
        ds->AppendRecord({3, u"Chloé", Variant::Null(), u"2000-02-29", true});
        ds->AppendRecord({4, Variant::Null(), 1e20, Variant::Null(), false});
        ds->AppendRecord({5, u"O'Neil, Jr.", -3.25, u"1970-07-04", true});
        return ds;
    }
};

struct CsvSource : Source {
    std::unique_ptr<TDataSet> Make(QTemporaryDir& dir) override
    {
        const QString path = dir.filePath(QStringLiteral("people.csv"));
        WriteFile(path, "Id,Name,Price,Born,Active\r\n"
                        "1,Alice,12.5,1990-01-15,true\r\n"
                        "2,Bob,0.1,1985-12-31,false\r\n"
                        "3,Chlo\xC3\xA9,,2000-02-29,true\r\n"
                        "4,,1e20,,false\r\n"
                        "5,\"O'Neil, Jr.\",-3.25,1970-07-04,true\r\n");
        auto ds = std::make_unique<TCsvDataSet>();
        ds->SetFileName(path);
        return ds;
    }
};

struct SqliteSource : Source {
    std::unique_ptr<TDataSet> Make(QTemporaryDir& dir) override
    {
        const QString path = dir.filePath(QStringLiteral("people.db"));
        RunSqlite(path, {QStringLiteral("CREATE TABLE people (Id INTEGER, Name VARCHAR(40), Price REAL, "
                                        "Born DATE, Active BOOLEAN)"),
                         QStringLiteral("INSERT INTO people VALUES (1, 'Alice', 12.5, '1990-01-15', 1)"),
                         QStringLiteral("INSERT INTO people VALUES (2, 'Bob', 0.1, '1985-12-31', 0)"),
                         QStringLiteral("INSERT INTO people VALUES (3, 'Chloé', NULL, '2000-02-29', 1)"),
                         QStringLiteral("INSERT INTO people VALUES (4, NULL, 1e20, NULL, 0)"),
                         QStringLiteral("INSERT INTO people VALUES (5, 'O''Neil, Jr.', -3.25, '1970-07-04', 1)")});
        auto ds = std::make_unique<TSqlDataSet>();
        ds->SetConnection(QStringLiteral("sqlite:") + path);
        ds->SetSQL(QStringLiteral("SELECT Id, Name, Price, Born, Active FROM people ORDER BY Id"));
        // A small window, so walking the five records crosses its edge.
        ds->SetFetchWindow(16);
        return ds;
    }
};

template <typename S>
class SharedDataSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FData = S().Make(FDir);
        FData->SetName(QStringLiteral("People"));
    }
    TDataSet* ds() { return FData.get(); }

    // DisplayText of every field of the current record, '|' separated.
    QString Row()
    {
        QStringList cells;
        for (int i = 0; i < ds()->FieldCount(); ++i)
            cells.append(ds()->Fields(i)->DisplayText());
        return cells.join(u'|');
    }

    FormatSettingsScope FFormat;
    QTemporaryDir FDir;
    std::unique_ptr<TDataSet> FData;
};

using Sources = ::testing::Types<MemorySource, CsvSource, SqliteSource>;
TYPED_TEST_SUITE(SharedDataSetTest, Sources);

const QStringList kRows = {
    QStringLiteral("1|Alice|12,5|1990-01-15|True"),
    QStringLiteral("2|Bob|0,1|1985-12-31|False"),
    QStringLiteral("3|Chloé||2000-02-29|True"),
    QStringLiteral("4||1E+20||False"),
    QStringLiteral("5|O'Neil, Jr.|-3,25|1970-07-04|True"),
};

TYPED_TEST(SharedDataSetTest, FieldsHaveTheSameNamesTypesAndAlignment)
{
    this->ds()->Open();
    ASSERT_EQ(this->ds()->FieldCount(), 5);
    EXPECT_EQ(this->ds()->FieldNames(),
              QStringList({u"Id"_qs, u"Name"_qs, u"Price"_qs, u"Born"_qs, u"Active"_qs}));
    const TFieldType types[] = {ftInteger, ftWideString, ftFloat, ftDate, ftBoolean};
    const TAlignment alignments[] = {taRightJustify, taLeftJustify, taRightJustify, taLeftJustify, taLeftJustify};
    for (int i = 0; i < 5; ++i) {
        TField* f = this->ds()->Fields(i);
        EXPECT_EQ(f->DataType(), types[i]) << f->FieldName().toStdString();
        EXPECT_EQ(f->Alignment(), alignments[i]) << f->FieldName().toStdString();
        EXPECT_EQ(f->FieldKind(), fkData);
        EXPECT_EQ(f->FieldNo(), i + 1);
        EXPECT_EQ(f->DisplayName(), f->FieldName());
    }
    EXPECT_EQ(this->ds()->Fields(5), nullptr);
    EXPECT_EQ(this->ds()->Fields(-1), nullptr);
}

TYPED_TEST(SharedDataSetTest, WalkingVisitsEveryRecordOnceWithTheClassicTexts)
{
    this->ds()->Open();
    EXPECT_TRUE(this->ds()->Bof());
    QStringList seen;
    while (!this->ds()->Eof()) {
        seen.append(this->Row());
        this->ds()->Next();
    }
    EXPECT_EQ(seen, kRows);
    // Next on the last record sets Eof and stays there.
    EXPECT_EQ(this->ds()->RecNo(), 5);
    EXPECT_EQ(this->ds()->FieldByName(QStringLiteral("Id"))->AsInteger(), 5);
    EXPECT_EQ(this->ds()->RecordCount(), 5);
}

TYPED_TEST(SharedDataSetTest, LastThenPriorWalksBackwardsAndStopsAtBof)
{
    this->ds()->Open();
    this->ds()->Last();
    EXPECT_TRUE(this->ds()->Eof());
    EXPECT_FALSE(this->ds()->Bof());
    QStringList seen;
    while (!this->ds()->Bof()) {
        seen.prepend(this->Row());
        this->ds()->Prior();
    }
    EXPECT_EQ(seen, kRows);
    EXPECT_EQ(this->ds()->RecNo(), 1);
    this->ds()->First();
    EXPECT_TRUE(this->ds()->Bof());
    EXPECT_FALSE(this->ds()->Eof());
}

TYPED_TEST(SharedDataSetTest, BookmarksReturnToTheirRecordAndDieWithTheOpening)
{
    this->ds()->Open();
    this->ds()->Next();
    this->ds()->Next();
    TBookmark mark = this->ds()->GetBookmark();
    EXPECT_TRUE(this->ds()->BookmarkValid(mark));
    this->ds()->Last();
    this->ds()->GotoBookmark(mark);
    EXPECT_EQ(this->Row(), kRows[2]);
    EXPECT_FALSE(this->ds()->Eof());
    EXPECT_FALSE(this->ds()->Bof());

    TBookmark copy = mark;
    this->ds()->FreeBookmark(mark);
    EXPECT_FALSE(this->ds()->BookmarkValid(mark));
    EXPECT_TRUE(ErrorOf([&] { this->ds()->GotoBookmark(mark); }).contains(u"Record not found"));

    this->ds()->Close();
    this->ds()->Open();
    EXPECT_FALSE(this->ds()->BookmarkValid(copy));
    EXPECT_EQ(ErrorOf([&] { this->ds()->GotoBookmark(copy); }), u"People: Record not found"_qs);
    EXPECT_EQ(this->Row(), kRows[0]);
}

TYPED_TEST(SharedDataSetTest, FieldsAreFoundWithoutRegardToCase)
{
    this->ds()->Open();
    EXPECT_EQ(this->ds()->FindField(u"pRiCe"), this->ds()->Fields(2));
    EXPECT_EQ(this->ds()->FindField(u"Missing"), nullptr);
    EXPECT_EQ(ErrorOf([&] { this->ds()->FieldByName(QStringLiteral("Missing")); }),
              u"People: Field 'Missing' not found"_qs);
}

TYPED_TEST(SharedDataSetTest, NullsReadAsNullAndEmptyText)
{
    this->ds()->Open();
    this->ds()->MoveTo(4);
    TField* name = this->ds()->FieldByName(QStringLiteral("Name"));
    TField* born = this->ds()->FieldByName(QStringLiteral("Born"));
    EXPECT_TRUE(name->IsNull());
    EXPECT_TRUE(born->IsNull());
    EXPECT_EQ(name->AsString(), QString());
    EXPECT_EQ(born->AsDateTime(), 0.0);
    EXPECT_DOUBLE_EQ(this->ds()->FieldByName(QStringLiteral("Price"))->AsFloat(), 1e20);
    this->ds()->MoveTo(1);
    EXPECT_EQ(name->Value().Type(), varString);
    EXPECT_EQ(born->Value().Type(), varDate);
    EXPECT_EQ(born->AsDateTime(), EncodeDate(1990, 1, 15));
    EXPECT_TRUE(this->ds()->FieldByName(QStringLiteral("Active"))->AsBoolean());
    EXPECT_EQ(this->ds()->FieldByName(QStringLiteral("Id"))->Value().Type(), varInteger);
}

TYPED_TEST(SharedDataSetTest, CalculatedFieldsFollowTheCurrentRecord)
{
    TField* doubled = this->ds()->AddCalcField(QStringLiteral("Doubled"), ftFloat);
    this->ds()->OnCalcFields = [](TDataSet* sender) {
        TField* price = sender->FieldByName(QStringLiteral("Price"));
        if (!price->IsNull())
            sender->FieldByName(QStringLiteral("Doubled"))->SetValue(Variant(price->AsFloat() * 2));
    };
    this->ds()->Open();
    ASSERT_EQ(this->ds()->FieldCount(), 6);
    EXPECT_EQ(doubled->FieldKind(), fkCalculated);
    EXPECT_EQ(doubled->DisplayText(), u"25"_qs);
    this->ds()->MoveTo(3);
    EXPECT_TRUE(doubled->IsNull());
    this->ds()->Last();
    EXPECT_EQ(doubled->DisplayText(), u"-6,5"_qs);
    // Outside OnCalcFields a calculated field cannot be written.
    EXPECT_TRUE(ErrorOf([&] { doubled->SetValue(Variant(1)); }).contains(u"cannot be modified"));
    // The declaration outlives a close and a reopen.
    this->ds()->Close();
    this->ds()->Open();
    EXPECT_EQ(this->ds()->FindField(u"Doubled"), doubled);
}

TYPED_TEST(SharedDataSetTest, AClosedDataSetRefusesToMoveAndHasNoFields)
{
    EXPECT_FALSE(this->ds()->Active());
    EXPECT_TRUE(ErrorOf([&] { this->ds()->Next(); }).contains(u"closed dataset"));
    this->ds()->Open();
    TField* id = this->ds()->Fields(0);
    EXPECT_EQ(id->AsInteger(), 1);
    this->ds()->Close();
    EXPECT_EQ(this->ds()->FieldCount(), 0);
    EXPECT_EQ(this->ds()->RecordCount(), 0);
    EXPECT_EQ(this->ds()->RecNo(), 0);
    EXPECT_TRUE(this->ds()->Eof());
}

TYPED_TEST(SharedDataSetTest, DisableControlsCounts)
{
    this->ds()->Open();
    this->ds()->DisableControls();
    this->ds()->DisableControls();
    this->ds()->EnableControls();
    EXPECT_TRUE(this->ds()->ControlsDisabled());
    this->ds()->EnableControls();
    EXPECT_FALSE(this->ds()->ControlsDisabled());
    this->ds()->EnableControls(); // one too many does not go negative
    this->ds()->DisableControls();
    EXPECT_TRUE(this->ds()->ControlsDisabled());
}

TYPED_TEST(SharedDataSetTest, MoveToAndEventsReportEveryMove)
{
    int scrolls = 0;
    int opens = 0;
    this->ds()->AfterScroll = [&](TDataSet*) { ++scrolls; };
    this->ds()->AfterOpen = [&](TDataSet*) { ++opens; };
    this->ds()->Open();
    EXPECT_EQ(opens, 1);
    EXPECT_TRUE(this->ds()->MoveTo(5));
    EXPECT_FALSE(this->ds()->MoveTo(6));
    EXPECT_FALSE(this->ds()->MoveTo(0));
    EXPECT_EQ(this->ds()->RecNo(), 5);
    this->ds()->Next(); // at the end: no move, no event
    EXPECT_EQ(scrolls, 1);
}

} // namespace
