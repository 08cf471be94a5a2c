// The expression lexer: turns the text into tokens one at a time.
//
// The symbol rule matters most: a plain name runs on over blanks, so
// "Last Name" is one name and stored report forms that use unbracketed names
// with blanks keep working. A word that is an operator (AND, OR, NOT, LIKE,
// IN, IS, NULL) never joins such a name: it ends the name before it and is a
// token of its own, so "Total > 5 AND Qty < 3" reads as written.

#include "expr/expr_parser.h"

#include "foundation/values/errors.h"

namespace vorel {

namespace {

bool IsBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

bool IsDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool IsAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

// The characters that continue a symbol: blank . 0-9 A-Z [ ] _ a-z.
bool IsSymbolRunChar(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'.' || u == u'[' || u == u']' || u == u'_' || IsDigit(c) || IsAsciiLetter(c);
}

// The characters that start one: A-Z a-z _ and the Cyrillic block U+0403..U+044E.
bool IsSymbolStartChar(QChar c)
{
    const char16_t u = c.unicode();
    return IsAsciiLetter(c) || u == u'_' || (u >= 0x0403 && u <= 0x044E);
}

// The characters of a number: + - . 0-9 E e.
bool IsNumberChar(QChar c)
{
    const char16_t u = c.unicode();
    return IsDigit(c) || u == u'+' || u == u'-' || u == u'.' || u == u'E' || u == u'e';
}

bool EqualsAsciiNoCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x >= u'a' && x <= u'z')
            x -= 32;
        if (y >= u'a' && y <= u'z')
            y -= 32;
        if (x != y)
            return false;
    }
    return true;
}

QString InvalidCharText(QChar c)
{
    // The end of the text (a NUL) shows as nothing between the quotes.
    return c.isNull() ? QString() : QString(c);
}

} // namespace

// One word of a symbol from p: the symbol characters other than the blank.
// `first` accepts the character at p unseen (the caller tested it as a
// start character, or it is the first of a far-east run).
qsizetype TExprParser::ScanWord(qsizetype p, bool first) const
{
    for (;;) {
        const QChar c = Ch(p);
        if (c.isNull() || c == u' ')
            return p;
        if (FFarEast && c.isHighSurrogate()) {
            // The double-byte lead characters of UTF-16 take their partner along.
            p += Ch(p + 1).isNull() ? 1 : 2;
        } else if (first || IsSymbolRunChar(c)) {
            ++p;
        } else if (FFarEast && FJapanese && (c.unicode() & 0xFF) >= 0xA1 && (c.unicode() & 0xFF) <= 0xDF) {
            ++p;
        } else {
            return p;
        }
        first = false;
    }
}

// The operator word that starts at p, or nothing. A word counts only whole:
// "Index" or "Orders.In" are names, while "NOT[Flag]" is NOT before a bracket.
QStringView TExprParser::OperatorWordAt(qsizetype p) const
{
    qsizetype end = p;
    while (IsAsciiLetter(Ch(end)))
        ++end;
    const QChar next = Ch(end);
    if (end == p || IsDigit(next) || IsAsciiLetter(next) || next == u'_' || next == u'.' || next.unicode() >= 0x80)
        return {};
    const QStringView word = QStringView(FText).mid(p, end - p);
    for (const char16_t* op : {u"AND", u"OR", u"NOT", u"LIKE", u"IN", u"IS", u"NULL"}) {
        if (EqualsAsciiNoCase(word, QStringView(op)))
            return word;
    }
    return {};
}

TExprToken TExprParser::ScanSymbol(qsizetype& p) const
{
    const QStringView op = OperatorWordAt(p);
    if (!op.isEmpty()) {
        p += op.size();
        if (EqualsAsciiNoCase(op, u"LIKE"))
            return etLIKE;
        if (EqualsAsciiNoCase(op, u"IN"))
            return etIN;
        if (!EqualsAsciiNoCase(op, u"IS"))
            return etSymbol;
        // IS NULL and IS NOT NULL are one token each; IS alone is a name.
        qsizetype q = p;
        const auto word = [&](const char16_t* text) {
            qsizetype r = q;
            while (Ch(r) == u' ')
                ++r;
            const QStringView w = OperatorWordAt(r);
            if (r == q || !EqualsAsciiNoCase(w, QStringView(text)))
                return false;
            q = r + w.size();
            return true;
        };
        if (word(u"NULL")) {
            p = q;
            return etISNULL;
        }
        if (word(u"NOT") && word(u"NULL")) {
            p = q;
            return etISNOTNULL;
        }
        return etSymbol;
    }
    // A name: words joined by blanks, up to a word that is an operator.
    p = ScanWord(p, true);
    for (;;) {
        qsizetype q = p;
        while (Ch(q) == u' ')
            ++q;
        if (q == p || ScanWord(q, false) == q || !OperatorWordAt(q).isEmpty())
            return etSymbol;
        p = ScanWord(q, false);
    }
}

void TExprParser::NextToken()
{
    FPrevToken = FToken;
    FTokenString.clear();
    qsizetype p = FSourcePtr;

    while (IsBlank(Ch(p)))
        ++p;
    if (Ch(p) == u'/' && Ch(p + 1) == u'*') {
        // One comment per token; a '*' inside it ends the scan with an error.
        p += 2;
        while (!Ch(p).isNull() && Ch(p) != u'*')
            ++p;
        if (Ch(p) == u'*' && Ch(p + 1) == u'/') {
            p += 2;
        } else {
            FTokenPtr = p;
            DatabaseErrorFmt(QStringLiteral("Invalid expression character: '%s'"), {InvalidCharText(Ch(p))});
        }
        while (IsBlank(Ch(p)))
            ++p;
    }
    FTokenPtr = p;

    const QChar c = Ch(p);
    const char16_t u = c.unicode();
    switch (u) {
    case 0:
        FToken = etEnd;
        break;
    case u'\'': {
        // Quoted literal; two quotes stand for one. Only the first 512
        // characters are kept, the rest is read and dropped.
        constexpr qsizetype kMaxLiteralChars = 512;
        ++p;
        for (;;) {
            const QChar q = Ch(p);
            if (q.isNull())
                DatabaseError(QStringLiteral("Unterminated string constant"));
            if (q == u'\'') {
                if (Ch(p + 1) != u'\'')
                    break;
                ++p; // a doubled quote
            }
            if (FTokenString.size() < kMaxLiteralChars)
                FTokenString += q;
            ++p;
        }
        ++p; // the closing quote
        FToken = etLiteral;
        FNumericLit = false;
        break;
    }
    case u'(':
        ++p;
        FToken = etLParen;
        break;
    case u')':
        ++p;
        FToken = etRParen;
        break;
    case u'*':
        ++p;
        FToken = etMUL;
        break;
    case u'+':
        ++p;
        FToken = etADD;
        break;
    case u',':
        ++p;
        FToken = etComma;
        break;
    case u'/':
        ++p;
        FToken = etDIV;
        break;
    case u'=':
        ++p;
        FToken = etEQ;
        break;
    case u'<':
        ++p;
        if (Ch(p) == u'=') {
            ++p;
            FToken = etLE;
        } else if (Ch(p) == u'>') {
            ++p;
            FToken = etNE;
        } else {
            FToken = etLT;
        }
        break;
    case u'>':
        ++p;
        if (Ch(p) == u'=') {
            ++p;
            FToken = etGE;
        } else {
            FToken = etGT;
        }
        break;
    case u'[': {
        const qsizetype close = FText.indexOf(u']', p + 1);
        if (close < 0)
            DatabaseError(QStringLiteral("Unterminated field name"));
        FTokenString = FText.mid(p + 1, close - p - 1);
        p = close + 1;
        FToken = etName;
        break;
    }
    default:
        if (u == u'-' && (FPrevToken == etLiteral || FPrevToken == etName || FPrevToken == etSymbol
                          || FPrevToken == etRParen)) {
            // After an operand a minus subtracts; elsewhere it starts a number.
            ++p;
            FToken = etSUB;
        } else if (u == u'-' && !IsDigit(Ch(p + 1)) && Ch(p + 1) != u'.') {
            // A sign before a name, a call or a parenthesis: the parser negates.
            ++p;
            FToken = etSUB;
        } else if (u == u'-' || IsDigit(c)) {
            const qsizetype start = p;
            ++p;
            while (IsNumberChar(Ch(p)))
                ++p;
            FTokenString = FText.mid(start, p - start);
            FToken = etLiteral;
            FNumericLit = true;
        } else if (IsSymbolStartChar(c)) {
            const qsizetype start = p;
            FToken = ScanSymbol(p);
            FTokenString = FText.mid(start, p - start);
        } else {
            DatabaseErrorFmt(QStringLiteral("Invalid expression character: '%s'"), {QString(c)});
        }
        break;
    }
    FSourcePtr = p;
}

bool TExprParser::NextTokenIsLParen() const
{
    qsizetype p = FSourcePtr;
    while (IsBlank(Ch(p)))
        ++p;
    return Ch(p) == u'(';
}

QString TExprParser::TokenName() const
{
    if (FSourcePtr <= FTokenPtr)
        return QStringLiteral("nothing");
    return u'\'' + FText.mid(FTokenPtr, FSourcePtr - FTokenPtr) + u'\'';
}

bool TExprParser::TokenSymbolIs(QStringView text) const
{
    return FToken == etSymbol && EqualsAsciiNoCase(FTokenString, text);
}

TExprFunction TExprParser::TokenSymbolIsFunc(QStringView text) const
{
    return FindExprFunction(text);
}

// --- function names -------------------------------------------------------------

namespace {

// Names are matched without regard to ASCII case; the descriptions are what
// `vorel reference` prints for report authors.
constexpr TExprFunctionInfo kFunctionNames[] = {
    {u"UPPER", efUpper, "(s)", "s with the letters a-z in upper case; other characters unchanged."},
    {u"LOWER", efLower, "(s)", "s with the letters A-Z in lower case; other characters unchanged."},
    {u"SUBSTRING", efSubstring, "(s, start, count)",
     "Up to count characters of s from position start (1 = first); empty past the end or when count < 1."},
    {u"IIF", efIif, "(condition, a, b)", "a when the condition is true, else b; only the chosen one is evaluated."},
    {u"TRIM", efTrim, "(s)", "s without blanks and control characters at both ends."},
    {u"TRIMLEFT", efTrimLeft, "(s)", "s without blanks and control characters at its start."},
    {u"TRIMRIGHT", efTrimRight, "(s)", "s without blanks and control characters at its end."},
    {u"YEAR", efYear, "(d)", "The year of the date d."},
    {u"MONTH", efMonth, "(d)", "The month of the date d, 1 to 12."},
    {u"DAY", efDay, "(d)", "The day of the month of the date d."},
    {u"HOUR", efHour, "(d)", "The hour of the date-time d, 0 to 23."},
    {u"MINUTE", efMinute, "(d)", "The minute of the date-time d."},
    {u"SECOND", efSecond, "(d)", "The second of the date-time d."},
    {u"GETDATE", efGetDate, "()", "Now, as a date-time."},
    {u"DATE", efDate, "(d)", "The day part of d (a whole number of days)."},
    {u"STRTODATE", efStrToDate, "(s)",
     "s read as a date: 'yyyy-mm-dd' (optionally with ' hh:nn:ss'), else in the locale's short date format."},
    {u"TIME", efTime, "(d)", "The time part of d (the fraction of a day)."},
    {u"SUM", efSum, "(a, ...)",
     "The sum of the arguments (Null ones add nothing); a running total over records is a calculation instead."},
    {u"MIN", efMin, "(a, ...)", "The least argument."},
    {u"MAX", efMax, "(a, ...)", "The greatest argument."},
    {u"AVG", efAvg, "(a, ...)", "The average of the arguments."},
    {u"COUNT", efCount, "(a, ...)", "The number of arguments; COUNT(*) is Null."},
    {u"SIN", efSin, "(x)", "The sine of x (radians)."},
    {u"ARCSIN", efArcSin, "(x)", "The angle, in radians, whose sine is x."},
    {u"COS", efCos, "(x)", "The cosine of x (radians)."},
    {u"ARCCOS", efArcCos, "(x)", "The angle, in radians, whose cosine is x."},
    {u"TAN", efTan, "(x)", "The tangent of x (radians)."},
    {u"ARCTAN", efArcTan, "(x)", "The angle, in radians, whose tangent is x."},
    {u"EXP", efExp, "(x)", "e raised to x."},
    {u"FRAC", efFrac, "(x)", "The fraction of x, with its sign: FRAC(-2.75) is -0.75."},
    {u"INT", efInt, "(x)", "The whole part of x, toward zero: INT(-2.7) is -2."},
    {u"ROUND", efRound, "(x)", "x rounded to a whole number, halves to the even one: ROUND(2.5) is 2."},
    {u"DIV", efDiv, "(a, b)", "Whole-number division: a and b rounded to whole numbers, the quotient truncated."},
    {u"LN", efLn, "(x)", "The natural logarithm of x."},
    {u"LOG", efLog, "(x)", "The base-10 logarithm of x."},
    {u"SQR", efSqr, "(x)", "x squared."},
    {u"SQRT", efSqrt, "(x)", "The square root of x."},
    {u"ABS", efAbs, "(x)", "The absolute value of x."},
    {u"POWER", efPower, "(b, e)", "b raised to e (a negative b only for a whole e)."},
    {u"RANDOM", efRandom, "(n)", "A random whole number from 0 to n - 1."},
    {u"ORD", efOrd, "(s)", "The character code of the first character of s."},
    {u"CHR", efChr, "(n)", "The character with the code n."},
    {u"STRTOINT", efStrToInt, "(s)", "s read as a whole number."},
    {u"STRTOFLOAT", efStrToFloat, "(s)", "s read as a number with the locale's decimal separator."},
    {u"INTTOSTR", efIntToStr, "(n)", "n rounded to a whole number, as text; '0' when n is no number."},
    {u"DATETOSTR", efDateToStr, "(d)", "d as text in the locale's short date format; empty for Null."},
    {u"FLOATTOSTR", efFloatToStr, "(n)",
     "n as text, up to 15 significant digits, with the locale's decimal separator."},
    {u"LEFT", efLeft, "(s, n)", "The first n characters of s (all of s when it is shorter)."},
    {u"RIGHT", efRight, "(s, n)", "The last n characters of s (all of s when it is shorter)."},
    {u"LENGTH", efLength, "(s)", "The number of characters of s."},
    {u"REPLACE", efReplace, "(s, old, new)", "s with every occurrence of old replaced by new, left to right."},
    {u"POS", efPos, "(sub, s)", "Where sub first occurs in s (1 = first character); 0 when it does not."},
    {u"FORMAT", efFormat, "(x, descriptor)",
     "x as an expression control with that Format prints it: FORMAT([Price], '@N @ND2 @NR0.01 ')."},
    {u"FORMATFLOAT", efFormatFloat, "(pattern, x)",
     "The number x through a pattern of 0, #, ',' and '.': FORMATFLOAT('#,##0.00', 1234.5) is '1,234.50'."},
    {u"COALESCE", efCoalesce, "(a, b, ...)", "The first argument that is not Null; the rest are not evaluated."},
};
static_assert(std::size(kFunctionNames) == ExprFunctionNameCount);

} // namespace

TExprFunction FindExprFunction(QStringView name)
{
    if (name.size() > 11) // FORMATFLOAT is the longest; a long name is no function
        return efNone;
    for (const TExprFunctionInfo& f : kFunctionNames) {
        if (EqualsAsciiNoCase(name, QStringView(f.Name)))
            return f.Function;
    }
    return efNone;
}

QString ExprFunctionName(TExprFunction function)
{
    if (function == efCountStar)
        return QStringLiteral("COUNT(*)");
    for (const TExprFunctionInfo& f : kFunctionNames) {
        if (f.Function == function)
            return QString::fromUtf16(f.Name);
    }
    return {};
}

std::span<const TExprFunctionInfo> ExprFunctionTable()
{
    return kFunctionNames;
}

} // namespace vorel
