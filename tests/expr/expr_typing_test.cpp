// Typing of calls, arithmetic and comparisons, and the tree check, with the
// 64-bit integer fields that the classic typing wrongly rejected.

#include "expr_test_util.h"

using namespace vorel;
using namespace vorel::test;

namespace {

class ExprTypingTest : public OrdersFixture {
protected:
    // "" when the text parses, else the message.
    QString Check(const QString& text)
    {
        try {
            TExprParser parser(Manager, text, Variables());
        } catch (const EKVXError& e) {
            return e.Message();
        }
        return {};
    }
    int TypeOf(const QString& text)
    {
        TExprParser parser(Manager, text, Variables());
        return parser.Root()->FDataType;
    }
};

constexpr const char16_t* kMismatch = u"Type mismatch in expression";

TEST_F(ExprTypingTest, ResultTypesOfCalls)
{
    struct Row {
        const char16_t* Text;
        int Type;
    };
    const Row rows[] = {
        {u"SUM(1, 2)", edtFloat},          {u"AVG([Qty])", edtFloat},
        {u"MIN('a', 'b')", edtString},     {u"MAX([ShipDate], 1)", edtDate},
        {u"COUNT([Qty])", edtInteger},     {u"COUNT(*)", edtInteger},
        {u"YEAR(GETDATE())", edtInteger},  {u"ROUND(2.5)", edtInteger},
        {u"DIV(7, 2)", edtInteger},        {u"INT(2.5)", edtInteger},
        {u"GETDATE()", edtDateTime},       {u"STRTODATE('1/2/2012')", edtDate},
        {u"DATE(GETDATE())", edtDate},     {u"TIME(GETDATE())", edtTime},
        {u"UPPER('a')", edtString},        {u"CHR(65)", edtString},
        {u"DATETOSTR(GETDATE())", edtString}, {u"ORD('A')", edtFloat},
        {u"SIN(1)", edtFloat},             {u"POWER(2, 3)", edtFloat},
        {u"IIF(1 = 1, 'a', 2)", edtString}, {u"IIF(1 = 1, 2, 'a')", edtFloat},
        {u"[Qty] = 1", edtBoolean},        {u"[Price] * 2", edtFloat},
        {u"'x' + 'y'", edtString},         {u"[ShipDate] + 1", edtDateTime},
        {u"[ShipDate] - 1", edtDate},      {u"[ShipDate] - [ShipDate]", edtFloat},
        {u"LEFT('a', 1)", edtString},      {u"RIGHT('a', 1)", edtString},
        {u"REPLACE('a', 'a', 'b')", edtString}, {u"FORMAT(1, '@N ')", edtString},
        {u"FORMATFLOAT('0', 1)", edtString}, {u"LENGTH('a')", edtInteger},
        {u"POS('a', 'b')", edtInteger},    {u"COALESCE(NULL, [ShipDate])", edtDate},
        {u"-[Id]", edtLargeint},           {u"-[Qty] * 2", edtFloat},
        {u"[Name] LIKE 'A%'", edtBoolean}, {u"[Qty] IN (1)", edtBoolean},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TypeOf(S(row.Text)), row.Type) << QString::fromUtf16(row.Text).toStdString();
}

TEST_F(ExprTypingTest, CallsWithoutArguments)
{
    EXPECT_EQ(Check(S(u"GETDATE()")), QString());
    EXPECT_EQ(Check(S(u"COUNT(*)")), QString());
    EXPECT_EQ(Check(S(u"UPPER()")), S(kMismatch));
    EXPECT_EQ(Check(S(u"SUM()")), S(kMismatch));
    // IIF reads its second argument's type while parsing.
    EXPECT_EQ(Check(S(u"IIF(1 = 1)")), S(u"List index out of bounds (1)"));
    // Surplus arguments are ignored.
    EXPECT_EQ(Eval(S(u"UPPER('a', 'b', 'c')")).ToString(), S(u"A"));
}

TEST_F(ExprTypingTest, Arithmetic)
{
    struct Row {
        const char16_t* Text;
        const char16_t* Error; // "" when the text parses
    };
    const Row rows[] = {
        {u"1 + 'abc'", kMismatch}, // a number before a string
        {u"'x' - 'y'", kMismatch},
        {u"'x' * 'y'", kMismatch},
        {u"True + 1", kMismatch},
        {u"[Flag] * 2", kMismatch},
        {u"NULL + 1", kMismatch},
        {u"[ShipDate] + [ShipDate]", kMismatch},
        {u"1 + [ShipDate]", kMismatch},
        {u"[Name] + 1", kMismatch}, // a string field is no constant
        {u"'x' + 'y'", u""},
        {u"[Amount] * 2 > 10", u""},
        {u"SIN([Price]) + 1", u""},
        {u"ARCCOS([Price]) + 1", u""},
        {u"[ShortQty] * [Qty] / [Price]", u""},
        // A string constant before a number is read as a date-time.
        {u"'1/31/2012' + 1", u""},
        {u"'abc' + 1", u"'abc' is not a valid date and time"},
        // A string minus a date reads the string as that date.
        {u"'1/31/2012' - [ShipDate]", u""},
        {u"'2012-01-31' - [ShipDate]", u""}, // ISO dates are read on every machine
        {u"'31.01.2012' - [ShipDate]", u"'31.01.2012' is not a valid date"},
        {u"-[Name]", kMismatch},
        {u"-[ShipDate]", kMismatch},
        {u"-'5'", kMismatch},
        {u"-[Qty] + -[Price]", u""},
        {u"COALESCE([Qty], 1) + 1", u""},
        {u"COALESCE()", kMismatch},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Check(S(row.Text)), S(row.Error)) << QString::fromUtf16(row.Text).toStdString();
}

TEST_F(ExprTypingTest, ComparisonsGiveConstantsTheFieldsType)
{
    struct Row {
        const char16_t* Text;
        const char16_t* Error;
    };
    const Row rows[] = {
        {u"[Notes] = 'a'", kMismatch}, // memo
        {u"[Notes] <> [Name]", kMismatch},
        {u"[Bytes] = 'ab'", kMismatch},
        {u"'a' = [Notes]", kMismatch},
        {u"[Notes] LIKE 'A%'", u""},
        {u"[Name] LIKE [Notes]", u""}, // memos match as text
        {u"[Bytes] LIKE 'ab'", kMismatch},
        {u"[Qty] LIKE '1%'", u""}, // the pattern stays text
        {u"[ShipDate] LIKE '%2012'", u""},
        {u"[Notes] IS NULL", u""},
        {u"[ShortQty] = 300", u""},
        {u"[ShortQty] = 40000", u"Constant out of range"},
        {u"-40000 < [ShortQty]", u"Constant out of range"},
        {u"[Qty] = 3000000000", u"Could not convert variant of type (Int64) into type (Integer)"},
        {u"[Qty] > '5'", u""},
        {u"[Qty] > 'five'", u"'five' is not a valid floating point value"},
        {u"[Price] > '2.5'", u""},
        {u"[Flag] = True", u""},
        {u"[Flag] = 'maybe'", u"Could not convert variant of type (String) into type (Boolean)"},
        {u"[ShipDate] > '1/31/2012'", u""},
        {u"[ShipDate] > '31.01.2012'", u"'31.01.2012' is not a valid date"},
        {u"[ShipDate] IN ('1/31/2012', 'soon')", u"'soon' is not a valid date"},
        {u"[Qty] IN (1, 'soon')", u""}, // list elements keep their own type
        {u"[Amount] = '10.25'", u""},
        // Types the typing does not know as numbers: 16-bit unsigned.
        {u"[WordQty] = 5", u"Constant is not correct type 5"},
        {u"[WordQty] * 2", kMismatch},
        {u"[Name] = NULL", u""},
        {u"NULL <> [Name]", u""},
        {u"[Name] LIKE (NULL)", u"NULL only allowed with '=' and '<>'"},
        {u"[Name] LIKE NULL", u"NULL only allowed with '=' and '<>'"},
        {u"IIF([Qty] > 0, [Qty], NULL)", u""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Check(S(row.Text)), S(row.Error)) << QString::fromUtf16(row.Text).toStdString();
}

TEST_F(ExprTypingTest, DateStringsFollowTheLocale)
{
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Check(S(u"[ShipDate] > '31.01.2012'")), QString());
    EXPECT_EQ(Eval(S(u"[ShipDate] >= '31.01.2012'")).ToBool(), true);
    EXPECT_EQ(Check(S(u"[ShipDate] > '1/31/2012'")), S(u"'1/31/2012' is not a valid date"));
}

TEST_F(ExprTypingTest, CalculatedFieldsCannotBeUsed)
{
    EXPECT_EQ(Check(S(u"[Calc] + 1")), S(u"Field 'Calc' cannot be used in an expression"));
    EXPECT_EQ(Check(S(u"UPPER(IIF([Qty] > 0, [Calc], 1))")), S(u"Field 'Calc' cannot be used in an expression"));
    EXPECT_EQ(Eval(S(u"[Internal] + 1")).ToDouble(), 9.0) << "internal calculated fields are fine";
}

// The classic typing treated 64-bit integer fields as "other", so [Id] > 100
// failed with "Constant is not correct type" and [Id] * 2 with a type
// mismatch. SQL sources make every integer column 64 bits wide.
TEST_F(ExprTypingTest, LargeIntFieldsAreNumeric)
{
    EXPECT_EQ(TypeOf(S(u"[Id]")), edtLargeint);
    EXPECT_EQ(Check(S(u"[Id] > 100")), QString());
    EXPECT_TRUE(Eval(S(u"[Id] > 100")).ToBool());
    EXPECT_EQ(Eval(S(u"[Id] * 2")).ToInt64(), qint64(10000000000));
    EXPECT_EQ(Eval(S(u"[Id] + [Qty] - 1")).ToInt64(), qint64(5000000002));
    EXPECT_TRUE(Eval(S(u"[Id] = 5000000000")).ToBool());
    EXPECT_TRUE(Eval(S(u"[Id] = '5000000000'")).ToBool());
    EXPECT_EQ(Check(S(u"[Id] = 'many'")), S(u"'many' is not a valid floating point value"));
    EXPECT_EQ(Eval(S(u"IIF([Id] > 4000000000, 'big', 'small')")).ToString(), S(u"big"));
}

TEST_F(ExprTypingTest, VariablesAreTypedByTheirFieldType)
{
    Vars[S(u"LIMIT")] = {ftLargeint, Variant(qint64(6000000000))};
    EXPECT_TRUE(Eval(S(u"[Id] < Limit")).ToBool());
    Vars[S(u"WHEN")] = {ftDateTime, Variant::FromDate(EncodeDate(2012, 2, 1))};
    EXPECT_TRUE(Eval(S(u"[ShipDate] < When")).ToBool());
    EXPECT_EQ(TypeOf(S(u"When + 1")), edtDateTime);
    // A variable typed as a field type the check rejects.
    Vars[S(u"BLOBBY")] = {ftBlob, Variant(S(u"x"))};
    EXPECT_EQ(Check(S(u"Blobby")), S(u"Constant is not correct type x"));
    Vars[S(u"UNTYPED")] = {ftUnknown, Variant(1)};
    EXPECT_EQ(Check(S(u"Untyped")), S(u"Constant is not correct type 1"));
    // Comparing with a field gives the variable the field's type.
    Vars[S(u"SHORTLIMIT")] = {ftString, Variant(S(u"99999"))};
    EXPECT_EQ(Check(S(u"[ShortQty] < ShortLimit")), S(u"Constant out of range"));
}

} // namespace
