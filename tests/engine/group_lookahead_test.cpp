// Keeping a group together (NewPageIfNotFit) through the group lookahead,
// and the reports whose record walk would never end if nothing moved the
// master: no detail band, a group walked only by a nested group's
// lookahead, bands read in an order that keeps the detail out of a group.
#include "engine/engine_test_support.h"

namespace vorel {
namespace {

using testing::EngineTest;
using testing::kBodyTop;
using testing::kInset;

// Counts the record loop's polls of the cancel flag: a loop that never
// ends polls it for ever, so after far more polls than any report here
// needs it throws instead of letting the test hang.
class PollCountingInterface : public THeadlessUserInterface {
public:
    int Polls = 0;
    bool ProgressCanceled() override
    {
        if (++Polls > 100000)
            throw EKVXError(QStringLiteral("endless record loop"));
        return false;
    }
};

class GroupLookaheadTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        SetUserInterface(&ui);
        Guard();
    }
    void TearDown() override
    {
        SetUserInterface(nullptr);
        EngineTest::TearDown();
    }
    PollCountingInterface ui;
    // A lookahead walk that does not end would hang the test: fail it
    // instead after far more band prints, or print-when refreshes (one a
    // pass, in the walk too), than any of these reports needs.
    void Guard()
    {
        prints = 0;
        report->BeforeBandPrint = [this](QObject*, TKVXControl*, bool) {
            if (++prints > 100000)
                throw EKVXError(QStringLiteral("endless generation"));
        };
        refreshes = 0;
        report->OnGetVariable = [this](QObject*, const QString& name, bool& accept, TFieldType&, Variant& value) {
            if (name != QStringLiteral("Pass"))
                return;
            if (++refreshes > 100000)
                throw EKVXError(QStringLiteral("endless walk"));
            accept = true;
            value = Variant(1);
        };
    }
    void Prepare()
    {
        // The first band's print-when condition counts the passes.
        if (TKVXBand* first = report->GetBand(0); first && first->KVPrintWhen()->ShowIf().isEmpty())
            first->KVPrintWhen()->SetShowIf(QStringLiteral("Pass = 1"));
        EngineTest::Prepare();
    }
    void GroupRows(const QList<QPair<QString, int>>& groups)
    {
        int id = 0;
        for (const auto& [group, count] : groups)
            for (int i = 0; i < count; ++i) {
                ++id;
                data->AppendRecord({id, group, QStringLiteral("s%1").arg((id - 1) / 2), double(id)});
            }
        data->Open();
    }
    int prints = 0;
    int refreshes = 0;
};

TEST_F(GroupLookaheadTest, AGroupThatWouldNotFitStartsOnTheNextPage)
{
    // Table: rows of group A before group B (3 rows, 20 + 300 + 20 = 340).
    struct Case {
        int before; // 100-pixel rows of group A
        bool moves;
    };
    // After group A (20 + rows + 20), the room left is 864 - 40 - rows.
    for (const Case& c : {Case{4, false}, Case{5, true}, Case{1, false}}) {
        SCOPED_TRACE(c.before);
        MakeReport();
        Guard();
        GroupRows({{QStringLiteral("A"), c.before}, {QStringLiteral("B"), 3}});
        TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
        header->SetNewPageIfNotFit(true);
        Expr(header, QStringLiteral("'H' + [Grp]"));
        Detail(100);
        Prepare();
        const QStringList pages = PageTexts();
        ASSERT_EQ(pages.size(), c.moves ? 2 : 1);
        EXPECT_EQ(pages.last().startsWith(QStringLiteral("HB")), c.moves);
    }
}

TEST_F(GroupLookaheadTest, TheLookaheadPutsValuesLinesAndPositionBack)
{
    GroupRows({{QStringLiteral("A"), 3}, {QStringLiteral("B"), 3}});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    header->SetNewPageIfNotFit(true);
    TKVXBand* footer = FooterOf(header);
    Aggregate(footer, QStringLiteral("[Val]"), ctSum, rtEndGroup, QStringLiteral("[Grp]"));
    TKVXBand* detail = Detail(100);
    Aggregate(detail, QStringLiteral("[Val]"), ctSum, rtEndReport, QString(), 200);
    auto* line = Add<TKVXSysData>(detail, 600, 0, 100, 15);
    line->SetSysData(sdDetailNo);
    Prepare();
    // Without the restore the lookahead's records would be counted twice.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 1 1 D2 3 2 D3 6 3 6 D4 10 4 D5 15 5 D6 21 6 15")});
    EXPECT_EQ(header->LinkedBand(), header->GetLinkedFooterIndex());
}

TEST_F(GroupLookaheadTest, NestedGroupsKeptTogetherMeasureEachOtherOnce)
{
    // Outer A holds inner s0 (ids 1-2) and s1 (3-4); outer B holds s2 (5-6).
    GroupRows({{QStringLiteral("A"), 4}, {QStringLiteral("B"), 2}});
    TKVXBand* outer = Group(QStringLiteral("[Grp]"), 20, 20);
    outer->SetNewPageIfNotFit(true);
    TKVXBand* inner = Group(QStringLiteral("[Sub]"), 20, 20);
    inner->SetNewPageIfNotFit(true);
    Expr(outer, QStringLiteral("'O' + [Grp]"));
    Expr(inner, QStringLiteral("'I' + [Sub]"));
    Detail(150);
    Prepare();
    // Outer A needs 20 + 2 x (20 + 300 + 20) + 20 = 720 of 864: it fits.
    // Outer B (420) does not fit in the 144 left, so it moves whole.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("OA Is0 D1 D2 Is1 D3 D4"), QStringLiteral("OB Is2 D5 D6")}));
}

TEST_F(GroupLookaheadTest, AnInnerGroupThatDoesNotFitMovesAlone)
{
    GroupRows({{QStringLiteral("A"), 6}});
    TKVXBand* outer = Group(QStringLiteral("[Grp]"), 20, 20);
    outer->SetNewPageIfNotFit(true);
    TKVXBand* inner = Group(QStringLiteral("[Sub]"), 20, 20);
    inner->SetNewPageIfNotFit(true);
    Expr(inner, QStringLiteral("'I' + [Sub]"));
    Detail(150);
    Prepare();
    // Each inner group takes 340; two fit under the outer header (20 + 680),
    // the third moves.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("Is0 D1 D2 Is1 D3 D4"), QStringLiteral("Is2 D5 D6")}));
}

TEST_F(GroupLookaheadTest, AReportWithoutDetailBandStillEnds)
{
    GroupRows({{QStringLiteral("A"), 2}, {QStringLiteral("B"), 3}});
    Label(Band(btPageHeader, 20), QStringLiteral("PH"));
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Expr(FooterOf(header), QStringLiteral("'F' + [Grp]"));
    Aggregate(FooterOf(header), QStringLiteral("[Val]"), ctCount, rtEndGroup, QStringLiteral("[Grp]"));
    Prepare();
    // Each record passes as if an empty detail band printed it.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("PH HA FA 2 HB FB 3")});
}

TEST_F(GroupLookaheadTest, AReportOfPageBandsOnlyEnds)
{
    GroupRows({{QStringLiteral("A"), 3}});
    Label(Band(btPageHeader, 20), QStringLiteral("PH"));
    Expr(Band(btReportSummary, 20), QStringLiteral("'last ' + INTTOSTR([Id])"));
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("PH last 3")});
}

TEST_F(GroupLookaheadTest, AKeptGroupWithoutDetailBandMeasuresAndEnds)
{
    GroupRows({{QStringLiteral("A"), 2}, {QStringLiteral("B"), 2}});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 500, 20);
    header->SetNewPageIfNotFit(true);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Prepare();
    // 520 a group: the second does not fit under the first.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("HA"), QStringLiteral("HB")}));
}

TEST_F(GroupLookaheadTest, AGroupWalkedOnlyByItsInnerGroupEnds)
{
    // Bands in the order a form may store them: the detail after every
    // footer, so between the outer header and its footer only the inner
    // group stands and no band there moves the master.
    GroupRows({{QStringLiteral("A"), 3}, {QStringLiteral("B"), 2}});
    auto make = [&](TBandType type, const QString& expression, int height) {
        auto* band = new TKVXBand(report.get());
        band->SetBandType(type);
        band->SetExpression(expression);
        band->SetHeight(height);
        band->SetWidth(testing::kBodyWidth);
        band->SetNewPageIfNotFit(type == btGroupHeader);
        report->AppendBandAsRead(band);
        return band;
    };
    Expr(make(btGroupHeader, QStringLiteral("[Grp]"), 20), QStringLiteral("'O' + [Grp]"));
    Expr(make(btGroupHeader, QStringLiteral("[Sub]"), 20), QStringLiteral("'I' + [Sub]"));
    make(btGroupFooter, QStringLiteral("[Sub]"), 20);
    make(btGroupFooter, QStringLiteral("[Grp]"), 20);
    Expr(make(btDetail, QString(), 20), QStringLiteral("'D' + INTTOSTR([Id])"));
    Prepare();
    // What such a report prints is its own business; it prints every record
    // once and ends.
    const QString all = PageTexts().join(u' ');
    for (int id = 1; id <= 5; ++id)
        EXPECT_EQ(all.count(QStringLiteral("D%1").arg(id)), 1) << all.toStdString();
    EXPECT_LT(prints, 1000);
}

// The lookahead runs the record loop's own band step, so a header's NewPage
// does not cut its measure short: its group measures what it prints.
TEST_F(GroupLookaheadTest, GetFullGroupHeightOfAHeaderWithNewPageMeasuresItsGroup)
{
    GroupRows({{QStringLiteral("A"), 2}});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    header->SetNewPageIfNotFit(true);
    header->SetNewPage(true);
    Detail(100);
    int measured = -1;
    report->AfterBandPrint = [&](QObject*, TKVXControl* band, bool pre, bool&) {
        if (!pre && band == header)
            measured = header->GetFullGroupHeight(report->intCurHeight, report->intMaxPageHeight);
    };
    Prepare();
    EXPECT_EQ(measured, 20 + 2 * 100 + 20);
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2")});
    EXPECT_EQ(YOf(0, QStringLiteral("D1")), kBodyTop + 20 + kInset);
}

} // namespace
} // namespace vorel
