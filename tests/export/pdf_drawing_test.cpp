// What the PDF filter draws besides plain text: shapes with their pens and
// brushes, hatches, dashes, decorated and rotated text, clipping, painter's
// order and embedded metafiles. Pages are drawn with the recording canvas,
// exported, checked by qpdf and rendered by pdftoppm at 72 dpi (one pixel
// per PDF unit, three quarters of a report pixel), then read pixel by pixel.

#include "pdf_test_support.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <climits>
#include <cstdio>

namespace vorel {
namespace {

using namespace pdftest;

constexpr int kWidth = 800; // report pixels
constexpr int kHeight = 1100;

class PdfDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool(QStringLiteral("qpdf")) || !HaveTool(QStringLiteral("pdftoppm")))
            GTEST_SKIP() << "qpdf and poppler-utils (pdftoppm) are needed to read the files back";
        ASSERT_TRUE(FDir.isValid());
        // VOREL_KEEP_TEST_FILES=1 keeps the files and their renderings to look at.
        if (qEnvironmentVariableIsSet("VOREL_KEEP_TEST_FILES")) {
            FDir.setAutoRemove(false);
            std::printf("files in %s\n", qPrintable(FDir.path()));
        }
    }

    QString Export(const std::vector<TMetafile>& pages, const QString& name)
    {
        TKVXExportToPDF filter;
        filter.CreationDate = QDateTime(QDate(2024, 5, 17), QTime(9, 30, 0));
        const QString file = FDir.filePath(name);
        ExportPages(filter, pages, file);
        EXPECT_EQ(QpdfComplaint(file), QString()) << name.toStdString();
        return file;
    }

    // A page (from 1) at dpi; FScale report pixels to image pixels.
    QImage Render(const QString& file, int dpi = 72, int page = 1)
    {
        FScale = dpi / 96.0;
        const QString prefix = file + QStringLiteral(".r") + QString::number(dpi) + QStringLiteral("p")
            + QString::number(page);
        test::RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page),
                QStringLiteral("-l"), QString::number(page), QStringLiteral("-png"), QStringLiteral("-singlefile"), file,
                prefix});
        QImage image(prefix + QStringLiteral(".png"));
        EXPECT_FALSE(image.isNull()) << file.toStdString();
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage Draw(const std::function<void(TCanvas&)>& draw, const QString& name, int dpi = 72)
    {
        return Render(Export({MakePage(draw, kWidth, kHeight)}, name), dpi);
    }

    // The colour of the image pixel that holds report pixel (x, y).
    QColor At(const QImage& image, double x, double y) const
    {
        const int ix = int(std::floor(x * FScale)), iy = int(std::floor(y * FScale));
        return image.valid(ix, iy) ? image.pixelColor(ix, iy) : QColor(Qt::magenta);
    }
    int ToImage(double reportPixels) const { return int(std::floor(reportPixels * FScale)); }

    QTemporaryDir FDir;
    double FScale = 0.75;
};

bool Near(const QColor& a, const QColor& b, int tolerance = 60)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string Describe(const QColor& c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()).toStdString();
}

bool IsInk(const QColor& c) { return qGray(c.rgb()) < 128; }
bool IsPainted(const QColor& c) { return qGray(c.rgb()) < 235; }

// Runs of painted pixels (or of ink) along an image row (or column) between
// two image coordinates.
int CountRuns(const QImage& image, bool alongRow, int fixed, int from, int to, bool (*painted)(const QColor&) = IsPainted)
{
    int runs = 0;
    bool inside = false;
    for (int i = from; i <= to; ++i) {
        const QColor c = alongRow ? image.pixelColor(i, fixed) : image.pixelColor(fixed, i);
        const bool now = painted(c);
        if (now && !inside)
            ++runs;
        inside = now;
    }
    return runs;
}

void SetPen(TCanvas& c, TColor color, int width = 1, TPenStyle style = psSolid)
{
    c.Pen()->SetColor(color);
    c.Pen()->SetWidth(width);
    c.Pen()->SetStyle(style);
}

void SetBrush(TCanvas& c, TColor color, TBrushStyle style = bsSolid)
{
    c.Brush()->SetColor(color);
    c.Brush()->SetStyle(style);
}

struct TProbe {
    double X, Y; // report pixels
    QColor Expected;
    const char* What;
};

TEST_F(PdfDrawing, ShapesLandWithTheirPenAndFillWhereTheyWereDrawn)
{
    const QColor white(Qt::white), black(Qt::black), red(255, 0, 0), green(0, 128, 0), blue(0, 0, 255),
        yellow(255, 255, 0);
    const QImage image = Draw(
        [](TCanvas& c) {
            SetPen(c, clBlack, 4);
            SetBrush(c, clRed);
            c.Rectangle(100, 100, 300, 200);
            // A control's background: a fill without a pen, Left..Right-1.
            SetBrush(c, clBlue);
            c.FillRect(TRect{100, 250, 200, 300});
            SetPen(c, clBlack, 3);
            SetBrush(c, clGreen);
            c.Ellipse(400, 100, 600, 300);
            SetBrush(c, clYellow);
            c.RoundRect(400, 350, 600, 450, 80, 80);
            SetPen(c, clRed, 3);
            c.Polyline({{100, 700}, {300, 700}, {200, 850}, {100, 700}});
            // A shape's outline over the background a control painted first.
            SetBrush(c, clBlue);
            c.FillRect(TRect{400, 600, 600, 700});
            SetPen(c, clBlack, 2);
            c.Brush()->SetStyle(bsClear);
            c.Rectangle(420, 620, 580, 680);
        },
        QStringLiteral("shapes.pdf"));
    const TProbe probes[] = {
        {200, 150, red, "inside the filled rectangle"},
        {100, 150, black, "on its left outline (pen 4, centred on the edge)"},
        {299, 150, black, "on its right outline, one pixel inside the right edge"},
        {310, 150, white, "right of the rectangle"},
        {200, 90, white, "above the rectangle"},
        {102, 260, blue, "inside the background fill"},
        {197, 260, blue, "at the fill's last column"},
        {203, 260, white, "just past the fill: Right is outside"},
        {500, 200, green, "in the ellipse's middle"},
        {410, 110, white, "in the corner of the ellipse's box, outside the curve"},
        {590, 290, white, "in the opposite corner"},
        {401, 200, black, "on the ellipse's leftmost point"},
        {500, 101, black, "on the ellipse's top"},
        {500, 400, yellow, "inside the rounded rectangle"},
        {404, 354, white, "in the rounded-off corner"},
        {401, 400, black, "on the rounded rectangle's straight edge"},
        {200, 700, red, "on the polyline's first segment"},
        {150, 775, red, "on its slanted segment"},
        {200, 740, white, "inside the polyline (it is not filled)"},
        {500, 650, blue, "inside the clear rectangle: the background shows through"},
        {420, 650, black, "on the clear rectangle's outline"},
    };
    for (const TProbe& p : probes) {
        const QColor c = At(image, p.X, p.Y);
        EXPECT_TRUE(Near(c, p.Expected)) << p.What << " at (" << p.X << ", " << p.Y << "): " << Describe(c)
                                         << " instead of " << Describe(p.Expected);
    }
}

TEST_F(PdfDrawing, HatchedBrushesDrawEveryEighthPixelInsideTheShapeOnly)
{
    // Brush styles bsHorizontal .. bsDiagCross, one square each.
    const TBrushStyle styles[] = {bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross};
    const QImage image = Draw(
        [&](TCanvas& c) {
            for (int i = 0; i < 6; ++i) {
                SetBrush(c, clBlack, styles[i]);
                c.FillRect(TRect{100 + 110 * (i % 3), 100 + 300 * (i / 3), 200 + 110 * (i % 3), 260 + 300 * (i / 3)});
            }
        },
        QStringLiteral("hatch.pdf"), 96);
    for (int i = 0; i < 6; ++i) {
        const int left = 100 + 110 * (i % 3), top = 100 + 300 * (i / 3);
        // A column and a row 2 pixels past a multiple of 8: between the
        // straight lines, and where the two diagonals cross them apart.
        const int middleX = (left + 50) / 8 * 8 + 2, middleY = (top + 80) / 8 * 8 + 2;
        // 160 pixels down, 100 across: 20 and 12 or 13 lines one pixel wide.
        // Ink, not the faint edge of a smoothed diagonal.
        const int down = CountRuns(image, false, middleX, top, top + 159, IsInk);
        const int across = CountRuns(image, true, middleY, left, left + 99, IsInk);
        const bool horizontal = styles[i] == bsHorizontal || styles[i] == bsCross;
        const bool vertical = styles[i] == bsVertical || styles[i] == bsCross;
        if (horizontal && !vertical) {
            EXPECT_EQ(down, 20) << i;
            EXPECT_EQ(across, 0) << i; // the row between two lines stays white
        }
        if (vertical && !horizontal) {
            EXPECT_NEAR(across, 12.5, 0.5) << i;
            EXPECT_EQ(down, 0) << i;
        }
        if (!horizontal && !vertical) {
            // Diagonal lines cross both directions every 8 pixels (or twice
            // as often for the diagonal cross).
            const double expected = styles[i] == bsDiagCross ? 40 : 20;
            EXPECT_NEAR(down, expected, 3) << i;
            EXPECT_NEAR(across, expected * 100 / 160, 3) << i;
        }
        if (horizontal && vertical) {
            EXPECT_EQ(down, 20) << i;
            EXPECT_NEAR(across, 12.5, 0.5) << i;
        }
        // Nothing outside the square: the hatch is clipped to the shape.
        for (const QPoint p : {QPoint(left - 3, middleY), QPoint(left + 102, middleY), QPoint(middleX, top - 3),
                 QPoint(middleX, top + 162)})
            EXPECT_FALSE(IsPainted(image.pixelColor(p))) << i << " at " << p.x() << "," << p.y();
    }
}

TEST_F(PdfDrawing, PenStylesBecomeTheClassicDashPatterns)
{
    const QImage image = Draw(
        [](TCanvas& c) {
            const TPenStyle styles[] = {psSolid, psDash, psDot, psDashDot, psDashDotDot};
            for (int i = 0; i < 5; ++i) {
                SetPen(c, clBlack, 1, styles[i]);
                c.MoveTo(100, 100 + 50 * i);
                c.LineTo(700, 100 + 50 * i);
            }
            // A wide pen: its round ends close the gaps of a dashed style,
            // as on the preview (the classic platform draws it solid).
            SetPen(c, clBlack, 6, psDash);
            c.MoveTo(100, 400);
            c.LineTo(700, 400);
            // Opaque background mode (solid brush): the gaps are painted
            // in the background colour.
            SetBrush(c, clYellow);
            SetPen(c, clBlack, 1, psDash);
            c.MoveTo(100, 500);
            c.LineTo(700, 500);
        },
        QStringLiteral("dashes.pdf"), 96);
    // 600 pixels of line: solid is one run; a dash repeats every 24
    // pixels, a dot every 6, dash-dot every 24 (2 marks), dash-dot-dot every
    // 24 (3 marks).
    const int expected[] = {1, 25, 100, 50, 75};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(CountRuns(image, true, 100 + 50 * i, 100, 699), expected[i], 1) << "style " << i;
    EXPECT_EQ(CountRuns(image, true, 400, 100, 699), 1);
    EXPECT_EQ(CountRuns(image, false, 300, 390, 410), 1); // 6 pixels thick, one band
    // The dash from 100 to 118, then the gap 118 to 124, in yellow.
    EXPECT_TRUE(IsInk(image.pixelColor(110, 500)));
    const QColor gap = image.pixelColor(121, 500);
    EXPECT_TRUE(Near(gap, QColor(255, 255, 0))) << Describe(gap);
    EXPECT_FALSE(IsPainted(image.pixelColor(121, 503))); // only the line's own row
}

// The rows of the ink of an image region, as a set of y coordinates.
std::vector<int> InkRows(const QImage& image, const QRect& region, double share)
{
    std::vector<int> rows;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        int ink = 0;
        for (int x = region.left(); x <= region.right(); ++x)
            ink += IsInk(image.pixelColor(x, y)) ? 1 : 0;
        if (ink >= share * region.width())
            rows.push_back(y);
    }
    return rows;
}

TEST_F(PdfDrawing, UnderlineAndStrikeOutAreLinesAtTheFaceMetrics)
{
    TFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetSize(24);
    const TFontFacePtr face = TTextMeasurer::Face(font);
    const QFontMetricsF metrics(face->QtFont());
    const QString plain = QStringLiteral("l      l"); // the gap holds no ink of its own
    const int width = face->TextWidth(plain);
    const QImage image = Draw(
        [&](TCanvas& c) {
            SetFont(c, QStringLiteral("Arial"), 24);
            c.TextOut(100, 100, plain);
            SetFont(c, QStringLiteral("Arial"), 24, fsUnderline);
            c.TextOut(100, 200, plain);
            SetFont(c, QStringLiteral("Arial"), 24, fsStrikeOut);
            c.TextOut(100, 300, plain);
            SetFont(c, QStringLiteral("Arial"), 24, TFontStyles(fsUnderline) | fsStrikeOut, DEFAULT_CHARSET, clRed);
            c.TextOut(100, 400, plain);
        },
        QStringLiteral("decorations.pdf"), 96);
    const int gapLeft = 100 + face->CharWidth(u'l') + 4, gapRight = 100 + width - face->CharWidth(u'l') - 4;
    for (int line = 0; line < 4; ++line) {
        const int top = 100 + 100 * line;
        const int baseline = top + face->Ascent();
        // Rows inked across the whole gap between the two letters.
        const std::vector<int> rows = InkRows(image, QRect(QPoint(gapLeft, top), QPoint(gapRight, top + 60)), 0.95);
        const bool underline = line == 1 || line == 3, strikeOut = line == 2 || line == 3;
        bool below = false, middle = false;
        for (const int y : rows) {
            if (y >= baseline && y <= baseline + face->Descent())
                below = true;
            else if (std::abs(y + 0.5 - (baseline - metrics.strikeOutPos())) <= 2)
                middle = true;
            else
                ADD_FAILURE() << "line " << line << ": ink across the gap at row " << y;
        }
        EXPECT_EQ(below, underline) << "line " << line << ": underline below the baseline " << baseline;
        EXPECT_EQ(middle, strikeOut) << "line " << line << ": strike-out at the face's position";
    }
    // The lines take the text's colour.
    const int baseline = 400 + face->Ascent();
    const QColor underlineColour = image.pixelColor((gapLeft + gapRight) / 2,
        baseline + int(std::round(metrics.underlinePos())));
    EXPECT_GT(underlineColour.red(), 150) << Describe(underlineColour);
    EXPECT_LT(underlineColour.green(), 120) << Describe(underlineColour);
}

TEST_F(PdfDrawing, RotatedTextRunsAtItsAngleAboutItsReferencePoint)
{
    const QString text = QStringLiteral("Rotated caption");
    TFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetSize(16);
    const TFontFacePtr face = TTextMeasurer::Face(font);
    const int width = face->TextWidth(text);
    const QImage image = Draw(
        [&](TCanvas& c) {
            SetFont(c, QStringLiteral("Arial"), 16);
            c.Font()->SetOrientation(900); // a label's Angle of 90 degrees
            c.TextOut(200, 600, text);
            c.Font()->SetOrientation(2700);
            c.TextOut(500, 300, text);
            c.Font()->SetOrientation(450);
            c.TextOut(300, 1000, text);
        },
        QStringLiteral("rotated.pdf"));
    // 90 degrees counter-clockwise: the text runs upwards from the point,
    // its cell to the right of it.
    const QRect up(QPoint(ToImage(180), ToImage(600 - width - 20)), QPoint(ToImage(260), ToImage(620)));
    const QRect ink = [&] {
        int l = INT_MAX, t = INT_MAX, r = -1, b = -1;
        for (int y = up.top(); y <= up.bottom(); ++y)
            for (int x = up.left(); x <= up.right(); ++x)
                if (IsInk(image.pixelColor(x, y)))
                    l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
        return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
    }();
    ASSERT_FALSE(ink.isNull());
    EXPECT_GT(ink.height(), 4 * ink.width()) << "the text's box is upright";
    EXPECT_GE(ink.left(), ToImage(200) - 1); // the cell lies right of the point
    EXPECT_LE(ink.right(), ToImage(200 + face->Height()) + 1);
    EXPECT_LE(ink.bottom(), ToImage(600) + 1); // and the text runs up from it
    EXPECT_NEAR(ink.top(), ToImage(600 - width), 0.1 * width * FScale);
    // 270 degrees: downwards from the point, the cell to its left.
    int below = 0, above = 0;
    for (int y = ToImage(200); y < ToImage(300); ++y)
        for (int x = ToImage(470); x < ToImage(500); ++x)
            above += IsInk(image.pixelColor(x, y)) ? 1 : 0;
    for (int y = ToImage(310); y < ToImage(300 + width); ++y)
        for (int x = ToImage(500 - face->Height()); x < ToImage(500); ++x)
            below += IsInk(image.pixelColor(x, y)) ? 1 : 0;
    EXPECT_EQ(above, 0);
    EXPECT_GT(below, 50);
    // 45 degrees: up and to the right along the diagonal.
    const double d = width / std::sqrt(2.0);
    int onDiagonal = 0;
    for (double t = 0.2; t < 0.9; t += 0.1) {
        const int x = ToImage(300 + t * d + 8), y = ToImage(1000 - t * d + 8);
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx)
                if (IsInk(image.pixelColor(x + dx, y + dy))) {
                    ++onDiagonal;
                    dx = dy = 5;
                }
    }
    EXPECT_GE(onDiagonal, 6);
}

TEST_F(PdfDrawing, ClippedTextAndClipRegionsCutWhatTheyHold)
{
    const QImage image = Draw(
        [](TCanvas& c) {
            // Text clipped to its control's rectangle, as DrawText clips it.
            SetFont(c, QStringLiteral("Arial"), 14);
            c.TextRect(TRect{100, 100, 160, 130}, 100, 100, QStringLiteral("WWWWWWWWWWWW"));
            c.TextOut(100, 150, QStringLiteral("WWWWWWWWWWWW")); // the same text unclipped
            // A clip region around a fill, then none.
            c.SaveState();
            c.IntersectClipRect(TRect{100, 300, 200, 400});
            SetBrush(c, clRed);
            c.FillRect(TRect{50, 250, 250, 450});
            c.RestoreState();
            SetBrush(c, clBlue);
            c.FillRect(TRect{300, 300, 400, 400});
        },
        QStringLiteral("clip.pdf"));
    auto rightmostInk = [&](int top) {
        int right = -1;
        for (int y = ToImage(top); y < ToImage(top + 25); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (IsInk(image.pixelColor(x, y)))
                    right = std::max(right, x);
        return right;
    };
    EXPECT_LE(rightmostInk(100), ToImage(160));
    EXPECT_GT(rightmostInk(150), ToImage(250));
    EXPECT_TRUE(Near(At(image, 150, 350), Qt::red));
    EXPECT_TRUE(Near(At(image, 60, 260), Qt::white)) << "the fill outside the clip region";
    EXPECT_TRUE(Near(At(image, 210, 350), Qt::white));
    EXPECT_TRUE(Near(At(image, 350, 350), Qt::blue)) << "after RestoreState nothing is clipped";
}

TEST_F(PdfDrawing, ATextThatJustFitsItsClipRectangleKeepsItsLastCharacter)
{
    // Regression: a total that filled its control's width exactly, in a
    // control lower than the font, was clipped to the control; the PDF
    // font's unrounded widths ran past the report's whole-pixel advances and
    // the clip cut the last digits.
    const QString text = QString(30, u'0') + u' ';
    TFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetHeight(-15);
    font.SetStyle(fsBold);
    const TFontFacePtr face = TTextMeasurer::Face(font);
    const int width = face->TextWidth(text);
    // The premise: the face's own advance of a digit is more than the
    // report's whole pixels (8.34 against 8), so the PDF font's widths would
    // run 10 pixels past the report's measure.
    const quint32 zero = face->GlyphIndex(u'0');
    QList<QPointF> advances(1);
    face->RawFont().advancesForGlyphIndexes(&zero, advances.data(), 1, QRawFont::UseDesignMetrics);
    ASSERT_GT(advances[0].x() - face->CharWidth(u'0'), 0.2);
    const QImage image = Draw(
        [&](TCanvas& c) {
            c.SetFont(&font);
            c.TextRect(TRect{100, 100, 100 + width, 100 + face->Height() - 3}, 100, 100, text);
        },
        QStringLiteral("fit.pdf"), 96);
    int right = -1;
    for (int y = 100; y < 100 + face->Height() - 3; ++y)
        for (int x = 100; x < 100 + width + 20; ++x)
            if (IsInk(image.pixelColor(x, y)))
                right = std::max(right, x);
    // The last digit ends where the report put it, a blank short of the
    // clip's edge, rather than cut by the edge.
    EXPECT_LE(right + 1, 100 + width - 2);
    EXPECT_GE(right + 1, 100 + width - face->CharWidth(u' ') - 3);
}

TEST_F(PdfDrawing, EachPageKeepsTheClipRegionItSetsFirst)
{
    // Regression: the first page ended with a clip change, the second
    // began with one, and the two were taken as one change of the first
    // page, so the second page's fill went unclipped.
    const TMetafile first = MakePage([](TCanvas& c) {
        c.SaveState();
        c.IntersectClipRect(TRect{0, 0, 10, 10});
        c.RestoreState();
    }, kWidth, kHeight);
    const TMetafile second = MakePage([](TCanvas& c) {
        c.IntersectClipRect(TRect{100, 100, 200, 200});
        SetBrush(c, clRed);
        c.FillRect(TRect{50, 50, 250, 250});
    }, kWidth, kHeight);
    const QImage image = Render(Export({first, second}, QStringLiteral("clip_pages.pdf")), 72, 2);
    EXPECT_TRUE(Near(At(image, 150, 150), Qt::red));
    EXPECT_TRUE(Near(At(image, 60, 60), Qt::white));
    EXPECT_TRUE(Near(At(image, 240, 150), Qt::white));
}

TEST_F(PdfDrawing, LaterDrawingsCoverEarlierOnesAsOnThePage)
{
    TFont font;
    font.SetName(QStringLiteral("Arial"));
    font.SetSize(14);
    const int width = TTextMeasurer::Face(font)->TextWidth(u"AAAA");
    const QImage image = Draw(
        [&](TCanvas& c) {
            // Two cells side by side, each painting its background and then
            // its text; the second text starts where the first ends.
            SetFont(c, QStringLiteral("Arial"), 14);
            SetBrush(c, clYellow);
            c.FillRect(TRect{100, 100, 100 + width, 130});
            c.Brush()->SetStyle(bsClear);
            c.TextOut(100, 105, QStringLiteral("AAAA"));
            SetBrush(c, clAqua);
            c.FillRect(TRect{100 + width, 100, 100 + 2 * width, 130});
            c.Brush()->SetStyle(bsClear);
            c.TextOut(100 + width, 105, QStringLiteral("BBBB"));
            // A text, then a fill over its right half.
            c.TextOut(100, 200, QStringLiteral("Covered text"));
            SetBrush(c, clYellow);
            c.FillRect(TRect{160, 190, 400, 230});
        },
        QStringLiteral("order.pdf"));
    auto inkIn = [&](int left, int top, int right, int bottom) {
        int ink = 0;
        for (int y = ToImage(top); y < ToImage(bottom); ++y)
            for (int x = ToImage(left); x < ToImage(right); ++x)
                ink += IsInk(image.pixelColor(x, y)) ? 1 : 0;
        return ink;
    };
    EXPECT_GT(inkIn(100, 100, 100 + width, 130), 20);
    EXPECT_GT(inkIn(100 + width, 100, 100 + 2 * width, 130), 20) << "the second cell's background hid its text";
    EXPECT_TRUE(Near(At(image, 100 + width + 2, 102), QColor(0, 255, 255)));
    EXPECT_GT(inkIn(100, 190, 158, 230), 20);
    EXPECT_EQ(inkIn(162, 190, 400, 230), 0) << "the fill drawn later covers the text";
}

TEST_F(PdfDrawing, OpaqueTextCellsAndOpaqueRectanglesPaintTheirBackground)
{
    const QImage image = Draw(
        [](TCanvas& c) {
            SetFont(c, QStringLiteral("Arial"), 14);
            SetBrush(c, clYellow); // a solid brush paints the text cell
            c.TextOut(100, 100, QStringLiteral("On yellow"));
            SetBrush(c, clAqua);
            const TRect box{100, 200, 400, 260};
            c.ExtTextOut(110, 210, ETO_OPAQUE, &box, QStringLiteral("Opaque box"), nullptr);
        },
        QStringLiteral("opaque.pdf"));
    EXPECT_TRUE(Near(At(image, 101, 101), QColor(255, 255, 0)));
    EXPECT_TRUE(Near(At(image, 101, 95), Qt::white)) << "above the cell";
    EXPECT_TRUE(Near(At(image, 390, 250), QColor(0, 255, 255)));
    EXPECT_TRUE(Near(At(image, 405, 250), Qt::white));
}

TEST_F(PdfDrawing, AnEmbeddedMetafileDrawsItsShapesWhereItWasPlaced)
{
    // A 100 x 100 picture of a red square in its top-left quarter and a
    // blue circle, stretched over 200 x 200 report pixels at (300, 300).
    TMetafile picture;
    picture.SetWidth(100);
    picture.SetHeight(100);
    {
        TMetafileCanvas c(picture, QStringLiteral("Vorel"), QStringLiteral("picture"));
        c.Pen()->SetStyle(psClear);
        SetBrush(c, clRed);
        c.Rectangle(0, 0, 51, 51);
        SetBrush(c, clBlue);
        c.Ellipse(50, 50, 101, 101);
    }
    const QImage image =
        Draw([&](TCanvas& c) { c.PlayMetafile(TRect{300, 300, 500, 500}, picture); }, QStringLiteral("embedded.pdf"));
    EXPECT_TRUE(Near(At(image, 310, 310), Qt::red));
    EXPECT_TRUE(Near(At(image, 390, 390), Qt::red));
    EXPECT_TRUE(Near(At(image, 410, 310), Qt::white));
    EXPECT_TRUE(Near(At(image, 450, 450), Qt::blue));
    EXPECT_TRUE(Near(At(image, 406, 406), Qt::white)) << "the circle's box corner";
    EXPECT_TRUE(Near(At(image, 290, 310), Qt::white));
}

TEST_F(PdfDrawing, ShapesOfTheSecondBarStandRightOfTheFirst)
{
    auto bar = [](TColor color) {
        return MakePage([&](TCanvas& c) {
            c.Pen()->SetStyle(psClear);
            SetBrush(c, color);
            c.Rectangle(20, 20, 101, 101);
        }, 400, 300);
    };
    const TMetafile left = bar(clRed), right = bar(clBlue);
    TKVXExportToPDF filter;
    filter.PageWidth = 400;
    filter.PageHeight = 300;
    filter.TotalWidth = 800;
    filter.TotalHeight = 300;
    const QString file = FDir.filePath(QStringLiteral("bars.pdf"));
    filter.StartExport();
    int index = 0;
    for (const TMetafile* m : {&left, &right}) {
        filter.NewPage(0, index);
        filter.SetOffsetX(400 * index);
        filter.SetOffsetY(0);
        filter.EnumerateMetafile(*m);
        filter.PageProcessed(*m);
        ++index;
    }
    filter.SaveToFile(file);
    filter.EndExport();
    EXPECT_EQ(QpdfComplaint(file), QString());
    const QImage image = Render(file);
    EXPECT_TRUE(Near(At(image, 60, 60), Qt::red));
    EXPECT_TRUE(Near(At(image, 460, 60), Qt::blue));
    EXPECT_TRUE(Near(At(image, 260, 60), Qt::white));
}

TEST_F(PdfDrawing, AHatchFarBeyondThePageStaysWithinThePage)
{
    // Coordinates of a hostile or broken page: the hatch is drawn over the
    // page only, not over two million pixels of lines.
    QElapsedTimer timer;
    timer.start();
    const QString file = Export({MakePage([](TCanvas& c) {
        SetBrush(c, clBlack, bsDiagCross);
        c.FillRect(TRect{-1000000, -1000000, 1000000, 1000000});
    }, kWidth, kHeight)},
        QStringLiteral("huge.pdf"));
    EXPECT_LT(QFileInfo(file).size(), 200 * 1024);
    const QImage image = Render(file);
    EXPECT_TRUE(IsPainted(At(image, 400, 404)) || IsPainted(At(image, 404, 404)) || IsPainted(At(image, 402, 404)));
    EXPECT_LT(timer.elapsed(), 20000);
}

// One record of 32-bit fields after its type and size.
QByteArray Record(std::uint32_t type, std::initializer_list<std::int64_t> fields)
{
    QByteArray bytes(qsizetype(8 + 4 * fields.size()), '\0');
    LeWriter w(bytes.data());
    w.u32(type);
    w.u32(std::uint32_t(bytes.size()));
    for (const std::int64_t f : fields)
        w.u32(std::uint32_t(f));
    return bytes;
}

TEST_F(PdfDrawing, HostileRecordsAreSkippedOrBoundedAndTheFileStaysValid)
{
    constexpr std::int64_t kMin = INT_MIN, kMax = INT_MAX;
    TEmfWriter w;
    // A hatched brush and a dashed pen of the widest width.
    w.Raw(Record(EMR_CREATEBRUSHINDIRECT, {1, BS_HATCHED, 0, HS_DIAGCROSS}));
    w.Raw(Record(EMR_SELECTOBJECT, {1}));
    w.Raw(Record(EMR_CREATEPEN, {2, PS_DASH, kMax, 0, 0xFF}));
    w.Raw(Record(EMR_SELECTOBJECT, {2}));
    w.Raw(Record(EMR_ELLIPSE, {kMin, kMin, kMax, kMax}));
    w.Raw(Record(EMR_ROUNDRECT, {0, 0, 500, 500, kMin, kMin}));
    w.Raw(Record(EMR_ARC, {0, 0, 0, 0, 5, 5, 5, 5}));
    w.Raw(Record(EMR_PIE, {-100, -100, kMax, 100, kMin, 0, 0, kMax}));
    // Counts the records cannot hold.
    w.Raw(Record(EMR_POLYGON16, {0, 0, 10, 10, 0x7FFFFFFF}));
    w.Raw(Record(EMR_POLYPOLYGON16, {0, 0, 10, 10, 2, 3, 5, 5, 0, 0, 0}));
    w.Raw(Record(EMR_EXTTEXTOUTW, {0, 0, 10, 10, 1, 0, 0, 5, 5, 0x7FFFFFFF, 76, 0, 0, 0, 0, 0, 0}));
    // A clip region of 5000 rectangles, then a rectangle, an offset far
    // away, and saved states piled up and dropped.
    {
        constexpr int n = 5000;
        QByteArray region(qsizetype(8 + 8 + 32 + 16 * n), '\0');
        LeWriter r(region.data());
        r.u32(EMR_EXTSELECTCLIPRGN);
        r.u32(std::uint32_t(region.size()));
        r.u32(std::uint32_t(32 + 16 * n));
        r.u32(5); // RGN_COPY
        for (const std::uint32_t v : {32u, 1u, std::uint32_t(n), std::uint32_t(16 * n), 0u, 0u, 2u * n, 800u})
            r.u32(v);
        for (int i = 0; i < n; ++i) {
            r.i32(2 * i);
            r.i32(0);
            r.i32(2 * i + 1);
            r.i32(800);
        }
        w.Raw(region);
    }
    w.Raw(Record(EMR_INTERSECTCLIPRECT, {10, 10, 300, 300}));
    for (int i = 0; i < 3000; ++i)
        w.SaveDC();
    w.Raw(Record(EMR_OFFSETCLIPRGN, {kMax, kMax}));
    w.Raw(Record(EMR_RECTANGLE, {0, 0, 400, 400}));
    w.RestoreDC(-3000);
    w.Raw(Record(EMR_RECTANGLE, {100, 100, 200, 200}));
    TMetafile page;
    page.LoadFromBytes(w.Finish(TEmfBounds{0, 0, 799, 1099}, TRect{0, 0, 21167, 29104}, 3, QStringLiteral("t"),
                           QStringLiteral("hostile")),
        QStringLiteral("hostile.emf"));
    QElapsedTimer timer;
    timer.start();
    const QString file = Export({page}, QStringLiteral("hostile.pdf"));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_LT(QFileInfo(file).size(), 1024 * 1024);
    const QImage image = Render(file);
    EXPECT_FALSE(image.isNull());
}

} // namespace
} // namespace vorel
