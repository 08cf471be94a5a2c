// Text in every script: one page with a line in each, written as PDF and
// read back by poppler (text in logical order, every font embedded under its
// own face's name) and rendered by pdftoppm beside the EMF player's own
// painting of the same page, which it must match.

#include "pdf_test_support.h"

#include "graphics/emf_player.h"

#include <QImage>
#include <QPainter>

namespace vorel {
namespace {

using namespace pdftest;

struct TScriptLine {
    const char* Name;
    const char16_t* Text;
    const char* Face;
    TFontStyles Style;
    // What pdffonts must list for the line's face ("" when a fallback face
    // draws it, whichever the machine has).
    const char* EmbeddedAs;
};

const TScriptLine kLines[] = {
    {"Latin", u"Gr\u00FC\u00DFe, caf\u00E9 \u2013 na\u00EFve", "Arial", {}, "LiberationSans"},
    {"Greek", u"\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1 \u03BA\u03CC\u03C3\u03BC\u03B5", "Arial", {}, ""},
    {"Cyrillic", u"\u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451", "Arial", {}, ""},
    {"Hebrew", u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD", "Arial", {}, ""},
    {"Arabic", u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 \u0644\u0627", "Arial", {},
        ""},
    {"Devanagari", u"\u0928\u092E\u0938\u094D\u0924\u0947 \u0926\u0941\u0928\u093F\u092F\u093E", "Arial", {}, ""},
    {"Chinese", u"\u4F60\u597D\uFF0C\u4E16\u754C", "Arial", {}, ""},
    {"Japanese", u"\u3053\u3093\u306B\u3061\u306F\u4E16\u754C", "Arial", {}, ""},
    {"Korean", u"\uC548\uB155\uD558\uC138\uC694 \uC138\uACC4", "Arial", {}, ""},
    {"Signs", u"\u20BD \u2713 \u20AC 100", "Arial", {}, ""},
    {"DejaVu", u"DejaVu Sans keeps its face", "DejaVu Sans", {}, "DejaVuSans"},
    {"LiberationSerif", u"Liberation Serif bold italic", "Liberation Serif", TFontStyles{fsBold, fsItalic},
        "LiberationSerif-BoldItalic"},
    {"Noto", u"Noto Sans keeps its face", "Noto Sans", {}, "NotoSans-Regular"},
    {"Decorated", u"Underlined and struck out", "Arial", TFontStyles{fsUnderline, fsStrikeOut}, ""},
    // A family without italic outlines, slanted by the font engine.
    {"SlantedByTheEngine", u"Slanted by the engine", "Noto Sans Symbols", TFontStyles{fsItalic}, ""},
};

constexpr int kTop = 40;
constexpr int kPitch = 40;
constexpr int kLeft = 60;

// Dark pixels of an image as a mask.
std::vector<bool> Ink(const QImage& image, const QRect& area)
{
    std::vector<bool> ink(std::size_t(area.width() * area.height()));
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            ink[std::size_t(y * area.width() + x)] = qGray(image.pixel(area.left() + x, area.top() + y)) < 140;
    return ink;
}

// The share of a's ink with no ink of b within one pixel: 0 when b covers
// every stroke of a (anti-aliasing differs from renderer to renderer by a
// pixel at the edges, a misplaced or missing glyph by far more).
double Uncovered(const std::vector<bool>& a, const std::vector<bool>& b, int width, int height)
{
    int ink = 0, uncovered = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!a[std::size_t(y * width + x)])
                continue;
            ++ink;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < width && ny < height && b[std::size_t(ny * width + nx)];
                }
            uncovered += near ? 0 : 1;
        }
    return ink == 0 ? 1.0 : double(uncovered) / ink;
}

QString WithoutDirectionMarks(QString line)
{
    line.remove(QRegularExpression(QStringLiteral("[\u202A-\u202E\u200E\u200F]")));
    return line.trimmed();
}

TEST(PdfScripts, EveryScriptReadsBackEmbeddedAndLooksLikeThePlayersPage)
{
    for (const char* tool : {"pdftotext", "pdffonts", "pdftoppm", "qpdf"})
        if (!HaveTool(QString::fromLatin1(tool)))
            GTEST_SKIP() << tool << " is not installed (Debian: poppler-utils, qpdf)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TMetafile page = MakePage([](TCanvas& c) {
        int y = kTop;
        for (const TScriptLine& line : kLines) {
            SetFont(c, QString::fromLatin1(line.Face), 14, line.Style);
            c.TextOut(kLeft, y, QString::fromUtf16(line.Text));
            y += kPitch;
        }
    });
    TKVXExportToPDF filter;
    filter.SetCompression(seFlate);
    const QString file = dir.filePath(QStringLiteral("scripts.pdf"));
    ExportPages(filter, {page}, file);
    EXPECT_EQ(QpdfComplaint(file), QString());

    // Logical order, whatever the direction or shaping of the script.
    const QStringList text = QString::fromUtf8(RunTool(QStringLiteral("pdftotext"), {file, QStringLiteral("-")}).Out)
                                 .split(u'\n', Qt::SkipEmptyParts);
    QStringList read;
    for (const QString& line : text)
        if (!WithoutDirectionMarks(line).isEmpty())
            read << WithoutDirectionMarks(line);
    ASSERT_EQ(read.size(), qsizetype(std::size(kLines))) << text.join(u'\n').toStdString();
    for (std::size_t i = 0; i < std::size(kLines); ++i)
        EXPECT_EQ(read[qsizetype(i)], QString::fromUtf16(kLines[i].Text)) << kLines[i].Name;

    // Every font embedded as a subset with its Unicode map; the named faces
    // keep their own names.
    const QString fonts = QString::fromUtf8(RunTool(QStringLiteral("pdffonts"), {file}).Out);
    const QStringList rows = fonts.split(u'\n', Qt::SkipEmptyParts).mid(2);
    EXPECT_GE(rows.size(), 5) << fonts.toStdString();
    for (const QString& row : rows) {
        const QStringList cells = row.simplified().split(u' ');
        ASSERT_GE(cells.size(), 7) << row.toStdString();
        EXPECT_EQ(cells.mid(cells.size() - 5, 3), QStringList({"yes", "yes", "yes"})) << row.toStdString();
        EXPECT_TRUE(row.contains(QStringLiteral("CID TrueType"))) << row.toStdString();
    }
    for (const TScriptLine& line : kLines) {
        if (*line.EmbeddedAs) {
            EXPECT_TRUE(fonts.contains(u'+' + QString::fromLatin1(line.EmbeddedAs) + u' '))
                << line.Name << "\n" << fonts.toStdString();
        }
    }

    // The PDF page as poppler paints it against the page as the player does.
    const QString prefix = dir.filePath(QStringLiteral("scripts"));
    RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                                            QStringLiteral("-singlefile"), file, prefix});
    const QImage pdf(prefix + QStringLiteral(".png"));
    ASSERT_FALSE(pdf.isNull());
    QImage played(pdf.size(), QImage::Format_RGB32);
    played.fill(Qt::white);
    {
        QPainter painter(&played);
        PlayEmf(painter, page, QRectF(0, 0, kA4Width, kA4Height));
    }
    if (qEnvironmentVariableIsSet("VOREL_KEEP_TEST_FILES")) {
        pdf.save(QStringLiteral("/tmp/vorel_scripts_pdf.png"));
        played.save(QStringLiteral("/tmp/vorel_scripts_player.png"));
    }
    for (std::size_t i = 0; i < std::size(kLines); ++i) {
        const QRect band(0, kTop + int(i) * kPitch - 8, kA4Width, kPitch);
        const std::vector<bool> a = Ink(pdf, band), b = Ink(played, band);
        EXPECT_LT(Uncovered(a, b, band.width(), band.height()), 0.03) << kLines[i].Name << ": the PDF has ink the player has not";
        EXPECT_LT(Uncovered(b, a, band.width(), band.height()), 0.03) << kLines[i].Name << ": the player has ink the PDF has not";
    }
}

} // namespace
} // namespace vorel

namespace vorel {
namespace {

using namespace pdftest;

TEST(PdfScripts, TextInHundredsOfSizesKeepsTheFontCountBoundedAndReadsBack)
{
    for (const char* tool : {"pdftotext", "pdffonts", "qpdf"})
        if (!HaveTool(QString::fromLatin1(tool)))
            GTEST_SKIP() << tool << " is not installed (Debian: poppler-utils, qpdf)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 80 sizes of one face over eight pages, as a generated report might
    // have: one font object with its own widths per size up to a bound, the
    // face's own widths (with adjustments) beyond it, every text readable.
    std::vector<TMetafile> pages;
    for (int first = 6; first < 86; first += 10) {
        pages.push_back(MakePage([first](TCanvas& c) {
            int y = 10;
            for (int size = first; size < first + 10; ++size) {
                TFont font;
                font.SetName(QStringLiteral("Arial"));
                font.SetHeight(-size);
                c.SetFont(&font);
                c.TextOut(10, y, QStringLiteral("Size %1").arg(size));
                y += size + size / 4;
            }
        }));
    }
    TKVXExportToPDF filter;
    filter.SetCompression(seFlate);
    const QString file = dir.filePath(QStringLiteral("sizes.pdf"));
    ExportPages(filter, pages, file);
    EXPECT_EQ(QpdfComplaint(file), QString());
    const QStringList fonts = QString::fromUtf8(RunTool(QStringLiteral("pdffonts"), {file}).Out)
                                  .split(u'\n', Qt::SkipEmptyParts)
                                  .mid(2);
    EXPECT_LE(fonts.size(), 65);
    const QString text = QString::fromUtf8(RunTool(QStringLiteral("pdftotext"), {file, QStringLiteral("-")}).Out);
    for (int size = 6; size < 86; ++size)
        EXPECT_TRUE(text.contains(QStringLiteral("Size %1\n").arg(size))) << size;
}

} // namespace
} // namespace vorel
