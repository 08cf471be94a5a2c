#include "export/markup_text.h"

namespace vorel {

namespace {

// Appends c unless it is not allowed in a document; returns the index of
// the last unit consumed (a surrogate pair takes two).
qsizetype AppendChecked(QString& out, QStringView text, qsizetype i)
{
    const QChar c = text[i];
    const char16_t u = c.unicode();
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        out += c;
        out += text[i + 1];
        return i + 1;
    }
    if (c.isSurrogate() || (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF)
        out += QChar(0xFFFD);
    else
        out += c;
    return i;
}

} // namespace

QString XmlEscape(QStringView text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        switch (text[i].unicode()) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'"': out += u"&quot;"; break;
        case u'\'': out += u"&apos;"; break;
        case u'\t': out += u"&#9;"; break;
        case u'\n': out += u"&#10;"; break;
        case u'\r': out += u"&#13;"; break;
        default: i = AppendChecked(out, text, i); break;
        }
    }
    return out;
}

QString HtmlEscape(QStringView text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        switch (text[i].unicode()) {
        case u'"': out += u"&quot;"; break;
        case u'&': out += u"&amp;"; break;
        case u'\'': out += u"&#39;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case 0x00A9: out += u"&copy;"; break;
        case 0x00B1: out += u"&plusmn;"; break;
        case 0x00B0: out += u"&deg;"; break;
        case 0x00B6: out += u"&para;"; break;
        case 0x2122: out += u"&trade;"; break;
        default: i = AppendChecked(out, text, i); break;
        }
    }
    return out;
}

} // namespace vorel
