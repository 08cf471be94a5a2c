#pragma once
// The XML filter: one RECORD element per grid row holding one empty ROW
// element whose attributes Column1, Column2, ... are the row's filled cells
// (blank cells are left out). UTF-8, declared so; texts escaped with the
// five XML entities only, so the output is well-formed whatever the cells hold.

#include "export/spreadsheet_export.h"

namespace vorel {

class TKVXExportToXML : public TKVXExportToSpreadsheet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages' grid as XML: one RECORD element per row, the row's cells as attributes "
                       "Column1, Column2, ...")
public:
    Q_INVOKABLE explicit TKVXExportToXML(QObject* owner = nullptr);

    void WriteFileBegin() override;
    void WriteFileEnd() override;
    void WriteRowStart() override;
    void WriteRowEnd() override;
    void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment alignment, TColor color) override;
};

} // namespace vorel
