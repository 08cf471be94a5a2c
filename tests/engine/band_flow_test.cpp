// Which bands print, on which page, in what order: groups, page and column
// breaks, page bands, titles and summaries, read back from the page
// metafiles.
#include "engine/engine_test_support.h"

namespace vorel {
namespace {

using testing::EngineTest;
using testing::kBodyBottom;
using testing::kBodyTop;
using testing::kInset;

class BandFlowTest : public EngineTest {};

TEST_F(BandFlowTest, AnEmptyDataSetPrintsTitleSummaryAndPageBandsButNoDataBands)
{
    data->Open(); // no rows
    Label(Band(btReportTitle, 30), QStringLiteral("Title"));
    Label(Band(btPageHeader, 30), QStringLiteral("PH"));
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 30, 30);
    Label(header, QStringLiteral("GH"));
    Label(FooterOf(header), QStringLiteral("GF"));
    Detail();
    Label(Band(btPageFooter, 30), QStringLiteral("PF"));
    Label(Band(btReportSummary, 30), QStringLiteral("Sum"));
    Prepare();
    // The page footer paints when its page ends, after everything else.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("Title PH Sum PF")});
}

TEST_F(BandFlowTest, TwoGroupsPrintHeaderDetailFooterInTurn)
{
    Rows({{1, QStringLiteral("A"), {}, 1.0}, {2, QStringLiteral("B"), {}, 2.0}});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Expr(FooterOf(header), QStringLiteral("'F' + [Grp]"));
    Detail(20);
    Prepare();
    // The footer shows the values of its group's last record although it
    // prints after the master moved on.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("HA D1 FA HB D2 FB")});
}

TEST_F(BandFlowTest, AnOuterChangeClosesTheInnerGroupToo)
{
    // The inner value stays "x" while the outer one changes: the inner
    // footer prints, then the outer one, and both headers open again.
    Rows({{1, QStringLiteral("A"), QStringLiteral("x"), 1.0}, {2, QStringLiteral("B"), QStringLiteral("x"), 2.0}});
    TKVXBand* outer = Group(QStringLiteral("[Grp]"), 20, 20);
    TKVXBand* inner = Group(QStringLiteral("[Sub]"), 20, 20);
    Expr(outer, QStringLiteral("'O' + [Grp]"));
    Expr(inner, QStringLiteral("'I' + [Sub]"));
    Expr(FooterOf(outer), QStringLiteral("'/O' + [Grp]"));
    Expr(FooterOf(inner), QStringLiteral("'/I' + [Sub]"));
    Detail(20);
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("OA Ix D1 /Ix /OA OB Ix D2 /Ix /OB")});
}

TEST_F(BandFlowTest, GroupHeaderNewPageBreaksOnlyAfterADetail)
{
    Rows({{1, QStringLiteral("A"), {}, 1.0}, {2, QStringLiteral("B"), {}, 2.0}});
    Label(Band(btPageHeader, 20), QStringLiteral("PH"));
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    header->SetNewPage(true);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Detail(20);
    Prepare();
    // The first group stays on the first page: nothing printed there yet.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("PH HA D1"), QStringLiteral("PH HB D2")}));
}

TEST_F(BandFlowTest, LessThanMovesTheHeaderWhenLessSpaceIsLeft)
{
    // Table: details before the second group, and what is left for it.
    struct Case {
        int details;   // 100-pixel details of group A
        double lessThan;
        bool moves;
    };
    // After 8 details 64 pixels are left; after 7, 164; the header itself is 20.
    for (const Case& c : {Case{7, 100, false}, Case{7, 164, false}, Case{7, 165, true}, Case{8, 100, true}}) {
        SCOPED_TRACE(::testing::Message() << c.details << " details, LessThan " << c.lessThan);
        MakeReport();
        for (int i = 1; i <= c.details; ++i)
            data->AppendRecord({i, QStringLiteral("A"), {}, double(i)});
        data->AppendRecord({99, QStringLiteral("B"), {}, 99.0});
        data->Open();
        TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 0);
        header->SetLessThan(c.lessThan);
        FooterOf(header)->SetHeight(0);
        Expr(header, QStringLiteral("'H' + [Grp]"));
        Detail();
        Prepare();
        const QStringList pages = PageTexts();
        ASSERT_EQ(pages.size(), c.moves ? 2 : 1);
        EXPECT_EQ(pages.last().startsWith(QStringLiteral("HB")), c.moves);
    }
}

TEST_F(BandFlowTest, LessThanHundredWithEightyLeftStartsANewPage)
{
    // 864 - 784 = 80 pixels left after a 784-pixel detail.
    Rows({{1, QStringLiteral("A"), {}, 1.0}, {2, QStringLiteral("B"), {}, 2.0}});
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 0);
    header->SetLessThan(100);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Detail(784);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("HA D1"), QStringLiteral("HB D2")}));
}

TEST_F(BandFlowTest, TwoColumnsFillTheSecondColumnBeforeANewPage)
{
    NumberedRows(20);
    report->SetColumnNumber(2);
    report->SetColumnSpace(64); // column width (864 - 64) / 2 = 400
    Label(Band(btPageHeader, 64), QStringLiteral("PH"));
    Label(Band(btColumnHeader, 32), QStringLiteral("CH"));
    Label(Band(btColumnFooter, 32), QStringLiteral("CF"));
    Label(Band(btPageFooter, 64), QStringLiteral("PF"));
    Detail(100);
    Prepare();
    // Between the page bands 864 - 128 = 736 pixels; the column bands take
    // 64 of them, leaving 672: six details a column, twelve a page.
    const QStringList pages = PageTexts();
    ASSERT_EQ(pages.size(), 2);
    // Column and page footers paint when their column or page ends.
    EXPECT_EQ(pages[0], QStringLiteral("PH CH D1 D2 D3 D4 D5 D6 CF CH D7 D8 D9 D10 D11 D12 CF PF"));
    EXPECT_EQ(XOf(0, QStringLiteral("D1")), 48 + kInset);
    EXPECT_EQ(XOf(0, QStringLiteral("D7")), 48 + 400 + 64 + kInset);
    EXPECT_EQ(YOf(0, QStringLiteral("D7")), YOf(0, QStringLiteral("D1"))) << "every column starts at the same top";
    EXPECT_EQ(YOf(0, QStringLiteral("D1")), kBodyTop + 64 + 32 + kInset);
    EXPECT_EQ(pages[1], QStringLiteral("PH CH D13 D14 D15 D16 D17 D18 CF CH D19 D20 CF PF"));
}

TEST_F(BandFlowTest, ASingleColumnPrintsNoColumnBands)
{
    NumberedRows(2);
    Label(Band(btColumnHeader, 32), QStringLiteral("CH"));
    Label(Band(btColumnFooter, 32), QStringLiteral("CF"));
    Detail(20);
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2")});
}

TEST_F(BandFlowTest, PageBandsWithoutNewPageSkipTheFirstPageOfEachBar)
{
    NumberedRows(9);
    TKVXBand* header = Band(btPageHeader, 32);
    header->SetNewPage(false);
    Label(header, QStringLiteral("PH"));
    TKVXBand* footer = Band(btPageFooter, 32);
    footer->SetNewPage(false);
    Label(footer, QStringLiteral("PF"));
    Detail(100);
    Prepare();
    // Page 1: 8 details in 864 pixels; page 2 loses 64 to the page bands.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 D2 D3 D4 D5 D6 D7 D8"), QStringLiteral("PH D9 PF")}));
}

TEST_F(BandFlowTest, ATitleWithNewPageStandsAloneOnTheFirstPage)
{
    NumberedRows(2);
    TKVXBand* title = Band(btReportTitle, 40);
    title->SetNewPage(true);
    Label(title, QStringLiteral("Title"));
    Label(Band(btPageHeader, 20), QStringLiteral("PH"));
    Detail(20);
    QList<int> begun, ended;
    report->OnBeginColumn = [&](QObject*, int column) { begun << column; };
    report->OnEndColumn = [&](QObject*, int column) { ended << column; };
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("Title PH"), QStringLiteral("PH D1 D2")}));
    EXPECT_EQ(YOf(0, QStringLiteral("PH")), kBodyTop + 40 + kInset) << "the page header follows the title";
    // The title's page is a column that begins and ends once; the last
    // column of the bar gets no end.
    EXPECT_EQ(begun, (QList<int>{0, 0}));
    EXPECT_EQ(ended, QList<int>{0});
}

TEST_F(BandFlowTest, ASummaryWithNewPageTakesAPageOfItsOwn)
{
    NumberedRows(1);
    Detail(20);
    TKVXBand* summary = Band(btReportSummary, 20);
    summary->SetNewPage(true);
    Label(summary, QStringLiteral("Sum"));
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1"), QStringLiteral("Sum")}));
}

TEST_F(BandFlowTest, ReprintHeaderRepeatsAContinuingGroupOnly)
{
    // Group A runs over a page break, group B starts on a fresh page.
    for (int i = 1; i <= 10; ++i)
        data->AppendRecord({i, QStringLiteral("A"), {}, double(i)});
    for (int i = 11; i <= 18; ++i)
        data->AppendRecord({i, QStringLiteral("B"), {}, double(i)});
    data->Open();
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 64, 0);
    header->SetReprintHeader(true);
    header->SetNewPage(true);
    Expr(header, QStringLiteral("'H' + [Grp]"));
    Detail(100);
    Prepare();
    // Each page holds the 64-pixel header and eight 100-pixel details.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("HA D1 D2 D3 D4 D5 D6 D7 D8"),
                                        QStringLiteral("HA D9 D10"), // group A continues: its header again
                                        QStringLiteral("HB D11 D12 D13 D14 D15 D16 D17 D18")}));
    EXPECT_EQ(YOf(1, QStringLiteral("D9")), kBodyTop + 64 + kInset);
}

TEST_F(BandFlowTest, ABandThatFillsThePageToTheLastPixelStays)
{
    // Table: detail height, records, pages expected.
    struct Case {
        int height;
        int rows;
        int pages;
    };
    // 864 = 2 x 432 exactly; 433 leaves the second row one pixel short. A
    // band taller than the whole body is not moved off an empty page: the
    // next page would be just as short.
    for (const Case& c : {Case{432, 2, 1}, Case{433, 2, 2}, Case{864, 1, 1}, Case{865, 1, 1}, Case{865, 2, 2}}) {
        SCOPED_TRACE(::testing::Message() << c.rows << " rows of " << c.height);
        MakeReport();
        NumberedRows(c.rows);
        Detail(c.height);
        Prepare();
        EXPECT_EQ(report->GetNumPages(), c.pages);
    }
}

TEST_F(BandFlowTest, AClosingGroupFooterThatDoesNotFitMovesToTheNextPage)
{
    // 8 details fill 800 of 864 pixels; the footer (100) does not fit. The
    // data is at its end, but the footer moves like any band rather than
    // run below the page's bottom (over the page footer).
    NumberedRows(8);
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 100);
    Label(FooterOf(header), QStringLiteral("GF"));
    Detail(100);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 D2 D3 D4 D5 D6 D7 D8"), QStringLiteral("GF")}));
    EXPECT_EQ(YOf(1, QStringLiteral("GF")), kBodyTop + kInset);
}

TEST_F(BandFlowTest, AGroupFooterThatDoesNotFitMidReportMovesToTheNextPage)
{
    for (int i = 1; i <= 8; ++i)
        data->AppendRecord({i, QStringLiteral("A"), {}, double(i)});
    data->AppendRecord({9, QStringLiteral("B"), {}, 9.0});
    data->Open();
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 0, 100);
    Expr(FooterOf(header), QStringLiteral("'F' + [Grp]"));
    Detail(100);
    Prepare();
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 D2 D3 D4 D5 D6 D7 D8"), QStringLiteral("FA D9 FB")}));
}

TEST_F(BandFlowTest, ATallBandMovesOnceAndIsPaintedAnyway)
{
    NumberedRows(3);
    Detail(1000); // taller than the 864-pixel body
    Prepare();
    // Each page takes one detail, painted past the bottom; none is left
    // without a page and generation ends.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("D1"), QStringLiteral("D2"), QStringLiteral("D3")}));
}

TEST_F(BandFlowTest, FramedControlsOfAStretchingBandEndAtItsBottomWhateverTheirTop)
{
    NumberedRows(2);
    TKVXBand* detail = Detail(60);
    detail->SetStretch(true);
    for (const int top : {0, 30}) {
        TKVXLabel* caption = Label(detail, QStringLiteral("caption %1").arg(top), 0, top, 100, 15);
        caption->Frame()->SetFBottom(true);
    }
    Band(btReportSummary, 20);
    Prepare();
    // The band is as tall as its lowest text (30 + 15 and a little); every
    // frame line of its two captions lies on the band's bottom edge, none
    // in the next record's band.
    const int first = YOf(0, QStringLiteral("D1")) - kInset, second = YOf(0, QStringLiteral("D2")) - kInset;
    std::vector<int> bottoms;
    for (const testing::PageItem& item : testing::PageItems(*report->Pages().Items(0)->Data))
        if (item.Kind == u"line")
            bottoms.push_back(item.Y);
    ASSERT_EQ(bottoms.size(), 4U);
    EXPECT_EQ(bottoms[0], bottoms[1]);
    EXPECT_LE(bottoms[1], second);
    EXPECT_GT(bottoms[1], first + 30);
    EXPECT_EQ(bottoms[2], bottoms[3]);
}

TEST_F(BandFlowTest, AHiddenDetailStillAdvancesTheRecord)
{
    NumberedRows(4);
    TKVXBand* detail = Detail(20);
    detail->KVPrintWhen()->SetHideWhen(QStringLiteral("[Id] = 2"));
    Expr(Band(btReportSummary, 20), QStringLiteral("'last ' + INTTOSTR([Id])"));
    Prepare();
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D3 D4 last 4")});
    EXPECT_EQ(YOf(0, QStringLiteral("D3")), kBodyTop + 20 + kInset) << "the hidden band takes no height";
}

TEST_F(BandFlowTest, PageBandsShowTheRecordThatOpensThePageAndItsNumber)
{
    NumberedRows(10);
    Expr(Band(btPageHeader, 20), QStringLiteral("'from ' + INTTOSTR([Id]) + ' on page ' + INTTOSTR(PageNo)"));
    TKVXBand* footer = Band(btPageFooter, 20);
    Expr(footer, QStringLiteral("'page ' + INTTOSTR(PageNo)"));
    // A page-level running count advances with every record printed.
    Aggregate(footer, QStringLiteral("1"), ctCount, rtEndReport);
    Detail(100);
    Prepare();
    // 824 pixels between the page bands: eight rows a page. The footer
    // takes its page number when its page begins and paints when it ends,
    // so its count runs to the last row of its page.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("from 1 on page 1 D1 D2 D3 D4 D5 D6 D7 D8 page 1 8"),
                                        QStringLiteral("from 9 on page 2 D9 D10 page 2 10")}));
}

TEST_F(BandFlowTest, OutlinesRecordEachPaintedBand)
{
    NumberedRows(9);
    TKVXBand* detail = Detail(100);
    detail->SetOutlineExpression(QStringLiteral("'Row ' + INTTOSTR([Id])"));
    Prepare();
    TKVXOutlines* outlines = report->Outlines();
    ASSERT_EQ(outlines->Count(), 9) << "one entry per painted band, none for measuring";
    EXPECT_EQ(outlines->GetOutline(0)->Text(), QStringLiteral("Row 1"));
    EXPECT_EQ(outlines->GetOutline(8)->Text(), QStringLiteral("Row 9"));
    EXPECT_EQ(outlines->GetOutline(8)->PageNo(), 1);
    EXPECT_EQ(outlines->GetOutline(8)->Top(), kBodyTop);
    EXPECT_EQ(outlines->GetOutline(7)->Top(), kBodyTop + 700);
}

TEST_F(BandFlowTest, SubDetailBandsWalkTheirOwnDataSetForEachMasterRecord)
{
    NumberedRows(2);
    TMemoryDataSet* lines = RowsOf(QStringLiteral("Lines"), QStringLiteral("Item"), ftWideString,
                                   {QStringLiteral("x"), QStringLiteral("y")});
    TMemoryDataSet* notes = RowsOf(QStringLiteral("Notes"), QStringLiteral("Note"), ftWideString, {QStringLiteral("n")});
    Detail(20);
    TKVXBand* sub = Band(btSubDetail, 20);
    sub->SetDataset(lines);
    Expr(sub, QStringLiteral("'L' + Lines.Item"));
    TKVXBand* sub2 = Band(btSubDetail, 20);
    sub2->SetDataset(notes);
    Expr(sub2, QStringLiteral("'N' + Notes.Note"));
    Prepare();
    // The master moves once per record, after the last sub-detail band.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 Lx Ly Nn D2 Lx Ly Nn")});
}

// A band that keeps a design height taller than the page does not lose
// its lower part: what lies below the cut continues on the next page, at
// its distance from the cut, and the next band follows what is left of
// the band's height. Nothing is drawn over the page footer.
TEST_F(BandFlowTest, AFixedBandTallerThanThePageContinuesBelowTheCut)
{
    NumberedRows(2);
    Label(Band(btPageFooter, 32), QStringLiteral("PF"));
    TKVXBand* detail = Detail(1200);
    detail->SetStretch(false);
    Label(detail, QStringLiteral("Top"));
    Label(detail, QStringLiteral("Low"), 0, 1000);
    Prepare();
    // 832 pixels above the footer: "Low" (at 1000) lands 168 below the top
    // of page 2, and the band ends 1200 - 832 = 368 pixels down it.
    ASSERT_EQ(PageTexts(), (QStringList{QStringLiteral("D1 Top PF"), QStringLiteral("Low PF"),
                                        QStringLiteral("D2 Top PF"), QStringLiteral("Low PF")}));
    EXPECT_EQ(YOf(1, QStringLiteral("Low")), kBodyTop + 168 + kInset);
    EXPECT_EQ(detail->LineNo(), 1) << "counted once per print, and reset after the report";
}

} // namespace
} // namespace vorel
