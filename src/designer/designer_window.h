#pragma once
// TKVXDesignerWindow: the designer's main window. The bands stand one under
// the other in a scrolling design area; toolbars (standard, font, frame,
// element palette, alignment), menus, the status line, the object
// inspector and explorer docks, the undo stack and the recovery file live
// here. Every edit runs inside a transaction of the design history, so it
// can be undone.

#include "designer/design_history.h"
#include "designer/layout_rules.h"
#include "designer/property_broadcast.h"
#include "model/band.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QLabel;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class QToolBar;
class QActionGroup;

namespace vorel {

class TBandPanel;
class TKVReport;
class TKVXDesigner;
class TObjectInspector;
class TObjectExplorer;
class TDataSet;
class TSqlDataSet;
class TRuler;

// The print-when editor the designer opens for a control ("Print when..."):
// the application (or the dialogs of the widget library) installs it;
// returns whether the settings were changed. Without one the command says
// that it is not available.
using TPrintWhenEditor = std::function<bool(QWidget* parent, TKVXControl* control)>;
void SetPrintWhenEditor(TPrintWhenEditor editor);
const TPrintWhenEditor& PrintWhenEditor();

class TKVXDesignerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TKVXDesignerWindow(TKVXDesigner* designer, QWidget* parent = nullptr);
    ~TKVXDesignerWindow() override;

    TKVXDesigner* Designer() const { return FDesigner; }
    TKVReport* Report() const;
    TDesignHistory* History() const { return FHistory.get(); }
    TObjectInspector* Inspector() const { return FInspector; }
    TObjectExplorer* Explorer() const { return FExplorer; }

    // --- the design area ---
    void RebuildBands();
    // Rebuilds the explorer once the current event is handled (many
    // controls added in a row cost one rebuild).
    void ScheduleExplorerRebuild();
    TBandPanel* PanelOf(const TKVXBand* band) const;
    QList<TBandPanel*> Panels() const { return FPanels; }
    // The object the inspector shows besides the selection (a band or the
    // report chosen in the explorer or by a click on a band's free area).
    void SetCurrentObject(QObject* object);
    QObject* CurrentObject() const;
    // The selection changed: the inspector, explorer and status line follow.
    void SelectionChanged();

    // --- commands (each one undoable) ---
    void Align(TAlignCommand command);
    void Broadcast(TPropertySet member, const QVariant& value, const QVariant& value2 = QVariant());
    void Nudge(int dx, int dy, bool resize);
    void CopySelection();
    void CutSelection();
    // Into the band (the band of the first selected control, else the first band).
    void Paste(TKVXBand* band = nullptr);
    void DeleteSelection();
    void AddBand(TBandType type);
    void DeleteBand(TKVXBand* band);
    // Sets a property (dotted path) on every selected control, or on the
    // current object when nothing is selected.
    void SetPropertyOnSelection(const QString& path, const QVariant& value);
    // Inserts a control of the palette tool's class (tool k >= 2 is the
    // (k-2)-th registered control) at the point of the band; an index past
    // the registry inserts nothing. The tool returns to select mode.
    TKVXControl* InsertControl(TKVXBand* band, QPoint point);
    void EditPrintWhen();
    // Edits a collection property (Variables, Parameters, HighLights) of the
    // object in its dialog; OK applies it as one edit.
    bool EditCollection(QObject* owner, const QString& path, const QString& title);
    // Adds a group (a header and its footer, the newest innermost) for the
    // expression; removes the group bands of an expression.
    void AddGroup(const QString& expression);
    void RemoveGroup(const QString& expression);
    void EditGroups();

    // --- data sets the report holds (each change one undoable edit) ---
    // The report's data sets in form order.
    QList<TDataSet*> ReportDataSets() const;
    // Why `name` cannot name a data set of the report (`except` may keep
    // its own name): empty when it can.
    QString CheckDataSetName(const QString& name, const TDataSet* except = nullptr) const;
    // Adds an SQL data set; nullptr (and the reason in `error`) when the
    // name is taken or no identifier. An owned data manager lists it too;
    // a report without a master data set takes it as its master.
    TSqlDataSet* AddSqlDataSet(const QString& name, const QString& connection, const QString& sql,
                               QString* error = nullptr);
    // Frees the data set (and its entries in an owned data manager).
    void RemoveDataSet(TDataSet* dataSet);
    // Renames the data set and, where an owned data manager's caption was
    // its old name, that caption; and, for an SQL data set, sets its
    // connection and query. One edit; false with the reason in `error`.
    bool ChangeDataSet(TDataSet* dataSet, const QString& name, const QString* connection, const QString* sql,
                       QString* error = nullptr);
    void EditDataSources();
    // Applies a change of report-level settings (page layout, report
    // settings) as one edit.
    void EditReport(const QString& text, const std::function<void(TKVReport*)>& change);
    void EditPageLayout();
    void EditReportSettings();

    // --- rulers ---
    void SetRulersVisible(bool visible);
    bool RulersVisible() const;
    // Shows the object inspector on the first selected control (F11).
    void EditProperties();
    void Preview();
    void ShowControlPopup(TKVXControl* control, QPoint globalPos);

    // --- files ---
    void NewReport();
    // Errors are shown (and returned as false), never thrown.
    bool OpenFile(const QString& fileName);
    // Saves under the name (copying the old file to NAME.~kvx first when
    // CreateBackup is set), in the form the file had (text stays text).
    bool SaveFile(const QString& fileName);
    bool IsModified() const;
    // Asks whether to save unsaved changes; false when the user cancels.
    bool MaybeSave();
    // Tests answer the questions instead of a message box.
    std::function<int(const QString& question)> AskSaveChanges; // QMessageBox::Save/Discard/Cancel
    std::function<bool(const QString& recoveryFile)> AskRecover;
    std::function<void(const QString& message)> ShowError;

    // --- autosave ---
    // Where recovery files are written (default: the per-user data folder,
    // "vorel/recovery").
    static void SetRecoveryDirectory(const QString& directory);
    static QString RecoveryDirectory();
    // The recovery file of the report's form file (one per file name).
    QString RecoveryFileName() const;
    // Writes the report to its recovery file when it has unsaved changes.
    bool WriteRecoveryFile();
    // When a recovery file of this report's file exists: asks, and loads it
    // into the report when the answer is yes (the report is then modified);
    // removed either way. Returns whether the report was recovered.
    bool OfferRecovery();

    // --- status line ---
    QString SelectionStatus() const; // "(L:%d,T:%d),(W:%d,H:%d)"
    void ShowPointer(QPoint bandPoint, const QString& objectName); // "X:%d,Y:%d     %s"
    QString PointerStatus() const;

    // --- layout persistence ---
    void LoadLayout();
    void SaveLayout();

    // Paints the window into a picture (the tool's --snapshot).
    QImage Snapshot();

signals:
    // The window closed (Execute's modal loop ends).
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public:
    // The designer's own keys (arrows with Ctrl or Shift, Delete, F9, F11);
    // true when taken.
    bool HandleKey(QKeyEvent* event);

private:
    void BuildActions();
    void BuildToolbars();
    void BuildMenus();
    void BuildDocks();
    void DesignerMessage(TKVXControl* control, int message);
    void UpdateTitle();
    void HistoryRestored();
    TKVXBand* TargetBand() const;
    // The horizontal ruler as wide as the widest band (or the page).
    void SyncRulerWidth();

    TKVXDesigner* FDesigner;
    std::unique_ptr<TDesignHistory> FHistory;
    QScrollArea* FScroll = nullptr;
    QWidget* FArea = nullptr;
    QVBoxLayout* FAreaLayout = nullptr;
    QList<TBandPanel*> FPanels;
    QList<QWidget*> FTitles;
    QList<TRuler*> FRulers; // the horizontal one first, then one per band
    QPointer<QObject> FCurrent;
    TObjectInspector* FInspector = nullptr;
    TObjectExplorer* FExplorer = nullptr;
    QLabel* FSelectionLabel = nullptr;
    QLabel* FPointerLabel = nullptr;
    QTimer* FAutoSave = nullptr;
    QList<QToolBar*> FToolbars; // standard, font, frame, element, alignment
    QActionGroup* FTools = nullptr;
    bool FRecovered = false;
    bool FSyncing = false;
    bool FExplorerPending = false;
};

} // namespace vorel
