// Report-level edits in the designer: groups, collections edited on a copy,
// the preferences kept in the user's settings, and an edit that records a
// few controls joined by one that may change any.

#include "designer/collection_editor.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/ruler.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUndoStack>
#include <QAction>
#include <gtest/gtest.h>
#include <memory>

namespace vorel {
namespace {

class ReportEditsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        designer.SetReport(&report);
        designer.Options().AutoSaveSeconds = 0;
        window.reset(designer.CreateWindow());
    }
    QStringList BandTypes() const
    {
        QStringList types;
        for (const TKVXBand* band : report.Bands())
            types.append(TKVXBand::BandTypeName(band->BandType(), 0));
        return types;
    }
    QUndoStack* Stack() { return window->History()->Stack(); }

    TKVReport report;
    TKVXDesigner designer;
    std::unique_ptr<TKVXDesignerWindow> window;
};

TEST_F(ReportEditsTest, GroupsAddAndRemoveAsOneStepEach)
{
    window->AddGroup("Category");
    window->AddGroup("Product");
    EXPECT_EQ(BandTypes(), (QStringList{"PageHeader", "GroupHeader", "GroupHeader", "Detail", "GroupFooter",
                                        "GroupFooter", "PageFooter"}));
    TKVXBand* outerHeader = report.GetBand(1);
    outerHeader->AddElement(&TKVXLabel::staticMetaObject);
    outerHeader->Object(0)->SetDisplayName("Category name");
    window->RemoveGroup("CATEGORY"); // compared without regard to case
    EXPECT_EQ(report.BandCount(), 5);
    Stack()->undo();
    ASSERT_EQ(report.BandCount(), 7);
    EXPECT_EQ(report.GetBand(1)->Expression(), "Category");
    ASSERT_EQ(report.GetBand(1)->ObjectCount(), 1);
    EXPECT_EQ(report.GetBand(1)->Object(0)->DisplayName(), "Category name");
    EXPECT_EQ(report.GetBand(5)->Expression(), "Category"); // the outer footer stays outermost
    Stack()->undo();
    Stack()->undo();
    EXPECT_EQ(BandTypes(), (QStringList{"PageHeader", "Detail", "PageFooter"}));
    Stack()->redo();
    EXPECT_EQ(report.BandCount(), 5);
}

TEST_F(ReportEditsTest, CollectionsAreEditedOnACopyAndAppliedAsOneEdit)
{
    report.Variables()->Add()->SetName("Old");
    TCollectionEditor editor(report.Variables(), "Variables");
    editor.AddItem();
    EXPECT_TRUE(editor.SetValue(1, "Name", "Total"));
    EXPECT_FALSE(editor.SetValue(1, "NoSuchProperty", "x"));
    editor.RemoveItem(0);
    EXPECT_EQ(report.Variables()->Count(), 1); // nothing applied yet
    EXPECT_EQ(report.Variables()->GetVariable(0)->Name(), "Old");
    {
        TEditScope edit(window->History(), "Variables", {});
        RestoreProperties(&report, QVariantMap{{"Variables", editor.Items()}});
    }
    ASSERT_EQ(report.Variables()->Count(), 1);
    EXPECT_EQ(report.Variables()->GetVariable(0)->Name(), "Total");
    Stack()->undo();
    ASSERT_EQ(report.Variables()->Count(), 1);
    EXPECT_EQ(report.Variables()->GetVariable(0)->Name(), "Old");
}

TEST_F(ReportEditsTest, AWiderEditJoiningANarrowOneIsUndoneWhole)
{
    TKVXBand* detail = report.GetBand(1);
    TKVXControl* a = detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject));
    TKVXControl* b = detail->Object(detail->AddElement(&TKVXLabel::staticMetaObject));
    window->History()->Begin("Narrow", {a});
    a->SetLeft(100);
    window->History()->Begin("Wide");
    b->SetLeft(200);
    window->History()->Commit();
    window->History()->Commit();
    ASSERT_EQ(Stack()->count(), 1);
    Stack()->undo();
    EXPECT_EQ(a->Left(), 10);
    EXPECT_EQ(b->Left(), 10);
}

TEST_F(ReportEditsTest, PreferencesAndToolbarsPersistInTheUserSettings)
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    designer.Options().SnapToGrid = true;
    designer.Options().SetGridSizeX(4);
    auto* alignment = window->findChild<QToolBar*>("AlignmentToolbar");
    ASSERT_TRUE(alignment);
    window->show();
    alignment->hide();
    window->findChild<QAction*>("RulerUnit1")->trigger(); // millimetres
    window->SetRulersVisible(false);
    window->SaveLayout();

    TKVXDesigner second;
    second.SetReport(&report);
    std::unique_ptr<TKVXDesignerWindow> again(second.CreateWindow());
    again->show();
    again->LoadLayout();
    EXPECT_TRUE(second.Options().SnapToGrid);
    EXPECT_FALSE(again->RulersVisible());
    EXPECT_FALSE(again->findChild<QAction*>("RulersAction")->isChecked());
    EXPECT_FALSE(again->findChild<TRuler*>());
    EXPECT_EQ(second.Options().RulerUnit, 1);
    EXPECT_TRUE(again->findChild<QAction*>("RulerUnit1")->isChecked());
    EXPECT_EQ(second.Options().GridSizeX(), 4);
    EXPECT_FALSE(again->findChild<QToolBar*>("AlignmentToolbar")->isVisible());
    EXPECT_TRUE(again->findChild<QToolBar*>("StandardToolbar")->isVisible());
    QSettings settings(DesignerSettingsOrganisation(), DesignerSettingsApplication());
    EXPECT_TRUE(settings.fileName().startsWith(dir.path())) << settings.fileName().toStdString();
    EXPECT_EQ(settings.value("AlignmentToolbarVisible").toBool(), false);
}

} // namespace
} // namespace vorel
