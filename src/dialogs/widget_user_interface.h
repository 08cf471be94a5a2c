#pragma once
// The Qt Widgets implementation of the user-interface interface: the
// parameter dialog, the progress dialog, the print dialog and the save or
// export dialog. An application (or the tool's interactive commands)
// installs it once a QApplication exists:
//
//     vorel::TWidgetUserInterface ui;
//     vorel::SetUserInterface(&ui);

#include "frame/user_interface.h"

#include <QPointer>

class QWidget;

namespace vorel {

class TfrmKVXProcess;

class TWidgetUserInterface : public TKVXUserInterface {
public:
    TWidgetUserInterface();
    ~TWidgetUserInterface() override;

    // The window the dialogs are centred on and owned by (nullptr: none).
    void SetParentWidget(QWidget* parent) { FParent = parent; }

    TDialogResult ShowParameterDialog(TParameterDialogModel& model) override;

    bool CreateProgressDlg(int lang, const QString& caption, const QString& status, const QString& cancelCaption,
                           int min, int max, int position) override;
    bool UpdateProgressDlg(const QString& status, int position) override;
    bool DestroyProgressDlg() override;
    bool ProgressCanceled() override;
    void ShowModalCallBack(const TKVXCallBack& callback) override;
    void SetBusyCursor(bool busy) override;

    bool ShowPrintDialog(const TPrintRequest& request, TPrintChoice& choice) override;
    bool ShowSaveExportDialog(const TSaveExportRequest& request, TSaveExportChoice& choice) override;
    // The system printer set-up on the printer services' current printer;
    // a printer chosen there becomes the current one.
    bool ShowPrinterSetupDialog(int lang, int helpContext) override;

    // The progress dialog while one exists (tests look at it).
    TfrmKVXProcess* ProgressDialog() const;

private:
    QPointer<QWidget> FParent;
    QPointer<TfrmKVXProcess> FProgress;
    int FBusyDepth = 0;
};

} // namespace vorel
