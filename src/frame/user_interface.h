#pragma once
// What the core asks of a user interface instead of opening dialogs itself.
// The headless default (used by the tools, servers and tests) never blocks:
// parameters keep their values unless values were given from outside.
// vorel_ui installs a Qt Widgets implementation with SetUserInterface.

#include "frame/parameter_dialog.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>

namespace vorel {

enum class TDialogResult { Accepted, Cancelled, Skipped };

// A method without arguments run inside the modal progress dialog.
using TKVXCallBack = std::function<void()>;

// --- the save/export dialog ---------------------------------------------------
// One entry of the dialog's format list: the prepared-report format first,
// then every registered export filter in registration order.
struct TSaveExportFormat {
    QString ClassName;  // the filter's class; empty for the prepared-report format
    QString Extension;  // without the full stop ("ZPG", "CSV"); the dialog puts it on the file name
    QString Name;       // shown in the format list
    QString FileFilter; // the save-file dialog's filter ("CSV file (*.csv)|*.CSV|All files (*.*)|*.*")
    QString IconName;   // a theme icon name for files of the extension; may be empty
};

// What the core tells the dialog.
struct TSaveExportRequest {
    int Lang = 0;
    int HelpContext = 0;
    QString FileName;                 // put into the file name field when not empty
    QList<TSaveExportFormat> Formats; // index 0 is the prepared-report format
    int NumPages = 0;                 // for all, even and odd pages
    int CurrentPage = 1;              // 1-based, for "current page"
};

// What the user chose.
struct TSaveExportChoice {
    int FormatIndex = 0; // into TSaveExportRequest::Formats
    QString FileName;
    QList<int> Pages;    // 1-based page numbers, ascending; every bar of a listed page
    bool SeparateFiles = false;
};

// --- the print dialog -----------------------------------------------------------
// What the core tells the print dialog. The dialog chooses the printer on
// the printer services (TPrinterService) itself: it selects the report's
// printer in its list, and the printer confirmed in the list is the one
// the job goes to; a cancelled dialog leaves the system printer as it was.
struct TPrintRequest {
    int Lang = 0;
    int HelpContext = 0;
    QString PrinterName;   // the report's PrinterSetting.PrinterName; selected in the list when not empty
    int PrinterIndex = -1; // else this position (-1: the current system printer)
    int NumPages = 0;      // for all, even and odd pages
    int CurrentPage = 1;   // 1-based, for "current page"
    int Copies = 1;        // the report's PrinterSetting.Copies (the dialog shows one copy at start)
    bool Collate = false;  // the report's PrinterSetting.Collate (the dialog starts cleared)
};

// What the user chose.
struct TPrintChoice {
    QList<int> Pages; // 1-based page numbers, ascending; every bar of a listed page
    int Copies = 1;   // as entered; 1 when the text is no number
    bool Collate = false;
};

class TKVXUserInterface {
public:
    virtual ~TKVXUserInterface() = default;
    // Shows the parameter dialog. Accepted: the model's editor states are
    // written back. Cancelled: nothing changes and generation does not start.
    // Skipped: nothing changes and generation goes on.
    virtual TDialogResult ShowParameterDialog(TParameterDialogModel& model) = 0;

    // --- progress ---------------------------------------------------------
    // One progress dialog at a time. The defaults below show nothing: no
    // dialog exists, nothing is ever cancelled, and a modal callback simply
    // runs. The headless interface writes a line on a terminal; vorel_ui
    // shows the Qt dialog.
    //
    // Replaces any existing dialog. The bar is shown only when min or max is
    // non-zero. True when a dialog now exists.
    virtual bool CreateProgressDlg(int lang, const QString& caption, const QString& status,
                                   const QString& cancelCaption, int min, int max, int position);
    // Shows the dialog again if it was hidden and sets the status text and
    // bar position. Whether a dialog exists.
    virtual bool UpdateProgressDlg(const QString& status, int position);
    // Whether a dialog existed.
    virtual bool DestroyProgressDlg();
    // The dialog's cancel flag; false when there is no dialog. Generation
    // loops poll it, printing and exporting do not.
    virtual bool ProgressCanceled();
    // Shows the dialog modally and runs the callback once inside it; the
    // dialog closes (hides) when the callback returns or raises, and an
    // exception of the callback propagates.
    virtual void ShowModalCallBack(const TKVXCallBack& callback);
    // The hourglass while a report prepares.
    virtual void SetBusyCursor(bool busy);

    // The print dialog (printer, pages, copies, collation). True when the
    // user confirmed; choice then holds the result. The default shows
    // nothing and prints every page with the report's copies and collation,
    // on the current printer.
    virtual bool ShowPrintDialog(const TPrintRequest& request, TPrintChoice& choice);

    // The save/export dialog (format, file name, pages, one file per page).
    // True when the user confirmed; choice then holds the result. The
    // default shows nothing and answers as a cancelled dialog.
    virtual bool ShowSaveExportDialog(const TSaveExportRequest& request, TSaveExportChoice& choice);

    // The system printer set-up dialog (printer, paper, orientation, bin)
    // on the printer services' current printer; the preview window's
    // printer set-up button. True when the user confirmed. The default
    // shows nothing and answers as a cancelled dialog.
    virtual bool ShowPrinterSetupDialog(int lang, int helpContext)
    {
        Q_UNUSED(lang);
        Q_UNUSED(helpContext);
        return false;
    }
};

// The state of the headless progress line, shared by THeadlessUserInterface
// and its tests.
struct TProgressState {
    bool Exists = false;
    bool Visible = false; // false while closed after a modal callback
    int Lang = 0;
    QString Caption;
    QString Status;
    QString CancelCaption;
    int Min = 0;
    int Max = 0;
    int Position = 0;
};

class THeadlessUserInterface : public TKVXUserInterface {
public:
    // Values given from outside, by parameter name (exact) or display label.
    void SetParameterText(const QString& name, const QString& text) { FParameterTexts.insert(name, text); }
    void ClearParameterTexts() { FParameterTexts.clear(); }
    const QHash<QString, QString>& ParameterTexts() const { return FParameterTexts; }

    // With no values given: Skipped. Otherwise the given values fill their
    // editors (unknown combo items raise EKVXError naming the parameter) and
    // the dialog counts as confirmed; editors without a value keep what they show.
    TDialogResult ShowParameterDialog(TParameterDialogModel& model) override;

    // The save/export dialog without a display: the caller gives the answer
    // beforehand. format names an entry by extension ("csv", ".CSV", "ZPG"),
    // class name or shown name, case-insensitive. An empty file name takes
    // the request's; an empty page list means every page. Without an answer
    // given the dialog counts as cancelled. The answer stays for later calls.
    void SetSaveExportChoice(const QString& format, const QString& fileName, const QList<int>& pages = {},
                             bool separateFiles = false);
    void ClearSaveExportChoice() { FSaveChoiceGiven = false; }
    // Raises EKVXError naming the format when no entry matches it.
    bool ShowSaveExportDialog(const TSaveExportRequest& request, TSaveExportChoice& choice) override;

    // Progress: one line on standard error, rewritten in place, when standard
    // error is a terminal; silent otherwise. Terminal writes are throttled
    // (at most one per ProgressInterval ms, creation and the last state
    // always written), so thousands of pages cost nothing noticeable.
    bool CreateProgressDlg(int lang, const QString& caption, const QString& status, const QString& cancelCaption,
                           int min, int max, int position) override;
    bool UpdateProgressDlg(const QString& status, int position) override;
    bool DestroyProgressDlg() override;
    bool ProgressCanceled() override;
    void ShowModalCallBack(const TKVXCallBack& callback) override;

    // Cancels the current dialog as its Cancel button would. Only stores an
    // atomic flag, so a SIGINT handler may call it. Ignored without a dialog
    // (a new dialog starts uncancelled).
    void RequestCancel() noexcept { FCancelRequested.store(true, std::memory_order_relaxed); }
    const TProgressState& Progress() const { return FProgress; }

    // Where the line goes. The default writes to standard error and decides
    // with isatty(2) on every creation; tests install a writer and say
    // whether it counts as a terminal. ResetProgressOutput restores the default.
    void SetProgressOutput(std::function<void(const QByteArray&)> writer, bool isTerminal, int columns = 0);
    void ResetProgressOutput();
    void SetProgressInterval(int milliseconds) { FIntervalMs = milliseconds; }
    // The text of the line for a state, without terminal control codes:
    // "caption: status" plus " NN%" while the bar is shown.
    static QString ProgressLine(const TProgressState& state);

private:
    void WriteLine(bool force);
    void ClearLine();
    bool OutputIsTerminal() const;

    QHash<QString, QString> FParameterTexts;
    bool FSaveChoiceGiven = false;
    QString FSaveFormat;
    QString FSaveFileName;
    QList<int> FSavePages;
    bool FSaveSeparate = false;
    TProgressState FProgress;
    std::atomic<bool> FCancelRequested{false};
    std::function<void(const QByteArray&)> FWriter;
    bool FWriterIsTerminal = false;
    int FWriterColumns = 0;
    bool FTerminal = false; // decided at creation
    bool FLineShown = false;
    int FIntervalMs = 100;
    QElapsedTimer FLastWrite;
};

// The installed user interface (the headless one unless replaced). Not owned.
TKVXUserInterface* UserInterface();
// nullptr restores the headless default.
void SetUserInterface(TKVXUserInterface* ui);
THeadlessUserInterface* HeadlessUserInterface();

// Asks for the parameters that need it through the user interface. False
// only when the user cancels; then no value has changed. True when nothing
// needed asking.
bool AskParameters(TKVXParameters& parameters, int lang, TKVXUserInterface* ui = UserInterface());

// The progress operations on the installed user interface.
bool CreateProgressDlg(int lang, const QString& caption, const QString& status, const QString& cancelCaption,
                       int min, int max, int position);
bool UpdateProgressDlg(const QString& status, int position);
bool DestroyProgressDlg();
bool ProgressCanceled();
void ShowModalCallBack(const TKVXCallBack& callback);

} // namespace vorel
