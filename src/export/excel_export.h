#pragma once
// The Excel filter (XLS): the grid as a one-sheet BIFF2 file. Records: the
// beginning of file, the code page of the labels, one font and one cell
// format (XF), the dimensions, one cell record per grid cell in row order
// (blank, 16-bit integer, number, label), the end of file.
//
// Labels are one byte per character in CodePage (the library's code page):
// a character it lacks, and any character beyond U+FFFF, becomes one "?",
// and a label is at most 255 characters. An integer cell holds 0 to 255;
// every other integer is written as a number cell, so it reads back as
// written. A grid of more than 65,535 rows or 256 columns raises EKVXError
// naming the limit, and no file is written.
//
// Differences from the classic layout (docs/EXPORT.md says why): the
// CODEPAGE, FONT and XF records after the beginning of file (28 bytes), and
// negative integers as number cells.

#include "export/spreadsheet_export.h"

namespace vorel {

class TKVXExportToExcel : public TKVXExportToSpreadsheet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages' grid as a one-sheet Excel file (XLS, BIFF2): text cells as labels in the "
                       "library's code page, at most 65,535 rows and 256 columns.")
public:
    Q_INVOKABLE explicit TKVXExportToExcel(QObject* owner = nullptr);

    // The limits of the format's cell addresses (and of the dimensions record).
    static constexpr int kMaxRows = 65535;
    static constexpr int kMaxColumns = 256;

    void WriteFileBegin() override;
    void WriteFileEnd() override;
    void WriteDimensions(quint16 rows, quint16 columns) override;
    void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment alignment, TColor color) override;

    // The bytes of a label: one per character in codePage ("?" for what it
    // lacks and for characters beyond U+FFFF), at most 255.
    static QByteArray LabelBytes(const QString& text, int codePage);
};

} // namespace vorel
