#pragma once
// A self-contained TIFF writer for the bitmap exports: uncompressed,
// little-endian, one strip, one image directory. Bitmaps of 1, 2, 4 or 8
// bits per pixel are palette images (rows packed high bit first, each row
// ceil(width x bits / 8) bytes); 15 and 16 bits are widened to 24 first;
// 24 and 32 bits are RGB images of three bytes per pixel. Rows are written
// top row first, at 96 pixels per inch.

#include <QByteArray>
#include <QImage>
#include <QIODevice>
#include <QString>

namespace vorel {

class TBitmap;

// The bitmap's pixels in the device-independent form of the given depth
// (1, 2, 4, 8, 15, 16, 24 or 32 bits per pixel): a palette of at most
// 2^bits colours for the low depths, RGB otherwise.
QImage BitmapAtDepth(const QImage& image, int bitsPerPixel);

// The TIFF file of the image at that depth. An empty image or one whose
// pixels do not fit a TIFF's 32-bit offsets raises EKVXError naming its size.
QByteArray TiffBytes(const QImage& image, int bitsPerPixel);

// Writes the TIFF into the stream; raises EStreamError when it cannot.
void BMP2TIFFStream(QIODevice& stream, const TBitmap& bitmap, int bitsPerPixel = 24);
// Creates (or replaces) the file; nothing is left behind when it fails.
void BMP2TIFFFile(const QString& fileName, const TBitmap& bitmap, int bitsPerPixel = 24);

} // namespace vorel
