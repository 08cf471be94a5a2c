// The expression lexer: turns the text into tokens one at a time.
//
// The symbol rule matters most: a plain name runs on over blanks, digits,
// dots and brackets, so "Last Name" is one name and stored report forms that
// use unbracketed names with blanks keep working. The price is that a
// keyword after a plain name is swallowed into it ("Total > 5 AND Qty" scans
// "AND Qty" as one symbol); keywords work after brackets, quotes, numbers or
// parentheses.

#include "expr/expr_parser.h"

#include "foundation/errors.h"

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

void TExprParser::ScanSymbol(qsizetype& p) const
{
    if (!FFarEast) {
        ++p; // the start character was tested by the caller
        while (IsSymbolRunChar(Ch(p)))
            ++p;
        return;
    }
    // Far-east locales test every character of the run with the run set and
    // also step over surrogate pairs (the double-byte lead characters of
    // UTF-16) and, for Japanese, over any character whose low eight bits lie
    // in 0xA1..0xDF. The first character always belongs to the symbol (it
    // passed the start test), so a Cyrillic first letter cannot leave an
    // empty symbol behind.
    bool first = true;
    for (;;) {
        const QChar c = Ch(p);
        if (c.isNull())
            return;
        if (c.isHighSurrogate()) {
            p += Ch(p + 1).isNull() ? 1 : 2;
        } else if (IsSymbolRunChar(c) || first) {
            ++p;
        } else if (FJapanese && (c.unicode() & 0xFF) >= 0xA1 && (c.unicode() & 0xFF) <= 0xDF) {
            ++p;
        } else {
            return;
        }
        first = false;
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
            ScanSymbol(p);
            FTokenString = QStringView(FText).mid(start, p - start).trimmed().toString();
            if (EqualsAsciiNoCase(FTokenString, u"LIKE"))
                FToken = etLIKE;
            else if (EqualsAsciiNoCase(FTokenString, u"IN"))
                FToken = etIN;
            else if (EqualsAsciiNoCase(FTokenString, u"IS NULL"))
                FToken = etISNULL;
            else if (EqualsAsciiNoCase(FTokenString, u"IS NOT NULL"))
                FToken = etISNOTNULL;
            else
                FToken = etSymbol;
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

struct FunctionName {
    const char16_t* Name;
    TExprFunction Function;
};

constexpr FunctionName kFunctionNames[] = {
    {u"UPPER", efUpper},         {u"LOWER", efLower},         {u"SUBSTRING", efSubstring},
    {u"IIF", efIif},             {u"TRIM", efTrim},           {u"TRIMLEFT", efTrimLeft},
    {u"TRIMRIGHT", efTrimRight}, {u"YEAR", efYear},           {u"MONTH", efMonth},
    {u"DAY", efDay},             {u"HOUR", efHour},           {u"MINUTE", efMinute},
    {u"SECOND", efSecond},       {u"GETDATE", efGetDate},     {u"DATE", efDate},
    {u"STRTODATE", efStrToDate}, {u"TIME", efTime},           {u"SUM", efSum},
    {u"MIN", efMin},             {u"MAX", efMax},             {u"AVG", efAvg},
    {u"COUNT", efCount},         {u"SIN", efSin},             {u"ARCSIN", efArcSin},
    {u"COS", efCos},             {u"ARCCOS", efArcCos},       {u"TAN", efTan},
    {u"ARCTAN", efArcTan},       {u"EXP", efExp},             {u"FRAC", efFrac},
    {u"INT", efInt},             {u"ROUND", efRound},         {u"DIV", efDiv},
    {u"LN", efLn},               {u"LOG", efLog},             {u"SQR", efSqr},
    {u"SQRT", efSqrt},           {u"ABS", efAbs},             {u"POWER", efPower},
    {u"RANDOM", efRandom},       {u"ORD", efOrd},             {u"CHR", efChr},
    {u"STRTOINT", efStrToInt},   {u"STRTOFLOAT", efStrToFloat}, {u"INTTOSTR", efIntToStr},
    {u"DATETOSTR", efDateToStr}, {u"FLOATTOSTR", efFloatToStr},
};
static_assert(std::size(kFunctionNames) == ExprFunctionNameCount);

} // namespace

TExprFunction FindExprFunction(QStringView name)
{
    if (name.size() > 10)
        return efNone;
    for (const FunctionName& f : kFunctionNames) {
        if (EqualsAsciiNoCase(name, QStringView(f.Name)))
            return f.Function;
    }
    return efNone;
}

QString ExprFunctionName(TExprFunction function)
{
    if (function == efCountStar)
        return QStringLiteral("COUNT(*)");
    for (const FunctionName& f : kFunctionNames) {
        if (f.Function == function)
            return QString::fromUtf16(f.Name);
    }
    return {};
}

} // namespace vorel
