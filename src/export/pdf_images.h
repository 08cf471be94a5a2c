#pragma once
// Pictures of a PDF file: each is an RGB image XObject, 8 bits per
// component, rows from the top, encoded with the writer's compression:
// ASCIIHex, ASCII85, LZW and Flate over the RGB bytes, DCT as a JPEG file
// (ASCIIHex when the system has no JPEG writer).

#include "export/pdf_filters.h"

#include <QByteArray>
#include <QImage>

namespace vorel {

class TPdfWriter;

// The RGB bytes of an image: three per pixel, rows from the top, no padding.
QByteArray PdfRgbBytes(const QImage& image);
// Pictures repeat (a logo in every page header): a hash of the pixels of an
// RGB888 image finds the repeats, the comparison confirms them, so each is
// stored once.
std::size_t PdfImageHash(const QImage& image);
bool PdfSamePixels(const QImage& a, const QImage& b);

// Writes the image XObject `object` (named /Im<index + 1>) and the object
// that holds its length, whose number it takes from pdf.
void WritePdfImage(TPdfWriter& pdf, int index, int object, const QImage& image, TKVXECompression compression,
    TKVXECompressionMethod method);

} // namespace vorel
