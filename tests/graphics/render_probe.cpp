// Renders the sample page through both canvases and compares them; writes
// the images for a person to look at when VOREL_GRAPHICS_PNG_DIR is set.
#include "sample_page.h"

#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/painter_canvas.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

using namespace vorel::test;

QImage RenderDirect(int scale)
{
    QImage image(kPageWidth * scale, kPageHeight * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    {
        TPainterCanvas canvas(&painter);
        DrawSamplePage(canvas);
    }
    return image;
}

TMetafile RecordPage()
{
    TMetafile mf;
    mf.SetWidth(kPageWidth);
    mf.SetHeight(kPageHeight);
    {
        TMetafileCanvas canvas(mf, QStringLiteral("Vorel test"), QStringLiteral("Tarnwick Software"));
        DrawSamplePage(canvas);
    }
    return mf;
}

QImage RenderPlayed(const TMetafile& mf, int scale)
{
    QImage image(kPageWidth * scale, kPageHeight * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    mf.Play(painter, QRectF(0, 0, image.width(), image.height()));
    return image;
}

// Share of pixels that differ by more than a small amount in any channel.
double DifferentShare(const QImage& a, const QImage& b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24
                || std::abs(qBlue(p) - qBlue(q)) > 24)
                ++differing;
        }
    return double(differing) / (a.width() * a.height());
}

TEST(PlayerMatchesPainterCanvas, SamplePageAtScaleOneAndTwo)
{
    const TMetafile mf = RecordPage();
    const QByteArray pngDir = qgetenv("VOREL_GRAPHICS_PNG_DIR");
    if (!pngDir.isEmpty())
        mf.SaveToFile(QString::fromLocal8Bit(pngDir) + QStringLiteral("/page.emf"));
    for (int scale : {1, 2}) {
        const QImage direct = RenderDirect(scale);
        const QImage played = RenderPlayed(mf, scale);
        const QByteArray dir = qgetenv("VOREL_GRAPHICS_PNG_DIR");
        if (!dir.isEmpty()) {
            direct.save(QString::fromLocal8Bit(dir) + QStringLiteral("/direct_%1.png").arg(scale));
            played.save(QString::fromLocal8Bit(dir) + QStringLiteral("/played_%1.png").arg(scale));
        }
        EXPECT_LT(DifferentShare(direct, played), 0.001) << "scale " << scale;
    }
}

} // namespace
} // namespace vorel

