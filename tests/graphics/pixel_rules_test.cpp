// The classic rules for which pixels a shape covers, checked on the painter
// canvas and on the same calls played back from a metafile.
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/painter_canvas.h"

#include <gtest/gtest.h>

namespace vorel {
namespace {

using Draw = std::function<void(TCanvas&)>;

QImage Direct(const Draw& draw)
{
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TPainterCanvas canvas(&painter);
    draw(canvas);
    return image;
}

QImage Played(const Draw& draw)
{
    TMetafile mf;
    mf.SetWidth(24);
    mf.SetHeight(24);
    {
        TMetafileCanvas canvas(mf, {}, {});
        draw(canvas);
    }
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    mf.Play(painter, QRectF(0, 0, 24, 24));
    return image;
}

// The covered pixels as rows of '#' (dark), '+' (coloured) and '.' (white),
// joined by '|'.
std::string Rows(const QImage& image, int x0, int y0, int x1, int y1)
{
    QStringList rows;
    for (int y = y0; y <= y1; ++y) {
        QString row;
        for (int x = x0; x <= x1; ++x) {
            const QRgb p = image.pixel(x, y);
            row += qGray(p) < 60 ? u'#' : (p & 0xFFFFFF) == 0xFFFFFF ? u'.' : u'+';
        }
        rows << row;
    }
    return rows.join(u'|').toStdString();
}

struct PixelCase {
    const char* name;
    Draw draw;
    QStringList rows; // pixels (1,1)..(8,6)
};

class PixelRules : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelRules, PainterCanvasAndPlayerCoverTheClassicPixels)
{
    EXPECT_EQ(Rows(Direct(GetParam().draw), 1, 1, 8, 6), GetParam().rows.join(u'|').toStdString()) << "painter canvas";
    EXPECT_EQ(Rows(Played(GetParam().draw), 1, 1, 8, 6), GetParam().rows.join(u'|').toStdString()) << "played metafile";
}

INSTANTIATE_TEST_SUITE_P(Cases, PixelRules,
    ::testing::Values(
        // The line from (2,2) to (7,2) stops before its last point.
        PixelCase{"LineExcludesItsEnd",
            [](TCanvas& c) {
                c.MoveTo(2, 2);
                c.LineTo(7, 2);
            },
            {"........", ".#####..", "........", "........", "........", "........"}},
        // Rectangle (2,2)-(7,6): outline on 2..6 x 2..5, the fill inside.
        PixelCase{"RectangleOutlineOnRightMinusOne",
            [](TCanvas& c) {
                c.Brush()->SetColor(clYellow);
                c.Rectangle(2, 2, 7, 6);
            },
            {"........", ".#####..", ".#+++#..", ".#+++#..", ".#####..", "........"}},
        // Without a pen the fill stops one short: 2..5 x 2..4.
        PixelCase{"NullPenRectangleFillsOneLess",
            [](TCanvas& c) {
                c.Pen()->SetStyle(psClear);
                c.Brush()->SetColor(clBlack);
                c.Rectangle(2, 2, 7, 6);
            },
            {"........", ".####...", ".####...", ".####...", "........", "........"}},
        // FillRect covers Left..Right-1 x Top..Bottom-1.
        PixelCase{"FillRectCoversRightMinusOne",
            [](TCanvas& c) {
                c.Brush()->SetColor(clBlack);
                c.FillRect({2, 2, 7, 6});
            },
            {"........", ".#####..", ".#####..", ".#####..", ".#####..", "........"}},
        PixelCase{"ClearBrushFillsNothing",
            [](TCanvas& c) {
                c.Brush()->SetStyle(bsClear);
                c.FillRect({2, 2, 7, 6});
            },
            {"........", "........", "........", "........", "........", "........"}},
        // The bevel: light left and top, dark right and bottom on the
        // rectangle's own right and bottom coordinates.
        PixelCase{"BorderBevel",
            [](TCanvas& c) { DrawBorder(c, {2, 2, 7, 6}, clRed, clBlack); },
            {"........", ".+++++#.", ".+....#.", ".+....#.", ".+....#.", ".+#####."}},
        // Clipping to a rectangle cuts the fill.
        PixelCase{"ClipRectCuts",
            [](TCanvas& c) {
                c.IntersectClipRect({3, 3, 5, 5});
                c.Brush()->SetColor(clBlack);
                c.FillRect({0, 0, 20, 20});
            },
            {"........", "........", "..##....", "..##....", "........", "........"}}),
    [](const ::testing::TestParamInfo<PixelCase>& info) { return std::string(info.param.name); });

TEST(PixelRulesXor, RubberBandDrawnTwiceLeavesNoTrace)
{
    const Draw draw = [](TCanvas& c) {
        c.Brush()->SetStyle(bsClear);
        c.Pen()->SetMode(pmXor);
        c.Pen()->SetColor(clWhite);
        c.Rectangle(2, 2, 9, 9);
        c.Rectangle(2, 2, 9, 9);
    };
    const QImage image = Direct(draw);
    EXPECT_EQ(Rows(image, 0, 0, 10, 10), Rows(Direct([](TCanvas&) {}), 0, 0, 10, 10));
    const QImage once = Direct([](TCanvas& c) {
        c.Brush()->SetStyle(bsClear);
        c.Pen()->SetMode(pmXor);
        c.Pen()->SetColor(clWhite);
        c.Rectangle(2, 2, 9, 9);
    });
    EXPECT_EQ(once.pixel(2, 2) & 0xFFFFFF, 0u) << "white xor white is black";
}

} // namespace
} // namespace vorel
