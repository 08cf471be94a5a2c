// Automatic reports from item views: what the view shows is what prints.

#include "dialogs/item_view_sources.h"

#include "auto/print_data.h"
#include "data/memory_dataset.h"
#include "support/page_dump.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vorel;

namespace {

QStringList TextsOf(const TKVPrintBaseComponent& report)
{
    QStringList texts;
    for (int i = 0; i < report.Pages().Count(); ++i)
        texts += vorel::testing::PageTexts(*report.Pages().Items(i)->Data);
    return texts;
}

template <typename T>
void Quiet(T& report)
{
    report.SetAnimatedStatus(false);
    report.Header()->Clear();
    report.Footer()->Clear();
}

} // namespace

TEST(ItemViewSourcesTest, TableWidgetPrintsItsVisibleColumnsInScreenOrder)
{
    QTableWidget table(2, 3);
    table.setHorizontalHeaderLabels({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            table.setItem(r, c, new QTableWidgetItem(QStringLiteral("%1%2").arg(QChar(u'a' + c)).arg(r)));
    table.setColumnHidden(1, true);
    table.horizontalHeader()->moveSection(2, 0); // C first on screen
    table.setColumnWidth(0, 140);

    TKVXItemGrid grid;
    FillItemGridFromTable(grid, table);
    TKVPrintStringGrid report;
    Quiet(report);
    report.SetStringGrid(&grid);
    report.Prepare();
    EXPECT_EQ(TextsOf(report), (QStringList{"C", "A", "c0", "a0", "c1", "a1"}));
    EXPECT_EQ(report.Columns().at(1).Width, 140);
}

TEST(ItemViewSourcesTest, TreeWidgetItemsBecomeListRowsWithEmptyMissingSubItems)
{
    QTreeWidget tree;
    tree.setColumnCount(3);
    tree.setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Kind")});
    new QTreeWidgetItem(&tree, {QStringLiteral("a.txt"), QStringLiteral("12"), QStringLiteral("text")});
    new QTreeWidgetItem(&tree, {QStringLiteral("b")});

    TKVXItemGrid list;
    FillItemGridFromTree(list, tree);
    TKVPrintListView report;
    Quiet(report);
    report.SetListView(&list);
    report.Prepare();
    EXPECT_EQ(TextsOf(report), (QStringList{"Name", "Size", "Kind", "a.txt", "12", "text", "b"}));
}

TEST(ItemViewSourcesTest, DataGridTakesTheViewsColumnsAndSelection)
{
    TMemoryDataSet data;
    data.AddFieldDef(QStringLiteral("Id"), ftInteger);
    data.AddFieldDef(QStringLiteral("Name"), ftWideString, 10);
    for (int i = 1; i <= 4; ++i)
        data.AppendRecord({i, QStringLiteral("n%1").arg(i)});
    data.Open();
    // The application's view of the records: one row a record.
    QTableWidget table(4, 2);
    table.setHorizontalHeaderLabels({QStringLiteral("Id"), QStringLiteral("Name")});
    table.setColumnHidden(0, true);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.selectRow(2);

    TKVXDataGrid grid;
    FillDataGridFromTable(grid, table, &data);
    ASSERT_EQ(grid.Columns()->Count(), 1);
    EXPECT_EQ(grid.SelectedRecords(), (QList<qint64>{2}));
    TKVPrintData report;
    Quiet(report);
    report.SetDBGrid(&grid);
    report.SetSelectedRecord(true);
    report.Prepare();
    EXPECT_EQ(TextsOf(report), (QStringList{"Name", "n3"}));
}
