// The recorded page as bytes: header fields, record kinds and bounds, the
// selection rules readers depend on, save/load round trips and the
// enumerator's replay state.
#include "sample_page.h"

#include "graphics/emf_enumerator.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

TMetafile Record(const std::function<void(TCanvas&)>& draw, int width = 200, int height = 100)
{
    TMetafile mf;
    mf.SetWidth(width);
    mf.SetHeight(height);
    {
        TMetafileCanvas canvas(mf, QStringLiteral("Vorel 1.0"), QStringLiteral("Tarnwick Software"));
        draw(canvas);
    }
    return mf;
}

QList<std::uint32_t> RecordTypes(const TMetafile& mf)
{
    QList<std::uint32_t> types;
    TEmfEnumerator e(mf);
    while (e.Next())
        types << e.Record().Type;
    return types;
}

TEST(MetafileHeader, StatesSizesCountsFrameAndDescription)
{
    const TMetafile mf = Record([](TCanvas& c) {
        c.Pen()->SetWidth(1);
        c.Rectangle(10, 20, 50, 60);
    }, 794, 1123);
    const ByteView b(mf.Bytes());
    EXPECT_EQ(b.u32le(0), EMR_HEADER);
    EXPECT_EQ(b.u32le(40), kEmfSignature);
    EXPECT_EQ(b.u32le(44), kEmfVersion);
    EXPECT_EQ(b.u32le(48), std::uint32_t(mf.Bytes().size())) << "nBytes";
    EXPECT_EQ(b.u32le(52), std::uint32_t(RecordTypes(mf).size())) << "nRecords counts every record";
    // Bounds: the outline of (10,20)-(50,60) covers 10..49 x 20..59.
    EXPECT_EQ((QList<int>{b.i32le(8), b.i32le(12), b.i32le(16), b.i32le(20)}), (QList<int>{10, 20, 49, 59}));
    // Frame in 0.01 mm: 794 px at 96 dpi = 21008 (rounded).
    EXPECT_EQ(b.i32le(32), 21008);
    EXPECT_EQ(b.i32le(36), 29713); // 1123 px = 29712.7
    // 96 dpi reference device: pixels per millimetre exactly 96 / 25.4.
    EXPECT_EQ(b.i32le(72) * 254, b.i32le(80) * 960);
    EXPECT_EQ(b.i32le(76) * 254, b.i32le(84) * 960);
    // Handles: the pen and brush created, plus the reserved index 0.
    EXPECT_EQ(b.u16le(56), 3);
    // Description: creator, NUL, description, NUL, NUL.
    const std::uint32_t n = b.u32le(60), off = b.u32le(64);
    QString desc;
    for (std::uint32_t i = 0; i < n; ++i)
        desc.append(QChar(char16_t(b.u16le(off + 2 * i))));
    EXPECT_EQ(desc, QStringLiteral("Vorel 1.0") + QChar(0) + QStringLiteral("Tarnwick Software") + QChar(0) + QChar(0));
    EXPECT_EQ(mf.Width(), 794);
    EXPECT_EQ(mf.Height(), 1123);
    EXPECT_EQ(RecordTypes(mf).last(), EMR_EOF);
}

TEST(MetafileRecords, PenAndBrushAreSelectedBeforeTheFirstShape)
{
    const TMetafile mf = Record([](TCanvas& c) { c.Ellipse(0, 0, 10, 10); });
    TEmfEnumerator e(mf);
    bool pen = false, brush = false;
    while (e.Next()) {
        if (e.Record().Type == EMR_SELECTOBJECT) {
            pen |= e.SelectedKind() == TEmfObject::Pen;
            brush |= e.SelectedKind() == TEmfObject::Brush;
        }
        if (e.Record().Type == EMR_ELLIPSE) {
            EXPECT_TRUE(pen && brush);
            return;
        }
    }
    FAIL() << "no ellipse recorded";
}

TEST(MetafileRecords, FillIsANullPenRectangleOneLarger)
{
    const TMetafile mf = Record([](TCanvas& c) {
        c.Brush()->SetColor(clRed);
        c.FillRect({5, 6, 15, 16});
    });
    TEmfEnumerator e(mf);
    while (e.Next()) {
        if (e.Record().Type == EMR_STRETCHDIBITS || e.Record().Type == EMR_BITBLT)
            FAIL() << "a fill must not look like a picture";
        if (e.Record().Type == EMR_RECTANGLE) {
            EXPECT_TRUE(e.State().Pen.IsNull());
            EXPECT_EQ(e.State().Brush.Color, 0x0000FFu);
            const ByteView b = e.Record().Bytes;
            EXPECT_EQ((QList<int>{b.i32le(8), b.i32le(12), b.i32le(16), b.i32le(20)}), (QList<int>{5, 6, 16, 17}));
            return;
        }
    }
    FAIL() << "no rectangle recorded";
}

TEST(MetafileRecords, TextIsFontSelectColourAndWideTextWithAdvances)
{
    const TMetafile mf = Record([](TCanvas& c) {
        c.Font()->SetName(QStringLiteral("Arial"));
        c.Font()->SetSize(10);
        c.Font()->SetColor(clBlue);
        c.TextOut(7, 9, QStringLiteral("Hi"));
    });
    const QList<std::uint32_t> types = RecordTypes(mf);
    const qsizetype text = types.indexOf(EMR_EXTTEXTOUTW);
    ASSERT_GE(text, 3);
    EXPECT_EQ(types.mid(text - 3, 4),
        (QList<std::uint32_t>{EMR_EXTCREATEFONTINDIRECTW, EMR_SELECTOBJECT, EMR_SETTEXTCOLOR, EMR_EXTTEXTOUTW}));
    TEmfEnumerator e(mf);
    while (e.Next()) {
        if (e.Record().Type != EMR_EXTTEXTOUTW)
            continue;
        const ByteView b = e.Record().Bytes;
        const TFontFacePtr face = TTextMeasurer::Face({QStringLiteral("Arial"), -13, false, false});
        const int wH = face->CharWidth(U'H'), wi = face->CharWidth(U'i');
        EXPECT_EQ(b.u32le(44), 2u);
        EXPECT_EQ(b.i32le(b.u32le(72)), wH);
        EXPECT_EQ(b.i32le(b.u32le(72) + 4), wi);
        // Bounds: the text cell, inclusive.
        EXPECT_EQ((QList<int>{b.i32le(8), b.i32le(12), b.i32le(16), b.i32le(20)}),
            (QList<int>{7, 9, 7 + wH + wi - 1, 9 + 15 - 1}));
        EXPECT_EQ(e.State().TextColor, 0xFF0000u);
    }
}

TEST(MetafileRecords, ChangedFontsReplaceTheirPredecessorSoHandlesStaySmall)
{
    const TMetafile mf = Record([](TCanvas& c) {
        for (int i = 0; i < 50; ++i) {
            c.Font()->SetSize(8 + i % 5);
            c.TextOut(0, i, QStringLiteral("x"));
        }
    });
    EXPECT_LE(mf.Header().Handles, 4);
}

TEST(MetafileRoundTrip, SaveAndLoadGiveTheSameBytesAndSize)
{
    const TMetafile mf = Record([](TCanvas& c) { test::DrawSamplePage(c); }, test::kPageWidth, test::kPageHeight);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.emf"));
    mf.SaveToFile(path);
    TMetafile loaded;
    loaded.LoadFromFile(path);
    EXPECT_EQ(loaded.Bytes(), mf.Bytes());
    EXPECT_EQ(loaded.Width(), test::kPageWidth);
    EXPECT_EQ(loaded.Height(), test::kPageHeight);

    // Streams: two metafiles back to back read one after the other.
    QByteArray both = mf.Bytes() + mf.Bytes();
    QBuffer buffer(&both);
    buffer.open(QIODevice::ReadOnly);
    TMetafile first, second;
    first.ReadFromStream(buffer, QStringLiteral("stream"));
    second.ReadFromStream(buffer, QStringLiteral("stream"));
    EXPECT_EQ(first.Bytes(), mf.Bytes());
    EXPECT_EQ(second.Bytes(), mf.Bytes());
    EXPECT_TRUE(buffer.atEnd());
}

TEST(MetafileEnumerator, ReportsTheFontSelectedForEachTextRecord)
{
    const TMetafile mf = Record([](TCanvas& c) {
        c.Font()->SetName(QStringLiteral("Arial"));
        c.Font()->SetSize(10);
        c.TextOut(0, 0, QStringLiteral("one"));
        c.Font()->SetName(QStringLiteral("Courier New"));
        c.Font()->SetStyle(fsBold | fsItalic);
        c.Font()->SetCharset(RUSSIAN_CHARSET);
        c.TextOut(0, 20, QStringLiteral("two"));
        c.Font()->SetOrientation(900);
        c.Font()->SetPitch(fpFixed);
        c.TextOut(0, 40, QStringLiteral("three"));
    });
    QList<TLogFont> fonts;
    TEmfEnumerator e(mf);
    while (e.Next())
        if (e.Record().Type == EMR_EXTTEXTOUTW)
            fonts << e.State().Font;
    ASSERT_EQ(fonts.size(), 3);
    EXPECT_EQ(fonts[0].FaceName, QStringLiteral("Arial"));
    EXPECT_EQ(fonts[0].Height, -13);
    EXPECT_EQ(fonts[0].Weight, 400);
    EXPECT_EQ(fonts[1].FaceName, QStringLiteral("Courier New"));
    EXPECT_EQ(fonts[1].Weight, 700);
    EXPECT_EQ(fonts[1].Italic, 1);
    EXPECT_EQ(fonts[1].CharSet, RUSSIAN_CHARSET);
    EXPECT_EQ(fonts[2].Escapement, 900);
    EXPECT_EQ(fonts[2].PitchAndFamily & 0x0F, 1);
}

TEST(MetafileEnumerator, SaveAndRestoreBringBackTheState)
{
    const TMetafile mf = Record([](TCanvas& c) {
        c.Font()->SetColor(clRed);
        c.TextOut(0, 0, QStringLiteral("a"));
        c.SaveState();
        c.Font()->SetColor(clGreen);
        c.TextOut(0, 0, QStringLiteral("b"));
        c.RestoreState();
        c.MoveTo(3, 4);
    });
    TEmfEnumerator e(mf);
    while (e.Next()) {
        if (e.Record().Type == EMR_RESTOREDC) {
            EXPECT_EQ(e.State().TextColor, 0x0000FFu);
        }
        if (e.Record().Type == EMR_MOVETOEX) {
            EXPECT_EQ(e.State().CurrentPosition, (TPoint{3, 4}));
        }
    }
}

TEST(MetafileCanvas, EmbeddedPageKeepsItsRecordsAndTheOuterState)
{
    const TMetafile inner = Record([](TCanvas& c) {
        c.Font()->SetColor(clRed);
        c.TextOut(1, 1, QStringLiteral("inner"));
        c.Rectangle(0, 0, 10, 10);
    }, 100, 50);
    const TMetafile outer = Record([&](TCanvas& c) {
        c.Font()->SetColor(clBlue);
        c.TextOut(0, 0, QStringLiteral("before"));
        c.PlayMetafile({0, 100, 100, 150}, inner);
        c.TextOut(0, 200, QStringLiteral("after"));
    }, 100, 300);
    QStringList texts;
    QList<std::uint32_t> colours;
    TEmfEnumerator e(outer);
    while (e.Next()) {
        if (e.Record().Type == EMR_EXTTEXTOUTW) {
            const ByteView b = e.Record().Bytes;
            QString s;
            for (std::uint32_t i = 0; i < b.u32le(44); ++i)
                s.append(QChar(char16_t(b.u16le(b.u32le(48) + 2 * i))));
            texts << s;
            colours << e.State().TextColor;
        }
    }
    EXPECT_EQ(texts, (QStringList{"before", "inner", "after"}));
    EXPECT_EQ(colours, (QList<std::uint32_t>{0xFF0000u, 0x0000FFu, 0xFF0000u}));
    EXPECT_EQ(e.SaveDepth(), 0);
}

} // namespace
} // namespace vorel
