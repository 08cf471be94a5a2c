#pragma once
// The data records a preparation leaves in its pages when asked to
// (TKVPrintBaseComponent::SetDataRecords): GDI comments naming each detail,
// page header and column header band and, per control, its place and raw
// value. The data-only modes of the CSV and XLSX filters read them into a
// table: a caption row (the lowest header text above each column) and a row
// per detail record, a column per control of the detail band, left to right.

#include "graphics/emf_enumerator.h"

#include <QString>
#include <functional>
#include <vector>

namespace vorel {

class TKVXDataRecords {
public:
    // A control's place (report pixels within its bar) and raw text.
    struct TCell {
        int Left;
        int Width;
        int Top; // within its band: a caption is the header text nearest the rows
        QString Text;
    };

    // Reads one page record; anything but a data record is passed over.
    void Read(const TEmfRecord& record);
    // True when no data record was read.
    bool Empty() const { return FRows.empty() && FCaptions.empty() && !FFirstRowKept; }
    void Clear();

    // The table: the columns (the first detail row's controls, left to
    // right; their Text is not used), the caption of each column, and each
    // detail row's values in column order. Captions and rows have one entry
    // per column.
    std::vector<TCell> Columns() const;
    std::vector<QString> Captions(const std::vector<TCell>& columns) const;
    std::size_t RowCount() const { return FRows.size(); }
    // Row i's values, in column order ("" where the row has no control).
    void RowValues(std::size_t i, const std::vector<TCell>& columns, std::vector<QString>& values) const;
    // Hands every row read but the last (which may still take cells) to
    // write, in column order, and lets them go, so that a long report's
    // rows need not all be held: the columns are the first row's, known
    // once it is followed by another. RowCount and RowValues then cover
    // the rows not handed out yet.
    void TakeFinishedRows(const std::function<void(const std::vector<QString>&)>& write);

private:
    std::vector<TCell> FCaptions;
    bool FCaptionsTaken = false;
    bool FInHeader = false;
    bool FInDetail = false;
    std::vector<std::vector<TCell>> FRows;
    std::vector<TCell> FFirstRow; // the row that fixes the columns, once handed out
    bool FFirstRowKept = false;
};

// The message of a data-only export over pages prepared without data records.
QString NoDataRecordsMessage(const QString& filter);

} // namespace vorel
