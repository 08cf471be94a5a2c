// Form values: canonical kinds, equality, the 80-bit extended conversions,
// the default 8-bit decoder, the resource header and format recognition.

#include "foundation/values/byte_io.h"
#include "foundation/forms/form_stream.h"

#include <QStringDecoder>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace vorel {

static_assert(LDBL_MANT_DIG >= 53, "long double must hold every double");

QString ValueTypeName(TValueType kind)
{
    static const char* const names[] = {"vaNull", "vaList", "vaInt8", "vaInt16", "vaInt32", "vaExtended",
        "vaString", "vaIdent", "vaFalse", "vaTrue", "vaBinary", "vaSet", "vaLString", "vaNil", "vaCollection",
        "vaSingle", "vaCurrency", "vaDate", "vaWString", "vaInt64", "vaUTF8String", "vaDouble"};
    if (kind <= kLastValueType)
        return QString::fromLatin1(names[kind]);
    return QStringLiteral("value kind %1").arg(int(kind));
}

// --- canonical constructors ----------------------------------------------------------------

FormValue FormValue::Simple(TValueType kind)
{
    FormValue v;
    v.Kind = kind;
    return v;
}

FormValue FormValue::Boolean(bool v)
{
    return Simple(v ? vaTrue : vaFalse);
}

FormValue FormValue::Integer(std::int64_t value)
{
    FormValue v;
    v.Int = value;
    if (value >= INT8_MIN && value <= INT8_MAX)
        v.Kind = vaInt8;
    else if (value >= INT16_MIN && value <= INT16_MAX)
        v.Kind = vaInt16;
    else if (value >= INT32_MIN && value <= INT32_MAX)
        v.Kind = vaInt32;
    else
        v.Kind = vaInt64;
    return v;
}

static bool HasUnpairedSurrogate(const QString& text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text[i + 1].isLowSurrogate())
                ++i;
            else
                return true;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

FormValue FormValue::String(const QString& text)
{
    FormValue v;
    v.Text = text;
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        v.Bytes = text.toLatin1();
        v.Kind = v.Bytes.size() <= 255 ? vaString : vaLString;
        return v;
    }
    // The Unicode-era writer keeps whichever of UTF-8 and UTF-16 is shorter;
    // text with a broken surrogate pair has no UTF-8 form and stays UTF-16.
    if (!HasUnpairedSurrogate(text)) {
        QByteArray utf8 = text.toUtf8();
        if (utf8.size() < text.size() * 2) {
            v.Kind = vaUTF8String;
            v.Bytes = std::move(utf8);
            return v;
        }
    }
    v.Kind = vaWString;
    return v;
}

FormValue FormValue::Ident(const QString& ident)
{
    if (ident.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return Simple(vaFalse);
    if (ident.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return Simple(vaTrue);
    if (ident.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0)
        return Simple(vaNull);
    if (ident.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0)
        return Simple(vaNil);
    FormValue v;
    v.Kind = vaIdent;
    v.Text = ident;
    return v;
}

FormValue FormValue::Float(long double value)
{
    FormValue v;
    v.Kind = vaExtended;
    v.Extended = LongDoubleToExtended(value);
    return v;
}

FormValue FormValue::Single(float value)
{
    FormValue v;
    v.Kind = vaSingle;
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    v.Int = bits;
    return v;
}

FormValue FormValue::Double(double value)
{
    FormValue v;
    v.Kind = vaDouble;
    std::memcpy(&v.Int, &value, 8);
    return v;
}

FormValue FormValue::Date(double dayNumber)
{
    FormValue v = Double(dayNumber);
    v.Kind = vaDate;
    return v;
}

FormValue FormValue::CurrencyRaw(std::int64_t scaledBy10000)
{
    FormValue v;
    v.Kind = vaCurrency;
    v.Int = scaledBy10000;
    return v;
}

FormValue FormValue::Binary(const QByteArray& bytes)
{
    FormValue v;
    v.Kind = vaBinary;
    v.Bytes = bytes;
    return v;
}

FormValue FormValue::SetOf(const QStringList& names)
{
    FormValue v;
    v.Kind = vaSet;
    v.Set = names;
    return v;
}

FormValue FormValue::ListOf(std::vector<FormValue> items)
{
    FormValue v;
    v.Kind = vaList;
    v.List = std::move(items);
    return v;
}

FormValue FormValue::Collection(std::vector<FormCollectionItem> items)
{
    FormValue v;
    v.Kind = vaCollection;
    v.Items = std::move(items);
    return v;
}

long double FormValue::ToLongDouble() const
{
    switch (Kind) {
    case vaExtended:
        return ExtendedToLongDouble(Extended);
    case vaSingle: {
        const std::uint32_t bits = std::uint32_t(Int);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    case vaDouble:
    case vaDate: {
        double d;
        std::memcpy(&d, &Int, 8);
        return d;
    }
    case vaCurrency:
        return (long double)Int / 10000.0L;
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
        return (long double)Int;
    default:
        return 0;
    }
}

bool operator==(const FormValue& a, const FormValue& b)
{
    if (a.Kind != b.Kind)
        return false;
    switch (a.Kind) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
    case vaCurrency:
    case vaSingle:
    case vaDouble:
    case vaDate:
        return a.Int == b.Int;
    case vaExtended:
        return a.Extended == b.Extended;
    case vaString:
    case vaLString:
    case vaUTF8String:
        return a.Bytes == b.Bytes;
    case vaWString:
    case vaIdent:
        return a.Text == b.Text;
    case vaBinary:
        return a.Bytes == b.Bytes;
    case vaSet:
        return a.Set == b.Set;
    case vaList:
        return a.List == b.List;
    case vaCollection:
        return a.Items == b.Items;
    default:
        return true;
    }
}

bool operator==(const FormComponent& a, const FormComponent& b)
{
    if (a.Flags != b.Flags || a.ClassName != b.ClassName || a.Name != b.Name)
        return false;
    if ((a.Flags & ffChildPos) && !(a.ChildPos == b.ChildPos))
        return false;
    return a.Properties == b.Properties && a.Children == b.Children;
}

// --- 80-bit extended -------------------------------------------------------------------------
// Layout: 64-bit mantissa with an explicit integer bit, then 15 bits of
// exponent (bias 16383) and the sign, little-endian.

static constexpr int kExtendedBias = 16383;

std::array<std::uint8_t, 10> LongDoubleToExtended(long double v)
{
    std::uint64_t mantissa = 0;
    std::uint16_t exponent = 0;
    const bool negative = std::signbit(v);
    if (std::isnan(v)) {
        exponent = 0x7FFF;
        mantissa = 0xC000000000000000ull; // the default quiet NaN
    } else if (std::isinf(v)) {
        exponent = 0x7FFF;
        mantissa = 0x8000000000000000ull;
    } else if (v != 0) {
        int e = 0;
        const long double m = std::frexp(std::fabs(v), &e); // |v| = m * 2^e, m in [0.5, 1)
        const int biased = e - 1 + kExtendedBias;
        if (biased >= 0x7FFF) {
            exponent = 0x7FFF;
            mantissa = 0x8000000000000000ull;
        } else if (biased >= 1) {
            exponent = std::uint16_t(biased);
            mantissa = std::uint64_t(std::ldexp(m, 64));
        } else {
            // Denormal: the value is mantissa * 2^(1 - bias - 63).
            mantissa = std::uint64_t(std::nearbyint(std::ldexp(std::fabs(v), kExtendedBias - 1 + 63)));
        }
    }
    if (negative)
        exponent |= 0x8000;
    std::array<std::uint8_t, 10> out{};
    for (int i = 0; i < 8; ++i)
        out[i] = std::uint8_t(mantissa >> (8 * i));
    out[8] = std::uint8_t(exponent & 0xFF);
    out[9] = std::uint8_t(exponent >> 8);
    return out;
}

long double ExtendedToLongDouble(const std::array<std::uint8_t, 10>& bytes)
{
    std::uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= std::uint64_t(bytes[i]) << (8 * i);
    const std::uint16_t se = std::uint16_t(bytes[8] | (bytes[9] << 8));
    const bool negative = (se & 0x8000) != 0;
    const int exponent = se & 0x7FFF;
    long double value;
    if (exponent == 0x7FFF) {
        value = (mantissa << 1) == 0 ? HUGE_VALL : std::nanl("");
    } else if (exponent == 0) {
        value = std::ldexp((long double)mantissa, 1 - kExtendedBias - 63);
    } else {
        value = std::ldexp((long double)mantissa, exponent - kExtendedBias - 63);
    }
    return negative ? -value : value;
}

// --- Windows-1252 ------------------------------------------------------------------------------

QString DecodeWindows1252(QByteArrayView bytes)
{
    // 0x80..0x9F; the five unassigned bytes map to the same code point, as
    // the platform's own conversion does.
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
        0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* p = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = std::uint8_t(bytes[i]);
        p[i] = (b >= 0x80 && b <= 0x9F) ? QChar(high[b - 0x80]) : QChar(b);
    }
    return out;
}

// --- resource header ---------------------------------------------------------------------------

static constexpr std::uint16_t kRcData = 10;
static constexpr std::uint16_t kResourceFlags = 0x1030; // moveable, pure, discardable

QByteArray WrapFormResource(const QString& name, QByteArrayView data)
{
    if (data.size() > 0x7FFFFFFF)
        throw EStreamError(QStringLiteral("Error writing resource %1: the data is too large").arg(name));
    QByteArray out;
    out.reserve(data.size() + name.size() + 10);
    bytes::writeU8(out, 0xFF);
    bytes::writeU16le(out, kRcData);
    out.append(name.toUpper().toLatin1());
    bytes::writeU8(out, 0);
    bytes::writeU16le(out, kResourceFlags);
    bytes::writeU32le(out, std::uint32_t(data.size()));
    out.append(data.data(), data.size());
    return out;
}

bool LooksLikeFormResource(QByteArrayView data)
{
    return data.size() >= 3 && std::uint8_t(data[0]) == 0xFF && std::uint8_t(data[1]) == kRcData
        && std::uint8_t(data[2]) == 0;
}

FormResource ReadFormResourceHeader(QByteArrayView data, std::int64_t baseOffset, bool allowShortData)
{
    bytes::ByteReader in(data);
    auto fail = [&](const QString& why) -> void {
        TErrorPlace place;
        place.Offset = baseOffset + in.Offset();
        throw EStreamError(QStringLiteral("Error reading resource header at offset %1: %2").arg(place.Offset).arg(why),
                           place);
    };
    if (!in.Has(3))
        fail(QStringLiteral("Stream read error"));
    if (in.u8() != 0xFF)
        fail(QStringLiteral("Invalid stream format (a resource header starts with the byte 0xFF)"));
    const std::uint16_t type = in.u16le();
    if (type != kRcData)
        fail(QStringLiteral("Invalid stream format (resource type %1, expected 10)").arg(type));
    FormResource res;
    if (in.PeekU8() == 0xFF) { // a numeric name
        in.u8();
        if (!in.Has(2))
            fail(QStringLiteral("Stream read error"));
        res.Name = QStringLiteral("#%1").arg(in.u16le());
    } else {
        const qsizetype start = in.Offset();
        while (in.Has(1) && in.PeekU8() != 0)
            in.u8();
        if (!in.Has(1))
            fail(QStringLiteral("Stream read error (the resource name has no terminating zero)"));
        res.Name = QString::fromLatin1(data.sliced(start, in.Offset() - start));
        in.u8();
    }
    if (!in.Has(6))
        fail(QStringLiteral("Stream read error"));
    in.u16le(); // memory flags: any value is accepted
    const std::uint32_t size = in.u32le();
    res.DataOffset = in.Offset();
    res.DataSize = size;
    if (!in.Has(size) && allowShortData) {
        res.DataSize = in.Remaining();
        res.Truncated = true;
    } else if (!in.Has(size)) {
        fail(QStringLiteral("Stream read error (resource data of %1 bytes, %2 remain)").arg(size).arg(in.Remaining()));
    }
    return res;
}

// --- recognition -------------------------------------------------------------------------------

static QByteArrayView SkipTextLead(QByteArrayView data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    qsizetype i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.sliced(i);
}

static bool StartsWithKeyword(QByteArrayView data, const char* keyword)
{
    const qsizetype n = qsizetype(std::strlen(keyword));
    if (data.size() <= n)
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (QChar::toLower(char16_t(std::uint8_t(data[i]))) != char16_t(keyword[i]))
            return false;
    const char next = data[n];
    return next == ' ' || next == '\t' || next == '\r' || next == '\n';
}

static FormFormat DetectBare(QByteArrayView data)
{
    if (data.startsWith("TPF0"))
        return FormFormat::Binary;
    const QByteArrayView text = SkipTextLead(data);
    if (StartsWithKeyword(text, "object") || StartsWithKeyword(text, "inherited") || StartsWithKeyword(text, "inline"))
        return FormFormat::Text;
    return FormFormat::Unknown;
}

FormFormat DetectFormFormat(QByteArrayView data)
{
    if (LooksLikeFormResource(data)) {
        try {
            const FormResource res = ReadFormResourceHeader(data);
            return DetectBare(data.sliced(res.DataOffset, res.DataSize));
        } catch (const EStreamError&) {
            return FormFormat::Unknown;
        }
    }
    return DetectBare(data);
}

void ReadFormAny(QByteArrayView data, FormComponent& root, const FormParseOptions& options)
{
    FormParseOptions local = options;
    QByteArrayView body = data;
    if (LooksLikeFormResource(data)) {
        const FormResource res = ReadFormResourceHeader(data, local.BaseOffset);
        body = data.sliced(res.DataOffset, res.DataSize);
        local.BaseOffset += res.DataOffset;
    }
    switch (DetectBare(body)) {
    case FormFormat::Binary:
        ReadFormBinary(body, root, local);
        return;
    case FormFormat::Text:
        ReadFormText(body, root, local);
        return;
    case FormFormat::Unknown:
        break;
    }
    TErrorPlace place;
    place.Offset = local.BaseOffset;
    throw EStreamError(QStringLiteral("Error reading form at offset %1: Invalid stream format "
                                      "(neither \"TPF0\" nor \"object\", \"inherited\" or \"inline\")")
                           .arg(local.BaseOffset),
                       place);
}

} // namespace vorel
