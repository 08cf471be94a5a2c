#include "export/pdf_object_writer.h"

#include "foundation/errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vorel {

namespace {

constexpr qsizetype kFlushBytes = 256 * 1024;

bool IsRegularNameByte(unsigned char c)
{
    // Printable ASCII except the delimiters, white space and the number sign.
    if (c <= 0x20 || c >= 0x7F)
        return false;
    switch (c) {
    case '(':
    case ')':
    case '<':
    case '>':
    case '[':
    case ']':
    case '{':
    case '}':
    case '/':
    case '%':
    case '#':
        return false;
    default:
        return true;
    }
}

} // namespace

QByteArray PdfInt(qint64 value) { return QByteArray::number(value); }

QByteArray PdfReal(double value)
{
    if (!std::isfinite(value))
        return QByteArrayLiteral("0");
    const double rounded = std::round(value * 1000.0) / 1000.0;
    if (rounded == 0)
        return QByteArrayLiteral("0");
    char buffer[48];
    const int n = std::snprintf(buffer, sizeof buffer, "%.3f", rounded);
    QByteArray text(buffer, n);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}

QByteArray PdfMatrix(const QTransform& m)
{
    return PdfReal(m.m11()) + ' ' + PdfReal(m.m12()) + ' ' + PdfReal(m.m21()) + ' ' + PdfReal(m.m22()) + ' '
        + PdfReal(m.dx()) + ' ' + PdfReal(m.dy());
}

QByteArray PdfColorComponent(int value)
{
    const int v = std::clamp(value, 0, 255);
    // v / 255 with three decimals, rounded half up, in integers so that no
    // locale or float formatting can creep in.
    const int thousandths = (v * 1000 * 2 + 255) / (255 * 2);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%d.%03d", thousandths / 1000, thousandths % 1000);
    return QByteArray(buffer);
}

QByteArray PdfRgb(std::uint32_t rgb)
{
    return PdfColorComponent(int(rgb & 0xFF)) + ' ' + PdfColorComponent(int((rgb >> 8) & 0xFF)) + ' '
        + PdfColorComponent(int((rgb >> 16) & 0xFF));
}

QByteArray PdfName(QByteArrayView name)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(name.size() + 1);
    out.append('/');
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsRegularNameByte(c)) {
            out.append(ch);
        } else {
            out.append('#');
            out.append(kHex[c >> 4]);
            out.append(kHex[c & 0x0F]);
        }
    }
    return out;
}

QByteArray PdfLiteralString(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out.append('(');
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '(':
        case ')':
        case '\\':
            out.append('\\');
            out.append(ch);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        case '\r':
            out.append("\\r", 2);
            break;
        case '\t':
            out.append("\\t", 2);
            break;
        case '\b':
            out.append("\\b", 2);
            break;
        case '\f':
            out.append("\\f", 2);
            break;
        default:
            if (c < 0x20) {
                char buffer[6];
                std::snprintf(buffer, sizeof buffer, "\\%03o", c);
                out.append(buffer, 4);
            } else {
                out.append(ch); // bytes 128..255 stand as they are inside a string
            }
        }
    }
    out.append(')');
    return out;
}

QByteArray PdfTextString(QStringView text)
{
    // PDFDocEncoding agrees with Latin-1 on the printable ASCII range and on
    // 0xA1..0xFF except the soft hyphen's place (0xAD is undefined there).
    bool docEncoding = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= 0x20 && u < 0x7F) || (u >= 0xA1 && u <= 0xFF && u != 0xAD))) {
            docEncoding = false;
            break;
        }
    }
    if (docEncoding) {
        QByteArray bytes;
        bytes.reserve(text.size());
        for (const QChar c : text)
            bytes.append(char(c.unicode()));
        return PdfLiteralString(bytes);
    }
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size() * 4 + 6);
    out.append("<FEFF", 5);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            out.append(kHex[(u >> shift) & 0xF]);
    }
    out.append('>');
    return out;
}

// --- TPdfWriter ------------------------------------------------------------------

TPdfWriter::TPdfWriter(TPdfSink sink) : FSink(std::move(sink))
{
    FOffsets.push_back(-1); // object 0 is the head of the free list
}

void TPdfWriter::ToFile(const char* data, qsizetype size)
{
    FBuffer.append(data, size);
    FFileCount += size;
    if (FBuffer.size() >= kFlushBytes)
        Flush();
}

void TPdfWriter::Flush()
{
    if (FBuffer.isEmpty())
        return;
    FSink(FBuffer);
    FBuffer.clear();
}

void TPdfWriter::WriteString(QByteArrayView line)
{
    if (FInContent) {
        FContent.append(line);
        FContent.append("\r\n", 2);
        return;
    }
    ToFile(line.data(), line.size());
    ToFile("\r\n", 2);
}

void TPdfWriter::WriteRaw(QByteArrayView bytes) { ToFile(bytes.data(), bytes.size()); }

QByteArray TPdfWriter::TakeContent()
{
    QByteArray content;
    content.swap(FContent);
    return content;
}

void TPdfWriter::ReserveUpTo(int object) { FNextObject = std::max(FNextObject, object + 1); }

void TPdfWriter::AddRef(int object)
{
    if (object <= 0 || object >= FNextObject)
        throw EKVXError(QStringLiteral("PDF object %1 was never numbered").arg(object));
    if (FInContent)
        throw EKVXError(QStringLiteral("PDF object %1 started inside a page's content").arg(object));
    if (std::size_t(object) >= FOffsets.size())
        FOffsets.resize(std::size_t(object) + 1, -1);
    if (FOffsets[std::size_t(object)] >= 0)
        throw EKVXError(QStringLiteral("PDF object %1 written twice").arg(object));
    FOffsets[std::size_t(object)] = FFileCount;
}

void TPdfWriter::BeginObject(int object)
{
    AddRef(object);
    WriteString(PdfInt(object) + " 0 obj");
}

void TPdfWriter::WriteStreamBody(QByteArrayView data)
{
    WriteString("stream");
    WriteRaw(data);
    // The line end before "endstream" is not part of the data, so /Length
    // is exactly data.size() whatever the data ends with.
    WriteString("");
    WriteString("endstream");
}

void TPdfWriter::WriteStreamObject(int object, QByteArrayView dictEntries, QByteArrayView data, int lengthObject)
{
    BeginObject(object);
    QByteArray dict = "<< ";
    if (!dictEntries.isEmpty()) {
        dict.append(dictEntries);
        dict.append(' ');
    }
    if (lengthObject > 0)
        dict += "/Length " + PdfInt(lengthObject) + " 0 R >>";
    else
        dict += "/Length " + PdfInt(data.size()) + " >>";
    WriteString(dict);
    WriteStreamBody(data);
    EndObject();
    if (lengthObject > 0) {
        BeginObject(lengthObject);
        WriteString(PdfInt(data.size()));
        EndObject();
    }
}

void TPdfWriter::WriteXrefAndTrailer(QByteArrayView trailerEntries)
{
    if (FInContent)
        throw EKVXError(QStringLiteral("PDF cross-reference table written inside a page's content"));
    const int size = FNextObject; // objects 0 .. FNextObject - 1
    FOffsets.resize(std::size_t(size), -1);
    for (int i = 1; i < size; ++i) {
        if (FOffsets[std::size_t(i)] < 0)
            throw EKVXError(QStringLiteral("PDF object %1 was numbered but never written").arg(i));
    }
    const qint64 xref = FFileCount;
    WriteString("xref");
    WriteString("0 " + PdfInt(size));
    // Each entry is exactly 20 bytes: ten digits, blank, five digits,
    // blank, type, CR LF.
    WriteString("0000000000 65535 f");
    char entry[32];
    for (int i = 1; i < size; ++i) {
        std::snprintf(entry, sizeof entry, "%010lld 00000 n", static_cast<long long>(FOffsets[std::size_t(i)]));
        WriteString(QByteArrayView(entry, 18));
    }
    WriteString("trailer");
    QByteArray trailer = "<< ";
    trailer.append(trailerEntries);
    if (!trailerEntries.isEmpty())
        trailer.append(' ');
    trailer += "/Size " + PdfInt(size) + " >>";
    WriteString(trailer);
    WriteString("startxref");
    WriteString(PdfInt(xref));
    WriteString("%%EOF");
    Flush();
}

} // namespace vorel
