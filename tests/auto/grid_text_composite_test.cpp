// Grid, list and text printing, and composite reports.

#include "auto_test_support.h"

#include "auto/composite_report.h"
#include "auto/print_grid.h"
#include "auto/print_text.h"
#include "graphics/metafile_canvas.h"

#include <QStandardItemModel>
#include <QTemporaryDir>

using namespace vorel;
using namespace vorel::autotest;

namespace {

// A grid of `rows` x `columns` texts "r<row>c<column>".
void FillModel(QStandardItemModel& model, int rows, int columns)
{
    model.clear();
    model.setColumnCount(columns);
    model.setRowCount(rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            model.setItem(r, c, new QStandardItem(QStringLiteral("r%1c%2").arg(r).arg(c)));
}

// A member of exactly `pages` pages, each showing its own text.
class TPagesReport : public TKVPrintComponent {
public:
    int PageCount = 1;
    void PrepareReport() override
    {
        TKVPrintComponent::PrepareReport();
        BeginDoc();
        for (int p = 0; p < PageCount; ++p) {
            NewPage(false);
            MFCanvas()->TextOut(100, 100, QStringLiteral("%1 page %2").arg(objectName()).arg(p + 1));
        }
        EndDoc();
    }
};

} // namespace

TEST(PrintGridTest, FixedRowsRepeatOnEveryPageOnlyWithStyleFixedRows)
{
    QStandardItemModel model;
    FillModel(model, 150, 3);
    TKVXItemGrid grid;
    grid.SetModel(&model);
    grid.SetFixedRows(2);
    for (bool fixed : {true, false}) {
        TKVPrintStringGrid report;
        UsePage(report);
        report.SetStringGrid(&grid);
        report.Style()->SetFixedRows(fixed);
        report.Prepare();
        ASSERT_GE(report.GetNumPages(), 2);
        int pagesWithBoth = 0;
        for (int p = 0; p < report.Pages().Count(); ++p) {
            const QStringList texts = TextsOf(*report.Pages().Items(p));
            pagesWithBoth += texts.contains(QStringLiteral("r0c0")) && texts.contains(QStringLiteral("r1c0"));
        }
        EXPECT_EQ(pagesWithBoth, fixed ? report.GetNumPages() : 1) << "FixedRows " << fixed;
        EXPECT_EQ(AllTexts(report).count(QStringLiteral("r149c2")), 1);
    }
}

TEST(PrintGridTest, ListViewHasTheListsColumnsAndEmptyCellsForMissingSubItems)
{
    QStandardItemModel model(2, 3);
    model.setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Kind")});
    model.setItem(0, 0, new QStandardItem(QStringLiteral("a.txt")));
    model.setItem(0, 1, new QStandardItem(QStringLiteral("12")));
    model.setItem(0, 2, new QStandardItem(QStringLiteral("text")));
    model.setItem(1, 0, new QStandardItem(QStringLiteral("b"))); // no sub-items
    TKVXItemGrid list;
    list.SetModel(&model);
    TKVPrintListView report;
    UsePage(report);
    report.SetListView(&list);
    report.Header()->Clear();
    report.Footer()->Clear();
    report.Prepare();
    EXPECT_EQ(report.Columns().size(), 3);
    EXPECT_EQ(TextsOf(*report.Pages().Items(0)),
              (QStringList{"Name", "Size", "Kind", "a.txt", "12", "text", "b"}));
}

TEST(PrintGridTest, GridWithoutColumnsOrCellsGivesNoPages)
{
    QStandardItemModel model;
    TKVXItemGrid grid;
    grid.SetModel(&model);
    TKVPrintStringGrid report;
    UsePage(report);
    report.SetStringGrid(&grid);
    report.Prepare();
    EXPECT_EQ(report.Pages().Count(), 0);
    model.setRowCount(5); // rows but no columns
    report.Prepare();
    EXPECT_EQ(report.Pages().Count(), 0);
    TKVPrintStringGrid unset;
    UsePage(unset);
    EXPECT_THROW(unset.Prepare(), EKVXError);
}

TEST(PrintGridTest, WideGridContinuesOnBarsWithItsFixedColumn)
{
    QStandardItemModel model;
    FillModel(model, 4, 9);
    TKVXItemGrid grid;
    grid.SetModel(&model);
    grid.SetFixedCols(1);
    grid.SetColumnWidths(QList<int>(9, 200));
    TKVPrintStringGrid report;
    UsePage(report);
    report.SetStringGrid(&grid);
    report.Prepare();
    ASSERT_GE(report.GetNumBars(), 3);
    for (int bar = 0; bar < report.GetNumBars(); ++bar)
        EXPECT_TRUE(TextsOf(*report.GetPage(0, bar)).contains(QStringLiteral("r3c0"))) << "bar " << bar;
    EXPECT_EQ(AllTexts(report).count(QStringLiteral("r3c8")), 1);
}

class PrintTextTest : public ::testing::Test {
protected:
    QString Write(const QByteArray& content)
    {
        const QString path = dir.filePath(QStringLiteral("input.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QTemporaryDir dir;
    TKVPrintText report;
};

TEST_F(PrintTextTest, LongLineContinuesOnASecondBarUnlessWrapped)
{
    QByteArray wide; // about one and a half pages wide
    for (int i = 0; i < 30; ++i)
        wide += "word" + QByteArray::number(i) + " ";
    UsePage(report);
    report.SetFileName(Write("short\n" + wide + "\nend\n"));
    report.Prepare();
    EXPECT_EQ(report.GetNumBars(), 2);
    const QString joined = AllTexts(report).join(QString());
    EXPECT_TRUE(joined.contains(QStringLiteral("word29")));

    report.SetWordWrap(true);
    report.Prepare();
    EXPECT_EQ(report.GetNumBars(), 1);
    const QStringList texts = AllTexts(report);
    EXPECT_TRUE(texts.join(u' ').contains(QStringLiteral("word29")));
    EXPECT_TRUE(texts.contains(QStringLiteral("end")));
}

TEST_F(PrintTextTest, WrappedParagraphNearTheBottomMovesWholeToTheNextPage)
{
    // How many short lines the first page holds.
    QByteArray lines;
    for (int i = 0; i < 200; ++i)
        lines += "line " + QByteArray::number(i) + "\n";
    UsePage(report);
    report.SetWordWrap(true);
    report.SetFileName(Write(lines));
    report.Prepare();
    const int perPage = int(TextsOf(*report.Pages().Items(0)).filter(QStringLiteral("line ")).size());
    ASSERT_GT(perPage, 10);
    // Two lines short of a full page, then a paragraph of several lines.
    QByteArray content;
    for (int i = 0; i < perPage - 2; ++i)
        content += "line " + QByteArray::number(i) + "\n";
    for (int i = 0; i < 200; ++i)
        content += "para" + QByteArray::number(i) + " ";
    report.SetFileName(Write(content));
    report.Prepare();
    ASSERT_EQ(report.Pages().Count(), 2);
    // Every word is on a page, and the paragraph starts a page of its own.
    const QString all = AllTexts(report).join(u' ');
    for (int i = 0; i < 200; ++i)
        EXPECT_TRUE(all.contains(QStringLiteral("para%1 ").arg(i)) || all.endsWith(QStringLiteral("para%1").arg(i))) << i;
    const QStringList second = TextsOf(*report.Pages().Items(report.Pages().Count() - 1));
    EXPECT_TRUE(second.join(u' ').contains(QStringLiteral("para0")));
}

TEST_F(PrintTextTest, NoPrintableWidthOrUnreadableFileIsAnError)
{
    UsePage(report, 1500, 100, 1000, 100); // 250 mm of margins on a 210 mm page
    report.SetFileName(Write("x\n"));
    EXPECT_THROW(report.Prepare(), EKVXError);
    UsePage(report);
    report.SetFileName(dir.filePath(QStringLiteral("missing.txt")));
    EXPECT_THROW(report.Prepare(), EKVXError);
    report.SetFileName(QString());
    EXPECT_THROW(report.Prepare(), EKVXError);
}

class CompositeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        first = new TPagesReport;
        first->setObjectName(QStringLiteral("first"));
        first->PageCount = 3;
        second.setObjectName(QStringLiteral("second"));
        second.PageCount = 2;
        for (TKVPrintBaseComponent* r : {static_cast<TKVPrintBaseComponent*>(first), static_cast<TKVPrintBaseComponent*>(&second),
                                         static_cast<TKVPrintBaseComponent*>(&composite)})
            UsePage(*r);
        composite.AddReport(first);
        composite.AddReport(&second);
    }
    void TearDown() override { delete first; }
    TPagesReport* first;
    TPagesReport second;
    TKVXCompositeReport composite;
};

TEST_F(CompositeTest, MembersOfThreeAndTwoPagesGivePageIndexesZeroToFour)
{
    composite.Prepare();
    ASSERT_EQ(composite.GetNumPages(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(composite.Pages().Items(i)->intNumPage, i);
    EXPECT_EQ(TextsOf(*composite.GetPage(3, 0)), QStringList{QStringLiteral("second page 1")});
    // The members' own pages keep their indexes.
    EXPECT_EQ(second.Pages().Items(1)->intNumPage, 1);
    EXPECT_EQ(TextsOf(*second.GetPage(1, 0)), QStringList{QStringLiteral("second page 2")});
}

TEST_F(CompositeTest, FreeingOrPreparingAMemberLeavesTheCompositesPages)
{
    composite.Prepare();
    second.PageCount = 1;
    second.Prepare();
    delete first;
    first = nullptr;
    ASSERT_EQ(composite.Pages().Count(), 5);
    EXPECT_EQ(TextsOf(*composite.GetPage(0, 0)), QStringList{QStringLiteral("first page 1")});
    EXPECT_EQ(TextsOf(*composite.GetPage(4, 0)), QStringList{QStringLiteral("second page 2")});
    // A freed member is passed over at the next preparation.
    composite.Prepare();
    EXPECT_EQ(composite.GetNumPages(), 1);
}

TEST_F(CompositeTest, MembershipRulesAndEmptyComposite)
{
    EXPECT_THROW(composite.AddReport(&composite), EKVXError);
    TKVXCompositeReport outer;
    outer.AddReport(&composite);
    EXPECT_THROW(composite.AddReport(&outer), EKVXError); // a cycle
    composite.RemoveReport(7);
    composite.RemoveReport(-1);
    EXPECT_EQ(composite.ReportCount(), 2);
    composite.Prepare();
    composite.ClearReports();
    EXPECT_EQ(composite.ReportCount(), 0);
    EXPECT_EQ(composite.Pages().Count(), 0);
    EXPECT_FALSE(composite.Prepared());
    composite.Prepare();
    EXPECT_EQ(composite.Pages().Count(), 1); // an empty page with the frame only
}

TEST_F(CompositeTest, ACancelledMemberCancelsTheComposite)
{
    second.OnBeginPage = [&](QObject*, int, int) { second.RequestCancel(); };
    composite.Prepare();
    EXPECT_TRUE(composite.Cancelled());
    EXPECT_EQ(composite.Pages().Count(), 0);
}
