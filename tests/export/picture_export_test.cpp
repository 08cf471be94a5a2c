// The picture filters: EMF, WMF, BMP, JPEG and TIFF, read back by
// ImageMagick, tiffinfo and emf2svg, with a coloured block on every page
// so that a page at the wrong place, or a file with no page, shows.

#include "export/picture_export.h"
#include "foundation/values/errors.h"
#include "frame/output_format.h"
#include "graphics/metafile.h"

#include "export_test_support.h"

#include <QRegularExpression>

namespace vorel::test {
namespace {

const TColor kColours[] = {TColor(0x0000FF), TColor(0x00FF00), TColor(0xFF0000)}; // red, green, blue
const char* const kRgb[] = {"255,0,0", "0,255,0", "0,0,255"};

// A 20-pixel block at the top left of every page, coloured by page (one
// bar) or by bar (several bars).
void BlockPages(TPagesReport& report, int pages, int bars)
{
    report.Bars = bars;
    report.Drawers.clear();
    for (int i = 0; i < pages; ++i)
        report.Drawers.push_back([bars](TCanvas& c, int page, int bar) {
            c.Brush()->SetStyle(bsSolid);
            c.Brush()->SetColor(kColours[bars > 1 ? bar : page]);
            c.FillRect(TRect{0, 0, 20, 20});
        });
}

QString PixelAt(const QString& file, int x, int y)
{
    const TToolRun run = RunTool(QStringLiteral("convert"),
                                 {file, QStringLiteral("-format"),
                                  QStringLiteral("%[fx:int(255*p{%1,%2}.r+0.5)],%[fx:int(255*p{%1,%2}.g+0.5)],"
                                                 "%[fx:int(255*p{%1,%2}.b+0.5)]").arg(x).arg(y),
                                  QStringLiteral("info:")});
    return QString::fromLatin1(run.Out).trimmed();
}

QString Size(const QString& file)
{
    return QString::fromLatin1(RunTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%wx%h"), file}).Out);
}

class PictureExport : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        if (FindTool(QStringLiteral("convert")).isEmpty() || FindTool(QStringLiteral("tiffinfo")).isEmpty())
            GTEST_SKIP() << "ImageMagick or tiffinfo missing";
    }
};

TEST_F(PictureExport, ABmpOfTwoBarsIsTwiceThePageWideWithEachBarInPlace)
{
    TPagesReport report;
    BlockPages(report, 1, 2);
    report.Prepare();
    const QString file = Path(QStringLiteral("two.bmp"));
    report.ExportTo(file, false, &TKVXExportToBMP::staticMetaObject, {1});
    EXPECT_EQ(Size(file), QStringLiteral("800x300"));
    EXPECT_EQ(PixelAt(file, 5, 5), QString::fromLatin1(kRgb[0]));
    EXPECT_EQ(PixelAt(file, 405, 5), QString::fromLatin1(kRgb[1]));
    EXPECT_EQ(PixelAt(file, 405, 295), QStringLiteral("255,255,255"));
}

TEST_F(PictureExport, EveryFileOfAOneFilePerPageExportHasItsOwnPage)
{
    TPagesReport report;
    BlockPages(report, 3, 1);
    report.Prepare();
    for (const QMetaObject* filter :
         {&TKVXExportToBMP::staticMetaObject, &TKVXExportToTIFF::staticMetaObject, &TKVXExportToJPEG::staticMetaObject}) {
        SCOPED_TRACE(filter->className());
        report.ExportTo(Path(QStringLiteral("p.out")), true, filter, {1, 2, 3});
        for (int i = 0; i < 3; ++i) {
            const QString file = Path(QStringLiteral("p%1_0.out").arg(i));
            ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
            EXPECT_EQ(Size(file), QStringLiteral("400x300"));
            if (filter != &TKVXExportToJPEG::staticMetaObject) // lossy
                EXPECT_EQ(PixelAt(file, 5, 5), QString::fromLatin1(kRgb[i]));
            QFile::remove(file);
        }
    }
}

TEST_F(PictureExport, ASingleTiffStacksThePagesAndTiffinfoReadsItClean)
{
    TPagesReport report;
    BlockPages(report, 3, 1);
    report.Prepare();
    const QString file = Path(QStringLiteral("all.tif"));
    report.ExportTo(file, false, &TKVXExportToTIFF::staticMetaObject, {1, 2, 3});
    const TToolRun info = RunTool(QStringLiteral("tiffinfo"), {QStringLiteral("-D"), file});
    EXPECT_EQ(info.ExitCode, 0);
    EXPECT_TRUE(info.Err.isEmpty()) << info.Err.constData();
    EXPECT_TRUE(info.Out.contains("Image Width: 400 Image Length: 900")) << info.Out.constData();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PixelAt(file, 5, 5 + 300 * i), QString::fromLatin1(kRgb[i]));
}

TEST_F(PictureExport, PixelFormatAndMonochromeChooseTheBitsOfTheFile)
{
    TPagesReport report;
    BlockPages(report, 1, 1);
    report.Prepare();
    const struct {
        TPixelFormat Format;
        bool Monochrome;
        int BmpBits;
    } cases[] = {{pf24bit, false, 24}, {pfDevice, false, 24}, {pf8bit, false, 8}, {pf1bit, false, 1}, {pf24bit, true, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Format));
        TKVXExportToBMP bmp;
        bmp.SetPixelFormat(c.Format);
        bmp.SetMonochrome(c.Monochrome);
        const std::unique_ptr<TMetafile> page = MakePage(40, 30, [](TCanvas& canvas) {
            canvas.Brush()->SetStyle(bsSolid);
            canvas.Brush()->SetColor(clBlack);
            canvas.FillRect(TRect{0, 0, 10, 10});
        });
        const QString file = Path(QStringLiteral("f.bmp"));
        ExportPages(bmp, {page.get()}, file);
        const QByteArray bytes = ReadAll(file);
        ASSERT_GT(bytes.size(), 30);
        EXPECT_EQ(int(uchar(bytes[28])), c.BmpBits); // biBitCount
        EXPECT_EQ(PixelAt(file, 2, 2), QStringLiteral("0,0,0"));
        EXPECT_EQ(PixelAt(file, 35, 25), QStringLiteral("255,255,255"));
    }
    TKVXExportToTIFF tiff;
    tiff.SetMonochrome(true); // a black-and-white TIFF, not an empty file
    const std::unique_ptr<TMetafile> page = MakePage(40, 30, {});
    const QString file = Path(QStringLiteral("m.tif"));
    ExportPages(tiff, {page.get()}, file);
    const TToolRun info = RunTool(QStringLiteral("tiffinfo"), {file});
    EXPECT_TRUE(info.Out.contains("Bits/Sample: 1")) << info.Out.constData() << info.Err.constData();
}

TEST_F(PictureExport, APictureTooLargeRaisesItsSizeAndWritesNothing)
{
    const struct {
        const QMetaObject* Class;
        int Width;
        int Height;
    } cases[] = {{&TKVXExportToBMP::staticMetaObject, 40000, 40000},
                 {&TKVXExportToTIFF::staticMetaObject, 40000, 40000},
                 {&TKVXExportToJPEG::staticMetaObject, 70000, 10}};
    for (const auto& c : cases) {
        std::unique_ptr<QObject> object(c.Class->newInstance(Q_ARG(QObject*, nullptr)));
        auto* filter = qobject_cast<TKVXExportToBMP*>(object.get());
        ASSERT_NE(filter, nullptr);
        filter->PageWidth = filter->TotalWidth = c.Width;
        filter->PageHeight = filter->TotalHeight = c.Height;
        try {
            filter->StartExport();
            ADD_FAILURE() << c.Class->className() << " took the picture";
        } catch (const EKVXError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("%1 x %2 pixels").arg(c.Width).arg(c.Height)))
                << e.Message().toStdString();
        }
        filter->EndExport();
    }
    EXPECT_TRUE(QDir(FDir.path()).isEmpty());
}

TEST_F(PictureExport, ASingleEmfOfThreePagesIsThreePagesHighAndAWmfTheSameAsAWindowsMetafile)
{
    TPagesReport report;
    BlockPages(report, 3, 1);
    report.Prepare();
    const QString emf = Path(QStringLiteral("all.emf"));
    report.ExportTo(emf, false, &TKVXExportToEMF::staticMetaObject, {1, 2, 3});
    TMetafile read;
    read.LoadFromBytes(ReadAll(emf), emf);
    const QImage image = read.ToImage();
    EXPECT_EQ(image.size(), QSize(400, 900));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(QColor(image.pixel(5, 5 + 300 * i)).name(), QColor(i == 0 ? Qt::red : i == 1 ? Qt::green : Qt::blue).name());
    if (!FindTool(QStringLiteral("emf2svg-conv")).isEmpty()) {
        const QString svg = Path(QStringLiteral("all.svg"));
        const TToolRun run = RunTool(QStringLiteral("emf2svg-conv"), {QStringLiteral("-i"), emf, QStringLiteral("-o"), svg});
        EXPECT_EQ(run.ExitCode, 0) << run.Err.constData();
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("height=\"([0-9.]+)\"")).match(ReadUtf8(svg));
        ASSERT_TRUE(m.hasMatch());
        // emf2svg sizes the picture by what is drawn: down to the end of the
        // third page's block, 600 + 20 pixels from the top.
        EXPECT_NEAR(m.captured(1).toDouble(), 620, 2);
    }

    const QString wmf = Path(QStringLiteral("all.wmf"));
    report.ExportTo(wmf, false, &TKVXExportToWMF::staticMetaObject, {1, 2, 3});
    const QByteArray bytes = ReadAll(wmf);
    ASSERT_GT(bytes.size(), 22);
    EXPECT_EQ(bytes.left(4), QByteArray("\xD7\xCD\xC6\x9A", 4)); // the placeable header's key
    const int right = uchar(bytes[10]) | uchar(bytes[11]) << 8, bottom = uchar(bytes[12]) | uchar(bytes[13]) << 8;
    const int perInch = uchar(bytes[14]) | uchar(bytes[15]) << 8;
    EXPECT_EQ(right * 96 / perInch, 400);
    EXPECT_EQ(bottom * 96 / perInch, 900);
}

TEST_F(PictureExport, TheOtherSpellingsOfTiffAndJpegFindTheirFilters)
{
    EXPECT_EQ(FindOutputFormat(QStringLiteral("tif"), true)->Name, QStringLiteral("tiff"));
    EXPECT_EQ(FindOutputFormat(QStringLiteral("TIFF"), true)->Name, QStringLiteral("tiff"));
    EXPECT_EQ(FindOutputFormat(QStringLiteral("jpeg"), true)->Name, QStringLiteral("jpg"));
    EXPECT_EQ(FindOutputFormat(QStringLiteral("bmp"), true)->ExportClass, &TKVXExportToBMP::staticMetaObject);
}

} // namespace
} // namespace vorel::test
