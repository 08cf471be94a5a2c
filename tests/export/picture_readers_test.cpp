// The picture filters read back by programs that are not Vorel: Pillow for
// the bitmaps (corner pixels, so flipped rows or swapped channels show),
// rsvg-convert and xmllint for SVG, libwmf and LibreOffice for the
// metafiles. Each check skips when its program is not installed
// (scripts/setup.sh installs them all).

#include "export/picture_export.h"
#include "export/svg_export.h"
#include "foundation/values/errors.h"

#include "export_test_support.h"

#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>

namespace vorel::test {
namespace {

// The Python that has Pillow (Debian's, which pyenv may hide), or empty.
QString PillowPython()
{
    static const QString found = [] {
        for (const QString& candidate : {QStringLiteral("/usr/bin/python3"), FindTool(QStringLiteral("python3"))}) {
            if (candidate.isEmpty() || !QFile::exists(candidate))
                continue;
            if (RunTool(candidate, {QStringLiteral("-c"), QStringLiteral("import PIL")}).ExitCode == 0)
                return candidate;
        }
        return QString();
    }();
    return found;
}

// What Pillow reads from a picture: "FORMAT WIDTHxHEIGHT DPI", then the
// red, green and blue of each point asked for.
QStringList PillowRead(const QString& file, const QList<QPoint>& points)
{
    static const QString script = QStringLiteral(
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]); im.load()\n"
        "dpi = im.info.get('dpi')\n"
        "print(im.format, '%dx%d' % im.size, '%d' % round(dpi[0]) if dpi else '-')\n"
        "rgb = im.convert('RGB')\n"
        "for p in sys.argv[2:]:\n"
        "    x, y = map(int, p.split(','))\n"
        "    print('%d,%d,%d' % rgb.getpixel((x, y)))\n");
    QStringList args{QStringLiteral("-c"), script, file};
    for (const QPoint& p : points)
        args << QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    const TToolRun run = RunTool(PillowPython(), args);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.constData();
    return QString::fromLatin1(run.Out).split(u'\n', Qt::SkipEmptyParts);
}

// Whether "r,g,b" is within tolerance of each of the expected components.
bool Near(const QString& got, QColor want, int tolerance)
{
    const QStringList c = got.split(u',');
    return c.size() == 3 && std::abs(c[0].toInt() - want.red()) <= tolerance
        && std::abs(c[1].toInt() - want.green()) <= tolerance && std::abs(c[2].toInt() - want.blue()) <= tolerance;
}

// A 60 x 40 page with a 10-pixel block in each corner: red top left, green
// top right, blue bottom left, yellow bottom right (colours every palette
// of the filters holds).
std::unique_ptr<TMetafile> CornerPage()
{
    return MakePage(60, 40, [](TCanvas& c) {
        c.Brush()->SetStyle(bsSolid);
        const struct {
            TRect Box;
            TColor Colour;
        } blocks[] = {{{0, 0, 10, 10}, clRed}, {{50, 0, 60, 10}, clLime}, {{0, 30, 10, 40}, clBlue},
                      {{50, 30, 60, 40}, clYellow}};
        for (const auto& b : blocks) {
            c.Brush()->SetColor(b.Colour);
            c.FillRect(b.Box);
        }
    });
}

const QColor kCornerColours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::white};

QList<QPoint> CornerPoints(int scale)
{
    return {QPoint(2, 2) * scale, QPoint(57, 2) * scale, QPoint(2, 37) * scale, QPoint(57, 37) * scale,
            QPoint(30, 20) * scale};
}

TEST(PictureReaders, PillowReadsEveryBitmapFormatWithItsCornersInPlace)
{
    if (PillowPython().isEmpty())
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    RegisterBuiltinExports();
    QTemporaryDir dir;
    const std::unique_ptr<TMetafile> page = CornerPage();
    const struct {
        const QMetaObject* Class;
        TPixelFormat Format;
        const char* PillowFormat;
        int Tolerance; // JPEG is lossy
    } cases[] = {
        {&TKVXExportToBMP::staticMetaObject, pf24bit, "BMP", 0},   {&TKVXExportToBMP::staticMetaObject, pf8bit, "BMP", 0},
        {&TKVXExportToBMP::staticMetaObject, pf4bit, "BMP", 0},    {&TKVXExportToTIFF::staticMetaObject, pf24bit, "TIFF", 0},
        {&TKVXExportToTIFF::staticMetaObject, pf8bit, "TIFF", 0},  {&TKVXExportToTIFF::staticMetaObject, pf4bit, "TIFF", 0},
        {&TKVXExportToJPEG::staticMetaObject, pfDevice, "JPEG", 48}, {&TKVXExportToPNG::staticMetaObject, pfDevice, "PNG", 0},
        {&TKVXExportToPNG::staticMetaObject, pf8bit, "PNG", 0},    {&TKVXExportToPNG::staticMetaObject, pf4bit, "PNG", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(QLatin1String(c.Class->className())).arg(int(c.Format)).toStdString());
        std::unique_ptr<QObject> object(c.Class->newInstance(Q_ARG(QObject*, nullptr)));
        auto* filter = qobject_cast<TKVXExportToBMP*>(object.get());
        ASSERT_NE(filter, nullptr);
        filter->SetPixelFormat(c.Format);
        const QString file = dir.filePath(QStringLiteral("corners.out"));
        ExportPages(*filter, {page.get()}, file);
        const QStringList read = PillowRead(file, CornerPoints(1));
        ASSERT_EQ(read.size(), 6);
        EXPECT_TRUE(read[0].startsWith(QStringLiteral("%1 60x40").arg(QLatin1String(c.PillowFormat)))) << read[0].toStdString();
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(Near(read[i + 1], kCornerColours[i], c.Tolerance))
                << "point " << i << ": " << read[i + 1].toStdString();
    }
    // Black and white: the red block is dark enough to turn black.
    for (const QMetaObject* cls : {&TKVXExportToBMP::staticMetaObject, &TKVXExportToTIFF::staticMetaObject,
                                   &TKVXExportToPNG::staticMetaObject}) {
        SCOPED_TRACE(cls->className());
        std::unique_ptr<QObject> object(cls->newInstance(Q_ARG(QObject*, nullptr)));
        auto* filter = qobject_cast<TKVXExportToBMP*>(object.get());
        filter->SetMonochrome(true);
        const QString file = dir.filePath(QStringLiteral("mono.out"));
        ExportPages(*filter, {page.get()}, file);
        const QStringList read = PillowRead(file, {QPoint(2, 2), QPoint(30, 20)});
        ASSERT_EQ(read.size(), 3);
        EXPECT_TRUE(read[0].contains(QStringLiteral(" 60x40"))) << read[0].toStdString();
        EXPECT_EQ(read[1], QStringLiteral("0,0,0"));
        EXPECT_EQ(read[2], QStringLiteral("255,255,255"));
    }
}

TEST(PictureReaders, APngAtTwiceTheResolutionHasTwiceThePixelsAndRecordsIt)
{
    if (PillowPython().isEmpty())
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    QTemporaryDir dir;
    // The corners, and a one-pixel line along row 20 from x = 20 to 39.
    const std::unique_ptr<TMetafile> page = MakePage(60, 40, [](TCanvas& c) {
        c.Brush()->SetStyle(bsSolid);
        c.Brush()->SetColor(clRed);
        c.FillRect(TRect{0, 0, 10, 10});
        c.Brush()->SetColor(clYellow);
        c.FillRect(TRect{50, 30, 60, 40});
        c.Pen()->SetColor(clBlack);
        c.MoveTo(20, 20);
        c.LineTo(40, 20);
    });
    for (const int scale : {1, 2, 3}) {
        SCOPED_TRACE(scale);
        TKVXExportToPNG png;
        png.SetResolution(96 * scale);
        const QString file = dir.filePath(QStringLiteral("page.png"));
        ExportPages(png, {page.get()}, file);
        const QStringList read = PillowRead(file, {QPoint(1, 1), QPoint(60 * scale - 2, 40 * scale - 2),
                                                   QPoint(30 * scale, 20 * scale), QPoint(30 * scale, 20 * scale + scale - 1),
                                                   QPoint(30 * scale, 20 * scale - 1), QPoint(30 * scale, 21 * scale)});
        ASSERT_EQ(read.size(), 7);
        EXPECT_EQ(read[0], QStringLiteral("PNG %1x%2 %3").arg(60 * scale).arg(40 * scale).arg(96 * scale));
        EXPECT_EQ(read[1], QStringLiteral("255,0,0"));
        EXPECT_EQ(read[2], QStringLiteral("255,255,0"));
        // The line is as thick as a report pixel is at the resolution.
        EXPECT_EQ(read[3], QStringLiteral("0,0,0"));
        EXPECT_EQ(read[4], QStringLiteral("0,0,0"));
        EXPECT_EQ(read[5], QStringLiteral("255,255,255"));
        EXPECT_EQ(read[6], QStringLiteral("255,255,255"));
    }
    TKVXExportToPNG png;
    png.SetResolution(5000);
    try {
        ExportPages(png, {page.get()}, dir.filePath(QStringLiteral("huge.png")));
        ADD_FAILURE() << "a resolution of 5000 dpi was taken";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Resolution is 5000"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("huge.png"))));
}

// --- SVG ----------------------------------------------------------------------------------

QString PixelOf(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
}

// The SVG drawn by rsvg-convert.
QImage RsvgImage(const QString& svg)
{
    const QString png = svg + QStringLiteral(".png");
    const TToolRun run = RunTool(QStringLiteral("rsvg-convert"), {QStringLiteral("-o"), png, svg});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.constData();
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

class SvgReaders : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        if (FindTool(QStringLiteral("rsvg-convert")).isEmpty() || FindTool(QStringLiteral("xmllint")).isEmpty())
            GTEST_SKIP() << "rsvg-convert (librsvg2-bin) or xmllint (libxml2-utils) is not installed";
    }
};

// The texts of an SVG as an XML reader gives them back, with their places:
// the text's own, and each word span's list.
struct TSvgText {
    QString Text;
    QString X;
    double Y = 0;
    QString Class;
    std::vector<std::pair<QString, QStringList>> Words; // a span's text and places
};

std::vector<TSvgText> SvgTexts(const QString& file)
{
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&f);
    std::vector<TSvgText> texts;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"text")
            continue;
        TSvgText t;
        t.X = xml.attributes().value(QLatin1String("x")).toString();
        t.Y = xml.attributes().value(QLatin1String("y")).toDouble();
        t.Class = xml.attributes().value(QLatin1String("class")).toString();
        while (!xml.atEnd() && !(xml.readNext() == QXmlStreamReader::EndElement && xml.name() == u"text")) {
            if (xml.isCharacters()) {
                t.Text += xml.text();
            } else if (xml.isStartElement() && xml.name() == u"tspan") {
                const QStringList places = xml.attributes().value(QLatin1String("x")).toString().split(u' ');
                const QString word = xml.readElementText();
                t.Text += word;
                t.Words.emplace_back(word, places);
            }
        }
        texts.push_back(t);
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return texts;
}

TEST_F(SvgReaders, PagesStackInOnePictureAndEveryFileOfOnePerPageHasItsOwn)
{
    TPagesReport report;
    report.Drawers.clear();
    const TColor colours[] = {clRed, clLime, clBlue};
    for (int i = 0; i < 3; ++i)
        report.Drawers.push_back([colours](TCanvas& c, int page, int) {
            c.Brush()->SetStyle(bsSolid);
            c.Brush()->SetColor(colours[page]);
            c.FillRect(TRect{0, 0, 20, 20});
            c.Brush()->SetStyle(bsClear);
            Text(c, 40, 40, QStringLiteral("page %1").arg(page));
        });
    report.Prepare();
    const QString all = Path(QStringLiteral("all.svg"));
    report.ExportTo(all, false, &TKVXExportToSVG::staticMetaObject, {1, 2, 3});
    const QImage image = RsvgImage(all);
    ASSERT_EQ(image.size(), QSize(400, 900));
    const char* const rgb[] = {"255,0,0", "0,255,0", "0,0,255"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(PixelOf(image, 5, 5 + 300 * i), QLatin1String(rgb[i]));
        EXPECT_EQ(PixelOf(image, 25, 5 + 300 * i), QStringLiteral("255,255,255")) << "the paper is white";
    }
    EXPECT_EQ(ReadUtf8(all).count(QStringLiteral("<text")), 3);

    report.ExportTo(Path(QStringLiteral("p.svg")), true, &TKVXExportToSVG::staticMetaObject, {1, 2, 3});
    for (int i = 0; i < 3; ++i) {
        const QString file = Path(QStringLiteral("p%1_0.svg").arg(i));
        const QImage one = RsvgImage(file);
        ASSERT_EQ(one.size(), QSize(400, 300));
        EXPECT_EQ(PixelOf(one, 5, 5), QLatin1String(rgb[i]));
        const std::vector<TSvgText> texts = SvgTexts(file);
        ASSERT_EQ(texts.size(), 1u) << "a file holds its own page only";
        EXPECT_EQ(texts[0].Text, QStringLiteral("page %1").arg(i));
    }
}

TEST_F(SvgReaders, TextsAreTextWithTheirCharactersFontAndPlace)
{
    // Characters XML escapes, one outside the Basic Multilingual Plane, a
    // control character XML cannot hold, and runs of spaces.
    const QString tricky = QStringLiteral("Tom & Jerry <b>\"x\"  'y' \u20AC ") + QString::fromUcs4(U"\U0001D11E")
        + QStringLiteral("\x01 end");
    const std::unique_ptr<TMetafile> page = MakePage(400, 200, [&](TCanvas& c) {
        Text(c, 20, 30, tricky);
        c.Font()->SetName(QStringLiteral("Times New Roman"));
        c.Font()->SetSize(14);
        c.Font()->SetStyle({fsBold, fsItalic, fsUnderline});
        c.Font()->SetColor(TColor(0x0000C0)); // dark red
        Text(c, 20, 80, QStringLiteral("Bold italic"));
        // Clipped to the first 30 pixels of its line.
        c.Font()->SetStyle({});
        c.Font()->SetColor(clBlack);
        c.TextRect(TRect{20, 130, 50, 160}, 20, 130, QStringLiteral("MMMMMMMMMMMMMMMM"));
    });
    TKVXExportToSVG svg;
    const QString file = Path(QStringLiteral("texts.svg"));
    ExportPages(svg, {page.get()}, file);

    const TToolRun lint = RunTool(QStringLiteral("xmllint"), {QStringLiteral("--noout"), file});
    EXPECT_EQ(lint.ExitCode, 0) << lint.Err.constData();

    const std::vector<TSvgText> texts = SvgTexts(file);
    ASSERT_EQ(texts.size(), 3u);
    QString expected = tricky;
    expected.replace(QChar(1), QChar(0xFFFD)); // what XML cannot hold stands as the replacement character
    EXPECT_EQ(texts[0].Text, expected);
    // The text where the page puts it, the baseline the face's ascent below
    // its top; each word starts where the page starts it, each character
    // has its place.
    const TFontFacePtr arial = TTextMeasurer::Face(TFontRequest{QStringLiteral("Arial"), -13, false, false});
    EXPECT_EQ(texts[0].X, QStringLiteral("20"));
    EXPECT_EQ(texts[0].Y, 30 + arial->Ascent());
    qsizetype places = 0;
    for (const auto& [word, xs] : texts[0].Words) {
        places += xs.size();
        EXPECT_EQ(xs.size(), word.toUcs4().size()) << word.toStdString();
        if (word == u"Jerry") {
            EXPECT_EQ(xs[0].toDouble(), 20 + arial->TextWidth(u"Tom & "));
            EXPECT_EQ(xs[1].toDouble() - xs[0].toDouble(), arial->CharWidth(u'J'));
        }
    }
    EXPECT_EQ(places, QString(expected).remove(u' ').toUcs4().size());
    EXPECT_EQ(texts[1].Words.size(), 2u);

    const QString document = ReadUtf8(file);
    const QRegularExpressionMatch style =
        QRegularExpression(QStringLiteral("\\.%1\\{([^}]*)\\}").arg(texts[1].Class)).match(document);
    ASSERT_TRUE(style.hasMatch()) << document.toStdString();
    for (const char* part : {"font-family:'Times New Roman',", "font-size:19px", "font-weight:bold", "font-style:italic",
                             "text-decoration:underline", "fill:#c00000"})
        EXPECT_TRUE(style.captured(1).contains(QLatin1String(part))) << part << " in " << style.captured(1).toStdString();

    // What rsvg draws: the texts where the page has them, the clipped one
    // stopping at its rectangle.
    const QImage image = RsvgImage(file);
    ASSERT_EQ(image.size(), QSize(400, 200));
    auto inkIn = [&image](const QRect& area) {
        int dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    EXPECT_GT(inkIn(QRect(20, 30, 60, 15)), 20) << "the first text is not drawn at its place";
    EXPECT_EQ(inkIn(QRect(0, 0, 100, 28)), 0) << "ink above the first text";
    EXPECT_GT(inkIn(QRect(20, 80, 80, 20)), 20);
    EXPECT_GT(inkIn(QRect(20, 130, 30, 15)), 20);
    EXPECT_EQ(inkIn(QRect(52, 125, 200, 40)), 0) << "the clipped text runs past its rectangle";
}

TEST_F(SvgReaders, ShapesLinesPicturesAndClipsDrawAsOnThePage)
{
    // The same page painted by the bitmap filter and drawn by rsvg from the
    // SVG: shapes, a dashed and a wide line, a hatch, a picture (with a
    // distinct corner, so a flipped one shows) and a clip region.
    QImage picture(8, 4, QImage::Format_RGB888);
    picture.fill(Qt::green);
    picture.setPixelColor(0, 0, Qt::blue);
    const TBitmap bitmap(picture);
    const std::unique_ptr<TMetafile> page = MakePage(200, 120, [&](TCanvas& c) {
        c.Pen()->SetColor(clBlack);
        c.Brush()->SetStyle(bsSolid);
        c.Brush()->SetColor(clYellow);
        c.Rectangle(10, 10, 60, 40);
        c.Ellipse(70, 10, 120, 40);
        c.Pen()->SetWidth(5);
        c.Pen()->SetColor(clBlue);
        c.MoveTo(130, 20);
        c.LineTo(190, 20);
        c.Pen()->SetWidth(1);
        c.Pen()->SetColor(clBlack);
        c.Brush()->SetStyle(bsCross);
        c.Brush()->SetColor(clRed);
        c.Rectangle(10, 50, 60, 100);
        c.StretchDraw(TRect{70, 50, 150, 90}, bitmap);
        // A text running upwards from (175, 110).
        c.Font()->SetOrientation(900);
        Text(c, 175, 110, QStringLiteral("Up"));
        c.Font()->SetOrientation(0);
        // Everything after this is clipped to x < 170.
        c.IntersectClipRect(TRect{0, 0, 170, 120});
        c.Brush()->SetStyle(bsSolid);
        c.Brush()->SetColor(clBlue);
        c.FillRect(TRect{160, 50, 190, 100});
    });
    TKVXExportToBMP bmp;
    const QString bmpFile = Path(QStringLiteral("page.bmp"));
    ExportPages(bmp, {page.get()}, bmpFile);
    const QImage painted = QImage(bmpFile).convertToFormat(QImage::Format_RGB32);
    TKVXExportToSVG svg;
    const QString svgFile = Path(QStringLiteral("page.svg"));
    ExportPages(svg, {page.get()}, svgFile);
    const TToolRun lint = RunTool(QStringLiteral("xmllint"), {QStringLiteral("--noout"), svgFile});
    EXPECT_EQ(lint.ExitCode, 0) << lint.Err.constData();
    const QImage drawn = RsvgImage(svgFile);
    ASSERT_EQ(drawn.size(), painted.size());
    const struct {
        QPoint At;
        const char* What;
    } points[] = {
        {{10, 25}, "the rectangle's left edge"}, {{59, 25}, "its right edge"}, {{35, 25}, "its fill"},
        {{60, 25}, "right of it"}, {{95, 25}, "the ellipse's fill"}, {{71, 12}, "outside the ellipse's corner"},
        {{160, 19}, "the wide line"}, {{160, 24}, "below the wide line"}, {{74, 52}, "the picture's body"},
        {{71, 51}, "the picture's top left"}, {{165, 75}, "the block inside the clip"},
        {{180, 75}, "the block clipped away"}, {{10, 75}, "the hatched box's edge"}, {{100, 110}, "the paper"},
    };
    for (const auto& p : points)
        EXPECT_EQ(PixelOf(drawn, p.At.x(), p.At.y()), PixelOf(painted, p.At.x(), p.At.y())) << p.What;
    // The rotated text: ink where it runs upwards, none where it would lie
    // unrotated.
    auto ink = [](const QImage& image, const QRect& area) {
        int dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    EXPECT_GT(ink(painted, QRect(174, 85, 18, 26)), 10);
    EXPECT_GT(ink(drawn, QRect(174, 85, 18, 26)), 10) << "the rotated text is not where the page has it";
    EXPECT_EQ(ink(drawn, QRect(178, 111, 20, 8)), 0) << "the rotated text is drawn upright";
    // The hatch shows both colours inside the box.
    QSet<QRgb> hatch;
    for (int x = 12; x < 58; ++x)
        hatch.insert(drawn.pixel(x, 75) & 0xFFFFFF);
    EXPECT_TRUE(hatch.contains(0xFF0000) && hatch.contains(0xFFFFFF)) << hatch.size();
    // The repeated picture is stored once.
    EXPECT_EQ(ReadUtf8(svgFile).count(QStringLiteral("data:image/png;base64,")), 1);
}

// --- metafiles ----------------------------------------------------------------------------

TEST(PictureReaders, LibwmfAndLibreOfficeReadTheStackedMetafiles)
{
    RegisterBuiltinExports();
    QTemporaryDir dir;
    TPagesReport report;
    const TColor colours[] = {clRed, clLime, clBlue};
    for (int i = 0; i < 3; ++i)
        report.Drawers.push_back([colours](TCanvas& c, int page, int) {
            c.Brush()->SetStyle(bsSolid);
            c.Brush()->SetColor(colours[page]);
            c.FillRect(TRect{0, 0, 400, 20}); // the page's whole width, so a reader's frame shows
        });
    report.Prepare();
    const QString emf = dir.filePath(QStringLiteral("stack_emf.emf"));
    const QString wmf = dir.filePath(QStringLiteral("stack_wmf.wmf"));
    report.ExportTo(emf, false, &TKVXExportToEMF::staticMetaObject, {1, 2, 3});
    report.ExportTo(wmf, false, &TKVXExportToWMF::staticMetaObject, {1, 2, 3});
    bool checked = false;

    // The stripes in order, a page height apart, each a fifteenth of it
    // high, wherever and at whatever scale the reader puts the picture
    // (LibreOffice fits it on a page of its own): a page at the wrong
    // place, or a file with a page missing, shows.
    auto stripes = [](const QImage& image, const char* reader) {
        ASSERT_FALSE(image.isNull()) << reader;
        const QRgb want[] = {0xFF0000, 0x00FF00, 0x0000FF};
        int first[3] = {-1, -1, -1};
        int rows[3] = {0, 0, 0};
        for (int y = 0; y < image.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int i = 0; i < 3; ++i) {
                if (std::count_if(line, line + image.width(), [&](QRgb p) { return (p & 0xFFFFFF) == want[i]; })
                    > image.width() / 10) {
                    if (first[i] < 0)
                        first[i] = y;
                    ++rows[i];
                }
            }
        }
        ASSERT_TRUE(first[0] >= 0 && first[1] > first[0] && first[2] > first[1])
            << reader << ": stripes at " << first[0] << ", " << first[1] << ", " << first[2];
        const int page = first[1] - first[0];
        EXPECT_NEAR(first[2] - first[1], page, 2) << reader;
        for (int i = 0; i < 3; ++i) // readers round a scaled stripe's edges their own way
            EXPECT_NEAR(rows[i], page / 15.0, std::max(2.0, page / 15.0 * 0.2)) << reader << " page " << i;
    };

    if (const QString wmf2gd = FindTool(QStringLiteral("wmf2gd")); !wmf2gd.isEmpty()) {
        const QString png = dir.filePath(QStringLiteral("libwmf.png"));
        const TToolRun run = RunTool(wmf2gd, {QStringLiteral("-t"), QStringLiteral("png"), QStringLiteral("-o"), png, wmf});
        EXPECT_EQ(run.ExitCode, 0) << run.Err.constData();
        const QImage image = QImage(png).convertToFormat(QImage::Format_RGB32);
        EXPECT_NEAR(double(image.height()) / image.width(), 900.0 / 400, 0.02) << "libwmf's picture is not 3 pages high";
        stripes(image, "libwmf");
        checked = true;
    }
    if (const QString soffice = FindTool(QStringLiteral("soffice")); !soffice.isEmpty()) {
        const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
        const QString out = dir.filePath(QStringLiteral("lo"));
        const TToolRun run = RunTool(soffice, {QStringLiteral("-env:UserInstallation=") + profile,
                                               QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                               QStringLiteral("png"), QStringLiteral("--outdir"), out, emf, wmf},
                                     300000);
        EXPECT_EQ(run.ExitCode, 0) << run.Err.constData();
        for (const char* name : {"stack_emf", "stack_wmf"}) {
            SCOPED_TRACE(name);
            const QImage image = QImage(out + u'/' + QLatin1String(name) + QStringLiteral(".png"))
                                     .convertToFormat(QImage::Format_RGB32);
            stripes(image, "LibreOffice");
        }
        checked = true;
    }
    if (!checked)
        GTEST_SKIP() << "neither libwmf (libwmf-bin) nor LibreOffice is installed";
}

} // namespace
} // namespace vorel::test
