#include "foundation/values/variant.h"

#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <limits>

namespace vorel {

namespace {

constexpr qint64 kCurrencyScale = 10000;

// How an operand takes part in arithmetic and comparison.
enum class Kind { Empty, Null, Bool, Int, Float, Currency, Date, String };

Kind KindOf(TVarType t)
{
    switch (t) {
    case varEmpty: return Kind::Empty;
    case varNull: return Kind::Null;
    case varBoolean: return Kind::Bool;
    case varSingle:
    case varDouble: return Kind::Float;
    case varCurrency: return Kind::Currency;
    case varDate: return Kind::Date;
    case varString: return Kind::String;
    default: return Kind::Int;
    }
}

bool FitsInt32(qint64 v)
{
    return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}

// Integer results keep 32 bits while both operands had at most 32 and the
// value fits; otherwise they widen to 64 bits, and past that to a double.
Variant IntResult(qint64 v, bool wide)
{
    if (!wide && FitsInt32(v))
        return Variant(int(v));
    return Variant(v);
}

bool IsWideInt(TVarType t)
{
    return t == varInt64 || t == varLongWord;
}

enum class Op { Add, Sub, Mul, Div };

[[noreturn]] void ZeroDivide()
{
    throw EZeroDivide(QStringLiteral("Division by zero"));
}

} // namespace

// --- construction -------------------------------------------------------------------

Variant Variant::Null()
{
    Variant v;
    v.FType = varNull;
    return v;
}

#define VOREL_INT_FACTORY(Name, Ctype, Tag) \
    Variant Variant::Name(Ctype value)      \
    {                                       \
        Variant v;                          \
        v.FType = Tag;                      \
        v.FInt = value;                     \
        return v;                           \
    }
VOREL_INT_FACTORY(FromSmallint, qint16, varSmallint)
VOREL_INT_FACTORY(FromShortInt, qint8, varShortInt)
VOREL_INT_FACTORY(FromByte, quint8, varByte)
VOREL_INT_FACTORY(FromWord, quint16, varWord)
VOREL_INT_FACTORY(FromLongWord, quint32, varLongWord)
VOREL_INT_FACTORY(FromCurrencyRaw, qint64, varCurrency)
#undef VOREL_INT_FACTORY

Variant Variant::FromSingle(float value)
{
    Variant v;
    v.FType = varSingle;
    v.FDouble = value;
    return v;
}

Variant Variant::FromDate(double dayNumber)
{
    Variant v;
    v.FType = varDate;
    v.FDouble = dayNumber;
    return v;
}

Variant Variant::FromCurrency(double amount)
{
    return FromCurrencyRaw(qint64(std::llround(amount * kCurrencyScale)));
}

Variant Variant::FromQVariant(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return Null();
    switch (v.typeId()) {
    case QMetaType::Bool: return Variant(v.toBool());
    case QMetaType::Int: return Variant(v.toInt());
    case QMetaType::Short: return FromSmallint(qint16(v.toInt()));
    case QMetaType::UShort: return FromWord(quint16(v.toUInt()));
    case QMetaType::Char:
    case QMetaType::SChar: return FromShortInt(qint8(v.toInt()));
    case QMetaType::UChar: return FromByte(quint8(v.toUInt()));
    case QMetaType::UInt: return FromLongWord(v.toUInt());
    case QMetaType::Long:
    case QMetaType::LongLong: return Variant(qint64(v.toLongLong()));
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return Variant(double(u));
        return Variant(qint64(u));
    }
    case QMetaType::Float: return FromSingle(v.toFloat());
    case QMetaType::Double: return Variant(v.toDouble());
    case QMetaType::QDate: return FromDate(DateTimeFromQt(QDateTime(v.toDate(), QTime(0, 0))));
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        return FromDate(t.msecsSinceStartOfDay() / 86400000.0);
    }
    case QMetaType::QDateTime: return FromDate(DateTimeFromQt(v.toDateTime()));
    case QMetaType::QString: return Variant(v.toString());
    case QMetaType::QByteArray: return Variant(QString::fromUtf8(v.toByteArray()));
    default:
        if (v.canConvert<QString>())
            return Variant(v.toString());
        return Null();
    }
}

// --- type tests -------------------------------------------------------------------------

bool Variant::IsInteger() const
{
    return KindOf(FType) == Kind::Int;
}

bool Variant::IsNumeric() const
{
    const Kind k = KindOf(FType);
    return k == Kind::Int || k == Kind::Float || k == Kind::Currency;
}

bool Variant::IsOrdinal() const
{
    return IsInteger() || FType == varBoolean;
}

QString Variant::TypeName(TVarType type)
{
    switch (type) {
    case varEmpty: return QStringLiteral("Empty");
    case varNull: return QStringLiteral("Null");
    case varSmallint: return QStringLiteral("Smallint");
    case varInteger: return QStringLiteral("Integer");
    case varSingle: return QStringLiteral("Single");
    case varDouble: return QStringLiteral("Double");
    case varCurrency: return QStringLiteral("Currency");
    case varDate: return QStringLiteral("Date");
    case varBoolean: return QStringLiteral("Boolean");
    case varShortInt: return QStringLiteral("ShortInt");
    case varByte: return QStringLiteral("Byte");
    case varWord: return QStringLiteral("Word");
    case varLongWord: return QStringLiteral("LongWord");
    case varInt64: return QStringLiteral("Int64");
    case varString: return QStringLiteral("String");
    }
    return QStringLiteral("Unknown");
}

void Variant::CastError(TVarType target) const
{
    throw EVariantError(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                            .arg(TypeName(FType), TypeName(target)));
}

// --- conversions ------------------------------------------------------------------------

QString Variant::ToString() const
{
    if (FType == varNull)
        return {};
    return ToStrictString();
}

QString Variant::ToStrictString() const
{
    switch (KindOf(FType)) {
    case Kind::Empty: return {};
    case Kind::Null: CastError(varString);
    case Kind::Bool: return FInt ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int: return QString::number(FInt);
    case Kind::Float:
        if (FType == varSingle) {
            // A single has about 7 significant digits; more would print the
            // binary noise of the widening (0.1 -> 0.100000001490116).
            return FloatToStrG(QString::number(FDouble, 'g', 7).toDouble());
        }
        return FloatToStrG(FDouble);
    case Kind::Currency: return FloatToStrG(double(FInt) / kCurrencyScale);
    case Kind::Date: return DateTimeToStr(FDouble);
    case Kind::String: return FString;
    }
    return {};
}

double Variant::ToDouble() const
{
    switch (KindOf(FType)) {
    case Kind::Empty: return 0;
    case Kind::Null: CastError(varDouble);
    case Kind::Bool: return FInt ? -1.0 : 0.0; // the classic variant true is -1
    case Kind::Int: return double(FInt);
    case Kind::Float:
    case Kind::Date: return FDouble;
    case Kind::Currency: return double(FInt) / kCurrencyScale;
    case Kind::String: {
        double d = 0;
        if (TryStrToFloat(FString, d))
            return d;
        CastError(varDouble);
    }
    }
    return 0;
}

qint64 Variant::ToInt64() const
{
    auto fromDouble = [this](double d) -> qint64 {
        if (!std::isfinite(d) || d >= 9.2233720368547758e18 || d < -9.2233720368547758e18)
            CastError(varInt64);
        return RoundHalfEven(d);
    };
    switch (KindOf(FType)) {
    case Kind::Empty: return 0;
    case Kind::Null: CastError(varInt64);
    case Kind::Bool: return FInt ? -1 : 0;
    case Kind::Int: return FInt;
    case Kind::Float:
    case Kind::Date: return fromDouble(FDouble);
    case Kind::Currency: {
        // Round half to even on the fixed-point value itself, exactly.
        qint64 q = FInt / kCurrencyScale;
        const qint64 r = FInt % kCurrencyScale;
        const qint64 half = kCurrencyScale / 2;
        if (r > half || (r == half && (q & 1)))
            ++q;
        else if (r < -half || (r == -half && (q & 1)))
            --q;
        return q;
    }
    case Kind::String: {
        qint64 i = 0;
        if (TryStrToInt64(FString, i))
            return i;
        double d = 0;
        if (TryStrToFloat(FString, d))
            return fromDouble(d);
        CastError(varInt64);
    }
    }
    return 0;
}

int Variant::ToInt() const
{
    const qint64 v = ToInt64();
    if (!FitsInt32(v))
        CastError(varInteger);
    return int(v);
}

bool Variant::ToBool() const
{
    switch (KindOf(FType)) {
    case Kind::Empty: return false;
    case Kind::Null: CastError(varBoolean);
    case Kind::Bool:
    case Kind::Int:
    case Kind::Currency: return FInt != 0;
    case Kind::Float:
    case Kind::Date: return FDouble != 0;
    case Kind::String: {
        const QString t = FString.trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        double d = 0;
        if (TryStrToFloat(t, d))
            return d != 0;
        CastError(varBoolean);
    }
    }
    return false;
}

qint64 Variant::CurrencyRaw() const
{
    if (FType == varCurrency)
        return FInt;
    const double d = ToDouble() * kCurrencyScale;
    if (!std::isfinite(d) || std::fabs(d) >= 9.2233720368547758e18)
        CastError(varCurrency);
    return qint64(std::llround(d));
}

QVariant Variant::ToQVariant() const
{
    switch (KindOf(FType)) {
    case Kind::Empty: return {};
    case Kind::Null: return QVariant(QMetaType(QMetaType::QString)); // a typed null
    case Kind::Bool: return QVariant(FInt != 0);
    case Kind::Int: return FitsInt32(FInt) && !IsWideInt(FType) ? QVariant(int(FInt)) : QVariant(qlonglong(FInt));
    case Kind::Float: return QVariant(FDouble);
    case Kind::Currency: return QVariant(double(FInt) / kCurrencyScale);
    case Kind::Date: return QVariant(DateTimeToQt(FDouble));
    case Kind::String: return QVariant(FString);
    }
    return {};
}

// --- arithmetic ---------------------------------------------------------------------------

namespace {

Variant Arith(Op op, Variant a, Variant b)
{
    Kind ka = KindOf(a.Type());
    Kind kb = KindOf(b.Type());

    if (ka == Kind::Null || kb == Kind::Null) {
        // Addition treats Null as absent so that a sum that starts from Null
        // adds up; every other operator propagates Null.
        if (op == Op::Add) {
            if (ka == Kind::Null && kb != Kind::Null && kb != Kind::Empty)
                return b;
            if (kb == Kind::Null && ka != Kind::Null && ka != Kind::Empty)
                return a;
        }
        return Variant::Null();
    }
    // Empty is 0 beside a number and "" beside a string.
    if (ka == Kind::Empty) {
        a = kb == Kind::String ? Variant(QString()) : Variant(0);
        ka = KindOf(a.Type());
    }
    if (kb == Kind::Empty) {
        b = ka == Kind::String ? Variant(QString()) : Variant(0);
        kb = KindOf(b.Type());
    }

    if (ka == Kind::String && kb == Kind::String) {
        if (op == Op::Add)
            return Variant(a.ToString() + b.ToString());
        ka = kb = Kind::Float;
        a = Variant(a.ToDouble());
        b = Variant(b.ToDouble());
    } else if (ka == Kind::String || kb == Kind::String) {
        // A string beside a number converts to a number (raising when it is not one).
        if (ka == Kind::String) {
            a = Variant(a.ToDouble());
            ka = Kind::Float;
        }
        if (kb == Kind::String) {
            b = Variant(b.ToDouble());
            kb = Kind::Float;
        }
    }
    if (ka == Kind::Bool) {
        a = Variant(int(a.ToInt64()));
        ka = Kind::Int;
    }
    if (kb == Kind::Bool) {
        b = Variant(int(b.ToInt64()));
        kb = Kind::Int;
    }

    if (op == Op::Div) {
        const double divisor = b.ToDouble();
        if (divisor == 0)
            ZeroDivide();
        return Variant(a.ToDouble() / divisor);
    }

    // A date-time plus or minus a number stays a date-time; the difference of
    // two date-times is a plain number of days.
    if (ka == Kind::Date || kb == Kind::Date) {
        const double x = a.ToDouble();
        const double y = b.ToDouble();
        switch (op) {
        case Op::Add: return Variant::FromDate(x + y);
        case Op::Sub:
            if (ka == Kind::Date && kb == Kind::Date)
                return Variant(x - y);
            return Variant::FromDate(x - y);
        default: return Variant(x * y);
        }
    }

    if (ka == Kind::Float || kb == Kind::Float) {
        const double x = a.ToDouble();
        const double y = b.ToDouble();
        switch (op) {
        case Op::Add: return Variant(x + y);
        case Op::Sub: return Variant(x - y);
        default: return Variant(x * y);
        }
    }

    if (ka == Kind::Currency || kb == Kind::Currency) {
        const qint64 x = a.CurrencyRaw();
        const qint64 y = b.CurrencyRaw();
        qint64 r = 0;
        switch (op) {
        case Op::Add:
            if (!__builtin_add_overflow(x, y, &r))
                return Variant::FromCurrencyRaw(r);
            return Variant((double(x) + double(y)) / kCurrencyScale);
        case Op::Sub:
            if (!__builtin_sub_overflow(x, y, &r))
                return Variant::FromCurrencyRaw(r);
            return Variant((double(x) - double(y)) / kCurrencyScale);
        default: {
            // (x/s) * (y/s) = x*y/s^2, stored scaled by s: x*y/s, rounded.
            const __int128 p = __int128(x) * y;
            const __int128 q = (p >= 0 ? p + kCurrencyScale / 2 : p - kCurrencyScale / 2) / kCurrencyScale;
            if (q >= std::numeric_limits<qint64>::min() && q <= std::numeric_limits<qint64>::max())
                return Variant::FromCurrencyRaw(qint64(q));
            return Variant(double(x) / kCurrencyScale * (double(y) / kCurrencyScale));
        }
        }
    }

    // Both integers.
    const qint64 x = a.ToInt64();
    const qint64 y = b.ToInt64();
    const bool wide = IsWideInt(a.Type()) || IsWideInt(b.Type());
    qint64 r = 0;
    bool overflow = false;
    switch (op) {
    case Op::Add: overflow = __builtin_add_overflow(x, y, &r); break;
    case Op::Sub: overflow = __builtin_sub_overflow(x, y, &r); break;
    default: overflow = __builtin_mul_overflow(x, y, &r); break;
    }
    if (overflow) {
        const double dx = double(x);
        const double dy = double(y);
        return Variant(op == Op::Add ? dx + dy : op == Op::Sub ? dx - dy : dx * dy);
    }
    return IntResult(r, wide);
}

} // namespace

Variant operator+(const Variant& a, const Variant& b) { return Arith(Op::Add, a, b); }
Variant operator-(const Variant& a, const Variant& b) { return Arith(Op::Sub, a, b); }
Variant operator*(const Variant& a, const Variant& b) { return Arith(Op::Mul, a, b); }
Variant operator/(const Variant& a, const Variant& b) { return Arith(Op::Div, a, b); }

Variant Variant::IntDiv(const Variant& a, const Variant& b)
{
    if (a.IsNull() || b.IsNull())
        return Null();
    const qint64 x = a.ToInt64();
    const qint64 y = b.ToInt64();
    if (y == 0)
        ZeroDivide();
    if (x == std::numeric_limits<qint64>::min() && y == -1)
        return Variant(-double(x));
    return IntResult(x / y, IsWideInt(a.Type()) || IsWideInt(b.Type()));
}

Variant Variant::Negate() const
{
    switch (KindOf(FType)) {
    case Kind::Empty: return Variant(0);
    case Kind::Null: return Null();
    case Kind::Bool:
    case Kind::Int:
        if (FInt == std::numeric_limits<qint64>::min())
            return Variant(-double(FInt));
        return IntResult(-FInt, IsWideInt(FType));
    case Kind::Float: return Variant(-FDouble);
    case Kind::Currency: return FromCurrencyRaw(-FInt);
    case Kind::Date: return FromDate(-FDouble);
    case Kind::String: return Variant(-ToDouble());
    }
    return {};
}

// --- comparison -----------------------------------------------------------------------------

namespace {

int Sign(double d)
{
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

template <typename T>
int Cmp(T x, T y)
{
    return x < y ? -1 : (y < x ? 1 : 0);
}

} // namespace

int Variant::Compare(const Variant& other) const
{
    Kind ka = KindOf(FType);
    Kind kb = KindOf(other.FType);
    if (ka == Kind::Null || kb == Kind::Null) {
        if (ka == kb)
            return 0;
        return ka == Kind::Null ? -1 : 1; // Null orders first
    }
    if (ka == Kind::Empty && kb == Kind::Empty)
        return 0;
    if (ka == Kind::Empty)
        return kb == Kind::String ? (other.FString.isEmpty() ? 0 : -1) : Variant(0).Compare(other);
    if (kb == Kind::Empty)
        return ka == Kind::String ? (FString.isEmpty() ? 0 : 1) : Compare(Variant(0));
    if (ka == Kind::String && kb == Kind::String) {
        if (FString == other.FString)
            return 0;
        const int c = FString.localeAwareCompare(other.FString);
        return c != 0 ? Sign(c) : Sign(FString.compare(other.FString));
    }
    if (ka == Kind::Bool && kb == Kind::Bool)
        return Cmp(FInt != 0, other.FInt != 0); // false before true
    if (ka == Kind::Int && kb == Kind::Int)
        return Cmp(FInt, other.FInt);
    if (ka == Kind::Currency && kb == Kind::Currency)
        return Cmp(FInt, other.FInt);
    return Cmp(ToDouble(), other.ToDouble());
}

bool Variant::Equals(const Variant& other) const
{
    const Kind ka = KindOf(FType);
    const Kind kb = KindOf(other.FType);
    if (ka == Kind::Null || kb == Kind::Null)
        return ka == kb;
    if (ka == Kind::String && kb == Kind::String)
        return FString == other.FString;
    try {
        return Compare(other) == 0;
    } catch (const EVariantError&) {
        return false; // a text that is not a number never equals a number
    }
}

bool Variant::Identical(const Variant& other) const
{
    if (FType != other.FType)
        return false;
    switch (KindOf(FType)) {
    case Kind::Empty:
    case Kind::Null: return true;
    case Kind::Float:
    case Kind::Date: return FDouble == other.FDouble;
    case Kind::String: return FString == other.FString;
    default: return FInt == other.FInt;
    }
}

} // namespace vorel
