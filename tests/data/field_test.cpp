// Field texts by type, value conversion on the way in, and the memory data
// set's own behaviour (appending, editing, bad values).

#include "data/memory_dataset.h"
#include "data_test_support.h"

using namespace vorel;
using namespace vorel::test;

namespace {

struct TextCase {
    TFieldType Type;
    Variant Value;
    const char16_t* AsString;
    const char16_t* DisplayText;
};

TEST(FieldText, FollowsTheClassicRulesOfPrintedReports)
{
    FormatSettingsScope format;
    const TextCase cases[] = {
        {ftInteger, Variant(-42), u"-42", u"-42"},
        {ftSmallint, Variant(7), u"7", u"7"},
        {ftLargeint, Variant(qint64(1) << 40), u"1099511627776", u"1099511627776"},
        // General format, 15 significant digits, the locale's comma.
        {ftFloat, Variant(1.0 / 3), u"0,333333333333333", u"0,333333333333333"},
        {ftFloat, Variant(2.0), u"2", u"2"},
        {ftBCD, Variant(1234.5), u"1234,5", u"1234,5"},
        // Currency: plain number as a string, the locale's format for display.
        {ftCurrency, Variant(1234.5), u"1234,5", u"1.234,50 EUR"},
        {ftBoolean, Variant(false), u"False", u"False"},
        {ftDate, Variant(u"2024-03-05"), u"2024-03-05", u"2024-03-05"},
        {ftTime, Variant(u"07:08:09"), u"07:08:09", u"07:08:09"},
        {ftDateTime, Variant(u"2024-03-05 07:08:09"), u"2024-03-05 07:08:09", u"2024-03-05 07:08:09"},
        {ftWideString, Variant(u" padded "), u" padded ", u" padded "},
        {ftMemo, Variant(u"line 1\r\nline 2"), u"line 1\r\nline 2", u"line 1\r\nline 2"},
        {ftBlob, Variant(u"\x01\x02"), u"\x01\x02", u"(BLOB)"},
        {ftGraphic, Variant(u"GIF89a"), u"GIF89a", u"(GRAPHIC)"},
        {ftInteger, Variant::Null(), u"", u""},
        {ftDate, Variant::Null(), u"", u""},
    };
    for (const TextCase& c : cases) {
        TMemoryDataSet ds;
        ds.AddFieldDef(QStringLiteral("F"), c.Type);
        ds.AppendRecord({c.Value});
        ds.Open();
        TField* f = ds.Fields(0);
        const std::string what = FieldTypeName(c.Type).toStdString() + " " + c.Value.ToString().toStdString();
        EXPECT_EQ(f->AsString(), QString::fromUtf16(c.AsString)) << what;
        EXPECT_EQ(f->DisplayText(), QString::fromUtf16(c.DisplayText)) << what;
    }
}

TEST(FieldText, OnGetTextReplacesTheRules)
{
    TMemoryDataSet ds;
    ds.AddFieldDef(QStringLiteral("F"), ftInteger);
    ds.AppendRecord({5});
    ds.Open();
    ds.Fields(0)->OnGetText = [](TField* f, QString& text, bool display) {
        text = (display ? u"#"_qs : u"="_qs) + QString::number(f->AsInteger() * 10);
    };
    EXPECT_EQ(ds.Fields(0)->DisplayText(), u"#50"_qs);
    EXPECT_EQ(ds.Fields(0)->Text(), u"=50"_qs);
    EXPECT_EQ(ds.Fields(0)->AsString(), u"5"_qs);
}

TEST(FieldProperties, DefaultsFollowTheType)
{
    TMemoryDataSet ds;
    ds.AddFieldDef(QStringLiteral("Name"), ftWideString, 25);
    ds.AddFieldDef(QStringLiteral("Qty"), ftInteger);
    ds.AddFieldDef(QStringLiteral("Flag"), ftBoolean);
    ds.Open();
    TField* name = ds.Fields(0);
    EXPECT_EQ(name->DisplayWidth(), 25);
    EXPECT_EQ(ds.Fields(1)->DisplayWidth(), 11);
    EXPECT_EQ(ds.Fields(2)->DisplayWidth(), 5);
    EXPECT_TRUE(name->Visible());
    name->SetDisplayLabel(QStringLiteral("Customer name"));
    EXPECT_EQ(name->DisplayName(), u"Customer name"_qs);
    EXPECT_EQ(name->FieldName(), u"Name"_qs);
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(name->IsNull());
}

TEST(MemoryDataSet, ValuesAreConvertedOnAppendAndBadOnesRejectedWhole)
{
    TMemoryDataSet ds;
    ds.SetName(QStringLiteral("Mem"));
    ds.AddFieldDef(QStringLiteral("Qty"), ftSmallint);
    ds.AddFieldDef(QStringLiteral("When"), ftDate);
    ds.AppendRecord({u"12", 45356.75}); // text to number, date-time to date
    EXPECT_EQ(ErrorOf([&] { ds.AppendRecord({70000}); }),
              u"Mem: Record 2: '70000' is not a valid Smallint value for field 'Qty'"_qs);
    EXPECT_EQ(ErrorOf([&] { ds.AppendRecord({1, u"soon"}); }),
              u"Mem: Record 2: 'soon' is not a valid Date value for field 'When'"_qs);
    EXPECT_EQ(ErrorOf([&] { ds.AppendRecord({1, 2, 3}); }), u"Mem: Record 2 has 3 values for 2 fields"_qs);
    EXPECT_EQ(ds.RowCount(), 1);
    ds.Open();
    EXPECT_EQ(ds.Fields(0)->Value().Type(), varSmallint);
    EXPECT_EQ(ds.Fields(1)->AsDateTime(), 45356.0);
}

TEST(MemoryDataSet, AppendingToAnOpenSetMovesToTheNewRecordAndEditsStay)
{
    TMemoryDataSet ds;
    ds.AddFieldDef(QStringLiteral("N"), ftInteger);
    ds.Open();
    EXPECT_TRUE(ds.Eof());
    ds.ReserveRows(1000);
    for (int i = 1; i <= 1000; ++i)
        ds.AppendRecord({i}); // the storage grows under an open cursor
    EXPECT_EQ(ds.RecNo(), 1000);
    EXPECT_EQ(ds.Fields(0)->AsInteger(), 1000);
    ds.MoveTo(10);
    ds.Fields(0)->SetValue(Variant(u"-10"));
    ds.First();
    ds.MoveTo(10);
    EXPECT_EQ(ds.Fields(0)->AsInteger(), -10);
    EXPECT_TRUE(ErrorOf([&] { ds.Fields(0)->SetValue(Variant(u"ten")); }).contains(u"not a valid value"));
    ds.EmptyTable();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Eof() && ds.Bof());
    EXPECT_TRUE(ErrorOf([&] { ds.AddFieldDef(QStringLiteral("M"), ftInteger); }).contains(u"open dataset"));
}

TEST(MemoryDataSet, DuplicateColumnNamesAreRejectedAndCaseDoesNotMatter)
{
    TMemoryDataSet ds;
    ds.AddFieldDef(QStringLiteral("Id"), ftInteger);
    EXPECT_TRUE(ErrorOf([&] { ds.AddFieldDef(QStringLiteral("ID"), ftInteger); }).contains(u"Duplicate field name 'ID'"));
}

TEST(FieldTypes, NamesAndCodesKeepTheClassicOrder)
{
    // The expression typing maps fields by these codes.
    EXPECT_EQ(int(ftString), 1);
    EXPECT_EQ(int(ftDate), 9);
    EXPECT_EQ(int(ftWideString), 24);
    EXPECT_EQ(int(ftLargeint), 25);
    EXPECT_EQ(int(ftSingle), 51);
    EXPECT_EQ(FieldTypeName(ftFMTBcd), u"ftFMTBcd"_qs);
    TFieldType t = ftUnknown;
    EXPECT_TRUE(FieldTypeFromName(QStringLiteral("largeint"), t));
    EXPECT_EQ(t, ftLargeint);
    EXPECT_TRUE(FieldTypeFromName(QStringLiteral("ftMemo"), t));
    EXPECT_EQ(t, ftMemo);
    EXPECT_FALSE(FieldTypeFromName(QStringLiteral("Number"), t));
}

TEST(FieldConvert, IsoTextsAndEdgeValues)
{
    struct Case {
        TFieldType Type;
        Variant In;
        bool Ok;
        double Expected; // for dates and numbers
    };
    const Case cases[] = {
        {ftDate, Variant(u"1899-12-30"), true, 0},
        {ftDate, Variant(u"1899-12-29"), true, -1},
        {ftDateTime, Variant(u"1899-12-29 06:00"), true, -1.25},
        {ftDateTime, Variant(u"2024-02-29T12:00:00Z"), true, EncodeDate(2024, 2, 29) + 0.5},
        {ftDate, Variant(u"2023-02-29"), false, 0},
        {ftDate, Variant(u"10:00"), false, 0},
        {ftTime, Variant(u"24:00"), false, 0},
        {ftTime, Variant(-1.25), true, 0.25},
        {ftInteger, Variant(2.0), true, 2},
        {ftInteger, Variant(2.5), false, 0},
        {ftByte, Variant(256), false, 0},
        {ftFloat, Variant(u"nan"), false, 0},
        {ftFloat, Variant(u" 1e3 "), true, 1000},
        {ftBoolean, Variant(u"yes"), false, 0},
    };
    for (const Case& c : cases) {
        Variant out;
        const bool ok = ConvertToFieldType(c.In, c.Type, out);
        EXPECT_EQ(ok, c.Ok) << FieldTypeName(c.Type).toStdString() << " " << c.In.ToString().toStdString();
        if (ok && c.Ok) {
            EXPECT_DOUBLE_EQ(out.ToDouble(), c.Expected) << c.In.ToString().toStdString();
        }
    }
}

} // namespace
