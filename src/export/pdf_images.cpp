#include "export/pdf_images.h"

#include "export/pdf_object_writer.h"

#include <QBuffer>
#include <QHash>
#include <QImageWriter>
#include <cstring>

namespace vorel {

namespace {

// JPEG quality of DCT-encoded pictures: high enough that report pictures
// (logos, charts with text) keep their edges.
constexpr int kJpegQuality = 90;

QByteArray JpegBytes(const QImage& rgb)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(rgb))
        return {};
    return bytes;
}

} // namespace

QByteArray PdfRgbBytes(const QImage& image)
{
    const QImage rgb = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    const qsizetype rowBytes = qsizetype(rgb.width()) * 3;
    QByteArray bytes(rowBytes * rgb.height(), Qt::Uninitialized);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(bytes.data() + rowBytes * y, rgb.constScanLine(y), std::size_t(rowBytes));
    return bytes;
}

void WritePdfImage(TPdfWriter& pdf, int index, int object, const QImage& image, TKVXECompression compression,
    TKVXECompressionMethod method)
{
    const int length = pdf.GetNextRefIndex();
    QByteArray data;
    TKVXECompression used = compression;
    if (compression == seDCT) {
        data = JpegBytes(image.convertToFormat(QImage::Format_RGB888));
        if (data.isEmpty())
            used = seASCIIHex;
    }
    if (used != seDCT)
        data = EncodeStream(PdfRgbBytes(image), used, method);

    pdf.BeginObject(object);
    pdf.WriteString("<< ");
    pdf.WriteString("/Type /XObject");
    pdf.WriteString("/Subtype /Image");
    pdf.WriteString("/Name /Im" + PdfInt(index + 1));
    pdf.WriteString("/Width " + PdfInt(image.width()));
    pdf.WriteString("/Height " + PdfInt(image.height()));
    pdf.WriteString("/BitsPerComponent 8");
    pdf.WriteString("/ColorSpace /DeviceRGB");
    pdf.WriteString("/Filter /" + PdfFilterName(used) + ' ');
    pdf.WriteString("/Length " + PdfInt(length) + " 0 R >> ");
    pdf.WriteStreamBody(data);
    pdf.EndObject();
    pdf.BeginObject(length);
    pdf.WriteString(PdfInt(data.size()));
    pdf.EndObject();
}

std::size_t PdfImageHash(const QImage& image)
{
    std::size_t h = std::size_t(image.width()) * 31u + std::size_t(image.height());
    for (int y = 0; y < image.height(); ++y)
        h = h * 1000003u ^ qHashBits(image.constScanLine(y), std::size_t(image.width()) * 3, 0);
    return h;
}

bool PdfSamePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    if (a.constBits() == b.constBits())
        return true;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), std::size_t(a.width()) * 3) != 0)
            return false;
    return true;
}

} // namespace vorel
