#pragma once
// TfrmPrintSetup: one dialog for printing and for saving or exporting
// pages. Print mode shows the printer panel (printer list, the system's
// printer set-up, copies, collation), file mode the export panel (file
// name, file button, format list, one file per page); both have the page
// range (all, current, even, odd, or a text such as "1,3,5-12").
//
// The printer list works on the printer services: the system printer's
// index is remembered at creation and restored when the dialog is
// cancelled; the printer confirmed in the list is the one printed on.

#include "frame/page_range.h"
#include "frame/user_interface.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace vorel {

class TfrmPrintSetup : public QDialog {
    Q_OBJECT
public:
    enum class TMode { Print, File };

    // Print mode.
    TfrmPrintSetup(const TPrintRequest& request, QWidget* parent = nullptr);
    // File mode.
    TfrmPrintSetup(const TSaveExportRequest& request, QWidget* parent = nullptr);
    ~TfrmPrintSetup() override;

    TMode Mode() const { return FMode; }

    // The page choice and its list (raises EConvertError for a range
    // number beyond 32 bits).
    TPageRangeKind PageRangeKind() const;
    QList<int> PageList() const;
    TPrintChoice PrintChoice() const;
    TSaveExportChoice SaveChoice() const;

    // The system's printer set-up: a Qt print dialog for the selected
    // printer; true with the printer's index in the printer services when
    // the user confirmed. Replaceable (tests).
    std::function<bool(int& printerIndex)> SystemPrinterSetup;

    // The system printer index remembered at creation.
    int RememberedPrinterIndex() const { return FOldPrinterIndex; }

    // Checks the page range before closing: a range naming no page keeps
    // the dialog open with the reason under the range edit.
    void accept() override;
    void reject() override;

    // The controls, named as the classic form names them.
    QWidget* pnlPrinter;
    QComboBox* cbPrinterName;
    QPushButton* btnPrinter;
    QLineEdit* edCopy;
    QCheckBox* cbCollate;
    QWidget* pnlExport;
    QLineEdit* edFileName;
    QPushButton* pnlFileName;
    QComboBox* cbExportType;
    QCheckBox* cbSeparateFile;
    QGroupBox* gbPageRange;
    QRadioButton* rbAll;
    QRadioButton* rbCurrent;
    QRadioButton* rbEven;
    QRadioButton* rbOdd;
    QRadioButton* rbRange;
    QLineEdit* edPages;
    QLabel* lblHint;
    QLabel* lblError;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build(int lang);
    void FormatChanged(int index);
    void ChooseFile();
    void RunPrinterSetup();

    TMode FMode;
    int FLang = 0;
    int FNumPages = 0;
    int FCurrentPage = 1;
    int FOldPrinterIndex = -1;
    QList<TSaveExportFormat> FFormats;
};

// The classic file filter "Text|*.txt|All files (*.*)|*.*" as Qt writes it
// ("Text (*.txt);;All files (*.*)").
// The system printer set-up (printer, paper, orientation) on the printer
// of the list at printerIndex; true with the chosen printer's index when
// the user confirmed. False at once without system printers.
bool RunQtPrinterSetup(QWidget* parent, int& printerIndex);

QString QtFileFilter(const QString& classicFilter);
// The file name with its extension replaced by a full stop and ext (lower
// case, as Linux file names go); a name without one gets it appended.
QString ReplaceExtension(const QString& fileName, const QString& ext);

} // namespace vorel
