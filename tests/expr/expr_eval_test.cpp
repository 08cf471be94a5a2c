// Evaluation: operators, the function library (table-driven), the entry
// points ValueIsField and GetCalculatedValue, errors, and independence from
// the machine's locale where the locale does not apply.

#include "expr_test_util.h"

#include "foundation/values/random.h"

#include <QDate>
#include <cmath>
#include <numbers>

using namespace vorel;
using namespace vorel::test;

namespace {

class ExprEvalTest : public OrdersFixture {
protected:
    // The value's type name and text, "Integer:3", for compact expectations.
    QString Typed(const QString& text)
    {
        const Variant v = Eval(text);
        return Variant::TypeName(v.Type()) + u':' + v.ToString();
    }
};

TEST_F(ExprEvalTest, FunctionLibrary)
{
    // Rows run on the first record: Name "Alice", Qty 3, Price 2.5, Notes
    // "first note", ShipDate 31 Jan 2012; the second record has Nulls.
    struct Row {
        const char16_t* Text;
        const char16_t* Expected; // type name and text of the value
    };
    const Row rows[] = {
        {u"UPPER([Name])", u"String:ALICE"},
        {u"LOWER('ÄbC')", u"String:Äbc"}, // ASCII letters only
        {u"UPPER('straße')", u"String:STRAßE"},
        {u"SUBSTRING('abcdef', 2, 3)", u"String:bcd"},
        {u"SUBSTRING('abcdef', 5, 10)", u"String:ef"},
        {u"SUBSTRING('abc', 5, 1)", u"String:"},
        {u"SUBSTRING('abc', 2, NULL)", u"String:"},
        {u"SUBSTRING('abc', 0, 2)", u"String:ab"},
        {u"SUBSTRING(12345, 2, 2)", u"String:23"},
        {u"IIF([Qty] > 0, 'yes', 'no')", u"String:yes"},
        {u"IIF([Qty] > 5, 'yes', 'no')", u"String:no"},
        {u"IIF(1 = 0, 1 / 0, 5)", u"Integer:5"}, // only the chosen branch is evaluated
        {u"TRIM('  a b  ')", u"String:a b"},
        {u"TRIMLEFT('  a  ')", u"String:a  "},
        {u"TRIMRIGHT('  a  ')", u"String:  a"},
        {u"YEAR([ShipDate])", u"Integer:2012"},
        {u"MONTH([ShipDate])", u"Integer:1"},
        {u"DAY([ShipDate])", u"Integer:31"},
        {u"HOUR(0.75)", u"Integer:18"},
        {u"MINUTE(0.75 + 1 / 1440)", u"Integer:1"},
        {u"SECOND(0.5 + 30 / 86400)", u"Integer:30"},
        {u"STRTODATE('2/29/2012')", u"Date:2/29/2012"},
        {u"STRTODATE('2012-02-29')", u"Date:2/29/2012"},
        {u"DATE(40939.75)", u"Double:40939"},
        {u"TIME(40939.75)", u"Double:0.75"},
        {u"DATE([ShipDate])", u"Double:40939"},
        {u"SIN(0)", u"Double:0"},
        {u"COS(0)", u"Double:1"},
        {u"TAN(0)", u"Double:0"},
        {u"ARCTAN(1) * 4", u"Double:3.14159265358979"},
        {u"ARCSIN(1) * 2", u"Double:3.14159265358979"},
        {u"ARCCOS(-1)", u"Double:3.14159265358979"},
        {u"ARCCOS(0.5) * 3", u"Double:3.14159265358979"},
        {u"EXP(0)", u"Double:1"},
        {u"LN(EXP(2))", u"Double:2"},
        {u"LOG(1000)", u"Double:3"},
        {u"SQR(-3)", u"Double:9"},
        {u"SQRT(16)", u"Double:4"},
        {u"ABS(-2.5)", u"Double:2.5"},
        {u"FRAC(-2.75)", u"Double:-0.75"},
        {u"INT(-2.7)", u"Double:-2"},
        {u"ROUND(2.5)", u"Integer:2"},
        {u"ROUND(3.5)", u"Integer:4"},
        {u"ROUND(-2.5)", u"Integer:-2"},
        {u"ROUND(1E10)", u"Int64:10000000000"},
        {u"DIV(7, 2)", u"Integer:3"},
        {u"DIV(-7, 2)", u"Integer:-3"},
        {u"POWER(2, 10)", u"Double:1024"},
        {u"POWER(2, -1)", u"Double:0.5"},
        {u"POWER(0, 3)", u"Double:0"},
        {u"POWER(5, 0)", u"Double:1"},
        {u"POWER(0, 0)", u"Double:1"},
        {u"POWER(4, 0.5)", u"Double:2"},
        {u"POWER(-2, 3)", u"Double:-8"},
        {u"POWER(2, -2000)", u"Double:0"},
        {u"ORD('A')", u"Word:65"},
        {u"ORD('')", u"Word:0"},
        {u"CHR(65)", u"String:A"},
        {u"CHR(65.4)", u"String:A"},
        {u"STRTOINT('42')", u"Integer:42"},
        {u"STRTOINT(' -7 ')", u"Integer:-7"},
        {u"INTTOSTR(2.4)", u"String:2"},
        {u"INTTOSTR('x')", u"String:0"}, // the safe conversion
        {u"INTTOSTR([Id])", u"String:5000000000"},
        {u"INTTOSTR(-9007199254740993)", u"String:-9007199254740993"},
        {u"STRTOFLOAT('2.5')", u"Double:2.5"},
        {u"FLOATTOSTR(2.5)", u"String:2.5"},
        {u"FLOATTOSTR(1 / 3)", u"String:0.333333333333333"},
        {u"FLOATTOSTR(NULL)", u"String:0"},
        {u"FLOATTOSTR('x')", u"String:0"},
        {u"DATETOSTR([ShipDate])", u"String:1/31/2012"},
        {u"DATETOSTR(40939.5)", u"String:1/31/2012"},
        {u"SUM(1, 2, 3)", u"Integer:6"},
        {u"SUM([Qty], [Qty])", u"Integer:6"},
        {u"SUM('a', 'b')", u"String:ab"},
        {u"AVG(1, 2)", u"Double:1.5"},
        {u"COUNT([Name], [Qty], 1 / 0)", u"Integer:3"}, // arguments are not evaluated
        {u"COUNT(*)", u"Null:"},
        {u"MIN(3, 1, 2)", u"Integer:1"},
        {u"MAX(3, 1, 2)", u"Integer:3"},
        {u"MIN('b', 'a', 'c')", u"String:a"},
        {u"MAX([ShipDate], 40000)", u"Date:1/31/2012"},
        {u"LEFT('abcdef', 2)", u"String:ab"},
        {u"LEFT('abc', 9)", u"String:abc"},
        {u"LEFT('abc', -1)", u"String:"},
        {u"RIGHT([Name], 3)", u"String:ice"},
        {u"RIGHT('abc', 0)", u"String:"},
        {u"LENGTH([Name])", u"Integer:5"},
        {u"LENGTH('')", u"Integer:0"},
        {u"REPLACE('a-b-c', '-', '+')", u"String:a+b+c"},
        {u"REPLACE('aaa', 'aa', 'b')", u"String:ba"},
        {u"REPLACE('abc', '', 'x')", u"String:abc"},
        {u"POS('c', 'abcabc')", u"Integer:3"},
        {u"POS('x', 'abc')", u"Integer:0"},
        {u"POS('', 'abc')", u"Integer:0"},
        {u"FORMAT([Price], '@N @ND2 @NR0.01 ')", u"String:2.50"},
        {u"FORMAT(1234567, '@N @ND0 @NT, ')", u"String:1,234,567"},
        {u"FORMAT([ShipDate], '@D @DS ')", u"String:1/31/2012"},
        {u"FORMAT(NULL, '@N ')", u"String:"},
        {u"FORMAT('abc', '@C @U ')", u"String:ABC"},
        {u"FORMATFLOAT('#,##0.00', 1234.5)", u"String:1,234.50"},
        {u"FORMATFLOAT('0.#', [Price])", u"String:2.5"},
        {u"COALESCE(NULL, [Name], 1 / 0)", u"String:Alice"}, // stops at the first value
        {u"COALESCE(NULL, NULL)", u"Null:"},
        {u"-[Qty]", u"Integer:-3"},
        {u"-(1 + 2) * 2", u"Integer:-6"},
        {u"- [Price]", u"Double:-2.5"},
        {u"2 * -[Id]", u"Int64:-10000000000"},
        {u"[Qty] > 0 AND -1 < [Qty]", u"Boolean:True"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Typed(S(row.Text)), S(row.Expected)) << QString::fromUtf16(row.Text).toStdString();
}

TEST_F(ExprEvalTest, CurrentDateFunctions)
{
    EXPECT_EQ(Eval(S(u"YEAR(GETDATE())")).ToInt(), QDate::currentDate().year());
    const Variant today = Eval(S(u"DATE(GETDATE())"));
    EXPECT_EQ(today.Type(), varDouble) << "a float, not a date-time";
    EXPECT_NEAR(today.ToDouble(), std::floor(Now()), 1.0);
    EXPECT_EQ(Eval(S(u"GETDATE()")).Type(), varDate);
}

TEST_F(ExprEvalTest, RandomStaysInRange)
{
    RandomSeed(7);
    for (int i = 0; i < 200; ++i) {
        const int v = Eval(S(u"RANDOM(6)")).ToInt();
        EXPECT_GE(v, 0);
        EXPECT_LT(v, 6);
    }
    EXPECT_EQ(Eval(S(u"RANDOM(0)")).ToInt(), 0);
}

TEST_F(ExprEvalTest, OperatorsAndConditions)
{
    EXPECT_EQ(Typed(S(u"2 + 3 * 4")), S(u"Integer:14"));
    EXPECT_EQ(Typed(S(u"[Qty] * 2")), S(u"Integer:6"));
    EXPECT_EQ(Typed(S(u"[Price] * 2")), S(u"Double:5"));
    EXPECT_EQ(Typed(S(u"[Qty] * [Qty]")), S(u"Integer:9"));
    EXPECT_EQ(Typed(S(u"7 / 2")), S(u"Double:3.5"));
    EXPECT_EQ(Typed(S(u"[Name] + ' ' + [Last Name]")), S(u"String:Alice Smith"));
    EXPECT_EQ(Typed(S(u"[ShipDate] + 1")), S(u"Date:2/1/2012"));
    EXPECT_EQ(Typed(S(u"[ShipDate] - [ShipDate]")), S(u"Double:0"));
    EXPECT_EQ(Typed(S(u"[Qty] >= 3")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Qty] <> 3")), S(u"Boolean:False"));
    EXPECT_EQ(Typed(S(u"NOT ([Qty] = 3)")), S(u"Boolean:False"));
    EXPECT_EQ(Typed(S(u"([Qty] = 3) AND ([Price] < 3)")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"([Qty] = 4) OR ([Price] < 3)")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Flag] = True")), S(u"Boolean:True"));
    // Typed string constants compare as what they were read as.
    EXPECT_EQ(Typed(S(u"[ShipDate] = '1/31/2012'")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[ShipDate] < '2/1/2012'")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Qty] = '3'")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Qty] = '2.5'")), S(u"Boolean:False"));
    EXPECT_EQ(Typed(S(u"'1/31/2012' + 1")), S(u"Date:2/1/2012"));
    EXPECT_EQ(Typed(S(u"'2/1/2012' - [ShipDate]")), S(u"Double:1"));
}

TEST_F(ExprEvalTest, LikeAndIn)
{
    // First record: Name "Alice", Qty 3, Id 5000000000, ShipDate 31 Jan 2012,
    // Notes "first note"; the second has Notes and "Last Name" missing.
    struct Row {
        const char16_t* Text;
        bool First;
        bool Second;
    };
    const Row rows[] = {
        {u"[Name] LIKE 'A%'", true, false},
        {u"[Name] LIKE 'a%'", false, false}, // case counts, as with =
        {u"[Name] LIKE '%i_e'", true, false},
        {u"[Name] LIKE '_____'", true, false},
        {u"[Name] LIKE '%'", true, true},
        {u"[Name] LIKE 'Al'", false, false},
        {u"[Name] LIKE '%l%c%'", true, false},
        {u"NOT [Name] LIKE 'b%'", true, false},
        {u"[Notes] LIKE '%note'", true, false}, // a missing value matches no pattern
        {u"[Last Name] LIKE '%'", true, false},
        {u"[Qty] LIKE '3'", true, false}, // the pattern stays text beside a number
        {u"[Id] LIKE '5%0'", true, false},
        {u"[Qty] IN (1, 2, 3)", true, false},
        {u"[Qty] IN (0)", false, true},
        {u"[Name] IN ('bob', 'Alice')", true, true},
        {u"[Name] IN ('BOB')", false, false},
        {u"[Qty] IN ('3', 'x')", true, false}, // by the = rule: '3' is 3, 'x' is no number
        {u"[Id] IN (5000000000)", true, false},
        {u"[ShipDate] IN ('1/31/2012', '2012-02-01')", true, false},
        {u"[Last Name] IN ('Smith', NULL)", true, true}, // Null equals only Null
        {u"[Last Name] IN ('Smith')", true, false},
        {u"UPPER([Name]) IN ('ALICE', 'BOB') AND [Qty] IN (0, 3)", true, true},
    };
    for (const Row& row : rows) {
        Orders->First();
        EXPECT_EQ(Typed(S(row.Text)), row.First ? S(u"Boolean:True") : S(u"Boolean:False")) << S(row.Text).toStdString();
        Orders->Next();
        EXPECT_EQ(Typed(S(row.Text)), row.Second ? S(u"Boolean:True") : S(u"Boolean:False")) << S(row.Text).toStdString();
    }
    EXPECT_THROW(Eval(S(u"[Qty] IN (3, 1 / 0)")), EZeroDivide) << "every element is evaluated";
}

// Beyond 2^53 a double cannot tell neighbours apart; whole numbers stay integers.
TEST_F(ExprEvalTest, LargeIntegersStayExact)
{
    EXPECT_EQ(Typed(S(u"9007199254740993 + 1")), S(u"Int64:9007199254740994"));
    EXPECT_EQ(Typed(S(u"9007199254740993 = 9007199254740992")), S(u"Boolean:False"));
    EXPECT_EQ(Typed(S(u"9007199254740993 > 9007199254740992")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Id] * 1000000 + 1")), S(u"Int64:5000000000000001"));
    EXPECT_EQ(Typed(S(u"2147483647 + 1")), S(u"Int64:2147483648"));
    EXPECT_EQ(Typed(S(u"99999999999999999999")), S(u"Double:1E+20")) << "beyond 64 bits: a float";
    Vars[S(u"BIG")] = {ftLargeint, Variant(qint64(9007199254740993))};
    EXPECT_EQ(Typed(S(u"Big - 9007199254740992")), S(u"Int64:1"));
}

TEST_F(ExprEvalTest, IsoDateConstantsMeanTheSameEverywhere)
{
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::Japanese, QLocale::Japan)}) {
        SetFormatLocale(locale);
        SCOPED_TRACE(locale.name().toStdString());
        EXPECT_TRUE(Eval(S(u"[ShipDate] = '2012-01-31'")).ToBool());
        EXPECT_TRUE(Eval(S(u"[ShipDate] < '2012-01-31 00:00:01'")).ToBool());
        EXPECT_EQ(Eval(S(u"'2012-02-01' - [ShipDate]")).ToDouble(), 1.0);
        EXPECT_EQ(Eval(S(u"'2012-01-31 18:00:00' + 1")).ToDouble(), EncodeDate(2012, 2, 1) + 0.75);
        EXPECT_EQ(Eval(S(u"STRTODATE('2012-01-31') = [ShipDate]")).ToBool(), true);
    }
    EXPECT_EQ(ErrorOf(S(u"[ShipDate] = '2012-02-30'")), S(u"'2012-02-30' is not a valid date"));
    EXPECT_EQ(ErrorOf(S(u"[ShipDate] = '2012-01-31 24:00:00'")), S(u"'2012-01-31 24:00:00' is not a valid date"));
}

TEST_F(ExprEvalTest, StringChainsJoinLikeStepwiseAddition)
{
    EXPECT_EQ(Typed(S(u"'a' + 'b' + 'c'")), S(u"String:abc"));
    QString longChain = S(u"'0'");
    QString expected = S(u"0");
    for (int i = 1; i < 40; ++i) {
        longChain += QStringLiteral(" + '%1'").arg(i);
        expected += QString::number(i);
    }
    EXPECT_EQ(Eval(longChain).ToString(), expected);
    EXPECT_EQ(Typed(S(u"[Qty] + [Qty] + 1")), S(u"Integer:7"));
    Orders->Next(); // Nulls drop out of a sum
    EXPECT_EQ(Typed(S(u"[Last Name] + 'x' + [Last Name] + 'y' + [Name]")), S(u"String:xybob"));
    // A variable typed as text whose value is a number: the steps are the
    // variant's, so the number meets a text and the text must be a number.
    Vars[S(u"N")] = {ftString, Variant(5)};
    EXPECT_EQ(ErrorOf(S(u"N + 'x' + 'y'")), S(u"Could not convert variant of type (String) into type (Double)"));
    EXPECT_EQ(Typed(S(u"N + '1' + '2'")), S(u"Double:8")) << "5 + '1' is the number 6, and 6 + '2' is 8";
}

TEST_F(ExprEvalTest, BothSidesOfAndAreEvaluated)
{
    EXPECT_THROW(Eval(S(u"(1 = 0) AND (1 / 0 > 1)")), EZeroDivide);
    EXPECT_EQ(Typed(S(u"IIF(1 = 0, 1 / 0, 5)")), S(u"Integer:5"));
    EXPECT_THROW(Eval(S(u"IIF(1 = 1, 1 / 0, 5)")), EZeroDivide);
}

TEST_F(ExprEvalTest, NullFields)
{
    Orders->Next(); // the record with Nulls
    EXPECT_EQ(Typed(S(u"[Notes]")), S(u"Null:"));
    EXPECT_EQ(Typed(S(u"[Notes] IS NULL")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Name] IS NOT NULL")), S(u"Boolean:True"));
    EXPECT_EQ(Typed(S(u"[Last Name] = NULL")), S(u"Boolean:True"));
    // The strict text of Null is empty and its number 0, so a missing value
    // does not turn a whole expression into an error.
    EXPECT_EQ(Typed(S(u"UPPER([Last Name])")), S(u"String:"));
    EXPECT_EQ(Typed(S(u"TRIM([Last Name])")), S(u"String:"));
    EXPECT_EQ(Typed(S(u"DATETOSTR([ShipDate])")), S(u"String:"));
    EXPECT_EQ(Typed(S(u"YEAR([ShipDate])")), S(u"Integer:1899"));
    EXPECT_EQ(Typed(S(u"[Last Name] + 'x'")), S(u"String:x")) << "Null + x is x";
    EXPECT_EQ(Typed(S(u"SUM([Last Name], 'y')")), S(u"String:y"));
    EXPECT_EQ(Typed(S(u"MAX([ShipDate], [ShipDate])")), S(u"Null:"));
    EXPECT_EQ(Typed(S(u"SUBSTRING([Last Name], 1, 3)")), S(u"String:"));
}

TEST_F(ExprEvalTest, EvaluationErrors)
{
    struct Row {
        const char16_t* Text;
        const char16_t* Message;
    };
    const Row rows[] = {
        {u"STRTOINT('x')", u"'x' is not a valid integer value"},
        {u"STRTOFLOAT('x')", u"'x' is not a valid floating point value"},
        {u"STRTODATE('31.01.2012')", u"'31.01.2012' is not a valid date"},
        {u"1 / 0", u"Division by zero"},
        {u"DIV(1, 0)", u"Division by zero"},
        {u"[Name] + 1 > 2", u"Type mismatch in expression"},
        {u"[Name] * 2", u"Type mismatch in expression"},
        {u"SUBSTRING('abc')", u"List index out of bounds (2)"},
        {u"SUBSTRING('abc', 1)", u"List index out of bounds (2)"},
        {u"POWER(2)", u"List index out of bounds (1)"},
        {u"IIF(1 = 0, 2)", u"List index out of bounds (2)"},
        {u"LN(0)", u"Floating point division by zero"},
        {u"LN(-1)", u"Invalid floating point operation"},
        {u"SQRT(-1)", u"Invalid floating point operation"},
        {u"ARCSIN(2)", u"Invalid floating point operation"},
        {u"EXP(1000)", u"Floating point overflow"},
        {u"POWER(10, 400)", u"Floating point overflow"},
        {u"POWER(-8, 0.5)", u"Invalid floating point operation"},
        {u"POWER(0, -1)", u"Floating point division by zero"},
        {u"ROUND(1E300)", u"Could not convert variant of type (Double) into type (Int64)"},
        {u"YEAR(1E9)", u"Invalid argument to date decode"},
        {u"MAX('a', 1)", u"Could not convert variant of type (String) into type (Double)"},
        {u"IIF('maybe', 1, 2)", u"Could not convert variant of type (String) into type (Boolean)"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ErrorOf(S(row.Text)), S(row.Message)) << QString::fromUtf16(row.Text).toStdString();
}

TEST_F(ExprEvalTest, ValueIsField)
{
    EXPECT_TRUE(ValueIsField(Manager, S(u"Orders.Amount")));
    EXPECT_TRUE(ValueIsField(Manager, S(u"[Amount]")));
    EXPECT_TRUE(ValueIsField(Manager, S(u"(Amount)")));
    EXPECT_FALSE(ValueIsField(Manager, S(u"UPPER([Amount])")));
    EXPECT_FALSE(ValueIsField(Manager, S(u"[Amount] + 0")));
    EXPECT_FALSE(ValueIsField(Manager, QString()));
    Vars[S(u"AMOUNTVAR")] = {ftFloat, Variant(1.0)};
    EXPECT_FALSE(ValueIsField(Manager, S(u"AmountVar"), Variables()));
    EXPECT_THROW(ValueIsField(Manager, S(u"[Nope]")), EDatabaseError);

    // Whether the answer holds whatever the data and variables become: only
    // for expressions that are no single name.
    const struct {
        const char16_t* Text;
        bool Field;
        bool Settled;
    } rows[] = {
        {u"[Amount]", true, false}, {u"AmountVar", false, false}, {u"UPPER([Amount])", false, true},
        {u"[Amount] + 0", false, true}, {u"'text'", false, true}, {u"", false, false},
    };
    for (const auto& row : rows) {
        bool settled = !row.Settled;
        EXPECT_EQ(ValueIsField(Manager, S(row.Text), Variables(), settled), row.Field) << S(row.Text).toStdString();
        EXPECT_EQ(settled, row.Settled) << S(row.Text).toStdString();
    }
}

// --- running calculations -------------------------------------------------------

class CalculatedValueTest : public OrdersFixture {
protected:
    // Feeds the values through one running calculation as the report does:
    // the previous value takes the current one, then the current one is
    // recomputed; both are Null before the first step.
    QStringList Run(TCalcType kind, const QList<double>& values)
    {
        Vars[S(u"V")] = {ftFloat, Variant()};
        Variant previous = Variant::Null();
        Variant current = Variant::Null();
        TKVXCalculation::TRunning running;
        QStringList out;
        for (const double v : values) {
            Vars[S(u"V")].second = Variant(v);
            previous = current;
            current = GetCalculatedValue(Manager, S(u"V"), QString(), kind, previous, current, Variables(), &running);
            EXPECT_EQ(current.Type(), varString);
            const Variant& result = current;
            out << result.ToString();
        }
        return out;
    }
};

TEST_F(CalculatedValueTest, Kinds)
{
    EXPECT_EQ(Run(ctSum, {10, 20, 30}), QStringList({"10", "30", "60"}));
    EXPECT_EQ(Run(ctAverage, {10, 20, 30}), QStringList({"10", "15", "20"})) << "the mean of every value";
    EXPECT_EQ(Run(ctLowest, {5, 3, 4}), QStringList({"5", "3", "3"}));
    EXPECT_EQ(Run(ctHighest, {-5, -3, -4}), QStringList({"-5", "-3", "-3"}));
    EXPECT_EQ(Run(ctCount, {7, 7, 7}), QStringList({"1", "2", "3"}));
    EXPECT_EQ(Run(ctNothing, {1.5, 2}), QStringList({"1.5", "2"}));
}

// A footer's previous value is the one it printed last, which changes only
// when it paints: whether an aggregate has begun is its running value's to
// say. A Null value leaves an average, lowest or highest as it is.
TEST_F(CalculatedValueTest, TheRunningValueSaysWhetherTheAggregateBegan)
{
    Vars[S(u"V")] = {ftFloat, Variant(4.0)};
    const Variant printed(S(u"1"));
    for (const TCalcType kind : {ctLowest, ctHighest, ctAverage})
        EXPECT_EQ(GetCalculatedValue(Manager, S(u"V"), QString(), kind, printed, Variant::Null(), Variables())
                      .ToString(),
                  S(u"4"))
            << int(kind);
    Vars[S(u"V")] = {ftFloat, Variant::Null()};
    TKVXCalculation::TRunning running{2, 6.0};
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"V"), QString(), ctAverage, printed, Variant(S(u"3")), Variables(),
                                 &running)
                  .ToString(),
              S(u"3"));
    EXPECT_EQ(running.Count, 2);
}

TEST_F(CalculatedValueTest, TextAndFormat)
{
    const Variant none = Variant::Null();
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[Name]"), QString(), ctNothing, none, none).ToString(), S(u"Alice"));
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[Notes]"), QString(), ctNothing, none, none).ToString(),
              S(u"first note"));
    // With a format, a date becomes its day number.
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[ShipDate]"), S(u"@D "), ctNothing, none, none).ToString(),
              S(u"40939"));
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[ShipDate]"), QString(), ctNothing, none, none).ToString(),
              S(u"1/31/2012"));
    // Without a format a date's text is no number: it sums as 0.
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[ShipDate]"), QString(), ctSum, none, Variant(S(u"5"))).ToString(),
              S(u"5"));
    Orders->Next();
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[Notes]"), QString(), ctNothing, none, Variant(S(u"old"))).Type(),
              varString);
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"[Notes]"), QString(), ctNothing, none, Variant(S(u"old"))).ToString(),
              QString()) << "Null gives the empty text";
    EXPECT_EQ(GetCalculatedValue(Manager, QString(), QString(), ctNothing, none, Variant(S(u"old"))).ToString(),
              QString());
}

// A record whose value cannot be computed leaves a running value as it was
// and, without a calculation, prints nothing (the previous record's value
// would be a wrong one); the caller learns why.
TEST_F(CalculatedValueTest, EvaluationErrorsKeepTheRunningValueAndPrintNothingElse)
{
    const Variant previous(S(u"10"));
    const Variant current(S(u"30"));
    QString failure;
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"STRTOINT('x')"), QString(), ctSum, previous, current, {}, nullptr,
                                 &failure)
                  .ToString(),
              S(u"30"));
    EXPECT_FALSE(failure.isEmpty());
    failure.clear();
    EXPECT_EQ(GetCalculatedValue(Manager, S(u"1 / 0"), QString(), ctNothing, previous, current, {}, nullptr,
                                 &failure)
                  .ToString(),
              QString());
    EXPECT_FALSE(failure.isEmpty());
    // Parse errors reach the caller.
    EXPECT_THROW(GetCalculatedValue(Manager, S(u"1 +"), QString(), ctSum, previous, current), EDatabaseError);
    EXPECT_THROW(GetCalculatedValue(Manager, S(u"[Nope]"), QString(), ctSum, previous, current), EDatabaseError);
}

// --- locale -------------------------------------------------------------------------

TEST_F(ExprEvalTest, LiteralsAndTypedConstantsIgnoreTheLocale)
{
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France),
                                  QLocale(QLocale::Russian, QLocale::Russia)}) {
        SetFormatLocale(locale);
        SCOPED_TRACE(locale.name().toStdString());
        EXPECT_EQ(Eval(S(u"2.5 * 2")).ToDouble(), 5.0);
        EXPECT_EQ(Eval(S(u"1.5E1")).ToDouble(), 15.0);
        EXPECT_TRUE(Eval(S(u"[Price] > '2.4'")).ToBool());
        EXPECT_TRUE(Eval(S(u"[Price] = 2.5")).ToBool());
        EXPECT_EQ(Eval(S(u"ROUND(2.5)")).ToInt(), 2);
        EXPECT_EQ(Eval(S(u"INTTOSTR(1234567)")).ToString(), S(u"1234567"));
        EXPECT_EQ(Eval(S(u"UPPER('abc')")).ToString(), S(u"ABC"));
        EXPECT_EQ(Eval(S(u"YEAR([ShipDate])")).ToInt(), 2012);
        EXPECT_EQ(Eval(S(u"STRTOINT('12')")).ToInt(), 12);
        EXPECT_TRUE(Eval(S(u"True")).ToBool());
    }
}

TEST_F(ExprEvalTest, LocaleAppliesWhereDocumented)
{
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Eval(S(u"FLOATTOSTR(2.5)")).ToString(), S(u"2,5"));
    EXPECT_EQ(Eval(S(u"STRTOFLOAT('2,5')")).ToDouble(), 2.5);
    EXPECT_EQ(Eval(S(u"DATETOSTR([ShipDate])")).ToString(), S(u"31.01.2012"));
    EXPECT_EQ(Eval(S(u"STRTODATE('31.01.2012') = [ShipDate]")).ToBool(), true);
}

} // namespace
