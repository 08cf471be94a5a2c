#pragma once
// TKVXDesigner: the designer as an application uses it. It holds the report
// being edited, the designer's preferences and the selection list, and
// opens the designer window modally (Execute). DesignReport(report) does
// all of that with the layout kept in the per-user settings.

#include "designer/designer_options.h"
#include "foundation/components/component.h"
#include "model/control.h"

#include <QList>
#include <QPointer>
#include <functional>

namespace vorel {

class TKVReport;
class TKVXDesignerWindow;

class TKVXDesigner : public TComponent {
    Q_OBJECT
public:
    explicit TKVXDesigner(QObject* owner = nullptr);
    ~TKVXDesigner() override;

    // The report being edited; cleared by itself when the report is freed.
    TKVReport* Report() const;
    void SetReport(TKVReport* report);
    TKVXDOptions& Options() { return FOptions; }
    const TKVXDOptions& Options() const { return FOptions; }
    void SetOptions(const TKVXDOptions& options) { FOptions = options; }

    // Raised after every change of the selection list.
    std::function<void(TKVXDesigner* sender)> OnSelectedChange;

    // Shows the designer window modally: the report is in rsDesign while it
    // is open; the layout is loaded and saved when AutoSaveOptions is set.
    // Nothing without a report.
    void Execute();

    // --- the selection list (ordered, no duplicates) ---
    int SelectedCount() const { return int(FSelected.size()); }
    // The i-th selected control, or nullptr out of range.
    TKVXControl* GetSelected(int index) const;
    void ClearSelected();
    void AddSelected(TKVXControl* control);
    void DeleteSelected(TKVXControl* control);
    void ToggleSelected(TKVXControl* control);
    // 0 selects every control of every band, 1 unselects all, 2 inverts:
    // the selected flags and the list follow.
    void SelectElements(int mode);
    // Drops controls that were freed, and takes the flags of the report's
    // controls as the selection (after an undo recreated controls).
    void SyncSelection();

    // The window while Execute runs (nullptr otherwise).
    TKVXDesignerWindow* Window() const { return FWindow; }
    // Builds the window without showing it (Execute, and the tool's
    // snapshot, call this); the caller owns it.
    TKVXDesignerWindow* CreateWindow(QWidget* parent = nullptr);
    // The window tells its designer it exists (and when it goes).
    void AttachWindow(TKVXDesignerWindow* window) { FWindow = window; }

private:
    void Changed();

    QPointer<TKVReport> FReport;
    TKVXDOptions FOptions;
    QList<QPointer<TKVXControl>> FSelected;
    TKVXDesignerWindow* FWindow = nullptr;
};

// Opens the designer on the report with the layout kept in the per-user
// settings; returns when the window closes.
void DesignReport(TKVReport* report);

} // namespace vorel
