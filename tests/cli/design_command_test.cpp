// vorel design run as a process: --snapshot paints the window of a real
// form into a PNG; bad forms and usage exit 1 and 2; without a display and
// without --snapshot the command refuses instead of waiting for ever.

#include "support/tool_run.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

TEST(DesignCommand, SnapshotOfTheSalesForm)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("d.png");
    const ToolRun run = Vorel({"design", QStringLiteral(VOREL_SOURCE_DIR "/examples/sales.kvx"), "--snapshot", png});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1280, 860));
    // The bands are white panels on the grey design area: both colours show.
    int white = 0;
    for (int x = 0; x < image.width(); x += 4)
        white += image.pixel(x, image.height() / 3) == qRgb(255, 255, 255);
    EXPECT_GT(white, 20);
}

TEST(DesignCommand, BadInputAndUsage)
{
    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.kvx");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("object Report1: TKVReport\n  Width = \n");
    file.close();
    ToolRun run = Vorel({"design", broken, "--snapshot", dir.filePath("x.png")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("broken.kvx")) << run.Err.toStdString();
    EXPECT_EQ(Vorel({"design", "--snapshot"}).ExitCode, 2);
    EXPECT_EQ(Vorel({"design", "a.kvx", "b.kvx"}).ExitCode, 2);
    run = Vorel({"design", dir.filePath("new.kvx")}); // offscreen: no window to wait on
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.contains("--snapshot"));
}

} // namespace
} // namespace vorel
