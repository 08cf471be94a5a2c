// The page frame: background, the five picture placements and the lines,
// seen through a canvas that records what it is asked to draw.

#include "frame/page_frame.h"
#include "graphics/canvas.h"

#include <QImage>
#include <QMetaProperty>
#include <gtest/gtest.h>

using namespace vorel;

namespace {

// Logs each drawing primitive as text: "line 0,0-10,0", "fill 0,0,10,10
// #00ff00", "image 0,0,40,40 from 0,0,40,40".
class TRecordingCanvas : public TCanvas {
public:
    QStringList Log;

protected:
    static QString R(const TRect& r) { return QStringLiteral("%1,%2,%3,%4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom); }
    void DoMoveTo(int, int) override {}
    void DoLineTo(int x, int y) override
    {
        Log << QStringLiteral("line %1,%2-%3,%4 w%5").arg(PenPos().X).arg(PenPos().Y).arg(x).arg(y).arg(Pen()->Width());
    }
    void DoPolyline(const QList<TPoint>&) override {}
    void DoRectangle(const TRect&) override {}
    void DoRoundRect(const TRect&, int, int) override {}
    void DoEllipse(const TRect&) override {}
    void DoFillRect(const TRect& r) override
    {
        Log << QStringLiteral("fill %1 %2").arg(R(r), ToQColor(Brush()->Color()).name());
    }
    void DoExtTextOut(int, int, unsigned, const TRect*, QStringView, const int*) override {}
    void DoStretchImage(const TRect& dest, const QImage&, const TRect& source) override
    {
        Log << QStringLiteral("image %1 from %2").arg(R(dest), R(source));
    }
    void DoPlayMetafile(const TRect&, const TMetafile&) override {}
    void DoIntersectClipRect(const TRect&) override {}
    void DoSetClipRect(const TRect*) override {}
    void DoSaveState() override {}
    void DoRestoreState() override {}
};

class PageFrameTest : public ::testing::Test {
protected:
    TKVXFrame frame;
    TRecordingCanvas canvas;

    void SetPicture(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(Qt::red);
        TPicture picture;
        picture.SetGraphic(std::make_unique<TBitmap>(image));
        frame.SetPicture(&picture);
    }
    QStringList Images() const { return canvas.Log.filter(QStringLiteral("image")); }
};

} // namespace

TEST_F(PageFrameTest, LinesAndBackground)
{
    frame.SetWidth(2);
    frame.SetFrameType(ftTop | ftRight);
    frame.SetBackColor(clYellow);
    canvas.Brush()->SetColor(clBlue);
    frame.DrawFrame(canvas, Rect(10, 20, 110, 220));
    EXPECT_EQ(canvas.Log, QStringList({"fill 10,20,110,220 #ffff00", "line 10,20-110,20 w2", "line 110,20-110,220 w2"}));
    // The brush goes back to solid in its former colour.
    EXPECT_EQ(canvas.Brush()->Style(), bsSolid);
    EXPECT_EQ(canvas.Brush()->Color(), clBlue);

    canvas.Log.clear();
    frame.SetBackColor(clWhite);
    frame.SetFrameType(ftBottom | ftLeft);
    frame.DrawFrame(canvas, Rect(10, 20, 110, 220));
    EXPECT_EQ(canvas.Log, QStringList({"line 10,220-110,220 w2", "line 10,20-10,220 w2"})) << "white means no fill";
    EXPECT_TRUE(frame.AnyFrame());
}

TEST_F(PageFrameTest, CentredAndCornerPicturesAtNaturalSize)
{
    SetPicture(30, 20);
    frame.SetPicType(btCenter);
    frame.DrawFrame(canvas, Rect(10, 10, 111, 61)); // W 101, H 51: (101-30) div 2 = 35, (51-20) div 2 = 15
    EXPECT_EQ(Images(), QStringList({"image 45,25,75,45 from 0,0,30,20"}));

    canvas.Log.clear();
    frame.SetPicType(btCorners);
    frame.DrawFrame(canvas, Rect(0, 0, 100, 50));
    EXPECT_EQ(Images(), QStringList({"image 0,0,30,20 from 0,0,30,20", "image 70,0,100,20 from 0,0,30,20",
                                     "image 0,30,30,50 from 0,0,30,20", "image 70,30,100,50 from 0,0,30,20"}));
    EXPECT_EQ(frame.GetFrameWidth(), 1 + 30);

    canvas.Log.clear();
    frame.SetPicType(btStretch);
    frame.DrawFrame(canvas, Rect(5, 5, 205, 105));
    EXPECT_EQ(Images(), QStringList({"image 5,5,205,105 from 0,0,30,20"}));
    EXPECT_EQ(frame.GetFrameWidth(), 1) << "only pictures along the border widen the frame";
}

TEST_F(PageFrameTest, TilesCoverTheRectAndAreCutAtItsEdge)
{
    // W 100 / 40 = 2.5 rounds to even: 2, so tiles at 0, 40, 80 (the last
    // one cut to 20); H 50 / 40 = 1.25 -> 1: rows at 0 and 40 (cut to 10).
    SetPicture(40, 40);
    frame.SetPicType(btTile);
    frame.DrawFrame(canvas, Rect(10, 10, 110, 60));
    EXPECT_EQ(Images(), QStringList({"image 10,10,50,50 from 0,0,40,40", "image 10,50,50,60 from 0,0,40,10",
                                     "image 50,10,90,50 from 0,0,40,40", "image 50,50,90,60 from 0,0,40,10",
                                     "image 90,10,110,50 from 0,0,20,40", "image 90,50,110,60 from 0,0,20,10"}));
}

TEST_F(PageFrameTest, TilesAsFrameRunAlongTheBorder)
{
    // W 100 / 40 -> 2: top and bottom rows at x 0, 40, 80; H 120 / 40 = 3:
    // columns for j = 1..3 at x 0 and 60 (the last, y 120, lies outside).
    SetPicture(40, 40);
    frame.SetPicType(btTileAsFrame);
    frame.DrawFrame(canvas, Rect(0, 0, 100, 120));
    EXPECT_EQ(Images(), QStringList({"image 0,0,40,40 from 0,0,40,40", "image 0,80,40,120 from 0,0,40,40",
                                     "image 40,0,80,40 from 0,0,40,40", "image 40,80,80,120 from 0,0,40,40",
                                     "image 80,0,100,40 from 0,0,20,40", "image 80,80,100,120 from 0,0,20,40",
                                     "image 0,40,40,80 from 0,0,40,40", "image 60,40,100,80 from 0,0,40,40",
                                     "image 0,80,40,120 from 0,0,40,40", "image 60,80,100,120 from 0,0,40,40"}));
    EXPECT_EQ(frame.GetFrameWidth(), 41);
}

TEST_F(PageFrameTest, NoPictureOrNoPlacementDrawsNoImage)
{
    frame.SetPicType(btTile);
    frame.DrawFrame(canvas, Rect(0, 0, 100, 100));
    SetPicture(10, 10);
    frame.SetPicType(TKVXFrameEnums::btNone);
    frame.DrawFrame(canvas, Rect(0, 0, 100, 100));
    EXPECT_TRUE(Images().isEmpty());
    // A picture larger than the rect is cut, never drawn outside it.
    SetPicture(300, 300);
    frame.SetPicType(btTile);
    frame.DrawFrame(canvas, Rect(0, 0, 100, 50));
    EXPECT_EQ(Images(), QStringList({"image 0,0,100,50 from 0,0,100,50"}));
}

TEST_F(PageFrameTest, AssignCopiesEverythingAndTheFourSidesAreStoredAsBooleans)
{
    SetPicture(8, 8);
    frame.SetPicType(btCorners);
    frame.SetFLeft(true);
    frame.SetFBottom(true);
    frame.SetColor(clRed);
    TKVXFrame copy;
    copy.Assign(&frame);
    EXPECT_EQ(copy.FrameType(), ftLeft | ftBottom);
    EXPECT_TRUE(copy.FLeft());
    EXPECT_FALSE(copy.FTop());
    EXPECT_EQ(copy.Color(), clRed);
    EXPECT_EQ(copy.PicType(), btCorners);
    EXPECT_EQ(copy.Picture()->Width(), 8);
    EXPECT_NE(copy.Picture(), frame.Picture());
    const QMetaObject* meta = &TKVXFrame::staticMetaObject;
    EXPECT_FALSE(meta->property(meta->indexOfProperty("FrameType")).isStored());
    EXPECT_TRUE(meta->property(meta->indexOfProperty("FLeft")).isStored());
}
