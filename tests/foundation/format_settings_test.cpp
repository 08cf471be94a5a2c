#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"
#include "foundation/locale/number_digits_p.h"

#include "support/locale_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace vorel;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// 14 February 1971 22:01:26.394, a Sunday.
constexpr double kValentine = 25978.9176666;

QString S(const char16_t* text)
{
    return QString::fromUtf16(text);
}

using FormatSettingsTest = vorel::testing::EnglishUsLocaleTest;

TEST_F(FormatSettingsTest, EnglishUsSettingsAreTheClassicOnes)
{
    const TFormatSettings& fs = FormatSettings();
    EXPECT_EQ(fs.DecimalSeparator, u'.');
    EXPECT_EQ(fs.ThousandSeparator, u',');
    EXPECT_EQ(fs.DateSeparator, u'/');
    EXPECT_EQ(fs.TimeSeparator, u':');
    EXPECT_EQ(fs.ShortDateFormat, u"m/d/yyyy");
    EXPECT_EQ(fs.LongDateFormat, u"dddd, mmmm d, yyyy");
    EXPECT_EQ(fs.ShortTimeFormat, u"h:nn AMPM");
    EXPECT_EQ(fs.LongTimeFormat, u"h:nn:ss AMPM"); // Qt's time zone is dropped
    EXPECT_EQ(fs.TimeAMString, u"AM");
    EXPECT_EQ(fs.CurrencyString, u"$");
    EXPECT_EQ(fs.CurrencyFormat, 0);
    EXPECT_EQ(fs.NegCurrFormat, 0); // ($1.00)
    EXPECT_EQ(fs.CurrencyDecimals, 2);
    EXPECT_EQ(fs.LongMonthNames[1], u"February");
    EXPECT_EQ(fs.ShortDayNames[0], u"Sun");
    EXPECT_EQ(fs.LongDayNames[6], u"Saturday");
}

TEST_F(FormatSettingsTest, EuropeanLocalesConvertTheirPatterns)
{
    struct Row {
        QLocale Locale;
        const char16_t* Short;
        const char16_t* LongTime;
        const char16_t* Date;             // kValentine through "c"
        const char16_t* NegativeCurrency; // '#' stands for the group separator
    };
    const Row rows[] = {
        {QLocale(QLocale::German, QLocale::Germany), u"dd/mm/yyyy", u"hh:nn:ss", u"14.02.1971 22:01:26", u"-1#234,50 €"},
        {QLocale(QLocale::French, QLocale::France), u"dd/mm/yyyy", u"hh:nn:ss", u"14/02/1971 22:01:26", u"(1#234,50 €)"},
        {QLocale(QLocale::Russian, QLocale::Russia), u"dd/mm/yyyy", u"hh:nn:ss", u"14.02.1971 22:01:26", u"-1#234,50 ₽"},
        {QLocale(QLocale::Czech, QLocale::CzechRepublic), u"dd/mm/yyyy", u"h:nn:ss", u"14.02.1971 22:01:26", u"-1#234,50 Kč"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Locale.name().toStdString());
        const TFormatSettings fs = FormatSettingsFromLocale(row.Locale);
        EXPECT_EQ(fs.DecimalSeparator, u',');
        EXPECT_EQ(fs.CurrencyFormat, 3);
        EXPECT_EQ(fs.ShortDateFormat, row.Short);
        EXPECT_EQ(fs.LongTimeFormat, row.LongTime);
        EXPECT_EQ(FormatDateTime(QStringLiteral("c"), kValentine, fs), row.Date);
        EXPECT_EQ(FormatCurrency(-1234.5, fs), S(row.NegativeCurrency).replace(u'#', fs.ThousandSeparator));
    }
}

TEST_F(FormatSettingsTest, RussianLongDateKeepsItsLiteral)
{
    const TFormatSettings fs = FormatSettingsFromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(FormatDateTime(QStringLiteral("dddddd"), kValentine, fs), u"воскресенье, 14 февраля 1971 г.");
}

TEST_F(FormatSettingsTest, FloatToStrGIsShortestAtFifteenDigits)
{
    const struct {
        double Value;
        const char16_t* Text;
    } rows[] = {
        {0.0, u"0"},
        {-0.0, u"0"},
        {0.1, u"0.1"},
        {0.1 + 0.2, u"0.3"}, // 15 digits hide the binary residue
        {1.0 / 3.0, u"0.333333333333333"},
        {-2.5, u"-2.5"},
        {100.0, u"100"},
        {999999999999999.0, u"999999999999999"}, // 15 integer digits stay fixed
        {1e15, u"1E+15"},                         // 16 do not
        {1e16, u"1E+16"},
        {123456789012345678.0, u"1.23456789012346E+17"},
        {1.5e20, u"1.5E+20"},
        {0.00001, u"0.00001"}, // the boundary itself is fixed
        {0.000001, u"1E-6"},
        {1e-7, u"1E-7"},
        {-1.25e-9, u"-1.25E-9"},
        {9.999999999999999e14, u"1E+15"}, // rounding adds the sixteenth digit
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Value);
        EXPECT_EQ(FloatToStrG(row.Value), row.Text);
    }
    EXPECT_EQ(FloatToStrG(std::nan("")), u"NAN");
    EXPECT_EQ(FloatToStrG(-HUGE_VAL), u"-INF");
}

// Short decimals (counts, money) take a path of their own to their digits;
// it must give what the exact decimal conversion gives, for them and for
// every other double it has to turn away.
TEST_F(FormatSettingsTest, DecimalDigitsOfShortDecimalsAgreeWithTheExactConversion)
{
    std::vector<double> values = {0.1,     0.2,   0.3,   0.1 + 0.2, 1.0 / 3.0, 2.675,  1e15,   999999999999999.0,
                                  1e14,    1e-8,  1e-9,  5e-324,    1.7e308,   0.5,    100.0,  9.999999999999999e14,
                                  123.45,  0.015, 1e-6,  99999999.99999999,    12345678.901234567};
    std::uint64_t state = 20240611;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    };
    for (int i = 0; i < 200000; ++i) {
        // Decimals of up to 16 digits with up to 10 places, as the short path
        // sees them, and arbitrary doubles of every magnitude.
        const std::uint64_t k = next() % 10000000000000000ULL >> (next() % 50);
        values.push_back(double(k) / std::pow(10.0, int(next() % 11)));
        std::uint64_t bits = next();
        double any = 0;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any))
            values.push_back(any);
        values.push_back(double(next() % 100000000) / 100 + 1e-3 * double(next() % 2)); // cents, some not
    }
    for (const double value : values) {
        for (const double v : {value, -value, std::nextafter(value, 0.0), std::nextafter(value, HUGE_VAL)}) {
            const detail::DecimalDigits a = detail::ToDecimalDigits(v);
            const detail::DecimalDigits b = detail::ToDecimalDigitsByText(v);
            ASSERT_EQ(std::string(a.Digits, size_t(a.Count)), std::string(b.Digits, size_t(b.Count))) << v;
            ASSERT_EQ(a.Exponent, b.Exponent) << v;
            ASSERT_EQ(a.Negative, b.Negative) << v;
        }
    }
}

TEST_F(FormatSettingsTest, FloatTextRoundTripsThroughTheLocaleSeparator)
{
    TFormatSettings de = FormatSettingsFromLocale(QLocale(QLocale::German, QLocale::Germany));
    for (double v : {0.1, 1.0 / 3.0, 1e15, 1e16, 123456789012345678.0, 0.00001, 0.000001, -7.25, 1e300}) {
        SCOPED_TRACE(v);
        double back = 0;
        ASSERT_TRUE(TryStrToFloat(FloatToStrG(v), back));
        EXPECT_DOUBLE_EQ(back, QString::number(v, 'g', 15).toDouble());
        const QString text = FloatToStrG(v, de);
        EXPECT_FALSE(text.contains(u'.'));
        ASSERT_TRUE(TryStrToFloat(text, back, de));
        EXPECT_EQ(FloatToStrG(back, de), text);
    }
}

TEST_F(FormatSettingsTest, TryStrToFloatAcceptsOnlyTheClassicSyntax)
{
    const struct {
        const char16_t* Text;
        bool Ok;
        double Value;
    } rows[] = {
        {u"  12.5 ", true, 12.5}, {u"-3", true, -3},     {u"+4.", true, 4},      {u".5", true, 0.5},
        {u"1E5", true, 1e5},      {u"2.5e-3", true, 0.0025}, {u"", false, 0},    {u"   ", false, 0},
        {u"1x", false, 0},        {u"1,5", false, 0},    {u"1,000", false, 0},   {u"E5", false, 0},
        {u"1E", false, 0},        {u"1.2.3", false, 0},  {u"-", false, 0},       {u"1e999", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(S(row.Text).toStdString());
        double v = -99;
        EXPECT_EQ(TryStrToFloat(S(row.Text), v), row.Ok);
        if (row.Ok) {
            EXPECT_DOUBLE_EQ(v, row.Value);
        }
    }
    try {
        StrToFloat(QStringLiteral("abc"));
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'abc' is not a valid floating point value");
    }
}

TEST_F(FormatSettingsTest, IntegerParsingChecksRange)
{
    qint64 v = 0;
    EXPECT_TRUE(TryStrToInt64(QStringLiteral(" -42 "), v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("$1F"), v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(TryStrToInt64(QStringLiteral("-9223372036854775808"), v));
    EXPECT_EQ(v, std::numeric_limits<qint64>::min());
    EXPECT_FALSE(TryStrToInt64(QStringLiteral("9223372036854775808"), v));
    EXPECT_FALSE(TryStrToInt64(QStringLiteral("1.5"), v));
    EXPECT_FALSE(TryStrToInt64(QStringLiteral(""), v));
    EXPECT_EQ(StrToInt(QStringLiteral("2147483647")), 2147483647);
    EXPECT_THROW(StrToInt(QStringLiteral("2147483648")), EConvertError);
    try {
        StrToInt64(QStringLiteral("x1"));
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'x1' is not a valid integer value");
    }
}

TEST_F(FormatSettingsTest, FormatFloatPatterns)
{
    const struct {
        const char16_t* Pattern;
        double Value;
        const char16_t* Text;
    } rows[] = {
        {u"0.00", 1234.567, u"1234.57"},
        {u"0.00", 2.675, u"2.68"}, // the typed value, not its binary neighbour
        {u"0.00", 1.005, u"1.01"},
        {u"0.00", -0.004, u"0.00"}, // no "-0.00"
        {u"0.00", 0.125, u"0.13"},  // half away from zero
        {u"0.00", -0.125, u"-0.13"},
        {u"#,##0.00", 1234567.891, u"1,234,567.89"},
        {u"#,##0.00", 0.5, u"0.50"},
        {u"#,##0.00", -999.999, u"-1,000.00"},
        {u"0.00E+0", 12345, u"1.23E+4"},
        {u"0.00E+0", 0.00012345, u"1.23E-4"},
        {u"0.00E-00", 12345, u"1.23E04"},
        {u"0.00E+0", 0, u"0.00E+0"},
        {u"0.00E+0", 9.999, u"1.00E+1"},
        {u"#.##", 5, u"5"},
        {u"#.##", 0.5, u".5"},
        {u"#.##", 1.234, u"1.23"},
        {u"0.0#", 1.2, u"1.2"},
        {u"0.0#", 1.0, u"1.0"},
        {u"00000", 42, u"00042"},
        {u"#", 123456, u"123456"},
        {u"000-00-0000", 123456789, u"123-45-6789"},
        {u"'$'#,##0.00", -5, u"-$5.00"},
        {u"0.00 \"kg\"", 3, u"3.00 kg"},
        {u"0.00;(0.00)", -5, u"(5.00)"},
        {u"0.00;(0.00)", 5, u"5.00"},
        {u"0.00;(0.00);'zero'", 0, u"zero"},
        {u"0.00;(0.00);'zero'", -0.001, u"zero"}, // rounds to zero
        {u"0.00;;'zero'", -1, u"-1.00"},          // empty negative section
        {u"", 2.5, u"2.5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(S(row.Pattern).toStdString() + " " + std::to_string(row.Value));
        EXPECT_EQ(FormatFloat(S(row.Pattern), row.Value), row.Text);
    }
}

TEST_F(FormatSettingsTest, FormatFloatUsesTheSettingsSeparators)
{
    const TFormatSettings de = FormatSettingsFromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatFloat(QStringLiteral("#,##0.00"), 1234567.891, de), u"1.234.567,89");
}

TEST_F(FormatSettingsTest, CurrencyFollowsSignPositionAndNegativePattern)
{
    TFormatSettings fs = FormatSettings();
    EXPECT_EQ(FormatCurrency(1234.5, fs), u"$1,234.50");
    EXPECT_EQ(FormatCurrency(-1234.5, fs), u"($1,234.50)");
    EXPECT_EQ(FormatCurrency(-0.001, fs), u"$0.00");
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    fs.CurrencyString = QStringLiteral("EUR");
    EXPECT_EQ(FormatCurrency(2, fs), u"2.00 EUR");
    EXPECT_EQ(FormatCurrency(-2, fs), u"-2.00 EUR");
    fs.CurrencyDecimals = 0;
    EXPECT_EQ(FormatCurrency(2.5, fs), u"3 EUR");
}

TEST_F(FormatSettingsTest, Rounding)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_THROW(RoundHalfEven(1e19), EConvertError);
    EXPECT_THROW(RoundHalfEven(std::nan("")), EConvertError);
    EXPECT_DOUBLE_EQ(RoundHalfAwayFromZero(2.5, 0), 3);
    EXPECT_DOUBLE_EQ(RoundHalfAwayFromZero(-2.5, 0), -3);
    EXPECT_DOUBLE_EQ(RoundHalfAwayFromZero(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(RoundHalfAwayFromZero(1250, -2), 1300);
}

TEST_F(FormatSettingsTest, DateEncodingAndDecoding)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1971, 2, 14), 25978.0);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_THROW(EncodeDate(1999, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2000, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    try {
        EncodeDate(2001, 2, 30);
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Invalid argument to date encode");
    }

    int y, m, d, h, n, s, ms;
    DecodeDate(kValentine, y, m, d);
    DecodeTime(kValentine, h, n, s, ms);
    EXPECT_EQ((std::array{y, m, d, h, n, s, ms}), (std::array{1971, 2, 14, 22, 1, 26, 394}));
    // Before the epoch the fraction still counts forwards from midnight.
    DecodeDate(-1.25, y, m, d);
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ((std::array{y, m, d, h, n}), (std::array{1899, 12, 29, 6, 0}));
    // A time a hair before midnight rounds into the next day, not to 24:00.
    DecodeDate(0.999999999999, y, m, d);
    DecodeTime(0.999999999999, h, n, s, ms);
    EXPECT_EQ((std::array{y, m, d, h, n, s, ms}), (std::array{1899, 12, 31, 0, 0, 0, 0}));
    EXPECT_THROW(DecodeDate(1e12, y, m, d), EConvertError);

    EXPECT_EQ(DayOfWeek(kValentine), 1); // Sunday
    EXPECT_EQ(DayOfWeek(0), 7);          // Saturday
    EXPECT_EQ(DayOfWeek(-1), 6);

    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
}

TEST_F(FormatSettingsTest, QtDateTimeConversions)
{
    const QDateTime qt(QDate(1971, 2, 14), QTime(22, 1, 26, 394));
    EXPECT_NEAR(DateTimeFromQt(qt), kValentine, 1e-8);
    EXPECT_EQ(DateTimeToQt(DateTimeFromQt(qt)), qt);
    EXPECT_DOUBLE_EQ(DateTimeFromQt(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_FALSE(DateTimeToQt(1e12).isValid());
    EXPECT_NEAR(Now(), DateTimeFromQt(QDateTime::currentDateTime()), 1.0 / 86400);
}

TEST_F(FormatSettingsTest, FormatDateTimePatterns)
{
    const struct {
        const char16_t* Pattern;
        const char16_t* Text;
    } rows[] = {
        {u"d dd ddd dddd", u"14 14 Sun Sunday"},
        {u"ddddd", u"2/14/1971"},
        {u"dddddd", u"Sunday, February 14, 1971"},
        {u"m mm mmm mmmm", u"2 02 Feb February"},
        {u"yy yyyy", u"71 1971"},
        {u"h hh n nn s ss", u"22 22 1 01 26 26"},
        {u"z zzz", u"394 394"},
        {u"hh:mm", u"22:01"}, // m after an hour means minutes
        {u"hh:mm mm", u"22:01 02"}, // ...but not after minutes
        {u"t", u"10:01 PM"},
        {u"tt", u"10:01:26 PM"},
        {u"c", u"2/14/1971 10:01:26 PM"},
        {u"h:nn am/pm", u"10:01 pm"},
        {u"h:nn AM/PM", u"10:01 PM"},
        {u"h:nn a/p", u"10:01 p"},
        {u"h:nn ampm", u"10:01 PM"},
        {u"ampm h:nn", u"PM 10:01"}, // a marker in front counts too
        {u"h 'h' nn", u"22 h 01"},      // quoted letters are literal
        {u"\"dd\"/mm", u"dd/02"},
        {u"yyyy-mm-dd", u"1971-02-14"},
        {u"X", u"X"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(S(row.Pattern).toStdString());
        EXPECT_EQ(FormatDateTime(S(row.Pattern), kValentine), row.Text);
    }
    // Separator placeholders print the settings' separators.
    TFormatSettings fs = FormatSettings();
    fs.DateSeparator = u'-';
    fs.TimeSeparator = u'.';
    EXPECT_EQ(FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn"), kValentine, fs), u"1971-02-14 22.01");
    // A format that names itself stops instead of recursing forever.
    fs.ShortDateFormat = QStringLiteral("ddddd!");
    EXPECT_EQ(FormatDateTime(QStringLiteral("ddddd"), kValentine, fs), u"!!");
    // Midnight noon and 12-hour edges.
    EXPECT_EQ(FormatDateTime(QStringLiteral("h ampm"), 0.0), u"12 AM");
    EXPECT_EQ(FormatDateTime(QStringLiteral("h ampm"), 0.5), u"12 PM");
    EXPECT_THROW(FormatDateTime(QStringLiteral("yyyy"), 1e12), EConvertError);
}

TEST_F(FormatSettingsTest, DateTimeToStrOmitsMidnight)
{
    EXPECT_EQ(DateTimeToStr(25978.0), u"2/14/1971");
    EXPECT_EQ(DateTimeToStr(kValentine), u"2/14/1971 10:01:26 PM");
    EXPECT_EQ(DateToStr(kValentine), u"2/14/1971");
    EXPECT_EQ(TimeToStr(kValentine), u"10:01:26 PM");
}

TEST_F(FormatSettingsTest, ParsingDatesFollowsTheShortDateOrder)
{
    double v = 0;
    EXPECT_TRUE(TryStrToDateTime(QStringLiteral("2/14/1971"), v));
    EXPECT_EQ(v, 25978.0);
    EXPECT_TRUE(TryStrToDateTime(QStringLiteral(" 2 / 14 / 1971 10:01:26 PM "), v));
    EXPECT_NEAR(v, 25978.0 + (22 * 3600 + 60 + 26) / 86400.0, 1e-9);
    EXPECT_TRUE(TryStrToDateTime(QStringLiteral("22:01"), v));
    EXPECT_NEAR(v, (22 * 60 + 1) / 1440.0, 1e-12);
    EXPECT_TRUE(TryStrToDateTime(QStringLiteral("12:00 AM"), v));
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(TryStrToDateTime(QStringLiteral("2/30/1971"), v));
    EXPECT_FALSE(TryStrToDateTime(QStringLiteral("abc"), v));
    EXPECT_FALSE(TryStrToDateTime(QStringLiteral("2/14/1971 25:00"), v));
    EXPECT_FALSE(TryStrToDateTime(QStringLiteral("2/14/1971 x"), v));
    EXPECT_FALSE(TryStrToDateTime(QStringLiteral("13:00 PM"), v));
    EXPECT_FALSE(TryStrToDateTime(QString(), v));

    // Two-digit years fall into the hundred years starting fifty years ago.
    const int thisYear = QDate::currentDate().year();
    const int yy = (thisYear - 10) % 100;
    ASSERT_TRUE(TryStrToDateTime(QStringLiteral("1/1/%1").arg(yy, 2, 10, QChar(u'0')), v));
    int y, m, d;
    DecodeDate(v, y, m, d);
    EXPECT_EQ(y, thisYear - 10);

    const TFormatSettings de = FormatSettingsFromLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(TryStrToDateTime(QStringLiteral("14.02.1971"), v, de));
    EXPECT_EQ(v, 25978.0);
    EXPECT_EQ(StrToDate(QStringLiteral("14.2.1971"), de), 25978.0);
    try {
        StrToDate(QStringLiteral("2/14/1971 10:00"));
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'2/14/1971 10:00' is not a valid date");
    }
}

TEST_F(FormatSettingsTest, FormatMaskText)
{
    const struct {
        const char16_t* Mask;
        const char16_t* Value;
        const char16_t* Text;
    } rows[] = {
        // Literals saved (the default): the value carries them.
        {u"!\\(999\\)000-0000;1;_", u"(555)123-4567", u"(555)123-4567"},
        {u"\\(999\\)000-0000;1;_", u"(55)12-4567", u"(55 )12 -4567"},
        {u"!\\(999\\)000-0000;1;_", u"(55)12-4567", u"( 55) 12-4567"},
        {u"!\\(999\\)000-0000;1;_", u"5551234567", u"(555)123-4567"}, // literals missing
        {u"00/00/0000", u"1/2/2003", u"1 /2 /2003"},
        // Literals not saved: the value holds the input characters only.
        {u"!\\(999\\)000-0000;0;_", u"5551234567", u"(555)123-4567"},
        {u"!\\(999\\)000-0000;0;_", u"1234567", u"(   )123-4567"},
        {u"\\(999\\)000-0000;0;_", u"1234567", u"(123)456-7   "},
        {u"00\\:00;0", u"1230", u"12:30"},
        {u"000_000;0", u"123456", u"123 456"},
        {u">L<lllll;0", u"mARTIN", u"Martin"},
        {u">LL<>ll;0", u"abCD", u"ABCD"},
        {u"000;0", u"12345", u"12345"}, // nothing is lost
        {u"", u"abc", u"abc"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(S(row.Mask).toStdString() + " " + S(row.Value).toStdString());
        EXPECT_EQ(FormatMaskText(S(row.Mask), S(row.Value)), row.Text);
    }
    // "/" and ":" in a mask are the settings' separators.
    TFormatSettings fs = FormatSettings();
    fs.DateSeparator = u'.';
    SetFormatSettings(fs);
    EXPECT_EQ(FormatMaskText(QStringLiteral("00/00/0000;0;_"), QStringLiteral("14021971")), u"14.02.1971");
}

} // namespace
