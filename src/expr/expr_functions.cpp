// The function library: 55 names, dispatched on the function resolved when
// the call was parsed.

#include "expr/expr_eval_p.h"
#include "expr/expr_typing_p.h"
#include "expr/expressions.h"

#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"
#include "foundation/values/random.h"
#include "foundation/locale/value_format.h"

#include <cmath>
#include <limits>

namespace vorel {

// --- conversions ---------------------------------------------------------------------

QString ExprText(const Variant& value)
{
    return value.ToString();
}

QString ExprStrictText(const Variant& value)
{
    return value.IsNull() ? QString() : value.ToStrictString();
}

double ExprNumber(const Variant& value)
{
    return value.IsNull() ? 0.0 : value.ToDouble();
}

qint64 ExprSafeInt64(const Variant& value)
{
    if (value.IsNull())
        return 0;
    try {
        return value.ToInt64();
    } catch (const EKVXError&) {
        return 0;
    }
}

int ExprSafeInt(const Variant& value)
{
    const qint64 v = ExprSafeInt64(value);
    return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max() ? 0 : int(v);
}

namespace {

[[noreturn]] void InvalidOp()
{
    throw EMathError(QStringLiteral("Invalid floating point operation"));
}

[[noreturn]] void Overflow()
{
    throw EMathError(QStringLiteral("Floating point overflow"));
}

[[noreturn]] void FloatZeroDivide()
{
    throw EZeroDivide(QStringLiteral("Floating point division by zero"));
}

// Float results are checked the way the classic floating-point unit raised:
// a domain error or a pole is an error, not a NaN or an infinity that would
// print as garbage.
double Checked(double result)
{
    if (std::isnan(result))
        InvalidOp();
    if (std::isinf(result))
        Overflow();
    return result;
}

double Divide(double x, double y)
{
    if (y == 0)
        FloatZeroDivide();
    return Checked(x / y);
}

double Ln(double x)
{
    if (x == 0)
        FloatZeroDivide(); // the pole of the logarithm
    if (!(x > 0))
        InvalidOp();
    return Checked(std::log(x));
}

double Sqrt(double x)
{
    if (x < 0 || std::isnan(x))
        InvalidOp();
    return Checked(std::sqrt(x));
}

// The classic Int and Frac: truncation toward zero and the rest.
double Trunc(double x)
{
    return std::trunc(x);
}

double Frac(double x)
{
    return x - std::trunc(x);
}

QString AsciiCase(const QString& s, bool upper)
{
    const char16_t from = upper ? u'a' : u'A';
    const char16_t to = upper ? u'z' : u'Z';
    // Only ASCII letters change; leave the text shared when none does.
    const qsizetype n = s.size();
    const QChar* in = s.constData();
    qsizetype i = 0;
    while (i < n && (in[i].unicode() < from || in[i].unicode() > to))
        ++i;
    if (i == n)
        return s;
    QString result(n, Qt::Uninitialized);
    QChar* out = result.data();
    std::copy(in, in + i, out);
    for (; i < n; ++i) {
        const char16_t c = in[i].unicode();
        out[i] = (c >= from && c <= to) ? QChar(char16_t(upper ? c - 32 : c + 32)) : in[i];
    }
    return result;
}

QString TrimControl(const QString& s, bool left, bool right)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    if (left) {
        while (begin < end && s[begin].unicode() <= 32)
            ++begin;
    }
    if (right) {
        while (end > begin && s[end - 1].unicode() <= 32)
            --end;
    }
    if (begin == 0 && end == s.size())
        return s;
    return s.mid(begin, end - begin);
}

Variant IntegerResult(qint64 v)
{
    if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
        return Variant(int(v));
    return Variant(v);
}

} // namespace

// --- power ----------------------------------------------------------------------------

double ExprPower(double base, double exponent)
{
    if (exponent == 0)
        return 1;
    if (base == 0 && exponent > 0)
        return 0;
    if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0) {
        // Repeated squaring, exact for small whole powers (POWER(2, 10) = 1024).
        quint32 n = quint32(std::fabs(exponent));
        double result = 1;
        double factor = base;
        while (n != 0) {
            if (n & 1)
                result *= factor;
            n >>= 1;
            if (n != 0)
                factor *= factor;
        }
        if (exponent > 0)
            return Checked(result);
        // 1 / b^n: an overflowing b^n means a result that underflows to 0,
        // one that underflows to 0 (b != 0) means a result too large.
        if (std::isinf(result))
            return 0;
        if (result == 0 && base != 0)
            Overflow();
        return Divide(1, result);
    }
    if (base < 0 || std::isnan(base))
        InvalidOp();
    return Checked(std::exp(exponent * Ln(base)));
}

// --- calls --------------------------------------------------------------------------------

Variant TExprEvaluator::CallFunction(const TExprNode* node) const
{
    const size_t argCount = node->FArgs ? node->FArgs->size() : 0;
    switch (node->FFunction) {
    case efUpper: return Variant(AsciiCase(ExprStrictText(Arg(node, 0)), true));
    case efLower: return Variant(AsciiCase(ExprStrictText(Arg(node, 0)), false));
    case efSubstring: {
        // Count, then start, then the text, as the classic evaluation did.
        const int count = ExprSafeInt(Arg(node, 2));
        const int start = ExprSafeInt(Arg(node, 1));
        const QString s = ExprStrictText(Arg(node, 0));
        if (count < 1 || start > s.size())
            return Variant(QString());
        const qsizetype from = start < 1 ? 0 : start - 1; // a start below 1 reads from the first character
        return Variant(s.mid(from, count));
    }
    case efIif: {
        const bool condition = Arg(node, 0).ToBool();
        return Arg(node, condition ? 1 : 2);
    }
    case efTrim: return Variant(TrimControl(ExprText(Arg(node, 0)), true, true));
    case efTrimLeft: return Variant(TrimControl(ExprText(Arg(node, 0)), true, false));
    case efTrimRight: return Variant(TrimControl(ExprText(Arg(node, 0)), false, true));
    case efGetDate: return Variant::FromDate(Now());
    case efStrToDate: return Variant::FromDate(ExprStrToDate(ExprStrictText(Arg(node, 0))));
    case efDate: return Variant(Trunc(ExprNumber(Arg(node, 0))));
    case efTime: return Variant(Frac(ExprNumber(Arg(node, 0))));
    case efYear:
    case efMonth:
    case efDay: {
        int year = 0, month = 0, day = 0;
        DecodeDate(ExprNumber(Arg(node, 0)), year, month, day);
        return Variant(node->FFunction == efYear ? year : node->FFunction == efMonth ? month : day);
    }
    case efHour:
    case efMinute:
    case efSecond: {
        int hour = 0, minute = 0, second = 0, msec = 0;
        DecodeTime(ExprNumber(Arg(node, 0)), hour, minute, second, msec);
        return Variant(node->FFunction == efHour ? hour : node->FFunction == efMinute ? minute : second);
    }
    case efSin: return Variant(Checked(std::sin(ExprNumber(Arg(node, 0)))));
    case efCos: return Variant(Checked(std::cos(ExprNumber(Arg(node, 0)))));
    case efTan: {
        const double x = ExprNumber(Arg(node, 0));
        return Variant(Divide(std::sin(x), std::cos(x)));
    }
    case efArcTan: return Variant(Checked(std::atan(ExprNumber(Arg(node, 0)))));
    case efArcSin:
    case efArcCos: {
        // The principal values: ARCSIN(1) is pi/2 and ARCCOS(-1) is pi.
        const double x = ExprNumber(Arg(node, 0));
        if (!(x >= -1 && x <= 1))
            InvalidOp();
        return Variant(node->FFunction == efArcSin ? std::asin(x) : std::acos(x));
    }
    case efExp: return Variant(Checked(std::exp(ExprNumber(Arg(node, 0)))));
    case efLn: return Variant(Ln(ExprNumber(Arg(node, 0))));
    case efLog: return Variant(Ln(ExprNumber(Arg(node, 0))) / std::log(10.0));
    case efSqr: {
        const double x = ExprNumber(Arg(node, 0));
        return Variant(Checked(x * x));
    }
    case efSqrt: return Variant(Sqrt(ExprNumber(Arg(node, 0))));
    case efAbs: return Variant(std::fabs(ExprNumber(Arg(node, 0))));
    case efFrac: return Variant(Frac(ExprNumber(Arg(node, 0))));
    case efInt: return Variant(Trunc(ExprNumber(Arg(node, 0))));
    case efRound: {
        // Halves go to the even neighbour; the variant's conversion raises
        // for a value no integer can hold.
        return IntegerResult(Variant(ExprNumber(Arg(node, 0))).ToInt64());
    }
    case efDiv: {
        const Variant a = Arg(node, 0);
        return Variant::IntDiv(a, Arg(node, 1));
    }
    case efPower: {
        const double base = ExprNumber(Arg(node, 0));
        return Variant(ExprPower(base, ExprNumber(Arg(node, 1))));
    }
    case efRandom: return Variant(RandomInt(ExprSafeInt(Arg(node, 0))));
    case efOrd: {
        // The code of an empty text is left open; Vorel gives 0.
        const QString s = ExprStrictText(Arg(node, 0));
        return Variant::FromWord(s.isEmpty() ? 0 : s[0].unicode());
    }
    case efChr: return Variant(QString(QChar(char16_t(quint32(ExprSafeInt(Arg(node, 0))) & 0xFFFF))));
    case efStrToInt: return Variant(StrToInt(ExprStrictText(Arg(node, 0))));
    case efIntToStr: return Variant(QString::number(ExprSafeInt64(Arg(node, 0))));
    case efStrToFloat: return Variant(StrToFloat(ExprStrictText(Arg(node, 0))));
    case efFloatToStr: {
        const Variant v = Arg(node, 0);
        double d = 0;
        try {
            d = v.IsNull() ? 0.0 : v.ToDouble();
        } catch (const EKVXError&) {
            d = 0;
        }
        return Variant(FloatToStrG(d));
    }
    case efDateToStr: {
        // A missing date prints as nothing rather than as 30 December 1899.
        const Variant v = Arg(node, 0);
        if (v.IsNull())
            return Variant(QString());
        return Variant(DateToStr(ExprNumber(v)));
    }
    case efLeft:
    case efRight: {
        const QString s = ExprStrictText(Arg(node, 0));
        const int n = ExprSafeInt(Arg(node, 1));
        if (n <= 0)
            return Variant(QString());
        return Variant(node->FFunction == efLeft ? s.left(n) : s.right(n));
    }
    case efLength: return Variant(int(ExprStrictText(Arg(node, 0)).size()));
    case efReplace: {
        QString s = ExprStrictText(Arg(node, 0));
        const QString before = ExprStrictText(Arg(node, 1));
        const QString after = ExprStrictText(Arg(node, 2));
        // An empty search text would match between every two characters.
        if (!before.isEmpty())
            s.replace(before, after);
        return Variant(s);
    }
    case efPos: {
        const QString sub = ExprStrictText(Arg(node, 0));
        const QString s = ExprStrictText(Arg(node, 1));
        return Variant(sub.isEmpty() ? 0 : int(s.indexOf(sub)) + 1);
    }
    case efFormat: {
        // As a text control prints the value with that Format property; a
        // missing value prints as nothing, as in a calculation.
        const Variant v = Arg(node, 0);
        const QString descriptor = ExprStrictText(Arg(node, 1));
        if (v.IsNull())
            return Variant(QString());
        return Variant(GetTextByFormat(GetValueStr(v, descriptor), descriptor, 0));
    }
    case efFormatFloat: {
        const QString pattern = ExprStrictText(Arg(node, 0));
        return Variant(FormatFloat(pattern, ExprNumber(Arg(node, 1))));
    }
    case efCoalesce:
        // Arguments are evaluated up to the first that has a value.
        for (size_t i = 0; i < argCount; ++i) {
            Variant v = Arg(node, i);
            if (!v.IsNull())
                return v;
        }
        return Variant::Null();
    case efSum:
    case efAvg: {
        Variant sum = Variant::Null();
        for (size_t i = 0; i < argCount; ++i)
            sum = sum + Arg(node, i);
        if (node->FFunction == efAvg && argCount > 0)
            return sum / Variant(int(argCount));
        return sum;
    }
    case efCount: return Variant(int(argCount)); // the arguments are not evaluated
    case efMin: {
        Variant result = Variant::Null();
        for (size_t i = 0; i < argCount; ++i) {
            Variant v = Arg(node, i);
            if (result.IsNull() || result.Compare(v) > 0)
                result = std::move(v);
        }
        return result;
    }
    case efMax: {
        Variant result = Variant::Null();
        for (size_t i = 0; i < argCount; ++i) {
            Variant v = Arg(node, i);
            if (result.Compare(v) < 0)
                result = std::move(v);
        }
        return result;
    }
    case efCountStar:
    case efNone: break;
    }
    return Variant::Null();
}

} // namespace vorel
