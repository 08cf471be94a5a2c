// The rich text control: the height of a laid-out document with several
// paragraphs and fonts, content from files and fields, and files that
// cannot be printed.
#include "model/model_test_support.h"

#include "data/memory_dataset.h"
#include "graphics/text_measure.h"
#include "model/report.h"
#include "model/rich_text_control.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <algorithm>

namespace vorel {
namespace {

using testing::DrawCall;
using testing::RecordingCanvas;

int LineHeight(const char* name, int points)
{
    TFontRequest request;
    request.Name = QString::fromLatin1(name);
    request.Height = -((points * 96 + 36) / 72);
    return TTextMeasurer::Face(request)->Height();
}

class RichTextControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::EnsureModelRegistered();
        ASSERT_TRUE(dir.isValid());
        detail = report.GetBand(1);
        rich = static_cast<TKVRichText*>(detail->Object(detail->AddElement(&TKVRichText::staticMetaObject)));
        rich->SetWidth(400);
        rich->SetHeight(20);
        rich->Frame()->SetWidth(2);
        report.SetReportState(rsPrepare);
    }
    void TearDown() override { report.SetDataSet(nullptr); }
    QString Write(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    int Measure()
    {
        TRect r = Bounds(0, 0, 400, 20);
        return rich->Draw(canvas, r, 0, DT_CALCRECT);
    }
    // Painted into the height measured, as a stretching band does (lines
    // starting below the rectangle are left out).
    int Paint()
    {
        const int height = std::max(20, Measure());
        canvas.Calls.clear();
        TRect r = Bounds(0, 0, 400, height);
        return rich->Draw(canvas, r, 0, 0);
    }

    QTemporaryDir dir;
    TKVReport report;
    TKVXBand* detail = nullptr;
    TKVRichText* rich = nullptr;
    RecordingCanvas canvas;
};

TEST_F(RichTextControlTest, HeightOfSeveralParagraphsInSeveralFonts)
{
    // Three paragraphs, each one line in its own font and size; the last
    // paragraph mark adds no empty paragraph.
    rich->SetFileName(Write("doc.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Liberation Sans;}"
                                       "{\\f1\\fmodern DejaVu Sans Mono;}{\\f2\\froman DejaVu Serif;}}"
                                       "\\f0\\fs20 First paragraph\\par"
                                       "\\f1\\fs40 Second\\par"
                                       "\\f2\\fs28 Third one\\par}"));
    const int expected = LineHeight("Liberation Sans", 10) + LineHeight("DejaVu Sans Mono", 20)
                         + LineHeight("DejaVu Serif", 14);
    EXPECT_EQ(Measure(), expected + 4) << "the laid-out text plus twice the frame width";
    EXPECT_EQ(Paint(), expected + 4);
    auto texts = canvas.Of(DrawCall::TextOut);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].Text, u"First paragraph");
    EXPECT_EQ(texts[1].FontName, u"DejaVu Sans Mono");
    EXPECT_EQ(texts[0].X, 2) << "inside the frame";
    EXPECT_LT(texts[0].Y, texts[1].Y);
    EXPECT_LT(texts[1].Y, texts[2].Y);

    rich->SetStretch(false);
    EXPECT_EQ(Measure(), 20 + 4) << "without Stretch: the design height";
}

TEST_F(RichTextControlTest, TextThatWrapsMeasuresEveryLine)
{
    rich->SetWidth(104);
    rich->SetFileName(Write("long.txt", "word word word word word word word word word word word word"));
    rich->Font()->SetName(QStringLiteral("DejaVu Sans"));
    rich->Font()->SetHeight(-13);
    TRect r = Bounds(0, 0, 104, 20);
    const int height = rich->Draw(canvas, r, 0, DT_CALCRECT);
    TFontRequest request;
    request.Name = QStringLiteral("DejaVu Sans");
    request.Height = -13;
    const int line = TTextMeasurer::Face(request)->Height();
    EXPECT_GT(height - 4, line) << "more than one line inside 100 pixels";
    EXPECT_EQ((height - 4) % line, 0);
}

TEST_F(RichTextControlTest, FilesThatCannotBePrintedDrawNothingAndRaiseNothing)
{
    testing::QuietWarnings quiet;
    // An empty document keeps the height of its one empty paragraph, as
    // an empty field's text does.
    rich->SetFileName(Write("empty.txt", QByteArray()));
    const int empty = Paint();
    EXPECT_LT(empty, 4 + LineHeight("Arial", 12));
    EXPECT_TRUE(canvas.Of(DrawCall::TextOut).empty());

    rich->SetFileName(dir.filePath(QStringLiteral("missing.rtf")));
    EXPECT_EQ(Measure(), empty);
    EXPECT_EQ(Paint(), empty);
    EXPECT_TRUE(canvas.Of(DrawCall::TextOut).empty());

    rich->SetFileName(Write("picture.rtf", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    EXPECT_EQ(Paint(), empty) << "bytes that are no text";
    EXPECT_TRUE(canvas.Of(DrawCall::TextOut).empty());

    rich->SetFileName(Write("broken.rtf", "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 {\\b cut short"));
    EXPECT_NO_THROW(Paint());
    EXPECT_EQ(canvas.AllText(), u"cut short") << "what could be read before the damage";

    rich->SetFileName(dir.path()); // a folder
    EXPECT_EQ(Paint(), empty);
    EXPECT_TRUE(canvas.Of(DrawCall::TextOut).empty());
}

TEST_F(RichTextControlTest, ContentFromFieldsAndTheDesigner)
{
    auto* notes = new TMemoryDataSet(&report);
    notes->SetName(QStringLiteral("Notes"));
    notes->AddFieldDef(QStringLiteral("Body"), ftMemo);
    notes->AddFieldDef(QStringLiteral("Rtf"), ftBlob);
    notes->AppendRecord({QStringLiteral("plain note"), BytesToFieldString("{\\rtf1 {\\b bold} note}")});
    notes->AppendRecord({QStringLiteral("second"), Variant::Null()});
    notes->Open();
    report.SetDataSet(notes);

    rich->SetExpression(QStringLiteral("Notes.Rtf"));
    Paint();
    EXPECT_EQ(canvas.AllText(), u"bold note");
    rich->SetExpression(QStringLiteral("Notes.Body"));
    Paint();
    EXPECT_EQ(canvas.AllText(), u"plain note");
    notes->Next();
    Paint();
    EXPECT_EQ(canvas.AllText(), u"second");
    rich->SetExpression(QStringLiteral("Body"));
    Paint();
    EXPECT_EQ(canvas.AllText(), u"second") << "no field named: the previous content stays";
    rich->SetExpression(QStringLiteral("Nobody.Body"));
    EXPECT_NO_THROW(Paint());
    EXPECT_EQ(canvas.AllText(), u"second");

    report.SetReportState(rsNone);
    Paint();
    EXPECT_EQ(canvas.AllText(), u"RichText") << "the designer shows the display name";
}

} // namespace
} // namespace vorel
