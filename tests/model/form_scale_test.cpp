// Forms with very many controls: loading and freeing them takes time linear
// in their count (counted, not timed), and what a form may declare is
// bounded with an error that names the limit.
#include "model/model_test_support.h"

#include "foundation/forms/form_stream.h"
#include "foundation/values/limits.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <memory>

namespace vorel {
namespace {

using testing::EnsureModelRegistered;

// A label that notes whether it dies at the head of its owner's child list:
// QObject looks a dying child up from the front of that list, so a child
// freed anywhere else costs one step per child before it.
class TTeardownProbe : public TKVXLabel {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTeardownProbe(QObject* owner = nullptr) : TKVXLabel(owner) {}
    ~TTeardownProbe() override
    {
        if (parent() && parent()->children().first() != this)
            ++NotAtHead;
    }
    static inline int NotAtHead = 0;
};

QByteArray TextFormWithLabels(int bands, int labelsPerBand)
{
    QByteArray form = "object Report1: TKVReport\n";
    for (int b = 0; b < bands; ++b) {
        form += "  object TKVXBand\n    BandType = btDetail\n";
        for (int i = 0; i < labelsPerBand; ++i)
            form += "    object L" + QByteArray::number(b) + "_" + QByteArray::number(i) + ": TKVXLabel\n    end\n";
        form += "  end\n";
    }
    return form + "end\n";
}

class FormScaleTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureModelRegistered(); }
};

TEST_F(FormScaleTest, LoadingAndFreeingControlsSearchesTheBandListAFewTimesPerControl)
{
    // Each control used to be searched for in its band's whole list as it
    // joined the band and again as it was freed: 100,000 controls took 18 s.
    constexpr int kControls = 20'000;
    const QByteArray form = TextFormWithLabels(1, kControls);
    const std::uint64_t before = TKVXBand::SearchedElements();
    auto report = std::make_unique<TKVReport>();
    report->LoadReportFromBytes(form);
    ASSERT_EQ(report->Bands().size(), 1);
    ASSERT_EQ(report->Bands()[0]->ObjectCount(), kControls);
    EXPECT_EQ(report->Bands()[0]->Object(kControls - 1)->GetControlIndex(), kControls - 1);
    // Loading again replaces the controls (the old ones are freed).
    report->LoadReportFromBytes(form);
    ASSERT_EQ(report->Bands()[0]->ObjectCount(), kControls);
    report.reset();
    // One GetControlIndex above searches the list once (kControls steps);
    // a search per control would be kControls * kControls / 2.
    EXPECT_LT(TKVXBand::SearchedElements() - before, std::uint64_t(4 * kControls));
}

TEST_F(FormScaleTest, FreeingABandFreesEachControlAtTheHeadOfTheChildList)
{
    constexpr int kControls = 2'000;
    TTeardownProbe::NotAtHead = 0;
    auto report = std::make_unique<TKVReport>();
    TKVXBand* detail = report->GetBand(1);
    for (int i = 0; i < kControls; ++i)
        detail->AppendElement(new TTeardownProbe(detail));
    detail->DeleteAllElements();
    EXPECT_EQ(detail->ObjectCount(), 0);
    EXPECT_EQ(TTeardownProbe::NotAtHead, 0);
    for (int i = 0; i < kControls; ++i)
        detail->AppendElement(new TTeardownProbe(detail));
    report.reset(); // the report frees its bands, each band its controls
    EXPECT_EQ(TTeardownProbe::NotAtHead, 0);
}

TEST_F(FormScaleTest, DeleteChildrenOfKeepsTheOtherChildrenAndTheirOrder)
{
    QObject parent;
    auto* first = new QObject(&parent);
    QList<QObject*> doomed;
    for (int i = 0; i < 5; ++i)
        doomed << new TTeardownProbe(&parent);
    auto* last = new QObject(&parent);
    TTeardownProbe::NotAtHead = 0;
    DeleteChildrenOf(&parent, doomed);
    EXPECT_EQ(parent.children(), QObjectList({first, last}));
    EXPECT_EQ(TTeardownProbe::NotAtHead, 0);
}

TEST_F(FormScaleTest, AFormWithMoreComponentsThanTheLimitIsRefusedNamingIt)
{
    // The limit itself is a million; the readers take a lower one to test.
    const QByteArray text = TextFormWithLabels(1, 10);
    for (const bool binary : {false, true}) {
        FormComponent tree;
        FormParseOptions options;
        options.MaxComponents = 11; // the report, its band and 9 of the labels
        const QByteArray bytes = binary ? [&] {
            FormComponent whole;
            ReadFormText(text, whole);
            return WriteFormBinary(whole);
        }()
                                        : text;
        try {
            binary ? ReadFormBinary(bytes, tree, options) : ReadFormText(bytes, tree, options);
            ADD_FAILURE() << "a form of 12 components was read with a limit of 11";
        } catch (const EStreamError& e) {
            EXPECT_TRUE(e.Message().contains(u"more than 11 components")) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(u"L0_9")) << "names the component: " << e.Message().toStdString();
        }
        options.MaxComponents = 12;
        FormComponent whole;
        EXPECT_NO_THROW(binary ? ReadFormBinary(bytes, whole, options) : ReadFormText(bytes, whole, options));
    }
    EXPECT_EQ(FormParseOptions().MaxComponents, limits::kFormComponents);
}

TEST_F(FormScaleTest, AReportWithMoreBandsThanTheLimitIsRefusedNamingIt)
{
    TKVReport report;
    try {
        report.LoadReportFromBytes(TextFormWithLabels(limits::kReportBands + 1, 0));
        FAIL() << "a report of " << limits::kReportBands + 1 << " bands loaded";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("at most %1 bands").arg(limits::kReportBands)))
            << e.Message().toStdString();
    }
    EXPECT_FALSE(report.Loading());
}

} // namespace
} // namespace vorel

#include "form_scale_test.moc"
