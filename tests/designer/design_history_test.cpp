// The design history on its own and through the window: nested objects,
// collections and string lists come back exactly; a long run of edits
// undone to the start and redone to the end gives the same form at every
// step, also across controls and bands that were freed and made again.

#include "designer_fixture.h"
#include "designer/design_history.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/band_panel.h"
#include "designer/object_inspector.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

namespace vorel {
namespace {

TEST(DesignHistory, NestedObjectsCollectionsAndListsComeBack)
{
    TKVReport report;
    TKVXControl* c = report.GetBand(1)->Object(report.GetBand(1)->AddElement(&TKVXLabel::staticMetaObject));
    TDesignHistory history(&report);
    history.Begin("Edit");
    TKVXHighLight* highlight = c->GetHighLights()->Add();
    highlight->SetExpression("[amount] > 100");
    highlight->Font()->SetStyle(fsBold);
    highlight->SetColor(clRed);
    c->Comments()->Add("checked by Anna");
    c->Font()->SetName("Liberation Mono");
    c->KVPrintWhen()->SetShowIf("[amount] <> 0");
    ASSERT_TRUE(history.Commit());
    const QVariantMap edited = CaptureProperties(c);
    history.Stack()->undo();
    EXPECT_EQ(c->GetHighLights()->Count(), 0);
    EXPECT_EQ(c->Comments()->Count(), 0);
    EXPECT_EQ(c->Font()->Name(), "Arial");
    EXPECT_TRUE(c->KVPrintWhen()->ShowIf().isEmpty());
    history.Stack()->redo();
    ASSERT_EQ(c->GetHighLights()->Count(), 1);
    EXPECT_EQ(c->GetHighLights()->GetHighLight(0)->Font()->Style(), TFontStyles(fsBold));
    EXPECT_EQ(c->GetHighLights()->GetHighLight(0)->Color(), clRed);
    EXPECT_EQ(CaptureProperties(c), edited);

    // A component-valued property is a reference: undo puts the reference
    // back and leaves the data set itself alone.
    TComponent* dataSet = qobject_cast<TComponent*>(CreateObject("TMemoryDataSet", &report));
    ASSERT_TRUE(dataSet);
    dataSet->setObjectName("Orders");
    history.Begin("Data");
    report.SetDataSet(qobject_cast<TDataSet*>(dataSet));
    ASSERT_TRUE(history.Commit());
    history.Stack()->undo();
    EXPECT_EQ(report.DataSet(), nullptr);
    EXPECT_EQ(dataSet->objectName(), "Orders");
    history.Stack()->redo();
    EXPECT_EQ(report.DataSet(), dataSet);

    history.Begin("Nothing");
    EXPECT_FALSE(history.Commit()); // no change, no command
    EXPECT_EQ(history.Stack()->count(), 2);
}

class HistoryWindowTest : public test::DesignerFixture {
protected:
    void SetUp() override
    {
        DesignerFixture::SetUp();
        OpenWindow([this](const QString&) { return answer; });
    }

    int answer = QMessageBox::Discard;
};

TEST_F(HistoryWindowTest, EveryStepUndoesAndRedoesToTheSameForm)
{
    QList<QByteArray> forms{Form()};
    auto step = [&] { forms.append(Form()); };
    designer.Options().InsertTool = 2;
    TKVXControl* c = window->InsertControl(report.GetBand(1), {40, 20});
    ASSERT_TRUE(c);
    step();
    window->SetPropertyOnSelection("DisplayName", "Total");
    step();
    window->Nudge(0, 1, true);
    step();
    window->CopySelection();
    window->Paste(report.GetBand(0));
    step();
    window->Paste(report.GetBand(1));
    step();
    window->Broadcast(psSendToBack, 0); // the second copy before the first control
    step();
    window->AddBand(btReportSummary);
    step();
    window->DeleteBand(report.GetBand(0)); // the page header, with the first copy
    step();
    window->Broadcast(psFontName, "Liberation Serif"); // the second copy, still selected
    step();
    ASSERT_EQ(Stack()->count(), forms.size() - 1);
    for (qsizetype i = forms.size() - 1; i > 0; --i) {
        Stack()->undo();
        EXPECT_EQ(Form(), forms[i - 1]) << "undo to step " << i - 1;
    }
    for (qsizetype i = 1; i < forms.size(); ++i) {
        Stack()->redo();
        EXPECT_EQ(Form(), forms[i]) << "redo to step " << i;
    }
}

TEST_F(HistoryWindowTest, BandHeightByItsLowerEdge)
{
    TBandPanel* panel = window->PanelOf(report.GetBand(1));
    ASSERT_TRUE(panel);
    QTest::mousePress(panel, Qt::LeftButton, {}, {300, 98});
    QTest::mouseMove(panel, {300, 120});
    QTest::mouseRelease(panel, Qt::LeftButton, {}, {300, 140});
    EXPECT_EQ(report.GetBand(1)->Height(), 120);
    Stack()->undo();
    EXPECT_EQ(report.GetBand(1)->Height(), 100);
}

TEST_F(HistoryWindowTest, InspectorTakesEachKindOfValueFromText)
{
    TKVXControl* c = report.GetBand(1)->Object(report.GetBand(1)->AddElement(&TKVXLabel::staticMetaObject));
    designer.AddSelected(c);
    TObjectInspector* inspector = window->Inspector();
    struct Row {
        const char* path;
        const char* text;
        bool accepted;
    } rows[] = {
        {"Width", "120", true},          {"Width", "12x", false},
        {"BackColor", "clRed", true},    {"Font.Color", "$00FF0000", true},
        {"Font.Style", "[fsBold,fsItalic]", true}, {"Font.Style", "[fsHeavy]", false},
        {"KVPrintWhen.ShowIf", "[amount] > 0", true}, {"NoSuchProperty", "1", false},
        {"Alignment", "taCenter", true},  {"Alignment", "taMiddle", false},
        {"WordWrap", "False", true},      {"WordWrap", "no", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(inspector->SetFromText(row.path, row.text), row.accepted) << row.path << " = " << row.text;
    EXPECT_EQ(c->Width(), 120);
    EXPECT_EQ(c->BackColor(), clRed);
    EXPECT_EQ(c->Font()->Color(), TColor(0x00FF0000));
    EXPECT_EQ(c->Font()->Style(), TFontStyles(fsBold) | fsItalic);
    EXPECT_EQ(c->KVPrintWhen()->ShowIf(), "[amount] > 0");
    EXPECT_EQ(c->Alignment(), taCenter);
    EXPECT_FALSE(qobject_cast<TKVXLabel*>(c)->WordWrap());
    EXPECT_EQ(Stack()->count(), 7); // one step per accepted value
    ASSERT_TRUE(inspector->ItemOf("Font.Name"));
    EXPECT_EQ(inspector->ItemOf("Font.Name")->text(1), c->Font()->Name());
}

TEST_F(HistoryWindowTest, SelectionListFollowsCommandsAndTellsTheApplication)
{
    TKVXBand* detail = report.GetBand(1);
    TKVXControl* a = detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject));
    TKVXControl* b = detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject));
    int changes = 0;
    designer.OnSelectedChange = [&](TKVXDesigner*) { ++changes; };
    designer.SelectElements(0);
    EXPECT_EQ(designer.SelectedCount(), 2);
    designer.SelectElements(2);
    EXPECT_EQ(designer.SelectedCount(), 0);
    designer.ToggleSelected(b);
    designer.AddSelected(b); // already there: no change, no duplicate
    EXPECT_EQ(designer.SelectedCount(), 1);
    EXPECT_EQ(designer.GetSelected(0), b);
    EXPECT_EQ(designer.GetSelected(1), nullptr);
    EXPECT_EQ(designer.GetSelected(-1), nullptr);
    EXPECT_FALSE(a->Selected());
    EXPECT_EQ(changes, 3);
    window->DeleteSelection();
    EXPECT_EQ(designer.SelectedCount(), 0);
    Stack()->undo(); // the control comes back selected, as it went
    EXPECT_EQ(designer.SelectedCount(), 1);
    EXPECT_EQ(designer.GetSelected(0), detail->Object(1));
}

TEST_F(HistoryWindowTest, RecoveryFileGoesWhenDiscardedOrRefused)
{
    TKVXControl* c = report.GetBand(1)->Object(report.GetBand(1)->AddElement(&TKVXLabel::staticMetaObject));
    designer.AddSelected(c);
    window->Nudge(1, 0, false);
    ASSERT_TRUE(window->WriteRecoveryFile());
    answer = QMessageBox::Cancel;
    EXPECT_FALSE(window->MaybeSave());
    EXPECT_TRUE(QFile::exists(window->RecoveryFileName()));
    answer = QMessageBox::Discard;
    EXPECT_TRUE(window->MaybeSave());
    EXPECT_FALSE(QFile::exists(window->RecoveryFileName()));

    ASSERT_TRUE(window->WriteRecoveryFile());
    window->AskRecover = [](const QString&) { return false; };
    EXPECT_FALSE(window->OfferRecovery());
    EXPECT_FALSE(QFile::exists(window->RecoveryFileName()));
    Stack()->setClean();
    EXPECT_FALSE(window->WriteRecoveryFile()); // nothing unsaved, nothing written
}

} // namespace
} // namespace vorel
