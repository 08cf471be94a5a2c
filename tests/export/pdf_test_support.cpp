#include "pdf_test_support.h"

#include <QDir>
#include <QFileInfo>

namespace vorel::pdftest {

namespace {

// The number after key in a dictionary text, or the value of the object it
// refers to ("/Length 7 0 R").
qint64 DictNumber(const QByteArray& dict, const QByteArray& key, const QByteArray& pdf,
    const std::vector<qint64>& offsets)
{
    const QRegularExpression re(QRegularExpression::escape(QString::fromLatin1(key))
        + QStringLiteral("\\s+(\\d+)(\\s+0\\s+R)?"));
    const auto m = re.match(QString::fromLatin1(dict));
    if (!m.hasMatch())
        return -1;
    const qint64 value = m.captured(1).toLongLong();
    if (m.captured(2).isEmpty())
        return value;
    if (value <= 0 || std::size_t(value) >= offsets.size())
        return -1;
    // "N 0 obj" CR LF, then the number.
    const qsizetype at = pdf.indexOf('\n', offsets[std::size_t(value)]) + 1;
    const qsizetype end = pdf.indexOf('\r', at);
    return pdf.mid(at, end - at).trimmed().toLongLong();
}

QString Printable(QByteArrayView bytes)
{
    QString out;
    for (const char ch : bytes) {
        const auto c = std::uint8_t(ch);
        if (c == '\r')
            continue;
        if (c == '\n' || (c >= 0x20 && c < 0x7F))
            out += QChar(c);
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

QString DumpObjects(const QByteArray& pdf)
{
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (startxref < 0)
        return QStringLiteral("no startxref\n");
    const qint64 xref = pdf.mid(startxref + 9, 24).trimmed().split('\r').first().toLongLong();
    if (!pdf.mid(xref).startsWith("xref"))
        return QStringLiteral("startxref does not point at xref\n");
    QList<QByteArray> lines = pdf.mid(xref, startxref - xref).split('\n');
    const QList<QByteArray> head = lines.value(1).trimmed().split(' ');
    const int count = head.value(1).toInt();
    std::vector<qint64> offsets(std::size_t(std::max(count, 0)), -1);
    for (int i = 1; i < count; ++i)
        offsets[std::size_t(i)] = lines.value(2 + i).left(10).toLongLong();

    QString out;
    out += QStringLiteral("header: %1\n").arg(Printable(pdf.left(pdf.indexOf('\n'))));
    for (int i = 1; i < count; ++i) {
        const qint64 at = offsets[std::size_t(i)];
        const qsizetype end = pdf.indexOf("endobj", at);
        if (at < 0 || end < 0) {
            out += QStringLiteral("object %1: missing\n").arg(i);
            continue;
        }
        QByteArray text = pdf.mid(at, end - at);
        const qsizetype stream = text.indexOf("\r\nstream\r\n");
        if (stream >= 0) {
            const QByteArray dict = text.left(stream);
            const qint64 length = DictNumber(dict, "/Length", pdf, offsets);
            const qsizetype dataAt = stream + 10;
            QString body;
            if (dict.contains("/Filter"))
                body = QStringLiteral("<%1 bytes of encoded data>\n").arg(length);
            else
                body = Printable(text.mid(dataAt, length));
            out += Printable(dict) + QStringLiteral("\nstream\n") + body + Printable(text.mid(dataAt + length));
        } else {
            out += Printable(text);
        }
        out += QStringLiteral("endobj\n");
    }
    out += QStringLiteral("xref: %1 entries\n").arg(count);
    const qsizetype trailer = pdf.indexOf("trailer", xref);
    out += Printable(pdf.mid(trailer, startxref - trailer));
    out.replace(QRegularExpression(QStringLiteral("/(CreationDate|ModDate) \\(D:\\d{14}[+-]\\d\\d'\\d\\d'\\)")),
        QStringLiteral("/\\1 (D:yyyymmddhhmmss+hh'mm')"));
    return out;
}

} // namespace vorel::pdftest
