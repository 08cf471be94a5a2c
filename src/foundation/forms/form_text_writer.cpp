// Writes a FormComponent tree in the readable text form:
//
//   object Report1: TKVReport
//     Left = 10
//     Font.Style = [fsBold, fsItalic]
//     Lines.Strings = (
//       'first'
//       'second')
//     Variables = <
//       item
//         Name = 'Total'
//       end>
//     object Band1: TKVXBand
//     end
//   end
//
// The output is 7-bit ASCII: characters outside printable ASCII (and the
// quote) are written as #nnn, their UTF-16 code. Floats are written with
// the fewest digits that read back to the same bits.

#include "foundation/forms/form_stream.h"
#include "foundation/forms/form_text_p.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorel {

namespace {

constexpr int kStringLineLength = 64; // characters of a string per text line
constexpr int kBinaryBytesPerLine = 32;

class TextWriter {
public:
    QByteArray Write(const FormComponent& root)
    {
        WriteComponent(root, 0);
        return std::move(FOut);
    }

private:
    void NewLine(int level)
    {
        FOut.append("\r\n");
        FOut.append(QByteArray(2 * level, ' '));
    }
    void Append(const QString& text) { FOut.append(text.toUtf8()); }
    bool AtLineStart() const
    {
        qsizetype i = FOut.size();
        while (i > 0 && FOut[i - 1] == ' ')
            --i;
        return i == 0 || FOut[i - 1] == '\n';
    }

    void WriteComponent(const FormComponent& c, int level)
    {
        FOut.append(QByteArray(2 * level, ' '));
        if (c.Flags & ffInherited)
            FOut.append("inherited ");
        else if (c.Flags & ffInline)
            FOut.append("inline ");
        else
            FOut.append("object ");
        if (!c.Name.isEmpty()) {
            Append(c.Name);
            FOut.append(": ");
        }
        Append(c.ClassName);
        if (c.Flags & ffChildPos) {
            FOut.append(" [");
            FOut.append(QByteArray::number(qlonglong(c.ChildPos.Int)));
            FOut.append("]");
        }
        WriteProperties(c.Properties, level + 1);
        for (const FormComponent& child : c.Children) {
            FOut.append("\r\n");
            WriteComponent(child, level + 1);
        }
        NewLine(level);
        FOut.append("end");
        if (level == 0)
            FOut.append("\r\n");
    }

    void WriteProperties(const std::vector<FormProperty>& properties, int level)
    {
        for (const FormProperty& p : properties) {
            NewLine(level);
            Append(p.Name);
            FOut.append(" =");
            // A long string starts on its own line; everything else after a blank.
            if (!(p.Value.IsString() && p.Value.Text.size() > kStringLineLength))
                FOut.append(' ');
            WriteValue(p.Value, level);
        }
    }

    void WriteValue(const FormValue& v, int level)
    {
        switch (v.Kind) {
        case vaNull:
            FOut.append("Null");
            break;
        case vaNil:
            FOut.append("nil");
            break;
        case vaFalse:
            FOut.append("False");
            break;
        case vaTrue:
            FOut.append("True");
            break;
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64:
            FOut.append(QByteArray::number(qlonglong(v.Int)));
            break;
        case vaCurrency:
            // The classic text keeps the scaled integer: 12.5 is "125000c".
            FOut.append(QByteArray::number(qlonglong(v.Int)));
            FOut.append('c');
            break;
        case vaExtended:
            FOut.append(FormFloatText(v.ToLongDouble(), vaExtended));
            break;
        case vaSingle:
            FOut.append(FormFloatText(v.ToLongDouble(), vaSingle));
            FOut.append('s');
            break;
        case vaDate:
            FOut.append(FormFloatText(v.ToLongDouble(), vaDate));
            FOut.append('d');
            break;
        case vaDouble:
            FOut.append(FormFloatText(v.ToLongDouble(), vaDouble));
            FOut.append('f');
            break;
        case vaString:
        case vaLString:
        case vaWString:
        case vaUTF8String:
            WriteString(v.Text, level + 1);
            break;
        case vaIdent:
            Append(v.Text);
            break;
        case vaSet:
            FOut.append('[');
            for (int i = 0; i < v.Set.size(); ++i) {
                if (i > 0)
                    FOut.append(", ");
                Append(v.Set[i]);
            }
            FOut.append(']');
            break;
        case vaList:
            FOut.append('(');
            for (const FormValue& item : v.List) {
                NewLine(level + 1);
                WriteValue(item, level + 1);
            }
            FOut.append(')');
            break;
        case vaCollection:
            FOut.append('<');
            for (const FormCollectionItem& item : v.Items) {
                NewLine(level + 1);
                FOut.append("item");
                if (item.HasOrder) {
                    FOut.append(" [");
                    FOut.append(QByteArray::number(qlonglong(item.Order.Int)));
                    FOut.append("]");
                }
                WriteProperties(item.Properties, level + 2);
                NewLine(level + 1);
                FOut.append("end");
            }
            FOut.append('>');
            break;
        case vaBinary:
            FOut.append('{');
            for (qsizetype i = 0; i < v.Bytes.size(); i += kBinaryBytesPerLine) {
                NewLine(level + 1);
                FOut.append(v.Bytes.mid(i, kBinaryBytesPerLine).toHex().toUpper());
            }
            FOut.append('}');
            break;
        }
    }

    // Runs of printable ASCII in quotes, every other character as #nnn;
    // a string longer than a line starts on a new line and continues with
    // " +" every kStringLineLength characters.
    void WriteString(const QString& w, int level)
    {
        const qsizetype length = w.size();
        if (length == 0) {
            FOut.append("''");
            return;
        }
        if (length > kStringLineLength && !AtLineStart())
            NewLine(level);
        auto plain = [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'\''; };
        qsizetype i = 0;
        qsizetype lineStart = 0;
        while (i < length) {
            bool lineBreak = false;
            if (plain(w[i])) {
                const qsizetype j = i;
                do
                    ++i;
                while (i < length && plain(w[i]) && i - lineStart < kStringLineLength);
                if (i - lineStart >= kStringLineLength)
                    lineBreak = true;
                FOut.append('\'');
                FOut.append(w.mid(j, i - j).toLatin1());
                FOut.append('\'');
            } else {
                FOut.append('#');
                FOut.append(QByteArray::number(w[i].unicode()));
                ++i;
                if (i - lineStart >= kStringLineLength)
                    lineBreak = true;
            }
            if (lineBreak && i < length) {
                FOut.append(" +");
                NewLine(level);
                lineStart = i;
            }
        }
    }

    QByteArray FOut;
};

// Digits and exponent of v with `precision` significant digits, as printf's %e gives them.
bool DecimalDigits(long double v, int precision, QByteArray& digits, int& exponent)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", precision - 1, v);
    const char* e = std::strchr(buffer, 'e');
    if (!e)
        return false;
    digits.clear();
    for (const char* p = buffer; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            digits.append(*p);
    exponent = std::atoi(e + 1);
    return true;
}

bool ReadsBack(const QByteArray& text, long double v, TValueType kind)
{
    const long double back = std::strtold(text.constData(), nullptr);
    switch (kind) {
    case vaSingle:
        return float(back) == float(v);
    case vaDouble:
    case vaDate:
        return double(back) == double(v);
    default:
        return LongDoubleToExtended(back) == LongDoubleToExtended(v);
    }
}

} // namespace

QByteArray FormFloatText(long double v, TValueType kind)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    const int maxDigits = kind == vaSingle ? 9 : (kind == vaExtended ? 21 : 17);
    QByteArray digits;
    int exponent = 0;
    for (int precision = 1; precision <= maxDigits; ++precision) {
        if (!DecimalDigits(v, precision, digits, exponent))
            break;
        QByteArray probe = digits;
        probe.insert(1, '.');
        probe.append('e');
        probe.append(QByteArray::number(exponent));
        if (std::signbit(v))
            probe.prepend('-');
        if (ReadsBack(probe, v, kind))
            break;
    }
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    QByteArray out;
    if (std::signbit(v))
        out.append('-');
    if (exponent >= -5 && exponent < 18) {
        // Fixed notation, always with a decimal point so it reads back as a float.
        if (exponent < 0) {
            out.append("0.");
            out.append(QByteArray(-exponent - 1, '0'));
            out.append(digits);
        } else {
            const int intDigits = exponent + 1;
            if (digits.size() <= intDigits) {
                out.append(digits);
                out.append(QByteArray(intDigits - digits.size(), '0'));
                out.append(".0");
            } else {
                out.append(digits.left(intDigits));
                out.append('.');
                out.append(digits.mid(intDigits));
            }
        }
    } else {
        out.append(digits.left(1));
        if (digits.size() > 1) {
            out.append('.');
            out.append(digits.mid(1));
        }
        out.append('E');
        out.append(QByteArray::number(exponent));
    }
    return out;
}

QByteArray WriteFormText(const FormComponent& root)
{
    return TextWriter().Write(root);
}

} // namespace vorel
