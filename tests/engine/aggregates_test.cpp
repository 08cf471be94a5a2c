// Running values during generation: the five aggregates, their reset at the
// end of the report, of a page or column and of a group, and variables that
// recompute on each other's changes, read back from the printed pages.
#include "engine/engine_test_support.h"

namespace vorel {
namespace {

using testing::EngineTest;

class AggregatesTest : public EngineTest {
protected:
    // Values printed by the control in order over all pages: the texts that
    // follow each "D" marker of a detail row.
    QStringList Column(int left = 400)
    {
        QStringList values;
        for (int page = 0; page < report->Pages().Count(); ++page)
            for (const testing::PageItem& item : Texts(page))
                if (item.X == 48 + left + testing::kInset)
                    values << item.Text;
        return values;
    }
    void ValueRows(const QList<double>& values, const QStringList& groups = {})
    {
        for (int i = 0; i < values.size(); ++i)
            data->AppendRecord({i + 1, groups.isEmpty() ? QStringLiteral("A") : groups[i], {}, values[i]});
        data->Open();
    }
};

TEST_F(AggregatesTest, DetailAggregatesTakeEachRecordInTurn)
{
    struct Case {
        TCalcType calc;
        QList<double> values;
        QStringList printed;
    };
    // Average is the mean of every value seen (the classic rule took the
    // mean of the running value and the new one: 2, 3, 4.5).
    const QList<Case> cases = {
        {ctSum, {1, 2, 3}, {"1", "3", "6"}},
        {ctCount, {7, 7, 0}, {"1", "2", "3"}},
        {ctAverage, {2, 4, 6}, {"2", "3", "4"}},
        {ctHighest, {-5, -3}, {"-5", "-3"}},
        {ctLowest, {3, 5}, {"3", "3"}},
        {ctNothing, {1.5, 2}, {"1.5", "2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.calc));
        MakeReport();
        ValueRows(c.values);
        Aggregate(Detail(20), QStringLiteral("[Val]"), c.calc, rtEndReport);
        Prepare();
        EXPECT_EQ(Column(), c.printed);
    }
}

// The values row i's average has seen: those since its last restart.
int AverageCount(int i, TResetType reset)
{
    switch (reset) {
    case rtEndPage: return i % 8 + 1;
    case rtEndGroup: return i % 3 + 1;
    default: return i + 1;
    }
}

TEST_F(AggregatesTest, EveryAggregateRestartsAtItsResetPoint)
{
    // Ten rows, eight to a page (100 pixels each), groups of three; every
    // aggregate with every reset, checked against a running value kept here:
    // it starts afresh with the first record after its reset point.
    const QList<double> values = {5, 3, 8, 1, 9, 2, 7, 4, 6, 10};
    QStringList groups;
    for (int i = 0; i < values.size(); ++i)
        groups << QStringLiteral("G%1").arg(i / 3);
    auto expected = [&](TCalcType calc, TResetType reset) {
        QStringList printed;
        double running = 0;
        double sum = 0; // of the values since the restart, for the average
        bool empty = true;
        for (int i = 0; i < values.size(); ++i) {
            const bool restart = i == 0 || (reset == rtEndPage && i % 8 == 0) || (reset == rtEndGroup && i % 3 == 0);
            if (restart) {
                empty = true;
                sum = 0;
            }
            const double n = values[i];
            sum += n;
            switch (calc) {
            case ctCount: running = empty ? 1 : running + 1; break;
            case ctSum: running = empty ? n : running + n; break;
            case ctAverage: running = sum / AverageCount(i, reset); break;
            case ctLowest: running = empty ? n : std::min(running, n); break;
            case ctHighest: running = empty ? n : std::max(running, n); break;
            default: break;
            }
            empty = false;
            printed << QString::number(running, 'g', 15);
        }
        return printed;
    };
    for (const TCalcType calc : {ctCount, ctSum, ctAverage, ctLowest, ctHighest})
        for (const TResetType reset : {rtEndReport, rtEndPage, rtEndGroup}) {
            SCOPED_TRACE(::testing::Message() << "calc " << int(calc) << ", reset " << int(reset));
            MakeReport();
            ValueRows(values, groups);
            Group(QStringLiteral("[Grp]"), 0, 0);
            Aggregate(Detail(100), QStringLiteral("[Val]"), calc, reset,
                      reset == rtEndGroup ? QStringLiteral("[Grp]") : QString());
            Prepare();
            EXPECT_EQ(Column(), expected(calc, reset));
        }
}

TEST_F(AggregatesTest, GroupFooterAggregatesRestartForEachGroup)
{
    ValueRows({1, 2, 3, 10, 20}, {"A", "A", "A", "B", "B"});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 20);
    TKVXBand* footer = FooterOf(header);
    Expr(footer, QStringLiteral("'F' + [Grp]"));
    Aggregate(footer, QStringLiteral("[Val]"), ctSum, rtEndGroup, QStringLiteral("[Grp]"));
    Aggregate(footer, QStringLiteral("[Val]"), ctCount, rtEndGroup, QStringLiteral("[Grp]"), 500);
    Aggregate(footer, QStringLiteral("[Val]"), ctHighest, rtEndGroup, QStringLiteral("[Grp]"), 600);
    // A running count over the whole report, not reset by the groups.
    Aggregate(footer, QStringLiteral("[Val]"), ctCount, rtEndReport, QString(), 700);
    Detail(20);
    TKVXBand* summary = Band(btReportSummary, 20);
    Aggregate(summary, QStringLiteral("[Val]"), ctSum, rtEndReport);
    Aggregate(summary, QStringLiteral("[Val]"), ctCount, rtEndReport, QString(), 500);
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2 D3 FA 6 3 3 3 D4 D5 FB 30 2 20 5 36 5")});
}

TEST_F(AggregatesTest, NestedGroupFootersResetOnlyTheirOwnGroup)
{
    data->AppendRecord({1, QStringLiteral("A"), QStringLiteral("x"), 1.0});
    data->AppendRecord({2, QStringLiteral("A"), QStringLiteral("y"), 2.0});
    data->AppendRecord({3, QStringLiteral("A"), QStringLiteral("y"), 4.0});
    data->AppendRecord({4, QStringLiteral("B"), QStringLiteral("y"), 8.0});
    data->Open();
    TKVXBand* outer = Group(QStringLiteral("[Grp]"), 0, 20);
    TKVXBand* inner = Group(QStringLiteral("[Sub]"), 0, 20);
    Expr(FooterOf(inner), QStringLiteral("'/' + [Sub]"));
    Aggregate(FooterOf(inner), QStringLiteral("[Val]"), ctSum, rtEndGroup, QStringLiteral("[Sub]"));
    Expr(FooterOf(outer), QStringLiteral("'//' + [Grp]"));
    Aggregate(FooterOf(outer), QStringLiteral("[Val]"), ctSum, rtEndGroup, QStringLiteral("[Grp]"));
    Detail(20);
    Prepare();
    // The outer change closes the inner group "y" too (4 + ... = 6 for A),
    // and B's inner "y" starts afresh.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 /x 1 D2 D3 /y 6 //A 7 D4 /y 8 //B 8")});
}

TEST_F(AggregatesTest, PageResetsRestartWithTheFirstRecordOfEachPage)
{
    // Eight 100-pixel rows a page.
    QList<double> values;
    for (int i = 1; i <= 10; ++i)
        values << i;
    ValueRows(values);
    TKVXBand* detail = Detail(100);
    Aggregate(detail, QStringLiteral("[Val]"), ctSum, rtEndPage);
    Aggregate(detail, QStringLiteral("[Val]"), ctCount, rtEndPage, QString(), 500);
    // A ResetGroup makes it a group reset's business: a page leaves it alone.
    Aggregate(detail, QStringLiteral("[Val]"), ctCount, rtEndPage, QStringLiteral("[Grp]"), 600);
    Prepare();
    EXPECT_EQ(Column(), (QStringList{"1", "3", "6", "10", "15", "21", "28", "36", "9", "19"}));
    EXPECT_EQ(Column(500), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "1", "2"}));
    EXPECT_EQ(Column(600), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
}

TEST_F(AggregatesTest, ColumnsResetPageAggregatesToo)
{
    QList<double> values;
    for (int i = 1; i <= 10; ++i)
        values << i;
    ValueRows(values);
    report->SetColumnNumber(2);
    TKVXBand* detail = Detail(200); // four a column
    Aggregate(detail, QStringLiteral("[Val]"), ctCount, rtEndPage, QString(), 200);
    Prepare();
    // Columns 432 pixels wide: the second column's values stand 432 further right.
    QStringList printed;
    for (int page = 0; page < report->Pages().Count(); ++page)
        for (const testing::PageItem& item : Texts(page))
            if (item.X == 48 + 200 + testing::kInset || item.X == 48 + 432 + 200 + testing::kInset)
                printed << item.Text;
    EXPECT_EQ(printed, (QStringList{"1", "2", "3", "4", "1", "2", "3", "4", "1", "2"}));
}

// Page totals are the page's, column totals the column's: a new column
// restarts the column footer's page-reset sum but not the page footer's.
TEST_F(AggregatesTest, PageFooterTotalsRunOverTheColumnsOfTheirPage)
{
    QList<double> values;
    for (int i = 1; i <= 10; ++i)
        values << i;
    ValueRows(values);
    report->SetColumnNumber(2);
    Detail(200); // four a column, eight a page
    Aggregate(Band(btColumnFooter, 32), QStringLiteral("[Val]"), ctSum, rtEndPage, QString(), 300);
    Aggregate(Band(btPageFooter, 32), QStringLiteral("[Val]"), ctSum, rtEndPage, QString(), 500);
    Prepare();
    // The footers take 64 of 864 pixels: four rows a column. Column sums
    // 1..4 = 10 and 5..8 = 26, page sums 36 and 9 + 10 = 19.
    auto at = [&](int page, int x) {
        QStringList out;
        for (const testing::PageItem& item : Texts(page))
            if (item.X == 48 + x + testing::kInset)
                out << item.Text;
        return out;
    };
    ASSERT_EQ(report->Pages().Count(), 2);
    EXPECT_EQ(at(0, 300) + at(0, 432 + 300), (QStringList{"10", "26"}));
    EXPECT_EQ(at(0, 500), QStringList{"36"});
    EXPECT_EQ(at(1, 500), QStringList{"19"});
}

TEST_F(AggregatesTest, DetailGroupResetsRestartWithTheGroupsFirstRecord)
{
    ValueRows({1, 2, 10, 20}, {"A", "A", "B", "B"});
    Group(QStringLiteral("[Grp]"), 0, 0);
    TKVXBand* detail = Detail(20);
    Aggregate(detail, QStringLiteral("[Val]"), ctSum, rtEndGroup, QStringLiteral("[Grp]"));
    Prepare();
    EXPECT_EQ(Column(), (QStringList{"1", "3", "10", "30"}));
}

TEST_F(AggregatesTest, AVariableRecomputesWhenTheVariableItWatchesChanges)
{
    ValueRows({1, 2, 3, 4, 5}, {"A", "A", "B", "B", "C"});
    TKVXVariable* group = report->Variables()->Add();
    group->SetName(QStringLiteral("CurGroup"));
    group->SetExpression(QStringLiteral("[Grp]"));
    TKVXVariable* changes = report->Variables()->Add();
    changes->SetName(QStringLiteral("Changes"));
    changes->SetExpression(QStringLiteral("1"));
    changes->Calculation()->SetCalcType(ctCount);
    changes->Calculation()->SetCalculate(rcVariableChange);
    changes->Calculation()->SetVariableChange(QStringLiteral("curgroup")); // names ignore case
    TKVXBand* detail = Detail(20);
    Expr(detail, QStringLiteral("Changes"), 400);
    // An expression that recomputes only when the variable changes keeps
    // its value in between.
    TKVXExpression* onChange = Expr(detail, QStringLiteral("[Id]"), 500);
    onChange->Calculation()->SetCalculate(rcVariableChange);
    onChange->Calculation()->SetVariableChange(QStringLiteral("Changes"));
    Prepare();
    EXPECT_EQ(Column(), (QStringList{"1", "1", "2", "2", "3"}));
    EXPECT_EQ(Column(500), (QStringList{"1", "1", "3", "3", "5"}));
}

TEST_F(AggregatesTest, VariablesSeeTheRecordTheBandsPrint)
{
    ValueRows({1, 2, 3, 10}, {"A", "A", "A", "B"});
    TKVXVariable* net = report->Variables()->Add();
    net->SetName(QStringLiteral("Net"));
    net->SetExpression(QStringLiteral("[Val] * 2"));
    TKVXVariable* total = report->Variables()->Add();
    total->SetName(QStringLiteral("Total"));
    total->SetExpression(QStringLiteral("[Val]"));
    total->Calculation()->SetCalcType(ctSum);
    TKVXVariable* perGroup = report->Variables()->Add();
    perGroup->SetName(QStringLiteral("InGroup"));
    perGroup->SetExpression(QStringLiteral("[Val]"));
    perGroup->Calculation()->SetCalcType(ctCount);
    perGroup->Calculation()->SetResetType(rtEndGroup);
    perGroup->Calculation()->SetResetGroup(QStringLiteral("[Grp]"));
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 20);
    Expr(FooterOf(header), QStringLiteral("[Grp] + ': ' + InGroup"));
    TKVXBand* detail = Detail(20);
    Expr(detail, QStringLiteral("Net"), 400);
    Expr(Band(btReportSummary, 20), QStringLiteral("'Total ' + Total"));
    Prepare();
    EXPECT_EQ(Column(), (QStringList{"2", "4", "6", "20"}));
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 2 D2 4 D3 6 A: 3 D4 20 B: 1 Total 16")});
}

TEST_F(AggregatesTest, AVariableThatTriggersItselfIsRecomputedOncePerTrigger)
{
    ValueRows({1, 2, 3});
    // A group-change calculation without a group is recomputed by every
    // trigger that names no group, its own change included; through a
    // second variable the change comes back round as well.
    TKVXVariable* self = report->Variables()->Add();
    self->SetName(QStringLiteral("Self"));
    self->SetExpression(QStringLiteral("1"));
    self->Calculation()->SetCalcType(ctCount);
    self->Calculation()->SetCalculate(rcGroupChange);
    TKVXVariable* echo = report->Variables()->Add();
    echo->SetName(QStringLiteral("Echo"));
    echo->SetExpression(QStringLiteral("1"));
    echo->Calculation()->SetCalcType(ctCount);
    echo->Calculation()->SetCalculate(rcVariableChange);
    echo->Calculation()->SetVariableChange(QStringLiteral("Self"));
    TKVXBand* detail = Detail(20);
    Expr(detail, QStringLiteral("Self"), 400);
    Expr(detail, QStringLiteral("Echo"), 500);
    Prepare();
    EXPECT_EQ(Column(), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(Column(500), (QStringList{"1", "2", "3"}));
}

TEST_F(AggregatesTest, ANonNumericValueCountsAsZeroAndAnEvaluationErrorKeepsTheRunningValue)
{
    data->AppendRecord({1, QStringLiteral("x"), {}, 5.0});
    data->AppendRecord({2, QStringLiteral("y"), {}, 0.0});
    data->AppendRecord({3, QStringLiteral("z"), {}, 7.0});
    data->Open();
    TKVXBand* detail = Detail(20);
    Aggregate(detail, QStringLiteral("[Grp]"), ctSum, rtEndReport);
    Aggregate(detail, QStringLiteral("10 / [Val]"), ctSum, rtEndReport, QString(), 500);
    Prepare();
    EXPECT_EQ(Column(), (QStringList{"0", "0", "0"}));
    // 10 / 0 fails: the sum stays 2 for that record.
    EXPECT_EQ(Column(500), (QStringList{"2", "2", "3.42857142857143"}));
}

// A variable holding a sum is a number in an expression beside a number
// (it was read as a date and stopped the report) and text beside a text.
TEST_F(AggregatesTest, AVariablesSumComputesInExpressions)
{
    ValueRows({10, 20, 18});
    TKVXVariable* total = report->Variables()->Add();
    total->SetName(QStringLiteral("SubTotal"));
    total->SetExpression(QStringLiteral("[Val]"));
    total->Calculation()->SetCalcType(ctSum);
    Detail(20);
    TKVXBand* summary = Band(btReportSummary, 20);
    Expr(summary, QStringLiteral("SubTotal * 0.5"), 400);
    Expr(summary, QStringLiteral("'Total ' + SubTotal"), 600);
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2 D3 24 Total 48")});
}

} // namespace
} // namespace vorel
