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

class GoldenPagesTest : public EngineTest {
protected:
    struct TGroupedListing {
        TKVXBand* Header;
        TKVXBand* Detail;
        TKVXExpression* GroupSum;
    };
    TGroupedListing BuildGroupedListing();
};

GoldenPagesTest::TGroupedListing GoldenPagesTest::BuildGroupedListing()
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
    return {header, detail, groupSum};
}

TEST_F(GoldenPagesTest, GroupedListingWithTotalsAndPageOfPages)
{
    BuildGroupedListing();
    Prepare();
    ASSERT_EQ(report->GetNumPages(), 2);
    testing::ExpectGoldenText(QStringLiteral("engine_grouped_listing"), testing::DumpPages(*report));
}

// The counting pass of a two-pass report leaves the bands' running values
// uncomputed when nothing it runs can see them; the pages are those of a
// counting pass that computes them, and anything that could see them keeps
// them computed.
TEST_F(GoldenPagesTest, TheCountingPassSkipsRunningValuesOnlyWhereNothingSeesThem)
{
    const struct {
        const char* Name;
        std::function<void(TKVReport&, const TGroupedListing&)> Change;
        bool Skips;
    } cases[] = {
        {"as designed", [](TKVReport&, const TGroupedListing&) {}, true},
        {"a variable read by a print-when",
         [](TKVReport& r, const TGroupedListing& l) {
             TKVXVariable* seen = r.Variables()->Add();
             seen->SetName(QStringLiteral("Seen"));
             seen->SetExpression(QStringLiteral("[Val]"));
             seen->Calculation()->SetCalcType(ctSum);
             l.Detail->KVPrintWhen()->SetHideWhen(QStringLiteral("Seen > 40"));
         },
         true},
        {"a stretching band", [](TKVReport&, const TGroupedListing& l) { l.Detail->SetStretch(true); }, false},
        {"suppressed repeated values",
         [](TKVReport&, const TGroupedListing& l) { l.GroupSum->KVPrintWhen()->SetRepeatedValues(false); }, false},
        {"a highlight",
         [](TKVReport&, const TGroupedListing& l) {
             l.GroupSum->GetHighLights()->Add()->SetExpression(QStringLiteral("Value > 10"));
         },
         false},
        {"a band event",
         [](TKVReport& r, const TGroupedListing&) {
             r.BeforeBandPrint = [](QObject*, TKVXControl*, bool) {};
         },
         false},
    };
    for (const auto& c : cases) {
        QStringList pages[2];
        bool skipped[2] = {false, false};
        for (int skips = 0; skips < 2; ++skips) {
            MakeReport();
            const TGroupedListing listing = BuildGroupedListing();
            c.Change(*report, listing);
            report->SetSkipsUnseenValues(skips == 1);
            report->OnBeginPage = [&](QObject*, int, int) {
                if (report->PagesOnlyCounted())
                    skipped[skips] = skipped[skips] || report->ValuesUnseen();
            };
            Prepare();
            pages[skips] = QStringList{testing::DumpPages(*report)};
        }
        EXPECT_FALSE(skipped[0]) << c.Name;
        EXPECT_EQ(skipped[1], c.Skips) << c.Name;
        EXPECT_EQ(pages[1], pages[0]) << c.Name;
    }
}

} // namespace
} // namespace vorel
