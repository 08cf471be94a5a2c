#pragma once
// The XLSX filter: one worksheet of an Excel workbook, written with
// libxlsxwriter in its constant-memory mode (rows go to disk as they are
// written, so memory does not grow with the rows). Numbers and ISO dates
// become numbers and dates (XlsxCellValue), every other text a string;
// column widths follow the grid's columns (or, with Mode dmData, the detail
// controls' widths), and the data mode's caption row is frozen.
//
// The workbook is built in a temporary file and copied into the output
// through TExportFile, so a failed export leaves no half file.

#include "export/csv_export.h"
#include "export/data_records.h"
#include "export/export_attributes.h"

namespace vorel {

// What a cell text becomes in a workbook.
struct TXlsxCellValue {
    enum TKind { xkText, xkNumber, xkDate } Kind = xkText;
    double Number = 0; // xkNumber
    int Decimals = 0;  // xkNumber: digits after the full stop, kept by the cell's number format
    // xkDate: the parts; Seconds < 0 when the text has no seconds, Hour < 0 when it has no time.
    int Year = 0, Month = 0, Day = 0, Hour = -1, Minute = 0, Seconds = -1;
};

// A text is a number when it is written as the data records and plain
// number formats write one: an optional minus, digits without grouping and
// without leading zeros, optionally a full stop and digits, at most 15
// significant digits (so it converts exactly). It is a date when it is an
// ISO date "yyyy-mm-dd", optionally with " hh:mm" or " hh:mm:ss", from 1900
// on. Anything else ("007", "1,506.24", "12/03/2024") stays text.
TXlsxCellValue XlsxCellValue(QStringView text);

class TKVXExportToXLSX : public TKVXExportAttributes {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages' grid, or with Mode dmData the report's data, as a one-sheet Excel workbook "
                       "(XLSX): numbers as numbers, ISO dates as dates, column widths from the pages.")
    Q_PROPERTY(vorel::TKVXCSVEnums::TKVXCSVMode Mode READ Mode WRITE SetMode)
    Q_CLASSINFO("Doc.Mode", "What is written: the pages' cells, or the report's data under a frozen caption row.")
public:
    Q_INVOKABLE explicit TKVXExportToXLSX(QObject* owner = nullptr);

    // The limits of a worksheet.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;

    TKVXCSVMode Mode() const { return FMode; }
    void SetMode(TKVXCSVMode value) { FMode = value; }

    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    // Mode dmData: the rows of each page done wait in a scratch file.
    void PageProcessed(const TMetafile& metafile) override;
    void SaveToFile(const QString& fileName) override;
    bool StreamsGrid() const override { return FMode == dmLayout; }

private:
    TKVXCSVMode FMode = dmLayout;
    TKVXDataRecords FData; // Mode dmData
};

} // namespace vorel
