// The vorel tool's convert command, run as a process: binary -> text ->
// binary gives the same bytes, broken input exits 1 naming the file and the
// offset, wrong usage exits 2.

#include "model/report.h"
#include "model/shapes.h"
#include "model/text_controls.h"

#include "support/tool_run.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(QStringLiteral(VOREL_BINARY_DIR "/bin/vorel"))) << "build the vorel target first";
        ASSERT_TRUE(dir.isValid());
        TKVReport report;
        report.SetName(QStringLiteral("Orders"));
        report.SetColumnNumber(2);
        TKVXBand* detail = report.GetBand(1);
        auto* label = static_cast<TKVXLabel*>(detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject)));
        label->SetDisplayName(QString::fromUtf8("Total: 12,50 € — Σ"));
        auto* line = static_cast<TKVXLine*>(detail->Object(detail->AddElement(&TKVXLine::staticMetaObject)));
        line->SetLineStyle(lsDouble);
        report.AddBand(btReportSummary, true);
        binary = Path("orders.kvx");
        report.SaveReport(binary);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QString binary;
};

TEST_F(ConvertTest, BinaryToTextAndBackGivesTheSameBytes)
{
    const QString text = Path("orders.txt");
    const QString back = Path("back.kvx");
    ToolRun run = Vorel({QStringLiteral("convert"), binary, text, QStringLiteral("--text")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QByteArray readable = Read(text);
    EXPECT_TRUE(readable.startsWith("object Orders: TKVReport\r\n")) << readable.left(60).toStdString();
    EXPECT_TRUE(readable.contains("LineStyle = lsDouble"));

    run = Vorel({QStringLiteral("convert"), text, back}); // without an option: into the other form
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(Read(back), Read(binary));

    // The text form loads like the binary one.
    TKVReport loaded;
    loaded.LoadReport(text);
    EXPECT_EQ(loaded.BandCount(), 4);
    EXPECT_EQ(loaded.ColumnNumber(), 2);
}

TEST_F(ConvertTest, BrokenInputExitsOneNamingTheFileAndTheOffset)
{
    QByteArray cut = Read(binary);
    cut.chop(20);
    const QString broken = Path("broken.kvx");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(cut);
    file.close();
    const QString out = Path("out.txt");
    ToolRun run = Vorel({QStringLiteral("convert"), broken, out});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(broken)) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(u"at offset")) << run.Err.toStdString();
    EXPECT_FALSE(QFile::exists(out)) << "no half-written output";

    run = Vorel({QStringLiteral("convert"), Path("missing.kvx"), out});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(u"missing.kvx")) << run.Err.toStdString();
}

TEST_F(ConvertTest, WrongUsageExitsTwo)
{
    const QStringList cases[] = {
        {QStringLiteral("convert")},
        {QStringLiteral("convert"), binary},
        {QStringLiteral("convert"), binary, Path("a"), Path("b")},
        {QStringLiteral("convert"), binary, Path("a"), QStringLiteral("--pdf")},
        {QStringLiteral("convert"), binary, Path("a"), QStringLiteral("--text"), QStringLiteral("--binary")},
        {QStringLiteral("transmogrify")},
    };
    for (const QStringList& args : cases) {
        const ToolRun run = Vorel(args);
        EXPECT_EQ(run.ExitCode, 2) << args.join(u' ').toStdString() << "\n" << run.Err.toStdString();
    }
}

} // namespace
} // namespace vorel
