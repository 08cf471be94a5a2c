// Conversion of incoming values (application values, CSV texts, SQL driver
// values) to what a field of a given type stores.

#include "data/dataset.h"

#include "foundation/locale/format_settings.h"

#include <cmath>
#include <limits>

namespace vorel {

namespace {

// Reads `count` decimal digits at text[pos]; false when they are not all digits.
bool ReadDigits(const QString& text, qsizetype& pos, int count, int& value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[pos + i];
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    pos += count;
    return true;
}

// "HH:MM[:SS[.fff...]]" at pos; the fraction of a day.
bool ReadIsoTime(const QString& text, qsizetype& pos, double& fraction)
{
    int h = 0, m = 0, s = 0, ms = 0;
    if (!ReadDigits(text, pos, 2, h) || pos >= text.size() || text[pos] != u':')
        return false;
    ++pos;
    if (!ReadDigits(text, pos, 2, m))
        return false;
    if (pos < text.size() && text[pos] == u':') {
        ++pos;
        if (!ReadDigits(text, pos, 2, s))
            return false;
        if (pos < text.size() && (text[pos] == u'.' || text[pos] == u',')) {
            ++pos;
            // Milliseconds from up to three digits; further digits are read and dropped.
            int digits = 0;
            while (pos < text.size() && text[pos].isDigit()) {
                if (digits < 3)
                    ms = ms * 10 + (text[pos].unicode() - u'0');
                ++digits;
                ++pos;
            }
            if (digits == 0)
                return false;
            for (int i = digits; i < 3; ++i)
                ms *= 10;
        }
    }
    if (h > 23 || m > 59 || s > 59)
        return false;
    fraction = EncodeTime(h, m, s, ms);
    return true;
}

// A zone suffix ("Z", "+02", "+02:00", "-0530") is accepted and ignored:
// reports print the wall-clock time as stored.
bool SkipZone(const QString& text, qsizetype& pos)
{
    if (pos >= text.size())
        return true;
    if (text[pos] == u'Z') {
        ++pos;
        return pos == text.size();
    }
    if (text[pos] != u'+' && text[pos] != u'-')
        return false;
    ++pos;
    int h = 0, m = 0;
    if (!ReadDigits(text, pos, 2, h))
        return false;
    if (pos < text.size() && text[pos] == u':')
        ++pos;
    if (pos < text.size() && !ReadDigits(text, pos, 2, m))
        return false;
    return pos == text.size();
}

Variant IntegerVariant(qint64 v, TFieldType type, bool& ok)
{
    ok = true;
    switch (type) {
    case ftSmallint:
        if (v < -32768 || v > 32767)
            break;
        return Variant::FromSmallint(qint16(v));
    case ftWord:
        if (v < 0 || v > 65535)
            break;
        return Variant::FromWord(quint16(v));
    case ftShortint:
        if (v < -128 || v > 127)
            break;
        return Variant::FromShortInt(qint8(v));
    case ftByte:
        if (v < 0 || v > 255)
            break;
        return Variant::FromByte(quint8(v));
    case ftLongWord:
        if (v < 0 || v > qint64(std::numeric_limits<quint32>::max()))
            break;
        return Variant::FromLongWord(quint32(v));
    case ftLargeint: return Variant(v);
    default:
        // 32-bit types keep a wider value rather than corrupt it: SQL
        // sources may hold 64-bit values in a column declared INTEGER.
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return Variant(int(v));
        return Variant(v);
    }
    ok = false;
    return {};
}

} // namespace

bool ParseIsoDateTime(const QString& input, TFieldType type, double& value)
{
    const QString text = input.trimmed();
    qsizetype pos = 0;
    double date = 0, time = 0;
    bool hasDate = false;
    int y = 0, mo = 0, d = 0;
    if (text.size() >= 10 && text[4] == u'-') {
        if (!ReadDigits(text, pos, 4, y) || text[pos++] != u'-' || !ReadDigits(text, pos, 2, mo)
            || pos >= text.size() || text[pos++] != u'-' || !ReadDigits(text, pos, 2, d))
            return false;
        if (!TryEncodeDate(y, mo, d, date))
            return false;
        hasDate = true;
        if (pos < text.size()) {
            if (text[pos] != u' ' && text[pos] != u'T')
                return false;
            ++pos;
            if (!ReadIsoTime(text, pos, time))
                return false;
        }
    } else {
        if (!ReadIsoTime(text, pos, time))
            return false;
    }
    if (!SkipZone(text, pos))
        return false;
    switch (type) {
    case ftDate:
        if (!hasDate)
            return false;
        value = date;
        return true;
    case ftTime: value = time; return true;
    default:
        // A date-time before 30 December 1899 keeps its time of day as a
        // positive fraction after the negative day number.
        value = date < 0 ? date - time : date + time;
        return true;
    }
}

QString BytesToFieldString(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray FieldStringToBytes(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return text.toUtf8();
    return text.toLatin1();
}

bool ConvertToFieldType(const Variant& value, TFieldType type, Variant& result)
{
    if (value.IsEmptyOrNull()) {
        result = Variant::Null();
        return true;
    }
    const bool isText = value.IsString();
    // Only the branches that parse need the trimmed text; strings keep theirs.
    const auto parsedText = [&value] { return value.ToString().trimmed(); };
    try {
        if (IsIntegerFieldType(type)) {
            qint64 v = 0;
            if (isText) {
                bool ok = false;
                v = parsedText().toLongLong(&ok);
                if (!ok)
                    return false;
            } else if (value.Type() == varBoolean) {
                v = value.ToBool() ? 1 : 0;
            } else if (value.IsFloat() || value.Type() == varCurrency) {
                const double d = value.ToDouble();
                if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.2e18)
                    return false;
                v = qint64(d);
            } else if (value.IsInteger()) {
                v = value.ToInt64();
            } else {
                return false;
            }
            bool ok = false;
            result = IntegerVariant(v, type, ok);
            return ok;
        }
        switch (type) {
        case ftFloat:
        case ftBCD:
        case ftFMTBcd:
        case ftExtended:
        case ftSingle:
        case ftCurrency: {
            double d = 0;
            if (isText) {
                bool ok = false;
                d = parsedText().toDouble(&ok);
                if (!ok)
                    return false;
            } else if (value.IsNumeric()) {
                d = value.ToDouble();
            } else {
                return false;
            }
            if (!std::isfinite(d))
                return false;
            if (type == ftCurrency) {
                if (std::fabs(d) > 9.2e14)
                    return false;
                result = Variant::FromCurrency(d);
            } else if (type == ftSingle) {
                result = Variant::FromSingle(float(d));
            } else {
                result = Variant(d);
            }
            return true;
        }
        case ftBoolean: {
            if (isText) {
                const QString t = parsedText().toLower();
                if (t == u"true" || t == u"t" || t == u"1")
                    result = Variant(true);
                else if (t == u"false" || t == u"f" || t == u"0")
                    result = Variant(false);
                else
                    return false;
                return true;
            }
            if (value.Type() == varBoolean || value.IsInteger()) {
                result = Variant(value.ToBool());
                return true;
            }
            return false;
        }
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftTimeStamp:
        case ftOraTimeStamp:
        case ftTimeStampOffset: {
            double d = 0;
            if (isText) {
                if (!ParseIsoDateTime(value.ToString(), type, d))
                    return false;
            } else if (value.Type() == varDate || value.IsNumeric()) {
                d = value.ToDouble();
                if (!std::isfinite(d))
                    return false;
                if (type == ftDate)
                    d = std::trunc(d);
                else if (type == ftTime)
                    d = std::fabs(d - std::trunc(d));
            } else {
                return false;
            }
            result = Variant::FromDate(d);
            return true;
        }
        case ftBytes:
        case ftVarBytes:
        case ftBlob:
        case ftGraphic:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
            result = Variant(value.ToString());
            return true;
        case ftVariant:
        case ftUnknown:
            result = value;
            return true;
        default:
            // Strings, memos, GUIDs and the structured types keep their text.
            result = Variant(value.ToString());
            return true;
        }
    } catch (const EKVXError&) {
        return false;
    }
}

} // namespace vorel
