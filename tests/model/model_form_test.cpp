// The report model through the form streaming core: every persistent
// property of every registered model class survives both forms, and a
// report keeps its bands, their order and their controls.
#include "model/model_test_support.h"

#include "graphics/picture.h"
#include "model/image_control.h"
#include "model/report.h"
#include "model/report_form.h"
#include "model/rich_text_control.h"
#include "model/shapes.h"
#include "model/text_controls.h"
#include "support/property_roundtrip.h"

#include <QBuffer>
#include <QImage>

namespace vorel {
namespace {

class ModelFormTest : public ::testing::Test {
protected:
    void SetUp() override { testing::EnsureModelRegistered(); }
};

TEST_F(ModelFormTest, EveryPropertyOfEveryModelClassSurvives)
{
    const char* classes[] = {"TKVXBand",    "TKVXLabel",     "TKVXExpression", "TKVXSysData", "TKVRichText",
                             "TKVXLine",    "TKVXRectangle", "TKVXEllipse",    "TKVXImage",   "TKVBarCode"};
    for (const char* name : classes) {
        const QStringList faults = testsupport::PropertyRoundTrip(QString::fromLatin1(name));
        EXPECT_TRUE(faults.isEmpty()) << name << ":\n" << faults.join(u'\n').toStdString();
    }
}

TEST_F(ModelFormTest, EveryPropertyOfTheReportSurvives)
{
    testsupport::RoundTripOptions options;
    options.Write = ReportFormWriteOptions();
    options.Read = ReportFormReadOptions();
    const QStringList faults = testsupport::PropertyRoundTrip(QStringLiteral("TKVReport"), options);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

TEST_F(ModelFormTest, EveryControlIsRegisteredWithItsHint)
{
    const std::pair<const char*, int> expected[] = {
        {"TKVXLabel", 1911}, {"TKVXExpression", 1912}, {"TKVXSysData", 1913}, {"TKVXImage", 1914},
        {"TKVXLine", 1915},  {"TKVXRectangle", 1916},  {"TKVXEllipse", 1917}, {"TKVBarCode", 1918},
        {"TKVRichText", 1919}};
    ASSERT_GE(KVXControls().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(KVXControls()[i].ClassName, QString::fromLatin1(expected[i].first));
        EXPECT_EQ(KVXControls()[i].HintId, expected[i].second);
        EXPECT_NE(GetClass(QString::fromLatin1(expected[i].first)), nullptr);
    }
    EXPECT_THROW(RegisterKVXControl(&TKVReport::staticMetaObject, 1), EKVXError);
    // Registering again replaces the entry; unregistering removes the class.
    RegisterKVXControl(&TKVXLine::staticMetaObject, 4242, QStringLiteral("Line"));
    EXPECT_EQ(FindKVXControl(QStringLiteral("tkvxline"))->HintId, 4242);
    UnRegisterKVXControl(&TKVXLine::staticMetaObject);
    EXPECT_EQ(FindKVXControl(QStringLiteral("TKVXLine")), nullptr);
    EXPECT_EQ(GetClass(QStringLiteral("TKVXLine")), nullptr);
    UnRegisterBuiltinControls();
    EXPECT_EQ(GetClass(QStringLiteral("TKVXLabel")), nullptr);
    RegisterBuiltinControls(); // back in the palette's order for the other tests
    EXPECT_EQ(FindKVXControl(QStringLiteral("TKVXLine"))->HintId, 1915);
    EXPECT_EQ(KVXControls()[4].ClassName, u"TKVXLine");
}

class ReportFormTest : public ModelFormTest {
protected:
    void SetUp() override
    {
        ModelFormTest::SetUp();
        source.SetName(QStringLiteral("Invoice"));
        target.SetName(QStringLiteral("Invoice"));
    }
    void SaveAndLoad(bool text)
    {
        const QByteArray bytes = SaveReportComponent(&source, text);
        LoadReportComponent(&target, bytes);
    }
    TKVReport source;
    TKVReport target;
};

TEST_F(ReportFormTest, ANewReportLoadsAsThreeBandsAndKeepsItsName)
{
    target.SetName(QStringLiteral("Mine"));
    target.AddBand(btReportSummary, true);
    target.AddBand(btGroupHeader, true);
    for (const bool text : {false, true}) {
        SaveAndLoad(text);
        ASSERT_EQ(target.BandCount(), 3);
        EXPECT_EQ(target.GetBand(0)->BandType(), btPageHeader);
        EXPECT_TRUE(target.GetBand(0)->NewPage());
        EXPECT_EQ(target.GetBand(1)->BandType(), btDetail);
        EXPECT_EQ(target.GetBand(2)->BandType(), btPageFooter);
        EXPECT_TRUE(target.GetBand(2)->NewPage());
        EXPECT_EQ(target.Name(), u"Mine");
        EXPECT_FALSE(target.Loading());
        for (const TKVXBand* band : target.Bands())
            EXPECT_EQ(band->Report(), &target);
    }
}

TEST_F(ReportFormTest, BandsKeepTheFormsOrderAndControlsTheirBands)
{
    source.AppendBandAsRead(new TKVXBand(&source));
    source.GetBand(3)->SetBandType(btReportTitle); // last in the form, first by rank
    source.GetBand(3)->SetDisplayName(QStringLiteral("Cover"));
    TKVXBand* detail = source.GetBand(1);
    auto* line = static_cast<TKVXLine*>(detail->Object(detail->AddElement(&TKVXLine::staticMetaObject)));
    line->SetLineStyle(lsDouble);
    line->SetLineType(ltVCenter);
    auto* sys = static_cast<TKVXSysData*>(detail->Object(detail->AddElement(&TKVXSysData::staticMetaObject)));
    sys->SetSysData(sdPageNo);
    sys->SetDisplayName(QStringLiteral("Page number"));
    auto* expression = static_cast<TKVXExpression*>(
        source.GetBand(2)->Object(source.GetBand(2)->AddElement(&TKVXExpression::staticMetaObject)));
    expression->SetExpression(QStringLiteral("SUM(Amount)"));
    expression->Calculation()->SetCalcType(ctSum);
    expression->GetHighLights()->Add()->SetExpression(QStringLiteral("Amount > 100"));
    expression->KVPrintWhen()->SetHideWhen(QStringLiteral("Amount = 0"));

    for (const bool text : {false, true}) {
        SaveAndLoad(text);
        ASSERT_EQ(target.BandCount(), 4);
        EXPECT_EQ(target.GetBand(3)->BandType(), btReportTitle) << "not re-sorted by rank";
        EXPECT_EQ(target.GetBand(3)->DisplayName(), u"Cover") << "a band's name typed by hand survives its type";
        TKVXBand* readDetail = target.GetBand(1);
        ASSERT_EQ(readDetail->ObjectCount(), 2);
        auto* readLine = qobject_cast<TKVXLine*>(readDetail->Object(0));
        ASSERT_NE(readLine, nullptr);
        EXPECT_EQ(readLine->LineStyle(), lsDouble);
        EXPECT_EQ(readLine->LineType(), ltVCenter);
        EXPECT_EQ(readLine->GetParentBand(), readDetail);
        EXPECT_EQ(readLine->Report(), &target);
        auto* readSys = qobject_cast<TKVXSysData*>(readDetail->Object(1));
        ASSERT_NE(readSys, nullptr);
        EXPECT_EQ(readSys->SysData(), sdPageNo);
        EXPECT_EQ(readSys->Format(), u"@N @ND0 @NR1 ");
        EXPECT_EQ(readSys->DisplayName(), u"Page number") << "a name typed by hand survives its kind";
        ASSERT_EQ(target.GetBand(2)->ObjectCount(), 1);
        auto* readExpression = qobject_cast<TKVXExpression*>(target.GetBand(2)->Object(0));
        ASSERT_NE(readExpression, nullptr);
        EXPECT_EQ(readExpression->Expression(), u"SUM(Amount)");
        EXPECT_EQ(readExpression->Calculation()->CalcType(), ctSum);
        ASSERT_EQ(readExpression->GetHighLights()->Count(), 1);
        EXPECT_EQ(readExpression->GetHighLights()->GetHighLight(0)->Expression(), u"Amount > 100");
        EXPECT_EQ(readExpression->KVPrintWhen()->HideWhen(), u"Amount = 0");
        // Saving what was read gives the same form.
        EXPECT_EQ(SaveReportComponent(&target, text), SaveReportComponent(&source, text));
    }
}

TEST_F(ReportFormTest, AStoredPictureTravelsWithTheForm)
{
    QImage pixels(7, 5, QImage::Format_RGB32);
    pixels.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixels.save(&buffer, "PNG");
    TPicture picture;
    picture.LoadFromBlob(png);

    TKVXBand* detail = source.GetBand(1);
    auto* stored = static_cast<TKVXImage*>(detail->Object(detail->AddElement(&TKVXImage::staticMetaObject)));
    stored->SetImageKind(ikPicture);
    stored->SetPicture(&picture);
    auto* fromFile = static_cast<TKVXImage*>(detail->Object(detail->AddElement(&TKVXImage::staticMetaObject)));
    fromFile->SetPicture(&picture); // what a print loaded: not stored for a file image
    fromFile->SetFileName(QStringLiteral("logo.png"));

    const QByteArray text = SaveReportComponent(&source, true);
    EXPECT_EQ(text.count("Picture.Data"), 1) << text.toStdString();
    SaveAndLoad(false);
    auto* readStored = qobject_cast<TKVXImage*>(target.GetBand(1)->Object(0));
    auto* readFile = qobject_cast<TKVXImage*>(target.GetBand(1)->Object(1));
    ASSERT_TRUE(readStored && readFile);
    EXPECT_EQ(readStored->Picture()->Width(), 7);
    EXPECT_EQ(readStored->Picture()->Height(), 5);
    EXPECT_TRUE(readFile->Picture()->Empty());
    EXPECT_EQ(readFile->FileName(), u"logo.png");
}

TEST_F(ReportFormTest, AFormNamingAnUnknownControlFailsAndKeepsWhatWasRead)
{
    QByteArray text = SaveReportComponent(&source, true);
    // The page footer's entry names a class nobody registered.
    const qsizetype at = text.lastIndexOf("TKVXBand");
    ASSERT_GT(at, 0);
    text.replace(at, 8, "TKVXNone");
    try {
        LoadReportComponent(&target, text);
        ADD_FAILURE() << "no error";
    } catch (const EKVXError& e) {
        EXPECT_TRUE(e.Message().contains(u"TKVXNone")) << e.Message().toStdString();
    }
    EXPECT_EQ(target.BandCount(), 2) << "the bands read before the error stay";
    EXPECT_FALSE(target.Loading());
}

} // namespace
} // namespace vorel
