// The PDF filter end to end: pages drawn with the recording canvas, walked
// through the export framework, written, and read back by real consumers
// (qpdf --check, pdftotext, pdfinfo, pdffonts, pdftoppm).

#include "pdf_test_support.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <climits>
#include <cstdio>

namespace vorel {
namespace {

using namespace pdftest;

class PdfExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool(QStringLiteral("qpdf")) || !HaveTool(QStringLiteral("pdftotext"))
            || !HaveTool(QStringLiteral("pdfinfo")) || !HaveTool(QStringLiteral("pdftoppm")))
            GTEST_SKIP() << "qpdf and poppler-utils (pdftotext, pdfinfo, pdftoppm) are needed to read the files back";
        ASSERT_TRUE(FDir.isValid());
    }

    QString Path(const QString& name) const { return FDir.filePath(name); }

    // Exports the pages to name and checks the file with qpdf.
    QString Export(const std::vector<TMetafile>& pages, const QString& name,
        const std::function<void(TKVXExportToPDF&)>& setup = {})
    {
        TKVXExportToPDF filter;
        filter.CreationDate = QDateTime(QDate(2024, 5, 17), QTime(9, 30, 0));
        if (setup)
            setup(filter);
        const QString file = Path(name);
        ExportPages(filter, pages, file);
        EXPECT_EQ(QpdfComplaint(file), QString()) << name.toStdString();
        return file;
    }

    // Page `page` (from 1) rendered at 96 dpi: one image pixel per report pixel.
    QImage Render(const QString& file, int page = 1)
    {
        const QString prefix = file + QStringLiteral(".render");
        RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-f"), QString::number(page),
                QStringLiteral("-l"), QString::number(page), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                file, prefix});
        return QImage(prefix + QStringLiteral(".png"));
    }

    QTemporaryDir FDir;
};

// The rectangle around the dark pixels of an image region (null when none).
QRect InkBox(const QImage& image, const QRect& region = {})
{
    const QRect area = region.isNull() ? image.rect() : region.intersected(image.rect());
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The lines that hold text, each with its runs of blanks made one blank
// (in layout mode they stand for the gaps between columns).
QStringList NonEmptyLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines.append(line.simplified());
    }
    return lines;
}

TEST_F(PdfExport, OnePageReportReadsBackInOrderOnAnA4Page)
{
    const TMetafile page = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 14, fsBold);
        c.TextOut(40, 40, QStringLiteral("Quarterly sales"));
        SetFont(c, QStringLiteral("Arial"), 10);
        c.TextOut(40, 100, QStringLiteral("North"));
        c.TextOut(300, 100, QStringLiteral("1,204.50"));
        c.TextOut(40, 120, QStringLiteral("South"));
        c.TextOut(300, 120, QStringLiteral("987.00"));
        SetFont(c, QStringLiteral("Times New Roman"), 9, fsItalic);
        c.TextOut(40, 1080, QStringLiteral("Page 1 of 1"));
    });
    const QString file = Export({page}, QStringLiteral("one.pdf"));
    EXPECT_EQ(NonEmptyLines(PdfText(file, true)),
        QStringList({QStringLiteral("Quarterly sales"), QStringLiteral("North 1,204.50"), QStringLiteral("South 987.00"),
            QStringLiteral("Page 1 of 1")}));
    const QString info = PdfInfo(file);
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Pages")), QStringLiteral("1"));
    // 794 x 1123 report pixels at 96 dpi are 595.5 x 842.25 points.
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Page size")), QStringLiteral("595.5 x 842.25 pts (A4)"));
}

TEST_F(PdfExport, TextLandsWhereTheReportDrewIt)
{
    const TMetafile page = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 10);
        c.TextOut(100, 200, QStringLiteral("HHHH"));
        SetFont(c, QStringLiteral("Arial"), 36);
        c.TextOut(100, 400, QStringLiteral("HHHH"));
    });
    const QImage image = Render(Export({page}, QStringLiteral("place.pdf")));
    ASSERT_EQ(image.size(), QSize(kA4Width, kA4Height)); // A4 at 96 dpi: the report's own pixels
    for (const int points : {10, 36}) {
        const int top = points == 10 ? 200 : 400;
        TFont font;
        font.SetName(QStringLiteral("Arial"));
        font.SetSize(points);
        const TFontFacePtr face = TTextMeasurer::Face(font);
        const QRect ink = InkBox(image, QRect(0, top - 60, 794, 120));
        ASSERT_FALSE(ink.isNull()) << points;
        // Capitals stand on the baseline, the ascent below the cell's top.
        EXPECT_NEAR(ink.bottom() + 1, top + face->Ascent(), 1) << points;
        EXPECT_NEAR(ink.left(), 100 + face->RawFont().boundingRect(face->GlyphIndex(u'H')).left(), 2) << points;
        // The text ends where the report measured it, less the last H's
        // right side bearing (the viewer's widths are unrounded).
        const QRectF h = face->RawFont().boundingRect(face->GlyphIndex(u'H'));
        EXPECT_NEAR(ink.right() + 1, 100 + face->TextWidth(u"HHHH") - (face->CharWidth(u'H') - h.right()), 3)
            << points;
    }
}

TEST_F(PdfExport, ElevenPagesMakeTwoPageTreeNodes)
{
    std::vector<TMetafile> pages;
    for (int i = 1; i <= 11; ++i) {
        pages.push_back(MakePage([i](TCanvas& c) {
            SetFont(c, QStringLiteral("Arial"), 12);
            c.TextOut(50, 50, QStringLiteral("Page %1 heading").arg(i));
            c.TextOut(50, 1000, QStringLiteral("Page %1 footer").arg(i));
        }));
    }
    const QString file = Export(pages, QStringLiteral("eleven.pdf"));
    EXPECT_EQ(PdfInfoValue(PdfInfo(file), QStringLiteral("Pages")), QStringLiteral("11"));
    QStringList expected;
    for (int i = 1; i <= 11; ++i)
        expected << QStringLiteral("Page %1 heading").arg(i) << QStringLiteral("Page %1 footer").arg(i);
    EXPECT_EQ(NonEmptyLines(PdfText(file)), expected);
    const QByteArray bytes = ReadAll(file);
    // The root lists two nodes and counts every page; each node counts its own.
    const QRegularExpression root(QStringLiteral("3 0 obj\r\n<< /Type /Pages \r\n/Kids \\[ 4 0 R \\d+ 0 R \\] \r\n/Count 11 >> "));
    EXPECT_TRUE(root.match(QString::fromLatin1(bytes)).hasMatch());
    EXPECT_EQ(bytes.count("/Count 10 \r\n/Parent 3 0 R"), 1);
    EXPECT_EQ(bytes.count("/Count 1 \r\n/Parent 3 0 R"), 1);
}

TEST_F(PdfExport, PagesFollowTheReportEvenWithoutText)
{
    // Page 2 holds only a line: it still is page 2, and its line is on it.
    std::vector<TMetafile> pages;
    pages.push_back(MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 12);
        c.TextOut(50, 50, QStringLiteral("First"));
    }));
    pages.push_back(MakePage([](TCanvas& c) {
        c.Pen()->SetWidth(3);
        c.MoveTo(100, 600);
        c.LineTo(500, 600);
    }));
    pages.push_back(MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 12);
        c.TextOut(50, 50, QStringLiteral("Third"));
    }));
    const QString file = Export(pages, QStringLiteral("gap.pdf"));
    EXPECT_EQ(PdfInfoValue(PdfInfo(file), QStringLiteral("Pages")), QStringLiteral("3"));
    const QStringList text = PdfText(file).split(QLatin1Char('\f'));
    ASSERT_GE(text.size(), 3);
    EXPECT_EQ(text[0].trimmed(), QStringLiteral("First"));
    EXPECT_EQ(text[1].trimmed(), QString());
    EXPECT_EQ(text[2].trimmed(), QStringLiteral("Third"));
    EXPECT_TRUE(InkBox(Render(file, 1), QRect(0, 500, 794, 200)).isNull());
    const QRect line = InkBox(Render(file, 2));
    // A 3-pixel pen centred on row 600, its round ends reaching past the ends.
    EXPECT_NEAR(line.left(), 100, 2);
    EXPECT_NEAR(line.right() + 1, 500, 2);
    EXPECT_NEAR(line.top(), 599, 1);
    EXPECT_NEAR(line.height(), 3, 1);
}

TEST_F(PdfExport, LinesKeepTheirDirectionPenAndPlace)
{
    const TMetafile page = MakePage([](TCanvas& c) {
        c.Pen()->SetColor(clRed);
        c.MoveTo(400, 100); // drawn right to left
        c.LineTo(200, 100);
        c.Pen()->SetColor(clBlue);
        c.MoveTo(300, 500); // drawn upwards
        c.LineTo(300, 300);
    });
    const QImage image = Render(Export({page}, QStringLiteral("lines.pdf")));
    const QRect horizontal = InkBox(image, QRect(0, 50, 794, 100));
    EXPECT_NEAR(horizontal.left(), 201, 1); // the last pixel of a line is left out
    EXPECT_NEAR(horizontal.right(), 400, 1);
    EXPECT_NEAR(horizontal.top(), 100, 1);
    const QColor red = image.pixelColor(300, 100);
    EXPECT_GT(red.red(), 150);
    EXPECT_LT(red.blue(), 100);
    const QRect vertical = InkBox(image, QRect(250, 250, 100, 300));
    EXPECT_NEAR(vertical.top(), 301, 1);
    EXPECT_NEAR(vertical.bottom(), 500, 1);
    EXPECT_GT(image.pixelColor(300, 400).blue(), 150);
}

QImage TwoColourPicture()
{
    QImage image(60, 40, QImage::Format_RGB888);
    image.fill(QColor(220, 20, 20));
    for (int y = 0; y < 40; ++y)
        for (int x = 30; x < 60; ++x)
            image.setPixelColor(x, y, QColor(20, 20, 220));
    return image;
}

TEST_F(PdfExport, PicturesInEveryCompressionShowTheirPixelsInPlace)
{
    const QImage picture = TwoColourPicture();
    const TMetafile page = MakePage([&picture](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 10);
        c.TextOut(50, 50, QStringLiteral("Above the picture"));
        c.StretchImage({200, 200, 260, 240}, picture, {0, 0, 60, 40});
        c.TextOut(50, 300, QStringLiteral("Below the picture"));
    });
    const struct {
        TKVXECompression Compression;
        const char* Filter;
    } cases[] = {{seASCIIHex, "/ASCIIHexDecode"}, {seASCII85, "/ASCII85Decode"}, {seLZW, "/LZWDecode"},
        {seDCT, "/DCTDecode"}, {seFlate, "/FlateDecode"}};
    for (const auto& c : cases) {
        const QString name = QStringLiteral("picture_%1.pdf").arg(int(c.Compression));
        const QString file = Export({page}, name, [&c](TKVXExportToPDF& f) { f.SetCompression(c.Compression); });
        EXPECT_TRUE(ReadAll(file).contains("/Subtype /Image\r\n/Name /Im1")) << c.Filter;
        EXPECT_TRUE(ReadAll(file).contains(QByteArray("/Filter ") + c.Filter)) << c.Filter;
        EXPECT_EQ(NonEmptyLines(PdfText(file)),
            QStringList({QStringLiteral("Above the picture"), QStringLiteral("Below the picture")}))
            << c.Filter;
        const QImage image = Render(file);
        const QColor left = image.pixelColor(215, 220), right = image.pixelColor(245, 220);
        EXPECT_GT(left.red(), 180) << c.Filter;
        EXPECT_LT(left.blue(), 80) << c.Filter;
        EXPECT_GT(right.blue(), 180) << c.Filter;
        // The picture covers its rectangle (200..259 x 200..239); the
        // renderer may round its far edges out by a pixel.
        EXPECT_EQ(image.pixelColor(199, 220), QColor(Qt::white)) << c.Filter;
        EXPECT_EQ(image.pixelColor(230, 199), QColor(Qt::white)) << c.Filter;
        EXPECT_EQ(image.pixelColor(261, 220), QColor(Qt::white)) << c.Filter;
        EXPECT_EQ(image.pixelColor(230, 241), QColor(Qt::white)) << c.Filter;
        EXPECT_NE(image.pixelColor(200, 200), QColor(Qt::white)) << c.Filter;
        EXPECT_NE(image.pixelColor(259, 239), QColor(Qt::white)) << c.Filter;
    }
}

TEST_F(PdfExport, APictureRepeatedOnEveryPageIsStoredOnce)
{
    const QImage picture = TwoColourPicture();
    std::vector<TMetafile> pages;
    for (int i = 0; i < 3; ++i)
        pages.push_back(MakePage([&picture](TCanvas& c) { c.StretchImage({10, 10, 70, 50}, picture, {0, 0, 60, 40}); }));
    const QString file = Export(pages, QStringLiteral("logo.pdf"));
    EXPECT_EQ(ReadAll(file).count("/Subtype /Image"), 1);
    for (int p = 1; p <= 3; ++p)
        EXPECT_GT(Render(file, p).pixelColor(20, 20).red(), 180) << p;
}

TEST_F(PdfExport, ParenthesesAndBackslashesSurviveInTextAndProperties)
{
    const QStringList texts = {QStringLiteral("Total (net): 5"), QStringLiteral("C:\\Reports\\(draft)\\"),
        QStringLiteral("a)b(c"), QStringLiteral("\\)")};
    const TMetafile page = MakePage([&texts](TCanvas& c) {
        SetFont(c, QStringLiteral("Courier New"), 10);
        for (int i = 0; i < texts.size(); ++i)
            c.TextOut(50, 50 + 30 * i, texts[i]);
    });
    const QString file = Export({page}, QStringLiteral("escape.pdf"), [](TKVXExportToPDF& f) {
        f.Properties()->SetTitle(QStringLiteral("Sales (Q1) \\ draft)"));
        f.Properties()->SetAuthor(QStringLiteral("\u041F\u0435\u0442\u0440\u043E\u0432 (\u041F.)"));
    });
    EXPECT_EQ(NonEmptyLines(PdfText(file)), texts);
    const QString info = PdfInfo(file);
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Title")), QStringLiteral("Sales (Q1) \\ draft)"));
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Author")), QStringLiteral("\u041F\u0435\u0442\u0440\u043E\u0432 (\u041F.)"));
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Producer")), QStringLiteral("Tarnwick Vorel"));
}

TEST_F(PdfExport, SingleByteScriptsShowTheirLettersThroughEmbeddedFonts)
{
    const struct {
        const char16_t* Text;
        TFontCharset Charset;
        const char* Face;
    } cases[] = {
        {u"\u041E\u0442\u0447\u0451\u0442 \u043E \u043F\u0440\u043E\u0434\u0430\u0436\u0430\u0445", DEFAULT_CHARSET, "Arial"},
        {u"\u0418\u0442\u043E\u0433\u043E: 1 234,50 \u20BD\u0401", RUSSIAN_CHARSET, "Times New Roman"},
        {u"P\u0159\u00EDli\u0161 \u017Elu\u0165ou\u010Dk\u00FD k\u016F\u0148", DEFAULT_CHARSET, "Arial"},
        {u"\u0391\u03B8\u03AE\u03BD\u03B1 \u03C3\u03C4\u03B9\u03C2 \u03C4\u03C1\u03B5\u03B9\u03C2", GREEK_CHARSET, "Arial"},
        {u"\u0130stanbul \u015Fi\u015Fli \u011F\u00FC\u00E7", TURKISH_CHARSET, "Courier New"},
        {u"R\u012Bga \u0161\u0101 \u0137\u0113\u0146", BALTIC_CHARSET, "Arial"},
    };
    QStringList expected;
    const TMetafile page = MakePage([&](TCanvas& c) {
        int y = 50;
        for (const auto& s : cases) {
            SetFont(c, QString::fromLatin1(s.Face), 12, {}, s.Charset);
            c.TextOut(50, y, QString::fromUtf16(s.Text));
            y += 40;
        }
    });
    for (const auto& s : cases)
        expected << QString::fromUtf16(s.Text);
    const QString file = Export({page}, QStringLiteral("scripts.pdf"));
    EXPECT_EQ(NonEmptyLines(PdfText(file)), expected);
    // The classic fonts: the rouble sign is in no single-byte code page and
    // becomes "?"; every other letter stays.
    const QString classic = Export({page}, QStringLiteral("scripts_classic.pdf"),
        [](TKVXExportToPDF& f) { f.SetEmbedFonts(false); });
    expected[1].replace(QChar(0x20BD), QLatin1Char('?'));
    EXPECT_EQ(NonEmptyLines(PdfText(classic)), expected);
    // Every non-Western font is embedded.
    const QString fonts = QString::fromUtf8(RunTool(QStringLiteral("pdffonts"), {file}).Out);
    for (const QString& line : fonts.split(QLatin1Char('\n')).mid(2)) {
        if (!line.trimmed().isEmpty()) {
            EXPECT_TRUE(line.contains(QStringLiteral(" yes "))) << line.toStdString();
        }
    }
    // And the letters are drawn: a page of them has ink in every line.
    const QImage image = Render(file);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(InkBox(image, QRect(50, 50 + 40 * i, 500, 20)).isNull()) << i;
}

TEST_F(PdfExport, RussianReportReadsBack)
{
    const QStringList lines = {QStringLiteral("\u041F\u0440\u043E\u0434\u0430\u0436\u0438 \u0437\u0430 \u043C\u0430\u0439"),
        QStringLiteral("\u041C\u043E\u0441\u043A\u0432\u0430 12 500,00"),
        QStringLiteral("\u0421\u0430\u043D\u043A\u0442-\u041F\u0435\u0442\u0435\u0440\u0431\u0443\u0440\u0433 8 300,00"),
        QStringLiteral("\u0418\u0442\u043E\u0433\u043E (\u0432\u0441\u0435\u0433\u043E): 20 800,00")};
    const TMetafile page = MakePage([&lines](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 11);
        for (int i = 0; i < lines.size(); ++i)
            c.TextOut(60, 60 + 25 * i, lines[i]);
    });
    const QString file = Export({page}, QStringLiteral("russian.pdf"), [](TKVXExportToPDF& f) {
        f.CodePage = 1251;
        f.SetEmbedFonts(false);
    });
    EXPECT_EQ(NonEmptyLines(PdfText(file)), lines);
    const QByteArray bytes = ReadAll(file);
    EXPECT_TRUE(bytes.contains("+Helvetica-Russian"));
    EXPECT_TRUE(bytes.contains("/FontFile2"));
}

TEST_F(PdfExport, BarsOfOnePageStandSideBySide)
{
    const TMetafile left = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 10);
        c.TextOut(20, 20, QStringLiteral("Left bar"));
    }, 400, 300);
    const TMetafile right = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 10);
        c.TextOut(20, 20, QStringLiteral("Right bar"));
    }, 400, 300);
    TKVXExportToPDF filter;
    filter.PageWidth = 400;
    filter.PageHeight = 300;
    filter.TotalWidth = 800;
    filter.TotalHeight = 300;
    const QString file = Path(QStringLiteral("bars.pdf"));
    filter.StartExport();
    int bar = 0;
    for (const TMetafile* m : {&left, &right}) {
        filter.NewPage(0, bar);
        filter.SetOffsetX(400 * bar);
        filter.SetOffsetY(0);
        filter.EnumerateMetafile(*m);
        filter.PageProcessed(*m);
        ++bar;
    }
    filter.SaveToFile(file);
    filter.EndExport();
    EXPECT_EQ(QpdfComplaint(file), QString());
    const QString info = PdfInfo(file);
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Pages")), QStringLiteral("1"));
    EXPECT_EQ(PdfInfoValue(info, QStringLiteral("Page size")), QStringLiteral("600 x 225 pts"));
    EXPECT_EQ(NonEmptyLines(PdfText(file, true)), QStringList({QStringLiteral("Left bar Right bar")}));
}

TEST_F(PdfExport, OneFilePerPageHoldsOnePageEach)
{
    TKVXExportToPDF filter;
    filter.PageWidth = kA4Width;
    filter.PageHeight = kA4Height;
    filter.TotalWidth = kA4Width;
    filter.TotalHeight = kA4Height;
    filter.StartExport();
    for (int i = 0; i < 2; ++i) {
        const TMetafile page = MakePage([i](TCanvas& c) {
            SetFont(c, QStringLiteral("Arial"), 10);
            c.TextOut(20, 20, QStringLiteral("Sheet %1").arg(i + 1));
        });
        filter.NewPage(i, 0);
        filter.EnumerateMetafile(page);
        filter.PageProcessed(page);
        filter.SaveToFile(Path(QStringLiteral("sheet%1.pdf").arg(i)));
    }
    filter.EndExport();
    for (int i = 0; i < 2; ++i) {
        const QString file = Path(QStringLiteral("sheet%1.pdf").arg(i));
        EXPECT_EQ(QpdfComplaint(file), QString());
        EXPECT_EQ(PdfInfoValue(PdfInfo(file), QStringLiteral("Pages")), QStringLiteral("1"));
        EXPECT_EQ(PdfText(file).trimmed(), QStringLiteral("Sheet %1").arg(i + 1));
    }
}

TEST_F(PdfExport, CompressedContentAndFontsStayValid)
{
    const TMetafile page = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Times New Roman"), 12, {}, RUSSIAN_CHARSET);
        c.TextOut(50, 50, QStringLiteral("\u0421\u0436\u0430\u0442\u044B\u0439 (compressed)"));
    });
    for (const TKVXECompression compression : {seASCII85, seLZW, seFlate}) {
        const QString file = Export({page}, QStringLiteral("packed%1.pdf").arg(int(compression)),
            [compression](TKVXExportToPDF& f) { f.SetCompression(compression); });
        EXPECT_EQ(PdfText(file).trimmed(), QStringLiteral("\u0421\u0436\u0430\u0442\u044B\u0439 (compressed)"))
            << int(compression);
    }
}

TEST_F(PdfExport, WithoutPagesTheFileStillHasOnePage)
{
    const QString file = Export({}, QStringLiteral("empty.pdf"));
    EXPECT_EQ(PdfInfoValue(PdfInfo(file), QStringLiteral("Pages")), QStringLiteral("1"));
}

TEST_F(PdfExport, AFileThatCannotBeCreatedRaisesAndNamesIt)
{
    TKVXExportToPDF filter;
    const TMetafile page = MakePage([](TCanvas&) {});
    const QString file = Path(QStringLiteral("no/such/folder/out.pdf"));
    try {
        ExportPages(filter, {page}, file);
        ADD_FAILURE() << "no error raised";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("out.pdf"))) << e.Message().toStdString();
    }
}

// The layout of a one-page report without pictures: objects 1 to 9
// (catalogue, information, root page tree, page-tree node, page, contents,
// length, procedure set, resources), then the fonts: a standard font alone,
// a non-standard TrueType font with its encoding and descriptor, and an
// embedded one with its font file too.
TEST_F(PdfExport, GoldenLayoutOfAOnePageReport)
{
    const TMetafile page = MakePage([](TCanvas& c) {
        SetFont(c, QStringLiteral("Arial"), 10, {}, ANSI_CHARSET);
        c.TextOut(40, 40, QStringLiteral("Standard font (Helvetica)"));
        SetFont(c, QStringLiteral("Times New Roman"), 12, {}, ANSI_CHARSET, clNavy);
        c.TextOut(40, 80, QStringLiteral("Times-Roman is not a standard name"));
        SetFont(c, QStringLiteral("Arial"), 10, {}, RUSSIAN_CHARSET);
        c.TextOut(40, 120, QStringLiteral("\u0412\u0441\u0442\u0440\u043E\u0435\u043D\u043D\u044B\u0439 \u0448\u0440\u0438\u0444\u0442"));
        c.MoveTo(40, 150);
        c.LineTo(400, 150);
    });
    // The layout of the classic fonts (the embedded ones have their own tests).
    const QString file = Export({page}, QStringLiteral("golden.pdf"), [](TKVXExportToPDF& f) {
        f.SetEmbedFonts(false);
        f.Properties()->SetTitle(QStringLiteral("Layout"));
        f.Properties()->SetAuthor(QStringLiteral("Vorel tests"));
    });
    const QString dump = DumpObjects(ReadAll(file));
    ExpectGolden(QStringLiteral("pdf_one_page_layout"), dump);
    // What the layout must show whatever the golden file says.
    EXPECT_TRUE(dump.contains(QStringLiteral("[ /PDF /Text ] ")));
    EXPECT_FALSE(dump.contains(QStringLiteral("missing")));
}

// A sample report to look at: run by hand with
// --gtest_also_run_disabled_tests and VOREL_PDF_SAMPLE=<file.pdf>, then
// render it (pdftoppm -png) and view the pages.
TEST_F(PdfExport, DISABLED_WriteSampleReport)
{
    const QString target = qEnvironmentVariable("VOREL_PDF_SAMPLE");
    if (target.isEmpty())
        GTEST_SKIP() << "set VOREL_PDF_SAMPLE to the file to write";
    QImage logo(120, 60, QImage::Format_RGB888);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            logo.setPixelColor(x, y, QColor(40 + x, 80 + y * 2, 200 - x));
    std::vector<TMetafile> pages;
    for (int p = 1; p <= 2; ++p) {
        pages.push_back(MakePage([&, p](TCanvas& c) {
            c.StretchImage({620, 30, 740, 90}, logo, {0, 0, 120, 60});
            SetFont(c, QStringLiteral("Arial"), 18, fsBold, DEFAULT_CHARSET, clNavy);
            c.TextOut(40, 40, QStringLiteral("Sales by region (draft)"));
            SetFont(c, QStringLiteral("Times New Roman"), 11, fsItalic);
            c.TextOut(40, 75, QStringLiteral("C:\\Reports\\sales.kvx \u2014 \u041E\u0442\u0447\u0451\u0442 \u043E \u043F\u0440\u043E\u0434\u0430\u0436\u0430\u0445"));
            c.Pen()->SetWidth(2);
            c.MoveTo(40, 110);
            c.LineTo(754, 110);
            c.Pen()->SetWidth(1);
            SetFont(c, QStringLiteral("Arial"), 10);
            const char16_t* regions[] = {u"North", u"S\u00FCd", u"\u041C\u043E\u0441\u043A\u0432\u0430", u"\u0391\u03B8\u03AE\u03BD\u03B1",
                u"Praha \u017Di\u017Ekov", u"Courier (fixed)"};
            for (int row = 0; row < 6; ++row) {
                const int y = 130 + row * 22;
                if (row == 5)
                    SetFont(c, QStringLiteral("Courier New"), 10);
                c.TextOut(40, y, QString::fromUtf16(regions[row]));
                c.TextOut(400, y, QStringLiteral("%1.%2").arg(1000 * p + row * 137).arg(row * 7 % 100, 2, 10, QLatin1Char('0')));
                c.Pen()->SetStyle(psDot);
                c.MoveTo(40, y + 19);
                c.LineTo(754, y + 19);
                c.Pen()->SetStyle(psSolid);
            }
            c.MoveTo(380, 125);
            c.LineTo(380, 262);
            SetFont(c, QStringLiteral("Arial"), 8);
            c.TextOut(40, 1090, QStringLiteral("Page %1 of 2").arg(p));
        }));
    }
    TKVXExportToPDF filter;
    filter.Properties()->SetTitle(QStringLiteral("Sales by region"));
    ExportPages(filter, pages, target);
    EXPECT_EQ(QpdfComplaint(target), QString());
}

// How fast a 200-page text report is written (run by hand with
// --gtest_also_run_disabled_tests; figures go to docs/PDF.md).
TEST_F(PdfExport, DISABLED_TwoHundredPageTextReportTiming)
{
    std::vector<TMetafile> pages;
    for (int p = 0; p < 200; ++p) {
        pages.push_back(MakePage([p](TCanvas& c) {
            SetFont(c, QStringLiteral("Arial"), 9);
            for (int row = 0; row < 60; ++row) {
                const int y = 60 + row * 16;
                c.TextOut(40, y, QStringLiteral("Row %1").arg(p * 60 + row));
                c.TextOut(200, y, QStringLiteral("Customer %1 (account)").arg(row * 7));
                c.TextOut(500, y, QStringLiteral("%1.00").arg(row * 13 + p));
            }
        }));
    }
    for (const TKVXECompression compression : {seASCIIHex, seFlate}) {
        QElapsedTimer timer;
        timer.start();
        const QString file = Path(QStringLiteral("timing%1.pdf").arg(int(compression)));
        TKVXExportToPDF filter;
        filter.SetCompression(compression);
        ExportPages(filter, pages, file);
        const qint64 ms = timer.elapsed();
        std::printf("200 pages, 36000 text items, compression %d: %lld ms, %.0f pages/s, %lld bytes\n",
            int(compression), static_cast<long long>(ms), 200000.0 / std::max<qint64>(ms, 1),
            static_cast<long long>(QFileInfo(file).size()));
        EXPECT_EQ(QpdfComplaint(file), QString());
    }
}

} // namespace
} // namespace vorel
