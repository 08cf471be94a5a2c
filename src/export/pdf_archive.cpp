#include "export/pdf_archive.h"

#include "export/markup_text.h"
#include "foundation/values/errors.h"

#include <QFile>

namespace vorel {

namespace {

// An ICC profile starts with a 128-byte header.
constexpr qint64 kIccHeaderBytes = 128;
// No sRGB profile comes near this; a larger file is something else.
constexpr qint64 kIccMaxBytes = 4 * 1024 * 1024;

// The offset from UTC: sign, hours, sep, minutes, end ("+05'30'" or "+05:30").
QString Offset(const QDateTime& date, QChar sep, QLatin1String end)
{
    const int minutes = date.offsetFromUtc() / 60;
    const int magnitude = std::abs(minutes);
    return QString(minutes < 0 ? u'-' : u'+') + QStringLiteral("%1").arg(magnitude / 60, 2, 10, QLatin1Char('0'))
        + sep + QStringLiteral("%1").arg(magnitude % 60, 2, 10, QLatin1Char('0')) + end;
}

} // namespace

QByteArray PdfDate(const QDateTime& date)
{
    return "D:" + date.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1()
        + Offset(date, u'\'', QLatin1String("'")).toLatin1();
}

QString XmpDate(const QDateTime& date)
{
    return date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + Offset(date, u':', QLatin1String(""));
}

QByteArray ReadPdfColorProfile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EKVXError(QStringLiteral("PDF/A needs the colour profile %1 (Debian package icc-profiles-free): %2")
                            .arg(fileName, file.errorString()));
    const QByteArray profile = file.read(kIccMaxBytes + 1);
    // Bytes 36..39 of every ICC profile are its signature "acsp".
    if (profile.size() < kIccHeaderBytes || profile.size() > kIccMaxBytes || profile.mid(36, 4) != "acsp")
        throw EKVXError(QStringLiteral("PDF/A needs the colour profile %1, but that file is no ICC profile")
                            .arg(fileName));
    return profile;
}

QByteArray PdfAMetadata(const TPdfInfo& info)
{
    const QString created = XmpDate(info.Created);
    auto element = [](const char* name, const QString& value) {
        return value.isEmpty() ? QString()
                               : QStringLiteral("   <%1>%2</%1>\n").arg(QLatin1String(name), XmlEscape(value));
    };
    // dc:title and dc:description are language alternatives, dc:creator an
    // ordered list: PDF/A checks them in those shapes.
    auto alternative = [](const char* name, const QString& value) {
        return value.isEmpty() ? QString()
                               : QStringLiteral("   <%1><rdf:Alt><rdf:li xml:lang=\"x-default\">%2</rdf:li></rdf:Alt></%1>\n")
                                     .arg(QLatin1String(name), XmlEscape(value));
    };
    QString xml;
    // The packet header's odd id and the byte order mark are fixed by XMP.
    xml += QStringLiteral("<?xpacket begin=\"\uFEFF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n");
    xml += QStringLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n");
    xml += QStringLiteral(" <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n");
    xml += QStringLiteral("  <rdf:Description rdf:about=\"\"\n"
                          "    xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"\n"
                          "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
                          "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
                          "    xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n");
    xml += element("pdfaid:part", QStringLiteral("2"));
    xml += element("pdfaid:conformance", QStringLiteral("B"));
    xml += alternative("dc:title", info.Title);
    if (!info.Author.isEmpty())
        xml += QStringLiteral("   <dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq></dc:creator>\n")
                   .arg(XmlEscape(info.Author));
    xml += alternative("dc:description", info.Subject);
    xml += element("pdf:Keywords", info.Keywords);
    xml += element("pdf:Producer", QString::fromLatin1(kPdfProducer));
    xml += element("xmp:CreatorTool", info.Creator);
    // The file is made once: created, modified and described at one moment.
    xml += element("xmp:CreateDate", created);
    xml += element("xmp:ModifyDate", created);
    xml += element("xmp:MetadataDate", created);
    xml += QStringLiteral("  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n");
    xml += QStringLiteral("<?xpacket end=\"w\"?>");
    return xml.toUtf8();
}

} // namespace vorel
