#include "foundation/locale/format_settings.h"
#include "foundation/locale/value_format.h"
#include "foundation/values/variant.h"

#include "support/locale_fixture.h"

#include <gtest/gtest.h>

using namespace vorel;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

QString S(const char16_t* text)
{
    return QString::fromUtf16(text);
}

struct Case {
    const char16_t* Descriptor;
    const char16_t* Value;
    int Width;
    const char16_t* Expected;
};

void ExpectRendered(const Case& c)
{
    SCOPED_TRACE("descriptor [" + S(c.Descriptor).toStdString() + "] value [" + S(c.Value).toStdString() + "]");
    EXPECT_EQ(GetTextByFormat(S(c.Value), S(c.Descriptor), c.Width), S(c.Expected));
}

using ValueFormatTest = vorel::testing::EnglishUsLocaleTest;

TEST_F(ValueFormatTest, CharacterFormats)
{
    const Case cases[] = {
        {u"@C @P ", u"teSt saMple", 0, u"Test Sample"},
        {u"@C @P ", u"  two  blanks", 0, u"  Two  Blanks"},
        {u"@C @U @T ", u"  abc ", 0, u"ABC"},
        {u"@C @L ", u"ÄBC Straße", 0, u"äbc straße"},
        {u"@C @U @L ", u"aBc", 0, u"ABC"}, // upper wins
        {u"@C @L @P ", u"aBc dEf", 0, u"abc def"},
        {u"@C @T ", u"\t x \n", 0, u"x"},
        {u"@C ", u" as is ", 0, u" as is "},
        {u"@C @M!\\(999\\)000-0000;0;_", u"5551234567", 0, u"(555)123-4567"},
        {u"@C @U @M>LL-00;0", u"ab12", 0, u"AB-12"}, // case first, then mask
    };
    for (const Case& c : cases)
        ExpectRendered(c);
}

TEST_F(ValueFormatTest, ProperIsLocaleAware)
{
    SetFormatLocale(QLocale(QLocale::Turkish, QLocale::Turkey));
    EXPECT_EQ(Proper(QStringLiteral("istanbul IZMIR")), u"İstanbul Izmır");
}

TEST_F(ValueFormatTest, NumberFormats)
{
    const Case cases[] = {
        {u"@N @ND2 @NN1 @NS. @NT, @NR0.01 ", u"-19710214", 0, u"-19,710,214.00"},
        {u"@N @ND2 @NN1 @NS. @NT, @NR1000 ", u"-19710214", 0, u"-19,710,000.00"},
        {u"@N @ND2 @NS. @NR1 ", u"3.14159", 0, u"3.00"}, // the dialog's default step
        {u"@N @ND2 @NS. @NR0.01 ", u"3.14159", 0, u"3.14"},
        {u"@N @ND2 @NS, @NT. @NR0.01 ", u"1234.5", 0, u"1.234,50"},
        {u"@N @NB ", u"0", 0, u""},
        {u"@N @NB ", u"5", 0, u"5.00"},
        {u"@N @NB ", u"", 0, u""}, // blank text counts as 0
        {u"@N ", u"1234567.891", 0, u"1,234,567.89"},
        {u"@N ", u"abc", 0, u"0.00"}, // unparsable text renders as 0
        {u"@N @CT ", u"-1234.5", 0, u"($1,234.50)"},
        {u"@N @ND0 @NS. @NR1 @NL ", u"-42", 6, u"-000042"},
        {u"@N @ND0 @NS. @NR1 @NL ", u"42", 6, u"000042"},
        {u"@N @ND0 @NS. @NR1 @NL ", u"1234567", 3, u"1234567"}, // never shortened
        {u"@N @ND0 @NS. @NR1 @NL ", u"42", 0, u"42"},
        {u"@N @ND0 @NS. @NR1 @CT @CS$ @CP3 ", u"5", 0, u"5 $"},
        {u"@N @ND0 @NS. @NR1 @CT @CS$ @CP0 ", u"5", 0, u"$5"},
        {u"@N @ND0 @NS. @NR1 @CT @CS€ @CP1 ", u"5", 0, u"5€"},
        {u"@N @ND0 @NS. @NR1 @CT @CSEUR @CP2 ", u"5", 0, u"EUR 5"},
        {u"@N @ND0 @NS. @NR1 @CT @CS$ @CP7 ", u"5", 0, u"5"},  // no sign
        {u"@N @ND0 @NS. @NR1 @CT ", u"5", 0, u"$5"},            // locale's sign and place
        {u"@N @ND2 @NS. @NR0.01 @NS ", u"12345", 0, u"1.23E+4"}, // scientific
        {u"@N @ND2 @NR0.01 @NS ", u"12345", 0, u"1.23E+4"}, // flag only: the locale's separator stays
        {u"@N @ND2 @NS. @NR2.5 ", u"6.3", 0, u"7.50"},      // a step that is not a power of ten
        {u"@N @ND0 @NS. @NR1 ", u"2.5", 0, u"2"},           // the step rounds halves to even
        {u"@N @ND0 @NS. @NR1 ", u"3.5", 0, u"4"},
        {u"@N @ND1 @NS. @NR0.01 ", u"0.25", 0, u"0.3"},     // the pattern rounds halves away
        {u"@N @NDx @NS. @NR0.001 ", u"1.23456", 0, u"1.24"}, // default 2 decimals; rounded twice
        {u"@N @NR0.1 ", u"1.26", 0, u"1.30"},               // decimals default to the locale's
    };
    for (const Case& c : cases)
        ExpectRendered(c);
}

TEST_F(ValueFormatTest, NumberValueUsesTheLocaleSeparator)
{
    // The value text comes from GetValueStr in the locale's notation.
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GetTextByFormat(QStringLiteral("1234,5"), QStringLiteral("@N "), 0), u"1.234,50");
    EXPECT_EQ(GetTextByFormat(QStringLiteral("1234,5"), QStringLiteral("@N @ND1 @NS. @NR0.1 "), 0), u"1234.5");
    EXPECT_EQ(GetTextByFormat(QStringLiteral("1234,5"), QStringLiteral("@N @CT "), 0), u"1.234,50 €");
}

// Number descriptors without scientific notation are written straight from
// the digits instead of through the pattern formatter: both must give the
// same text for every value, grouping, separator and number of decimals.
TEST_F(ValueFormatTest, FixedDecimalsAgreeWithThePatternFormatter)
{
    struct Shape {
        const char16_t* Descriptor;
        const char16_t* Pattern;
        QChar Decimal;
        QChar Thousands;
        double Step;
    };
    const Shape shapes[] = {
        {u"@N @ND2 @NS. @NT, @NR0.01 ", u",0.00", u'.', u',', 0.01},
        {u"@N @ND0 @NS. @NR1 ", u"0", u'.', u',', 1},
        {u"@N @ND3 @NS, @NT. @NR0.001 ", u",0.000", u',', u'.', 0.001},
        {u"@N @ND1 @NT  @NR0.1 ", u",0.0", u'.', u' ', 0.1}, // blank grouping
        {u"@N @ND6 @NS. @NR0.000001 ", u"0.000000", u'.', u',', 0.000001},
    };
    std::vector<double> values = {0, -0.0, 0.005, -0.005, 0.015, 2.675, 1e15, -1e15, 123456789012.345, 0.1, 999.995,
                                  -999.995, 1e-7, 5e-324, 1.7e308};
    std::uint64_t state = 20240611;
    for (int i = 0; i < 5000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double mantissa = double(state >> 11) / double(1ULL << 53) - 0.5;
        values.push_back(mantissa * std::pow(10.0, int((state >> 3) % 20) - 6));
        values.push_back(double(std::int64_t(state >> 20) % 100000000) / 100); // whole cents
    }
    for (const Shape& shape : shapes) {
        const QString descriptor = S(shape.Descriptor);
        for (const double value : values) {
            const QString text = FloatToStrG(value);
            const double quotient = StrToFloat(text) / shape.Step;
            TFormatSettings fs = FormatSettings();
            fs.DecimalSeparator = shape.Decimal;
            fs.ThousandSeparator = shape.Thousands;
            // A value the step cannot divide prints as it came.
            const QString expected = std::isfinite(quotient)
                ? FormatFloat(S(shape.Pattern), shape.Step * std::nearbyint(quotient), fs)
                : text;
            ASSERT_EQ(GetTextByFormat(text, descriptor, 0), expected) << text.toStdString() << " through "
                                                                      << descriptor.toStdString();
        }
    }
}

// What a descriptor means is worked out once and kept, but the locale's
// separators and decimals it falls back on are read again after a change.
TEST_F(ValueFormatTest, KeptDescriptorsFollowALocaleChange)
{
    const QString descriptor = QStringLiteral("@N @NT. @NR0.01 ");
    EXPECT_EQ(GetTextByFormat(QStringLiteral("1234.5"), descriptor, 0), u"1.234.50");
    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GetTextByFormat(QStringLiteral("1234,5"), descriptor, 0), u"1.234,50");
    EXPECT_EQ(GetTextByFormat(QStringLiteral("1234,5"), QStringLiteral("@N @CT "), 0), u"1.234,50 €");
}

TEST_F(ValueFormatTest, DateAndTimeFormats)
{
    const Case cases[] = {
        {u"@D @DR- @DO4 @DD1 @DM1 @DY1 ", u"25978.9176666", 0, u"1971-02-14"},
        {u"@D @DR. @DO0 @DD0 @DM3 @DY1 @DW1 @DV, ", u"25978.9176666", 0, u"Sunday,14.February.1971"},
        {u"@T @TD: @T12 @TI1 @TAam @TPpm @TH1 @TM1 @TS2 ", u"25978.9176666", 0, u"10:01 pm"},
        {u"@T @TD: @T12 @TI0 @TAam @TPpm @TH0 @TM1 @TS1 ", u"25978.9176666", 0, u"pm 10:01:26"},
        {u"@T @TD. @TH1 @TM1 @TS1 ", u"25978.9176666", 0, u"22.01.26"},
        {u"@D @DS ", u"25978.9176666", 0, u"2/14/1971"},
        {u"@D @DL ", u"25978.9176666", 0, u"Sunday, February 14, 1971"},
        {u"@T @TS ", u"25978.9176666", 0, u"10:01 PM"},
        {u"@T @TL ", u"25978.9176666", 0, u"10:01:26 PM"},
        {u"@D @DS @T @TS ", u"25978.9176666", 0, u"2/14/1971 10:01 PM"},
        {u"@D ", u"25978", 0, u"14/02/1971"},                       // every default
        {u"@D @DO2 @DD2 @DM3 @DY0 ", u"25978", 0, u"February/71"},   // no doubled separator
        {u"@D @DO5 @DD0 @DM0 @DY1 ", u"25978", 0, u"1971/14/2"},
        {u"@D @DO9 @DW0 @DV: ", u"25978", 0, u"Sun:"},               // no day, month or year
        {u"@D @DW @DV- @DD0 @DM0 @DY2 ", u"25978", 0, u"Sunday-14/2"}, // "@DW" without a number: long
        {u"@D @DRd @DD0 @DM0 @DY2 ", u"25978", 0, u"14d2"},         // a letter separator is printed
        {u"@D @DWx @DV' @DD0 @DM2 @DY2 ", u"25978", 0, u"Sunday'14/Feb"},
        {u"@D @DS ", u"-1.25", 0, u"12/29/1899"},
        {u"@D @DS ", u"abc", 0, u"abc"},
        {u"@D @DS ", u"", 0, u""},
        {u"@D @DD2 @DM4 @DY2 ", u"25978", 0, u"25978"}, // nothing to print: unchanged
    };
    for (const Case& c : cases)
        ExpectRendered(c);
}

TEST_F(ValueFormatTest, DescriptorsWithoutAKindLeaveTheTextAlone)
{
    for (const char16_t* descriptor : {u"", u"@X ", u"@NB ", u"just text", u"@N", u"@C"})
        EXPECT_EQ(GetTextByFormat(QStringLiteral("a b"), S(descriptor), 10), u"a b") << S(descriptor).toStdString();
}

// Descriptors a hand or a damaged form could hold: the value text comes
// back unchanged or rendered, never an exception or a hang.
TEST_F(ValueFormatTest, HostileDescriptorsNeverThrow)
{
    const Case cases[] = {
        {u"@N @NR0 ", u"12", 0, u"12"}, // a rounding step of 0
        {u"@N @NR0.000 ", u"12", 0, u"12"},
        {u"@N @NRabc ", u"12.4", 0, u"12.00"}, // unparsable step: 1
        {u"@N @NR1e-320 ", u"1e300", 0, u"1e300"},
        {u"@N @ND999999999 @NR0.01 ", u"1.5", 0, u"1.50"}, // absurd decimals: the default
        {u"@N @ND-3 ", u"1.5", 0, u"2.00"}, // step 1, halves to even
        {u"@N @NS", u"3", 0, u"3.00"},
        {u"@N @NT", u"1234", 0, u"1 234.00"}, // an empty value reads as a blank
        {u"@N @ND", u"3", 0, u"3.00"},
        {u"@N @CT @CP", u"3", 0, u"$3.00"},
        {u"@N @CT @CS", u"3", 0, u" 3.00"},
        {u"@D @DO9 ", u"25978", 0, u"25978"},
        {u"@D @DS ", u"1e12", 0, u"1e12"}, // beyond year 9999
        {u"@D @DS ", u"-1e12", 0, u"-1e12"},
        {u"@D @DS ", u"nan", 0, u"nan"},
        {u"@D @DR", u"25978", 0, u"14 02 1971"},
        {u"@D @DV\"", u"25978", 0, u"14/02/1971"},
        {u"@T @TA @TP @T12 ", u"0.75", 0, u"06:00:00  "}, // an empty PM string reads as a blank
        {u"@T @TI7 @T12 ", u"0.75", 0, u"18:00:00"},
        {u"@C @M", u"abc", 0, u"abc"},
        {u"@C @M;;;", u"abc", 0, u"abc"},
        {u"@C @M\\", u"abc", 0, u"abc"},
        {u"@", u"abc", 0, u"abc"},
        {u"@N @N @N ", u"1", 0, u"1.00"},
    };
    for (const Case& c : cases)
        ExpectRendered(c);
    const QString huge = GetTextByFormat(QStringLiteral("1e308"), QStringLiteral("@N "), 0);
    EXPECT_TRUE(huge.startsWith(u"100,000,000,")) << huge.toStdString();
    EXPECT_TRUE(huge.endsWith(u"000.00")) << huge.toStdString();
    EXPECT_EQ(huge.size(), 309 + 102 + 3);
    // Width in characters of any size, including negative ones; padding stops
    // at a width no control reaches.
    EXPECT_EQ(GetTextByFormat(QStringLiteral("7"), QStringLiteral("@N @ND0 @NL "), 2000000000),
              QStringLiteral("7").rightJustified(4096, u'0'));
    EXPECT_EQ(GetTextByFormat(QStringLiteral("5"), QStringLiteral("@N @ND0 @NL "), -5), u"5");
}

TEST_F(ValueFormatTest, GetValueStr)
{
    const QString fmt = QStringLiteral("@N ");
    EXPECT_EQ(GetValueStr(Variant(42), fmt), u"42");
    EXPECT_EQ(GetValueStr(Variant(2.5), fmt), u"2.5");
    EXPECT_EQ(GetValueStr(Variant::FromSingle(0.1f), fmt), u"0.1");
    EXPECT_EQ(GetValueStr(Variant::FromCurrency(12.3456), fmt), u"12.3456");
    EXPECT_EQ(GetValueStr(Variant::FromDate(25978.9176666), fmt), u"25978.9176666");
    EXPECT_EQ(GetValueStr(Variant::FromDate(25978.9176666), QString()), DateTimeToStr(25978.9176666));
    EXPECT_EQ(GetValueStr(Variant::Null(), fmt), u"");
    EXPECT_EQ(GetValueStr(Variant(QStringLiteral("x")), fmt), u"x");
    EXPECT_EQ(GetValueStr(Variant(true), fmt), Variant(true).ToString());

    SetFormatLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GetValueStr(Variant(2.5), fmt), u"2,5");
    // A date value formats through its day number.
    EXPECT_EQ(GetTextByFormat(GetValueStr(Variant::FromDate(25978.5), QStringLiteral("@D @DS ")), QStringLiteral("@D @DS "), 0),
              u"14.02.1971");
}

struct FixedWidths : TextWidthMeasurer {
    int ZeroWidth;
    explicit FixedWidths(int zeroWidth) : ZeroWidth(zeroWidth) {}
    int TextWidth(const QString& text) const override { return int(text.size()) * ZeroWidth; }
};

TEST_F(ValueFormatTest, CharWidthRoundsToNearest)
{
    EXPECT_EQ(GetCharWidth(FixedWidths(7), 70), 10);
    EXPECT_EQ(GetCharWidth(FixedWidths(7), 73), 10);
    EXPECT_EQ(GetCharWidth(FixedWidths(7), 74), 11);
    EXPECT_EQ(GetCharWidth(FixedWidths(4), 10), 2); // 2.5 -> 2
    EXPECT_EQ(GetCharWidth(FixedWidths(4), 14), 4); // 3.5 -> 4
    EXPECT_EQ(GetCharWidth(FixedWidths(0), 70), 0); // a font without width
}

TEST_F(ValueFormatTest, SmallHelpers)
{
    EXPECT_EQ(AddLeadingZeros(QStringLiteral("42"), 5), u"00042");
    EXPECT_EQ(AddLeadingZeros(QStringLiteral("123456"), 3), u"123456");
    EXPECT_EQ(GetIDigits(), 2);
    const QString d = QStringLiteral("@N @ND2 @NS. @NR ");
    EXPECT_EQ(GetNextSpace(d, 6), u"2");
    EXPECT_EQ(GetNextSpace(d, 16), u" "); // empty value
    EXPECT_EQ(GetNextSpace(d, 99), u" ");
    EXPECT_EQ(GetNextSpace(QStringLiteral("@CS$$"), 3), u"$$"); // to the end
}

} // namespace
