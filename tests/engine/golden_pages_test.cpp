// Whole reports against golden page listings (tests/data/golden/), so a
// change in where anything lands shows as a readable diff. After an
// intended change: VOREL_UPDATE_GOLDEN=1 ./build/tests/vorel_test_engine
// --gtest_filter='GoldenPages*', then review the diff of the .expected.txt files.
#include "engine/engine_test_support.h"

#include "model/shapes.h"

namespace vorel {
namespace {

using testing::EngineTest;
using testing::kBodyWidth;

class GoldenPagesTest : public EngineTest {};

TEST_F(GoldenPagesTest, GroupedListingWithTotalsAndPageOfPages)
{
    // 3 groups of 5, 9 and 4 rows; 60-pixel details run the second group
    // over a page break, where its header is printed again.
    const QList<QPair<QString, int>> groups = {{QStringLiteral("Amber"), 5}, {QStringLiteral("Birch"), 9},
                                               {QStringLiteral("Cedar"), 4}};
    int id = 0;
    for (const auto& [name, count] : groups)
        for (int i = 0; i < count; ++i) {
            ++id;
            data->AppendRecord({id, name, QStringLiteral("item %1").arg(id), id * 1.25});
        }
    data->Open();
    report->SetTwoPass(true);

    TKVXBand* title = Band(btReportTitle, 40);
    Label(title, QStringLiteral("Stock by wood"), 0, 0, 400, 30)->Font()->SetSize(16);
    TKVXBand* pageHeader = Band(btPageHeader, 30);
    Label(pageHeader, QStringLiteral("Item"), 0, 4);
    TKVXLabel* amount = Label(pageHeader, QStringLiteral("Amount"), 664, 4, 200, 20);
    amount->SetAlignment(taRightJustify);
    auto* rule = Add<TKVXLine>(pageHeader, 0, 26, kBodyWidth, 2);
    rule->SetLineType(ltBottom);

    TKVXBand* header = Group(QStringLiteral("[Grp]"), 40, 30);
    header->SetReprintHeader(true);
    header->SetLessThan(150);
    Expr(header, QStringLiteral("'Group ' + [Grp]"), 0, 10);
    TKVXBand* footer = FooterOf(header);
    Expr(footer, QStringLiteral("[Grp] + ' total'"), 0, 5);
    TKVXExpression* groupSum = Aggregate(footer, QStringLiteral("[Val]"), ctSum, rtEndGroup, QStringLiteral("[Grp]"));
    groupSum->SetLeft(664);
    groupSum->SetWidth(200);
    groupSum->SetAlignment(taRightJustify);
    groupSum->SetFormat(QStringLiteral("@N @ND2 @NS. @NT, @NR0.01 "));
    auto* box = Add<TKVXRectangle>(footer, 600, 0, kBodyWidth - 600, 28);
    box->SetObjectPosition(opTopBand);

    TKVXBand* detail = Band(btDetail, 60);
    Expr(detail, QStringLiteral("[Sub]"), 20, 20);
    TKVXExpression* value = Expr(detail, QStringLiteral("[Val]"), 664, 0, 200, 20);
    value->SetAlignment(taRightJustify);
    value->SetFormat(QStringLiteral("@N @ND2 @NS. @NT, @NR0.01 "));
    value->SetObjectPosition(opCenterBand);
    TKVXExpression* running = Aggregate(detail, QStringLiteral("1"), ctCount, rtEndPage);
    running->SetObjectPosition(opBottomBand);

    TKVXBand* pageFooter = Band(btPageFooter, 24);
    TKVXExpression* pageNo =
        Expr(pageFooter, QStringLiteral("'Page ' + INTTOSTR(PageNo) + ' of ' + INTTOSTR(PageCount)"), 332, 4, 200, 20);
    pageNo->SetAlignment(taCenter);
    TKVXBand* summary = Band(btReportSummary, 40);
    Expr(summary, QStringLiteral("'Grand total'"), 0, 10);
    TKVXExpression* total = Aggregate(summary, QStringLiteral("[Val]"), ctSum, rtEndReport);
    total->SetLeft(664);
    total->SetWidth(200);
    total->SetTop(10);
    total->SetAlignment(taRightJustify);

    Prepare();
    ASSERT_EQ(report->GetNumPages(), 2);
    testing::ExpectGoldenText(QStringLiteral("engine_grouped_listing"), testing::DumpPages(*report));
}

} // namespace
} // namespace vorel
