#include "graphics/picture.h"

#include "foundation/values/byte_io.h"
#include "foundation/values/file_write.h"
#include "graphics/canvas.h"
#include "graphics/metafile.h"
#include "graphics/painter_canvas.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

namespace vorel {

// The canvas of a bitmap: (re)starts the bitmap's painter when drawing
// resumes after the pixels were read.
class TBitmapCanvas : public TPainterCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : TPainterCanvas(nullptr), FBitmap(bitmap) {}

protected:
    QPainter* ActivePainter() override
    {
        FPainter = FBitmap.BeginPaint();
        return FPainter;
    }

private:
    TBitmap& FBitmap;
};

void RaiseInvalidImage(const QString& source, const QString& reason, qint64 offset)
{
    throw EInvalidGraphic(QStringLiteral("Invalid image (%1): %2 at byte offset %3").arg(source, reason).arg(offset));
}

// --- TGraphic ----------------------------------------------------------------------

void TGraphic::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    LoadFromBytes(file.readAll(), fileName);
}

void TGraphic::SaveToFile(const QString& fileName) const
{
    SaveBytesToFile(fileName, SaveToBytes());
}

void TGraphic::LoadFromStream(QIODevice& stream) { LoadFromBytes(stream.readAll(), QStringLiteral("stream")); }

void TGraphic::SaveToStream(QIODevice& stream) const
{
    const QByteArray bytes = SaveToBytes();
    if (stream.write(bytes) != bytes.size())
        throw EStreamError(QStringLiteral("Cannot write picture to stream: %1").arg(stream.errorString()));
}

QByteArray DetectPictureFormat(const QByteArray& b)
{
    const ByteView v(b);
    if (v.Size() >= 2 && b.startsWith("BM"))
        return "bmp";
    if (b.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (v.Size() >= 3 && v.u8(0) == 0xFF && v.u8(1) == 0xD8 && v.u8(2) == 0xFF)
        return "jpeg";
    if (b.startsWith("GIF87a") || b.startsWith("GIF89a"))
        return "gif";
    if (v.Size() >= 44 && v.u32le(0) == EMR_HEADER && v.u32le(40) == kEmfSignature)
        return "emf";
    if (v.Size() >= 4 && v.u32le(0) == 0x9AC6CDD7u) // placeable Windows metafile
        return "wmf";
    return {};
}

std::unique_ptr<TGraphic> GraphicFromBytes(const QByteArray& bytes, const QString& source)
{
    const QByteArray format = DetectPictureFormat(bytes);
    std::unique_ptr<TGraphic> graphic;
    if (format == "bmp")
        graphic = std::make_unique<TBitmap>();
    else if (format == "png" || format == "jpeg" || format == "gif")
        graphic = std::make_unique<TRasterImage>();
    else if (format == "emf")
        graphic = std::make_unique<TMetafile>();
    else if (format == "wmf")
        RaiseInvalidImage(source, QStringLiteral("Windows metafiles (WMF) are not read; save the picture as EMF"), 0);
    else
        RaiseInvalidImage(source, QStringLiteral("not a BMP, PNG, JPEG, GIF or EMF picture"), 0);
    graphic->LoadFromBytes(bytes, source);
    return graphic;
}

// --- TBitmap ------------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::TBitmap(const QImage& image) { SetImage(image); }

TBitmap::~TBitmap()
{
    FCanvas.reset();
    EndPaint();
}

TBitmap::TBitmap(const TBitmap& other) : TGraphic(other), FImage(other.Image()) {}

TBitmap& TBitmap::operator=(const TBitmap& other)
{
    if (this != &other) {
        EndPaint();
        FImage = other.Image();
    }
    return *this;
}

void TBitmap::SetSize(int width, int height)
{
    EndPaint();
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == FImage.width() && height == FImage.height())
        return;
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    if (!FImage.isNull()) {
        QPainter p(&image);
        p.drawImage(0, 0, FImage);
    }
    FImage = image;
}

const QImage& TBitmap::Image() const
{
    EndPaint();
    return FImage;
}

void TBitmap::SetImage(const QImage& image)
{
    EndPaint();
    FImage = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB888);
}

QPainter* TBitmap::BeginPaint()
{
    if (!FPainter) {
        if (FImage.isNull())
            SetSize(1, 1);
        FPainter = std::make_unique<QPainter>(&FImage);
    }
    return FPainter.get();
}

void TBitmap::EndPaint() const
{
    if (FPainter) {
        if (FCanvas)
            FCanvas->DetachPainter();
        FPainter->end();
        FPainter.reset();
    }
}

TCanvas& TBitmap::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TBitmapCanvas>(*this);
    return *FCanvas;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& r) const
{
    const QImage& image = Image();
    canvas.StretchImage(r, image, {0, 0, image.width(), image.height()});
}

void TBitmap::LoadFromBytes(const QByteArray& bytes, const QString& source)
{
    const ByteView v(bytes);
    if (v.Size() < 26 || !bytes.startsWith("BM"))
        RaiseInvalidImage(source, QStringLiteral("no Windows bitmap header"), 0);
    const std::uint32_t offBits = v.u32le(10);
    if (offBits >= v.Size())
        RaiseInvalidImage(source, QStringLiteral("pixel data offset %1 lies past the end").arg(offBits), 10);
    QImage image;
    if (!image.loadFromData(bytes, "BMP") || image.isNull())
        RaiseInvalidImage(source, QStringLiteral("the bitmap cannot be decoded"), 14);
    SetImage(image);
}

QByteArray TBitmap::SaveToBytes() const
{
    // BITMAPFILEHEADER + BITMAPINFOHEADER + bottom-up BGR rows padded to 4.
    const QImage& image = Image();
    const int w = image.width(), h = image.height();
    const int stride = (w * 3 + 3) & ~3;
    const std::uint32_t bitsSize = std::uint32_t(stride) * std::uint32_t(h);
    QByteArray out;
    out.reserve(54 + int(bitsSize));
    out.append("BM", 2);
    writeU32le(out, 54 + bitsSize);
    writeU32le(out, 0);
    writeU32le(out, 54);
    writeU32le(out, 40);
    writeI32le(out, w);
    writeI32le(out, h);
    writeU16le(out, 1);
    writeU16le(out, 24);
    writeU32le(out, 0);
    writeU32le(out, bitsSize);
    writeI32le(out, 3780); // 96 dpi in pixels per metre
    writeI32le(out, 3780);
    writeU32le(out, 0);
    writeU32le(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const uchar* src = image.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            out.append(char(src[3 * x + 2]));
            out.append(char(src[3 * x + 1]));
            out.append(char(src[3 * x]));
        }
        writeZeros(out, stride - 3 * w);
    }
    return out;
}

QByteArray TBitmap::SaveToJpeg(int quality) const
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(std::clamp(quality, 0, 100));
    if (!writer.write(Image()))
        throw EStreamError(QStringLiteral("Cannot write JPEG: %1").arg(writer.errorString()));
    return out;
}

// --- TRasterImage --------------------------------------------------------------------

QString TRasterImage::ClassName() const
{
    if (FFormat == "jpeg")
        return QStringLiteral("TJPEGImage");
    if (FFormat == "gif")
        return QStringLiteral("TGIFImage");
    return QStringLiteral("TPngImage");
}

void TRasterImage::Draw(TCanvas& canvas, const TRect& r) const
{
    canvas.StretchImage(r, FImage, {0, 0, FImage.width(), FImage.height()});
}

void TRasterImage::LoadFromBytes(const QByteArray& bytes, const QString& source)
{
    const QByteArray format = DetectPictureFormat(bytes);
    if (format != "png" && format != "jpeg" && format != "gif")
        RaiseInvalidImage(source, QStringLiteral("not a PNG, JPEG or GIF picture"), 0);
    QBuffer buffer(const_cast<QByteArray*>(&bytes));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage image = reader.read();
    if (image.isNull())
        RaiseInvalidImage(source, QStringLiteral("the %1 picture cannot be decoded: %2")
                                      .arg(QString::fromLatin1(format), reader.errorString()),
            buffer.pos());
    // Transparent pixels show the page (white) behind them.
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter p(&flat);
        p.drawImage(0, 0, image);
        p.end();
        image = flat;
    }
    FBytes = bytes;
    FFormat = format;
    FImage = image;
}

// --- TPicture ------------------------------------------------------------------------

TPicture::TPicture(QObject* parent) : TPersistent(parent) {}

TPicture::~TPicture() = default;

void TPicture::Changed()
{
    if (OnChange)
        OnChange();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic)
{
    FGraphic = std::move(graphic);
    Changed();
}

TBitmap TPicture::Bitmap() const
{
    if (!FGraphic)
        return TBitmap();
    if (auto* bitmap = dynamic_cast<const TBitmap*>(FGraphic.get()))
        return *bitmap;
    return TBitmap(FGraphic->ToImage());
}

void TPicture::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EStreamError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    SetGraphic(GraphicFromBytes(file.readAll(), fileName));
}

void TPicture::LoadFromStream(QIODevice& stream) { SetGraphic(GraphicFromBytes(stream.readAll(), QStringLiteral("stream"))); }

void TPicture::LoadFromBlob(const QByteArray& bytes) { SetGraphic(GraphicFromBytes(bytes, QStringLiteral("blob"))); }

void TPicture::SaveToFile(const QString& fileName) const
{
    if (FGraphic)
        FGraphic->SaveToFile(fileName);
}

void TPicture::Clear()
{
    if (!FGraphic)
        return;
    FGraphic.reset();
    Changed();
}

QByteArray TPicture::Data() const
{
    if (Empty())
        return {};
    const QByteArray name = FGraphic->ClassName().toLatin1();
    const QByteArray bytes = FGraphic->SaveToBytes();
    QByteArray out;
    writeU8(out, std::uint8_t(name.size()));
    out.append(name);
    if (!dynamic_cast<const TMetafile*>(FGraphic.get()))
        writeU32le(out, std::uint32_t(bytes.size()));
    out.append(bytes);
    return out;
}

void TPicture::SetData(const QByteArray& data)
{
    if (data.isEmpty()) {
        Clear();
        return;
    }
    const ByteView v(data);
    const int nameLength = v.u8(0);
    if (!v.Fits(1, std::size_t(nameLength)))
        RaiseInvalidImage(QStringLiteral("picture data"), QStringLiteral("class name runs past the end"), 0);
    QByteArray bytes = data.mid(1 + nameLength);
    // Graphics other than metafiles carry their length first.
    const ByteView rest(bytes);
    if (DetectPictureFormat(bytes).isEmpty() && rest.Size() >= 4) {
        const std::uint32_t length = rest.u32le(0);
        if (!rest.Fits(4, length))
            RaiseInvalidImage(QStringLiteral("picture data"),
                QStringLiteral("picture length %1 runs past the end").arg(length), 1 + nameLength);
        bytes = bytes.mid(4, qsizetype(length));
    }
    SetGraphic(GraphicFromBytes(bytes, QStringLiteral("picture data")));
}

void TPicture::Assign(const TPersistent* source)
{
    if (!source) {
        Clear();
        return;
    }
    const auto* other = qobject_cast<const TPicture*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this)
        return;
    SetGraphic(other->FGraphic ? other->FGraphic->Clone() : std::unique_ptr<TGraphic>());
}

} // namespace vorel
