// Date-time encoding, decoding, pattern formatting and parsing.
//
// A date-time is a double of days since 30 December 1899. The whole part is
// the day, the fraction the time of day; for days before the epoch the
// fraction still counts forwards from midnight, so -1.25 is 29 Dec 1899 06:00.
#include "foundation/locale/date_time_p.h"
#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <cmath>

namespace vorel {

namespace {

constexpr qint64 kMSecsPerDay = 86400000;
constexpr qint64 kJulianDayOfEpoch = 2415019; // 30 December 1899
constexpr qint64 kMinDay = -693593;           // 1 January 0001
constexpr qint64 kMaxDay = 2958465;           // 31 December 9999

// A date-time split into a day number and milliseconds of the day. The whole
// value is rounded to the millisecond first, so 0.99999999999 is the next
// midnight rather than 23:59:59.1000.
struct TimeStamp {
    qint64 Day = 0;
    int MSec = 0;
};

bool ToTimeStamp(double dateTime, TimeStamp& ts)
{
    if (!std::isfinite(dateTime) || dateTime < double(kMinDay - 1) || dateTime > double(kMaxDay + 1))
        return false;
    const qint64 total = std::llround(dateTime * double(kMSecsPerDay));
    ts.Day = total / kMSecsPerDay; // truncates towards zero, as the encoding requires
    const qint64 rest = total % kMSecsPerDay;
    ts.MSec = int(rest < 0 ? -rest : rest);
    return ts.Day >= kMinDay && ts.Day <= kMaxDay;
}

TimeStamp CheckedTimeStamp(double dateTime)
{
    TimeStamp ts;
    if (!ToTimeStamp(dateTime, ts))
        throw EConvertError(QStringLiteral("Invalid argument to date decode"));
    return ts;
}

QDate DateOfDay(qint64 day)
{
    return QDate::fromJulianDay(day + kJulianDayOfEpoch);
}

double Compose(qint64 day, double time)
{
    return day < 0 ? double(day) - time : double(day) + time;
}

} // namespace

bool TryEncodeDate(int year, int month, int day, double& value)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > QDate(year, month, 1).daysInMonth())
        return false;
    value = double(QDate(year, month, day).toJulianDay() - kJulianDayOfEpoch);
    return true;
}

double EncodeDate(int year, int month, int day)
{
    double value = 0;
    if (!TryEncodeDate(year, month, day, value))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return value;
}

double EncodeTime(int hour, int minute, int second, int msec)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return double(((hour * 60 + minute) * 60 + second) * 1000 + msec) / double(kMSecsPerDay);
}

void DecodeDate(double dateTime, int& year, int& month, int& day)
{
    const QDate date = DateOfDay(CheckedTimeStamp(dateTime).Day);
    year = date.year();
    month = date.month();
    day = date.day();
}

void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& msec)
{
    const int ms = CheckedTimeStamp(dateTime).MSec;
    hour = ms / 3600000;
    minute = ms / 60000 % 60;
    second = ms / 1000 % 60;
    msec = ms % 1000;
}

int DayOfWeek(double dateTime)
{
    // Day 0 (30 December 1899) was a Saturday, day 7 of the week.
    const qint64 day = CheckedTimeStamp(dateTime).Day;
    return int(((day % 7) + 7 + 6) % 7) + 1;
}

double DateTimeFromQt(const QDateTime& dt)
{
    if (!dt.isValid())
        return 0.0;
    const qint64 day = dt.date().toJulianDay() - kJulianDayOfEpoch;
    return Compose(day, double(dt.time().msecsSinceStartOfDay()) / double(kMSecsPerDay));
}

QDateTime DateTimeToQt(double dateTime)
{
    TimeStamp ts;
    if (!ToTimeStamp(dateTime, ts))
        return QDateTime();
    return QDateTime(DateOfDay(ts.Day), QTime::fromMSecsSinceStartOfDay(ts.MSec));
}

double Now()
{
    return DateTimeFromQt(QDateTime::currentDateTime());
}

// --- FormatDateTime ----------------------------------------------------------

namespace {

void AppendNumber(QString& out, int value, int minDigits)
{
    char buf[16];
    int n = 0;
    unsigned v = unsigned(value < 0 ? -value : value);
    do {
        buf[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        out += u'-';
    for (int i = n; i < minDigits; ++i)
        out += u'0';
    while (n > 0)
        out += QChar(buf[--n]);
}

bool StartsWithNoCase(QStringView s, qsizetype at, QLatin1StringView word)
{
    return s.mid(at).startsWith(word, Qt::CaseInsensitive);
}

class DateTimeWriter {
public:
    DateTimeWriter(double value, const TFormatSettings& fs, const detail::DateTimeOverrides& o)
        : FValue(value)
        , FFs(fs)
        , FDateSeparator(o.DateSeparator.isNull() ? fs.DateSeparator : o.DateSeparator)
        , FTimeSeparator(o.TimeSeparator.isNull() ? fs.TimeSeparator : o.TimeSeparator)
        , FAMString(o.AMString ? *o.AMString : fs.TimeAMString)
        , FPMString(o.PMString ? *o.PMString : fs.TimePMString)
    {
    }

    void Append(QStringView pattern, int level);
    QString Out;

private:
    void NeedDate()
    {
        if (FHaveDate)
            return;
        const QDate date = DateOfDay(CheckedTimeStamp(FValue).Day);
        FYear = date.year();
        FMonth = date.month();
        FDay = date.day();
        FDayOfWeek = date.dayOfWeek() % 7; // 0 = Sunday
        FHaveDate = true;
    }
    void NeedTime()
    {
        if (FHaveTime)
            return;
        const int ms = CheckedTimeStamp(FValue).MSec;
        FHour = ms / 3600000;
        FMinute = ms / 60000 % 60;
        FSecond = ms / 1000 % 60;
        FMSec = ms % 1000;
        FHaveTime = true;
    }
    void AppendNested(const QString& pattern, int level)
    {
        // Nested named formats may themselves name formats; two levels are
        // enough for every sane setting and stop a pattern naming itself.
        if (level < 2)
            Append(pattern, level + 1);
    }

    double FValue;
    const TFormatSettings& FFs;
    QChar FDateSeparator;
    QChar FTimeSeparator;
    const QString& FAMString;
    const QString& FPMString;
    bool FHaveDate = false;
    bool FHaveTime = false;
    int FYear = 0, FMonth = 0, FDay = 0, FDayOfWeek = 0;
    int FHour = 0, FMinute = 0, FSecond = 0, FMSec = 0;
};

// Whether a pattern has an AM/PM marker outside quotes, which puts its hours
// on the 12-hour clock. The classic formatter only looked ahead of the hour,
// so "ampm h:nn" printed "PM 22:01"; the marker counts wherever it stands.
bool Uses12HourClock(QStringView p)
{
    QChar quote;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
        } else if ((c == u'a' || c == u'A')
                   && (StartsWithNoCase(p, i, QLatin1StringView("am/pm")) || StartsWithNoCase(p, i, QLatin1StringView("a/p"))
                       || StartsWithNoCase(p, i, QLatin1StringView("ampm")))) {
            return true;
        }
    }
    return false;
}

void DateTimeWriter::Append(QStringView p, int level)
{
    QChar lastToken;
    int twelveHour = -1; // unknown until the first hour
    const qsizetype n = p.size();
    for (qsizetype i = 0; i < n;) {
        const QChar starter = p[i];
        qsizetype count = 1;
        while (i + count < n && p[i + count] == starter)
            ++count;
        QChar token = starter;
        const bool letter = starter.unicode() < 128 && starter.isLetter();
        if (letter) {
            token = starter.toUpper();
            if (token == u'M' && lastToken == u'H')
                token = u'N'; // "m" right after an hour means minutes
            lastToken = token;
        }
        switch (token.unicode()) {
        case u'Y':
            NeedDate();
            if (count <= 2)
                AppendNumber(Out, FYear % 100, 2);
            else
                AppendNumber(Out, FYear, 4);
            break;
        case u'M':
            NeedDate();
            if (count <= 2)
                AppendNumber(Out, FMonth, int(count));
            else if (count == 3)
                Out += FFs.ShortMonthNames[FMonth - 1];
            else
                Out += FFs.LongMonthNames[FMonth - 1];
            break;
        case u'D':
            if (count <= 2) {
                NeedDate();
                AppendNumber(Out, FDay, int(count));
            } else if (count == 3) {
                NeedDate();
                Out += FFs.ShortDayNames[FDayOfWeek];
            } else if (count == 4) {
                NeedDate();
                Out += FFs.LongDayNames[FDayOfWeek];
            } else if (count == 5) {
                AppendNested(FFs.ShortDateFormat, level);
            } else {
                AppendNested(FFs.LongDateFormat, level);
            }
            break;
        case u'H': {
            NeedTime();
            int hour = FHour;
            if (twelveHour < 0)
                twelveHour = Uses12HourClock(p) ? 1 : 0;
            if (twelveHour == 1) {
                if (hour == 0)
                    hour = 12;
                else if (hour > 12)
                    hour -= 12;
            }
            AppendNumber(Out, hour, count >= 2 ? 2 : 1);
            break;
        }
        case u'N':
            NeedTime();
            AppendNumber(Out, FMinute, count >= 2 ? 2 : 1);
            break;
        case u'S':
            NeedTime();
            AppendNumber(Out, FSecond, count >= 2 ? 2 : 1);
            break;
        case u'Z':
            NeedTime();
            AppendNumber(Out, FMSec, count >= 2 ? 3 : 1);
            break;
        case u'T':
            AppendNested(count == 1 ? FFs.ShortTimeFormat : FFs.LongTimeFormat, level);
            break;
        case u'C':
            AppendNested(FFs.ShortDateFormat, level);
            NeedTime();
            if (FHour != 0 || FMinute != 0 || FSecond != 0 || FMSec != 0) {
                Out += u' ';
                AppendNested(FFs.LongTimeFormat, level);
            }
            break;
        case u'A': {
            NeedTime();
            const bool pm = FHour >= 12;
            if (StartsWithNoCase(p, i, QLatin1StringView("am/pm"))) {
                // The marker keeps the letter case of the pattern.
                Out += p.mid(pm ? i + 3 : i, 2);
                count = 5;
            } else if (StartsWithNoCase(p, i, QLatin1StringView("a/p"))) {
                Out += p[pm ? i + 2 : i];
                count = 3;
            } else if (StartsWithNoCase(p, i, QLatin1StringView("ampm"))) {
                Out += pm ? FPMString : FAMString;
                count = 4;
            } else {
                Out += starter;
                count = 1;
            }
            break;
        }
        case u'/':
            for (qsizetype k = 0; k < count; ++k)
                Out += FDateSeparator;
            break;
        case u':':
            for (qsizetype k = 0; k < count; ++k)
                Out += FTimeSeparator;
            break;
        case u'"':
        case u'\'': {
            const qsizetype close = p.indexOf(starter, i + 1);
            const qsizetype end = close < 0 ? n : close;
            Out += p.mid(i + 1, end - i - 1);
            count = (close < 0 ? n : close + 1) - i;
            break;
        }
        default:
            for (qsizetype k = 0; k < count; ++k)
                Out += starter;
            break;
        }
        i += count;
    }
}

} // namespace

QString detail::FormatDateTimeWith(QStringView pattern, double dateTime, const TFormatSettings& fs,
                                   const DateTimeOverrides& overrides)
{
    DateTimeWriter writer(dateTime, fs, overrides);
    writer.Out.reserve(pattern.size() + 16);
    writer.Append(pattern.isEmpty() ? QStringView(u"c") : pattern, 0);
    return writer.Out;
}

QString FormatDateTime(const QString& pattern, double dateTime, const TFormatSettings& fs)
{
    return detail::FormatDateTimeWith(pattern, dateTime, fs, {});
}

QString DateTimeToStr(double dateTime, const TFormatSettings& fs)
{
    return FormatDateTime(QStringLiteral("c"), dateTime, fs);
}

QString DateToStr(double dateTime, const TFormatSettings& fs)
{
    return FormatDateTime(QStringLiteral("ddddd"), dateTime, fs);
}

QString TimeToStr(double dateTime, const TFormatSettings& fs)
{
    return FormatDateTime(QStringLiteral("tt"), dateTime, fs);
}

// --- parsing -----------------------------------------------------------------

namespace {

enum class DateOrder { MDY, DMY, YMD };

DateOrder ShortDateOrder(const QString& format)
{
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            continue;
        }
        switch (c.toLower().unicode()) {
        case u'd': return DateOrder::DMY;
        case u'm': return DateOrder::MDY;
        case u'y': return DateOrder::YMD;
        default: break;
        }
    }
    return DateOrder::MDY;
}

class Scanner {
public:
    Scanner(QStringView text, const TFormatSettings& fs) : FText(text), FFs(fs) {}

    bool AtEnd()
    {
        SkipBlanks();
        return FPos >= FText.size();
    }
    qsizetype Pos() const { return FPos; }
    void SetPos(qsizetype pos) { FPos = pos; }

    int SkipBlanks()
    {
        int skipped = 0;
        while (FPos < FText.size() && FText[FPos] == u' ') {
            ++FPos;
            ++skipped;
        }
        return skipped;
    }
    bool Number(int& value, int& digits)
    {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (FPos < FText.size() && FText[FPos] >= u'0' && FText[FPos] <= u'9' && digits < 9) {
            value = value * 10 + (FText[FPos].unicode() - u'0');
            ++digits;
            ++FPos;
        }
        return digits > 0;
    }
    bool Char(QChar c)
    {
        const int blanks = SkipBlanks();
        if (FPos < FText.size() && FText[FPos] == c) {
            ++FPos;
            return true;
        }
        return c == u' ' && blanks > 0;
    }
    // A month given by name where the short date format writes one.
    bool MonthName(int& month)
    {
        SkipBlanks();
        for (const auto* names : {&FFs.LongMonthNames, &FFs.ShortMonthNames}) {
            for (int m = 0; m < 12; ++m) {
                const QString& name = (*names)[m];
                if (!name.isEmpty() && FText.mid(FPos).startsWith(name, Qt::CaseInsensitive)) {
                    FPos += name.size();
                    month = m + 1;
                    return true;
                }
            }
        }
        return false;
    }
    bool Word(const QString& word)
    {
        SkipBlanks();
        if (!word.isEmpty() && FText.mid(FPos).startsWith(word, Qt::CaseInsensitive)) {
            FPos += word.size();
            return true;
        }
        return false;
    }

private:
    QStringView FText;
    const TFormatSettings& FFs;
    qsizetype FPos = 0;
};

int CurrentYear()
{
    return QDate::currentDate().year();
}

// A two-digit year falls into the hundred years starting 50 years ago.
int ExpandYear(int year, int digits)
{
    if (year > 99 || digits > 2)
        return year;
    const int pivot = CurrentYear() - 50;
    year += pivot / 100 * 100;
    if (year < pivot)
        year += 100;
    return year;
}

bool ScanDate(Scanner& s, const TFormatSettings& fs, double& value)
{
    const DateOrder order = ShortDateOrder(fs.ShortDateFormat);
    int n[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int parts = 0;
    for (; parts < 3; ++parts) {
        if (parts > 0) {
            const qsizetype before = s.Pos();
            if (!s.Char(fs.DateSeparator)) {
                s.SetPos(before);
                break;
            }
        }
        const int monthSlot = order == DateOrder::MDY ? 0 : 1;
        int month = 0;
        if (parts == monthSlot && s.MonthName(month)) {
            n[parts] = month;
            digits[parts] = 2;
        } else if (!s.Number(n[parts], digits[parts])) {
            return false; // a separator must be followed by a field
        }
    }
    if (parts < 2)
        return false;
    int year = 0, month = 0, day = 0;
    if (parts == 2) {
        year = CurrentYear();
        if (order == DateOrder::DMY) {
            day = n[0];
            month = n[1];
        } else {
            month = n[0];
            day = n[1];
        }
    } else {
        switch (order) {
        case DateOrder::MDY: month = n[0]; day = n[1]; year = ExpandYear(n[2], digits[2]); break;
        case DateOrder::DMY: day = n[0]; month = n[1]; year = ExpandYear(n[2], digits[2]); break;
        case DateOrder::YMD: year = ExpandYear(n[0], digits[0]); month = n[1]; day = n[2]; break;
        }
    }
    return TryEncodeDate(year, month, day, value);
}

bool ScanTime(Scanner& s, const TFormatSettings& fs, double& value)
{
    int hour = 0, minute = 0, second = 0, msec = 0, digits = 0;
    if (!s.Number(hour, digits))
        return false;
    bool haveMinutes = false;
    const qsizetype afterHour = s.Pos();
    if (s.Char(fs.TimeSeparator) || (fs.TimeSeparator != u':' && s.Char(u':'))) {
        if (!s.Number(minute, digits))
            return false;
        haveMinutes = true;
        const qsizetype afterMinute = s.Pos();
        if (s.Char(fs.TimeSeparator) || (fs.TimeSeparator != u':' && s.Char(u':'))) {
            if (!s.Number(second, digits))
                return false;
            const qsizetype afterSecond = s.Pos();
            if (s.Char(u'.') || s.Char(fs.DecimalSeparator)) {
                if (!s.Number(msec, digits) || digits > 3)
                    return false;
                for (; digits < 3; ++digits)
                    msec *= 10; // ".5" is 500 ms
            } else {
                s.SetPos(afterSecond);
            }
        } else {
            s.SetPos(afterMinute);
        }
    } else {
        s.SetPos(afterHour);
    }
    int marker = 0; // 1 AM, 2 PM
    if (s.Word(fs.TimeAMString) || s.Word(QStringLiteral("AM")))
        marker = 1;
    else if (s.Word(fs.TimePMString) || s.Word(QStringLiteral("PM")))
        marker = 2;
    if (!haveMinutes && marker == 0)
        return false;
    if (marker != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (marker == 2 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    value = EncodeTime(hour, minute, second, msec);
    return true;
}

} // namespace

bool TryStrToDateTime(const QString& text, double& value, const TFormatSettings& fs)
{
    Scanner s(text, fs);
    double date = 0;
    if (ScanDate(s, fs, date)) {
        if (s.AtEnd()) {
            value = date;
            return true;
        }
        double time = 0;
        if (!ScanTime(s, fs, time) || !s.AtEnd())
            return false;
        value = Compose(qint64(date), time);
        return true;
    }
    s.SetPos(0);
    double time = 0;
    if (ScanTime(s, fs, time) && s.AtEnd()) {
        value = time;
        return true;
    }
    return false;
}

bool TryStrToDate(const QString& text, double& value, const TFormatSettings& fs)
{
    Scanner s(text, fs);
    double date = 0;
    if (!ScanDate(s, fs, date) || !s.AtEnd())
        return false;
    value = date;
    return true;
}

double StrToDate(const QString& text, const TFormatSettings& fs)
{
    double value = 0;
    if (!TryStrToDate(text, value, fs))
        throw EConvertError(FormatText(QStringLiteral("'%s' is not a valid date"), {text}));
    return value;
}

} // namespace vorel
