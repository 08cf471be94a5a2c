// The TIFF writer: read back by libtiff's tiffinfo and by ImageMagick, with
// the corner pixels checked, at every depth the bitmap exports offer.

#include "export/export_base.h"
#include "export/tiff_writer.h"
#include "foundation/values/errors.h"
#include "graphics/picture.h"

#include "export_test_support.h"

#include <QBuffer>

namespace vorel::test {
namespace {

// Four corner colours on black: a flipped image or swapped channels move
// them.
QImage Corners(int w, int h, const QColor (&corner)[4])
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(Qt::black);
    image.setPixelColor(0, 0, corner[0]);
    image.setPixelColor(w - 1, 0, corner[1]);
    image.setPixelColor(0, h - 1, corner[2]);
    image.setPixelColor(w - 1, h - 1, corner[3]);
    return image;
}

QString Rgb(const QColor& c)
{
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

std::uint32_t U32(const QByteArray& b, qsizetype at)
{
    return std::uint32_t(uchar(b[at])) | std::uint32_t(uchar(b[at + 1])) << 8 | std::uint32_t(uchar(b[at + 2])) << 16
        | std::uint32_t(uchar(b[at + 3])) << 24;
}

// ImageMagick's reading of one pixel, "r,g,b" in 0..255.
QString PixelAt(const QString& file, int x, int y)
{
    const TToolRun run = RunTool(QStringLiteral("convert"),
                                 {file, QStringLiteral("-format"),
                                  QStringLiteral("%[fx:int(255*p{%1,%2}.r)],%[fx:int(255*p{%1,%2}.g)],"
                                                 "%[fx:int(255*p{%1,%2}.b)]").arg(x).arg(y),
                                  QStringLiteral("info:")});
    return QString::fromLatin1(run.Out).trimmed();
}

class TiffWriterTest : public ExportTest {};

TEST_F(TiffWriterTest, TenByTwoAt24BitsHas60BytesOfPixelsTopRowFirst)
{
    QImage image(10, 2, QImage::Format_RGB888);
    image.fill(Qt::white);
    image.setPixelColor(0, 0, QColor(1, 2, 3));
    const QByteArray tiff = TiffBytes(image, 24);
    const std::uint32_t dir = U32(tiff, 4);
    const int count = uchar(tiff[dir]) | uchar(tiff[dir + 1]) << 8;
    std::uint32_t stripOffset = 0, stripBytes = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype e = dir + 2 + 12 * i;
        const int tag = uchar(tiff[e]) | uchar(tiff[e + 1]) << 8;
        const int type = uchar(tiff[e + 2]) | uchar(tiff[e + 3]) << 8;
        if (tag == 256 || tag == 257)
            EXPECT_EQ(type, 4) << tag; // LONG, so that sides over 65535 pixels fit
        if (tag == 305)
            EXPECT_EQ(tiff.at(U32(tiff, e + 8) + U32(tiff, e + 4) - 1), '\0'); // the text ends with NUL
        if (tag == 273)
            stripOffset = U32(tiff, e + 8);
        if (tag == 279)
            stripBytes = U32(tiff, e + 8);
    }
    EXPECT_EQ(stripBytes, 60u);
    EXPECT_EQ(tiff.mid(stripOffset, 3), QByteArray("\x01\x02\x03", 3)); // top left, red first
}

TEST_F(TiffWriterTest, EveryDepthIsReadBackWithItsCornersInPlace)
{
    if (FindTool(QStringLiteral("tiffinfo")).isEmpty() || FindTool(QStringLiteral("convert")).isEmpty())
        GTEST_SKIP() << "tiffinfo or ImageMagick missing";
    // Widths that are no multiple of 4 or 8, so packed rows end mid-byte.
    const QColor grey1(85, 85, 85), grey2(170, 170, 170);
    struct TCase {
        int Bits;
        QColor Corner[4]; // top left, top right, bottom left, bottom right
    };
    const TCase cases[] = {
        {1, {Qt::white, Qt::black, Qt::black, Qt::white}},
        {2, {grey1, grey2, Qt::white, grey1}},
        {4, {Qt::red, Qt::green, Qt::blue, Qt::white}},
        {8, {Qt::red, Qt::green, Qt::blue, Qt::white}},
        {15, {Qt::red, Qt::green, Qt::blue, Qt::white}},
        {16, {Qt::red, Qt::green, Qt::blue, Qt::white}},
        {24, {Qt::red, Qt::green, Qt::blue, Qt::white}},
        {32, {Qt::red, Qt::green, Qt::blue, Qt::white}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Bits);
        TBitmap bitmap(Corners(13, 5, c.Corner));
        const QString file = Path(QStringLiteral("c%1.tif").arg(c.Bits));
        BMP2TIFFFile(file, bitmap, c.Bits);
        const TToolRun info = RunTool(QStringLiteral("tiffinfo"), {QStringLiteral("-D"), file});
        EXPECT_EQ(info.ExitCode, 0) << info.Err.constData();
        EXPECT_TRUE(info.Err.isEmpty()) << info.Err.constData();
        EXPECT_TRUE(info.Out.contains("Image Width: 13 Image Length: 5")) << info.Out.constData();
        EXPECT_TRUE(info.Out.contains("Resolution: 96, 96 pixels/inch")) << info.Out.constData();
        EXPECT_TRUE(info.Out.contains("Software: Vorel\n")) << info.Out.constData();
        EXPECT_EQ(PixelAt(file, 0, 0), Rgb(c.Corner[0]));
        EXPECT_EQ(PixelAt(file, 12, 0), Rgb(c.Corner[1]));
        EXPECT_EQ(PixelAt(file, 0, 4), Rgb(c.Corner[2]));
        EXPECT_EQ(PixelAt(file, 12, 4), Rgb(c.Corner[3]));
        EXPECT_EQ(PixelAt(file, 6, 2), QStringLiteral("0,0,0"));
    }
}

TEST_F(TiffWriterTest, AnEmptyBitmapIsAnErrorAndLeavesNoFile)
{
    const QString file = Path(QStringLiteral("empty.tif"));
    EXPECT_THROW(BMP2TIFFFile(file, TBitmap(), 24), EKVXError);
    EXPECT_FALSE(QFile::exists(file));
    TBitmap bitmap(4, 4);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_THROW(BMP2TIFFStream(buffer, bitmap, 12), EKVXError);
    EXPECT_TRUE(buffer.data().isEmpty());
}

} // namespace
} // namespace vorel::test
