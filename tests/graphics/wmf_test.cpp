// Page metafiles saved in the Windows metafile format: header and record
// structure, coordinates mapped through embedded pages' transforms, and the
// file read by LibreOffice.
#include "sample_page.h"

#include "foundation/values/byte_io.h"
#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"
#include "graphics/wmf_writer.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace vorel {
namespace {

struct WmfRecord {
    std::uint16_t Function;
    QList<std::int16_t> Params; // the first 8 parameter words
    QByteArray Body;
};

// Walks the records after the 22-byte placeable header and the 18-byte
// header; fails the test when sizes do not add up.
QList<WmfRecord> Records(const QByteArray& wmf)
{
    QList<WmfRecord> out;
    const ByteView v(wmf);
    std::size_t o = 22 + 18;
    while (o + 6 <= v.Size()) {
        const std::uint32_t words = v.u32le(o);
        EXPECT_GE(words, 3u);
        EXPECT_TRUE(v.Fits(o, std::uint64_t(words) * 2));
        if (words < 3 || !v.Fits(o, std::uint64_t(words) * 2))
            break;
        WmfRecord r;
        r.Function = v.u16le(o + 4);
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(8, words - 3); ++i)
            r.Params << v.i16le(o + 6 + 2 * i);
        r.Body = wmf.mid(qsizetype(o + 6), qsizetype(words * 2 - 6));
        out << r;
        o += std::size_t(words) * 2;
        if (r.Function == 0)
            break;
    }
    EXPECT_EQ(o, v.Size()) << "records must end exactly at the end of the file";
    return out;
}

TMetafile SamplePage()
{
    TMetafile mf;
    mf.SetWidth(test::kPageWidth);
    mf.SetHeight(test::kPageHeight);
    {
        TMetafileCanvas canvas(mf, QStringLiteral("Vorel test"), QStringLiteral("Tarnwick Software"));
        test::DrawSamplePage(canvas);
    }
    return mf;
}

QStringList Texts(const QList<WmfRecord>& records)
{
    QStringList texts;
    for (const WmfRecord& r : records) {
        if (r.Function != 0x0A32)
            continue;
        const int n = r.Params[2];
        const int options = std::uint16_t(r.Params[3]);
        const int start = 8 + ((options & 6) ? 8 : 0);
        texts << QString::fromLatin1(r.Body.mid(start, n));
    }
    return texts;
}

TEST(WmfConversion, PlaceableHeaderAndRecordsAddUp)
{
    TMetafile mf = SamplePage();
    mf.SetEnhanced(false);
    const QByteArray wmf = mf.SaveToBytes();
    const ByteView v(wmf);
    EXPECT_EQ(v.u32le(0), 0x9AC6CDD7u);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= v.u16le(2 * std::size_t(i));
    EXPECT_EQ(v.u16le(20), sum) << "checksum";
    EXPECT_EQ(v.i16le(10), test::kPageWidth);
    EXPECT_EQ(v.i16le(12), test::kPageHeight);
    EXPECT_EQ(v.u16le(14), 96) << "units per inch";
    EXPECT_EQ(v.u16le(22), 1);
    EXPECT_EQ(v.u16le(24), 9);
    EXPECT_EQ(v.u32le(28) * 2, std::uint32_t(wmf.size() - 22)) << "size in words";
    const QList<WmfRecord> records = Records(wmf);
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.last().Function, 0);
    EXPECT_EQ(Texts(records), (QStringList{"Quarterly report", "Bold italic", "Courier red 8 pt",
                                  "Underlined green", "Rotated 90", "Formatted text that wraps at",
                                  "blanks inside its box,", "centred."}));
    mf.SetEnhanced(true);
    EXPECT_EQ(mf.SaveToBytes(), mf.Bytes());
}

TEST(WmfConversion, EmbeddedPagesArePlacedByTheirTransform)
{
    TMetafile inner;
    inner.SetWidth(100);
    inner.SetHeight(100);
    {
        TMetafileCanvas c(inner, {}, {});
        c.Rectangle(10, 10, 50, 50);
    }
    TMetafile outer;
    outer.SetWidth(200);
    outer.SetHeight(400);
    {
        TMetafileCanvas c(outer, {}, {});
        c.PlayMetafile({0, 200, 200, 400}, inner); // twice the size, lower half
    }
    const QList<WmfRecord> records = Records(MetafileToWmf(outer));
    bool found = false;
    for (const WmfRecord& r : records)
        if (r.Function == 0x041B) { // bottom, right, top, left
            EXPECT_EQ(r.Params, (QList<std::int16_t>{300, 100, 220, 20}));
            found = true;
        }
    EXPECT_TRUE(found);
}

TEST(WmfConversion, LibreOfficeReadsTheTexts)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (soffice.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "soffice or pdftotext not installed (scripts/setup.sh installs LibreOffice and poppler-utils)";
    QTemporaryDir dir;
    TMetafile mf = SamplePage();
    mf.SetEnhanced(false);
    const QString wmf = dir.filePath(QStringLiteral("page.wmf"));
    mf.SaveToFile(wmf);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(soffice, {QStringLiteral("-env:UserInstallation=")
                          + QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                         QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                         QStringLiteral("--outdir"), dir.path(), wmf});
    ASSERT_TRUE(p.waitForFinished(180000)) << "LibreOffice did not finish";
    ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("page.pdf")))) << p.readAll().toStdString();
    QProcess t;
    t.start(pdftotext, {dir.filePath(QStringLiteral("page.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(t.waitForFinished(60000));
    const QString text = QString::fromUtf8(t.readAllStandardOutput());
    for (const char* s : {"Quarterly report", "Bold italic", "Courier red 8 pt", "Underlined green"})
        EXPECT_TRUE(text.contains(QLatin1String(s))) << s << " missing in:\n" << text.toStdString();
}

} // namespace
} // namespace vorel
