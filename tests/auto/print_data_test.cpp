// The table report over a data set: columns and bars, AutoFit, BlankIfZero,
// totals at group ends, and what a cancel or an error leaves behind.

#include "auto_test_support.h"

#include "support/locale_fixture.h"

using namespace vorel;
using namespace vorel::autotest;

namespace {

class PrintDataTest : public vorel::testing::EnglishUsLocaleTest {
protected:
    void SetUp() override
    {
        EnglishUsLocaleTest::SetUp();
        UsePage(report);
        report.SetColumnSource(csDataSet);
        report.SetDataSet(&data);
    }
    void MakeOrders(const QList<std::pair<QString, double>>& rows)
    {
        data.AddFieldDef(QStringLiteral("Customer"), ftWideString, 8);
        data.AddFieldDef(QStringLiteral("Amount"), ftFloat);
        for (const auto& [customer, amount] : rows)
            data.AppendRecord({customer, amount});
        data.Open();
    }
    TKVXACalculation* AddSum(TResetType reset, const QString& caption)
    {
        TKVXACalculation* calc = report.Calculations()->Add();
        calc->SetFieldName(QStringLiteral("[Amount]"));
        calc->Calculation()->SetCalcType(ctSum);
        calc->Calculation()->SetResetType(reset);
        if (reset == rtEndGroup)
            calc->Calculation()->SetResetGroup(QStringLiteral("Customer"));
        calc->SetFieldColNum(1);
        calc->SetCaptionColNum(0);
        calc->SetCaption(caption);
        return calc;
    }
    TMemoryDataSet data;
    TKVPrintData report;
};

} // namespace

TEST_F(PrintDataTest, MissingOrClosedSourceRaisesBeforeAnyPage)
{
    TKVPrintData none;
    UsePage(none);
    none.SetColumnSource(csDataSet);
    EXPECT_THROW(
        try { none.Prepare(); } catch (const EKVXError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Property DataSet wasn't specified."));
            throw;
        },
        EKVXError);
    none.SetColumnSource(csDBGrid);
    EXPECT_THROW(none.Prepare(), EKVXError);
    data.AddFieldDef(QStringLiteral("A"), ftInteger);
    EXPECT_THROW(report.Prepare(), EKVXError); // not active
    EXPECT_EQ(report.Pages().Count(), 0);
}

TEST_F(PrintDataTest, GroupTotalsPrintAtEachGroupEndAndTheGrandTotalAtTheEnd)
{
    // Two groups with the same total: both totals print (the classic rule
    // printed a total only when it differed from the previous one).
    MakeOrders({{"A", 1}, {"A", 2}, {"B", 3}, {"C", 0.5}});
    AddSum(rtEndGroup, QStringLiteral("Sum"));
    AddSum(rtEndReport, QStringLiteral("All"));
    report.Header()->Clear();
    report.Footer()->Clear();
    report.Prepare();
    ASSERT_EQ(report.Pages().Count(), 1);
    const QStringList texts = TextsOf(*report.Pages().Items(0));
    const QStringList expected = {"Customer", "Amount", "A", "1",   "A",   "2",   "Sum", "3",   "B",
                                  "3",        "Sum",    "3", "C",   "0.5", "Sum", "All", "0.5", "6.5"};
    EXPECT_EQ(texts, expected);
}

TEST_F(PrintDataTest, BlankIfZeroLeavesZeroEmptyButPrintsOneHalf)
{
    MakeOrders({{"A", 0}, {"B", 0.5}, {"C", 7}});
    report.SetBlankIfZero(true);
    report.Header()->Clear();
    report.Footer()->Clear();
    report.Prepare();
    const QStringList texts = TextsOf(*report.Pages().Items(0));
    EXPECT_EQ(texts, (QStringList{"Customer", "Amount", "A", "B", "0.5", "C", "7"}));
}

TEST_F(PrintDataTest, AutoFitEndsTheLastColumnExactlyAtTheRightOffset)
{
    MakeOrders({{"A", 1}, {"B", 2}});
    report.SetAutoFit(true);
    report.SetGapHorizontal(3);
    report.SetPrintRecNo(rnFirstCol);
    report.Prepare();
    const TPageInfo& page = *report.Pages().Items(0);
    const int printable = page.PageWidth() - page.OffsetLeft - page.OffsetRight;
    const TColumnInfo& last = report.Columns().last();
    EXPECT_EQ(last.Position + last.Width + 3, printable);
    int rightmost = 0;
    for (const PageItem& line : Lines(page))
        rightmost = std::max({rightmost, line.X, line.X2});
    EXPECT_EQ(rightmost, page.PageWidth() - page.OffsetRight);
}

TEST_F(PrintDataTest, WideTableContinuesOnBarsWithTheRecordNumbersRepeated)
{
    for (int f = 0; f < 12; ++f)
        data.AddFieldDef(QStringLiteral("Field%1").arg(f), ftWideString, 20);
    for (int r = 0; r < 3; ++r) {
        QList<Variant> row;
        for (int f = 0; f < 12; ++f)
            row << Variant(QStringLiteral("r%1f%2").arg(r).arg(f));
        data.AppendRecord(row);
    }
    data.Open();
    report.SetPrintRecNo(rnFirstColOnEachBar);
    report.Prepare();
    ASSERT_GE(report.GetNumBars(), 2);
    QStringList seen;
    for (int bar = 0; bar < report.GetNumBars(); ++bar) {
        const TPageInfo* page = report.GetPage(0, bar);
        ASSERT_NE(page, nullptr);
        const std::vector<PageItem> texts = Texts(*page);
        // Every bar starts with the record numbers at the left margin.
        bool numberAtLeft = false;
        for (const PageItem& item : texts) {
            numberAtLeft = numberAtLeft || (item.Text == QStringLiteral("1") && item.X < page->OffsetLeft + 60);
            if (item.Text.startsWith(u'r'))
                seen << item.Text;
        }
        EXPECT_TRUE(numberAtLeft) << "bar " << bar;
    }
    // Every cell printed exactly once over the bars.
    EXPECT_EQ(seen.size(), 36);
    seen.removeDuplicates();
    EXPECT_EQ(seen.size(), 36);
}

TEST_F(PrintDataTest, NoPrintableFieldGivesHeaderAndFooterOnly)
{
    data.AddFieldDef(QStringLiteral("Raw"), ftBlob);
    data.AppendRecord({Variant(QStringLiteral("x"))});
    data.Open();
    report.SetAutoFit(true);
    report.Prepare();
    ASSERT_EQ(report.Pages().Count(), 1);
    EXPECT_TRUE(report.Columns().isEmpty());
    EXPECT_TRUE(TextsOf(*report.Pages().Items(0)).contains(QStringLiteral("page #1/Sheet1")));
}

TEST_F(PrintDataTest, CancelStopsEveryBarAndRestoresTheDataSet)
{
    for (int f = 0; f < 12; ++f)
        data.AddFieldDef(QStringLiteral("Field%1").arg(f), ftWideString, 20);
    for (int r = 0; r < 200; ++r) {
        QList<Variant> row;
        for (int f = 0; f < 12; ++f)
            row << Variant(QStringLiteral("v"));
        data.AppendRecord(row);
    }
    data.Open();
    data.MoveTo(5);
    int pagesMade = 0;
    report.OnBeginPage = [&](QObject*, int, int) {
        if (++pagesMade == 2)
            report.RequestCancel();
    };
    report.Prepare();
    EXPECT_TRUE(report.Cancelled());
    EXPECT_FALSE(report.Prepared());
    EXPECT_EQ(report.Pages().Count(), 0);
    EXPECT_EQ(pagesMade, 2); // no page of a later bar was begun
    EXPECT_EQ(data.RecNo(), 5);
    EXPECT_FALSE(data.ControlsDisabled());
}

TEST_F(PrintDataTest, AnErrorRestoresTheDataSetToo)
{
    MakeOrders({{"A", 1}, {"B", 2}});
    data.MoveTo(2);
    TKVXACalculation* calc = AddSum(rtEndReport, QString());
    calc->SetFieldName(QStringLiteral("[Amount] +* 2"));
    EXPECT_THROW(report.Prepare(), EKVXError);
    EXPECT_EQ(data.RecNo(), 2);
    EXPECT_FALSE(data.ControlsDisabled());
    TKVXACalculation* grouped = AddSum(rtEndGroup, QString());
    calc->SetFieldName(QStringLiteral("[Amount]"));
    grouped->Calculation()->SetResetGroup(QStringLiteral("Nope"));
    EXPECT_THROW(report.Prepare(), EKVXError);
}

TEST_F(PrintDataTest, SelectedRecordsOfTheGridOnly)
{
    MakeOrders({{"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}});
    TKVXDataGrid grid;
    grid.SetDataSet(&data);
    grid.SetSelectedRecords({3, 1, 99}); // unordered, and one past the data
    report.SetColumnSource(csDBGrid);
    report.SetDBGrid(&grid);
    report.SetSelectedRecord(true);
    report.Header()->Clear();
    report.Footer()->Clear();
    report.Prepare();
    EXPECT_EQ(TextsOf(*report.Pages().Items(0)), (QStringList{"Customer", "Amount", "B", "2", "D", "4"}));
}
