// Number conversions: general float text, parsing, pattern formatting,
// currency and rounding.
#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"
#include "foundation/locale/number_digits_p.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace vorel {

namespace detail {

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
// The decimals tried by the short path: counts, money and most measures.
constexpr int kMaxShortDecimals = 8;

// The short path of ToDecimalDigits: a double that is the nearest double to
// k / 10^m, with k below 10^15 (at most 15 significant digits) and m at
// most kMaxShortDecimals, rounds to exactly that decimal at 15 significant
// digits. It lies within half an ulp of it (|x| x 2^-53, about
// |x| x 1.1e-16), far less than half a unit of the 15th digit (at least
// |x| x 5e-16), so the rounding has no tie and no other result. k / 10^m
// in doubles is the nearest double to the quotient, both operands being
// exact, so comparing it with the value proves the premise.
bool ShortDecimalDigits(double magnitude, DecimalDigits& d)
{
    for (int m = 0; m <= kMaxShortDecimals; ++m) {
        const double scaled = magnitude * kPowersOfTen[m];
        if (!(scaled < 1e15))
            return false;
        const double k = std::nearbyint(scaled);
        if (k == 0 || k / kPowersOfTen[m] != magnitude)
            continue;
        char reversed[16];
        int n = 0;
        for (auto digits = static_cast<unsigned long long>(k); digits != 0; digits /= 10)
            reversed[n++] = char('0' + digits % 10);
        int first = 0; // trailing zeros of k are no significant digits
        while (reversed[first] == '0')
            ++first;
        d.Count = n - first;
        for (int i = 0; i < d.Count; ++i)
            d.Digits[i] = reversed[n - 1 - i];
        d.Exponent = n - m;
        return true;
    }
    return false;
}

} // namespace

DecimalDigits ToDecimalDigits(double value)
{
    DecimalDigits d;
    d.Negative = std::signbit(value);
    if (value == 0.0 || !std::isfinite(value)) {
        d.Negative = false;
        return d;
    }
    if (ShortDecimalDigits(std::fabs(value), d))
        return d;
    return ToDecimalDigitsByText(value);
}

DecimalDigits ToDecimalDigitsByText(double value)
{
    DecimalDigits d;
    d.Negative = std::signbit(value);
    if (value == 0.0 || !std::isfinite(value)) {
        d.Negative = false;
        return d;
    }
    // Scientific with 14 decimals rounds the exact binary value to 15
    // significant digits: "d.dddddddddddddde+XX".
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const int len = int(res.ptr - buf);
    int count = 0;
    int i = 0;
    for (; i < len && buf[i] != 'e'; ++i) {
        if (buf[i] >= '0' && buf[i] <= '9')
            d.Digits[count++] = buf[i];
    }
    int exp10 = 0;
    if (i + 1 < len)
        std::from_chars(buf + i + (buf[i + 1] == '+' ? 2 : 1), buf + len, exp10);
    while (count > 0 && d.Digits[count - 1] == '0')
        --count;
    d.Count = count;
    d.Exponent = exp10 + 1;
    if (count == 0)
        d.Negative = false;
    return d;
}

namespace {

// Keeps the first `keep` digits, rounding half away from zero on the next.
void RoundKeep(DecimalDigits& d, int keep)
{
    if (d.Count == 0 || keep >= d.Count)
        return;
    if (keep < 0) {
        d.Count = 0;
        d.Negative = false;
        return;
    }
    const bool up = d.Digits[keep] >= '5';
    d.Count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digits[i] == '9') {
            d.Digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.Digits[i];
        } else {
            // 999.5 -> 1000: one digit more in front.
            d.Digits[0] = '1';
            d.Count = 1;
            ++d.Exponent;
        }
    }
    while (d.Count > 0 && d.Digits[d.Count - 1] == '0')
        --d.Count;
    if (d.Count == 0)
        d.Negative = false;
}

} // namespace

void RoundToDecimals(DecimalDigits& d, int decimals)
{
    RoundKeep(d, d.Exponent + decimals);
}

void RoundToSignificant(DecimalDigits& d, int count)
{
    RoundKeep(d, count < 1 ? 1 : count);
}

double FromDecimalDigits(const DecimalDigits& d)
{
    if (d.Count == 0)
        return 0.0;
    char buf[48];
    int n = 0;
    if (d.Negative)
        buf[n++] = '-';
    for (int i = 0; i < d.Count; ++i)
        buf[n++] = d.Digits[i];
    n += std::snprintf(buf + n, sizeof buf - n, "e%d", d.Exponent - d.Count);
    double value = 0;
    std::from_chars(buf, buf + n, value);
    return value;
}

void AppendIntegerDigits(QString& out, const DecimalDigits& d, int minDigits, QChar thousands)
{
    const int have = d.Exponent > 0 ? d.Exponent : 0;
    const int total = have > minDigits ? have : minDigits;
    for (int i = 0; i < total; ++i) {
        const int fromLeft = i - (total - have); // index into the value's integer digits
        char c = '0';
        if (fromLeft >= 0 && fromLeft < d.Count)
            c = d.Digits[fromLeft];
        out += QChar(c);
        const int remaining = total - 1 - i;
        if (!thousands.isNull() && remaining > 0 && remaining % 3 == 0)
            out += thousands;
    }
}

char FractionDigit(const DecimalDigits& d, int i)
{
    const int index = d.Exponent + i;
    if (index < 0 || index >= d.Count)
        return '0';
    return d.Digits[index];
}

} // namespace detail

using detail::DecimalDigits;

namespace {

QString NonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

bool IsBlank(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

QString detail::FloatToStrGSep(double value, QChar decimal)
{
    if (!std::isfinite(value))
        return NonFiniteText(value);
    const DecimalDigits d = detail::ToDecimalDigits(value);
    if (d.IsZero())
        return QStringLiteral("0");
    // At most: sign, 15 digits, separator, "E-324" or 15 integer digits,
    // separator and 4 + 15 fraction digits.
    char16_t buf[48];
    int n = 0;
    if (d.Negative)
        buf[n++] = u'-';
    // 0.00001 is 0.1e-4: an exponent below -4 means below 0.00001; above 15
    // means more than 15 integer digits.
    if (d.Exponent > 15 || d.Exponent < -4) {
        buf[n++] = char16_t(d.Digits[0]);
        if (d.Count > 1) {
            buf[n++] = decimal.unicode();
            for (int i = 1; i < d.Count; ++i)
                buf[n++] = char16_t(d.Digits[i]);
        }
        int e = d.Exponent - 1;
        buf[n++] = u'E';
        buf[n++] = e < 0 ? u'-' : u'+';
        if (e < 0)
            e = -e;
        char digits[8];
        int k = 0;
        do {
            digits[k++] = char('0' + e % 10);
            e /= 10;
        } while (e != 0);
        while (k > 0)
            buf[n++] = char16_t(digits[--k]);
        return QString(reinterpret_cast<const QChar*>(buf), n);
    }
    if (d.Exponent <= 0) {
        buf[n++] = u'0';
    } else {
        for (int i = 0; i < d.Exponent; ++i)
            buf[n++] = i < d.Count ? char16_t(d.Digits[i]) : u'0';
    }
    const int decimals = d.Count - d.Exponent;
    if (decimals > 0) {
        buf[n++] = decimal.unicode();
        for (int i = 0; i < decimals; ++i)
            buf[n++] = char16_t(detail::FractionDigit(d, i));
    }
    return QString(reinterpret_cast<const QChar*>(buf), n);
}

QString FloatToStrG(double value, const TFormatSettings& fs)
{
    return detail::FloatToStrGSep(value, fs.DecimalSeparator);
}

bool detail::TryStrToFloatSep(QStringView text, double& value, QChar decimalSeparator)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    if (b == e)
        return false;
    // Rewrite into the C form that from_chars reads: [-]digits[.digits][e[-]digits].
    // Every character maps to at most one, so a short text needs no heap.
    char small[64];
    std::string large;
    char* out = small;
    if (e - b > qsizetype(sizeof small)) {
        large.resize(e - b);
        out = large.data();
    }
    char* const start = out;
    struct Sink {
        char*& p;
        void operator+=(char c) { *p++ = c; }
    } buf{out};
    qsizetype i = b;
    if (text[i] == u'+' || text[i] == u'-') {
        if (text[i] == u'-')
            buf += '-';
        ++i;
    }
    int mantissaDigits = 0;
    bool point = false;
    for (; i < e; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            buf += char(c.unicode());
            ++mantissaDigits;
        } else if (c == decimalSeparator && !point) {
            buf += '.';
            point = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < e && (text[i] == u'e' || text[i] == u'E')) {
        buf += 'e';
        ++i;
        if (i < e && (text[i] == u'+' || text[i] == u'-')) {
            if (text[i] == u'-')
                buf += '-';
            ++i;
        }
        int expDigits = 0;
        for (; i < e && text[i] >= u'0' && text[i] <= u'9'; ++i, ++expDigits)
            buf += char(text[i].unicode());
        if (expDigits == 0)
            return false;
    }
    if (i != e)
        return false;
    double parsed = 0;
    const auto [ptr, ec] = std::from_chars(start, out, parsed);
    if (ec != std::errc() || ptr != out || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool TryStrToFloat(const QString& text, double& value, const TFormatSettings& fs)
{
    return detail::TryStrToFloatSep(text, value, fs.DecimalSeparator);
}

double StrToFloat(const QString& text, const TFormatSettings& fs)
{
    double value = 0;
    if (!TryStrToFloat(text, value, fs))
        throw EConvertError(FormatText(QStringLiteral("'%s' is not a valid floating point value"), {text}));
    return value;
}

bool TryStrToInt64(const QString& text, qint64& value)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    qsizetype i = b;
    bool negative = false;
    if (i < e && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < e && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < e && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == e)
        return false;
    // Accumulate as a negative number so that the minimum fits.
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    qint64 acc = 0;
    for (; i < e; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        if (acc < (kMin + digit) / base)
            return false;
        acc = acc * base - digit;
    }
    if (!negative) {
        if (acc == kMin)
            return false;
        acc = -acc;
    }
    value = acc;
    return true;
}

qint64 StrToInt64(const QString& text)
{
    qint64 value = 0;
    if (!TryStrToInt64(text, value))
        throw EConvertError(FormatText(QStringLiteral("'%s' is not a valid integer value"), {text}));
    return value;
}

int StrToInt(const QString& text)
{
    qint64 value = 0;
    if (!TryStrToInt64(text, value) || value < std::numeric_limits<int>::min()
        || value > std::numeric_limits<int>::max())
        throw EConvertError(FormatText(QStringLiteral("'%s' is not a valid integer value"), {text}));
    return int(value);
}

qint64 RoundHalfEven(double value)
{
    // 2^63 itself does not fit; everything below it does.
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0)
        throw EConvertError(QStringLiteral("Invalid floating point operation"));
    double whole = std::trunc(value);
    const double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    else if (rest < -0.5 || (rest == -0.5 && std::fmod(whole, 2.0) != 0.0))
        whole -= 1.0;
    if (whole >= 9223372036854775808.0)
        throw EConvertError(QStringLiteral("Invalid floating point operation"));
    return qint64(whole);
}

double RoundHalfAwayFromZero(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    DecimalDigits d = detail::ToDecimalDigits(value);
    detail::RoundToDecimals(d, decimals);
    return detail::FromDecimalDigits(d);
}

// --- FormatFloat -------------------------------------------------------------

namespace {

// What one ";" section of a FormatFloat pattern asks for.
struct SectionInfo {
    int IntPlaceholders = 0;
    int MinIntDigits = 0;
    int DecPlaceholders = 0;
    int MinDecDigits = 0;
    int ExpDigits = 0;
    bool Thousands = false;
    bool Scientific = false;
    bool AnyPlaceholder = false;
};

bool IsExponentAt(QStringView s, qsizetype i)
{
    return (s[i] == u'E' || s[i] == u'e') && i + 1 < s.size() && (s[i + 1] == u'+' || s[i + 1] == u'-');
}

SectionInfo AnalyseSection(QStringView s)
{
    SectionInfo info;
    bool beforePoint = true;
    int firstIntZero = -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype close = s.indexOf(c, i + 1);
            i = close < 0 ? s.size() : close;
            continue;
        }
        if (info.Scientific) {
            continue; // everything after the exponent is literal
        }
        if (c == u'0' || c == u'#') {
            info.AnyPlaceholder = true;
            if (beforePoint) {
                if (c == u'0' && firstIntZero < 0)
                    firstIntZero = info.IntPlaceholders;
                ++info.IntPlaceholders;
            } else {
                ++info.DecPlaceholders;
                if (c == u'0')
                    info.MinDecDigits = info.DecPlaceholders;
            }
        } else if (c == u'.') {
            beforePoint = false;
        } else if (c == u',') {
            info.Thousands = true;
        } else if (IsExponentAt(s, i)) {
            info.Scientific = true;
            qsizetype j = i + 2;
            while (j < s.size() && s[j] == u'0' && info.ExpDigits < 4) {
                ++info.ExpDigits;
                ++j;
            }
            i = j - 1;
        }
    }
    if (firstIntZero >= 0)
        info.MinIntDigits = info.IntPlaceholders - firstIntZero;
    return info;
}

void SplitSections(QStringView pattern, QStringView sections[3], int& count)
{
    count = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= pattern.size(); ++i) {
        if (i < pattern.size() && (pattern[i] == u'"' || pattern[i] == u'\'')) {
            const qsizetype close = pattern.indexOf(pattern[i], i + 1);
            i = close < 0 ? pattern.size() - 1 : close;
            continue;
        }
        if (i == pattern.size() || pattern[i] == u';') {
            sections[count++] = pattern.mid(start, i - start);
            start = i + 1;
            if (count == 3)
                return;
        }
    }
}

// Renders |value| (already rounded into d) through one section.
QString RenderSection(QStringView s, const SectionInfo& info, const DecimalDigits& rounded, bool minus,
                      QChar decimalSeparator, QChar thousandSeparator)
{
    DecimalDigits d = rounded;
    int exponent = 0;
    if (info.Scientific && !d.IsZero()) {
        exponent = d.Exponent - info.IntPlaceholders;
        d.Exponent = info.IntPlaceholders;
    }
    // Integer digits as plain characters, padded to the minimum count.
    QString intDigits;
    detail::AppendIntegerDigits(intDigits, d, info.MinIntDigits, QChar());
    const int intLen = int(intDigits.size());
    int decimals = info.DecPlaceholders;
    while (decimals > info.MinDecDigits && detail::FractionDigit(d, decimals - 1) == '0')
        --decimals;

    QString out;
    out.reserve(s.size() + intLen + 8);
    if (minus)
        out += u'-';
    const QChar thousands = (info.Thousands && !info.Scientific) ? thousandSeparator : QChar();
    auto appendDigit = [&](int j) {
        out += intDigits[j];
        const int remaining = intLen - 1 - j;
        if (!thousands.isNull() && remaining > 0 && remaining % 3 == 0)
            out += thousands;
    };
    bool intWritten = info.IntPlaceholders == 0 && intLen == 0;
    auto flushInt = [&] {
        if (!intWritten) {
            for (int j = 0; j < intLen; ++j)
                appendDigit(j);
            intWritten = true;
        }
    };
    int intSeen = 0;
    int decSeen = 0;
    bool beforePoint = true;
    bool exponentDone = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype close = s.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? s.size() : close;
            out += s.mid(i + 1, end - i - 1);
            i = end;
            continue;
        }
        if (exponentDone) {
            out += c;
            continue;
        }
        if ((c == u'0' || c == u'#') && beforePoint) {
            // The k-th of P placeholders stands for the digit P-1-k places
            // from the right; the first one also takes every digit that has
            // no placeholder of its own.
            const int fromRight = info.IntPlaceholders - 1 - intSeen;
            const int j = intLen - 1 - fromRight;
            if (intSeen == 0) {
                for (int k = 0; k <= j; ++k)
                    appendDigit(k);
            } else if (j >= 0) {
                appendDigit(j);
            }
            ++intSeen;
            if (intSeen == info.IntPlaceholders)
                intWritten = true;
        } else if (c == u'0' || c == u'#') {
            if (decSeen < decimals)
                out += QChar(detail::FractionDigit(d, decSeen));
            ++decSeen;
        } else if (c == u'.') {
            if (beforePoint) {
                flushInt();
                beforePoint = false;
                if (decimals > 0)
                    out += decimalSeparator;
            }
        } else if (c == u',') {
            // Grouping is a property of the whole number, not of this spot.
        } else if (info.Scientific && IsExponentAt(s, i)) {
            flushInt();
            out += c;
            if (exponent < 0)
                out += u'-';
            else if (s[i + 1] == u'+')
                out += u'+';
            QString digits = QString::number(exponent < 0 ? -exponent : exponent);
            if (digits.size() < info.ExpDigits)
                digits.prepend(QString(info.ExpDigits - digits.size(), u'0'));
            out += digits;
            i += 1 + info.ExpDigits;
            exponentDone = true;
            beforePoint = false;
        } else {
            out += c;
        }
    }
    if (info.AnyPlaceholder)
        flushInt();
    return out;
}

DecimalDigits RoundForSection(double value, const SectionInfo& info)
{
    DecimalDigits d = detail::ToDecimalDigits(value);
    d.Negative = false;
    if (info.Scientific)
        detail::RoundToSignificant(d, info.IntPlaceholders + info.DecPlaceholders);
    else
        detail::RoundToDecimals(d, info.DecPlaceholders);
    return d;
}

} // namespace

QString detail::FormatFloatSep(QStringView pattern, double value, QChar decimalSeparator, QChar thousandSeparator)
{
    if (!std::isfinite(value))
        return NonFiniteText(value);
    QStringView sections[3];
    int count = 0;
    SplitSections(pattern, sections, count);
    if (pattern.isEmpty())
        return FloatToStrGSep(value, decimalSeparator);

    // Positive; negative (written without a minus); zero. An empty negative
    // or zero section falls back to the first.
    int index = 0;
    if (value < 0 && count >= 2 && !sections[1].isEmpty())
        index = 1;
    else if (value == 0 && count >= 3 && !sections[2].isEmpty())
        index = 2;
    QStringView section = sections[index];
    SectionInfo info = AnalyseSection(section);
    DecimalDigits d = RoundForSection(value, info);
    // A value that rounds to zero prints with the zero section.
    if (d.IsZero() && index != 2 && count >= 3 && !sections[2].isEmpty()) {
        index = 2;
        section = sections[2];
        info = AnalyseSection(section);
        d = RoundForSection(0.0, info);
    }
    if (section.isEmpty())
        return FloatToStrGSep(value, decimalSeparator);
    const bool minus = value < 0 && index == 0 && !d.IsZero();
    return RenderSection(section, info, d, minus, decimalSeparator, thousandSeparator);
}

QString FormatFloat(const QString& pattern, double value, const TFormatSettings& fs)
{
    return detail::FormatFloatSep(pattern, value, fs.DecimalSeparator, fs.ThousandSeparator);
}

QString FormatCurrency(double value, const TFormatSettings& fs)
{
    if (!std::isfinite(value))
        return NonFiniteText(value);
    const int decimals = qBound(0, fs.CurrencyDecimals, 18);
    DecimalDigits d = detail::ToDecimalDigits(value);
    detail::RoundToDecimals(d, decimals);
    QString amount;
    amount.reserve(24);
    detail::AppendIntegerDigits(amount, d, 1, fs.ThousandSeparator);
    if (decimals > 0) {
        amount += fs.DecimalSeparator;
        for (int i = 0; i < decimals; ++i)
            amount += QChar(detail::FractionDigit(d, i));
    }
    static constexpr const char16_t* kPositive[4] = {u"$1", u"1$", u"$ 1", u"1 $"};
    static constexpr const char16_t* kNegative[16] = {
        u"($1)", u"-$1", u"$-1", u"$1-", u"(1$)", u"-1$", u"1-$", u"1$-",
        u"-1 $", u"-$ 1", u"1 $-", u"$ 1-", u"$ -1", u"1- $", u"($ 1)", u"(1 $)"};
    const char16_t* shape = d.Negative ? kNegative[qBound(0, fs.NegCurrFormat, 15)]
                                       : kPositive[qBound(0, fs.CurrencyFormat, 3)];
    QString out;
    out.reserve(amount.size() + fs.CurrencyString.size() + 4);
    for (const char16_t* p = shape; *p; ++p) {
        if (*p == u'$')
            out += fs.CurrencyString;
        else if (*p == u'1')
            out += amount;
        else
            out += QChar(*p);
    }
    return out;
}

} // namespace vorel
