// The variant rules the expression language relies on: conversions between
// strings and numbers, widening integer arithmetic, date-time arithmetic, and
// the Null rules Vorel fixes (documented in docs/ARCHITECTURE.md).

#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"
#include "foundation/values/variant.h"

#include "support/locale_fixture.h"

#include <gtest/gtest.h>
#include <limits>

using namespace vorel;

namespace {

using VariantTest = vorel::testing::EnglishUsLocaleTest;

TEST_F(VariantTest, StringMeetsNumberConvertsToNumber)
{
    EXPECT_EQ((Variant(u"2.5") + Variant(1)).ToDouble(), 3.5);
    EXPECT_EQ((Variant(3) * Variant(u"4")).ToDouble(), 12.0);
    EXPECT_TRUE(Variant(u"10").Equals(Variant(10)));
    EXPECT_LT(Variant(u"9").Compare(Variant(10)), 0) << "numeric, not textual, comparison";
    // Two strings concatenate; they compare as texts.
    EXPECT_EQ((Variant(u"9") + Variant(u"1")).ToString(), u"91");
    EXPECT_GT(Variant(u"9").Compare(Variant(u"10")), 0);
}

TEST_F(VariantTest, TextThatIsNoNumberRaisesInArithmeticButIsUnequal)
{
    EXPECT_THROW(Variant(u"abc") + Variant(1), EVariantError);
    EXPECT_THROW(Variant(u"abc").Compare(Variant(1)), EVariantError);
    EXPECT_FALSE(Variant(u"abc").Equals(Variant(1)));
    try {
        (void)(Variant(u"abc") - Variant(1));
        FAIL();
    } catch (const EVariantError& e) {
        EXPECT_EQ(e.Message(), u"Could not convert variant of type (String) into type (Double)");
    }
}

TEST_F(VariantTest, IntegerArithmeticWidensInsteadOfOverflowing)
{
    const Variant big(std::numeric_limits<int>::max());
    const Variant sum = big + Variant(1);
    EXPECT_EQ(sum.Type(), varInt64);
    EXPECT_EQ(sum.ToInt64(), qint64(std::numeric_limits<int>::max()) + 1);
    EXPECT_EQ((Variant(2) + Variant(3)).Type(), varInteger) << "small results stay 32-bit";

    const Variant huge(std::numeric_limits<qint64>::max());
    const Variant wider = huge * Variant(2);
    EXPECT_EQ(wider.Type(), varDouble);
    EXPECT_DOUBLE_EQ(wider.ToDouble(), 2.0 * 9223372036854775807.0);
    EXPECT_EQ(Variant::IntDiv(Variant(qint64(std::numeric_limits<qint64>::min())), Variant(-1)).Type(), varDouble);
}

TEST_F(VariantTest, DivisionKinds)
{
    EXPECT_EQ((Variant(7) / Variant(2)).Type(), varDouble);
    EXPECT_DOUBLE_EQ((Variant(7) / Variant(2)).ToDouble(), 3.5);
    EXPECT_EQ(Variant::IntDiv(Variant(7), Variant(2)).ToInt64(), 3);
    EXPECT_EQ(Variant::IntDiv(Variant(-7), Variant(2)).ToInt64(), -3) << "truncates toward zero";
    EXPECT_EQ(Variant::IntDiv(Variant(7.5), Variant(2)).ToInt64(), 4) << "7.5 rounds half to even first";
    EXPECT_THROW(Variant(1) / Variant(0), EZeroDivide);
    EXPECT_THROW(Variant::IntDiv(Variant(1), Variant(0)), EZeroDivide);
    EXPECT_THROW(Variant(1.0) / Variant(u"0"), EZeroDivide);
}

TEST_F(VariantTest, DateTimeArithmetic)
{
    const Variant day = Variant::FromDate(25978.5); // 14 Feb 1971 noon
    EXPECT_EQ((day + Variant(1)).Type(), varDate);
    EXPECT_DOUBLE_EQ((day + Variant(1)).ToDouble(), 25979.5);
    EXPECT_EQ((Variant(1) + day).Type(), varDate);
    EXPECT_EQ((day - Variant(0.5)).Type(), varDate);
    const Variant diff = day - Variant::FromDate(25970.0);
    EXPECT_EQ(diff.Type(), varDouble) << "the difference of two dates is a number of days";
    EXPECT_DOUBLE_EQ(diff.ToDouble(), 8.5);
    EXPECT_LT(Variant::FromDate(1).Compare(Variant::FromDate(2)), 0);
}

TEST_F(VariantTest, NullRules)
{
    const Variant null = Variant::Null();
    // Addition treats Null as absent, so a sum starting from Null adds up.
    EXPECT_EQ((null + Variant(5)).ToInt64(), 5);
    EXPECT_EQ((Variant(5) + null).ToInt64(), 5);
    EXPECT_TRUE((null + null).IsNull());
    // Every other operator propagates Null.
    EXPECT_TRUE((null - Variant(1)).IsNull());
    EXPECT_TRUE((Variant(2) * null).IsNull());
    EXPECT_TRUE((null / Variant(0)).IsNull()) << "no division error for a Null operand";
    EXPECT_TRUE(Variant::IntDiv(null, Variant(3)).IsNull());
    // Null equals only Null and orders first.
    EXPECT_TRUE(null.Equals(Variant::Null()));
    EXPECT_FALSE(null.Equals(Variant(0)));
    EXPECT_FALSE(null.Equals(Variant(QString())));
    EXPECT_LT(null.Compare(Variant(-1000)), 0);
    EXPECT_GT(Variant(u"").Compare(null), 0);
    // Text conversion gives "", the strict conversions raise.
    EXPECT_EQ(null.ToString(), u"");
    EXPECT_THROW(null.ToStrictString(), EVariantError);
    EXPECT_THROW(null.ToDouble(), EVariantError);
}

TEST_F(VariantTest, EmptyBehavesAsZeroOrEmptyText)
{
    const Variant empty{};
    EXPECT_EQ((empty + Variant(4)).ToInt64(), 4);
    EXPECT_EQ((empty + Variant(u"x")).ToString(), u"x");
    EXPECT_TRUE(empty.Equals(Variant(0)));
    EXPECT_EQ(empty.Compare(Variant(QString())), 0);
    EXPECT_EQ(empty.ToString(), u"");
    EXPECT_FALSE(empty.ToBool());
}

TEST_F(VariantTest, TextOfValues)
{
    EXPECT_EQ(Variant(true).ToString(), u"True");
    EXPECT_EQ(Variant(qint64(-12345678901LL)).ToString(), u"-12345678901");
    EXPECT_EQ(Variant(2.5).ToString(), u"2.5");
    EXPECT_EQ(Variant(0.1 + 0.2).ToString(), u"0.3") << "15 significant digits";
    EXPECT_EQ(Variant::FromSingle(0.1f).ToString(), u"0.1") << "a single prints its own precision";
    EXPECT_EQ(Variant::FromCurrency(12.3456).ToString(), u"12.3456");
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Variant(2.5).ToString(), u"2,5") << "the locale's decimal separator";
    EXPECT_DOUBLE_EQ(Variant(u"2,5").ToDouble(), 2.5);
}

TEST_F(VariantTest, StrictConversions)
{
    EXPECT_EQ(Variant(2.5).ToInt64(), 2) << "half to even";
    EXPECT_EQ(Variant(3.5).ToInt64(), 4);
    EXPECT_EQ(Variant(u" 42 ").ToInt64(), 42);
    EXPECT_EQ(Variant::FromCurrency(2.5).ToInt64(), 2);
    EXPECT_EQ(Variant::FromCurrency(-3.5).ToInt64(), -4);
    EXPECT_THROW(Variant(qint64(1) << 40).ToInt(), EVariantError);
    EXPECT_THROW(Variant(1e300).ToInt64(), EVariantError);
    EXPECT_TRUE(Variant(u"true").ToBool());
    EXPECT_FALSE(Variant(u"0").ToBool());
    EXPECT_THROW(Variant(u"maybe").ToBool(), EVariantError);
    EXPECT_EQ(Variant(true).ToInt64(), -1) << "the classic variant true";
}

TEST_F(VariantTest, CurrencyStaysExact)
{
    Variant total = Variant::FromCurrency(0);
    for (int i = 0; i < 10; ++i)
        total = total + Variant::FromCurrency(0.1);
    EXPECT_EQ(total.Type(), varCurrency);
    EXPECT_EQ(total.CurrencyRaw(), 10000);
    EXPECT_EQ((Variant::FromCurrency(1.5) * Variant::FromCurrency(1.5)).CurrencyRaw(), 22500);
    EXPECT_EQ((Variant::FromCurrency(1) + Variant(0.5)).Type(), varDouble);
}

TEST_F(VariantTest, BooleansOrderFalseBeforeTrue)
{
    EXPECT_LT(Variant(false).Compare(Variant(true)), 0);
    EXPECT_TRUE(Variant(true).Equals(Variant(true)));
}

TEST_F(VariantTest, IdenticalDistinguishesTypes)
{
    EXPECT_TRUE(Variant(u"1").Equals(Variant(1)));
    EXPECT_FALSE(Variant(u"1").Identical(Variant(1)));
    EXPECT_TRUE(Variant::Null().Identical(Variant::Null()));
}

TEST_F(VariantTest, QtValuesRoundTrip)
{
    EXPECT_TRUE(Variant::FromQVariant(QVariant()).IsNull());
    EXPECT_TRUE(Variant::FromQVariant(QVariant(QMetaType(QMetaType::Int))).IsNull()) << "SQL NULL";
    EXPECT_EQ(Variant::FromQVariant(QVariant(qlonglong(5000000000LL))).Type(), varInt64);
    const Variant date = Variant::FromQVariant(QVariant(QDate(1971, 2, 14)));
    EXPECT_EQ(date.Type(), varDate);
    EXPECT_DOUBLE_EQ(date.ToDouble(), 25978.0);
    EXPECT_EQ(date.ToQVariant().toDateTime().date(), QDate(1971, 2, 14));
}

} // namespace
