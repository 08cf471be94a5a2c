#include "foundation/values/text_utils.h"

#include "foundation/values/errors.h"
#include "foundation/locale/format_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>

namespace vorel {

double StrToFloatDef(const QString& text, double defaultValue)
{
    double value = 0;
    // TryStrToFloat skips blanks and control characters around the number
    // and fails on an empty text.
    if (!TryStrToFloat(text, value, FormatSettings()))
        return defaultValue;
    return value;
}

QString ReplaceChr(const QString& text, QChar oldChar, QChar newChar)
{
    QString result = text;
    result.replace(oldChar, newChar);
    return result;
}

QString PadLSpace(const QString& text, int widthInChars)
{
    if (text.size() >= widthInChars)
        return text;
    return QString(widthInChars - text.size(), u' ') + text;
}

QString PadRSpace(const QString& text, int widthInChars)
{
    if (text.size() >= widthInChars)
        return text;
    return text + QString(widthInChars - text.size(), u' ');
}

QString GetFieldName(const QString& qualifiedName)
{
    const qsizetype dot = qualifiedName.indexOf(u'.');
    if (dot < 0)
        return QString();
    return qualifiedName.mid(dot + 1);
}

QString SetDSExpression(const QString& dataSetName, const QString& fieldName)
{
    if (!dataSetName.isEmpty() && !fieldName.isEmpty())
        return dataSetName + u'.' + fieldName;
    return dataSetName + fieldName;
}

QString ReplaceSystemChars(const QString& text)
{
    QString result;
    result.reserve(text.size() + 16);
    for (QChar c : text) {
        switch (c.unicode()) {
        case 0x0022: result += u"&quot;"; break;
        case 0x0026: result += u"&amp;"; break;
        case 0x0027: result += u"&apos;"; break;
        case 0x003C: result += u"&lt;"; break;
        case 0x003E: result += u"&gt;"; break;
        case 0x007C: result += u"&brvbar"; break;
        case 0x00A9: result += u"&copy;"; break;
        case 0x00B1: result += u"&plusmn"; break;
        case 0x00B0: result += u"&deg"; break;
        case 0x00B6: result += u"&para"; break;
        case 0x2122: result += u"&trade;"; break;
        default: result += c; break;
        }
    }
    return result;
}

QString GetUniqueFileName(const QString& extension)
{
    const QString folder = QDir::tempPath();
    const QString suffix = extension.isEmpty() || extension.startsWith(u'.') ? extension : u'.' + extension;
    // Like the system's temporary-name service: a prefix and a hexadecimal
    // number, tried until a file of that name can be created exclusively.
    quint32 number = QRandomGenerator::global()->bounded(0x10000u);
    for (int attempt = 0; attempt < 0x10000; ++attempt, number = (number + 1) & 0xFFFF) {
        const QString base = folder + QStringLiteral("/KVX") + QString::number(number, 16).toUpper();
        QFile probe(base + QStringLiteral(".tmp"));
        if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            continue;
        probe.close();
        probe.remove();
        // The name with the wanted extension must be free as well.
        if (!suffix.isEmpty() && QFile::exists(base + suffix))
            continue;
        return base + suffix;
    }
    throw EStreamError(FormatText(QStringLiteral("Cannot create a temporary file in %s"), {folder}));
}

namespace {

bool SteersTerminal(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString EscapeControlCharacters(QStringView text, bool keepLineBreaks)
{
    const auto escaped = [keepLineBreaks](char16_t c) {
        return SteersTerminal(c) && c != u'\t' && !(keepLineBreaks && c == u'\n');
    };
    // Messages almost never hold one: no copy then.
    if (std::none_of(text.begin(), text.end(), [&](QChar c) { return escaped(c.unicode()); }))
        return text.toString();
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!escaped(u))
            out += c;
        else if (u <= 0xFF)
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

bool IsSpecialFile(const QString& fileName)
{
    const QFileInfo info(fileName); // follows links: a link to a device is a device
    return info.exists() && !info.isFile() && !info.isDir();
}

} // namespace vorel
