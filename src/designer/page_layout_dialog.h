#pragma once
// TPageLayoutDialog: the report's paper and page: paper size (the sizes
// the printer settings know, or a custom width and height), orientation,
// margins, paper source, duplex, copies, and the columns and bars the
// page is divided into. ApplyTo writes what the dialog shows into a
// report, changing only what differs (the window wraps it in one edit).

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace vorel {

class TKVReport;

class TPageLayoutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPageLayoutDialog(TKVReport* report, QWidget* parent = nullptr);
    void ApplyTo(TKVReport* report) const;

    // The widgets, by role (tests and the snapshot set them).
    QComboBox* PaperSize() const { return FPaper; }
    QComboBox* Orientation() const { return FOrientation; }
    QDoubleSpinBox* PaperWidth() const { return FWidth; }   // mm
    QDoubleSpinBox* PaperHeight() const { return FHeight; } // mm
    QCheckBox* PrinterMargins() const { return FByDefault; }
    QDoubleSpinBox* Margin(int side) const { return FMargins[side]; } // 0 left, 1 top, 2 right, 3 bottom; mm
    QComboBox* PaperSource() const { return FBin; }
    QComboBox* Duplex() const { return FDuplex; }
    QSpinBox* Copies() const { return FCopies; }
    QCheckBox* Collate() const { return FCollate; }
    QSpinBox* Columns() const { return FColumns; }
    QSpinBox* ColumnSpace() const { return FColumnSpace; } // report pixels
    QSpinBox* Bars() const { return FBars; }

private:
    void PaperChanged();

    TKVReport* FReport;
    QComboBox* FPaper;
    QComboBox* FOrientation;
    QDoubleSpinBox* FWidth;
    QDoubleSpinBox* FHeight;
    QCheckBox* FByDefault;
    QDoubleSpinBox* FMargins[4];
    QComboBox* FBin;
    QComboBox* FDuplex;
    QSpinBox* FCopies;
    QCheckBox* FCollate;
    QSpinBox* FColumns;
    QSpinBox* FColumnSpace;
    QSpinBox* FBars;
};

} // namespace vorel
