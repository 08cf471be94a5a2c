// Reads the readable text form into a FormComponent tree. Values take the
// kind the binary writer would give them (FormValue's canonical
// constructors), so text -> binary gives what a binary save would.

#include "foundation/forms/form_stream.h"
#include "foundation/forms/form_stream_p.h"

#include <QStringDecoder>
#include <cmath>
#include <cstdlib>

namespace vorel {

namespace {

enum class Tok { End, Ident, Number, String, Symbol };

class TextParser {
public:
    TextParser(QByteArrayView text, const FormParseOptions& options) : FText(text), FOptions(options)
    {
        if (!FOptions.DecodeAnsi)
            FOptions.DecodeAnsi = DecodeWindows1252;
        if (FText.startsWith("\xEF\xBB\xBF"))
            FPos = 3;
        Next();
    }

    void Parse(FormComponent& root)
    {
        if (FTok != Tok::Ident || !IsComponentKeyword())
            Fail(QStringLiteral("Invalid stream format (\"object\", \"inherited\" or \"inline\" expected)"));
        ReadComponent(root, 0);
    }

private:
    // --- errors ---------------------------------------------------------------------------
    [[noreturn]] void Fail(const QString& reason) { FailAt(reason, FTokStart, FTokLine); }
    [[noreturn]] void FailAt(const QString& reason, qsizetype offset, int line)
    {
        throw EStreamError(FormErrorMessage(FComponent, FProperty, FOptions.BaseOffset + offset, line, reason),
                           FormErrorPlace(FPath, FProperty, FOptions.BaseOffset + offset, line));
    }
    QString TokenText() const
    {
        if (FTok == Tok::End)
            return QStringLiteral("end of text");
        return QStringLiteral("\"%1\"").arg(QString::fromUtf8(FText.sliced(FTokStart, FPos - FTokStart)));
    }
    [[noreturn]] void Expected(const QString& what) { Fail(QStringLiteral("%1 expected but %2 found").arg(what, TokenText())); }

    // --- tokens ----------------------------------------------------------------------------
    char At(qsizetype i) const { return i < FText.size() ? FText[i] : '\0'; }
    static bool IdentStart(char c) { return std::isalpha(std::uint8_t(c)) || c == '_' || std::uint8_t(c) >= 0x80; }
    static bool IdentChar(char c) { return IdentStart(c) || std::isdigit(std::uint8_t(c)) || c == '.'; }

    void SkipBlanks()
    {
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == '\n')
                ++FLine;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f')
                ++FPos;
            else
                break;
        }
    }

    void Next()
    {
        SkipBlanks();
        FTokStart = FPos;
        FTokLine = FLine;
        FValue.clear();
        if (FPos >= FText.size()) {
            FTok = Tok::End;
            return;
        }
        const char c = FText[FPos];
        if (IdentStart(c)) {
            while (FPos < FText.size() && IdentChar(FText[FPos]))
                ++FPos;
            FTok = Tok::Ident;
            FValue = QString::fromUtf8(FText.sliced(FTokStart, FPos - FTokStart));
        } else if (std::isdigit(std::uint8_t(c)) || c == '$') {
            ScanNumber();
        } else if (c == '\'' || c == '#') {
            ScanString();
        } else {
            ++FPos;
            FTok = Tok::Symbol;
            FSymbol = c;
        }
    }

    void ScanNumber()
    {
        FTok = Tok::Number;
        if (FText[FPos] == '$') {
            ++FPos;
            while (std::isxdigit(std::uint8_t(At(FPos))))
                ++FPos;
        } else {
            while (std::isdigit(std::uint8_t(At(FPos))))
                ++FPos;
            if (At(FPos) == '.' && std::isdigit(std::uint8_t(At(FPos + 1)))) {
                ++FPos;
                while (std::isdigit(std::uint8_t(At(FPos))))
                    ++FPos;
            }
            if ((At(FPos) == 'e' || At(FPos) == 'E')
                && (std::isdigit(std::uint8_t(At(FPos + 1)))
                    || ((At(FPos + 1) == '-' || At(FPos + 1) == '+') && std::isdigit(std::uint8_t(At(FPos + 2)))))) {
                FPos += 2;
                while (std::isdigit(std::uint8_t(At(FPos))))
                    ++FPos;
            }
        }
        FNumber = FText.sliced(FTokStart, FPos - FTokStart).toByteArray();
        FSuffix = 0;
        const char s = char(std::tolower(std::uint8_t(At(FPos))));
        if (!FNumber.startsWith('$') && (s == 's' || s == 'c' || s == 'd' || s == 'f') && !IdentChar(At(FPos + 1))) {
            FSuffix = s;
            ++FPos;
        }
    }

    // 'quoted' runs ('' is a quote) and #nnn characters, adjacent pieces joined.
    void ScanString()
    {
        FTok = Tok::String;
        QString out;
        for (;;) {
            const char c = At(FPos);
            if (c == '\'') {
                ++FPos;
                QByteArray run;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n' || FText[FPos] == '\r')
                        FailAt(QStringLiteral("Unterminated string"), FTokStart, FTokLine);
                    if (FText[FPos] == '\'') {
                        if (At(FPos + 1) == '\'') {
                            run.append('\'');
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    run.append(FText[FPos++]);
                }
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                QString piece = utf8.decode(run);
                out += utf8.hasError() ? FOptions.DecodeAnsi(run) : piece;
            } else if (c == '#') {
                ++FPos;
                const qsizetype start = FPos;
                std::uint32_t code = 0;
                if (At(FPos) == '$') {
                    ++FPos;
                    while (std::isxdigit(std::uint8_t(At(FPos))) && code <= 0xFFFF)
                        code = code * 16 + std::uint32_t(QByteArray(1, FText[FPos++]).toUInt(nullptr, 16));
                } else {
                    while (std::isdigit(std::uint8_t(At(FPos))) && code <= 0xFFFF)
                        code = code * 10 + std::uint32_t(FText[FPos++] - '0');
                }
                if (FPos == start || (At(start) == '$' && FPos == start + 1) || code > 0xFFFF)
                    FailAt(QStringLiteral("Invalid character code in a string"), start - 1, FLine);
                out += QChar(char16_t(code));
            } else {
                break;
            }
        }
        FValue = out;
    }

    bool IsSymbol(char c) const { return FTok == Tok::Symbol && FSymbol == c; }
    bool IsKeyword(const char* word) const
    {
        return FTok == Tok::Ident && FValue.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool IsComponentKeyword() const { return IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline"); }
    void ExpectSymbol(char c)
    {
        if (!IsSymbol(c))
            Expected(QStringLiteral("'%1'").arg(QChar(c)));
        Next();
    }
    QString ExpectIdent(const QString& what)
    {
        if (FTok != Tok::Ident)
            Expected(what);
        QString name = FValue;
        Next();
        return name;
    }
    void Deeper(int depth)
    {
        if (depth > FOptions.MaxDepth)
            Fail(QStringLiteral("Invalid stream format (nested deeper than %1 levels)").arg(FOptions.MaxDepth));
    }

    // --- structure ------------------------------------------------------------------------
    void ReadComponent(FormComponent& c, int depth)
    {
        Deeper(depth);
        const QString outer = FComponent;
        const QString outerPath = FPath;
        c.Offset = FOptions.BaseOffset + FTokStart;
        c.Line = FTokLine;
        if (IsKeyword("inherited"))
            c.Flags = ffInherited;
        else if (IsKeyword("inline"))
            c.Flags = ffInline;
        Next();
        QString first = ExpectIdent(QStringLiteral("a component name or class name"));
        if (IsSymbol(':')) {
            Next();
            c.Name = first;
            c.ClassName = ExpectIdent(QStringLiteral("a class name"));
        } else {
            c.ClassName = first;
        }
        FComponent = c.Name.isEmpty() ? c.ClassName : c.Name;
        FPath = FormChildPath(outerPath, FComponent);
        const QString path = FPath;
        if (++FComponentCount > FOptions.MaxComponents)
            FailAt(QStringLiteral("Invalid stream format (more than %1 components, the most a form may hold)")
                       .arg(FOptions.MaxComponents),
                   qsizetype(c.Offset - FOptions.BaseOffset), c.Line);
        if (IsSymbol('[')) {
            Next();
            c.Flags |= ffChildPos;
            c.ChildPos = ReadOrdinal(QStringLiteral("a child position"));
            ExpectSymbol(']');
        }
        while (!IsKeyword("end")) {
            if (FTok == Tok::End)
                Expected(QStringLiteral("\"end\""));
            if (IsComponentKeyword()) {
                c.Children.emplace_back();
                ReadComponent(c.Children.back(), depth + 1);
                FComponent = c.Name.isEmpty() ? c.ClassName : c.Name;
                FPath = path;
            } else {
                if (!c.Children.empty())
                    Fail(QStringLiteral("a property after the child components"));
                c.Properties.push_back(ReadProperty(QString(), depth));
            }
        }
        Next();
        c.Complete = true;
        FComponent = outer;
        FPath = outerPath;
    }

    FormProperty ReadProperty(const QString& pathPrefix, int depth)
    {
        FormProperty p;
        p.Offset = FOptions.BaseOffset + FTokStart;
        p.Line = FTokLine;
        FProperty = pathPrefix;
        p.Name = ExpectIdent(QStringLiteral("a property name"));
        FProperty = pathPrefix.isEmpty() ? p.Name : pathPrefix + u'.' + p.Name;
        ExpectSymbol('=');
        p.Value = ReadValue(depth + 1);
        FProperty = pathPrefix;
        return p;
    }

    FormValue ReadOrdinal(const QString& what)
    {
        const bool negative = IsSymbol('-');
        if (negative)
            Next();
        if (FTok != Tok::Number || FSuffix != 0 || IsFloatText())
            Expected(what);
        FormValue v = IntegerValue(negative);
        if (v.Kind == vaInt64)
            Fail(QStringLiteral("%1 out of the 32-bit range").arg(what));
        Next();
        return v;
    }

    // A point or an exponent makes a float; "$1E" is a hexadecimal integer.
    bool IsFloatText() const
    {
        return !FNumber.startsWith('$') && (FNumber.contains('.') || FNumber.contains('e') || FNumber.contains('E'));
    }

    FormValue IntegerValue(bool negative)
    {
        bool ok = false;
        std::uint64_t magnitude = FNumber.startsWith('$') ? FNumber.mid(1).toULongLong(&ok, 16)
                                                         : FNumber.toULongLong(&ok, 10);
        const std::uint64_t limit = negative ? std::uint64_t(INT64_MAX) + 1 : std::uint64_t(INT64_MAX);
        if (!ok || magnitude > limit)
            Fail(QStringLiteral("Invalid integer %1").arg(TokenText()));
        const std::int64_t value = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
        return FormValue::Integer(value);
    }

    FormValue NumberValue(bool negative)
    {
        const bool isFloat = IsFloatText();
        if (FSuffix == 0 && !isFloat)
            return IntegerValue(negative);
        if (FSuffix == 'c') {
            // The scaled amount: 12.5 is written "125000c".
            if (!isFloat)
                return FormValue::CurrencyRaw(IntegerValue(negative).Int);
            const long double scaled = std::strtold(FNumber.constData(), nullptr);
            if (!(std::fabs(scaled) < 9.2e18L))
                Fail(QStringLiteral("Currency value out of range"));
            return FormValue::CurrencyRaw(std::int64_t(std::llroundl(negative ? -scaled : scaled)));
        }
        const long double value = std::strtold(FNumber.constData(), nullptr);
        return FloatValue(negative ? -value : value);
    }

    FormValue FloatValue(long double value)
    {
        switch (FSuffix) {
        case 's':
            return FormValue::Single(float(value));
        case 'd':
            return FormValue::Date(double(value));
        case 'f':
            return FormValue::Double(double(value));
        default:
            return FormValue::Float(value);
        }
    }

    // NAN, INF and -INF (optionally with a float suffix) stand for the
    // non-finite floats; they are not identifiers there.
    bool NonFinite(const QString& word, bool negative, FormValue& out)
    {
        QString base = word;
        FSuffix = 0;
        const QChar last = word.isEmpty() ? QChar() : word.back();
        if (word.size() == 4 && (last == u's' || last == u'd' || last == u'f')) {
            FSuffix = char(last.unicode());
            base.chop(1);
        }
        long double value;
        if (base == QLatin1String("NAN") && !negative)
            value = std::nanl("");
        else if (base == QLatin1String("INF"))
            value = negative ? -HUGE_VALL : HUGE_VALL;
        else
            return false;
        out = FloatValue(value);
        return true;
    }

    FormValue ReadValue(int depth)
    {
        Deeper(depth);
        if (FTok == Tok::Symbol && (FSymbol == '-' || FSymbol == '+')) {
            const bool negative = FSymbol == '-';
            Next();
            FormValue v;
            if (FTok == Tok::Ident && NonFinite(FValue, negative, v)) {
                Next();
                return v;
            }
            if (FTok != Tok::Number)
                Expected(QStringLiteral("a number"));
            v = NumberValue(negative);
            Next();
            return v;
        }
        switch (FTok) {
        case Tok::Number: {
            FormValue v = NumberValue(false);
            Next();
            return v;
        }
        case Tok::String: {
            QString text = FValue;
            Next();
            while (IsSymbol('+')) {
                Next();
                if (FTok != Tok::String)
                    Expected(QStringLiteral("a string"));
                text += FValue;
                Next();
            }
            return FormValue::String(text);
        }
        case Tok::Ident: {
            FormValue v;
            if (NonFinite(FValue, false, v)) {
                Next();
                return v;
            }
            v = FormValue::Ident(FValue);
            Next();
            return v;
        }
        case Tok::Symbol:
            break;
        case Tok::End:
            Expected(QStringLiteral("a value"));
        }
        switch (FSymbol) {
        case '[': {
            Next();
            QStringList names;
            if (!IsSymbol(']')) {
                for (;;) {
                    names.append(ExpectIdent(QStringLiteral("a set element")));
                    if (IsSymbol(']'))
                        break;
                    ExpectSymbol(',');
                }
            }
            Next();
            return FormValue::SetOf(names);
        }
        case '(': {
            Next();
            std::vector<FormValue> items;
            while (!IsSymbol(')')) {
                if (FTok == Tok::End)
                    Expected(QStringLiteral("')'"));
                items.push_back(ReadValue(depth + 1));
            }
            Next();
            return FormValue::ListOf(std::move(items));
        }
        case '<':
            return ReadCollection(depth + 1);
        case '{':
            return ReadBinary();
        default:
            Expected(QStringLiteral("a value"));
        }
    }

    FormValue ReadCollection(int depth)
    {
        Next();
        const QString property = FProperty;
        std::vector<FormCollectionItem> items;
        while (!IsSymbol('>')) {
            if (!IsKeyword("item"))
                Expected(QStringLiteral("\"item\" or '>'"));
            FormCollectionItem item;
            item.Offset = FOptions.BaseOffset + FTokStart;
            item.Line = FTokLine;
            Next();
            if (IsSymbol('[')) {
                Next();
                item.HasOrder = true;
                item.Order = ReadOrdinal(QStringLiteral("an item order"));
                ExpectSymbol(']');
            }
            const QString itemPath = QStringLiteral("%1[%2]").arg(property).arg(items.size());
            while (!IsKeyword("end")) {
                if (FTok == Tok::End)
                    Expected(QStringLiteral("\"end\""));
                item.Properties.push_back(ReadProperty(itemPath, depth));
            }
            FProperty = property;
            Next();
            items.push_back(std::move(item));
        }
        Next();
        return FormValue::Collection(std::move(items));
    }

    // Hexadecimal digits (white space allowed between them) up to '}'.
    FormValue ReadBinary()
    {
        QByteArray hex;
        while (FPos < FText.size() && FText[FPos] != '}') {
            const char c = FText[FPos];
            if (std::isxdigit(std::uint8_t(c)))
                hex.append(c);
            else if (c == '\n')
                ++FLine;
            else if (c != ' ' && c != '\t' && c != '\r')
                FailAt(QStringLiteral("Invalid binary value (a hexadecimal digit expected)"), FPos, FLine);
            ++FPos;
        }
        if (FPos >= FText.size())
            FailAt(QStringLiteral("Invalid binary value ('}' expected)"), FTokStart, FTokLine);
        if (hex.size() % 2 != 0)
            FailAt(QStringLiteral("Invalid binary value (an odd number of hexadecimal digits)"), FTokStart, FTokLine);
        ++FPos; // '}'
        Next();
        return FormValue::Binary(QByteArray::fromHex(hex));
    }

    QByteArrayView FText;
    FormParseOptions FOptions;
    qsizetype FPos = 0;
    int FLine = 1;
    Tok FTok = Tok::End;
    qsizetype FTokStart = 0;
    int FTokLine = 1;
    QString FValue; // identifier or decoded string
    QByteArray FNumber; // number text without sign and suffix
    char FSuffix = 0; // s, c, d, f or 0
    char FSymbol = 0;
    QString FComponent = QStringLiteral("form");
    QString FPath; // of the component being read, from the root: for the error's place
    QString FProperty;
    std::int64_t FComponentCount = 0;
};

} // namespace

void ReadFormText(QByteArrayView text, FormComponent& root, const FormParseOptions& options)
{
    TextParser(text, options).Parse(root);
}

} // namespace vorel
