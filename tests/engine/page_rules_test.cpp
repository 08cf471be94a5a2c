// Where pages break and what a band shows there, in the cases a review
// of the engine found wrong: headers and footers around page breaks, bands
// that ask for new pages, the lookahead measuring what the loop prints,
// page bands over columns, bars with suppressed repeated values.
#include "engine/engine_test_support.h"

namespace vorel {
namespace {

using testing::EngineTest;
using testing::kBodyTop;
using testing::kInset;

class PageRulesTest : public EngineTest {};

TEST_F(PageRulesTest, NestedHeadersWithNewPageShareTheirPage)
{
    Rows({{1, QStringLiteral("A"), QStringLiteral("x"), 1.0}, {2, QStringLiteral("A"), QStringLiteral("y"), 2.0},
          {3, QStringLiteral("B"), QStringLiteral("z"), 3.0}});
    TKVXBand* outer = Group(QStringLiteral("[Grp]"), 20, 20);
    outer->SetNewPage(true);
    TKVXBand* inner = Group(QStringLiteral("[Sub]"), 20, 20);
    inner->SetNewPage(true);
    Expr(outer, QStringLiteral("'O' + [Grp]"));
    Expr(inner, QStringLiteral("'I' + [Sub]"));
    Detail(20);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("OA Ix D1"), QStringLiteral("Iy D2"), QStringLiteral("OB Iz D3")}));
}

TEST_F(PageRulesTest, ATallBandOnAFirstPageWithMoreRoomLeavesNoBlankPage)
{
    NumberedRows(1);
    TKVXBand* header = Band(btPageHeader, 100);
    header->SetNewPage(false);
    Label(header, QStringLiteral("PH"));
    TKVXBand* detail = Detail(900);
    detail->SetStretch(false);
    Prepare();
    const QStringList pages = PageTexts();
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_TRUE(pages.first().contains(QStringLiteral("D1"))) << pages.join(QStringLiteral(" | ")).toStdString();
}

// A footer that moves to the next page after the master left its group
// (mid-report, and at the end of the data) gets its header repeated above
// it, showing its own group.
TEST_F(PageRulesTest, AReprintedHeaderAboveItsMovedFooterShowsItsOwnGroup)
{
    for (const bool nextGroup : {true, false}) {
        SCOPED_TRACE(nextGroup);
        MakeReport();
        for (int i = 1; i <= 8; ++i)
            data->AppendRecord({i, QStringLiteral("A"), {}, double(i)});
        if (nextGroup)
            data->AppendRecord({9, QStringLiteral("B"), {}, 9.0});
        data->Open();
        TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 50);
        header->SetReprintHeader(true);
        Expr(header, QStringLiteral("'H' + [Grp]"));
        Expr(FooterOf(header), QStringLiteral("'F' + [Grp]"));
        Detail(100);
        Prepare();
        EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("HA D1 D2 D3 D4 D5 D6 D7 D8"),
                                            nextGroup ? QStringLiteral("HA FA HB D9 FB") : QStringLiteral("HA FA")}));
    }
}

TEST_F(PageRulesTest, KeptGroupsWithSubDetailRowsSumTheirLines)
{
    Rows({{1, QStringLiteral("A"), {}, 1.0}, {2, QStringLiteral("B"), {}, 2.0}, {3, QStringLiteral("C"), {}, 3.0}});
    TMemoryDataSet* lines = RowsOf(QStringLiteral("Lines"), QStringLiteral("Amt"), ftFloat, {1.0, 2.0, 3.0});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    header->SetNewPageIfNotFit(true);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Aggregate(FooterOf(header), QStringLiteral("Lines.Amt"), ctSum, rtEndGroup, QStringLiteral("[Grp]"));
    Detail(20);
    TKVXBand* sub = Band(btSubDetail, 100);
    sub->SetDataset(lines);
    Expr(sub, QStringLiteral("'L' + FLOATTOSTR(Lines.Amt)"));
    TKVXBand* pf = Band(btPageFooter, 20);
    Aggregate(pf, QStringLiteral("Lines.Amt"), ctSum, rtEndPage);
    Prepare();
    // Group: 20 + 20 + 300 + 20 = 360; two fit in 844.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("HA D1 L1 L2 L3 6 HB D2 L1 L2 L3 6 12"),
                                        QStringLiteral("HC D3 L1 L2 L3 6 6")}));
}

TEST_F(PageRulesTest, AGroupFooterPageCountCountsTheFirstRecordOfThePage)
{
    NumberedRows(3);
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 20);
    Aggregate(FooterOf(header), QStringLiteral("1"), ctCount, rtEndPage);
    Detail(20);
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2 D3 3")});
}

TEST_F(PageRulesTest, ADetailWithNewPageBeforeAnEmptyClosingFooterEndsOnItsLastRecord)
{
    NumberedRows(2);
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 0);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Detail(20)->SetNewPage(true);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("HG1 D1"), QStringLiteral("D2")}));
}

TEST_F(PageRulesTest, ADetailWithNewPageBeforeAHiddenSummaryEndsOnItsLastRecord)
{
    NumberedRows(2);
    Detail(20)->SetNewPage(true);
    TKVXBand* summary = Band(btReportSummary, 20);
    summary->SetNewPage(true);
    summary->KVPrintWhen()->SetShowIf(QStringLiteral("1 = 2"));
    Label(summary, QStringLiteral("Sum"));
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1"), QStringLiteral("D2")}));
}

TEST_F(PageRulesTest, AGroupFooterNamesThePageItPrintsOn)
{
    NumberedRows(9);
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 20);
    Expr(FooterOf(header), QStringLiteral("'F' + INTTOSTR(PageNo)"));
    Detail(100);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 D2 D3 D4 D5 D6 D7 D8"), QStringLiteral("D9 F2")}));
}

TEST_F(PageRulesTest, RepeatedValuesPrintAgainAtTheTopOfANewPage)
{
    NumberedRows(10);
    TKVXBand* detail = Detail(100);
    TKVXExpression* grp = Expr(detail, QStringLiteral("[Grp]"), 400);
    grp->KVPrintWhen()->SetRepeatedValues(false);
    grp->KVPrintWhen()->SetRePrintOnNewPage(true);
    TKVXExpression* grp2 = Expr(detail, QStringLiteral("'x' + [Grp]"), 600);
    grp2->KVPrintWhen()->SetRepeatedValues(false);
    grp2->KVPrintWhen()->SetOnOverflow(true);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 G1 xG1 D2 D3 D4 D5 D6 D7 D8"), QStringLiteral("D9 G1 xG1 D10")}));
}

TEST_F(PageRulesTest, TheLookaheadMeasuresSuppressedRepeatedValuesAsTheLoopPrintsThem)
{
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        MakeReport();
        for (int i = 1; i <= 12; ++i)
            data->AppendRecord({i, i <= 6 ? QStringLiteral("A") : QStringLiteral("B"), {}, double(i)});
        data->Open();
        TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
        header->SetNewPageIfNotFit(keep);
        Expr(header, QStringLiteral("'H' + [Grp]"));
        TKVXBand* detail = Detail(20);
        detail->SetStretch(true);
        TKVXExpression* big = Expr(detail, QStringLiteral("[Grp]"), 400, 0, 300, 20);
        big->Font()->SetSize(72);
        big->KVPrintWhen()->SetRepeatedValues(false);
        Prepare();
        const QStringList pages = PageTexts();
        EXPECT_EQ(pages.size(), 1) << pages.join(QStringLiteral(" | ")).toStdString();
        EXPECT_LT(YOf(0, QStringLiteral("D12")), 600);
    }
}

TEST_F(PageRulesTest, TheLookaheadCountsDetailLinesAsTheLoopDoes)
{
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        MakeReport();
        for (int i = 1; i <= 9; ++i)
            data->AppendRecord({i, i == 1 ? QStringLiteral("A") : QStringLiteral("B"), {}, double(i)});
        data->Open();
        TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
        header->SetNewPageIfNotFit(keep);
        Expr(header, QStringLiteral("'H' + [Grp]"));
        Detail(100)->KVPrintWhen()->SetHideWhen(QStringLiteral("DetailNo > 3"));
        Prepare();
        EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("HA D1 HB D2 D3")});
    }
}

TEST_F(PageRulesTest, APageFooterOverColumnsShowsTheRecordThatOpenedItsPage)
{
    NumberedRows(8);
    report->SetColumnNumber(2);
    Detail(200);
    Expr(Band(btPageFooter, 32), QStringLiteral("'first ' + INTTOSTR([Id])"));
    Prepare();
    ASSERT_EQ(report->Pages().Count(), 1);
    EXPECT_TRUE(PageTexts().first().endsWith(QStringLiteral("first 1"))) << PageTexts().first().toStdString();
}

TEST_F(PageRulesTest, BarsBreakTheirPagesAtTheSameRowsWithSuppressedRepeatedValues)
{
    NumberedRows(30);
    report->SetBarNumber(2);
    TKVXBand* detail = Detail(20);
    detail->SetStretch(true);
    TKVXExpression* big = Expr(detail, QStringLiteral("[Grp]"), 400, 0, 300, 20);
    big->Font()->SetSize(72);
    big->KVPrintWhen()->SetRepeatedValues(false);
    Expr(detail, QStringLiteral("'E' + INTTOSTR([Id])"), testing::kBodyWidth + 10);
    Prepare();
    ASSERT_EQ(report->GetNumBars(), 2);
    const int perBar = report->Pages().Count() / 2;
    EXPECT_EQ(report->Pages().Count() % 2, 0) << PageTexts().join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(PageTexts().at(perBar).startsWith(QStringLiteral("E1 "))) << PageTexts().join(QStringLiteral(" | ")).toStdString();
}

TEST_F(PageRulesTest, ADetailWithNewPageKeepsItsSubDetailRowsOnItsPage)
{
    NumberedRows(2);
    TMemoryDataSet* lines = RowsOf(QStringLiteral("Lines"), QStringLiteral("Item"), ftWideString,
                                   {QStringLiteral("x"), QStringLiteral("y")});
    Detail(20)->SetNewPage(true);
    TKVXBand* sub = Band(btSubDetail, 20);
    sub->SetDataset(lines);
    Expr(sub, QStringLiteral("'L' + Lines.Item"));
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 Lx Ly"), QStringLiteral("D2 Lx Ly")}));
}

// A footer placed on a later page than its values were taken on takes
// again only what names the page: a group count kept in a variable (which
// has moved on to the next group's first record) stays its group's.
TEST_F(PageRulesTest, AFooterOnTheNextPageKeepsItsGroupsVariableCount)
{
    for (int i = 1; i <= 9; ++i)
        data->AppendRecord({i, QStringLiteral("A"), {}, double(i)});
    data->AppendRecord({10, QStringLiteral("B"), {}, 10.0});
    data->Open();
    TKVXVariable* count = report->Variables()->Add();
    count->SetName(QStringLiteral("Orders"));
    count->SetExpression(QStringLiteral("1"));
    count->Calculation()->SetCalcType(ctCount);
    count->Calculation()->SetResetType(rtEndGroup);
    count->Calculation()->SetResetGroup(QStringLiteral("[Grp]"));
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 20);
    Expr(FooterOf(header), QStringLiteral("[Grp] + ': ' + Orders + ' on ' + INTTOSTR(PageNo)"));
    Detail(100);
    Prepare();
    // Eight rows a page: A's ninth row and its footer stand on page 2.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 D2 D3 D4 D5 D6 D7 D8"),
                                        QStringLiteral("D9 A: 9 on 2 D10 B: 1 on 2")}));
}

} // namespace
} // namespace vorel
