#pragma once
// The locale-dependent settings and the classic conversion routines that value
// formatting, variants and the expression language share: general float text,
// text-to-number parsing, date-time encoding and pattern formatting.
//
// Date-times are doubles counting days since 30 December 1899; the fraction is
// the time of day (0.5 = noon). Negative values count backwards, the fraction
// still being the time of day (-1.25 = 29 Dec 1899 06:00).

#include <QChar>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <array>

namespace vorel {

struct TFormatSettings {
    QChar DecimalSeparator = u'.';
    QChar ThousandSeparator = u',';
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QChar ListSeparator = u',';
    // Classic patterns: d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn s ss
    // am/pm ampm a/p, "/" and ":" as separator placeholders, quoted literals.
    QString ShortDateFormat = QStringLiteral("m/d/yyyy");
    QString LongDateFormat = QStringLiteral("dddd, mmmm d, yyyy");
    QString ShortTimeFormat = QStringLiteral("h:nn AMPM");
    QString LongTimeFormat = QStringLiteral("h:nn:ss AMPM");
    QString TimeAMString = QStringLiteral("AM");
    QString TimePMString = QStringLiteral("PM");
    QString CurrencyString = QStringLiteral("$");
    int CurrencyFormat = 0;   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int NegCurrFormat = 0;    // 0..15, the classic negative currency patterns
    int CurrencyDecimals = 2; // the locale's number of fractional digits
    std::array<QString, 12> ShortMonthNames;
    std::array<QString, 12> LongMonthNames;
    std::array<QString, 7> ShortDayNames; // Sunday first
    std::array<QString, 7> LongDayNames;  // Sunday first
    QLocale Locale;                       // for locale-aware case mapping
};

// Settings derived from a locale (QLocale::system() at start-up).
TFormatSettings FormatSettingsFromLocale(const QLocale& locale);
// The process-wide settings, initialised from the user's locale on first use.
const TFormatSettings& FormatSettings();
// Replaces the process-wide settings (tests fix the locale with this;
// applications may too). Takes effect for every later conversion.
void SetFormatLocale(const QLocale& locale);
void SetFormatSettings(const TFormatSettings& settings);
// Changes with every SetFormatSettings (and SetFormatLocale): what was
// worked out from the settings and kept is stale when it differs.
quint64 FormatSettingsGeneration();

// --- numbers --------------------------------------------------------------
// General float text: shortest rendering with up to 15 significant digits, the
// settings' decimal separator, no grouping; scientific ("1.5E+20", "1E-7")
// when the value needs more than 15 integer digits or is below 0.00001.
QString FloatToStrG(double value, const TFormatSettings& fs = FormatSettings());
// Parses a float with the settings' decimal separator; leading and trailing
// blanks are allowed, an exponent "E+5" too. No grouping characters.
bool TryStrToFloat(const QString& text, double& value, const TFormatSettings& fs = FormatSettings());
// As TryStrToFloat, raising EConvertError "'x' is not a valid floating point value".
double StrToFloat(const QString& text, const TFormatSettings& fs = FormatSettings());
// Decimal integer, optional sign, blanks around allowed; "$1F" hex too.
bool TryStrToInt64(const QString& text, qint64& value);
// Raises EConvertError "'x' is not a valid integer value".
qint64 StrToInt64(const QString& text);
int StrToInt(const QString& text); // also raises when out of the 32-bit range
// Classic FormatFloat patterns: "0.00", "#,##0.00", "0.00E+0", "#.##",
// sections separated by ";" (positive;negative;zero), quoted literals.
QString FormatFloat(const QString& pattern, double value, const TFormatSettings& fs = FormatSettings());
// The locale's currency format: sign and position, negative pattern,
// grouping, fs.CurrencyDecimals decimals.
QString FormatCurrency(double value, const TFormatSettings& fs = FormatSettings());
// Rounding half to even (the classic Round) and half away from zero.
qint64 RoundHalfEven(double value);
double RoundHalfAwayFromZero(double value, int decimals);

// --- dates and times --------------------------------------------------------
double EncodeDate(int year, int month, int day);           // raises EConvertError on an invalid date
double EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, double& value);
void DecodeDate(double dateTime, int& year, int& month, int& day);
void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& msec);
int DayOfWeek(double dateTime); // 1 = Sunday .. 7 = Saturday
double Now();                   // current local date and time
// Renders through a classic pattern (see TFormatSettings); "c" gives the short
// date and, when the time is not midnight, the long time.
QString FormatDateTime(const QString& pattern, double dateTime, const TFormatSettings& fs = FormatSettings());
QString DateTimeToStr(double dateTime, const TFormatSettings& fs = FormatSettings());
QString DateToStr(double dateTime, const TFormatSettings& fs = FormatSettings());
QString TimeToStr(double dateTime, const TFormatSettings& fs = FormatSettings());
// Parses a date in the order of the short date format (day, month and year
// fields separated by the date separator), optionally followed by a time.
bool TryStrToDateTime(const QString& text, double& value, const TFormatSettings& fs = FormatSettings());
// A date alone, in the order of the short date format.
bool TryStrToDate(const QString& text, double& value, const TFormatSettings& fs = FormatSettings());
// Raises EConvertError "'x' is not a valid date".
double StrToDate(const QString& text, const TFormatSettings& fs = FormatSettings());
// Converts between a QDateTime and a day number (local time, milliseconds kept).
double DateTimeFromQt(const QDateTime& dt);
QDateTime DateTimeToQt(double dateTime);

// --- edit masks ---------------------------------------------------------------
// The classic edit-mask formatter: mask characters ! > < L l A a C c 0 9 #
// \ (literal next), with the optional ";save-literals;blank" sections.
QString FormatMaskText(const QString& mask, const QString& value);

} // namespace vorel
