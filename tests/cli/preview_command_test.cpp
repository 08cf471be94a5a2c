// vorel preview run as users run it: pictures of the window (--snapshot)
// with the page, zoom, thumbnails and a search chosen on the command line,
// and the usage and input errors.

#include "data/sql_dataset.h"
#include "model/report.h"
#include "model/text_controls.h"

#include "support/shop_db.h"
#include "support/tool_run.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorel {
namespace {

// Orders with one row each, "SUBTOTAL:" in every page footer, 30 rows a page.
void MakeListing(const QString& path)
{
    TKVReport report;
    report.SetName(QStringLiteral("Listing"));
    auto* orders = new TSqlDataSet(&report);
    orders->SetName(QStringLiteral("Orders"));
    orders->SetConnection(QStringLiteral("sqlite:shop.db"));
    orders->SetSQL(QStringLiteral("SELECT id, customer FROM orders ORDER BY id"));
    report.SetDataSet(orders);
    const auto add = [](TKVXBand* band, const QString& expression) {
        auto* c = static_cast<TKVXExpression*>(band->Object(band->AddElement(&TKVXExpression::staticMetaObject)));
        c->SetExpression(expression);
        c->SetTop(2);
        c->SetWidth(300);
        c->SetHeight(18);
    };
    TKVXBand* detail = report.GetBand(report.GetIndexBand(btDetail));
    detail->SetHeight(30);
    add(detail, QStringLiteral("'#' + INTTOSTR([id]) + ' ' + [customer]"));
    TKVXBand* footer = report.GetBand(report.GetIndexBand(btPageFooter));
    footer->SetHeight(24);
    add(footer, QStringLiteral("'SUBTOTAL: page ' + INTTOSTR(PageNo)"));
    report.SaveReport(path, TReportFormFormat::Text);
}

int YellowPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == QColor(Qt::yellow);
    return n;
}

class PreviewCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(VorelBinary())) << "build the vorel target first";
        MakeShop(dir.filePath(QStringLiteral("shop.db")), 100);
        MakeListing(form);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString form = Path(QStringLiteral("listing.kvx"));
};

TEST_F(PreviewCommandTest, SnapshotOfTheWindow)
{
    const ToolRun run = Vorel({QStringLiteral("preview"), form, QStringLiteral("--snapshot"), Path("p.png")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral(": page 1 of "))) << run.Out.toStdString();
    const QImage image(Path("p.png"));
    EXPECT_EQ(image.size(), QSize(1000, 760));
    EXPECT_EQ(YellowPixels(image), 0);
}

TEST_F(PreviewCommandTest, SnapshotWithPageZoomThumbnailsAndFind)
{
    const ToolRun run = Vorel({QStringLiteral("preview"), form, QStringLiteral("--snapshot=") + Path("f.png"),
                               QStringLiteral("--page"), QStringLiteral("2"), QStringLiteral("--zoom"),
                               QStringLiteral("page"), QStringLiteral("--thumbnails"), QStringLiteral("--size"),
                               QStringLiteral("800x600"), QStringLiteral("--find"), QStringLiteral("subtotal")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral(": page 2 of "))) << "the search starts at the shown page";
    const QImage image(Path("f.png"));
    EXPECT_EQ(image.size(), QSize(800, 600));
    EXPECT_GT(YellowPixels(image), 50) << "the match is highlighted";

    const ToolRun begin = Vorel({QStringLiteral("preview"), form, QStringLiteral("--snapshot"), Path("g.png"),
                                 QStringLiteral("--find"), QStringLiteral("total"), QStringLiteral("--find-mode"),
                                 QStringLiteral("begin")});
    ASSERT_EQ(begin.ExitCode, 0) << begin.Err.toStdString();
    EXPECT_TRUE(begin.Err.contains(QStringLiteral("\"total\" not found"))) << begin.Err.toStdString();
}

TEST_F(PreviewCommandTest, ErrorsAndUsage)
{
    // Each row: arguments after the form, exit code, a part of the message.
    const struct {
        QStringList Args;
        int Exit;
        const char* Says;
    } rows[] = {
        {{QStringLiteral("--snapshot"), Path("x.png"), QStringLiteral("--page"), QStringLiteral("9")}, 1,
         "--page 9: the report has "},
        {{}, 2, "no display"},
        {{QStringLiteral("--snapshot"), Path("x.png"), QStringLiteral("--zoom"), QStringLiteral("5")}, 2,
         "--zoom \"5\""},
        {{QStringLiteral("--snapshot"), Path("x.png"), QStringLiteral("--find-mode"), QStringLiteral("exact")}, 2,
         "go with --find"},
        {{QStringLiteral("--bogus")}, 2, "unknown option"},
        {{QStringLiteral("--snapshot"), Path("missing/dir/x.png")}, 1, "cannot write"},
    };
    for (const auto& row : rows) {
        const ToolRun run = Vorel(QStringList{QStringLiteral("preview"), form} + row.Args);
        EXPECT_EQ(run.ExitCode, row.Exit) << row.Says << ": " << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(QString::fromLatin1(row.Says))) << run.Err.toStdString();
    }
    const ToolRun missing = Vorel({QStringLiteral("preview"), Path("none.kvx"), QStringLiteral("--snapshot"), Path("x.png")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("none.kvx"))) << missing.Err.toStdString();
}

} // namespace
} // namespace vorel
