// Truncated and hostile metafile bytes: each raises the invalid-image error
// naming the offset, or is skipped record by record; none crashes, hangs or
// allocates what it claims.
#include "graphics/emf_enumerator.h"
#include "graphics/emf_player.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "support/emf_records.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <limits>

namespace vorel {
namespace {

QByteArray ValidPage()
{
    TMetafile mf;
    mf.SetWidth(50);
    mf.SetHeight(50);
    {
        TMetafileCanvas c(mf, QStringLiteral("t"), QStringLiteral("d"));
        c.Rectangle(1, 1, 20, 20);
        c.TextOut(2, 2, QStringLiteral("abc"));
    }
    return mf.Bytes();
}

// Offset of the first record of a type in bytes.
int Find(const QByteArray& bytes, std::uint32_t type)
{
    const ByteView b(bytes);
    std::size_t o = 0;
    while (o + 8 <= b.Size()) {
        if (b.u32le(o) == type)
            return int(o);
        if (b.u32le(o + 4) < 8)
            return -1;
        o += b.u32le(o + 4);
    }
    return -1;
}

struct BadCase {
    const char* name;
    std::function<QByteArray()> bytes;
    const char* reason; // part of the error message
};

class InvalidMetafile : public ::testing::TestWithParam<BadCase> {};

TEST_P(InvalidMetafile, RaisesInvalidImageAndKeepsTheOldContent)
{
    TMetafile mf;
    mf.LoadFromBytes(ValidPage(), QStringLiteral("good"));
    const QByteArray before = mf.Bytes();
    try {
        mf.LoadFromBytes(GetParam().bytes(), QStringLiteral("bad.emf"));
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        const QString message = e.Message();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Invalid image (bad.emf)"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(GetParam().reason))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("at byte offset"))) << message.toStdString();
    }
    EXPECT_EQ(mf.Bytes(), before);
}

QByteArray Patched(std::uint32_t type, int fieldOffset, std::uint32_t value)
{
    QByteArray b = ValidPage();
    patchU32le(b, Find(b, type) + fieldOffset, value);
    return b;
}

INSTANTIATE_TEST_SUITE_P(Cases, InvalidMetafile,
    ::testing::Values(
        BadCase{"Empty", [] { return QByteArray(); }, "shorter than a metafile header"},
        BadCase{"Png", [] { return QByteArray("\x89PNG\r\n\x1a\n" + QByteArray(100, 'x')); },
            "not a metafile header record"},
        BadCase{"NoSignature", [] { return Patched(EMR_HEADER, 40, 0x12345678); }, "signature"},
        BadCase{"Truncated", [] { return ValidPage().left(ValidPage().size() - 10); }, "only"},
        BadCase{"HugeStatedSize", [] { return Patched(EMR_HEADER, 48, 0xFFFFFFF0u); }, "only"},
        BadCase{"HeaderSizeTooSmall", [] { return Patched(EMR_HEADER, 4, 8); }, "header size"},
        BadCase{"ZeroRecordSize", [] { return Patched(EMR_RECTANGLE, 4, 0); }, "size 0"},
        BadCase{"OddRecordSize", [] { return Patched(EMR_RECTANGLE, 4, 25); }, "size 25"},
        BadCase{"RecordOverrunsTheEnd", [] { return Patched(EMR_RECTANGLE, 4, 0x7FFFFFF0u); }, "runs past the end"},
        BadCase{"SecondHeader", [] { return Patched(EMR_RECTANGLE, 0, EMR_HEADER); }, "second header"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

// Records whose own fields lie: they pass the chain check (sizes are
// right) and must be skipped when read.
QByteArray WithTextField(int fieldOffset, std::uint32_t value)
{
    QByteArray b = ValidPage();
    patchU32le(b, Find(b, EMR_EXTTEXTOUTW) + fieldOffset, value);
    return b;
}

TEST(HostileRecords, LyingCountsAndOffsetsAreSkippedWhenPlayed)
{
    const QList<QByteArray> inputs = {
        WithTextField(44, 0x7FFFFFFF), // nChars far beyond the record
        WithTextField(48, 0xFFFFFFF0u), // offString outside
        WithTextField(72, 0xFFFFFFF0u), // offDx outside: text drawn with measured advances
        Patched(EMR_CREATEPEN, 8, 0xFFFFFFF), // handle index beyond any table
        Patched(EMR_SELECTOBJECT, 8, 4000), // selecting an object never created
        // A font 16 million pixels high (found by fuzzing: Qt's glyph cache
        // crashed on the glyphs of such a font scaled down to the page).
        Patched(EMR_EXTCREATEFONTINDIRECTW, 12, 0xFF00FF00u),
        // A reference device that squeezes the page 26000 times more in
        // one direction than in the other (found by fuzzing, the same crash).
        [] {
            QByteArray b = Patched(EMR_HEADER, 76, 65696);
            patchU32le(b, 80, 392192);
            return b;
        }(),
    };
    for (const QByteArray& bytes : inputs) {
        TMetafile mf;
        ASSERT_NO_THROW(mf.LoadFromBytes(bytes, QStringLiteral("hostile")));
        QImage image(60, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        EXPECT_NO_THROW(mf.Play(painter, QRectF(0, 0, 60, 60)));
        TEmfEnumerator e(mf);
        int records = 0;
        while (e.Next())
            ++records;
        EXPECT_GT(records, 3);
    }
}

// A record built by hand on an otherwise valid page.
QByteArray PageWithRecord(const QByteArray& record)
{
    QByteArray page = ValidPage();
    const int eof = Find(page, EMR_EOF);
    page.insert(eof, record);
    patchU32le(page, 48, std::uint32_t(page.size()));
    return page;
}

TEST(HostileRecords, HugeBitmapsAndPolygonCountsDoNotAllocate)
{
    // A DIB header claiming 100000 x 100000 pixels with no bits behind it.
    QByteArray dib;
    writeU32le(dib, EMR_STRETCHDIBITS);
    writeU32le(dib, 80 + 40);
    writeZeros(dib, 16 + 4 * 6);
    writeU32le(dib, 80); // offBmi
    writeU32le(dib, 40);
    writeU32le(dib, 120); // offBits: nothing there
    writeU32le(dib, 0x7FFFFFFF);
    writeU32le(dib, 0);
    writeU32le(dib, 0x00CC0020);
    writeI32le(dib, 10);
    writeI32le(dib, 10);
    writeU32le(dib, 40);
    writeI32le(dib, 100000);
    writeI32le(dib, 100000);
    writeU16le(dib, 1);
    writeU16le(dib, 24);
    writeZeros(dib, 24);
    // A polyline claiming four billion points.
    QByteArray poly;
    writeU32le(poly, EMR_POLYLINE16);
    writeU32le(poly, 28);
    writeZeros(poly, 16);
    writeU32le(poly, 0xFFFFFFFFu);
    // A thousand nested saves past any sensible depth, then restores that
    // name levels never saved.
    QByteArray saves;
    for (int i = 0; i < 5000; ++i) {
        writeU32le(saves, EMR_SAVEDC);
        writeU32le(saves, 8);
    }
    writeU32le(saves, EMR_RESTOREDC);
    writeU32le(saves, 12);
    writeI32le(saves, -100000);
    for (const QByteArray& record : {dib, poly, saves}) {
        TMetafile mf;
        ASSERT_NO_THROW(mf.LoadFromBytes(PageWithRecord(record), QStringLiteral("hostile")));
        QImage image(60, 60, QImage::Format_RGB32);
        QPainter painter(&image);
        EXPECT_NO_THROW(mf.Play(painter, QRectF(0, 0, 60, 60)));
    }
    EXPECT_TRUE(DibToImage(ByteView(dib).Sub(80, 40), ByteView()).isNull());
}

// Arcs and path brackets with fields no writer gives: huge radii and
// boxes, sweeps of a billion degrees, paths selected or drawn when none is
// open. Each plays without a crash or a hang.
TEST(HostileRecords, ArcsAndPathsWithExtremeFieldsPlay)
{
    using testing::EmfRecord;
    auto angleArc = [](std::uint32_t radius, float start, float sweep) {
        QByteArray r;
        writeU32le(r, EMR_ANGLEARC);
        writeU32le(r, 28);
        writeI32le(r, 30);
        writeI32le(r, 30);
        writeU32le(r, radius);
        writeF32le(r, start);
        writeF32le(r, sweep);
        return r;
    };
    constexpr std::int32_t lo = INT32_MIN, hi = INT32_MAX;
    const QList<QByteArray> inputs = {
        angleArc(0xFFFFFFFFu, 0, 90),
        angleArc(20, 1e30f, std::numeric_limits<float>::quiet_NaN()),
        angleArc(20, 0, 1e9f),
        EmfRecord(EMR_ARCTO, {lo, lo, hi, hi, hi, 0, 0, hi}),
        EmfRecord(EMR_PIE, {10, 10, 11, 11, 10, 10, 10, 10}),
        EmfRecord(EMR_BEGINPATH, {}) + EmfRecord(EMR_RECTANGLE, {lo, lo, hi, hi}) + EmfRecord(EMR_ENDPATH, {})
            + EmfRecord(EMR_STROKEANDFILLPATH, {0, 0, 0, 0}),
        EmfRecord(EMR_SELECTCLIPPATH, {5}) + EmfRecord(EMR_FILLPATH, {0, 0, 0, 0}) + EmfRecord(EMR_CLOSEFIGURE, {}),
        EmfRecord(EMR_BEGINPATH, {}) + EmfRecord(EMR_ELLIPSE, {5, 5, 40, 40}) + EmfRecord(EMR_SELECTCLIPPATH, {3})
            + EmfRecord(EMR_RECTANGLE, {0, 0, 50, 50}),
    };
    for (const QByteArray& bytes : inputs) {
        TMetafile mf;
        ASSERT_NO_THROW(mf.LoadFromBytes(PageWithRecord(bytes), QStringLiteral("hostile")));
        QImage image(60, 60, QImage::Format_RGB32);
        QPainter painter(&image);
        EXPECT_NO_THROW(mf.Play(painter, QRectF(0, 0, 60, 60)));
    }
}

TEST(HostileStreams, AStatedSizeBeyondTheStreamFailsWithoutReadingIt)
{
    QByteArray bytes = ValidPage();
    patchU32le(bytes, 48, 400u * 1024 * 1024); // claims 400 MiB
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TMetafile mf;
    try {
        mf.ReadFromStream(buffer, QStringLiteral("page 3"));
        FAIL() << "no error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("page 3"))) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("byte offset 48"))) << e.Message().toStdString();
    }
    EXPECT_TRUE(mf.Empty());
}

// A 2 x 2 picture stretched to 10 x 10 at (5, 5), its source rectangle as given.
QByteArray StretchDib(std::int32_t xSrc, std::int32_t ySrc, std::int32_t cxSrc, std::int32_t cySrc)
{
    QByteArray r;
    writeU32le(r, EMR_STRETCHDIBITS);
    writeU32le(r, 80 + 40 + 16);
    for (const std::int32_t v : {5, 5, 14, 14, 5, 5, xSrc, ySrc, cxSrc, cySrc})
        writeI32le(r, v);
    for (const std::uint32_t v : {80u, 40u, 120u, 16u, 0u, 0x00CC0020u})
        writeU32le(r, v);
    writeI32le(r, 10); // cxDest
    writeI32le(r, 10);
    writeU32le(r, 40); // BITMAPINFOHEADER: 2 x 2, bottom-up, 24 bits
    writeI32le(r, 2);
    writeI32le(r, 2);
    writeU16le(r, 1);
    writeU16le(r, 24);
    writeZeros(r, 24);
    writeZeros(r, 16); // black pixels, rows of 8 bytes
    return r;
}

// Found by UBSan: the bitmap records' source rectangle was built as a QRect
// straight from the fields, whose far edge (x + width - 1) overflowed int.
TEST(HostileRecords, BitmapSourceRectanglesBeyondIntAreSkipped)
{
    constexpr std::int32_t hi = INT32_MAX, lo = INT32_MIN;
    struct Case {
        std::int32_t x, y, w, h;
        bool drawn;
    };
    const Case cases[] = {
        {0, 0, 2, 2, true},      // the whole picture
        {1, 0, 1, 1, true},      // one pixel of it
        {hi, 0, 2, 2, false},    // right edge past INT_MAX
        {0, hi, 1, hi, false},   // bottom edge far past it
        {lo, lo, -1, -1, false}, // left of INT_MIN
        {0, 0, hi, hi, false},   // moved to the bottom-up origin: height - hi
    };
    // Dark pixels of the page played with the record: the black picture adds some.
    auto darkPixels = [](const QByteArray& record) {
        TMetafile mf;
        mf.LoadFromBytes(PageWithRecord(record), QStringLiteral("hostile"));
        QImage image(60, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            mf.Play(painter, QRectF(0, 0, 60, 60));
        }
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 64;
        return dark;
    };
    const int page = darkPixels(QByteArray());
    for (const Case& c : cases)
        EXPECT_EQ(darkPixels(StretchDib(c.x, c.y, c.w, c.h)) > page + 20, c.drawn)
            << c.x << " " << c.y << " " << c.w << " " << c.h;
    EXPECT_EQ(DibSourceRect(-5, 3, 10, 20), QRect(-5, 3, 10, 20));
    EXPECT_FALSE(DibSourceRect(hi, 0, 2, 1).has_value());
}

} // namespace
} // namespace vorel
