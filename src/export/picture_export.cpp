#include "export/picture_export.h"

#include "export/export_file.h"
#include "export/tiff_writer.h"
#include "foundation/values/errors.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/picture.h"

#include <QBuffer>
#include <QImageWriter>
#include <cmath>

namespace vorel {

namespace {

// A bitmap export holds its whole picture in memory, at 3 bytes a pixel
// (and once more while it is encoded); beyond this it refuses instead of
// exhausting the machine.
constexpr qint64 kMaxBitmapBytes = 1024LL * 1024 * 1024;

// libjpeg's largest side.
constexpr qint64 kMaxJpegSide = 65500;

void WriteWhole(const QString& fileName, const QByteArray& bytes)
{
    TExportFile file(fileName);
    file.Write(bytes);
    file.Commit();
}

} // namespace

// --- metafiles -------------------------------------------------------------------

TKVXExportToEMF::TKVXExportToEMF(QObject* owner) : TKVXExport(owner) {}

TKVXExportToEMF::~TKVXExportToEMF() = default;

void TKVXExportToEMF::NewCanvas()
{
    FCanvas = std::make_unique<TMetafileCanvas>(*FMetafile, QStringLiteral("Vorel"), QStringLiteral("export"));
}

void TKVXExportToEMF::StartExport()
{
    TKVXExport::StartExport();
    FCanvas.reset();
    FMetafile = std::make_unique<TMetafile>();
    FMetafile->SetWidth(TotalWidth);
    FMetafile->SetHeight(TotalHeight);
    NewCanvas();
}

void TKVXExportToEMF::NewPage(int pageIndex, int barIndex)
{
    TKVXExport::NewPage(pageIndex, barIndex);
    if (FMetafile)
        FMetafile->SetEnhanced(true);
}

void TKVXExportToEMF::PageProcessed(const TMetafile& metafile)
{
    TKVXExport::PageProcessed(metafile);
    // A metafile that will not be saved is not recorded either: the bitmap
    // filters would otherwise copy every page's records for nothing.
    if (FCanvas && SaveMetafile)
        FCanvas->PlayMetafile(TRect{OffsetX(), OffsetY(), OffsetX() + metafile.Width(), OffsetY() + metafile.Height()},
                              metafile);
}

void TKVXExportToEMF::SaveToFile(const QString& fileName)
{
    TKVXExport::SaveToFile(fileName);
    if (!FMetafile)
        return;
    // Ending the recording completes the metafile; loading the recorded
    // bytes marks it enhanced again, so the format chosen by NewPage is kept.
    const bool enhanced = FMetafile->Enhanced();
    FCanvas.reset();
    FMetafile->SetEnhanced(enhanced);
    // Whatever happens to the file, the next one starts with an empty picture.
    struct TRenew {
        TKVXExportToEMF* Self;
        ~TRenew() { Self->NewCanvas(); }
    } renew{this};
    if (SaveMetafile)
        WriteWhole(fileName, FMetafile->SaveToBytes());
}

void TKVXExportToEMF::EndExport()
{
    FCanvas.reset();
    FMetafile.reset();
    TKVXExport::EndExport();
}

TKVXExportToWMF::TKVXExportToWMF(QObject* owner) : TKVXExportToEMF(owner) {}

void TKVXExportToWMF::NewPage(int pageIndex, int barIndex)
{
    TKVXExportToEMF::NewPage(pageIndex, barIndex);
    if (Metafile())
        Metafile()->SetEnhanced(false);
}

// --- bitmaps ---------------------------------------------------------------------

int PixelFormatBits(TPixelFormat format, bool monochrome)
{
    if (monochrome)
        return 1;
    switch (format) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf15bit:
        return 15;
    case pf16bit:
        return 16;
    case pf32bit:
        return 32;
    case pfDevice:
    case pf24bit:
    case pfCustom:
        break;
    }
    return 24;
}

QByteArray BmpBytes(const QImage& image, int bits)
{
    if (bits != 1 && bits != 4 && bits != 8)
        return TBitmap(image).SaveToBytes();
    QImage converted = BitmapAtDepth(image, bits);
    if (bits == 1)
        converted = converted.convertToFormat(QImage::Format_Mono);
    // The writer packs a palette of up to 16 colours at 4 bits; a full
    // table keeps an 8-bit file 8 bits deep.
    if (bits == 8) {
        QList<QRgb> table = converted.colorTable();
        table.resize(256, qRgb(0, 0, 0));
        converted.setColorTable(table);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(converted))
        throw EKVXError(QStringLiteral("Cannot encode the bitmap. %1").arg(writer.errorString()));
    return bytes;
}

TKVXExportToBMP::TKVXExportToBMP(QObject* owner) : TKVXExportToEMF(owner)
{
    SaveMetafile = false;
}

TKVXExportToBMP::~TKVXExportToBMP() = default;

void TKVXExportToBMP::CheckPictureSize(qint64 width, qint64 height) const
{
    if (width <= 0 || height <= 0)
        throw EKVXError(QStringLiteral("An empty picture (%1 x %2 pixels) cannot be exported").arg(width).arg(height));
    if (width * height * 3 > kMaxBitmapBytes)
        throw EKVXError(QStringLiteral("A picture of %1 x %2 pixels needs %3 MB, more than the %4 MB a bitmap export "
                                       "allows; export one file per page")
                            .arg(width)
                            .arg(height)
                            .arg((width * height * 3 + (1 << 20) - 1) >> 20)
                            .arg(kMaxBitmapBytes >> 20));
}

qint64 TKVXExportToBMP::PictureWidth() const
{
    return qint64(std::ceil(TotalWidth * PixelScale()));
}

qint64 TKVXExportToBMP::PictureHeight() const
{
    return qint64(std::ceil(TotalHeight * PixelScale()));
}

void TKVXExportToBMP::NewBitmap()
{
    const qint64 width = PictureWidth(), height = PictureHeight();
    CheckPictureSize(width, height);
    auto bitmap = std::make_unique<TBitmap>(int(width), int(height));
    if (bitmap->Image().isNull())
        throw EKVXError(QStringLiteral("Not enough memory for a picture of %1 x %2 pixels").arg(width).arg(height));
    FBitmap = std::move(bitmap);
}

void TKVXExportToBMP::StartExport()
{
    CheckPictureSize(PictureWidth(), PictureHeight()); // before any work is done
    TKVXExportToEMF::StartExport();
    NewBitmap();
}

void TKVXExportToBMP::PageProcessed(const TMetafile& metafile)
{
    TKVXExportToEMF::PageProcessed(metafile);
    if (!FBitmap)
        NewBitmap(); // the previous file took its bitmap with it
    const double scale = PixelScale();
    if (scale == 1) {
        FBitmap->Canvas().PlayMetafile(
            TRect{OffsetX(), OffsetY(), OffsetX() + metafile.Width(), OffsetY() + metafile.Height()}, metafile);
        return;
    }
    // Report pixels to picture pixels: the page's corners are rounded the
    // same way as the picture's size, so pages meet without gaps.
    auto at = [scale](int v) { return int(std::ceil(v * scale)); };
    FBitmap->Canvas().PlayMetafile(TRect{at(OffsetX()), at(OffsetY()), at(OffsetX() + metafile.Width()),
                                         at(OffsetY() + metafile.Height())},
                                   metafile);
}

void TKVXExportToBMP::SaveToFile(const QString& fileName)
{
    std::unique_ptr<TBitmap> bitmap = std::move(FBitmap); // freed however the saving ends
    TKVXExportToEMF::SaveToFile(fileName);
    if (bitmap && SaveBitmap)
        WriteWhole(fileName, BmpBytes(bitmap->Image(), Bits()));
}

void TKVXExportToBMP::EndExport()
{
    FBitmap.reset();
    TKVXExportToEMF::EndExport();
}

TKVXExportToJPEG::TKVXExportToJPEG(QObject* owner) : TKVXExportToBMP(owner)
{
    SaveBitmap = false;
}

void TKVXExportToJPEG::CheckPictureSize(qint64 width, qint64 height) const
{
    if (width > kMaxJpegSide || height > kMaxJpegSide)
        throw EKVXError(QStringLiteral("A picture of %1 x %2 pixels is too large for a JPEG (at most %3 pixels a side); "
                                       "export one file per page")
                            .arg(width)
                            .arg(height)
                            .arg(kMaxJpegSide));
    TKVXExportToBMP::CheckPictureSize(width, height);
}

void TKVXExportToJPEG::SaveToFile(const QString& fileName)
{
    if (Bitmap())
        WriteWhole(fileName, Bitmap()->SaveToJpeg());
    TKVXExportToBMP::SaveToFile(fileName);
}

TKVXExportToTIFF::TKVXExportToTIFF(QObject* owner) : TKVXExportToBMP(owner)
{
    SaveBitmap = false;
}

void TKVXExportToTIFF::CheckPictureSize(qint64 width, qint64 height) const
{
    TKVXExportToBMP::CheckPictureSize(width, height); // well below a TIFF's 32-bit offsets
}

void TKVXExportToTIFF::SaveToFile(const QString& fileName)
{
    if (Bitmap())
        BMP2TIFFFile(fileName, *Bitmap(), Bits());
    TKVXExportToBMP::SaveToFile(fileName);
}

// --- PNG -------------------------------------------------------------------------

QByteArray PngBytes(const QImage& image, int bits, int dotsPerInch)
{
    QImage converted = bits == 1 || bits == 4 || bits == 8 ? BitmapAtDepth(image, bits) : image;
    if (bits == 1)
        converted = converted.convertToFormat(QImage::Format_Mono); // a 1-bit palette file
    const int dotsPerMetre = int(std::lround(dotsPerInch / 0.0254));
    converted.setDotsPerMeterX(dotsPerMetre);
    converted.setDotsPerMeterY(dotsPerMetre);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(converted))
        throw EKVXError(QStringLiteral("Cannot encode the PNG picture of %1 x %2 pixels. %3")
                            .arg(image.width())
                            .arg(image.height())
                            .arg(writer.errorString()));
    return bytes;
}

TKVXExportToPNG::TKVXExportToPNG(QObject* owner) : TKVXExportToBMP(owner)
{
    SaveBitmap = false;
}

void TKVXExportToPNG::StartExport()
{
    if (FResolution < kMinResolution || FResolution > kMaxResolution)
        throw EKVXError(QStringLiteral("The PNG export's Resolution is %1 dots per inch; it takes %2 to %3 "
                                       "(96: one pixel per report pixel)")
                            .arg(FResolution)
                            .arg(kMinResolution)
                            .arg(kMaxResolution));
    TKVXExportToBMP::StartExport();
}

void TKVXExportToPNG::SaveToFile(const QString& fileName)
{
    if (Bitmap())
        WriteWhole(fileName, PngBytes(Bitmap()->Image(), Bits(), FResolution));
    TKVXExportToBMP::SaveToFile(fileName);
}

} // namespace vorel
