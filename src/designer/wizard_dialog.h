#pragma once
// The report wizard's dialog: it collects the choices (report type, style,
// fields, groups, calculated values, label setup); GenerateWizardReport
// (auto/report_wizard.h) makes the form from them.

#include "auto/report_wizard.h"

#include <QWizard>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableWidget;

namespace vorel {

class TKVReport;
class TKVXDesignerWindow;

class TWizardDialog : public QWizard {
    Q_OBJECT
public:
    // Pages, in the order they are shown.
    enum PageId { pgType, pgStyle, pgFields, pgGroups, pgCalculations, pgLabels };

    // Reads the report's data sets (opening the closed ones) for the field
    // list; the report itself is not changed.
    explicit TWizardDialog(TKVReport* report, QWidget* parent = nullptr);

    // The choices as the pages hold them; PrintableWidth and VisibleWidth
    // are the caller's.
    TWizardChoices Choices() const;
    // The same choices in the widgets (tests and snapshots).
    void SetChoices(const TWizardChoices& choices);

    int nextId() const override;
    // Closing before the last step asks whether to abort.
    void reject() override;
    // Answers the abort question (tests); default: a message box.
    std::function<bool(const QString& question)> AskAbort;

private:
    QWizardPage* MakeTypePage();
    QWizardPage* MakeStylePage();
    QWizardPage* MakeFieldsPage();
    QWizardPage* MakeGroupsPage();
    QWizardPage* MakeCalculationsPage();
    QWizardPage* MakeLabelsPage();
    void AddCalculationRow();
    // The reset choices: end of report, end of page, then the ticked groups.
    void RefreshResetChoices();
    QString Text(int id) const;

    TKVReport* FReport;
    int FLanguage = 0;
    QList<TWizardField> FFields;
    QButtonGroup* FType = nullptr;
    QButtonGroup* FStyle = nullptr;
    QTableWidget* FFieldTable = nullptr;
    QCheckBox* FGroupTicks[3] = {};
    QComboBox* FGroupFields[3] = {};
    QTableWidget* FCalcTable = nullptr;
    QLineEdit* FAcross = nullptr;
    QComboBox* FShape = nullptr;
};

// Replaces the report being edited by the form generated from the choices
// (W: the page's printable width; the design area's visible width), as one
// undoable edit, and rebuilds the band panels.
void ApplyWizardChoices(TKVXDesignerWindow& window, TWizardChoices choices);

// The designer's wizard command: runs the dialog and, when it is finished,
// applies its choices.
void RunReportWizard(TKVXDesignerWindow& window);

} // namespace vorel
