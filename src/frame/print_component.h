#pragma once
// The print component frame: the common base of every printable component
// (designed, composite and automatic reports). It owns the page list of a
// prepared report, drives a preparation through a fixed sequence of virtual
// operations, records each page as an enhanced metafile with a canvas to
// draw on, draws the page frame, and supplies system data values and the
// variable lookup of the expression language. Descendants implement the
// generation (PrepareReport) and, where they need to, page numbering and
// page start.
//
// Published properties: the base publishes Language, KVProperty and
// HelpContext, TKVPrintComponent adds TwoPass. Frame, AnimatedStatus,
// PrinterSetting, Font and Options have their accessors here and are
// published by the descendants that store them (TKVReport re-declares them
// as Q_PROPERTYs in its own order).

#include "foundation/language/language.h"
#include "foundation/records/records.h"
#include "foundation/records/document_properties.h"
#include "frame/get_variable_event.h"
#include "frame/page_frame.h"
#include "frame/page_list.h"
#include "frame/printer_settings.h"

#include <QIODevice>
#include <QList>
#include <atomic>
#include <memory>

namespace vorel {

class TKVXExport;
class TMetafileCanvas;
struct TPrintSheet;

class TKVXPrintEnums {
    Q_GADGET
public:
    enum TKVXOption { roDisableControls = 1 };
    Q_DECLARE_FLAGS(TKVXOptions, TKVXOption)
    Q_FLAG(TKVXOptions)
    Q_CLASSINFO("Doc.roDisableControls", "While the report walks its data sets, windows showing them do not follow "
                                         "each move, which is faster.")
    enum TStatus { stIdle, stPrinting, stPrinted };
    Q_ENUM(TStatus)
};
using TKVXOption = TKVXPrintEnums::TKVXOption;
using TKVXOptions = TKVXPrintEnums::TKVXOptions;
using TStatus = TKVXPrintEnums::TStatus;
using enum TKVXPrintEnums::TKVXOption;
using enum TKVXPrintEnums::TStatus;
Q_DECLARE_OPERATORS_FOR_FLAGS(TKVXPrintEnums::TKVXOptions)

using TNotifyEvent = std::function<void(QObject* sender)>;
// Page counts from 1, Bar from 0.
using TPageEvent = std::function<void(QObject* sender, int page, int bar)>;
// (Sender, Done, Total): raised by ExportTo and SavePreparedPages after each
// page (and bar) written; Done counts from 1 up to Total.
using TOutputProgressEvent = std::function<void(QObject* sender, int done, int total)>;
// Raised by ExportTo with the filter it created, after the document
// properties are copied and before the first page: the caller's chance to
// set the filter's own options (its published properties).
using TExportFilterEvent = std::function<void(QObject* sender, TKVXExport& filter)>;

// The metafile description every page carries beside the creator text.
inline constexpr char16_t kPageDescription[] = u"Tarnwick Software";

// The product title and version: the default document title and the page
// metafiles' creator text.
QString ProductVersionText();

// Raised by the output entry points whose implementation is not part of
// this build ("Printing is not available in this build").
[[noreturn]] void RaiseNotAvailable(const QString& what);

class TKVPrintBaseComponent : public TComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of every printable component: preparation into pages, preview, printing and export, "
                       "document properties and language.")
    Q_PROPERTY(vorel::TKVXLanguage* Language READ Language WRITE SetLanguage)
    Q_CLASSINFO("Doc.Language", "The language of the report's own texts: band names, dialogs, progress display and "
                                "messages.")
    Q_PROPERTY(vorel::TKVProperty* KVProperty READ KVProperty WRITE SetKVProperty)
    Q_CLASSINFO("Doc.KVProperty", "The document properties: author, title, subject and keywords.")
    Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)
    Q_CLASSINFO("Doc.HelpContext", "The help topic the report's dialogs open; 0: none.")
public:
    Q_INVOKABLE explicit TKVPrintBaseComponent(QObject* owner = nullptr);
    ~TKVPrintBaseComponent() override;

    // --- published ---
    TKVXLanguage* Language() const { return FLanguage; }
    void SetLanguage(const TKVXLanguage* value); // copies
    TKVProperty* KVProperty() const { return FKVProperty; }
    void SetKVProperty(const TKVProperty* value); // copies
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }

    // --- published by descendants ---
    TKVXFrame* Frame() const { return FFrame; }
    void SetFrame(const TKVXFrame* value); // copies
    bool AnimatedStatus() const { return FAnimatedStatus; }
    void SetAnimatedStatus(bool value) { FAnimatedStatus = value; }
    TKVXPrinter* PrinterSetting() const { return FPrinterSetting; }
    void SetPrinterSetting(const TKVXPrinter* value); // copies
    TKVXVariables* Variables() const { return FVariables; }
    void SetVariables(const TKVXVariables* value); // copies
    TKVXOutlines* Outlines() const { return FOutlines; }
    void SetOutlines(const TKVXOutlines* value); // copies
    TKVXOptions Options() const { return FOptions; }
    void SetOptions(TKVXOptions value) { FOptions = value; }
    bool TwoPass() const { return FTwoPass; }
    void SetTwoPass(bool value) { FTwoPass = value; }
    // Whether a preparation records the data behind the pages as well: the
    // raw value of every control of the detail, page header and column
    // header bands, as comments in the page metafiles, which a data export
    // (the CSV filter's Mode dmData) reads. Off unless asked: it costs a
    // second evaluation of every detail control. Not stored.
    bool DataRecords() const { return FDataRecords; }
    void SetDataRecords(bool value) { FDataRecords = value; }

    // --- events ---
    TNotifyEvent OnBeginDoc;
    TNotifyEvent OnEndDoc;
    TPageEvent OnBeginPage;
    TPageEvent OnEndPage;
    TNotifyEvent OnBeforePreview;
    TNotifyEvent OnPreview; // when assigned, replaces the built-in preview window
    TNotifyEvent OnAfterPreview;
    TNotifyEvent OnBeforePrint;
    TNotifyEvent OnAfterPrint;
    TGetVariableEvent OnGetVariable; // last word on variable lookup
    TExportFilterEvent OnExportFilter;
    TOutputProgressEvent OnOutputProgress;

    // --- state ---
    bool Prepared() const { return FPrepared; }
    TStatus Status() const { return FStatus; }
    QString ProductVersion() const { return ProductVersionText(); }
    // The canvas of the current page: exists from NewPage to the next
    // NewPage or EndDoc (a page's metafile is complete once it is gone).
    TMetafileCanvas* MFCanvas() const { return FMFCanvas.get(); }
    // The system printer's settings saved by SavePrinter.
    TKVXPrinter* OldPrinterSetting() const { return FOldPrinterSetting; }
    const TPageList& Pages() const { return FPages; }
    // While the first pass of a two-pass preparation runs: its pages are
    // freed by the second pass unseen, only their number counts, so the
    // generation may leave out what cannot change that number.
    bool PagesOnlyCounted() const { return FPagesOnlyCounted; }
    TPageList& Pages() { return FPages; }
    // How many bytes of page metafiles stay in memory before pages spill to
    // a scratch file, and in which folder (page_store.h). A new component
    // takes DefaultPageStoreSettings(). Not stored in forms: it is the
    // machine's business, not the report's.
    const TPageStoreSettings& PageStoreSettings() const { return FPages.Store().Settings(); }
    void SetPageStoreSettings(const TPageStoreSettings& settings) { FPages.Store().SetSettings(settings); }

    // --- preparation and the page list ---
    // PrepareStart, PrepareReport (inside the modal progress dialog when
    // AnimatedStatus is set), a second pass when TwoPass is set, PrepareEnd.
    // PrepareEnd runs also when the generation raises; the exception then
    // propagates.
    void Prepare();
    void PrepareStart();
    void PrepareEnd();
    int GetNumPages() const;
    int GetNumBars() const;
    TPageInfo* GetPage(int pageNo, int barNo) const;
    TPageInfo* CurrentPage() const { return GetPage(intCurPage, intCurBar); }
    void FreePages();
    // After a cancel: frees the pages and the outlines; not prepared.
    void DiscardPages();
    // The value of a system data item now. Virtual: a designed report knows
    // its detail and band line numbers, which the frame does not.
    virtual Variant GetSysDataValue(TKVXSysDataType type);
    // The language index every string lookup passes (0..127).
    int GetLanguageShift() const;
    void SavePrinter();
    void RestorePrinter();

    // --- the virtual operations, in slot order ---
    // Sets intCurPage to -1 and intCurBar to 0. A descendant calls it first,
    // then BeginDoc, NewPage(false) for the first page (NewPage(true) for
    // each further bar), draws on MFCanvas between intCurHeight and
    // intMaxPageHeight, and calls EndDoc.
    virtual void PrepareReport();
    virtual int GetPageNoCountBy();
    virtual int GetPageNoStartAt();
    virtual int GetCurColumn();    // from 0
    virtual int GetColumnNumber(); // number of columns
    // System data names (matched in English), then Variables, then
    // OnGetVariable, which is always raised last with the name as passed.
    virtual void KVXGetVariable(QObject* sender, const QString& name, bool& accept, TFieldType& variableType, Variant& value);
    virtual void BeginDoc();
    virtual void EndDoc();
    virtual void NewPage(bool newBar);

    // --- cancelling ---
    // Asks the running Prepare, ExportTo, SavePreparedPages or PrintPages to
    // stop: a preparation at the next record (or sub-detail row), a writer
    // before its next page, a print job before its next sheet (the job is
    // dropped: nothing reaches the printer). Only stores an atomic flag, so any thread (or a signal
    // watcher) may call it. Each of those operations starts afresh: a request
    // made while none runs is dropped when the next one begins.
    void RequestCancel() noexcept { FCancelRequest.store(true, std::memory_order_relaxed); }
    // Whether the last Prepare, ExportTo or SavePreparedPages was cancelled,
    // by RequestCancel or by the progress dialog's Cancel. A cancelled
    // preparation leaves no prepared pages (Prepared() is false); a cancelled
    // writer leaves no file of its own (a single output is never created,
    // the files of earlier pages written one per page are removed).
    bool Cancelled() const { return FCancelled; }
    // For the generation loops and the writers: whether the operation is to
    // stop. A request costs one atomic load; then the installed user
    // interface's progress dialog is asked (when checkDialog), and its Cancel
    // is kept as a request, so the rest of the operation (a second pass, the
    // writer after it) sees it too.
    bool CancelPending(bool checkDialog = true);

    // --- output ---
    void Preview();
    void PreviewPreparedReport();
    void PreviewParentedControl(QObject* parent);
    void PreviewParentedControlPreparedReport(QObject* parent);
    void Print();
    void PrintReport();
    void PrintPages(const QList<int>& pages);
    void PrintStart();
    void PrintEnd();
    void SavePreparedReport(const QString& fileName);
    void SavePreparedReportToStream(QIODevice& stream);
    void SavePreparedPages(const QString& fileName, bool oneFilePerPage, const QList<int>& pages);
    void LoadPreparedReport(const QString& fileName);
    void LoadPreparedReportFromStream(QIODevice& stream);
    bool SavePageToFile(QString& fileName);
    void ExportTo(const QString& fileName, bool oneFilePerPage, const QMetaObject* exportClass, const QList<int>& pages);
    // Prepare, then every page into one file, as ExportTo writes it. With
    // threads other than 1, a filter that TakesPagesAsTheyCome walks each
    // page on a second thread as soon as the preparation completes it, so
    // the file is written while the next pages are made: the same bytes in
    // about the time of the longer of the two. The report's own reports
    // (a page list of several bars, a preparation that begins again) take
    // the plain way, Prepare then ExportTo. A report without pages writes
    // nothing. Cancelled (Cancelled()) leaves no file and no pages.
    void PrepareAndExport(const QString& fileName, const QMetaObject* exportClass, int threads = 0);

    // --- run-time fields of the generation (descendants and the engine) ---
    int intCurPage = -1;       // page index within the bar; -1 before the first page
    int intCurBar = 0;         // bar index
    int intCurHeight = -1;     // report pixels: next free vertical position on the page
    int intMaxPageHeight = 0;  // report pixels: lowest usable vertical position
    int intLastPageHeight = 0; // report pixels: height of the band last placed
    int intCurPassNumber = 1;  // 1, or 2 in the second pass of a two-pass preparation
    int intNumPages = 0;       // counts remembered after the first pass
    int intNumBars = 0;

protected:
    // Prepare (when asked), then OnBeforePreview, OnPreview or the preview
    // window (embedded in parent when given), OnAfterPreview. Nothing
    // happens when no prepared page list results.
    virtual void InternalPreview(bool prepare, QObject* parent);
    // The designer sets it; a designing component shows its own preview
    // even when OnPreview is assigned.
    virtual bool IsDesigning() const { return false; }

    bool FPrepared = false;
    TStatus FStatus = stIdle;
    TPageList FPages;

private:
    void RunPass();
    // Hands the page whose canvas just closed to FPageCompleted (final
    // pass only).
    void CompletePage();

    // The job of PrintPages between OnBeforePrint and OnAfterPrint; false
    // when the progress dialog's Cancel (or RequestCancel) stopped it.
    bool PrintSheets(const std::vector<TPrintSheet>& sheets, int lang, int numBars);

    TKVXLanguage* FLanguage;
    TKVProperty* FKVProperty;
    int FHelpContext = 0;
    TKVXFrame* FFrame;
    bool FAnimatedStatus = true;
    TKVXPrinter* FPrinterSetting;
    TKVXPrinter* FOldPrinterSetting;
    TKVXVariables* FVariables;
    TKVXOutlines* FOutlines;
    TKVXOptions FOptions = roDisableControls;
    bool FTwoPass = false;
    bool FDataRecords = false;
    bool FPrinterSaved = false; // the system printer is saved until RestorePrinter
    bool FPagesOnlyCounted = false;
    std::unique_ptr<TMetafileCanvas> FMFCanvas;
    TPageInfo* FOpenPage = nullptr; // the page FMFCanvas draws on
    // Told of every page of the final pass once it is complete; nullptr
    // when BeginDoc starts the list again (PrepareAndExport).
    std::function<void(const TPageInfo*)> FPageCompleted;
    std::atomic<bool> FCancelRequest{false};
    bool FCancelled = false;
    int FCancelDepth = 0; // TCancelScope nesting
    friend class TCancelScope;
};

// Marks the span of one cancellable operation of a print component
// (Prepare, ExportTo, SavePreparedPages): the outermost scope drops an
// earlier request at its start and, at its end, records whether the
// operation was cancelled (Cancelled()) and drops the request. Scopes nest:
// a writer that prepares first is one operation.
class TCancelScope {
public:
    explicit TCancelScope(TKVPrintBaseComponent& component);
    ~TCancelScope();
    TCancelScope(const TCancelScope&) = delete;
    TCancelScope& operator=(const TCancelScope&) = delete;
    // Whether a cancel was asked for so far (request or dialog, see CancelPending).
    bool Cancelled() const;

private:
    TKVPrintBaseComponent& FComponent;
    bool FOutermost;
};

// Whether a and b are the same name in upper case (a.toUpper() ==
// b.toUpper()), as the variable lookup matches names; ASCII names, the
// usual case, are compared without making the upper-case copies.
bool SameUpperCase(QStringView a, QStringView b);

// The direct base of TKVReport: adds the default font and publishes TwoPass.
class TKVPrintComponent : public TKVPrintBaseComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A printable component with a default font and the choice of preparing twice.")
    Q_PROPERTY(bool TwoPass READ TwoPass WRITE SetTwoPass)
    Q_CLASSINFO("Doc.TwoPass", "Prepares the report twice, so that PageCount is known on every page ('Page 3 of 12').")
public:
    Q_INVOKABLE explicit TKVPrintComponent(QObject* owner = nullptr);

    // "Arial" at creation; a control created inside the report copies it.
    TFont* Font() const { return FFont; }
    void SetFont(const TFont* value); // copies

private:
    TFont* FFont;
};

// Registers the frame's persistent classes with the class registry.
void RegisterFrameClasses();

} // namespace vorel
