// The designer window driven as a user drives it: mouse and keys on the
// band panels, the commands, undo and redo, the clipboard, files, the
// recovery file and the explorer.

#include "designer_fixture.h"
#include "designer/band_panel.h"
#include "designer/control_clipboard.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/object_explorer.h"
#include "designer/object_inspector.h"
#include "model/control_registry.h"
#include "model/report.h"
#include "model/shapes.h"
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

class DesignerWindowTest : public test::DesignerFixture {
protected:
    void SetUp() override
    {
        DesignerFixture::SetUp();
        label = Add(1, 20, 30, &TKVXLabel::staticMetaObject);
        shape = Add(1, 120, 40, &TKVXRectangle::staticMetaObject);
        Open();
    }
    void Open()
    {
        OpenWindow();
        window->ShowError = [this](const QString& message) { errors.append(message); };
    }
    TKVXControl* Add(int band, int left, int top, const QMetaObject* cls)
    {
        TKVXBand* b = report.GetBand(band);
        TKVXControl* c = b->Object(b->AddElement(cls));
        c->SetLeft(left);
        c->SetTop(top);
        return c;
    }
    TBandPanel* Panel(int band) { return window->PanelOf(report.GetBand(band)); }

    TKVXControl* label = nullptr; // 50 x 20 at (20, 30) in the detail band
    TKVXControl* shape = nullptr; // at (120, 40)
    QStringList errors;
};

TEST_F(DesignerWindowTest, MoveWithSnapThenUndoAndRedo)
{
    designer.Options().SnapToGrid = true;
    Drag(Panel(1), {35, 40}, {50, 53}); // by (15, 13): Left 35 -> 32, Top 43 -> 40
    EXPECT_EQ(label->Left(), 32);
    EXPECT_EQ(label->Top(), 40);
    EXPECT_TRUE(label->Selected());
    EXPECT_EQ(label->KVXControlState(), scsNothing);
    ASSERT_EQ(Stack()->count(), 1);
    Stack()->undo();
    EXPECT_EQ(label->Left(), 20);
    EXPECT_EQ(label->Top(), 30);
    Stack()->redo();
    EXPECT_EQ(label->Left(), 32);
    EXPECT_EQ(label->Top(), 40);
}

TEST_F(DesignerWindowTest, MovingAllSelectedAcrossABandIsOneUndo)
{
    designer.AddSelected(label);
    designer.AddSelected(shape);
    Drag(Panel(1), {35, 40}, {35, 105}); // 65 down: both leave the detail band for the footer
    EXPECT_EQ(label->GetParentBand(), report.GetBand(2));
    EXPECT_EQ(label->Top(), 0);
    EXPECT_EQ(shape->GetParentBand(), report.GetBand(2));
    EXPECT_EQ(shape->Top(), 0);
    EXPECT_EQ(shape->Left(), 120);
    ASSERT_EQ(Stack()->count(), 1);
    Stack()->undo();
    EXPECT_EQ(label->GetParentBand(), report.GetBand(1));
    EXPECT_EQ(label->Top(), 30);
    EXPECT_EQ(shape->GetParentBand(), report.GetBand(1));
    EXPECT_EQ(shape->Top(), 40);
    EXPECT_EQ(report.GetBand(1)->Objects(), (QList<TKVXControl*>{label, shape}));
}

TEST_F(DesignerWindowTest, SizeByTheBottomRightHandle)
{
    designer.AddSelected(label);
    Drag(Panel(1), {20 + 50, 30 + 20}, {20 + 80, 30 + 35});
    EXPECT_EQ(label->Width(), 80);
    EXPECT_EQ(label->Height(), 35);
    EXPECT_EQ(label->Left(), 20);
}

TEST_F(DesignerWindowTest, RubberBandSelectsWhatItCoversInEitherDirection)
{
    Drag(Panel(1), {10, 20}, {80, 60}); // down and right: the label only
    EXPECT_TRUE(label->Selected());
    EXPECT_FALSE(shape->Selected());
    Drag(Panel(1), {200, 70}, {100, 35}); // up and left: the rectangle only
    EXPECT_FALSE(label->Selected());
    EXPECT_TRUE(shape->Selected());
    EXPECT_EQ(designer.SelectedCount(), 1);
    Drag(Panel(1), {200, 70}, {100, -5}); // out of the band: no change
    EXPECT_TRUE(shape->Selected());
    EXPECT_EQ(Stack()->count(), 0); // selecting is no edit
}

TEST_F(DesignerWindowTest, ShiftClickTogglesAndKeysMoveAndSize)
{
    QTest::mouseClick(Panel(1), Qt::LeftButton, {}, {30, 35});
    QTest::mouseClick(Panel(1), Qt::LeftButton, Qt::ShiftModifier, {130, 45});
    EXPECT_EQ(designer.SelectedCount(), 2);
    QTest::keyClick(Panel(1), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(label->Left(), 21);
    EXPECT_EQ(shape->Left(), 121);
    QTest::keyClick(Panel(1), Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier); // Shift wins: sizing
    EXPECT_EQ(label->Left(), 21);
    EXPECT_EQ(label->Width(), 49);
    QTest::mouseClick(Panel(1), Qt::LeftButton, Qt::ShiftModifier, {130, 45});
    EXPECT_EQ(designer.SelectedCount(), 1);
    EXPECT_EQ(window->SelectionStatus(), "(L:21,T:30),(W:49,H:20)");
    QTest::keyClick(Panel(1), Qt::Key_Delete);
    EXPECT_EQ(report.GetBand(1)->ObjectCount(), 1);
    Stack()->undo();
    ASSERT_EQ(report.GetBand(1)->ObjectCount(), 2);
    EXPECT_EQ(report.GetBand(1)->Object(0)->Width(), 49);
}

TEST_F(DesignerWindowTest, AlignAndSpaceAreUndoable)
{
    TKVXControl* third = Add(1, 400, 10, &TKVXLabel::staticMetaObject);
    window->RebuildBands();
    designer.SelectElements(0);
    window->Align(acAlignTops);
    EXPECT_EQ(label->Top(), 10);
    EXPECT_EQ(shape->Top(), 10);
    window->Align(acSpaceHorizontally);
    EXPECT_EQ(shape->Left(), 210); // between 20 and 400
    Stack()->undo();
    EXPECT_EQ(shape->Left(), 120);
    Stack()->undo();
    EXPECT_EQ(label->Top(), 30);
    EXPECT_EQ(third->Top(), 10);
}

TEST_F(DesignerWindowTest, PropertyChangesFromInspectorAndToolbarUndo)
{
    designer.AddSelected(label);
    ASSERT_TRUE(window->Inspector()->SetFromText("Font.Name", "Liberation Serif"));
    EXPECT_EQ(label->Font()->Name(), "Liberation Serif");
    EXPECT_FALSE(window->Inspector()->SetFromText("Width", "wide")); // refused, nothing changes
    EXPECT_EQ(label->Width(), 50);
    window->Broadcast(psFrameType, QVariantList{true, false, true, false});
    EXPECT_TRUE(label->Frame()->FTop());
    EXPECT_TRUE(label->Frame()->FBottom());
    ASSERT_EQ(Stack()->count(), 2);
    Stack()->undo();
    EXPECT_FALSE(label->Frame()->FTop());
    Stack()->undo();
    EXPECT_EQ(label->Font()->Name(), "Arial");
    Stack()->redo();
    EXPECT_EQ(label->Font()->Name(), "Liberation Serif");
    EXPECT_FALSE(shape->Frame()->FTop()); // not selected
}

TEST_F(DesignerWindowTest, DeletedBandComesBackWithItsControls)
{
    designer.AddSelected(label);
    const int size = label->Font()->Size();
    window->Broadcast(psFontSize, 14);
    window->DeleteBand(report.GetBand(1));
    EXPECT_EQ(report.BandCount(), 2);
    Stack()->undo();
    ASSERT_EQ(report.BandCount(), 3);
    TKVXBand* detail = report.GetBand(1);
    EXPECT_EQ(detail->BandType(), btDetail);
    ASSERT_EQ(detail->ObjectCount(), 2);
    EXPECT_EQ(detail->Object(0)->Font()->Size(), 14);
    Stack()->undo(); // the font change before applies to the recreated control
    EXPECT_EQ(report.GetBand(1)->Object(0)->Font()->Size(), size);
    Stack()->redo();
    Stack()->redo();
    EXPECT_EQ(report.BandCount(), 2);
}

TEST_F(DesignerWindowTest, ClipboardRoundTripAndUnregisteredClass)
{
    label->SetDisplayName("Amount");
    label->Font()->SetSize(12);
    label->Frame()->SetFLeft(true);
    designer.AddSelected(label);
    window->CopySelection();
    window->Paste(report.GetBand(2));
    ASSERT_EQ(report.GetBand(2)->ObjectCount(), 1);
    TKVXControl* pasted = report.GetBand(2)->Object(0);
    EXPECT_EQ(pasted->DisplayName(), "Amount");
    EXPECT_EQ(pasted->Font()->Size(), 12);
    EXPECT_TRUE(pasted->Frame()->FLeft());
    EXPECT_EQ(pasted->Left(), label->Left());
    EXPECT_TRUE(pasted->Selected());
    EXPECT_FALSE(label->Selected());
    Stack()->undo();
    EXPECT_EQ(report.GetBand(2)->ObjectCount(), 0);
    Stack()->redo(); // made again from what the paste made
    ASSERT_EQ(report.GetBand(2)->ObjectCount(), 1);
    EXPECT_EQ(report.GetBand(2)->Object(0)->DisplayName(), "Amount");
    EXPECT_EQ(report.GetBand(2)->Object(0)->Font()->Size(), 12);
    Stack()->undo();

    // A class unregistered since the copy pastes nothing.
    ControlClipboard() = {{"TKVXNoSuchControl", QByteArray("TPF0")}};
    window->Paste(report.GetBand(2));
    EXPECT_EQ(report.GetBand(2)->ObjectCount(), 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DesignerWindowTest, InsertToolPastTheRegistryInsertsNothing)
{
    designer.Options().InsertTool = 2 + int(KVXControls().size());
    QTest::mouseClick(Panel(2), Qt::LeftButton, {}, {30, 30});
    EXPECT_EQ(report.GetBand(2)->ObjectCount(), 0);
    EXPECT_EQ(designer.Options().InsertTool, 0);
    designer.Options().InsertTool = 2; // the first entry: a label
    QTest::mouseClick(Panel(2), Qt::LeftButton, {}, {30, 30});
    ASSERT_EQ(report.GetBand(2)->ObjectCount(), 1);
    EXPECT_EQ(report.GetBand(2)->Object(0)->Left(), 30);
    EXPECT_TRUE(report.GetBand(2)->Object(0)->Selected());
}

TEST_F(DesignerWindowTest, SaveAndReloadGiveTheSameForm)
{
    label->SetDisplayName("Total");
    designer.AddSelected(label);
    window->Nudge(1, 0, false);
    const QString file = dir.filePath("saved.kvx");
    ASSERT_TRUE(window->SaveFile(file));
    EXPECT_FALSE(window->IsModified());
    TKVReport reloaded;
    reloaded.setObjectName("Report1");
    reloaded.LoadReport(file);
    EXPECT_EQ(reloaded.SaveReportToBytes(TReportFormFormat::Text), report.SaveReportToBytes(TReportFormFormat::Text));

    // A second save keeps the first as the backup.
    designer.Options().CreateBackup = true;
    window->Nudge(1, 0, false);
    ASSERT_TRUE(window->SaveFile(file));
    QFile backup(dir.filePath("saved.~kvx"));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    TKVReport old;
    old.setObjectName("Report1");
    old.LoadReportFromBytes(backup.readAll());
    EXPECT_EQ(old.GetBand(1)->Object(0)->Left(), 21);
}

TEST_F(DesignerWindowTest, AutosaveWritesARecoveryFileThatTheNextStartOffers)
{
    designer.AddSelected(label);
    window->Nudge(5, 0, false);
    ASSERT_TRUE(window->WriteRecoveryFile());
    const QString recovery = window->RecoveryFileName();
    ASSERT_TRUE(QFile::exists(recovery));
    window.reset(); // the designer went away without saving

    TKVReport fresh;
    fresh.setObjectName("Report1");
    fresh.SetFileName(report.GetFileName());
    TKVXDesigner second;
    second.SetReport(&fresh);
    std::unique_ptr<TKVXDesignerWindow> again(second.CreateWindow());
    QString asked;
    again->AskRecover = [&](const QString& file) {
        asked = file;
        return true;
    };
    ASSERT_TRUE(again->OfferRecovery());
    EXPECT_EQ(asked, recovery);
    EXPECT_EQ(fresh.GetBand(1)->Object(0)->Left(), 25);
    EXPECT_EQ(fresh.GetFileName(), report.GetFileName());
    EXPECT_TRUE(again->IsModified());
    EXPECT_TRUE(QFile::exists(recovery)); // until saved or discarded
    ASSERT_TRUE(again->SaveFile(fresh.GetFileName()));
    EXPECT_FALSE(QFile::exists(recovery));
}

TEST_F(DesignerWindowTest, ExplorerNodesStayDistinctAtAThousandControls)
{
    TKVXBand* detail = report.GetBand(1);
    for (int i = 0; i < 1000; ++i)
        detail->AddElement(&TKVXLabel::staticMetaObject);
    TKVXBand* footer = report.GetBand(2);
    footer->AddElement(&TKVXLabel::staticMetaObject); // band 2 x 1000 + 0 would meet detail's 1000th
    window->Explorer()->Rebuild();
    QSet<quint64> ids;
    int nodes = 0;
    for (QTreeWidgetItemIterator it(window->Explorer()); *it; ++it, ++nodes)
        ids.insert((*it)->data(0, Qt::UserRole).toULongLong());
    EXPECT_EQ(nodes, 1 + 3 + 1002 + 1);
    EXPECT_EQ(ids.size(), nodes);
    // Choosing the footer's node selects the footer's control.
    window->Explorer()->ItemOf(footer->Object(0))->setSelected(true);
    EXPECT_TRUE(footer->Object(0)->Selected());
}

TEST_F(DesignerWindowTest, StatusLineNamesThePointerAndTheObjectUnderIt)
{
    label->SetDisplayName("Amount");
    QTest::mouseMove(Panel(1), {25, 35});
    EXPECT_EQ(window->PointerStatus(), "X:25,Y:35     Amount");
}

} // namespace
} // namespace vorel
