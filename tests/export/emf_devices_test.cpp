// The same metafiles through both devices of the record interpreter: the
// QPainter player into an image at 96 dpi, and the PDF filter rendered by
// pdftoppm at 96 dpi without anti-aliasing. Figures on whole pixels must
// come out pixel for pixel alike. Along curves and slopes the two
// rasterisers may put an edge pixel one pixel apart (pdftoppm also inks
// pixels a one-pixel line only touches), so those rows count the pixels
// whose colour the other rendering has nowhere in their 3 x 3
// neighbourhood; a figure drawn differently (a missing line, a half-pixel
// shift along a straight edge, a lost path or clip) costs hundreds.

#include "graphics/emf_player.h"
#include "pdf_test_support.h"
#include "support/emf_records.h"

#include <QImage>
#include <QPainter>

namespace vorel {
namespace {

using namespace pdftest;

constexpr int kW = 192; // report pixels: a frame of exactly 5080 x 3810 hundredths of a millimetre
constexpr int kH = 144;

// The bounds most drawing records start with (readers here ignore them).
#define ANY_BOUNDS 0, 0, kW - 1, kH - 1

struct Page {
    TEmfWriter W;
    int Handles = 1;
    void Pen(int style, int width, std::uint32_t color)
    {
        W.CreatePen(std::uint32_t(Handles), style, width, color);
        W.SelectObject(std::uint32_t(Handles++));
    }
    void Brush(int style, std::uint32_t color, int hatch = 0)
    {
        W.CreateBrushIndirect(std::uint32_t(Handles), style, color, hatch);
        W.SelectObject(std::uint32_t(Handles++));
    }
    void R(std::uint32_t type, std::initializer_list<std::int32_t> fields) { W.Raw(testing::EmfRecord(type, fields)); }
};

constexpr std::uint32_t kBlack = 0, kRed = 0x0000FF, kBlue = 0xFF0000, kYellow = 0x00FFFF, kGreen = 0x008000;

struct DeviceCase {
    const char* name;
    std::function<void(Page&)> draw;
    bool exact; // every pixel the same
    int budget = 0; // pixels allowed without a like neighbour in the other rendering
    std::vector<QPoint> inked = {}; // drawn on, or next to, in both renderings
};

void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.name; }

TMetafile Build(const DeviceCase& c)
{
    Page p;
    p.W.SetBkMode(TRANSPARENT_MODE);
    p.Pen(PS_SOLID, 1, kBlack);
    p.Brush(BS_NULL, 0);
    c.draw(p);
    TMetafile mf;
    mf.LoadFromBytes(p.W.Finish(TEmfBounds::Of(0, 0, kW - 1, kH - 1), TRect{0, 0, 5080, 3810}, p.Handles,
                         QStringLiteral("Vorel"), QStringLiteral("devices")),
        QStringLiteral("devices"));
    return mf;
}

QImage ThroughPdf(const TMetafile& mf, const QString& dir, const QString& name)
{
    TKVXExportToPDF filter;
    const QString file = dir + u'/' + name + QStringLiteral(".pdf");
    ExportPages(filter, {mf}, file);
    test::RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-aa"),
        QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"), QStringLiteral("-png"),
        QStringLiteral("-singlefile"), file, file});
    return QImage(file + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

bool Differ(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) > 80 || std::abs(qGreen(a) - qGreen(b)) > 80 || std::abs(qBlue(a) - qBlue(b)) > 80;
}

// Pixels of one image whose colour the other has neither there nor at a
// neighbour: the two rasterisers may place an edge of a curve or a
// diagonal one pixel apart, a figure drawn differently costs far more.
int Unmatched(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx)
                    found = b.valid(x + dx, y + dy) && !Differ(a.pixel(x, y), b.pixel(x + dx, y + dy));
            count += !found;
        }
    }
    return count;
}

class BothDevices : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(BothDevices, CoverTheSamePixels)
{
    if (!HaveTool(QStringLiteral("pdftoppm")))
        GTEST_SKIP() << "pdftoppm is not installed (Debian: poppler-utils); the PDF side cannot be rendered";
    QTemporaryDir dir;
    const TMetafile mf = Build(GetParam());
    QImage player(kW, kH, QImage::Format_RGB32);
    player.fill(Qt::white);
    QPainter painter(&player);
    PlayEmf(painter, mf, QRectF(0, 0, kW, kH));
    painter.end();
    const QImage pdf = ThroughPdf(mf, dir.path(), QString::fromLatin1(GetParam().name));
    ASSERT_EQ(pdf.size(), player.size());
    int ink = 0, differing = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            ink += player.pixel(x, y) != qRgb(255, 255, 255);
            differing += Differ(player.pixel(x, y), pdf.pixel(x, y));
        }
    }
    EXPECT_GT(ink, 20) << "the player drew nothing";
    // Straight edges on whole pixels: the very same pixels.
    if (GetParam().exact) {
        EXPECT_EQ(differing, 0) << ink << " pixels drawn by the player";
    }
    EXPECT_LE(Unmatched(player, pdf) + Unmatched(pdf, player), GetParam().budget)
        << differing << " pixels differ, " << ink << " drawn by the player";
    auto inkNear = [](const QImage& image, QPoint p) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (qGray(image.pixel(p.x() + dx, p.y() + dy)) < 128)
                    return true;
        return false;
    };
    for (const QPoint& p : GetParam().inked) {
        EXPECT_TRUE(inkNear(player, p)) << "player, at " << p.x() << ", " << p.y();
        EXPECT_TRUE(inkNear(pdf, p)) << "PDF, at " << p.x() << ", " << p.y();
    }
}

// Five points of a pentagram: its middle is inside once for winding and
// twice (so outside) for alternate filling.
void Star(Page& p, int fillMode)
{
    p.Pen(PS_NULL, 0, 0);
    p.Brush(BS_SOLID, kBlue);
    p.W.SetPolyFillMode(fillMode);
    QByteArray r;
    writeU32le(r, EMR_POLYGON16);
    writeU32le(r, 28 + 5 * 4);
    for (const int v : {ANY_BOUNDS})
        writeI32le(r, v);
    writeU32le(r, 5);
    for (const auto& [x, y] : {std::pair{96, 10}, {150, 130}, {20, 55}, {172, 55}, {42, 130}}) {
        writeI16le(r, std::int16_t(x));
        writeI16le(r, std::int16_t(y));
    }
    p.W.Raw(r);
}

INSTANTIATE_TEST_SUITE_P(Cases, BothDevices,
    ::testing::Values(
        DeviceCase{"RectangleWithPenAndBrush",
            [](Page& p) {
                p.Brush(BS_SOLID, kYellow);
                p.W.Rectangle({10, 10, 90, 60}, {});
            },
            true},
        DeviceCase{"OutlineOnlyRectangle", [](Page& p) { p.W.Rectangle({10, 10, 90, 60}, {}); }, true},
        // Without a pen the fill stops one pixel short on the right and bottom.
        DeviceCase{"PenlessRectangle",
            [](Page& p) {
                p.Pen(PS_NULL, 0, 0);
                p.Brush(BS_SOLID, kBlue);
                p.W.Rectangle({10, 10, 90, 60}, {});
                p.W.Rectangle({100, 10, 101, 60}, {}); // one pixel wide: nothing
            },
            true},
        DeviceCase{"InsideFrameWidePen",
            [](Page& p) {
                p.Pen(PS_INSIDEFRAME, 7, kRed);
                p.Brush(BS_SOLID, kYellow);
                p.W.Rectangle({10, 10, 90, 60}, {});
                p.W.Ellipse({100, 10, 180, 70}, {});
            },
            false, 0},
        DeviceCase{"EllipseAndRoundRect",
            [](Page& p) {
                p.Brush(BS_SOLID, kYellow);
                p.W.Ellipse({10, 10, 90, 70}, {});
                p.W.RoundRect({100, 10, 180, 70}, 30, 20, {});
            },
            false, 0},
        // Each line leaves out its last point, whichever way it runs.
        DeviceCase{"LinesInFourDirections",
            [](Page& p) {
                p.W.MoveToEx(20, 20);
                p.W.LineTo(120, 20, {});
                p.W.LineTo(120, 100, {});
                p.W.LineTo(20, 100, {});
                p.W.LineTo(20, 20, {});
                p.W.MoveToEx(140, 20);
                p.W.LineTo(180, 120, {});
            },
            false, 0},
        DeviceCase{"PolylineWithWidePen",
            [](Page& p) {
                p.W.Polyline16({{10, 10}, {60, 40}, {110, 10}, {160, 40}}, {});
                p.Pen(PS_SOLID, 5, kGreen);
                p.W.Polyline16({{10, 80}, {60, 120}, {110, 80}, {160, 120}}, {});
            },
            false, 0},
        DeviceCase{"PolygonAlternate", [](Page& p) { Star(p, ALTERNATE_FILL); }, false, 4},
        DeviceCase{"PolygonWinding", [](Page& p) { Star(p, WINDING_FILL); }, false, 4},
        DeviceCase{"ArcChordPie",
            [](Page& p) {
                p.Brush(BS_SOLID, kYellow);
                p.R(EMR_ARC, {10, 10, 70, 70, 70, 40, 40, 10});
                p.R(EMR_CHORD, {70, 10, 130, 70, 130, 40, 70, 70});
                p.R(EMR_PIE, {130, 10, 190, 70, 190, 10, 130, 70});
            },
            false, 20},
        // ARCTO: a line from the current position to the arc's start, the
        // arc, and the next line from the arc's end.
        DeviceCase{"ArcTo",
            [](Page& p) {
                p.W.MoveToEx(10, 130);
                p.R(EMR_ARCTO, {60, 20, 140, 100, 140, 60, 100, 20});
                p.W.LineTo(180, 130, {});
            },
            false, 8, {{75, 95}, {140, 75}}}, // the middles of both lines
        DeviceCase{"AngleArc",
            [](Page& p) {
                p.W.MoveToEx(10, 130);
                QByteArray r;
                writeU32le(r, EMR_ANGLEARC);
                writeU32le(r, 28); // centre, radius, start and sweep angles: no bounds
                for (const int v : {96, 70, 40})
                    writeI32le(r, v);
                writeF32le(r, 30);
                writeF32le(r, 200);
                p.W.Raw(r);
                p.W.LineTo(180, 130, {});
            },
            false, 6, {{70, 90}, {125, 115}}}, // to the start at 30 degrees, from the end at 230
        DeviceCase{"PathStrokedAndFilled",
            [](Page& p) {
                p.Pen(PS_SOLID, 1, kRed);
                p.Brush(BS_SOLID, kYellow);
                p.R(EMR_BEGINPATH, {});
                p.W.MoveToEx(20, 20);
                p.W.LineTo(170, 30, {});
                p.W.LineTo(120, 120, {});
                p.R(EMR_CLOSEFIGURE, {});
                p.W.Rectangle({10, 90, 60, 130}, {});
                p.R(EMR_ENDPATH, {});
                p.R(EMR_STROKEANDFILLPATH, {ANY_BOUNDS});
                p.R(EMR_BEGINPATH, {});
                p.W.Ellipse({140, 90, 185, 135}, {});
                p.R(EMR_ENDPATH, {});
                p.R(EMR_FILLPATH, {ANY_BOUNDS});
            },
            false, 10},
        DeviceCase{"ClipPath",
            [](Page& p) {
                p.R(EMR_BEGINPATH, {});
                p.W.Ellipse({20, 20, 170, 120}, {});
                p.R(EMR_ENDPATH, {});
                p.R(EMR_SELECTCLIPPATH, {5}); // RGN_COPY
                p.Pen(PS_NULL, 0, 0);
                p.Brush(BS_SOLID, kBlue);
                p.W.Rectangle({0, 0, kW, kH}, {});
            },
            false, 0},
        // The clip of a saved state ends with its restore.
        DeviceCase{"ClipRectThroughSavedStates",
            [](Page& p) {
                p.Pen(PS_NULL, 0, 0);
                p.Brush(BS_SOLID, kBlue);
                p.W.SaveDC();
                p.W.IntersectClipRect({30, 30, 80, 70});
                p.W.SaveDC();
                p.W.IntersectClipRect({50, 50, 150, 150});
                p.W.Rectangle({0, 0, kW, kH}, {});
                p.W.RestoreDC(-1);
                p.Brush(BS_SOLID, kRed);
                p.W.Rectangle({0, 0, 60, 60}, {});
                p.W.RestoreDC(-1);
                p.Brush(BS_SOLID, kGreen);
                p.W.Rectangle({100, 100, 180, 140}, {});
            },
            true},
        DeviceCase{"HatchedBrush",
            [](Page& p) {
                p.Brush(BS_HATCHED, kBlue, 4); // HS_CROSS
                p.W.Rectangle({10, 10, 90, 70}, {});
                p.Brush(BS_HATCHED, kRed, 2); // HS_FDIAGONAL
                p.W.Rectangle({100, 10, 180, 70}, {});
            },
            false, 8},
        DeviceCase{"Picture",
            [](Page& p) {
                QImage image(4, 2, QImage::Format_RGB32);
                const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 128, 0), qRgb(0, 0, 255), qRgb(0, 0, 0)};
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < 4; ++x)
                        image.setPixel(x, y, colours[(x + y) % 4]);
                p.W.StretchDIBits({}, {20, 20, 180, 100}, image, {0, 0, 4, 2});
            },
            0}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) { return std::string(info.param.name); });


// The PDF device keeps a text record's dx array only where it says
// something the face's advances do not (a report's own text never does).
TEST(PdfTextAdvances, KeptOnlyWhenTheyDifferFromTheFace)
{
    TLogFont font;
    font.Height = -16;
    font.FaceName = QStringLiteral("Arial");
    const QString text = QStringLiteral("Wide");
    std::vector<int> own(std::size_t(text.size()));
    TTextMeasurer::Face(TFontRequest{font.FaceName, font.Height})->Advances(text, own.data());
    const std::vector<int> spread = {20, 20, 20, 20};
    const TMetafile mf = Build({"dx",
        [&](Page& p) {
            p.W.ExtCreateFontIndirectW(std::uint32_t(p.Handles), font);
            p.W.SelectObject(std::uint32_t(p.Handles++));
            p.W.ExtTextOutW({}, 10, 10, 0, {}, text, own.data());
            p.W.ExtTextOutW({}, 10, 40, 0, {}, text, spread.data());
        },
        true});
    TPdfDrawingCollector collector;
    collector.BeginPage(0);
    TEmfEnumerator records(mf);
    while (records.Next())
        collector.Record(records, records.Record(), 1252);
    std::vector<std::vector<int>> kept;
    for (const TPdfDrawing& d : collector.Drawings())
        if (const auto* plain = std::get_if<TPdfPlainText>(&d))
            kept.push_back(plain->Dx);
    EXPECT_EQ(kept, (std::vector<std::vector<int>>{{}, spread}));
}

} // namespace
} // namespace vorel
