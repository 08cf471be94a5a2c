// Shapes and images on a recording canvas: the outline geometry of squares
// and circles, pen widths, double outlines, the eight line types, the image
// sizing rules and pictures that cannot be loaded.
#include "model/model_test_support.h"

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "graphics/picture.h"
#include "model/image_control.h"
#include "model/report.h"
#include "model/shapes.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace vorel {
namespace {

using testing::DrawCall;
using testing::RecordingCanvas;

QByteArray PngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class ShapesTest : public ::testing::Test {
protected:
    void SetUp() override { testing::EnsureModelRegistered(); }
    RecordingCanvas canvas;
};

TEST_F(ShapesTest, ASquareOfARectangleIsCentredWithEqualSides)
{
    TKVXRectangle shape;
    shape.SetWidth(100);
    shape.SetHeight(50);
    shape.SetRectangleType(rtSquare);
    TRect r = Bounds(0, 0, 100, 50);
    EXPECT_EQ(shape.Draw(canvas, r, 0, 0), 52);
    auto rects = canvas.Of(DrawCall::Rectangle);
    ASSERT_EQ(rects.size(), 1u);
    // Inside the frame (1, 1)-(99, 49): w = 98, hh = 48, a 48 x 48 square 25 to the right.
    EXPECT_EQ(rects[0].Rect, Bounds(1 + 25, 1, 48, 48));
    EXPECT_EQ(rects[0].BrushStyle, bsClear) << "outlines over the background";
    EXPECT_EQ(rects[0].PenWidth, 1);
}

TEST_F(ShapesTest, OutlineGeometryByPenAndKind)
{
    struct Row {
        int frameWidth;
        TPenStyle style;
        TRect expected; // inside a 100 x 50 control at the origin
        const char* why;
    };
    const Row rows[] = {
        {1, psSolid, Rect(1, 1, 1 + 98, 1 + 48), "w = 100 - 1 - 2 + 1"},
        {0, psSolid, Rect(0, 0, 100, 50), "pen 0: one unit less than 101 x 51"},
        {4, psDash, Rect(4 + 2, 4 + 2, 6 + 100 - 4 - 8 + 1, 6 + 50 - 4 - 8 + 1), "half a pen inside"},
    };
    for (const Row& row : rows) {
        TKVXRectangle shape;
        shape.SetWidth(100);
        shape.SetHeight(50);
        shape.Frame()->SetWidth(row.frameWidth);
        shape.Frame()->SetStyle(row.style);
        canvas.Calls.clear();
        TRect r = Bounds(0, 0, 100, 50);
        shape.Draw(canvas, r, 0, 0);
        auto rects = canvas.Of(DrawCall::Rectangle);
        ASSERT_EQ(rects.size(), 1u) << row.why;
        EXPECT_EQ(rects[0].Rect, row.expected) << row.why;
        EXPECT_EQ(rects[0].PenStyle, row.style) << "the frame's pen style";
    }
}

TEST_F(ShapesTest, RoundRectanglesCirclesAndDoubleOutlines)
{
    TKVXRectangle round;
    round.SetWidth(100);
    round.SetHeight(50);
    round.SetRectangleType(rtRoundRect);
    round.SetLineStyle(lsDouble);
    TRect r = Bounds(0, 0, 100, 50);
    round.Draw(canvas, r, 0, 0);
    auto rounds = canvas.Of(DrawCall::RoundRect);
    ASSERT_EQ(rounds.size(), 2u);
    EXPECT_EQ(rounds[0].Rect, Rect(1, 1, 99, 49));
    EXPECT_EQ(rounds[0].Corner, 48 / 4);
    EXPECT_EQ(rounds[1].Rect, Rect(3, 3, 97, 47)) << "the inner outline, 2 x pen inside";
    EXPECT_EQ(rounds[1].Corner, 48 / 4);

    TKVXEllipse circle;
    circle.SetWidth(60);
    circle.SetHeight(100);
    circle.SetEllipseType(etCircle);
    canvas.Calls.clear();
    r = Bounds(10, 10, 60, 100);
    circle.Draw(canvas, r, 0, 0);
    auto ellipses = canvas.Of(DrawCall::Ellipse);
    ASSERT_EQ(ellipses.size(), 1u);
    // Inside (11, 11): w = 58, hh = 98, s = 58, moved down by 20.
    EXPECT_EQ(ellipses[0].Rect, Bounds(11, 11 + 20, 58, 58));
}

TEST_F(ShapesTest, AStretchingShapeFollowsTheRectangleItIsGiven)
{
    TKVXRectangle shape;
    shape.SetWidth(40);
    shape.SetHeight(20);
    TRect r = Bounds(0, 0, 40, 80); // the band extended the rectangle to its bottom
    shape.Draw(canvas, r, 0, 0);
    EXPECT_EQ(canvas.Of(DrawCall::Rectangle)[0].Rect.Height(), 20 - 1 - 2 + 1) << "ssNoStretch keeps its design height";
    shape.SetStretch(ssHeight);
    canvas.Calls.clear();
    r = Bounds(0, 0, 40, 80);
    shape.Draw(canvas, r, 0, 0);
    EXPECT_EQ(canvas.Of(DrawCall::Rectangle)[0].Rect.Height(), 78 - 1 - 2 + 1) << "ssHeight reaches the band's bottom";
}

TEST_F(ShapesTest, EveryLineTypeAcrossTheUnshrunkRectangle)
{
    struct Row {
        TLineType type;
        TPoint from, to;
    };
    // The rectangle (10, 20)-(110, 60); a line keeps its frame in the rectangle.
    const Row rows[] = {
        {ltTop, {10, 20}, {110, 20}},          {ltBottom, {10, 60}, {110, 60}},
        {ltLeft, {10, 20}, {10, 60}},          {ltRight, {110, 20}, {110, 60}},
        {ltLeftDiagonal, {10, 20}, {110, 60}}, {ltRightDiagonal, {10, 60}, {110, 20}},
        {ltHCenter, {60, 20}, {60, 60}},       {ltVCenter, {10, 40}, {110, 40}},
    };
    TKVXLine line;
    line.Frame()->SetFTop(true); // frame lines do not move a line's content
    for (const Row& row : rows) {
        line.SetLineType(row.type);
        canvas.Calls.clear();
        TRect r = Rect(10, 20, 110, 60);
        line.Draw(canvas, r, 0, 0);
        EXPECT_EQ(r, Rect(10, 20, 110, 60));
        auto lines = canvas.Of(DrawCall::Line);
        ASSERT_EQ(lines.size(), 2u) << int(row.type); // the frame's top line, then the shape
        EXPECT_EQ(lines[1].From, row.from) << int(row.type);
        EXPECT_EQ(lines[1].To, row.to) << int(row.type);
    }
}

TEST_F(ShapesTest, ADoubleLineDrawsASecondSegmentInside)
{
    TKVXLine line;
    line.Frame()->SetWidth(2);
    line.SetLineStyle(lsDouble);
    TRect r = Rect(0, 0, 100, 20);
    line.Draw(canvas, r, 0, 0);
    auto lines = canvas.Of(DrawCall::Line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].From, (TPoint{0, 0}));
    EXPECT_EQ(lines[0].To, (TPoint{100, 0}));
    EXPECT_EQ(lines[1].From, (TPoint{4, 4})) << "Rect shrunk by twice the pen width";
    EXPECT_EQ(lines[1].To, (TPoint{96, 4}));
    EXPECT_EQ(lines[1].PenWidth, 2);
}

TEST(ImageSizingTest, TargetRectangles)
{
    struct Row {
        int pw, ph;
        bool file, stretch, center, aspect;
        TRect expected;
        const char* why;
    };
    const TRect r = Bounds(10, 20, 100, 100);
    const Row rows[] = {
        {200, 100, false, false, false, true, Bounds(10, 20, 100, 50), "landscape: full width"},
        {200, 100, false, false, true, true, Bounds(10, 45, 100, 50), "centred: moved down by 25"},
        {100, 200, false, false, true, true, Bounds(35, 20, 50, 100), "portrait: full height, moved right"},
        {300, 50, false, false, false, true, Bounds(10, 20, 100, 16), "h = trunc(100 / 6)"},
        {50, 30, true, false, false, false, Bounds(10, 20, 50, 30), "a file at natural size"},
        {50, 30, true, false, true, true, Bounds(35, 55, 50, 30), "a file that fits keeps its size"},
        {400, 300, true, false, false, false, Bounds(10, 20, 400, 300), "not clipped at natural size"},
        {400, 200, true, false, false, true, Bounds(10, 20, 100, 50), "too big with AspectRatio: scaled"},
        {50, 30, true, true, false, false, Bounds(10, 20, 100, 100), "Stretch fills the rectangle"},
        {50, 30, false, false, false, false, Bounds(10, 20, 100, 100), "a stored picture is always scaled"},
        {0, 0, false, false, false, true, Bounds(10, 20, 100, 100), "no size: the rectangle"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TKVXImage::TargetRect(r, row.pw, row.ph, row.file, row.stretch, row.center, row.aspect), row.expected)
            << row.why;
}

class ImageTest : public ShapesTest {
protected:
    void SetUp() override
    {
        ShapesTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        detail = report.GetBand(1);
        image = static_cast<TKVXImage*>(detail->Object(detail->AddElement(&TKVXImage::staticMetaObject)));
        image->SetWidth(100);
        image->SetHeight(100);
        image->Frame()->SetWidth(0);
        report.SetReportState(rsPrepare);
    }
    void TearDown() override
    {
        report.SetDataSet(nullptr);
        report.SetDataManager(nullptr);
    }
    std::vector<DrawCall> Draw()
    {
        canvas.Calls.clear();
        TRect r = Bounds(0, 0, 100, 100);
        EXPECT_EQ(image->Draw(canvas, r, 0, 0), 100) << "an image reports its design height";
        return canvas.Of(DrawCall::Image);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    TKVReport report;
    TKVXBand* detail = nullptr;
    TKVXImage* image = nullptr;
};

TEST_F(ImageTest, AStoredPictureIsScaledProportionally)
{
    TPicture picture;
    picture.LoadFromBlob(PngBytes(200, 100));
    image->SetImageKind(ikPicture);
    image->SetPicture(&picture);
    image->SetAspectRatio(true);
    image->SetCenter(true);
    auto drawn = Draw();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].Rect, Bounds(0, 25, 100, 50));
}

TEST_F(ImageTest, PicturesThatCannotBeLoadedDrawNothing)
{
    testing::QuietWarnings quiet;
    image->SetFileName(Path("missing.png"));
    EXPECT_TRUE(Draw().empty()) << "missing file";
    WriteFile(Path("broken.png"), QByteArray("\x89PNG\r\n\x1a\n garbage", 16));
    image->SetFileName(Path("broken.png"));
    EXPECT_TRUE(Draw().empty()) << "corrupt file";
    WriteFile(Path("text.png"), "not a picture at all");
    image->SetFileName(Path("text.png"));
    EXPECT_TRUE(Draw().empty()) << "not a picture";
    WriteFile(Path("logo.png"), PngBytes(30, 20));
    image->SetFileName(Path("logo.png"));
    auto drawn = Draw();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].Rect, Bounds(0, 0, 30, 20)) << "a file at its natural size";
    EXPECT_EQ(Draw().size(), 1u) << "and again from the cache";
    // A file that changed is read again.
    WriteFile(Path("logo.png"), QByteArray("now broken"));
    EXPECT_TRUE(Draw().empty());
}

TEST_F(ImageTest, FieldsHoldPicturesOrFileNames)
{
    WriteFile(Path("one.png"), PngBytes(40, 10));
    auto* items = new TMemoryDataSet(&report);
    items->SetName(QStringLiteral("Items"));
    items->AddFieldDef(QStringLiteral("Photo"), ftGraphic);
    items->AddFieldDef(QStringLiteral("File"), ftWideString, 200);
    items->AppendRecord({BytesToFieldString(PngBytes(20, 10)), Path("one.png")});
    items->AppendRecord({Variant::Null(), Path("nowhere.png")});
    items->Open();
    report.SetDataSet(items);
    image->SetImageKind(ikField);

    image->SetExpression(QStringLiteral("Items.Photo"));
    auto drawn = Draw();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].Rect, Bounds(0, 0, 100, 100)) << "no file name: scaled to the rectangle";
    image->SetExpression(QStringLiteral("Items.File"));
    EXPECT_EQ(Draw().size(), 1u) << "the field's text names the file";
    items->Next();
    EXPECT_TRUE(Draw().empty()) << "a file name that does not exist";
    image->SetExpression(QStringLiteral("Items.Photo"));
    EXPECT_TRUE(Draw().empty()) << "a null blob";
    image->SetExpression(QStringLiteral("Photo"));
    EXPECT_TRUE(Draw().empty()) << "no point: no field named";
    image->SetExpression(QStringLiteral("Nobody.Photo"));
    EXPECT_TRUE(Draw().empty()) << "an unknown data set";
}

TEST_F(ImageTest, TheDesignerShowsTheNameAndADashedOutline)
{
    report.SetReportState(rsNone);
    canvas.Calls.clear();
    TRect r = Bounds(0, 0, 100, 100);
    image->Draw(canvas, r, 0, 0);
    auto rects = canvas.Of(DrawCall::Rectangle);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].PenStyle, psDash);
    EXPECT_EQ(rects[0].BrushStyle, bsClear);
    EXPECT_EQ(canvas.AllText(), u"Image");
    EXPECT_TRUE(canvas.Of(DrawCall::Image).empty());
}

} // namespace
} // namespace vorel
