#pragma once
// Pictures: the graphic classes a report draws (bitmaps, raster images from
// PNG, JPEG and GIF files, metafiles) and TPicture, which holds any of them,
// loads from files, streams and blobs by looking at the bytes, and stores
// itself in report forms.

#include "foundation/values/errors.h"
#include "graphics/graphics_types.h"

#include <QByteArray>
#include <QImage>
#include <QIODevice>
#include <memory>

namespace vorel {

class TCanvas;
class TPainterCanvas;

// Bytes that are not a picture of the expected kind. The message names the
// file (or "stream") and the byte offset where reading failed.
class EInvalidGraphic : public EKVXError {
public:
    using EKVXError::EKVXError;
};

// Builds the "invalid image" error: "Invalid image (<what>): <reason> at byte offset <n>".
[[noreturn]] void RaiseInvalidImage(const QString& source, const QString& reason, qint64 offset);

class TGraphic {
public:
    virtual ~TGraphic() = default;
    // The class name form files store before the graphic's data.
    virtual QString ClassName() const = 0;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0; // pixels (report pixels for metafiles)
    virtual int Height() const = 0;
    // Draws the graphic scaled into r.
    virtual void Draw(TCanvas& canvas, const TRect& r) const = 0;
    // The graphic's own file format. Loading replaces the content only when
    // the whole input is valid; otherwise EInvalidGraphic and no change.
    virtual void LoadFromBytes(const QByteArray& bytes, const QString& source) = 0;
    virtual QByteArray SaveToBytes() const = 0;
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
    // The pixels (metafiles are played onto white at their size).
    virtual QImage ToImage() const = 0;

    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName) const;
    void LoadFromStream(QIODevice& stream); // reads to the end of the stream
    void SaveToStream(QIODevice& stream) const;
};

// A 24-bit bitmap with a canvas; saves as a Windows bitmap (BMP) file.
class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int width, int height);
    explicit TBitmap(const QImage& image);
    ~TBitmap() override;
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);

    QString ClassName() const override { return QStringLiteral("TBitmap"); }
    bool Empty() const override { return FImage.isNull() || FImage.width() == 0 || FImage.height() == 0; }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    // New pixels are white; the old ones stay at the top left.
    void SetSize(int width, int height);
    void Draw(TCanvas& canvas, const TRect& r) const override;
    void LoadFromBytes(const QByteArray& bytes, const QString& source) override;
    QByteArray SaveToBytes() const override; // BMP file, 24 bits per pixel
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TBitmap>(*this); }
    QImage ToImage() const override { return Image(); }

    // The pixels (drawing through the canvas so far included).
    const QImage& Image() const;
    void SetImage(const QImage& image);
    // A canvas drawing on the pixels, in device pixels (one per unit).
    TCanvas& Canvas();
    // JPEG at the given quality (0..100; 75 is the classic default).
    QByteArray SaveToJpeg(int quality = 75) const;

private:
    friend class TBitmapCanvas;
    QPainter* BeginPaint();
    void EndPaint() const;

    mutable QImage FImage; // Format_RGB888
    mutable std::unique_ptr<QPainter> FPainter;
    std::unique_ptr<TPainterCanvas> FCanvas;
};

// A PNG, JPEG or GIF picture: kept as its original bytes (saved unchanged)
// and drawn from the decoded pixels.
class TRasterImage : public TGraphic {
public:
    TRasterImage() = default;
    QString ClassName() const override;
    bool Empty() const override { return FImage.isNull(); }
    int Width() const override { return FImage.width(); }
    int Height() const override { return FImage.height(); }
    void Draw(TCanvas& canvas, const TRect& r) const override;
    void LoadFromBytes(const QByteArray& bytes, const QString& source) override;
    QByteArray SaveToBytes() const override { return FBytes; }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TRasterImage>(*this); }
    QImage ToImage() const override { return FImage; }
    QByteArray Format() const { return FFormat; } // "png", "jpeg", "gif"

private:
    QByteArray FBytes;
    QByteArray FFormat;
    QImage FImage;
};

// Which picture format bytes hold, by their signature: "bmp", "png", "jpeg",
// "gif", "emf", "wmf", or empty.
QByteArray DetectPictureFormat(const QByteArray& bytes);

class TPicture : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPicture(QObject* parent = nullptr);
    ~TPicture() override;

    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    bool Empty() const { return !FGraphic || FGraphic->Empty(); }
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }
    // The picture as a bitmap (created from whatever it holds).
    TBitmap Bitmap() const;

    // Loading looks at the bytes, not the file name. Invalid or unknown
    // bytes raise EInvalidGraphic and leave the picture as it was.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream);
    void LoadFromBlob(const QByteArray& bytes);
    void SaveToFile(const QString& fileName) const;
    void Clear();

    // Form file storage: the graphic's class name as a length-prefixed
    // string, then its data (bitmaps with a 32-bit length first), as the
    // classic picture property stores it. Empty for an empty picture.
    QByteArray Data() const;
    void SetData(const QByteArray& data);

    void Assign(const TPersistent* source) override;

    std::function<void()> OnChange;

private:
    void Changed();
    std::unique_ptr<TGraphic> FGraphic;
};

// Builds the graphic that holds bytes of the detected format.
std::unique_ptr<TGraphic> GraphicFromBytes(const QByteArray& bytes, const QString& source);

} // namespace vorel
