// Pictures: loading every format from files, streams and blobs by content,
// drawing scaled, bitmaps with a canvas, saving BMP and JPEG, form data,
// and invalid input leaving the picture as it was.
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/painter_canvas.h"
#include "graphics/picture.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

QImage Checker()
{
    QImage image(8, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

QByteArray Encoded(const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Checker().save(&buffer, format, 100);
    return bytes;
}

// Qt writes no GIF; this one (8 x 4, two colours) was made with ImageMagick:
// convert -size 8x4 pattern:checkerboard -colors 2 checker.gif
QByteArray GifBytes()
{
    static const char kGif[] = "\x47\x49\x46\x38\x39\x61\x08\x00\x04\x00\xf0\x00\x00\x99\x99\x99\x00\x00\x00\x21\xf9\x04\x00\x00\x00\x00\x00\x21\xff\x0b\x49\x6d\x61\x67\x65\x4d\x61\x67\x69\x63\x6b\x0e\x67\x61\x6d\x6d\x61\x3d\x30\x2e\x34\x35\x34\x35\x34\x35\x00\x2c\x00\x00\x00\x00\x08\x00\x04\x00\x00\x02\x05\x84\x8f\xa9\x8b\x05\x00\x3b";
    return QByteArray(kGif, sizeof(kGif) - 1);
}

QByteArray EmfBytes()
{
    TMetafile mf;
    mf.SetWidth(8);
    mf.SetHeight(4);
    {
        TMetafileCanvas c(mf, {}, {});
        c.Brush()->SetColor(clRed);
        c.FillRect({0, 0, 8, 4});
    }
    return mf.Bytes();
}

struct FormatCase {
    const char* name;
    std::function<QByteArray()> bytes;
    QString className;
};

class PictureFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PictureFormats, LoadFromFileStreamAndBlobAlike)
{
    const QByteArray bytes = GetParam().bytes();
    QTemporaryDir dir;
    // The file name says nothing: the bytes decide.
    const QString path = dir.filePath(QStringLiteral("picture.dat"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();

    TPicture fromFile, fromStream, fromBlob;
    fromFile.LoadFromFile(path);
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    fromStream.LoadFromStream(buffer);
    fromBlob.LoadFromBlob(bytes);
    for (TPicture* p : {&fromFile, &fromStream, &fromBlob}) {
        ASSERT_FALSE(p->Empty());
        EXPECT_EQ(p->Graphic()->ClassName(), GetParam().className);
        EXPECT_EQ(p->Width(), 8);
        EXPECT_EQ(p->Height(), 4);
    }
    // Stored in a form and read back: the same picture.
    TPicture restored;
    restored.SetData(fromBlob.Data());
    EXPECT_EQ(restored.Graphic()->ClassName(), GetParam().className);
    EXPECT_EQ(restored.Graphic()->SaveToBytes(), fromBlob.Graphic()->SaveToBytes());
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureFormats,
    ::testing::Values(FormatCase{"Bmp", [] { return TBitmap(Checker()).SaveToBytes(); }, "TBitmap"},
        FormatCase{"Png", [] { return Encoded("PNG"); }, "TPngImage"},
        FormatCase{"Jpeg", [] { return Encoded("JPEG"); }, "TJPEGImage"},
        FormatCase{"Gif", GifBytes, "TGIFImage"},
        FormatCase{"Emf", EmfBytes, "TMetafile"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(Pictures, InvalidBytesRaiseAndKeepThePicture)
{
    TPicture picture;
    picture.LoadFromBlob(Encoded("PNG"));
    const QByteArray before = picture.Graphic()->SaveToBytes();
    const QList<QByteArray> bad = {QByteArray("hello"), QByteArray(), Encoded("PNG").left(30),
        QByteArray("BM") + QByteArray(40, '\xff')};
    for (const QByteArray& bytes : bad) {
        EXPECT_THROW(picture.LoadFromBlob(bytes), EInvalidGraphic);
        EXPECT_EQ(picture.Graphic()->SaveToBytes(), before);
    }
    try {
        picture.LoadFromBlob("nothing");
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Invalid image (blob): not a BMP, PNG, JPEG, GIF or EMF picture at byte offset 0"));
    }
}

TEST(Bitmaps, CanvasDrawsAndBmpKeepsTwentyFourBitPixels)
{
    TBitmap bitmap(20, 10);
    bitmap.Canvas().Brush()->SetColor(clLime);
    bitmap.Canvas().FillRect({2, 2, 6, 6});
    EXPECT_EQ(bitmap.Image().pixelColor(3, 3), QColor(0, 255, 0));
    EXPECT_EQ(bitmap.Image().pixelColor(10, 3), QColor(255, 255, 255));
    // Drawing resumes after the pixels were read.
    bitmap.Canvas().FillRect({10, 2, 12, 4});
    EXPECT_EQ(bitmap.Image().pixelColor(11, 3), QColor(0, 255, 0));

    const QByteArray bmp = bitmap.SaveToBytes();
    const ByteView v(bmp);
    EXPECT_EQ(v.u16le(28), 24) << "bits per pixel";
    EXPECT_EQ(v.u32le(2), std::uint32_t(bmp.size()));
    EXPECT_EQ(bmp.size(), 54 + 10 * 60) << "rows of 20 pixels are 60 bytes, already a multiple of 4";
    TBitmap back;
    back.LoadFromBytes(bmp, QStringLiteral("bmp"));
    EXPECT_EQ(back.Image(), bitmap.Image());

    const QByteArray jpeg = bitmap.SaveToJpeg();
    EXPECT_EQ(DetectPictureFormat(jpeg), QByteArray("jpeg"));
}

TEST(Pictures, StretchDrawScalesOnEveryCanvas)
{
    TPicture picture;
    picture.LoadFromBlob(Encoded("PNG"));
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TPainterCanvas canvas(&painter);
        canvas.StretchDraw({0, 0, 16, 8}, *picture.Graphic()); // twice the size
    }
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(image.pixel(1, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(image.pixel(2, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(image.pixel(16, 0) & 0xFFFFFF, 0xFFFFFFu);

    // On a page: one EMR_STRETCHDIBITS with the destination as bounds.
    TMetafile page;
    page.SetWidth(40);
    page.SetHeight(20);
    {
        TMetafileCanvas canvas(page, {}, {});
        canvas.StretchDraw({4, 2, 20, 10}, *picture.Graphic());
    }
    EXPECT_EQ(page.Header().Bounds.Left, 4);
    EXPECT_EQ(page.Header().Bounds.Right, 19);
    const QImage played = page.ToImage();
    EXPECT_EQ(played.pixel(4, 2) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(played.pixel(6, 2) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(played.pixel(3, 2) & 0xFFFFFF, 0xFFFFFFu);
}

} // namespace
} // namespace vorel
