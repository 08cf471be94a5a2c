#pragma once
// The page the graphics tests draw on every canvas: texts in several fonts,
// sizes, styles and colours, rotated text, lines, rectangles, rounded
// rectangles, ellipses, fills, formatted text and a picture.

#include "graphics/canvas.h"
#include "graphics/picture.h"

namespace vorel::test {

constexpr int kPageWidth = 400; // report pixels
constexpr int kPageHeight = 300;

inline QImage SamplePicture()
{
    QImage image(16, 8, QImage::Format_RGB888);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixelColor(x, y, QColor((x * 16) & 0xFF, (y * 32) & 0xFF, ((x + y) % 2) ? 255 : 0));
    return image;
}

inline void DrawSamplePage(TCanvas& c)
{
    c.Brush()->SetColor(clWhite);
    c.FillRect({0, 0, kPageWidth, kPageHeight});
    c.Brush()->SetColor(TColor(0xE0F0FF));
    c.FillRect({10, 10, 390, 40});

    c.Brush()->SetStyle(bsClear);
    c.Font()->SetName(QStringLiteral("Arial"));
    c.Font()->SetSize(10);
    c.Font()->SetColor(clBlack);
    c.TextOut(14, 14, QStringLiteral("Quarterly report"));
    c.Font()->SetName(QStringLiteral("Times New Roman"));
    c.Font()->SetSize(14);
    c.Font()->SetStyle(fsBold | fsItalic);
    c.Font()->SetColor(clNavy);
    c.TextOut(200, 12, QStringLiteral("Bold italic"));
    c.Font()->SetName(QStringLiteral("Courier New"));
    c.Font()->SetSize(8);
    c.Font()->SetStyle({});
    c.Font()->SetColor(clRed);
    c.TextOut(14, 50, QStringLiteral("Courier red 8 pt"));
    c.Font()->SetName(QStringLiteral("Arial"));
    c.Font()->SetSize(12);
    c.Font()->SetStyle(fsUnderline);
    c.Font()->SetColor(clGreen);
    c.TextOut(200, 50, QStringLiteral("Underlined green"));
    c.Font()->SetStyle({});
    c.Font()->SetColor(clPurple);
    c.Font()->SetOrientation(900);
    c.TextOut(20, 280, QStringLiteral("Rotated 90"));
    c.Font()->SetOrientation(0);

    c.Pen()->SetColor(clBlack);
    c.Pen()->SetWidth(1);
    c.MoveTo(50, 80);
    c.LineTo(380, 80);
    c.Pen()->SetWidth(3);
    c.Pen()->SetColor(clMaroon);
    c.MoveTo(50, 90);
    c.LineTo(380, 120);
    c.Pen()->SetWidth(1);
    c.Pen()->SetStyle(psDot);
    c.Pen()->SetColor(clBlue);
    c.MoveTo(50, 130);
    c.LineTo(380, 130);
    c.Pen()->SetStyle(psSolid);

    c.Pen()->SetColor(clBlack);
    c.Brush()->SetColor(clYellow);
    c.Rectangle(50, 140, 120, 190);
    c.Brush()->SetStyle(bsClear);
    c.RoundRect(130, 140, 200, 190, 20, 20);
    c.Brush()->SetColor(clAqua);
    c.Ellipse(210, 140, 280, 190);
    c.Brush()->SetStyle(bsDiagCross);
    c.Brush()->SetColor(clGray);
    c.Rectangle(290, 140, 380, 190);

    c.Brush()->SetStyle(bsClear);
    c.Font()->SetName(QStringLiteral("Arial"));
    c.Font()->SetSize(9);
    c.Font()->SetColor(clBlack);
    TRect box{50, 200, 200, 290};
    c.DrawText(QStringLiteral("Formatted text that wraps at blanks inside its box, centred."), box,
        DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_EXPANDTABS);
    TBitmap picture(SamplePicture());
    c.StretchDraw({220, 200, 300, 240}, picture);
}

} // namespace vorel::test
