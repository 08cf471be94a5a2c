#include "foundation/locale/format_settings.h"

#include <memory>

namespace vorel {

namespace {

bool IsBlankChar(QChar c)
{
    // Qt writes no-break and narrow no-break spaces between number and sign.
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F);
}

// The first character of a Qt date or time pattern that separates fields:
// "M/d/yy" gives '/', "dd.MM.yy" '.', "H:mm" ':'.
QChar FirstSeparator(const QString& qtPattern, QChar fallback)
{
    bool quoted = false;
    for (QChar c : qtPattern) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetter())
            return c;
    }
    return fallback;
}

// Characters that mean something in a classic pattern and must therefore be
// quoted when a Qt pattern has them as plain text.
bool IsClassicPatternChar(QChar c)
{
    switch (c.toLower().unicode()) {
    case u'a': case u'c': case u'd': case u'e': case u'g': case u'h': case u'm':
    case u'n': case u's': case u't': case u'y': case u'z': case u'/': case u':':
    case u'"': case u'\'':
        return true;
    default:
        return false;
    }
}

void AppendLiteral(QString& out, const QString& literal)
{
    if (literal.isEmpty())
        return;
    bool needsQuotes = false;
    for (QChar c : literal)
        needsQuotes = needsQuotes || IsClassicPatternChar(c);
    if (!needsQuotes) {
        out += literal;
        return;
    }
    // Quote with the kind of quote the literal does not contain; a literal
    // holding both is written character by character.
    if (!literal.contains(u'"')) {
        out += u'"' + literal + u'"';
    } else if (!literal.contains(u'\'')) {
        out += u'\'' + literal + u'\'';
    } else {
        for (QChar c : literal)
            AppendLiteral(out, QString(c));
    }
}

struct PatternOptions {
    QChar DateSeparator; // replaced by the "/" placeholder when not null
    QChar TimeSeparator; // replaced by the ":" placeholder when not null
    bool FourDigitYear = false;
};

// Converts Qt's date-time pattern syntax (d M y h H m s z AP t, 'quoted')
// to the classic one (d m y h n s z AMPM, "quoted"). Qt's time zone ("t")
// has no classic counterpart and is dropped with the blank before it.
QString ClassicPattern(const QString& qt, const PatternOptions& opt)
{
    QString out;
    QString literal;
    auto flush = [&] {
        AppendLiteral(out, literal);
        literal.clear();
    };
    const qsizetype n = qt.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = qt[i];
        if (c == u'\'') {
            // '' is a quote character; 'text' is literal text.
            if (i + 1 < n && qt[i + 1] == u'\'') {
                literal += u'\'';
                i += 2;
                continue;
            }
            ++i;
            while (i < n) {
                if (qt[i] == u'\'') {
                    if (i + 1 < n && qt[i + 1] == u'\'') {
                        literal += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal += qt[i++];
            }
            continue;
        }
        qsizetype count = 1;
        while (i + count < n && qt[i + count] == c)
            ++count;
        const char16_t u = c.unicode();
        auto put = [&](QChar classic, qsizetype times) {
            flush();
            out += QString(times, classic);
        };
        switch (u) {
        case u'd': put(u'd', qMin<qsizetype>(count, 4)); break;
        case u'M': put(u'm', qMin<qsizetype>(count, 4)); break;
        case u'y': put(u'y', (count <= 2 && !opt.FourDigitYear) ? 2 : 4); break;
        case u'h':
        case u'H': put(u'h', qMin<qsizetype>(count, 2)); break;
        case u'm': put(u'n', qMin<qsizetype>(count, 2)); break;
        case u's': put(u's', qMin<qsizetype>(count, 2)); break;
        case u'z': put(u'z', count >= 3 ? 3 : 1); break;
        case u'a':
        case u'A':
            flush();
            out += QStringLiteral("AMPM");
            // "AP" / "ap": the P belongs to the marker.
            if (count == 1 && i + 1 < n && qt[i + 1].toLower() == u'p')
                ++count;
            break;
        case u't':
            while (!literal.isEmpty() && IsBlankChar(literal.back()))
                literal.chop(1);
            while (literal.isEmpty() && !out.isEmpty() && IsBlankChar(out.back()))
                out.chop(1);
            break;
        default:
            if (!opt.DateSeparator.isNull() && c == opt.DateSeparator) {
                flush();
                out += QString(count, u'/');
            } else if (!opt.TimeSeparator.isNull() && c == opt.TimeSeparator) {
                flush();
                out += QString(count, u':');
            } else {
                literal += QString(count, c);
            }
            break;
        }
        i += count;
    }
    flush();
    return out.trimmed();
}

// The classic negative currency patterns, "$" standing for the sign and "1"
// for the amount.
constexpr const char16_t* kNegCurrencyPatterns[16] = {
    u"($1)", u"-$1", u"$-1", u"$1-", u"(1$)", u"-1$", u"1-$", u"1$-",
    u"-1 $", u"-$ 1", u"1 $-", u"$ 1-", u"$ -1", u"1- $", u"($ 1)", u"(1 $)"};

// Reduces a currency text of Qt to the pattern alphabet above.
QString CurrencyShape(const QString& text, const QString& sign, const QString& minus)
{
    QString shape;
    bool inNumber = false;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (!sign.isEmpty() && QStringView(text).mid(i).startsWith(sign)) {
            shape += u'$';
            i += sign.size();
            inNumber = false;
            continue;
        }
        if (!minus.isEmpty() && QStringView(text).mid(i).startsWith(minus)) {
            shape += u'-';
            i += minus.size();
            inNumber = false;
            continue;
        }
        if (c.isDigit()) {
            if (!inNumber)
                shape += u'1';
            inNumber = true;
        } else if (c == u'(' || c == u')') {
            shape += c;
            inNumber = false;
        } else if (IsBlankChar(c)) {
            // A blank inside the amount is a group separator, not a gap.
            const bool digitFollows = i + 1 < text.size() && text[i + 1].isDigit();
            if (!(inNumber && digitFollows)) {
                if (!shape.endsWith(u' '))
                    shape += u' ';
                inNumber = false;
            }
        }
        // Decimal and group separators of the amount add nothing.
        ++i;
    }
    return shape.trimmed();
}

void DeriveCurrency(const QLocale& locale, TFormatSettings& fs)
{
    fs.CurrencyString = locale.currencySymbol(QLocale::CurrencySymbol);
    const QString positive = locale.toCurrencyString(1.0);
    const QString negative = locale.toCurrencyString(-1.0);

    // Decimals: digits after the decimal point of "1.00".
    const QString point = locale.decimalPoint();
    const qsizetype at = point.isEmpty() ? -1 : positive.indexOf(point);
    int decimals = 0;
    if (at >= 0) {
        for (qsizetype i = at + point.size(); i < positive.size() && positive[i].isDigit(); ++i)
            ++decimals;
    }
    fs.CurrencyDecimals = decimals;

    const QString pos = CurrencyShape(positive, fs.CurrencyString, locale.negativeSign());
    if (pos == u"$1")
        fs.CurrencyFormat = 0;
    else if (pos == u"1$")
        fs.CurrencyFormat = 1;
    else if (pos == u"$ 1")
        fs.CurrencyFormat = 2;
    else if (pos == u"1 $")
        fs.CurrencyFormat = 3;
    else
        fs.CurrencyFormat = 0;

    const QString neg = CurrencyShape(negative, fs.CurrencyString, locale.negativeSign());
    // A locale that writes the sign where no pattern has it falls back to
    // the usual minus-first pattern of its positive position.
    constexpr int kFallback[4] = {1, 5, 9, 8};
    fs.NegCurrFormat = kFallback[fs.CurrencyFormat];
    for (int p = 0; p < 16; ++p) {
        if (neg == QStringView(kNegCurrencyPatterns[p])) {
            fs.NegCurrFormat = p;
            break;
        }
    }
}

std::unique_ptr<TFormatSettings>& Current()
{
    static std::unique_ptr<TFormatSettings> current;
    return current;
}

quint64& Generation()
{
    static quint64 generation = 0;
    return generation;
}

} // namespace

TFormatSettings FormatSettingsFromLocale(const QLocale& locale)
{
    TFormatSettings fs;
    fs.Locale = locale;
    const QString point = locale.decimalPoint();
    fs.DecimalSeparator = point.isEmpty() ? QChar(u'.') : point.front();
    const QString group = locale.groupSeparator();
    fs.ThousandSeparator = group.isEmpty() ? QChar(u',') : group.front();
    // The list separator is not a Qt notion; desktops use ';' where the
    // comma is the decimal separator.
    fs.ListSeparator = fs.DecimalSeparator == u',' ? QChar(u';') : QChar(u',');

    const QString qtShortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString qtShortTime = locale.timeFormat(QLocale::ShortFormat);
    fs.DateSeparator = FirstSeparator(qtShortDate, u'/');
    fs.TimeSeparator = FirstSeparator(qtShortTime, u':');

    // Short dates get four-digit years: desktop settings of the same locales
    // do so, and a two-digit year would not read back unambiguously.
    fs.ShortDateFormat = ClassicPattern(qtShortDate, {fs.DateSeparator, QChar(), true});
    fs.LongDateFormat = ClassicPattern(locale.dateFormat(QLocale::LongFormat), {});
    fs.ShortTimeFormat = ClassicPattern(qtShortTime, {QChar(), fs.TimeSeparator});
    fs.LongTimeFormat = ClassicPattern(locale.timeFormat(QLocale::LongFormat), {QChar(), fs.TimeSeparator});

    fs.TimeAMString = locale.amText();
    fs.TimePMString = locale.pmText();
    DeriveCurrency(locale, fs);

    for (int m = 0; m < 12; ++m) {
        fs.ShortMonthNames[m] = locale.monthName(m + 1, QLocale::ShortFormat);
        fs.LongMonthNames[m] = locale.monthName(m + 1, QLocale::LongFormat);
    }
    // Qt counts Monday as 1 and Sunday as 7; the classic arrays start on Sunday.
    for (int d = 0; d < 7; ++d) {
        const int qtDay = d == 0 ? 7 : d;
        fs.ShortDayNames[d] = locale.dayName(qtDay, QLocale::ShortFormat);
        fs.LongDayNames[d] = locale.dayName(qtDay, QLocale::LongFormat);
    }
    return fs;
}

const TFormatSettings& FormatSettings()
{
    auto& current = Current();
    if (!current)
        current = std::make_unique<TFormatSettings>(FormatSettingsFromLocale(QLocale::system()));
    return *current;
}

void SetFormatLocale(const QLocale& locale)
{
    SetFormatSettings(FormatSettingsFromLocale(locale));
}

quint64 FormatSettingsGeneration()
{
    return Generation();
}

void SetFormatSettings(const TFormatSettings& settings)
{
    ++Generation();
    auto& current = Current();
    if (current)
        *current = settings; // references handed out earlier stay valid
    else
        current = std::make_unique<TFormatSettings>(settings);
}

} // namespace vorel
