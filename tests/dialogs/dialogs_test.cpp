// The widget dialogs under the offscreen platform: the page-range rules
// and printer handling of the print setup dialog, its file mode, the
// parameter, print-when and progress dialogs, and a picture of each
// (written to <build>/dialog-snapshots for people to look at).

#include "dialogs/parameter_form.h"
#include "dialogs/print_setup_form.h"
#include "dialogs/print_when_form.h"
#include "dialogs/progress_form.h"
#include "dialogs/widget_user_interface.h"

#include "foundation/values/errors.h"
#include "frame/print_component.h"
#include "graphics/metafile_canvas.h"
#include "graphics/printer.h"
#include "model/print_when.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QMouseEvent>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vorel;

namespace {

struct ScopedFakes {
    ScopedFakes()
    {
        TFakePrinterSetup a;
        a.Name = QStringLiteral("Front desk");
        TFakePrinterSetup b;
        b.Name = QStringLiteral("Back office");
        TFakePrinterSetup c;
        c.Name = QStringLiteral("Plotter");
        // Sheets are counted, not kept: the tests look at the job only.
        for (TFakePrinterSetup* setup : {&a, &b, &c})
            setup->KeepPageImages = false;
        TPrinterService::Instance().InstallFakePrinters({a, b, c});
    }
    ~ScopedFakes() { TPrinterService::Instance().InstallFakePrinters({}); }
};

// Writes the widget's picture and checks that something was drawn.
void Snapshot(QWidget& widget, const QString& name)
{
    widget.adjustSize();
    const QPixmap picture = widget.grab();
    ASSERT_FALSE(picture.isNull());
    const QString folder = QStringLiteral(VOREL_BINARY_DIR "/dialog-snapshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(picture.save(folder + u'/' + name + QStringLiteral(".png")));
}

TPrintRequest PrintRequest(int pages = 12, int current = 4)
{
    TPrintRequest request;
    request.NumPages = pages;
    request.CurrentPage = current;
    return request;
}

} // namespace

TEST(PrintSetupDialog, PageRangeChoicesGiveTheirPageLists)
{
    ScopedFakes fakes;
    TfrmPrintSetup dialog(PrintRequest(7, 4));
    EXPECT_TRUE(dialog.rbAll->isChecked()) << "all pages at start";
    EXPECT_EQ(dialog.edCopy->text(), QStringLiteral("1"));
    EXPECT_FALSE(dialog.cbCollate->isChecked());
    const struct {
        QRadioButton* button;
        QString text;
        QList<int> pages;
    } rows[] = {
        {dialog.rbAll, {}, {1, 2, 3, 4, 5, 6, 7}},
        {dialog.rbCurrent, {}, {4}},
        {dialog.rbEven, {}, {2, 4, 6}},
        {dialog.rbOdd, {}, {1, 3, 5, 7}},
        // Numbers are not compared with the page count: printing skips
        // pages that do not exist.
        {dialog.rbRange, QStringLiteral("1,3,5-12"), {1, 3, 5, 6, 7, 8, 9, 10, 11, 12}},
        {dialog.rbRange, QStringLiteral("2 - 4"), {2, 3, 4}},
    };
    for (const auto& row : rows) {
        row.button->setChecked(true);
        dialog.edPages->setText(row.text);
        EXPECT_EQ(dialog.PageList(), row.pages) << row.button->objectName().toStdString() << " " << row.text.toStdString();
    }
}

TEST(PrintSetupDialog, ClickingIntoTheRangeChoosesItAndBadRangesKeepTheDialogOpen)
{
    ScopedFakes fakes;
    TfrmPrintSetup dialog(PrintRequest());
    dialog.show();
    const QPointF inside(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, inside, dialog.edPages->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.edPages, &press);
    EXPECT_TRUE(dialog.rbRange->isChecked());

    bool accepted = false;
    QObject::connect(&dialog, &QDialog::accepted, [&] { accepted = true; });
    for (const QString& text : {QStringLiteral("abc"), QStringLiteral("99999999999")}) {
        dialog.edPages->setText(text);
        dialog.btnOK->click();
        EXPECT_FALSE(accepted) << text.toStdString();
        EXPECT_FALSE(dialog.lblError->isHidden()) << "says why: " << text.toStdString();
    }
    dialog.edPages->setText(QStringLiteral("2"));
    dialog.btnOK->click();
    EXPECT_TRUE(accepted);
}

TEST(PrintSetupDialog, CopiesTextThatIsNoNumberPrintsOneCopy)
{
    ScopedFakes fakes;
    TfrmPrintSetup dialog(PrintRequest());
    for (const auto& [text, copies] : {std::pair{QStringLiteral("3"), 3}, {QStringLiteral("two"), 1}, {QString(), 1}}) {
        dialog.edCopy->setText(text);
        EXPECT_EQ(dialog.PrintChoice().Copies, copies) << text.toStdString();
    }
    dialog.cbCollate->setChecked(true);
    EXPECT_TRUE(dialog.PrintChoice().Collate);
}

TEST(PrintSetupDialog, SelectsTheReportsPrinterByNameElseByIndexElseTheCurrent)
{
    ScopedFakes fakes;
    TPrinterService::Instance().SetPrinterIndex(2);
    TPrintRequest request = PrintRequest();
    request.PrinterName = QStringLiteral("Back office");
    request.PrinterIndex = 0;
    EXPECT_EQ(TfrmPrintSetup(request).cbPrinterName->currentIndex(), 1);
    request.PrinterName.clear();
    EXPECT_EQ(TfrmPrintSetup(request).cbPrinterName->currentIndex(), 0);
    request.PrinterIndex = -1;
    EXPECT_EQ(TfrmPrintSetup(request).cbPrinterName->currentIndex(), 2);
    request.PrinterName = QStringLiteral("Gone");
    EXPECT_EQ(TfrmPrintSetup(request).cbPrinterName->currentIndex(), 2);
}

TEST(PrintSetupDialog, CancelAfterThePrinterSetupRestoresThePreviousPrinter)
{
    ScopedFakes fakes;
    TPrinterService& service = TPrinterService::Instance();
    service.SetPrinterIndex(0);
    TfrmPrintSetup dialog(PrintRequest());
    // The system's set-up dialog, as the user would leave it: another printer chosen.
    dialog.SystemPrinterSetup = [](int& index) {
        index = 2;
        return true;
    };
    dialog.btnPrinter->click();
    EXPECT_EQ(service.PrinterIndex(), 2);
    EXPECT_EQ(dialog.cbPrinterName->currentIndex(), 2) << "the list follows the set-up";
    dialog.btnCancel->click();
    EXPECT_EQ(service.PrinterIndex(), 0);
}

TEST(PrintSetupDialog, ThePrinterChosenInTheListIsTheOnePrintedOn)
{
    ScopedFakes fakes;
    TPrinterService& service = TPrinterService::Instance();
    service.SetPrinterIndex(0);
    TfrmPrintSetup dialog(PrintRequest());
    dialog.cbPrinterName->setCurrentIndex(1);
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(service.PrinterName(), QStringLiteral("Back office"));
}

TEST(PrintSetupDialog, FileModeSwapsTheExtensionWithTheFormatAndReturnsTheChoice)
{
    TSaveExportRequest request;
    request.FileName = QStringLiteral("/tmp/report.v1/out.zpg");
    request.NumPages = 4;
    request.Formats = {{{}, QStringLiteral("ZPG"), QStringLiteral("Vorel generated"),
                        QStringLiteral("Vorel generated (*.zpg)|*.ZPG|All files (*.*)|*.*"), {}},
                       {QStringLiteral("TKVXCSVExport"), QStringLiteral("CSV"), QStringLiteral("CSV file"),
                        QStringLiteral("CSV file|*.CSV|All files (*.*)|*.*"), {}}};
    TfrmPrintSetup dialog(request);
    EXPECT_TRUE(dialog.pnlPrinter->isHidden());
    EXPECT_FALSE(dialog.pnlExport->isHidden());
    EXPECT_EQ(dialog.edFileName->text(), request.FileName) << "the first format changes nothing";
    dialog.cbExportType->setCurrentIndex(1);
    EXPECT_EQ(dialog.edFileName->text(), QStringLiteral("/tmp/report.v1/out.csv"));
    dialog.edFileName->setText(QStringLiteral("/tmp/report.v1/noext"));
    dialog.cbExportType->setCurrentIndex(0);
    EXPECT_EQ(dialog.edFileName->text(), QStringLiteral("/tmp/report.v1/noext.zpg"));
    dialog.rbOdd->setChecked(true);
    dialog.cbSeparateFile->setChecked(true);
    const TSaveExportChoice choice = dialog.SaveChoice();
    EXPECT_EQ(choice.FormatIndex, 0);
    EXPECT_EQ(choice.Pages, (QList<int>{1, 3}));
    EXPECT_TRUE(choice.SeparateFiles);
    EXPECT_EQ(QtFileFilter(request.Formats[1].FileFilter), QStringLiteral("CSV file (*.csv *.CSV);;All files (*.*)"));
    Snapshot(dialog, QStringLiteral("export_setup"));
}

TEST(ParameterDialog, RowsAtTheirPlacesAndEditorsWriteBackTheirKinds)
{
    TKVXParameters parameters(nullptr);
    const auto add = [&](const QString& name, TKVXParameterEditor editor, const Variant& value,
                         const QStringList& items = {}) {
        TKVXParameter* p = parameters.Add();
        p->SetName(name);
        p->SetDisplayLabel(name + QStringLiteral(":"));
        p->SetParameterEditor(editor);
        p->SetValue(value);
        p->ParamPromptValues()->SetList(items);
    };
    add(QStringLiteral("Region"), peCombobox, Variant(2), {QStringLiteral("North"), QStringLiteral("East"), QStringLiteral("South")});
    add(QStringLiteral("Limit"), peEdit, Variant(5));
    add(QStringLiteral("Archived"), peCheckBox, Variant());
    TParameterDialogModel model = BuildParameterDialog(parameters, 0);
    TfrmParameters dialog(model);
    ASSERT_EQ(model.Prompts.size(), 3);
    // The second row stands one editor height and 10 pixels below the first.
    EXPECT_EQ(dialog.Editor(1)->y(), dialog.Editor(0)->y() + dialog.Editor(0)->height() + 10);
    EXPECT_EQ(dialog.Editor(0)->x(), 110);
    EXPECT_EQ(dialog.size(), QSize(225, model.ClientHeight));
    auto* combo = qobject_cast<QComboBox*>(dialog.Editor(0));
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->currentText(), QStringLiteral("South")) << "the integer 2 selects the third item";
    Snapshot(dialog, QStringLiteral("parameters"));

    combo->setCurrentIndex(1);
    qobject_cast<QLineEdit*>(dialog.Editor(1))->setText(QStringLiteral("12"));
    qobject_cast<QCheckBox*>(dialog.Editor(2))->setChecked(true);
    dialog.WriteBack(model);
    ApplyParameterDialog(parameters, model);
    EXPECT_EQ(parameters.GetParameter(0)->Value().ToString(), QStringLiteral("East"));
    EXPECT_EQ(parameters.GetParameter(1)->Value().Type(), varString) << "an edit writes text";
    EXPECT_EQ(parameters.GetParameter(2)->Value().Type(), varBoolean);
    EXPECT_TRUE(parameters.GetParameter(2)->Value().ToBool());
}

TEST(PrintWhenDialog, UntickedConditionsStoreNothingAndCancelChangesNothing)
{
    TKVPrintWhen settings;
    settings.SetShowIf(QStringLiteral("[amount] > 100"));
    settings.SetHideWhen(QStringLiteral("[void]"));
    settings.SetGroupName(QStringLiteral("[region]"));
    settings.SetOnGroupChange(true);
    const QStringList groups{QStringLiteral("[customer]"), QStringLiteral("[region]")};
    TfrmPrintWhen dialog(settings, groups, 0);
    EXPECT_TRUE(dialog.cbShowIf->isChecked());
    EXPECT_EQ(dialog.cbGroupName->currentText(), QStringLiteral("[region]"));
    EXPECT_TRUE(dialog.btnShowIf->isHidden()) << "no expression builder given";
    Snapshot(dialog, QStringLiteral("print_when"));

    dialog.cbHideWhen->setChecked(false);
    EXPECT_FALSE(dialog.edHideWhen->isEnabled());
    dialog.cbOnGroupChange->setChecked(false);
    EXPECT_FALSE(dialog.cbGroupName->isEnabled());
    dialog.rbRepeatNo->setChecked(true);
    dialog.cbRemoveBlankLine->setChecked(true);
    TKVPrintWhen edited;
    edited.Assign(&settings);
    dialog.WriteTo(edited);
    EXPECT_EQ(edited.ShowIf(), QStringLiteral("[amount] > 100"));
    EXPECT_TRUE(edited.HideWhen().isEmpty());
    EXPECT_FALSE(edited.RepeatedValues());
    EXPECT_TRUE(edited.RemoveBlankLine());
    EXPECT_FALSE(edited.OnGroupChange());
    EXPECT_EQ(settings.HideWhen(), QStringLiteral("[void]")) << "the dialog edits a copy";
}

TEST(ProgressDialog, CancelIsAFlagAndTheModalCallbackCarriesItsException)
{
    TWidgetUserInterface ui;
    EXPECT_FALSE(ui.ProgressCanceled()) << "no dialog, nothing cancelled";
    ASSERT_TRUE(ui.CreateProgressDlg(0, QStringLiteral("Sales"), QStringLiteral("Preparing..."), QStringLiteral("&Cancel"), 0, 0, 100));
    TfrmKVXProcess* dialog = ui.ProgressDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->Bar()->isHidden()) << "no range, no bar";
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Sales"));
    ui.UpdateProgressDlg(QStringLiteral("Preparing page 3 on the bar 1..."), 0);
    EXPECT_EQ(dialog->StatusLabel()->text(), QStringLiteral("Preparing page 3 on the bar 1..."));
    Snapshot(*dialog, QStringLiteral("progress"));
    dialog->CancelButton()->click();
    EXPECT_TRUE(ui.ProgressCanceled());

    ui.CreateProgressDlg(0, QStringLiteral("Sales"), QStringLiteral("Printing..."), QStringLiteral("&Cancel"), 0, 6, 0);
    EXPECT_FALSE(ui.ProgressCanceled()) << "a new dialog starts uncancelled";
    EXPECT_FALSE(ui.ProgressDialog()->Bar()->isHidden());
    bool ran = false;
    EXPECT_THROW(ui.ShowModalCallBack([&] {
        ran = true;
        EXPECT_TRUE(ui.ProgressDialog()->isVisible());
        throw EKVXError(QStringLiteral("generation failed"));
    }),
                 EKVXError);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(ui.DestroyProgressDlg());
    EXPECT_FALSE(ui.DestroyProgressDlg());
}

namespace {
// Three pages whose generation does not poll for a cancel, so only the
// printing loop can stop.
class TThreePages : public TKVPrintComponent {
public:
    void PrepareReport() override
    {
        TKVPrintComponent::PrepareReport();
        BeginDoc();
        for (int page = 0; page < 3; ++page) {
            NewPage(false);
            MFCanvas()->TextOut(50, 50, QStringLiteral("page %1").arg(page + 1));
        }
        EndDoc();
    }
};

// Presses the dialog's Cancel as the second sheet's progress shows.
class TClickingUi : public TWidgetUserInterface {
public:
    bool Armed = false;
    int Updates = 0;
    bool UpdateProgressDlg(const QString& status, int position) override
    {
        const bool result = TWidgetUserInterface::UpdateProgressDlg(status, position);
        if (Armed && ++Updates == 2 && ProgressDialog())
            ProgressDialog()->CancelButton()->click();
        return result;
    }
};
} // namespace

TEST(ProgressDialog, CancelWhilePrintingDropsTheJob)
{
    ScopedFakes fakes;
    TClickingUi ui;
    SetUserInterface(&ui);
    struct Reset {
        ~Reset() { SetUserInterface(nullptr); }
    } reset;
    TThreePages report;
    bool after = false;
    report.OnAfterPrint = [&](QObject*) { after = true; };
    report.Prepare();
    ui.Armed = true;
    report.PrintReport();
    QList<TFakeJob>& jobs = TPrinterService::Instance().FakeJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_TRUE(jobs[0].Aborted);
    EXPECT_TRUE(report.Cancelled());
    EXPECT_FALSE(after);
    EXPECT_FALSE(ui.ProgressDialog()) << "the progress dialog is gone";
}

TEST(PrintSetupDialog, PictureOfThePrintMode)
{
    ScopedFakes fakes;
    TfrmPrintSetup dialog(PrintRequest());
    EXPECT_FALSE(dialog.pnlPrinter->isHidden());
    EXPECT_TRUE(dialog.pnlExport->isHidden());
    dialog.rbRange->setChecked(true);
    dialog.edPages->setText(QStringLiteral("1,3,5-12"));
    Snapshot(dialog, QStringLiteral("print_setup"));
}
