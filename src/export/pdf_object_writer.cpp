#include "export/pdf_object_writer.h"

#include "foundation/values/errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <QVarLengthArray>

namespace vorel {

namespace {

constexpr qsizetype kFlushBytes = 256 * 1024;
constexpr qsizetype kDirectBytes = 16 * 1024;

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

namespace {

// "0.000" .. "1.000": each colour component's three decimals, worked out
// once.
struct TColorComponents {
    char Text[256][5];
    TColorComponents()
    {
        for (int v = 0; v < 256; ++v) {
            // v / 255 with three decimals, rounded half up, in integers so
            // that no locale or float formatting can creep in.
            const int thousandths = (v * 1000 * 2 + 255) / (255 * 2);
            Text[v][0] = char('0' + thousandths / 1000);
            Text[v][1] = '.';
            Text[v][2] = char('0' + thousandths / 100 % 10);
            Text[v][3] = char('0' + thousandths / 10 % 10);
            Text[v][4] = char('0' + thousandths % 10);
        }
    }
};

const TColorComponents& ColorComponents()
{
    static const TColorComponents table;
    return table;
}

// Below this many thousandths (1e12 units) the nearest double to k / 1000
// lies far closer to it than half a thousandth, so "%.3f" of the rounded
// value prints exactly k / 1000 and integer arithmetic gives the same text.
constexpr double kExactThousandths = 1e15;

// "%.3f" without trailing zeros and point; the largest double takes 309
// integer digits, a sign, the point and three decimals.
char* PutRealByPrintf(char* out, double rounded)
{
    static_assert(kPdfRealMaxChars > 309 + 5);
    const int n = std::snprintf(out, kPdfRealMaxChars, "%.3f", rounded);
    int end = std::clamp(n, 0, kPdfRealMaxChars - 1);
    while (end > 0 && out[end - 1] == '0')
        --end;
    if (end > 0 && out[end - 1] == '.')
        --end;
    return out + end;
}

} // namespace

char* PutPdfReal(char* out, double value)
{
    if (!std::isfinite(value)) {
        *out++ = '0';
        return out;
    }
    const double thousandths = std::round(value * 1000.0);
    if (thousandths == 0) {
        *out++ = '0';
        return out;
    }
    if (std::fabs(thousandths) >= kExactThousandths)
        return PutRealByPrintf(out, thousandths / 1000.0);
    // Written backwards from the end: up to 12 integer digits, the point
    // and three decimals.
    char buffer[24];
    char* end = buffer + sizeof buffer;
    char* p = end;
    auto k = static_cast<unsigned long long>(std::fabs(thousandths));
    unsigned fraction = unsigned(k % 1000);
    k /= 1000;
    if (fraction != 0) {
        int digits = 3;
        while (fraction % 10 == 0) { // trailing zeros are dropped
            fraction /= 10;
            --digits;
        }
        for (int i = 0; i < digits; ++i) {
            *--p = char('0' + fraction % 10);
            fraction /= 10;
        }
        *--p = '.';
    }
    do {
        *--p = char('0' + k % 10);
        k /= 10;
    } while (k != 0);
    if (thousandths < 0)
        *out++ = '-';
    std::memcpy(out, p, std::size_t(end - p));
    return out + (end - p);
}

void AppendPdfReal(QByteArray& out, double value)
{
    char buffer[kPdfRealMaxChars];
    out.append(buffer, PutPdfReal(buffer, value) - buffer);
}

QByteArray PdfReal(double value)
{
    QByteArray text;
    AppendPdfReal(text, value);
    return text;
}

QByteArray PdfMatrix(const QTransform& m)
{
    return PdfReal(m.m11()) + ' ' + PdfReal(m.m12()) + ' ' + PdfReal(m.m21()) + ' ' + PdfReal(m.m22()) + ' '
        + PdfReal(m.dx()) + ' ' + PdfReal(m.dy());
}

QByteArray PdfColorComponent(int value)
{
    return QByteArray(ColorComponents().Text[std::clamp(value, 0, 255)], 5);
}

void AppendPdfRgb(QByteArray& out, std::uint32_t rgb)
{
    const TColorComponents& table = ColorComponents();
    out.append(table.Text[rgb & 0xFF], 5);
    out.append(' ');
    out.append(table.Text[(rgb >> 8) & 0xFF], 5);
    out.append(' ');
    out.append(table.Text[(rgb >> 16) & 0xFF], 5);
}

QByteArray PdfRgb(std::uint32_t rgb)
{
    QByteArray text;
    text.reserve(17);
    AppendPdfRgb(text, rgb);
    return text;
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

char* PutPdfStringByte(char* out, std::uint8_t c)
{
    switch (c) {
    case '(':
    case ')':
    case '\\':
        *out++ = '\\';
        *out++ = char(c);
        return out;
    case '\n': *out++ = '\\'; *out++ = 'n'; return out;
    case '\r': *out++ = '\\'; *out++ = 'r'; return out;
    case '\t': *out++ = '\\'; *out++ = 't'; return out;
    case '\b': *out++ = '\\'; *out++ = 'b'; return out;
    case '\f': *out++ = '\\'; *out++ = 'f'; return out;
    default:
        if (c < 0x20) {
            *out++ = '\\';
            *out++ = char('0' + (c >> 6));
            *out++ = char('0' + ((c >> 3) & 7));
            *out++ = char('0' + (c & 7));
        } else {
            *out++ = char(c); // bytes 128..255 stand as they are inside a string
        }
        return out;
    }
}

void AppendPdfLiteralString(QByteArray& out, QByteArrayView bytes)
{
    QVarLengthArray<char, 256> buffer(bytes.size() * kPdfStringByteMaxChars + 2);
    char* p = buffer.data();
    *p++ = '(';
    for (const char c : bytes)
        p = PutPdfStringByte(p, std::uint8_t(c));
    *p++ = ')';
    out.append(buffer.data(), p - buffer.data());
}

QByteArray PdfLiteralString(QByteArrayView bytes)
{
    QByteArray out;
    AppendPdfLiteralString(out, bytes);
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
    QByteArray out;
    out.reserve(text.size() * 4 + 6);
    out.append("<FEFF", 5);
    AppendPdfUtf16Hex(out, text);
    out.append('>');
    return out;
}

void AppendPdfUtf16Hex(QByteArray& out, QStringView text)
{
    static const char kHex[] = "0123456789ABCDEF";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            out.append(kHex[(u >> shift) & 0xF]);
    }
}

// --- TPdfWriter ------------------------------------------------------------------

TPdfWriter::TPdfWriter(TPdfSink sink) : FSink(std::move(sink))
{
    FOffsets.push_back(-1); // object 0 is the head of the free list
}

void TPdfWriter::ToFile(const char* data, qsizetype size)
{
    // Large blocks (a page's content) go to the sink as they are, after
    // what is buffered, instead of through the buffer.
    if (size >= kDirectBytes) {
        Flush();
        FSink(QByteArrayView(data, size));
        FFileCount += size;
        return;
    }
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
