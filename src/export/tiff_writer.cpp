#include "export/tiff_writer.h"

#include "export/export_file.h"
#include "foundation/values/errors.h"
#include "graphics/picture.h"

#include <QList>
#include <cstdint>
#include <limits>

namespace vorel {

namespace {

QList<QRgb> FixedPalette(int bits)
{
    switch (bits) {
    case 1:
        return {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    case 2:
        return {qRgb(0, 0, 0), qRgb(85, 85, 85), qRgb(170, 170, 170), qRgb(255, 255, 255)};
    case 4: // the sixteen standard colours of a 4-bit display
        return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
                qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
                qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
                qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    default:
        return {};
    }
}

void Put16(QByteArray& b, std::uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void Put32(QByteArray& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

void Patch32(QByteArray& b, qsizetype at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void PadEven(QByteArray& b)
{
    if (b.size() % 2)
        b.append('\0');
}

enum : std::uint16_t { kShort = 3, kLong = 4, kRational = 5, kAscii = 2 };

struct TEntry {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::uint32_t Count;
    std::uint32_t Value; // a SHORT stands in the low two bytes
};

} // namespace

QImage BitmapAtDepth(const QImage& image, int bits)
{
    switch (bits) {
    case 1:
    case 2:
    case 4:
        return image.convertToFormat(QImage::Format_Indexed8, FixedPalette(bits));
    case 8:
        return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    case 15:
    case 16:
    case 24:
    case 32:
        return image.convertToFormat(QImage::Format_RGB888);
    default:
        throw EKVXError(QStringLiteral("A TIFF cannot hold %1 bits per pixel (1, 2, 4, 8, 15, 16, 24 or 32)").arg(bits));
    }
}

QByteArray TiffBytes(const QImage& source, int bits)
{
    if (source.isNull() || source.width() <= 0 || source.height() <= 0)
        throw EKVXError(QStringLiteral("An empty picture (%1 x %2 pixels) cannot be written as a TIFF")
                            .arg(source.width())
                            .arg(source.height()));
    const QImage image = BitmapAtDepth(source, bits);
    const bool palette = image.format() == QImage::Format_Indexed8;
    const int depth = palette ? bits : 24; // 15 and 16 bits were widened to 24
    const qint64 width = image.width(), height = image.height();
    const qint64 rowBytes = (width * depth + 7) / 8;
    const qint64 pixelBytes = rowBytes * height;
    // Everything in a TIFF is addressed by 32-bit offsets; the rest of the
    // file stays below 2 KB, the byte array below its own limit.
    if (pixelBytes > qint64(std::numeric_limits<std::int32_t>::max()) - 4096)
        throw EKVXError(QStringLiteral("A picture of %1 x %2 pixels at %3 bits per pixel is too large for a TIFF")
                            .arg(width)
                            .arg(height)
                            .arg(depth));

    QByteArray b;
    b.reserve(qsizetype(pixelBytes + 2048));
    b.append("II", 2);
    Put16(b, 42);
    Put32(b, 8); // patched with the directory's offset
    std::uint32_t colorMap = 0;
    if (palette) {
        colorMap = std::uint32_t(b.size());
        QList<QRgb> table = image.colorTable();
        table.resize(qsizetype(1) << depth, qRgb(0, 0, 0));
        for (int channel = 0; channel < 3; ++channel)
            for (QRgb c : table) {
                const int v = channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : qBlue(c);
                Put16(b, std::uint16_t(v * 257)); // 255 -> 65535, full intensity
            }
    }
    const std::uint32_t xRes = std::uint32_t(b.size());
    Put32(b, 96);
    Put32(b, 1);
    const std::uint32_t yRes = std::uint32_t(b.size());
    Put32(b, 96);
    Put32(b, 1);
    std::uint32_t bitsArray = 0;
    if (!palette) {
        bitsArray = std::uint32_t(b.size());
        Put16(b, 8);
        Put16(b, 8);
        Put16(b, 8);
    }
    static const char kSoftware[] = "Vorel";
    const std::uint32_t software = std::uint32_t(b.size());
    b.append(kSoftware, sizeof kSoftware); // with its closing NUL, as ASCII fields end
    PadEven(b);

    const std::uint32_t strip = std::uint32_t(b.size());
    for (int y = 0; y < height; ++y) { // top row first
        const uchar* line = image.constScanLine(y);
        if (!palette) {
            b.append(reinterpret_cast<const char*>(line), qsizetype(rowBytes));
            continue;
        }
        if (depth == 8) {
            b.append(reinterpret_cast<const char*>(line), qsizetype(rowBytes));
            continue;
        }
        const int perByte = 8 / depth;
        for (qint64 x0 = 0; x0 < width; x0 += perByte) {
            unsigned byte = 0;
            for (int k = 0; k < perByte; ++k) {
                const qint64 x = x0 + k;
                const unsigned index = x < width ? line[x] : 0;
                byte |= (index & ((1u << depth) - 1)) << (8 - depth * (k + 1));
            }
            b.append(char(byte));
        }
    }
    PadEven(b);

    QList<TEntry> entries{
        {254, kLong, 1, 0},
        {256, kLong, 1, std::uint32_t(width)},
        {257, kLong, 1, std::uint32_t(height)},
        palette ? TEntry{258, kShort, 1, std::uint32_t(depth)} : TEntry{258, kShort, 3, bitsArray},
        {259, kShort, 1, 1},
        {262, kShort, 1, palette ? 3u : 2u},
        {273, kLong, 1, strip},
        {277, kShort, 1, palette ? 1u : 3u},
        {278, kLong, 1, std::uint32_t(height)},
        {279, kLong, 1, std::uint32_t(pixelBytes)},
        {282, kRational, 1, xRes},
        {283, kRational, 1, yRes},
    };
    if (!palette)
        entries.append({284, kShort, 1, 1});
    entries.append({296, kShort, 1, 2});
    entries.append({305, kAscii, std::uint32_t(sizeof kSoftware), software});
    if (palette)
        entries.append({320, kShort, std::uint32_t(3u << depth), colorMap});

    const std::uint32_t directory = std::uint32_t(b.size());
    Put16(b, std::uint16_t(entries.size()));
    for (const TEntry& e : entries) {
        Put16(b, e.Tag);
        Put16(b, e.Type);
        Put32(b, e.Count);
        if (e.Type == kShort && e.Count == 1) {
            Put16(b, std::uint16_t(e.Value));
            Put16(b, 0);
        } else {
            Put32(b, e.Value);
        }
    }
    Put32(b, 0);
    Patch32(b, 4, directory);
    return b;
}

void BMP2TIFFStream(QIODevice& stream, const TBitmap& bitmap, int bitsPerPixel)
{
    const QByteArray bytes = TiffBytes(bitmap.Image(), bitsPerPixel);
    if (stream.write(bytes) != bytes.size())
        throw EStreamError(QStringLiteral("Cannot write the TIFF. %1").arg(stream.errorString()));
}

void BMP2TIFFFile(const QString& fileName, const TBitmap& bitmap, int bitsPerPixel)
{
    const QByteArray bytes = TiffBytes(bitmap.Image(), bitsPerPixel);
    TExportFile file(fileName);
    file.Write(bytes);
    file.Commit();
}

} // namespace vorel
