#pragma once
// The data records a preparation leaves in its pages when asked to
// (TKVPrintBaseComponent::SetDataRecords): GDI comments naming each detail,
// page header and column header band and, per control, its place and raw
// value. The data-only modes of the CSV and XLSX filters read them into a
// table: a caption row (the lowest header text above each column) and a row
// per detail record, a column per control of the detail band, left to right.

#include "foundation/values/scratch_file.h"
#include "graphics/emf_enumerator.h"

#include <QString>
#include <functional>
#include <memory>
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
    std::size_t RowCount() const { return FSpilledRows + FRows.size(); }
    // The rows held in memory (the others wait in the scratch file).
    std::size_t HeldRowCount() const { return FRows.size(); }
    // Every row's values in column order ("" where a row has no control),
    // the rows let go first.
    void ForEachRow(const std::vector<TCell>& columns, const std::function<void(const std::vector<QString>&)>& visit);
    // Lets every row read but the last (which may still take cells) go to a
    // nameless scratch file as its values in column order, so that a long
    // report's rows need not all be held; filters call it as each page is
    // done. The columns are the first row's, known once another follows it.
    void LetFinishedRowsGo();

private:
    void RowValues(const std::vector<TCell>& row, const std::vector<TCell>& columns,
                   std::vector<QString>& values) const;

    std::vector<TCell> FCaptions;
    bool FCaptionsTaken = false;
    bool FInHeader = false;
    bool FInDetail = false;
    std::vector<std::vector<TCell>> FRows;
    std::vector<TCell> FFirstRow; // the row that fixes the columns, once let go
    bool FFirstRowKept = false;
    // The rows let go: per row, per column, a 32-bit length and UTF-8 text.
    std::unique_ptr<TScratchFile> FSpill;
    QByteArray FSpillBuffer;
    std::size_t FSpilledRows = 0;
};

// The message of a data-only export over pages prepared without data records.
QString NoDataRecordsMessage(const QString& filter);

} // namespace vorel
