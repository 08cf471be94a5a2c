// The report-level dialogs (data sources, page layout, report settings)
// and the rulers, each change checked on the report and undone to the
// same bytes; the mouse and key rules undone byte for byte; and a form
// made in the designer alone, rendered by the tool with the right totals.

#include "data/data_manager.h"
#include "data/sql_dataset.h"
#include "designer/band_panel.h"
#include "designer/data_sources_dialog.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "designer/object_inspector.h"
#include "designer/page_layout_dialog.h"
#include "designer/report_settings_dialog.h"
#include "designer/ruler.h"
#include "foundation/records/document_properties.h"
#include "model/control_registry.h"
#include "model/report.h"
#include "model/text_controls.h"
#include "designer_fixture.h"
#include "support/tool_run.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

namespace vorel {
namespace {

const QString kShop = QStringLiteral("sqlite:" VOREL_SOURCE_DIR "/examples/shop.db");

class ReportDialogsTest : public test::DesignerFixture {
protected:
    void SetUp() override
    {
        DesignerFixture::SetUp();
        OpenWindow();
    }
    // Undo gives back `before` exactly, redo `after`.
    void ExpectUndoRedo(const QByteArray& before, const char* what)
    {
        const QByteArray after = Form();
        ASSERT_FALSE(after == before) << what << " changed nothing";
        Stack()->undo();
        EXPECT_EQ(Form().toStdString(), before.toStdString()) << "undo of " << what;
        Stack()->redo();
        EXPECT_EQ(Form().toStdString(), after.toStdString()) << "redo of " << what;
    }
    TKVXControl* Add(int band, int left, int top, int width = 50)
    {
        TKVXBand* b = report.GetBand(band);
        TKVXControl* c = b->Object(b->AddElement(&TKVXLabel::staticMetaObject));
        c->SetLeft(left);
        c->SetTop(top);
        c->SetWidth(width);
        window->RebuildBands();
        return c;
    }
    // `direct`: one move to the end point (the edges follow every move).
    void Drag(int band, QPoint from, QPoint to, bool direct = false)
    {
        TBandPanel* panel = window->PanelOf(report.GetBand(band));
        QTest::mousePress(panel, Qt::LeftButton, {}, from);
        if (!direct)
            QTest::mouseMove(panel, (from + to) / 2);
        QTest::mouseMove(panel, to);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, to);
    }
};

TEST_F(ReportDialogsTest, MouseAndKeyRulesUndoByteForByte)
{
    TKVXControl* top = Add(0, 20, 10);     // 50 x 20 in the page header, the first band
    TKVXControl* bottom = Add(2, 20, 10);  // in the page footer, the last band
    designer.AddSelected(top);

    // Sizing from the left handle past the right edge does nothing.
    Drag(0, {20, 20}, {20 + 60, 20}, true);
    EXPECT_EQ(top->Left(), 20);
    EXPECT_EQ(top->Width(), 50);
    EXPECT_EQ(Stack()->count(), 0);

    // Sizing from the right handle is one undoable step.
    QByteArray before = Form();
    Drag(0, {70, 20}, {90, 20});
    EXPECT_EQ(top->Width(), 70);
    ExpectUndoRedo(before, "a resize");

    // Above the first band: Top 0 in that band.
    before = Form();
    Drag(0, {30, 15}, {30, -40});
    EXPECT_EQ(top->GetParentBand(), report.GetBand(0));
    EXPECT_EQ(top->Top(), 0);
    ExpectUndoRedo(before, "a move");

    // Below the last band: it grows to the control's bottom + 21.
    designer.ClearSelected();
    designer.AddSelected(bottom);
    Drag(2, {30, 15}, {30, 115}); // Top 10 -> 110, bottom 130
    EXPECT_EQ(bottom->GetParentBand(), report.GetBand(2));
    EXPECT_EQ(report.GetBand(2)->Height(), 110 + 20 + 21);

    // Shift+Left at width 1 stays 1; a property change and a delete undo exactly.
    before = Form();
    ASSERT_TRUE(window->Inspector()->SetFromText("Width", "1"));
    ExpectUndoRedo(before, "a property change");
    QTest::keyClick(window->PanelOf(bottom->GetParentBand()), Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(bottom->Width(), 1);
    before = Form();
    QTest::keyClick(window->PanelOf(bottom->GetParentBand()), Qt::Key_Delete);
    EXPECT_EQ(report.GetBand(2)->ObjectCount(), 0);
    ExpectUndoRedo(before, "a delete");
}

TEST_F(ReportDialogsTest, SpaceEquallyPutsTheMiddleHalfway)
{
    // Selected out of position order: the spacing goes by position.
    TKVXControl* right = Add(1, 100, 10, 10);
    TKVXControl* middle = Add(1, 30, 10, 10);
    TKVXControl* left = Add(1, 0, 10, 10);
    for (TKVXControl* c : {middle, right, left})
        designer.AddSelected(c);
    const QByteArray before = Form();
    window->Align(acSpaceHorizontally);
    EXPECT_EQ(left->Left(), 0);
    EXPECT_EQ(middle->Left(), 50);
    EXPECT_EQ(right->Left(), 100);
    ExpectUndoRedo(before, "space equally");
}

TEST_F(ReportDialogsTest, DataSourcesAddEditRemoveEachUndoToTheSameBytes)
{
    // A self-contained form: a data manager the report owns lists its data sets.
    {
        TEditScope edit(window->History(), "manager");
        auto* manager = new TKVXDataManager(&report);
        manager->SetName("Data");
        report.SetDataManager(manager);
    }
    TDataSourcesDialog dialog(window.get());
    EXPECT_EQ(dialog.Current(), nullptr);

    QByteArray before = Form();
    TDataSet* first = dialog.AddDataSet();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Name(), "Query1");
    EXPECT_EQ(report.DataSet(), first); // the first one becomes the master
    EXPECT_EQ(report.DataManager()->Datasets()->Count(), 1);
    ExpectUndoRedo(before, "adding a data set");
    first = dialog.Current() ? dialog.Current() : window->ReportDataSets().value(0);
    dialog.Select(first);

    // Name, connection and query applied as one edit; the fields listed.
    before = Form();
    dialog.NameEdit()->setText("Orders");
    dialog.ConnectionEdit()->setText(kShop);
    dialog.SqlEdit()->setPlainText("select id, payment, shipping from orders");
    ASSERT_TRUE(dialog.ApplyCurrent()) << dialog.Message().toStdString();
    auto* orders = qobject_cast<TSqlDataSet*>(report.FindComponent("Orders"));
    ASSERT_TRUE(orders);
    EXPECT_EQ(report.DataManager()->Datasets()->Items(0)->Caption(), "Orders");
    EXPECT_FALSE(orders->Active()); // the field list ran on a copy
    QStringList fields;
    for (int i = 0; i < dialog.FieldList()->topLevelItemCount(); ++i)
        fields << dialog.FieldList()->topLevelItem(i)->text(0) + ":" + dialog.FieldList()->topLevelItem(i)->text(1);
    EXPECT_EQ(fields, (QStringList{"id:Integer", "payment:WideString", "shipping:Float"}));
    ExpectUndoRedo(before, "changing a data set");

    // Bad input: the data layer's message, nothing applied, no crash.
    struct Bad {
        const char* name;
        QString connection;
        const char* sql;
        const char* message; // part of what the dialog shows
    } bad[] = {
        {"Orders", kShop, "select nosuch from orders", "nosuch"},
        {"Orders", "sqlite:/no/such/dir/x.db", "select 1", "x.db"},
        {"Orders", kShop, "delete from orders", "would change"},
    };
    const int commands = Stack()->count();
    for (const Bad& row : bad) {
        dialog.Select(orders);
        dialog.ConnectionEdit()->setText(row.connection);
        dialog.SqlEdit()->setPlainText(row.sql);
        dialog.RefreshFields();
        EXPECT_TRUE(dialog.Message().contains(row.message, Qt::CaseInsensitive))
            << row.sql << ": " << dialog.Message().toStdString();
        EXPECT_EQ(dialog.FieldList()->topLevelItemCount(), 0);
    }
    EXPECT_EQ(Stack()->count(), commands);
    dialog.Select(orders);
    for (const char* name : {"", "2nd", "Data"}) { // empty, no identifier, taken
        dialog.NameEdit()->setText(name);
        EXPECT_FALSE(dialog.ApplyCurrent()) << name;
        EXPECT_FALSE(dialog.Message().isEmpty()) << name;
    }
    EXPECT_EQ(Stack()->count(), commands);

    // A second data set, then the first removed: references and the
    // manager's entry go, and undo brings them back in form order.
    QString error;
    TSqlDataSet* customers = window->AddSqlDataSet("Customers", kShop, "select id from customers", &error);
    ASSERT_TRUE(customers) << error.toStdString();
    report.GetBand(1)->SetDataset(orders);
    before = Form();
    dialog.Select(orders);
    dialog.RemoveCurrent();
    EXPECT_EQ(report.FindComponent("Orders"), nullptr);
    EXPECT_EQ(report.DataSet(), nullptr);
    EXPECT_EQ(report.DataManager()->Datasets()->Count(), 1);
    EXPECT_EQ(dialog.Current(), report.FindComponent("Customers"));
    ExpectUndoRedo(before, "removing a data set");
    Stack()->undo();
    auto* back = qobject_cast<TSqlDataSet*>(report.FindComponent("Orders"));
    ASSERT_TRUE(back);
    EXPECT_EQ(report.DataSet(), back);
    EXPECT_EQ(report.DataManager()->Datasets()->Items(0)->Dataset(), back);

    // A band's own data set goes, and comes back with the undo.
    window->AddBand(btSubDetail);
    TKVXBand* sub = report.GetBand(report.GetIndexBand(btSubDetail));
    {
        TEditScope edit(window->History(), "sub-detail");
        sub->SetDataset(customers);
    }
    before = Form();
    window->RemoveDataSet(customers);
    EXPECT_EQ(sub->GetDataset(), back); // the report's again
    ExpectUndoRedo(before, "removing a band's own data set");

    // Its other properties through the inspector, undoable too.
    window->SetCurrentObject(back);
    before = Form();
    ASSERT_TRUE(window->Inspector()->SetFromText("FetchWindow", "64"));
    EXPECT_EQ(back->FetchWindow(), 64);
    ExpectUndoRedo(before, "a data set's property");

    // Undone to the start while the inspector shows a data set the undo frees.
    while (Stack()->canUndo())
        Stack()->undo();
    EXPECT_TRUE(window->ReportDataSets().isEmpty());
    EXPECT_EQ(report.DataManager(), nullptr);
    window->Inspector()->SetFromText("FetchWindow", "32"); // nothing to set, no crash
}

TEST_F(ReportDialogsTest, PageLayoutSetsPaperMarginsAndColumns)
{
    TPageLayoutDialog unchanged(&report);
    window->EditReport("nothing", [&](TKVReport* r) { unchanged.ApplyTo(r); });
    EXPECT_EQ(Stack()->count(), 0); // OK without a change is no edit

    TPageLayoutDialog dialog(&report);
    dialog.PaperSize()->setCurrentIndex(dialog.PaperSize()->findData(int(psA4)));
    dialog.Orientation()->setCurrentIndex(dialog.Orientation()->findData(int(spoLandscape)));
    EXPECT_DOUBLE_EQ(dialog.PaperWidth()->value(), 297.0); // shown turned
    dialog.PrinterMargins()->setChecked(false);
    const double margins[4] = {15, 10, 12.5, 20};
    for (int side = 0; side < 4; ++side)
        dialog.Margin(side)->setValue(margins[side]);
    dialog.Duplex()->setCurrentIndex(dialog.Duplex()->findData(int(sdVertical)));
    dialog.Copies()->setValue(3);
    dialog.Columns()->setValue(2);
    dialog.ColumnSpace()->setValue(20);
    const QByteArray before = Form();
    window->EditReport("Page layout", [&](TKVReport* r) { dialog.ApplyTo(r); });
    TKVXPrinter* printer = report.PrinterSetting();
    EXPECT_EQ(printer->PaperSize(), psA4);
    EXPECT_EQ(printer->Orientation(), spoLandscape);
    EXPECT_EQ(printer->GetPaperSizeWidth(), 2970);
    EXPECT_EQ(printer->GetPaperSizeHeight(), 2100);
    EXPECT_FALSE(printer->Margins()->ByDefault());
    EXPECT_EQ(printer->Margins()->Left(), 150);
    EXPECT_EQ(printer->Margins()->Right(), 125);
    EXPECT_EQ(printer->Duplex(), sdVertical);
    EXPECT_EQ(printer->Copies(), 3);
    EXPECT_EQ(report.ColumnNumber(), 2);
    EXPECT_EQ(report.ColumnSpace(), 20);
    EXPECT_EQ(Stack()->count(), 1);
    ExpectUndoRedo(before, "the page layout");

    // A custom size is taken as typed.
    TPageLayoutDialog custom(&report);
    custom.PaperSize()->setCurrentIndex(custom.PaperSize()->findData(int(psCustom)));
    ASSERT_TRUE(custom.PaperWidth()->isEnabled());
    custom.PaperWidth()->setValue(100);
    custom.PaperHeight()->setValue(150.5);
    window->EditReport("Custom", [&](TKVReport* r) { custom.ApplyTo(r); });
    EXPECT_EQ(printer->GetPaperSizeWidth(), 1000);
    EXPECT_EQ(printer->GetPaperSizeHeight(), 1505);

    // The horizontal ruler marks the printable width the wizard lays out in.
    const int printable = PrintableWidth(&report);
    EXPECT_EQ(printable, printer->GetPaperWidthPixels() - printer->GetPageOffsetLeft() - printer->GetPageOffsetRight());
    EXPECT_EQ(printable, 378 - 56 - 47); // 100 mm less 15 and 12.5 mm at 96 pixels an inch (offsets truncate)
    auto* ruler = window->findChild<TRuler*>("HorizontalRuler");
    ASSERT_TRUE(ruler);
    EXPECT_EQ(ruler->Printable(), printable);
}

TEST_F(ReportDialogsTest, ReportSettingsApplyAsOneEdit)
{
    QString error;
    TSqlDataSet* orders = window->AddSqlDataSet("Orders", kShop, "select id from orders", &error);
    TSqlDataSet* lines = window->AddSqlDataSet("Lines", kShop, "select id from order_lines", &error);
    ASSERT_TRUE(orders && lines) << error.toStdString();
    TReportSettingsDialog dialog(&report, window->ReportDataSets());
    EXPECT_EQ(dialog.MasterDataSet()->currentText(), "Orders");
    dialog.Title()->setText("Shipping by payment");
    dialog.Comments()->setPlainText("first line\nsecond line");
    dialog.MasterDataSet()->setCurrentText("Lines");
    dialog.TwoPass()->setChecked(true);
    dialog.DisableControls()->setChecked(false);
    dialog.PageNoStartAt()->setValue(10);
    const QByteArray before = Form();
    const int commands = Stack()->count();
    window->EditReport("Report settings", [&](TKVReport* r) { dialog.ApplyTo(r); });
    EXPECT_EQ(report.KVProperty()->Title(), "Shipping by payment");
    EXPECT_EQ(report.KVProperty()->Comments()->List(), (QStringList{"first line", "second line"}));
    EXPECT_EQ(report.DataSet(), lines);
    EXPECT_TRUE(report.TwoPass());
    EXPECT_FALSE(report.Options().testFlag(roDisableControls));
    EXPECT_EQ(report.PageNoStartAt(), 10);
    EXPECT_EQ(Stack()->count(), commands + 1);
    ExpectUndoRedo(before, "the report settings");
}

TEST(Ruler, TicksInEachUnit)
{
    // Numbered ticks every 50 pixels, every centimetre, every inch (96 pixels).
    auto numbered = [](TRulerUnit unit, int length) {
        QStringList out;
        for (const TRuler::TTick& tick : TRuler::Ticks(unit, length))
            if (tick.Size == 2)
                out << QStringLiteral("%1@%2").arg(tick.Number).arg(tick.Position);
        return out.join(' ');
    };
    EXPECT_EQ(numbered(ruPixels, 120), "0@0 50@50 100@100");
    EXPECT_EQ(numbered(ruMillimetres, 80), "0@0 1@38 2@76");
    EXPECT_EQ(numbered(ruInches, 200), "0@0 1@96 2@192");
    EXPECT_TRUE(TRuler::Ticks(ruMillimetres, 0).isEmpty());
}

TEST_F(ReportDialogsTest, AFormMadeInTheDesignerRendersWithTheRightTotals)
{
    QString error;
    ASSERT_TRUE(window->AddSqlDataSet("Orders", kShop, "select payment, shipping from orders order by payment, id",
                                      &error))
        << error.toStdString();
    window->AddGroup("[payment]");
    window->AddBand(btReportSummary);
    ASSERT_EQ(report.BandCount(), 6); // header, group header, detail, group footer, footer, summary
    int expressionTool = -1;
    for (int i = 0; i < KVXControls().size(); ++i)
        if (KVXControls()[i].ClassName == "TKVXExpression")
            expressionTool = i + 2;
    ASSERT_GE(expressionTool, 2);
    TObjectInspector* inspector = window->Inspector();
    auto insert = [&](int band, int left, const QStringList& settings) {
        designer.Options().InsertTool = expressionTool;
        QTest::mouseClick(window->PanelOf(report.GetBand(band)), Qt::LeftButton, {}, {left, 2});
        for (const QString& setting : settings) {
            const qsizetype eq = setting.indexOf(u'=');
            ASSERT_TRUE(inspector->SetFromText(setting.left(eq), setting.mid(eq + 1))) << setting.toStdString();
        }
    };
    const QString money = QStringLiteral("Format=@N @ND2 @NS. @NR0.01 ");
    insert(3, 10, {"Expression=[payment]", "Width=150"});
    insert(3, 200, {"Expression=[shipping]", money, "Calculation.CalcType=ctSum", "Calculation.ResetType=rtEndGroup",
                    "Calculation.ResetGroup=[payment]"});
    insert(5, 10, {"Expression=[shipping]", "Calculation.CalcType=ctCount", "Format=@N @ND0 "});
    insert(5, 200, {"Expression=[shipping]", money, "Calculation.CalcType=ctSum"});
    for (int band : {1, 2}) { // the group header and the detail band print nothing: keep them thin
        window->SetCurrentObject(report.GetBand(band));
        designer.ClearSelected();
        ASSERT_TRUE(inspector->SetFromText("Height", "1"));
    }
    const QString form = dir.filePath("built.kvx");
    ASSERT_TRUE(window->SaveFile(form));

    const QString out = dir.filePath("built.txt");
    const ToolRun run = Vorel({"render", form, "-o", out, "--quiet"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList lines = text.split(u'\n');
    SCOPED_TRACE(text.toStdString());
    auto lineWith = [&](const QString& text) {
        for (const QString& line : lines)
            if (line.contains(text))
                return line.simplified();
        return QString();
    };
    // Shipping per payment in the shop database: 34.30, 39.20, 29.40; 150 orders, 102.90 in all.
    EXPECT_EQ(lineWith("Bank transfer"), "Bank transfer 34.30");
    EXPECT_EQ(lineWith("Card"), "Card 39.20");
    EXPECT_EQ(lineWith("Invoice"), "Invoice 29.40");
    EXPECT_EQ(lineWith("102.90"), "150 102.90");
}

} // namespace
} // namespace vorel
