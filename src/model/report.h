#pragma once
// TKVReport: one designed report. It holds the ordered list of bands (each
// holding its controls), the data binding, column and bar layout, page
// numbering, variables and parameters, and supplies the generation step of
// the print component frame. The band list is kept in rank order by
// AddBand/AppendBand/BandReOrder; bands read from a form keep the form's
// order.
//
// The generation itself (PrepareReport, NewPage, UpdateCurValues,
// ResetPrintedValues) is the engine's and lives in src/engine/.

#include "data/data_manager.h"
#include "data/dataset.h"
#include "expr/variable_event.h"
#include "frame/print_component.h"
#include "model/band.h"
#include "model/event_names.h"
#include "model/report_file.h"

#include <QList>

namespace vorel {

class TKVReportStates {
    Q_GADGET
public:
    // Controls draw their display names, and skip print-when and highlight
    // logic, whenever the state is below rsPrepare. rsPrint is never set.
    enum TKVReportState { rsNone, rsDesign, rsPrepare, rsPrint };
    Q_ENUM(TKVReportState)
    // What a trigger of the aggregate bookkeeping updates.
    enum TUpdateValue { uvAllBand, uvWithoutGroupFooter, uvOnlyGroupFooter, uvOnlyCustomVariables };
    Q_ENUM(TUpdateValue)
};
using TKVReportState = TKVReportStates::TKVReportState;
using TUpdateValue = TKVReportStates::TUpdateValue;
using enum TKVReportStates::TKVReportState;
using enum TKVReportStates::TUpdateValue;

// (Sender, Column): a column starts or ends (0-based column).
using TColumnEvent = std::function<void(QObject* sender, int column)>;
// (Sender, control, IsPreCalc): before a band or control is measured
// (IsPreCalc true) or painted.
using TGenerateBeforeEvent = std::function<void(QObject* sender, TKVXControl* control, bool isPreCalc)>;
// (Sender, control, IsPreCalc, var Abort): after it; Abort skips the
// band's remaining controls (ignored after a band).
using TGenerateAfterEvent = std::function<void(QObject* sender, TKVXControl* control, bool isPreCalc, bool& abort)>;
// Designer notifications (KVX_MSG_*): (control, message).
using TDesignerMessageEvent = std::function<void(TKVXControl* control, int message)>;

// The file name a report without one reports.
inline constexpr char16_t kDefaultReportFileName[] = u"Report.kvx";

class TKVReport : public TKVPrintComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A designed report: its bands and their controls, the data it walks, columns and bars, page "
                       "numbering, variables, parameters, paper and page frame. A new report has a page header, a "
                       "detail band and a page footer.")
    Q_PROPERTY(vorel::TDataSet* DataSet READ DataSet WRITE SetDataSet)
    Q_CLASSINFO("Doc.DataSet", "The master data set: the detail band prints once for each of its records.")
    Q_PROPERTY(vorel::TKVXDataManager* DataManager READ DataManager WRITE SetDataManager)
    Q_CLASSINFO("Doc.DataManager", "The data sets expressions may name, with their captions; none: the data sets the "
                                   "form holds (or the application's).")
    Q_PROPERTY(int BarNumber READ BarNumber WRITE SetBarNumber)
    Q_CLASSINFO("Doc.BarNumber", "How many pages wide the report is: each bar prints the controls whose Left falls "
                                 "in its page width, for the same records.")
    Q_PROPERTY(int ColumnSpace READ ColumnSpace WRITE SetColumnSpace)
    Q_CLASSINFO("Doc.ColumnSpace", "The space between columns, in report pixels.")
    Q_PROPERTY(int ColumnNumber READ ColumnNumber WRITE SetColumnNumber)
    Q_CLASSINFO("Doc.ColumnNumber", "How many columns each page is divided into.")
    Q_PROPERTY(QString FileName READ GetFileName WRITE SetFileName)
    Q_CLASSINFO("Doc.FileName", "The form file's name ('Report.kvx' while none is set).")
    Q_PROPERTY(int PageNoStartAt READ PageNoStartAt WRITE SetPageNoStartAt)
    Q_CLASSINFO("Doc.PageNoStartAt", "Added to every page number: PageNo = page x PageNoCountBy + PageNoStartAt, "
                                     "pages counted from 1.")
    Q_PROPERTY(int PageNoCountBy READ PageNoCountBy WRITE SetPageNoCountBy)
    Q_CLASSINFO("Doc.PageNoCountBy", "The step between page numbers (2 numbers the pages 2, 4, 6, ...).")
    Q_PROPERTY(vorel::TKVXVariables* Variables READ Variables WRITE SetVariables)
    Q_CLASSINFO("Doc.Variables", "Report variables: values computed at every record that expressions read by name.")
    Q_PROPERTY(vorel::TKVXParameters* Parameters READ Parameters WRITE SetParameters)
    Q_CLASSINFO("Doc.Parameters", "Report parameters: values asked for before the report prepares, read by name in "
                                  "expressions.")
    Q_PROPERTY(bool AnimatedStatus READ AnimatedStatus WRITE SetAnimatedStatus)
    Q_CLASSINFO("Doc.AnimatedStatus", "Shows a progress display, with a way to cancel, while the report prepares and "
                                      "exports.")
    Q_PROPERTY(vorel::TKVXFrame* Frame READ Frame WRITE SetFrame)
    Q_CLASSINFO("Doc.Frame", "The page frame drawn on every page: border lines, background colour and picture.")
    Q_PROPERTY(vorel::TKVXPrinter* PrinterSetting READ PrinterSetting WRITE SetPrinterSetting)
    Q_CLASSINFO("Doc.PrinterSetting", "Printer, paper size and orientation, margins, paper source, duplex and copies.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font new controls start with.")
    Q_PROPERTY(vorel::TKVXPrintEnums::TKVXOptions Options READ Options WRITE SetOptions)
    Q_CLASSINFO("Doc.Options", "Generation options (see TKVXOptions).")
public:
    // Starts with a page header, a detail band and a page footer.
    Q_INVOKABLE explicit TKVReport(QObject* owner = nullptr);
    // Frees the bands (and with them their controls).
    ~TKVReport() override;

    // --- published ---
    TDataSet* DataSet() const { return FDataSet; }
    // Stores the reference and asks to be told when the data set is freed.
    void SetDataSet(TDataSet* value);
    TKVXDataManager* DataManager() const { return FDataManager; }
    void SetDataManager(TKVXDataManager* value);
    int BarNumber() const { return FBarNumber; }
    void SetBarNumber(int value) { FBarNumber = value; }
    int ColumnSpace() const { return FColumnSpace; } // report pixels between columns
    void SetColumnSpace(int value) { FColumnSpace = value; }
    int ColumnNumber() const { return FColumnNumber; }
    void SetColumnNumber(int value) { FColumnNumber = value; }
    // "Report.kvx" while no name is set.
    QString GetFileName() const;
    void SetFileName(const QString& value) { FFileName = value; }
    // The folder of the form file LoadReport read (empty otherwise): data sets
    // the form holds take their relative file names from it. Not stored.
    const QString& FormDirectory() const { return FFormDirectory; }
    void SetFormDirectory(const QString& directory) { FFormDirectory = directory; }
    int PageNoStartAt() const { return FPageNoStartAt; }
    void SetPageNoStartAt(int value) { FPageNoStartAt = value; }
    int PageNoCountBy() const { return FPageNoCountBy; }
    void SetPageNoCountBy(int value) { FPageNoCountBy = value; }
    TKVXParameters* Parameters() const { return FParameters; }
    void SetParameters(const TKVXParameters* value); // copies

    // --- events (besides the frame's) ---
    TColumnEvent OnBeginColumn;
    TColumnEvent OnEndColumn;
    TGenerateBeforeEvent BeforeControlPrint;
    TGenerateAfterEvent AfterControlPrint;
    TGenerateBeforeEvent BeforeBandPrint;
    TGenerateAfterEvent AfterBandPrint;
    // Selection changes, added elements and repaint requests, for a designer.
    TDesignerMessageEvent OnDesignerMessage;
    // The method names of the report's event handlers, as forms store them
    // (model/event_handlers.h binds them to code).
    TEventNames& EventNames() { return FEventNames; }
    const TEventNames& EventNames() const { return FEventNames; }

    // --- form files (model/report_file.cpp) ---
    // The header, then the component resource of the report; or the readable
    // text form alone.
    void SaveReportToStream(QIODevice& stream, TReportFormFormat format = TReportFormFormat::Binary);
    // Sets FileName and saves to the file, replacing it only once the whole
    // form is written (a failure leaves an existing file as it was).
    void SaveReport(const QString& fileName, TReportFormFormat format = TReportFormFormat::Binary);
    QByteArray SaveReportToBytes(TReportFormFormat format = TReportFormFormat::Binary);
    // Reads a form (either form, recognised) from the stream's position to
    // its end into this report: its bands are replaced, its name is kept.
    // The loading flag is set while reading and cleared in any case. Errors
    // raise EStreamError naming the component, the property and the byte
    // offset; what was read before the error stays.
    TReportLoadResult LoadReportFromStream(QIODevice& stream, const TReportLoadOptions& options = {});
    // Sets FileName, loads the file; FileName names the loaded file afterwards.
    TReportLoadResult LoadReport(const QString& fileName, const TReportLoadOptions& options = {});
    TReportLoadResult LoadReportFromBytes(QByteArrayView bytes, const TReportLoadOptions& options = {});

    // --- state ---
    TKVReportState ReportState() const { return FReportState; }
    void SetReportState(TKVReportState value) { FReportState = value; }
    // Set while a report form is read: renaming the report is ignored then.
    bool Loading() const { return FLoading; }
    void SetLoading(bool value) { FLoading = value; }
    void SetName(const QString& name) override;

    // --- the band list ---
    const QList<TKVXBand*>& Bands() const { return FBands; }
    int BandCount() const { return int(FBands.size()); }
    // Deletes all bands, adds a page header, a detail band and a page
    // footer, and sets ReportState to rsNone.
    void NewReport();
    // Creates a band of the type (NewPage set for page header and footer)
    // and places it with AppendBand; returns its index.
    int AddBand(TBandType bandType, bool atEnd);
    // Places the band by rank (a summary always last): before the first band
    // of equal or higher rank (atEnd false) or of higher rank (atEnd true).
    // Takes ownership. Returns the index.
    int AppendBand(TKVXBand* band, bool atEnd);
    // Appends the band at the end whatever its rank (a band read from a
    // form keeps the form's order). Takes ownership. Returns the index.
    int AppendBandAsRead(TKVXBand* band);
    // Sorts the bands by rank.
    void BandReOrder();
    void DeleteBand(int index);
    void DeleteAllBands();
    // A group header after the existing headers, its footer before the
    // existing footers (the newest group is the innermost).
    void AddGroup(int& headerIndex, int& footerIndex, bool newPage, bool reprintHeader, bool newPageIfNotFit,
                  double lessThan, const QString& expression);
    // Deletes the group bands whose Expression equals the text, without regard to case.
    void DeleteGroup(const QString& expression);
    // Index of the first band of the type, or -1.
    int GetIndexBand(TBandType bandType) const;
    // The band, or none out of range.
    TKVXBand* GetBand(int index) const;
    // LineNo of the first band of the type, or -1.
    int GetBandLineNo(TBandType bandType) const;
    // Appends the Expression of every group header in band order (clears first when asked).
    void AssignGroups(bool clear, TStringList* list) const;
    // "DataSet.Field" of every field of every data set of the data manager.
    void AssignDataSets(TStringList* list);
    // The manager expressions use: DataManager, else the shared default one
    // (refilled from the application's data sets, DataSet first, when it does
    // not hold them yet).
    TKVXDataManager* GetDataManager();
    // A name no control of the report has yet: Base, then Base1, Base2 ...
    // in one pass over the controls (band names are not compared).
    QString GetUniqueName(const QString& base) const;
    TKVXControl* GetFirstSelected() const;
    // Unselects every band, then every control: 0 selects, 1 unselects, 2 toggles.
    void SelectElements(int mode);
    // Refreshes CanBePrinted of every band and control from ShowIf and
    // HideWhen; evaluation errors propagate.
    void UpdateControlStates();
    // The same for one band and its controls.
    void UpdateControlStates(TKVXBand* band);
    // The band whose controls are being evaluated or printed while the
    // report generates (BandLineNo in an expression names its line number);
    // set by the engine.
    TKVXBand* ActiveBand() const { return FActiveBand; }
    void SetActiveBand(TKVXBand* band) { FActiveBand = band; }
    // Makes the band the active one for the lifetime of the scope.
    class TActiveBandScope {
    public:
        TActiveBandScope(TKVReport* report, TKVXBand* band) : FReport(report), FPrevious(report->FActiveBand)
        {
            report->FActiveBand = band;
        }
        ~TActiveBandScope() { FReport->FActiveBand = FPrevious; }
        TActiveBandScope(const TActiveBandScope&) = delete;
        TActiveBandScope& operator=(const TActiveBandScope&) = delete;

    private:
        TKVReport* FReport;
        TKVXBand* FPrevious;
    };

    // An expression that could not be computed for a record while the
    // report generated (a division by zero, a conversion), or a barcode
    // whose text its symbology cannot hold (Expression is then the field it
    // read, or empty): it printed nothing there and generation went on. Kept once per owner and
    // expression, with the first record (1-based, of the report's data
    // set) it failed for; cleared when a preparation begins.
    struct TEvaluationWarning {
        QString Where;      // "Band.Control", or "variable Name"
        QString Expression;
        QString Message;
        qint64 Record = 0;
    };
    const QList<TEvaluationWarning>& EvaluationWarnings() const { return FEvaluationWarnings; }
    void ClearEvaluationWarnings() { FEvaluationWarnings.clear(); }
    void NoteEvaluationFailure(const QString& where, const QString& expression, const QString& message);

    // The variable lookup as the expression language calls it: the report's
    // KVXGetVariable (parameters, then the frame's lookup).
    const TGetVariableEvent& VariableEvent() const { return FVariableEvent; }

    // --- overrides of the frame, in slot order ---
    void PrepareReport() override; // src/engine/
    int GetPageNoCountBy() override { return FPageNoCountBy; }
    int GetPageNoStartAt() override { return FPageNoStartAt; }
    int GetCurColumn() override { return intCurColumn; }
    // DetailNo and BandLineNo: the line numbers the system data controls
    // show (the detail band's, and the band being evaluated or printed).
    Variant GetSysDataValue(TKVXSysDataType type) override;
    int GetColumnNumber() override { return FColumnNumber; }
    // Parameters (by upper-cased Name or DisplayLabel) first, then the frame's lookup.
    void KVXGetVariable(QObject* sender, const QString& name, bool& accept, TFieldType& variableType,
                        Variant& value) override;
    void NewPage(bool newBar) override; // src/engine/

    // --- aggregates (src/engine/) ---
    // In a pass whose pages are only counted, the bands' running values
    // are seen by nobody when no band stretches, no text control suppresses
    // repeated values or has highlights or is of a class of the
    // application's own, and no control, band, column or variable event is
    // assigned: the pass then leaves them uncomputed (the variables, which
    // print-when and group expressions read, are computed). The second
    // pass starts them afresh, so the pages are the same.
    // SetSkipsUnseenValues(false) computes them anyway.
    bool ValuesUnseen() const { return FValuesUnseen; }
    bool SkipsUnseenValues() const { return FSkipsUnseenValues; }
    void SetSkipsUnseenValues(bool value) { FSkipsUnseenValues = value; }
    void UpdateCurValues(int fromBand, int toBand, TUpdateValue mode, const QString& groupName,
                         const QString& variableName);
    void ResetPrintedValues(TResetType resetType, const QString& groupName);

    // --- generation cursor (report pixels, y downwards), besides the frame's ---
    int intBarWidth = 0;      // page width minus left and right margin
    int intColumnLeft = 0;    // left edge of the current column
    int intColumnTop = 0;     // every column starts here on the current page
    int intColumnBottom = 0;  // every column ends here on the current page
    int intCurColumn = 0;     // current column, from 0
    bool boolWasNewPage = false; // no detail band processed yet on this page or column

protected:
    void Notification(TComponent* component, TOperation operation) override;
    bool IsDesigning() const override { return FReportState == rsDesign; }

private:
    friend class TKVXBand;
    friend class TKVXControl;
    void RemoveBand(TKVXBand* band); // from Bands only
    void AdoptBand(TKVXBand* band);  // owner and links, out of Bands

    QList<TKVXBand*> FBands;
    bool FValuesUnseen = false;
    bool FSkipsUnseenValues = true;
    TDataSet* FDataSet = nullptr;
    TKVXDataManager* FDataManager = nullptr;
    int FBarNumber = 1;
    int FColumnSpace = 0;
    int FColumnNumber = 1;
    QString FFileName;
    QString FFormDirectory;
    int FPageNoStartAt = 0;
    int FPageNoCountBy = 1;
    TKVXParameters* FParameters;
    TKVReportState FReportState = rsNone;
    bool FLoading = false;
    TGetVariableEvent FVariableEvent;
    TEventNames FEventNames;
    TKVXBand* FActiveBand = nullptr;
    QList<TEvaluationWarning> FEvaluationWarnings;
};

} // namespace vorel
