#pragma once
// TReportSettingsDialog: the report's own settings a user sets per report:
// its document properties (title, author, subject, keywords, comments),
// the master data set the detail band walks, two passes, the progress
// display, disabling data controls while preparing, and page numbering.
// The paper and columns are the page layout dialog's; every other
// property is in the object inspector ("Object inspector..." leaves the
// dialog for it). ApplyTo changes only what differs.

#include <QDialog>
#include <QList>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace vorel {

class TDataSet;
class TKVReport;

class TReportSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `dataSets`: the choices of master data set (the report's own).
    TReportSettingsDialog(TKVReport* report, const QList<TDataSet*>& dataSets, QWidget* parent = nullptr);
    void ApplyTo(TKVReport* report) const;
    // The user left for the object inspector.
    bool InspectorAsked() const { return FInspectorAsked; }

    QLineEdit* Title() const { return FTitle; }
    QLineEdit* Author() const { return FAuthor; }
    QLineEdit* Subject() const { return FSubject; }
    QLineEdit* Keywords() const { return FKeywords; }
    QPlainTextEdit* Comments() const { return FComments; }
    QComboBox* MasterDataSet() const { return FMaster; } // item 0: none
    QCheckBox* TwoPass() const { return FTwoPass; }
    QCheckBox* Progress() const { return FProgress; }
    QCheckBox* DisableControls() const { return FDisableControls; }
    QSpinBox* PageNoStartAt() const { return FStartAt; }
    QSpinBox* PageNoCountBy() const { return FCountBy; }

private:
    QList<QPointer<TDataSet>> FDataSets; // parallel to FMaster's items from 1
    QLineEdit* FTitle;
    QLineEdit* FAuthor;
    QLineEdit* FSubject;
    QLineEdit* FKeywords;
    QPlainTextEdit* FComments;
    QComboBox* FMaster;
    QCheckBox* FTwoPass;
    QCheckBox* FProgress;
    QCheckBox* FDisableControls;
    QSpinBox* FStartAt;
    QSpinBox* FCountBy;
    bool FInspectorAsked = false;
};

} // namespace vorel
