// The recorded page opened by real EMF readers: emf2svg-conv and LibreOffice
// (headless, converting to PDF, read back with pdftotext). Each test skips
// with a message when its tool is absent; the setup script installs them.
#include "sample_page.h"

#include "graphics/metafile.h"
#include "graphics/metafile_canvas.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace vorel {
namespace {

const QStringList kPageTexts = {QStringLiteral("Quarterly report"), QStringLiteral("Bold italic"),
    QStringLiteral("Courier red 8 pt"), QStringLiteral("Underlined green"), QStringLiteral("Rotated 90")};

QString WriteSamplePage(const QTemporaryDir& dir)
{
    TMetafile mf;
    mf.SetWidth(test::kPageWidth);
    mf.SetHeight(test::kPageHeight);
    {
        TMetafileCanvas canvas(mf, QStringLiteral("Vorel test"), QStringLiteral("Tarnwick Software"));
        test::DrawSamplePage(canvas);
    }
    const QString path = dir.filePath(QStringLiteral("page.emf"));
    mf.SaveToFile(path);
    return path;
}

// Runs a program, failing the test (not hanging it) after the time limit.
bool RunTool(const QString& program, const QStringList& args, QString* output, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        ADD_FAILURE() << program.toStdString() << " did not finish in " << timeoutMs << " ms";
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(EmfConsumers, Emf2SvgReadsTextsAndShapes)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("emf2svg-conv"));
    if (tool.isEmpty())
        GTEST_SKIP() << "emf2svg-conv not installed (Debian package emf2svg; scripts/setup.sh installs it)";
    QTemporaryDir dir;
    const QString emf = WriteSamplePage(dir);
    const QString svg = dir.filePath(QStringLiteral("page.svg"));
    QString out;
    ASSERT_TRUE(RunTool(tool, {QStringLiteral("-i"), emf, QStringLiteral("-o"), svg}, &out, 60000)) << out.toStdString();
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    for (const QString& t : kPageTexts)
        EXPECT_TRUE(text.contains(t)) << "missing text " << t.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<ellipse")) || text.contains(QStringLiteral("<path")));
    EXPECT_GE(text.count(QStringLiteral("<rect")) + text.count(QStringLiteral("<path")), 5);
    EXPECT_TRUE(text.contains(QStringLiteral("<image"))) << "the picture is missing";
}

TEST(EmfConsumers, LibreOfficeConvertsPageWithSameTexts)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (soffice.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "soffice or pdftotext not installed (scripts/setup.sh installs LibreOffice and poppler-utils)";
    QTemporaryDir dir;
    const QString emf = WriteSamplePage(dir);
    QString out;
    // A private profile keeps the conversion independent of any user's.
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    ASSERT_TRUE(RunTool(soffice,
        {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
            QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), emf},
        &out, 180000))
        << out.toStdString();
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    ASSERT_TRUE(QFile::exists(pdf)) << out.toStdString();
    const QString txt = dir.filePath(QStringLiteral("page.txt"));
    ASSERT_TRUE(RunTool(pdftotext, {pdf, txt}, &out, 60000)) << out.toStdString();
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    for (const QString& t : kPageTexts)
        EXPECT_TRUE(text.contains(t)) << "missing text " << t.toStdString() << " in:\n" << text.toStdString();
}

} // namespace
} // namespace vorel
