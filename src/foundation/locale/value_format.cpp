#include "foundation/locale/value_format.h"

#include "foundation/locale/date_time_p.h"
#include "foundation/locale/format_settings.h"
#include "foundation/locale/number_digits_p.h"
#include "foundation/values/variant.h"

#include <QVarLengthArray>

#include <array>

#include <cmath>
#include <optional>

namespace vorel {

namespace {

// The tags the descriptor reader below looks for. A test checks that every
// tag this file reads stands here.
constexpr TFormatTag kFormatTags[] = {
    {"@C", "text", nullptr, "The value is text."},
    {"@U", "text", nullptr, "Upper case, by the locale's rules."},
    {"@L", "text", nullptr, "Lower case; ignored with @U."},
    {"@P", "text", nullptr,
     "Proper case: the first letter of every word upper, the rest lower; ignored with @U or @L."},
    {"@T", "text", nullptr, "With @C: removes blanks and control characters at both ends."},
    {"@M", "text", "mask",
     "An edit mask 'characters[;save[;blank]]' up to the end of the descriptor, so @M comes last."},
    {"@N", "number", nullptr, "The value is a number; alone, two decimals with the locale's separators and grouping."},
    {"@ND", "number", "integer", "Decimals written (default: the locale's number of decimals)."},
    {"@NS", "number", "one character", "The decimal separator; write it before the @NS flag."},
    {"@NT", "number", "one character", "The thousands separator; its presence switches grouping on."},
    {"@NR", "number", "number with '.'",
     "Rounds to a multiple of this step first (default 1, so @ND2 alone prints 3.00 for 3.14159)."},
    {"@NB", "number", nullptr, "Prints nothing when the value is zero."},
    {"@NL", "number", nullptr, "Fills with leading zeros, after the sign, up to the control's width."},
    {"@NS", "number", nullptr, "Scientific notation: 1.23E+4."},
    {"@CT", "number", nullptr, "Adds a currency sign; '@N @CT ' alone is the locale's currency format."},
    {"@CS", "number", "text", "The currency sign (default: the locale's)."},
    {"@CP", "number", "0 to 3",
     "Where the currency sign goes: 0 '$1', 1 '1$', 2 '$ 1', 3 '1 $' (default: the locale's)."},
    {"@NN", "number", "integer", "The negative style chosen in the designer's dialog; kept, not used for printing."},
    {"@CN", "number", "integer",
     "The negative currency style chosen in the designer's dialog; kept, not used for printing."},
    {"@D", "date", nullptr, "The value has a date part."},
    {"@DL", "date", nullptr, "The locale's long date ('Sunday, February 14, 1971')."},
    {"@DS", "date", nullptr, "The locale's short date ('2/14/1971')."},
    {"@DR", "date", "one character", "The date separator (without @DL and @DS)."},
    {"@DO", "date", "0 to 5", "The order of day, month, year: 0 d-m-y, 1 d-y-m, 2 m-d-y, 3 m-y-d, 4 y-m-d, 5 y-d-m."},
    {"@DD", "date", "0 to 2", "The day: 0 '1', 1 '01', 2 none."},
    {"@DM", "date", "0 to 4", "The month: 0 '2', 1 '02', 2 'Feb', 3 'February', 4 none."},
    {"@DY", "date", "0 to 2", "The year: 0 '71', 1 '1971', 2 none."},
    {"@DW", "date", "0 to 2", "The day of the week in front: 0 'Sun', 1 'Sunday', 2 none."},
    {"@DV", "date", "one character", "The character after the day of the week (default a blank)."},
    {"@T", "time", nullptr, "The value has a time part."},
    {"@TL", "time", nullptr, "The locale's long time ('10:01:26 PM')."},
    {"@TS", "time", nullptr, "The locale's short time ('10:01 PM')."},
    {"@T24", "time", nullptr, "A 24-hour clock (the default)."},
    {"@T12", "time", nullptr, "A 12-hour clock with an AM/PM marker."},
    {"@TD", "time", "one character", "The time separator (without @TL and @TS)."},
    {"@TA", "time", "text", "The AM marker."},
    {"@TP", "time", "text", "The PM marker."},
    {"@TI", "time", "0 or 1", "The marker before (0) or after (1) the time (default 1)."},
    {"@TH", "time", "0 to 2", "The hour: 0 '2', 1 '02', 2 none."},
    {"@TM", "time", "0 to 2", "The minute: 0 '2', 1 '02', 2 none."},
    {"@TS", "time", "0 to 2", "The second: 0 '2', 1 '02', 2 none."},
};

// Upper limits that keep a hostile descriptor from asking for gigabytes:
// no printed value needs more decimals or a wider zero padding.
constexpr int kMaxDecimals = 30;
constexpr int kMaxPadWidthInChars = 4096;

// A descriptor with its tag look-ups. Tags are found by plain substring
// search and the first occurrence wins. Every tag starts with "@", so the
// search only tries the positions of "@" (found once): the same answer as a
// substring search, without scanning the descriptor again for each tag.
class Descriptor {
public:
    explicit Descriptor(QStringView text) : FText(text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'@')
                FAts.append(i);
        }
    }

    qsizetype IndexOf(QStringView tag) const
    {
        const qsizetype n = tag.size();
        for (qsizetype at : FAts) {
            if (FText.size() - at < n)
                break;
            qsizetype k = 1; // position 0 is the "@" itself
            while (k < n && FText[at + k] == tag[k])
                ++k;
            if (k == n)
                return at;
        }
        return -1;
    }
    bool Has(QStringView tag) const { return IndexOf(tag) >= 0; }

    // The value of a valued tag, or nullopt when the tag is absent.
    std::optional<QString> Value(QStringView tag) const
    {
        const qsizetype at = IndexOf(tag);
        if (at < 0)
            return std::nullopt;
        return ValueAt(at + tag.size()).toString();
    }

    // The first character of a tag's value (an empty value reads as a blank).
    std::optional<QChar> CharValue(QStringView tag) const
    {
        const qsizetype at = IndexOf(tag);
        if (at < 0)
            return std::nullopt;
        return ValueAt(at + tag.size()).front();
    }

    // An integer tag: absent or not a decimal number gives the default.
    int IntValue(QStringView tag, int defaultValue) const
    {
        const qsizetype at = IndexOf(tag);
        if (at < 0)
            return defaultValue;
        const QStringView text = ValueAt(at + tag.size());
        qsizetype i = 0;
        const bool negative = text[0] == u'-';
        if (text[0] == u'-' || text[0] == u'+')
            ++i;
        if (i == text.size())
            return defaultValue;
        qint64 v = 0;
        for (; i < text.size(); ++i) {
            if (text[i] < u'0' || text[i] > u'9')
                return defaultValue;
            v = v * 10 + (text[i].unicode() - u'0');
            if (v > INT_MAX)
                return defaultValue;
        }
        return int(negative ? -v : v);
    }

    QStringView Text() const { return FText; }

private:
    // The text from `position` up to the next blank or the end; an empty
    // value reads as one blank.
    QStringView ValueAt(qsizetype position) const
    {
        if (position >= FText.size())
            return u" ";
        qsizetype end = FText.indexOf(u' ', position);
        if (end < 0)
            end = FText.size();
        if (end == position)
            return u" ";
        return FText.mid(position, end - position);
    }

    QStringView FText;
    QVarLengthArray<qsizetype, 16> FAts;
};

bool IsTrimmed(QChar c)
{
    return c.unicode() <= 32;
}

QString Trim(const QString& text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && IsTrimmed(text[b]))
        ++b;
    while (e > b && IsTrimmed(text[e - 1]))
        --e;
    return text.mid(b, e - b);
}

// --- character ----------------------------------------------------------------

QString RenderCharacter(const QString& valueText, const Descriptor& d)
{
    const TFormatSettings& fs = FormatSettings();
    QString result = valueText;
    if (d.Has(u"@U "))
        result = fs.Locale.toUpper(result);
    else if (d.Has(u"@L "))
        result = fs.Locale.toLower(result);
    else if (d.Has(u"@P "))
        result = Proper(result);
    if (d.Has(u"@T "))
        result = Trim(result);
    const qsizetype mask = d.IndexOf(u"@M");
    if (mask >= 0)
        result = FormatMaskText(d.Text().mid(mask + 2).toString(), result);
    return result;
}

// --- number -------------------------------------------------------------------

// Whether text with cutLength characters removed at cutAt (nothing when cutAt
// is negative) equals target.
bool EqualsWithout(QStringView text, qsizetype cutAt, qsizetype cutLength, QStringView target)
{
    if (cutAt < 0)
        return text == target;
    if (text.size() - cutLength != target.size())
        return false;
    return text.first(cutAt) == target.first(cutAt) && text.sliced(cutAt + cutLength) == target.sliced(cutAt);
}

// What a number descriptor asks for, worked out once per descriptor text
// and format settings (see FormatPlan): rendering a value is then parsing
// it, rounding it and writing its digits, without looking at a tag again.
struct TNumberPlan {
    enum TShape { nsLocaleFloat, nsLocaleCurrency, nsPattern };
    TShape Shape = nsPattern;
    bool BlankZero = false;
    QChar DecimalSeparator;
    QChar ThousandSeparator;
    bool Grouped = false; // "@NT": the pattern groups thousands
    int Decimals = 0;
    bool Scientific = false;
    QString Pattern; // the FormatFloat pattern of the tags
    double Step = 1;
    bool LeadingZeros = false;
    bool Currency = false;
    QString CurrencySign;
    int CurrencyPosition = 0;
};

TNumberPlan MakeNumberPlan(const Descriptor& d)
{
    const TFormatSettings& global = FormatSettings();
    TNumberPlan plan;
    // 1-2: blank zero; the two descriptors that mean "as the locale does".
    const qsizetype blankTag = d.IndexOf(u"@NB ");
    plan.BlankZero = blankTag >= 0;
    if (EqualsWithout(d.Text(), blankTag, 4, u"@N ")) {
        plan.Shape = TNumberPlan::nsLocaleFloat;
        return plan;
    }
    if (EqualsWithout(d.Text(), blankTag, 4, u"@N @CT ")) {
        plan.Shape = TNumberPlan::nsLocaleCurrency;
        return plan;
    }

    // 3: a pattern built from the tags.
    // The first "@NS" may be the scientific flag, whose empty value would
    // read as a blank separator; a blank is no decimal separator, so the
    // locale's stays in force then.
    plan.DecimalSeparator = global.DecimalSeparator;
    if (const std::optional<QChar> tag = d.CharValue(u"@NS"); tag && *tag != u' ')
        plan.DecimalSeparator = *tag;
    const std::optional<QChar> thousandsTag = d.CharValue(u"@NT");
    plan.Grouped = thousandsTag.has_value();
    plan.ThousandSeparator = thousandsTag ? *thousandsTag : global.ThousandSeparator;

    int decimals = d.IntValue(u"@ND", global.CurrencyDecimals);
    if (decimals < 0 || decimals > kMaxDecimals)
        decimals = global.CurrencyDecimals;
    plan.Decimals = decimals;
    plan.Pattern.reserve(decimals + 8);
    if (plan.Grouped)
        plan.Pattern += u',';
    plan.Pattern += u'0';
    if (decimals > 0) {
        plan.Pattern += u'.';
        plan.Pattern += QString(decimals, u'0');
    }
    // The scientific flag is found as "NS " anywhere, as the dialog wrote it.
    plan.Scientific = d.Text().contains(u"NS ");
    if (plan.Scientific)
        plan.Pattern += QStringLiteral("E+0");

    if (const std::optional<QString> stepText = d.Value(u"@NR")) {
        QString t = *stepText;
        t.replace(u'.', plan.DecimalSeparator);
        double parsed = 0;
        if (detail::TryStrToFloatSep(t, parsed, plan.DecimalSeparator))
            plan.Step = parsed;
    }
    plan.LeadingZeros = d.Has(u"@NL ");
    plan.Currency = d.Has(u"@CT ");
    if (plan.Currency) {
        const std::optional<QString> signTag = d.Value(u"@CS");
        plan.CurrencySign = signTag ? *signTag : global.CurrencyString;
        plan.CurrencyPosition = d.IntValue(u"@CP", global.CurrencyFormat);
    }
    return plan;
}

// The pattern of a plan without scientific notation ("0.00", "#,##0.00"
// as the tags build it: one integer placeholder, every decimal a "0"),
// written straight from the digits: the same text FormatFloat gives.
QString RenderFixed(double x, const TNumberPlan& plan)
{
    detail::DecimalDigits d = detail::ToDecimalDigits(x);
    d.Negative = false;
    detail::RoundToDecimals(d, plan.Decimals);
    QString result;
    result.reserve(24 + plan.Decimals);
    if (x < 0 && !d.IsZero())
        result += u'-';
    detail::AppendIntegerDigits(result, d, 1, plan.Grouped ? plan.ThousandSeparator : QChar());
    if (plan.Decimals > 0) {
        result += plan.DecimalSeparator;
        for (int i = 0; i < plan.Decimals; ++i)
            result += QChar(detail::FractionDigit(d, i));
    }
    return result;
}

QString RenderNumber(const QString& valueText, const TNumberPlan& plan, int widthInChars)
{
    const TFormatSettings& global = FormatSettings();
    double x = 0;
    if (!TryStrToFloat(valueText, x, global))
        x = 0; // blank or unparsable text renders as 0

    if (plan.BlankZero && x == 0)
        return QString();
    if (plan.Shape == TNumberPlan::nsLocaleFloat)
        return FormatFloat(QStringLiteral("#,##0.00"), x, global);
    if (plan.Shape == TNumberPlan::nsLocaleCurrency)
        return FormatCurrency(x, global);

    if (plan.Step == 0)
        return valueText; // a rounding step of 0 cannot be applied
    const double quotient = x / plan.Step;
    if (!std::isfinite(quotient))
        return valueText;
    x = plan.Step * std::nearbyint(quotient); // halves to even in the default rounding mode

    QString result = plan.Scientific || !std::isfinite(x)
        ? detail::FormatFloatSep(plan.Pattern, x, plan.DecimalSeparator, plan.ThousandSeparator)
        : RenderFixed(x, plan);

    if (plan.LeadingZeros && widthInChars > 0) {
        const int width = qMin(widthInChars, kMaxPadWidthInChars);
        if (result.startsWith(u'-'))
            result = u'-' + AddLeadingZeros(result.mid(1), width);
        else
            result = AddLeadingZeros(result, width);
    }

    if (plan.Currency) {
        const QString& sign = plan.CurrencySign;
        switch (plan.CurrencyPosition) {
        case 0: result = sign + result; break;
        case 1: result = result + sign; break;
        case 2: result = sign + u' ' + result; break;
        case 3: result = result + u' ' + sign; break;
        default: break;
        }
    }
    return result;
}

// --- date and time --------------------------------------------------------------

void AppendQuoted(QString& pattern, QChar c)
{
    const QChar quote = c == u'"' ? QChar(u'\'') : QChar(u'"');
    pattern += quote;
    pattern += c;
    pattern += quote;
}

// Joins non-empty pieces with a separator placeholder.
void AppendPiece(QString& pattern, qsizetype start, QStringView piece, QChar placeholder)
{
    if (piece.isEmpty())
        return;
    if (pattern.size() > start)
        pattern += placeholder;
    pattern += piece;
}

QStringView Choice(int index, std::initializer_list<QStringView> pieces)
{
    if (index < 0 || index >= int(pieces.size()))
        return {};
    return pieces.begin()[index];
}

void BuildDatePattern(const Descriptor& d, const TFormatSettings& global, QString& pattern)
{
    if (d.Has(u"@DL ")) {
        pattern += global.LongDateFormat;
        return;
    }
    if (d.Has(u"@DS ")) {
        pattern += global.ShortDateFormat;
        return;
    }
    // Day of week in front: absent means none, a non-number means long.
    if (d.Value(u"@DW")) {
        const QStringView weekday = Choice(d.IntValue(u"@DW", 1), {u"ddd", u"dddd"});
        if (!weekday.isEmpty()) {
            pattern += weekday;
            AppendQuoted(pattern, d.CharValue(u"@DV").value_or(QChar(u' ')));
        }
    }
    const QStringView day = Choice(d.IntValue(u"@DD", 1), {u"d", u"dd", u""});
    const QStringView month = Choice(d.IntValue(u"@DM", 1), {u"m", u"mm", u"mmm", u"mmmm", u""});
    const QStringView year = Choice(d.IntValue(u"@DY", 1), {u"yy", u"yyyy", u""});
    QStringView order[3];
    switch (d.IntValue(u"@DO", 0)) {
    case 0: order[0] = day; order[1] = month; order[2] = year; break;
    case 1: order[0] = day; order[1] = year; order[2] = month; break;
    case 2: order[0] = month; order[1] = day; order[2] = year; break;
    case 3: order[0] = month; order[1] = year; order[2] = day; break;
    case 4: order[0] = year; order[1] = month; order[2] = day; break;
    case 5: order[0] = year; order[1] = day; order[2] = month; break;
    default: return; // no day, month or year piece
    }
    const qsizetype start = pattern.size();
    for (QStringView piece : order)
        AppendPiece(pattern, start, piece, u'/');
}

void BuildTimePattern(const Descriptor& d, const TFormatSettings& global, QString& pattern)
{
    if (!pattern.isEmpty())
        pattern += u' ';
    if (d.Has(u"@TL ")) {
        pattern += global.LongTimeFormat;
        return;
    }
    if (d.Has(u"@TS ")) {
        pattern += global.ShortTimeFormat;
        return;
    }
    const bool twelve = d.Has(u"@T12 ");
    const int markerAt = twelve ? d.IntValue(u"@TI", 1) : -1;
    if (markerAt == 0)
        pattern += QStringLiteral("ampm ");
    const qsizetype start = pattern.size();
    AppendPiece(pattern, start, Choice(d.IntValue(u"@TH", 1), {u"h", u"hh", u""}), u':');
    AppendPiece(pattern, start, Choice(d.IntValue(u"@TM", 1), {u"n", u"nn", u""}), u':');
    AppendPiece(pattern, start, Choice(d.IntValue(u"@TS", 1), {u"s", u"ss", u""}), u':');
    if (markerAt == 1)
        pattern += QStringLiteral(" ampm");
}

QString RenderDateTime(const QString& valueText, const Descriptor& d)
{
    const TFormatSettings& global = FormatSettings();
    const bool hasDate = d.Has(u"@D ");
    const bool hasTime = d.Has(u"@T ");
    QString pattern;
    if (hasDate)
        BuildDatePattern(d, global, pattern);
    if (hasTime)
        BuildTimePattern(d, global, pattern);
    if (pattern.trimmed().isEmpty() || valueText.isEmpty())
        return valueText;

    double x = 0;
    if (!TryStrToFloat(valueText, x, global))
        return valueText;

    // Separators and AM/PM strings of the custom tags hold for this call.
    detail::DateTimeOverrides overrides;
    std::optional<QString> am;
    std::optional<QString> pm;
    const bool customDate = hasDate && !d.Has(u"@DL ") && !d.Has(u"@DS ");
    const bool customTime = hasTime && !d.Has(u"@TL ") && !d.Has(u"@TS ");
    if (customDate)
        overrides.DateSeparator = d.CharValue(u"@DR").value_or(QChar());
    if (customTime) {
        overrides.TimeSeparator = d.CharValue(u"@TD").value_or(QChar());
        am = d.Value(u"@TA");
        pm = d.Value(u"@TP");
        overrides.AMString = am ? &*am : nullptr;
        overrides.PMString = pm ? &*pm : nullptr;
    }
    return detail::FormatDateTimeWith(pattern, x, global, overrides);
}

// A descriptor as rendering needs it: its kind and, for numbers, the plan.
struct TFormatPlan {
    enum TKind { fkCharacter, fkNumber, fkDateTime };
    QString Text;
    quint64 Generation = 0; // of the format settings it was made under
    TKind Kind = fkDateTime;
    TNumberPlan Number;
};

// Every text control renders through its own descriptor at every record,
// and a report has few distinct ones: the last few plans are kept per
// thread. A descriptor is usually the very string the control holds, so
// the comparison mostly stops at the shared buffer.
const TFormatPlan& FormatPlan(const QString& descriptor)
{
    constexpr int kPlans = 8;
    thread_local std::array<TFormatPlan, kPlans> plans;
    thread_local int nextSlot = 0;
    const quint64 generation = FormatSettingsGeneration();
    for (TFormatPlan& plan : plans) {
        if (plan.Generation == generation && !plan.Text.isNull()
            && ((plan.Text.constData() == descriptor.constData() && plan.Text.size() == descriptor.size())
                || plan.Text == descriptor))
            return plan;
    }
    // Made apart and then stored, so that a failure leaves no half-made plan.
    TFormatPlan made;
    made.Text = descriptor;
    made.Generation = generation;
    const Descriptor d(made.Text);
    if (d.Has(u"@C ")) {
        made.Kind = TFormatPlan::fkCharacter;
    } else if (d.Has(u"@N ")) {
        made.Kind = TFormatPlan::fkNumber;
        made.Number = MakeNumberPlan(d);
    }
    TFormatPlan& plan = plans[size_t(nextSlot)];
    nextSlot = (nextSlot + 1) % kPlans;
    plan = std::move(made);
    return plan;
}

} // namespace

std::span<const TFormatTag> FormatTags()
{
    return kFormatTags;
}

QString GetNextSpace(const QString& descriptor, qsizetype position)
{
    if (position < 0 || position >= descriptor.size())
        return QStringLiteral(" ");
    qsizetype end = descriptor.indexOf(u' ', position);
    if (end < 0)
        end = descriptor.size();
    if (end == position)
        return QStringLiteral(" ");
    return descriptor.mid(position, end - position);
}

QString GetTextByFormat(const QString& valueText, const QString& descriptor, int widthInChars)
{
    if (descriptor.isEmpty())
        return valueText;
    try {
        const TFormatPlan& plan = FormatPlan(descriptor);
        switch (plan.Kind) {
        case TFormatPlan::fkCharacter: return RenderCharacter(valueText, Descriptor(plan.Text));
        case TFormatPlan::fkNumber: return RenderNumber(valueText, plan.Number, widthInChars);
        case TFormatPlan::fkDateTime: return RenderDateTime(valueText, Descriptor(plan.Text));
        }
        return valueText;
    } catch (...) {
        // Rendering never fails a report: the value prints as it came.
        return valueText;
    }
}

bool FormatUsesWidth(const QString& descriptor)
{
    if (descriptor.isEmpty())
        return false;
    try {
        const TFormatPlan& plan = FormatPlan(descriptor);
        return plan.Kind == TFormatPlan::fkNumber && plan.Number.Shape == TNumberPlan::nsPattern
            && plan.Number.LeadingZeros;
    } catch (...) {
        return true; // measured as always; the rendering copes
    }
}

QString GetValueStr(const Variant& value, const QString& descriptor)
{
    if (!descriptor.isEmpty()) {
        switch (value.Type()) {
        case varInteger:
        case varDouble:
        case varCurrency:
        case varDate:
            return FloatToStrG(value.ToDouble());
        case varSingle:
            // A single holds about 7 digits; its widening to double would
            // otherwise print 0.1 as 0.100000001490116.
            return FloatToStrG(QString::number(value.ToDouble(), 'g', 7).toDouble());
        default:
            break;
        }
    }
    return value.ToString();
}

int GetCharWidth(const TextWidthMeasurer& canvas, int pixelWidth)
{
    const int zeroWidth = canvas.TextWidth(QStringLiteral("0"));
    if (zeroWidth <= 0)
        return 0;
    return int(RoundHalfEven(double(pixelWidth) / double(zeroWidth)));
}

QString AddLeadingZeros(const QString& text, int lengthInChars)
{
    if (text.size() >= lengthInChars)
        return text;
    return QString(lengthInChars - text.size(), u'0') + text;
}

QString Proper(const QString& text)
{
    const QLocale& locale = FormatSettings().Locale;
    QString result = locale.toLower(text);
    bool wordStart = true;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result[i];
        if (wordStart && c != u' ') {
            const QString upper = locale.toUpper(QString(c));
            if (upper.size() == 1)
                result[i] = upper[0];
        }
        wordStart = c == u' ';
    }
    return result;
}

int GetIDigits()
{
    return FormatSettings().CurrencyDecimals;
}

} // namespace vorel
