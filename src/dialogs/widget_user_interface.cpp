#include "dialogs/widget_user_interface.h"

#include "dialogs/parameter_form.h"
#include "dialogs/print_setup_form.h"
#include "dialogs/progress_form.h"
#include "graphics/printer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

namespace vorel {

namespace {
void ProcessPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
} // namespace

TWidgetUserInterface::TWidgetUserInterface() = default;

TWidgetUserInterface::~TWidgetUserInterface()
{
    delete FProgress.data();
    while (FBusyDepth > 0)
        SetBusyCursor(false);
}

TDialogResult TWidgetUserInterface::ShowParameterDialog(TParameterDialogModel& model)
{
    if (model.IsEmpty())
        return TDialogResult::Skipped;
    TfrmParameters dialog(model, FParent);
    if (dialog.exec() != QDialog::Accepted)
        return TDialogResult::Cancelled;
    dialog.WriteBack(model);
    return TDialogResult::Accepted;
}

bool TWidgetUserInterface::CreateProgressDlg(int, const QString& caption, const QString& status,
                                             const QString& cancelCaption, int min, int max, int position)
{
    DestroyProgressDlg();
    ProcessPendingEvents();
    // A widget that holds the mouse (a button being pressed) lets it go.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    auto* dialog = new TfrmKVXProcess(FParent);
    FProgress = dialog;
    dialog->SetTexts(caption, status, cancelCaption);
    dialog->SetRange(min, max);
    dialog->SetPosition(position);
    // Modal to the application: the other windows take no input while it
    // exists, so the report cannot be re-entered.
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    ProcessPendingEvents();
    return true;
}

bool TWidgetUserInterface::UpdateProgressDlg(const QString& status, int position)
{
    if (!FProgress)
        return false;
    if (!FProgress->isVisible())
        FProgress->show();
    FProgress->SetStatus(status);
    FProgress->SetPosition(position);
    FProgress->repaint();
    ProcessPendingEvents();
    return true;
}

bool TWidgetUserInterface::DestroyProgressDlg()
{
    if (!FProgress)
        return false;
    delete FProgress.data();
    ProcessPendingEvents();
    return true;
}

bool TWidgetUserInterface::ProgressCanceled()
{
    if (!FProgress)
        return false;
    // The Cancel button is handled between records, sheets and pages.
    ProcessPendingEvents();
    return FProgress && FProgress->CancelPressed();
}

void TWidgetUserInterface::ShowModalCallBack(const TKVXCallBack& callback)
{
    if (!FProgress) {
        if (callback)
            callback();
        return;
    }
    FProgress->RunModal(callback);
}

void TWidgetUserInterface::SetBusyCursor(bool busy)
{
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++FBusyDepth;
    } else if (FBusyDepth > 0) {
        QGuiApplication::restoreOverrideCursor();
        --FBusyDepth;
    }
}

bool TWidgetUserInterface::ShowPrintDialog(const TPrintRequest& request, TPrintChoice& choice)
{
    TfrmPrintSetup dialog(request, FParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.PrintChoice();
    return true;
}

TfrmKVXProcess* TWidgetUserInterface::ProgressDialog() const
{
    return FProgress;
}

bool TWidgetUserInterface::ShowPrinterSetupDialog(int lang, int helpContext)
{
    Q_UNUSED(lang);
    Q_UNUSED(helpContext);
    TPrinterService& service = TPrinterService::Instance();
    int index = service.PrinterIndex();
    if (!RunQtPrinterSetup(FParent, index))
        return false;
    if (index != service.PrinterIndex())
        service.SetPrinterIndex(index);
    return true;
}

bool TWidgetUserInterface::ShowSaveExportDialog(const TSaveExportRequest& request, TSaveExportChoice& choice)
{
    TfrmPrintSetup dialog(request, FParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.SaveChoice();
    return true;
}

} // namespace vorel
