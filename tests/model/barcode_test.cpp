// The barcode control on a recording canvas and on a page metafile: the
// classic symbologies' edge cases by their bars, vertical layout, the
// control's edge on screen and on a page, the text a field gives, and data
// the libzint symbologies refuse. Whether the symbols read back is checked
// by real readers in tests/cli/barcode_decode_test.cpp.
#include "model/model_test_support.h"

#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "model/barcode.h"
#include "model/report.h"
#include "support/page_dump.h"

namespace vorel {
namespace {

using testing::DrawCall;
using testing::RecordingCanvas;

class BarCodeTest : public ::testing::Test {
protected:
    void SetUp() override { testing::EnsureModelRegistered(); }

    // A control at the origin without a frame line width, so the bars start at (0, 0).
    static void Setup(TKVBarCode& bc, TBarCodeType type, const QString& value, int width = 600, int height = 40)
    {
        bc.Frame()->SetWidth(0);
        bc.SetBarCodeType(type);
        bc.SetValue(value);
        bc.SetWidth(width);
        bc.SetHeight(height);
    }
    std::vector<DrawCall> Bars(TKVBarCode& bc)
    {
        RecordingCanvas canvas;
        TRect r = Bounds(0, 0, bc.Width(), bc.Height());
        bc.Draw(canvas, r, 0, 0);
        return canvas.Of(DrawCall::Fill);
    }
};

int RightMost(const std::vector<DrawCall>& bars)
{
    int right = 0;
    for (const DrawCall& b : bars)
        right = std::max(right, b.Rect.Right);
    return right;
}

TEST_F(BarCodeTest, ClassicSymbologiesByTheirBars)
{
    struct Row {
        TBarCodeType type;
        const char* value;
        int narrow, wide;
        std::size_t bars;
        int right; // of the last bar, report pixels
        const char* why;
    };
    const Row rows[] = {
        {bcCode39, "abc-1", 1, 3, 35, 111, "*ABC-1*: 7 characters of 16 px with their gap, 5 bars each"},
        {bcCode39, "A#B", 1, 3, 20, 63, "*AB*: '#' leaves no gap of its own"},
        {bcCode39, "A*B", 1, 3, 20, 63, "a '*' inside would stop the symbol: dropped"},
        {bcCode39, "A", 2, 5, 15, 3 * 29 - 2, "3 x 5 + 7 x 2 = 29 units a character"},
        {bcCode39, "A", 0, -2, 15, 3 * 10 - 1, "widths below 1 count as 1"},
        {bcInterleaved2of5, "123", 1, 3, 14, 4 + 2 * 18 + 5, "drawn as 01 23: start, two pairs of 18 px, stop"},
        {bcInterleaved2of5, "12a", 1, 3, 0, 0, "a letter draws nothing"},
        {bcPostnet, "12345-6789", 1, 3, 52, 103, "9 digits, check 5, two frame bars"},
        {bcPostnet, "12:45", 1, 3, 0, 0, "':' is outside POSTNET's set"},
        {bcUPCA, "03600029145", 1, 3, 52, 95, "95 modules, 52 of them dark, one rectangle each"},
        {bcUPCA, "0360002914", 1, 3, 0, 0, "10 digits"},
        {bcUPCA, "036000291452", 1, 3, 0, 0, "12 digits"},
        {bcUPCA, "0360002914a", 1, 3, 0, 0, "a letter would draw as another digit"},
        {bcCode39, "", 1, 3, 0, 0, "empty"},
    };
    for (const Row& row : rows) {
        TKVBarCode bc;
        Setup(bc, row.type, QString::fromLatin1(row.value));
        bc.SetNarrowWidth(row.narrow);
        bc.SetWideWidth(row.wide);
        const auto bars = Bars(bc);
        EXPECT_EQ(bars.size(), row.bars) << row.why;
        EXPECT_EQ(RightMost(bars), row.right) << row.why;
    }
}

TEST_F(BarCodeTest, PostnetTallAndShortBarsAndCheckDigit)
{
    TKVBarCode bc;
    Setup(bc, bcPostnet, QStringLiteral("12345-6789"), 200, 20);
    QString pattern;
    for (const DrawCall& bar : Bars(bc)) {
        const bool tall = bar.Rect.Height() == 20;
        pattern += tall ? u'|' : u'.';
        if (!tall) {
            EXPECT_EQ(bar.Rect, Bounds(bar.Rect.Left, 12, 1, 8)) << "short bars: the lower 40 %";
        }
    }
    // Frame bar, 1 2 3 4 5 6 7 8 9, check digit 5 (the digits sum to 45), frame bar.
    EXPECT_EQ(pattern, u"|...||..|.|..||..|..|.|.|..||..|...||..|.|.|...|.|.|");
}

TEST_F(BarCodeTest, UpcaCheckDigitInTheHumanReadableLine)
{
    TKVBarCode bc;
    Setup(bc, bcUPCA, QStringLiteral("03600029145"), 200, 60);
    bc.SetShowText(true);
    RecordingCanvas canvas;
    TRect r = Bounds(0, 0, 200, 60);
    bc.Draw(canvas, r, 0, 0);
    EXPECT_EQ(canvas.AllText(), u"036000291452");
    const auto texts = canvas.Of(DrawCall::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    for (const DrawCall& bar : canvas.Of(DrawCall::Fill))
        EXPECT_LE(bar.Rect.Bottom, texts[0].Y) << "bars end above the text";
}

TEST_F(BarCodeTest, VerticalStacksStripsFromTheTop)
{
    TKVBarCode code39;
    Setup(code39, bcCode39, QStringLiteral("A"), 30, 100);
    code39.SetVertical(true);
    const auto bars = Bars(code39);
    ASSERT_EQ(bars.size(), 15u);
    EXPECT_EQ(bars[0].Rect, Bounds(0, 0, 30, 1)) << "'*' begins with a narrow bar at the top";
    EXPECT_EQ(bars[1].Rect, Bounds(0, 4, 30, 1)) << "after a wide space";
    EXPECT_EQ(bars[2].Rect, Bounds(0, 6, 30, 3)) << "a wide bar after a narrow space";

    TKVBarCode postnet;
    Setup(postnet, bcPostnet, QStringLiteral("0"), 30, 100);
    postnet.SetVertical(true);
    const auto strips = Bars(postnet);
    // Frame bar, then 0 = tall tall short short short.
    ASSERT_GE(strips.size(), 5u);
    EXPECT_EQ(strips[3].Rect, Bounds(0, 6, 12, 1)) << "a short bar: 40 % of the width, from the left";
}

TEST_F(BarCodeTest, ScreenClipsAtTheControlsEdgeAPageKeepsEveryBar)
{
    // "*A*" with a 1 px frame: the bars run from x = 1; the last ends at 48.
    struct Row {
        int width;
        std::size_t onScreen;
    };
    for (const Row row : {Row{48, 15}, Row{47, 14}}) {
        TKVBarCode bc;
        Setup(bc, bcCode39, QStringLiteral("A"), row.width, 30);
        bc.Frame()->SetWidth(1);
        EXPECT_EQ(Bars(bc).size(), row.onScreen) << "width " << row.width << ": a bar ending on the edge is inside";

        TMetafile page;
        {
            TMetafileCanvas canvas(page, QString(), QString());
            TRect r = Bounds(0, 0, row.width, 30);
            bc.Draw(canvas, r, 0, 0);
        }
        std::size_t rects = 0;
        for (const testing::PageItem& item : testing::PageItems(page))
            rects += item.Kind == u"rect";
        EXPECT_EQ(rects, 15u) << "width " << row.width << ": a page keeps the bar past the edge";
    }
}

TEST_F(BarCodeTest, TextComesFromTheFieldUpperCasedForTheClassicOnly)
{
    TKVReport report;
    auto* data = new TMemoryDataSet(&report);
    data->SetName(QStringLiteral("Items"));
    data->AddFieldDef(QStringLiteral("Code"), ftWideString, 20);
    data->AppendRecord({Variant(QStringLiteral("ab-1"))});
    data->Open();
    report.SetDataSet(data);
    auto* bc = static_cast<TKVBarCode*>(report.GetBand(0)->Object(
        report.GetBand(0)->AddElement(&TKVBarCode::staticMetaObject)));
    bc->SetExpression(QStringLiteral("Items.Code"));
    EXPECT_EQ(bc->DisplayName(), u"BarCode");
    bc->SetBarCodeType(bcCode39);
    EXPECT_EQ(bc->GetBarCode(), u"AB-1");
    bc->SetBarCodeType(bcQRCode);
    EXPECT_EQ(bc->GetBarCode(), u"ab-1") << "the libzint symbologies encode the text as it stands";
    bc->SetExpression(QStringLiteral("Items.Missing"));
    EXPECT_EQ(bc->GetBarCode(), u"");

    // The display name follows Value while it equals it.
    TKVBarCode named;
    named.SetDisplayName(named.Value());
    named.SetValue(QStringLiteral("4711"));
    EXPECT_EQ(named.DisplayName(), u"4711");
}

TEST_F(BarCodeTest, ZintSymbologiesDrawModulesOrNothing)
{
    const QString longText(300, u'x');
    struct Row {
        TBarCodeType type;
        QString value;
        TQRLevel level;
        bool draws;
        const char* why;
    };
    const Row rows[] = {
        {bcEAN13, QStringLiteral("5901234123457"), qlM, true, "right check digit"},
        {bcEAN13, QStringLiteral("5901234123458"), qlM, false, "wrong check digit"},
        {bcEAN13, QStringLiteral("12345"), qlM, false, "would be an add-on, not an EAN-13"},
        {bcEAN8, QStringLiteral("96385074"), qlM, true, "right check digit"},
        {bcEAN8, QStringLiteral("96385075"), qlM, false, "wrong check digit"},
        {bcUPCE, QStringLiteral("2234567"), qlM, false, "number system 2 does not exist"},
        {bcGS1128, QStringLiteral("(01)09501101530003"), qlM, true, "AI 01 with its check digit"},
        {bcGS1128, QStringLiteral("(01)09501101530004"), qlM, false, "wrong GTIN check digit"},
        {bcQRCode, longText, qlL, true, "300 bytes fit a version 10 symbol at level L"},
        {bcQRCode, QString(3000, u'x'), qlH, false, "too long for level H"},
    };
    for (const Row& row : rows) {
        TKVBarCode bc;
        Setup(bc, row.type, row.value, 400, 60);
        bc.SetQRLevel(row.level);
        EXPECT_EQ(!Bars(bc).empty(), row.draws) << row.why;
    }

    // A 21 x 21 QR Code at 3 px a module: every rectangle on the module grid.
    TKVBarCode qr;
    Setup(qr, bcQRCode, QStringLiteral("hello"), 100, 100);
    qr.SetNarrowWidth(3);
    const auto modules = Bars(qr);
    ASSERT_FALSE(modules.empty());
    for (const DrawCall& m : modules) {
        EXPECT_EQ(m.Rect.Left % 3 + m.Rect.Top % 3 + m.Rect.Width() % 3, 0);
        EXPECT_EQ(m.Rect.Height(), 3);
        EXPECT_LE(m.Rect.Right, 63);
        EXPECT_LE(m.Rect.Bottom, 63);
    }
    EXPECT_EQ(modules.front().Rect, Bounds(0, 0, 21, 3)) << "the finder pattern's top edge, one run";

    // PDF417 rows are three modules high, each opening with the start
    // pattern's run of 8 dark modules.
    TKVBarCode pdf;
    Setup(pdf, bcPDF417, QStringLiteral("Vorel PDF417"), 400, 100);
    pdf.SetNarrowWidth(2);
    int pdfRows = 0;
    for (const DrawCall& m : Bars(pdf)) {
        EXPECT_EQ(m.Rect.Height(), 6);
        if (m.Rect.Left == 0) {
            EXPECT_EQ(m.Rect, Bounds(0, pdfRows * 6, 16, 6));
            ++pdfRows;
        }
    }
    EXPECT_GE(pdfRows, 3);
}

} // namespace
} // namespace vorel
