#pragma once
// The filters that keep the pages as pictures instead of reading their
// records. TKVXExportToEMF and TKVXExportToWMF replay every page into one
// metafile of TotalWidth x TotalHeight, each page at (OffsetX, OffsetY), and
// save it as an enhanced or a Windows metafile. TKVXExportToBMP also paints
// every page into a bitmap of the same size and saves that; TKVXExportToJPEG
// and TKVXExportToTIFF save the same bitmap as JPEG or TIFF, and
// TKVXExportToPNG as PNG, drawn at its Resolution. The bitmap filters do not
// record the metafile they never save.
//
// With one file per page each file gets a picture of its own: the metafile
// recording starts again after every file, and a fresh bitmap (same size
// and properties) is made for the next page once a file is written.
//
// A picture too large for its format or for memory raises EKVXError naming
// its size before anything is drawn; files are written whole or not at all.

#include "export/export_base.h"
#include "foundation/records/font.h"

#include <memory>

namespace vorel {

class TMetafileCanvas;

class TKVXExportToEMF : public TKVXExport {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages as one enhanced metafile (EMF), each page at its place; with one file per "
                       "page, a metafile per page.")
public:
    Q_INVOKABLE explicit TKVXExportToEMF(QObject* owner = nullptr);
    ~TKVXExportToEMF() override;

    void StartExport() override;
    void EndExport() override;
    void NewPage(int pageIndex, int barIndex) override;
    void SaveToFile(const QString& fileName) override;
    void PageProcessed(const TMetafile& metafile) override;

    // The recording into Metafile (null outside StartExport..EndExport).
    TMetafileCanvas* Canvas() const { return FCanvas.get(); }
    // Whether SaveToFile writes the metafile (the bitmap filters do not).
    bool SaveMetafile = true;
    TMetafile* Metafile() const { return FMetafile.get(); }

private:
    void NewCanvas();

    std::unique_ptr<TMetafile> FMetafile;
    std::unique_ptr<TMetafileCanvas> FCanvas;
};

class TKVXExportToWMF : public TKVXExportToEMF {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages as one Windows metafile (WMF, with the placeable header), each page at its "
                       "place; with one file per page, a metafile per page.")
public:
    Q_INVOKABLE explicit TKVXExportToWMF(QObject* owner = nullptr);
    void NewPage(int pageIndex, int barIndex) override;
};

class TKVXBitmapEnums {
    Q_GADGET
public:
    enum TBitmapHandleType { bmDIB, bmDDB };
    Q_ENUM(TBitmapHandleType)
    Q_CLASSINFO("Doc.bmDIB", "A device-independent bitmap.")
    Q_CLASSINFO("Doc.bmDDB", "A device-dependent bitmap; written the same way as a device-independent one.")
    enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
    Q_ENUM(TPixelFormat)
    Q_CLASSINFO("Doc.pfDevice", "The display's depth: 24 bits per pixel.")
    Q_CLASSINFO("Doc.pf1bit", "Black and white.")
    Q_CLASSINFO("Doc.pf4bit", "The sixteen standard colours.")
    Q_CLASSINFO("Doc.pf8bit", "A palette of at most 256 colours.")
    Q_CLASSINFO("Doc.pf15bit", "Written as 24 bits per pixel.")
    Q_CLASSINFO("Doc.pf16bit", "Written as 24 bits per pixel.")
    Q_CLASSINFO("Doc.pf24bit", "Red, green and blue, 8 bits each.")
    Q_CLASSINFO("Doc.pf32bit", "Written as 24 bits per pixel (the fourth byte holds nothing).")
    Q_CLASSINFO("Doc.pfCustom", "Written as 24 bits per pixel.")
    enum TTransparentMode { tmAuto, tmFixed };
    Q_ENUM(TTransparentMode)
    Q_CLASSINFO("Doc.tmAuto", "The transparent colour is taken from the picture itself.")
    Q_CLASSINFO("Doc.tmFixed", "The transparent colour is TransparentColor.")
};
using TBitmapHandleType = TKVXBitmapEnums::TBitmapHandleType;
using enum TKVXBitmapEnums::TBitmapHandleType;
using TPixelFormat = TKVXBitmapEnums::TPixelFormat;
using enum TKVXBitmapEnums::TPixelFormat;
using TTransparentMode = TKVXBitmapEnums::TTransparentMode;
using enum TKVXBitmapEnums::TTransparentMode;

// Bits per pixel a file of the format gets (Monochrome: 1).
int PixelFormatBits(TPixelFormat format, bool monochrome);

class TKVXExportToBMP : public TKVXExportToEMF {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Paints the pages into one Windows bitmap (BMP), each page at its place; with one file per "
                       "page, a bitmap per page.")
    Q_PROPERTY(vorel::TKVXBitmapEnums::TBitmapHandleType HandleType READ HandleType WRITE SetHandleType)
    Q_CLASSINFO("Doc.HandleType", "Kept for form files; every bitmap is written device-independent.")
    Q_PROPERTY(bool Monochrome READ Monochrome WRITE SetMonochrome)
    Q_CLASSINFO("Doc.Monochrome", "Black and white pixels, 1 bit each, whatever PixelFormat says.")
    Q_PROPERTY(vorel::TKVXBitmapEnums::TPixelFormat PixelFormat READ PixelFormat WRITE SetPixelFormat)
    Q_CLASSINFO("Doc.PixelFormat", "The bits per pixel of the file.")
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_CLASSINFO("Doc.Transparent", "Kept for form files; a bitmap file has no transparency of its own.")
    Q_PROPERTY(vorel::TColor TransparentColor READ TransparentColor WRITE SetTransparentColor)
    Q_CLASSINFO("Doc.TransparentColor", "The transparent colour when TransparentMode is tmFixed (kept for form "
                                        "files).")
    Q_PROPERTY(vorel::TKVXBitmapEnums::TTransparentMode TransparentMode READ TransparentMode WRITE SetTransparentMode)
    Q_CLASSINFO("Doc.TransparentMode", "How the transparent colour is chosen (kept for form files).")
public:
    Q_INVOKABLE explicit TKVXExportToBMP(QObject* owner = nullptr);
    ~TKVXExportToBMP() override;

    TBitmapHandleType HandleType() const { return FHandleType; }
    void SetHandleType(TBitmapHandleType v) { FHandleType = v; }
    bool Monochrome() const { return FMonochrome; }
    void SetMonochrome(bool v) { FMonochrome = v; }
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat v) { FPixelFormat = v; }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) { FTransparent = v; }
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor v) { FTransparentColor = v; }
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode v) { FTransparentMode = v; }

    void StartExport() override;
    void EndExport() override;
    void SaveToFile(const QString& fileName) override;
    void PageProcessed(const TMetafile& metafile) override;

    // Whether SaveToFile writes a Windows bitmap file (JPEG and TIFF do not).
    bool SaveBitmap = true;
    // The picture being painted; null once saved, until the next page.
    TBitmap* Bitmap() const { return FBitmap.get(); }

protected:
    // The largest picture the format holds; raises EKVXError naming the size.
    virtual void CheckPictureSize(qint64 width, qint64 height) const;
    int Bits() const { return PixelFormatBits(FPixelFormat, FMonochrome); }
    // Picture pixels per report pixel (1 for the classic bitmap formats).
    virtual double PixelScale() const { return 1; }
    // The picture's size in its own pixels: the total size scaled.
    qint64 PictureWidth() const;
    qint64 PictureHeight() const;

private:
    void NewBitmap();

    TBitmapHandleType FHandleType = bmDIB;
    bool FMonochrome = false;
    TPixelFormat FPixelFormat = pfDevice;
    bool FTransparent = false;
    TColor FTransparentColor = TColor(0);
    TTransparentMode FTransparentMode = tmAuto;
    std::unique_ptr<TBitmap> FBitmap;
};

class TKVXExportToJPEG : public TKVXExportToBMP {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Paints the pages into one JPEG picture (quality 75), each page at its place; with one file "
                       "per page, a picture per page.")
public:
    Q_INVOKABLE explicit TKVXExportToJPEG(QObject* owner = nullptr);
    void SaveToFile(const QString& fileName) override;

protected:
    void CheckPictureSize(qint64 width, qint64 height) const override;
};

class TKVXExportToTIFF : public TKVXExportToBMP {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Paints the pages into one uncompressed TIFF picture, each page at its place; with one file "
                       "per page, a picture per page.")
public:
    Q_INVOKABLE explicit TKVXExportToTIFF(QObject* owner = nullptr);
    void SaveToFile(const QString& fileName) override;

protected:
    void CheckPictureSize(qint64 width, qint64 height) const override;
};

class TKVXExportToPNG : public TKVXExportToBMP {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Paints the pages into one PNG picture (lossless), each page at its place; with one file per "
                       "page, a picture per page. Resolution sets how many pixels a report inch gets.")
    Q_PROPERTY(int Resolution READ Resolution WRITE SetResolution)
    Q_CLASSINFO("Doc.Resolution", "Pixels per inch of the picture, recorded in the file: 96 draws one pixel per "
                                  "report pixel, 192 and 288 twice and three times as many each way (crisp "
                                  "screenshots on high-density screens). From 24 to 1200.")
public:
    Q_INVOKABLE explicit TKVXExportToPNG(QObject* owner = nullptr);

    // Dots per inch; checked when the export starts.
    int Resolution() const { return FResolution; }
    void SetResolution(int dpi) { FResolution = dpi; }

    static constexpr int kMinResolution = 24;
    static constexpr int kMaxResolution = 1200;

    void StartExport() override;
    void SaveToFile(const QString& fileName) override;

protected:
    double PixelScale() const override { return FResolution / 96.0; }

private:
    int FResolution = 96;
};

// A Windows bitmap file of the image at the bits per pixel (1, 4 and 8 bits
// with a palette; every other depth as 24 bits).
QByteArray BmpBytes(const QImage& image, int bitsPerPixel);

// A PNG file of the image at the bits per pixel (1, 4 and 8 bits with a
// palette; every other depth as 8-bit RGB), recording dotsPerInch.
QByteArray PngBytes(const QImage& image, int bitsPerPixel, int dotsPerInch);

} // namespace vorel
