// What a generation leaves behind and what it raises: bars, band and
// control events, the data set's position, failures in the middle of a
// report, two passes for "page N of M", cancellation and parameters.
#include "engine/engine_test_support.h"

#include <thread>

namespace vorel {
namespace {

using testing::EngineTest;
using testing::kBodyTop;
using testing::kBodyWidth;
using testing::kInset;

class GenerationTest : public EngineTest {};

TEST_F(GenerationTest, MissingOrClosedDataSetIsReportedBeforeAnyPage)
{
    Detail();
    report->SetDataSet(nullptr);
    try {
        report->PrepareReport();
        FAIL() << "no error";
    } catch (const EKVXError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Property DataSet wasn't specified."));
    }
    report->SetDataSet(data); // closed
    try {
        report->PrepareReport();
        FAIL() << "no error";
    } catch (const EKVXError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Dataset is not active."));
    }
    EXPECT_EQ(report->Pages().Count(), 0);
}

TEST_F(GenerationTest, TheDataSetReturnsToItsRecordAndTheReportToRest)
{
    NumberedRows(5);
    Detail(20);
    data->MoveTo(3);
    bool disabledWhileGenerating = false;
    report->AfterBandPrint = [&](QObject*, TKVXControl*, bool, bool&) {
        disabledWhileGenerating = data->ControlsDisabled();
        EXPECT_EQ(report->ReportState(), rsPrepare);
    };
    Prepare();
    EXPECT_TRUE(disabledWhileGenerating);
    EXPECT_EQ(data->RecNo(), 3);
    EXPECT_FALSE(data->ControlsDisabled());
    EXPECT_EQ(report->ReportState(), rsNone);
    EXPECT_EQ(report->intCurPage, 0);
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2 D3 D4 D5")});
}

TEST_F(GenerationTest, AFailureMidReportRestoresStatePositionAndControls)
{
    // Table: where the failure comes from.
    enum Source { Handler, ParseError, PrintWhen };
    for (const Source source : {Handler, ParseError, PrintWhen}) {
        SCOPED_TRACE(int(source));
        MakeReport();
        NumberedRows(5);
        TKVXBand* detail = Detail(20);
        data->MoveTo(2);
        switch (source) {
        case Handler:
            report->AfterBandPrint = [&](QObject*, TKVXControl*, bool, bool&) {
                if (data->RecNo() == 4)
                    throw EKVXError(QStringLiteral("handler failed"));
            };
            break;
        case ParseError:
            // Raised by the first evaluation, after the report began.
            Expr(detail, QStringLiteral("'x' + "));
            break;
        case PrintWhen: detail->KVPrintWhen()->SetShowIf(QStringLiteral("[Nope] > 1")); break;
        }
        EXPECT_THROW(Prepare(), EKVXError);
        EXPECT_EQ(report->ReportState(), rsNone);
        EXPECT_EQ(data->RecNo(), 2);
        EXPECT_FALSE(data->ControlsDisabled());
        // The next preparation starts clean.
        report->AfterBandPrint = nullptr;
        detail->KVPrintWhen()->SetShowIf(QString());
        if (source != ParseError) {
            Prepare();
            EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2 D3 D4 D5")});
        }
    }
}

TEST_F(GenerationTest, PreparingTheReportFromItsOwnEventIsRefused)
{
    NumberedRows(3);
    Detail(20);
    QString inner;
    report->AfterBandPrint = [&](QObject*, TKVXControl*, bool, bool&) {
        try {
            report->PrepareReport();
        } catch (const EKVXError& e) {
            inner = e.Message();
            throw;
        }
    };
    EXPECT_THROW(Prepare(), EKVXError);
    EXPECT_EQ(inner, QStringLiteral("Report Report is already being prepared"));
    EXPECT_EQ(report->ReportState(), rsNone);
    EXPECT_EQ(data->RecNo(), 1);
}

TEST_F(GenerationTest, EveryBarPrintsTheSameRecordsWithItsOwnControls)
{
    NumberedRows(10);
    report->SetBarNumber(2);
    TKVXBand* header = Band(btPageHeader, 20);
    header->SetStretch(true);
    Label(header, QStringLiteral("left"), 0, 0, 300, 15);
    // 1.5 bar widths across: on the second bar, half way; 40 + 2 x frame
    // width high, since it does not stretch to its text.
    Label(header, QStringLiteral("right"), kBodyWidth * 3 / 2, 0, 300, 40)->SetStretch(false);
    TKVXBand* detail = Detail(100);
    Expr(detail, QStringLiteral("'E' + INTTOSTR([Id])"), kBodyWidth + 10);
    Prepare();
    ASSERT_EQ(report->GetNumBars(), 2);
    // Bar 0: pages 1-2, bar 1: pages 1-2, in that order in the list.
    EXPECT_EQ(PageTexts(), (QStringList{QStringLiteral("left D1 D2 D3 D4 D5 D6 D7 D8"), QStringLiteral("left D9 D10"),
                                        QStringLiteral("right E1 E2 E3 E4 E5 E6 E7 E8"),
                                        QStringLiteral("right E9 E10")}));
    EXPECT_EQ(XOf(2, QStringLiteral("right")), 48 + kBodyWidth / 2 + kInset);
    EXPECT_EQ(XOf(2, QStringLiteral("E1")), 48 + 10 + kInset);
    // The header measures every bar's controls: as tall on both bars.
    EXPECT_EQ(YOf(0, QStringLiteral("D1")), kBodyTop + 42 + kInset);
    EXPECT_EQ(YOf(2, QStringLiteral("E1")), kBodyTop + 42 + kInset);
    EXPECT_EQ(report->GetPage(1, 1)->intNumBar, 1);
}

TEST_F(GenerationTest, AbortAfterTheFirstControlSkipsTheRest)
{
    NumberedRows(2);
    TKVXBand* stretching = Band(btDetail, 100);
    stretching->SetStretch(true);
    TKVXLabel* first = Label(stretching, QStringLiteral("first"), 0, 0, 300, 15);
    Label(stretching, QStringLiteral("second"), 0, 50, 300, 15);
    TKVXBand* fixed = Band(btDetail, 70);
    TKVXLabel* third = Label(fixed, QStringLiteral("third"), 0, 0, 300, 15);
    Label(fixed, QStringLiteral("fourth"), 0, 20, 300, 15);
    QStringList events;
    report->BeforeControlPrint = [&](QObject*, TKVXControl* c, bool pre) {
        events << (pre ? QStringLiteral("m:") : QStringLiteral("p:")) + c->DisplayName();
    };
    report->AfterControlPrint = [&](QObject*, TKVXControl* c, bool, bool& abort) {
        abort = c == first || c == third;
    };
    Prepare();
    // Two detail bands: each pass prints both and moves the master twice.
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("first third")});
    // The stretching band is as tall as its first control (its text line
    // and twice the frame width); the fixed one keeps its design height.
    const int lineHeight = TTextMeasurer::Face(*first->Font())->Height();
    EXPECT_EQ(YOf(0, QStringLiteral("third")), kBodyTop + lineHeight + 2 + kInset);
    EXPECT_EQ(events, (QStringList{QStringLiteral("m:first"), QStringLiteral("p:first"), QStringLiteral("m:third"),
                                   QStringLiteral("p:third")}));
}

TEST_F(GenerationTest, BandEventsSeeMeasuringThenPaintingAndHiddenBandsRaiseNoAfterEvent)
{
    NumberedRows(2);
    TKVXBand* detail = Detail(20);
    detail->KVPrintWhen()->SetHideWhen(QStringLiteral("[Id] = 2"));
    QStringList events;
    report->BeforeBandPrint = [&](QObject*, TKVXControl*, bool pre) { events << (pre ? "before m" : "before p"); };
    report->AfterBandPrint = [&](QObject*, TKVXControl*, bool pre, bool& abort) {
        abort = true; // ignored
        events << (pre ? "after m" : "after p");
    };
    Prepare();
    EXPECT_EQ(events, (QStringList{"before m", "after m", "before p", "after p", "before m", "before p"}));
    EXPECT_EQ(detail->LineNo(), 1) << "reset at the end; counted measurings while generating";
}

TEST_F(GenerationTest, TwoPassesNumberPagesOfTheirTotal)
{
    // Table: rows, pages expected.
    for (const auto& [rows, pages] : {std::pair{20, 3}, std::pair{8, 1}, std::pair{0, 1}}) {
        SCOPED_TRACE(rows);
        MakeReport();
        NumberedRows(rows);
        report->SetTwoPass(true);
        TKVXBand* footer = Band(btPageFooter, 0);
        Expr(footer, QStringLiteral("'Page ' + INTTOSTR(PageNo) + ' of ' + INTTOSTR(PageCount)"));
        auto* number = Add<TKVXSysData>(footer, 400, 0, 100, 15);
        number->SetSysData(sdPageNo);
        auto* count = Add<TKVXSysData>(footer, 500, 0, 100, 15);
        count->SetSysData(sdPageCount);
        Detail(100);
        Prepare();
        ASSERT_EQ(report->GetNumPages(), pages);
        for (int p = 1; p <= pages; ++p) {
            const QString expected = QStringLiteral("Page %1 of %2").arg(p).arg(pages);
            EXPECT_TRUE(PageTexts()[p - 1].endsWith(expected + QStringLiteral(" %1 %2").arg(p).arg(pages)))
                << PageTexts()[p - 1].toStdString();
        }
    }
}

// Controls painted in full in every pass, as before the first pass of two
// learnt to leave out what nobody sees: the yardstick of the test below.
class TFullyPaintedLabel : public TKVXLabel {
public:
    using TKVXLabel::TKVXLabel;
    bool PaintUnseen() override { return false; }
};
class TFullyPaintedExpression : public TKVXExpression {
public:
    using TKVXExpression::TKVXExpression;
    bool PaintUnseen() override { return false; }
};

// The first pass of two paints no control of a band that keeps its height;
// what painting does beyond the page must still happen there, or the
// second pass starts from another state: a label whose repetition is
// suppressed remembers it was shown (pass 2 then never shows it), and
// highlights ask for their variables.
TEST_F(GenerationTest, TheCountingPassLeavesWhatPaintingWouldLeave)
{
    QStringList pages[2];
    int lookups[2] = {0, 0};
    for (const bool full : {false, true}) {
        MakeReport();
        NumberedRows(30);
        report->SetTwoPass(true);
        TKVXBand* detail = Band(btDetail, 100);
        TKVXLabel* once = full ? new TFullyPaintedLabel(report.get()) : new TKVXLabel(report.get());
        once->MoveToBand(detail);
        once->SetDisplayName(QStringLiteral("Once"));
        once->KVPrintWhen()->SetRepeatedValues(false);
        TKVXExpression* value = full ? new TFullyPaintedExpression(report.get()) : new TKVXExpression(report.get());
        value->MoveToBand(detail);
        value->SetLeft(300);
        value->SetExpression(QStringLiteral("'D' + INTTOSTR([Id])"));
        value->GetHighLights()->Add()->SetExpression(QStringLiteral("[Id] > Limit"));
        report->OnGetVariable = [&lookups, full](QObject*, const QString& name, bool& accept, TFieldType& type,
                                                 Variant& result) {
            if (name.compare(QStringLiteral("Limit"), Qt::CaseInsensitive) != 0)
                return;
            ++lookups[full];
            accept = true;
            type = ftInteger;
            result = Variant(20);
        };
        Expr(Band(btPageFooter, 20), QStringLiteral("'Page ' + INTTOSTR(PageNo) + ' of ' + INTTOSTR(PageCount)"));
        Prepare();
        pages[full] = PageTexts();
    }
    EXPECT_EQ(pages[0], pages[1]);
    EXPECT_EQ(lookups[0], lookups[1]);
    ASSERT_EQ(pages[0].size(), 4);
    EXPECT_TRUE(pages[0][0].startsWith(QStringLiteral("D1 D2"))) << pages[0][0].toStdString();
    EXPECT_TRUE(pages[0][0].endsWith(QStringLiteral("Page 1 of 4"))) << pages[0][0].toStdString();
    EXPECT_FALSE(pages[0].join(u' ').contains(QStringLiteral("Once")));
}

// A control class derived from the library's may do more in Draw than
// paint (here: count), so the first pass paints it in full.
class TCountingLabel : public TKVXLabel {
public:
    using TKVXLabel::TKVXLabel;
    int Painted = 0;
    int Draw(TCanvas& canvas, TRect& rect, int tallestSoFar, unsigned flags) override
    {
        if (!(flags & DT_CALCRECT))
            ++Painted;
        return TKVXLabel::Draw(canvas, rect, tallestSoFar, flags);
    }
};

TEST_F(GenerationTest, TheCountingPassPaintsControlsOfOtherClassesInFull)
{
    NumberedRows(3);
    report->SetTwoPass(true);
    TKVXBand* detail = Band(btDetail, 20);
    auto* counting = new TCountingLabel(report.get());
    counting->MoveToBand(detail);
    Prepare();
    EXPECT_EQ(counting->Painted, 6) << "three records in each pass";
}

TEST_F(GenerationTest, ACancelRequestEndsTheRecordsButNotTheReport)
{
    NumberedRows(10);
    report->SetAnimatedStatus(true);
    HeadlessUserInterface()->SetProgressOutput([](const QByteArray&) {}, false);
    TKVXBand* header = Group(QStringLiteral("[Grp]"), 20, 20);
    Label(FooterOf(header), QStringLiteral("GF"));
    Detail(20);
    Label(Band(btReportSummary, 20), QStringLiteral("Sum"));
    report->AfterBandPrint = [&](QObject*, TKVXControl* band, bool pre, bool&) {
        if (!pre && band->GetParentBand() == nullptr && data->RecNo() == 3)
            HeadlessUserInterface()->RequestCancel();
    };
    QStringList generated;
    report->OnEndDoc = [&](QObject*) { generated = PageTexts(); };
    Prepare();
    HeadlessUserInterface()->ResetProgressOutput();
    // The record being printed when the request came completes its detail;
    // its group footer does not print, the summary does.
    EXPECT_EQ(generated, QStringList{QStringLiteral("D1 D2 D3 Sum")});
    EXPECT_EQ(data->RecNo(), 1);
    // The preparation then counts as cancelled and keeps none of its pages.
    EXPECT_TRUE(report->Cancelled());
    EXPECT_FALSE(report->Prepared());
    EXPECT_EQ(report->Pages().Count(), 0);
}

TEST_F(GenerationTest, ARequestFromAnotherThreadEndsTheRecordsAndTheSecondPass)
{
    NumberedRows(10);
    report->SetAnimatedStatus(false);
    report->SetTwoPass(true);
    Detail(20);
    int detailsPainted = 0;
    report->AfterBandPrint = [&](QObject*, TKVXControl* band, bool pre, bool&) {
        const auto* painted = qobject_cast<const TKVXBand*>(band);
        if (pre || !painted || painted->BandType() != btDetail)
            return;
        if (++detailsPainted == 2)
            std::thread([this] { report->RequestCancel(); }).join();
    };
    Prepare();
    EXPECT_EQ(detailsPainted, 2) << "no record after the request, no second pass";
    EXPECT_TRUE(report->Cancelled());
    EXPECT_EQ(report->Pages().Count(), 0);

    // The next preparation starts afresh.
    detailsPainted = -100;
    Prepare();
    EXPECT_FALSE(report->Cancelled());
    EXPECT_EQ(PageTexts().join(u' ').count(u'D'), 10);
}

// A user interface that answers the parameter dialog and counts the asks.
class AnsweringInterface : public THeadlessUserInterface {
public:
    TDialogResult Answer = TDialogResult::Accepted;
    int Asked = 0;
    TDialogResult ShowParameterDialog(TParameterDialogModel&) override
    {
        ++Asked;
        return Answer;
    }
};

TEST_F(GenerationTest, ParametersAreAskedOncePerPreparationAndACancelGeneratesNothing)
{
    NumberedRows(2);
    Detail(20);
    TKVXParameter* parameter = report->Parameters()->Add();
    parameter->SetName(QStringLiteral("Title"));
    parameter->SetValue(QStringLiteral("T"));
    report->SetTwoPass(true);
    AnsweringInterface ui;
    SetUserInterface(&ui);
    Prepare();
    EXPECT_EQ(ui.Asked, 1) << "the second pass uses the first pass's answers";
    EXPECT_EQ(PageTexts(), QStringList{QStringLiteral("D1 D2")});

    ui.Answer = TDialogResult::Cancelled;
    ui.Asked = 0;
    report->FreePages();
    Prepare(); // no error
    SetUserInterface(nullptr);
    EXPECT_EQ(ui.Asked, 1);
    EXPECT_EQ(report->Pages().Count(), 0) << "neither pass generated";
    EXPECT_EQ(report->ReportState(), rsNone);
    EXPECT_TRUE(report->Cancelled()) << "a cancelled parameter dialog cancels the preparation";
}

TEST_F(GenerationTest, PrintBandNeedsAPage)
{
    TKVXBand* detail = Detail();
    EXPECT_THROW(detail->PrintBand(0, 100, DT_CALCRECT), EKVXError);
}

} // namespace
} // namespace vorel
