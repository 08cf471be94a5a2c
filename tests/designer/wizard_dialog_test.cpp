// The report wizard in the designer: the dialog's starting choices, its
// steps and the abort question, and the generated form replacing the
// report being edited as one edit that undoes and redoes whole.

#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/design_history.h"
#include "designer/wizard_dialog.h"
#include "data/data_manager.h"
#include "data/memory_dataset.h"
#include "model/band.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <QAction>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

namespace vorel {
namespace {

// A report over "Orders" (Id, Name and a hidden Secret) and "Lines" (Item),
// both closed until the wizard needs their fields.
struct WizardReport {
    TKVReport report;
    WizardReport()
    {
        report.setObjectName("Report1");
        auto* orders = new TMemoryDataSet(&report);
        orders->setObjectName("Orders");
        orders->AddFieldDef("Id", ftInteger);
        orders->AddFieldDef("Name", ftWideString, 12);
        orders->AddFieldDef("Secret", ftWideString, 4);
        orders->AppendRecord({1, QStringLiteral("Aster"), QStringLiteral("x")});
        orders->AfterOpen = [](TDataSet* dataSet) { dataSet->FieldByName("Secret")->SetVisible(false); };
        auto* lines = new TMemoryDataSet(&report);
        lines->setObjectName("Lines");
        lines->AddFieldDef("Item", ftWideString, 6);
        auto* manager = new TKVXDataManager(&report);
        manager->setObjectName("Data");
        manager->Datasets()->Add()->SetDataset(orders);
        manager->Datasets()->Add()->SetDataset(lines);
        report.SetDataManager(manager);
        report.SetDataSet(orders);
    }
};

QList<TBandType> BandTypes(const TKVReport& report)
{
    QList<TBandType> types;
    for (const TKVXBand* band : report.Bands())
        types << band->BandType();
    return types;
}

TEST(WizardDialog, StartsWithTheVisibleFieldsOfTheFirstDataSet)
{
    WizardReport data;
    TWizardDialog dialog(&data.report);
    const TWizardChoices choices = dialog.Choices();
    ASSERT_EQ(choices.Fields.size(), 4);
    QList<bool> ticks;
    for (const TWizardField& field : choices.Fields)
        ticks << field.Ticked;
    EXPECT_EQ(ticks, (QList<bool>{true, true, false, false}));
    EXPECT_EQ(choices.Fields[3].Reference(), "Lines.Item");
    EXPECT_EQ(dialog.windowTitle(), "KVXWizard: New report creation");
    // Every row of the grid starts empty: no calculated value is made.
    for (const TWizardCalculation& row : choices.Calculations)
        EXPECT_TRUE(row.Expression.isEmpty() && !row.HasMethod && row.Reset == TWizardReset::Unset);
}

TEST(WizardDialog, StepsFollowTheTypeAndClosingEarlyAsks)
{
    WizardReport data;
    TWizardDialog dialog(&data.report);
    QStringList asked;
    bool answer = false;
    dialog.AskAbort = [&](const QString& question) {
        asked << question;
        return answer;
    };
    TWizardChoices choices = dialog.Choices();
    choices.Type = TWizardReportType::Labels;
    dialog.SetChoices(choices);
    dialog.show();
    QList<int> steps{dialog.currentId()};
    while (dialog.nextId() != -1) {
        dialog.next();
        steps << dialog.currentId();
    }
    EXPECT_EQ(steps, (QList<int>{TWizardDialog::pgType, TWizardDialog::pgStyle, TWizardDialog::pgFields,
                                 TWizardDialog::pgLabels}));
    dialog.reject(); // the last step: no question
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    dialog.restart();
    dialog.show();
    dialog.next();
    dialog.reject(); // before the end: asked; "no" keeps the dialog open
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith("KVXWizard is not complete."));
    EXPECT_TRUE(dialog.isVisible());
    answer = true;
    dialog.reject();
    EXPECT_FALSE(dialog.isVisible());
}

TEST(WizardDialog, DesignerReplacesTheReportAsOneUndoableEdit)
{
    QTemporaryDir dir;
    TKVXDesignerWindow::SetRecoveryDirectory(dir.filePath("recovery"));
    WizardReport data;
    TKVReport& report = data.report;
    TKVXBand* detail = report.GetBand(1);
    detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject))->SetDisplayName("kept by undo");
    TKVXDesigner designer;
    designer.SetReport(&report);
    designer.Options().AutoSaveSeconds = 0;
    std::unique_ptr<TKVXDesignerWindow> window(designer.CreateWindow());
    window->AskSaveChanges = [](const QString&) { return int(QMessageBox::Discard); };
    window->show();

    bool hasCommand = false;
    for (const QAction* action : window->findChildren<QAction*>())
        hasCommand = hasCommand || action->text() == "Create a new report form with KVXWizard";
    EXPECT_TRUE(hasCommand);

    const QList<TBandType> before = BandTypes(report);
    TWizardDialog dialog(&report);
    TWizardChoices choices = dialog.Choices();
    choices.Style = TWizardStyle::Executive;
    choices.Groups[0] = {true, 0};
    choices.Calculations = {{"Orders.Id", true, ctSum, TWizardReset::Group, "Orders.Id"}};
    ApplyWizardChoices(*window, choices);

    const QList<TBandType> generated = BandTypes(report);
    EXPECT_EQ(generated, (QList<TBandType>{btReportTitle, btPageHeader, btGroupHeader, btDetail, btGroupFooter,
                                           btPageFooter}));
    EXPECT_EQ(window->Panels().size(), report.BandCount());
    EXPECT_EQ(report.ReportState(), rsDesign);
    EXPECT_EQ(window->History()->Stack()->count(), 1);
    const QByteArray form = report.SaveReportToBytes(TReportFormFormat::Text);

    window->History()->Stack()->undo();
    EXPECT_EQ(BandTypes(report), before);
    ASSERT_EQ(report.GetBand(1)->ObjectCount(), 1);
    EXPECT_EQ(report.GetBand(1)->Object(0)->DisplayName(), "kept by undo");
    EXPECT_EQ(window->Panels().size(), report.BandCount());

    window->History()->Stack()->redo();
    EXPECT_EQ(BandTypes(report), generated);
    EXPECT_EQ(report.SaveReportToBytes(TReportFormFormat::Text), form);
    window.reset();
    TKVXDesignerWindow::SetRecoveryDirectory(QString());
}

} // namespace
} // namespace vorel
