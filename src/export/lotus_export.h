#pragma once
// The worksheet writers of the Lotus 1-2-3 (WK1) and QuattroPro (WQ1)
// formats: the grid as one worksheet of records, a beginning-of-file record
// with the format's version, the calculation mode and order, the used range,
// one cell record per grid cell row by row, and an end-of-file record.
//
// Both formats share the record layout (16-bit type, 16-bit length, data;
// cell header: format byte, 16-bit column, 16-bit row) and differ in the
// version word, the format bytes, the label layout and the rows a reader
// takes: a Lotus label is prefix, text, zero byte; a QuattroPro label is
// prefix, length byte, text. Labels are in CodePage, one byte per
// character, at most 255 bytes. A grid wider than 256 columns or longer
// than the format's rows raises EKVXError naming the limit, and no file is
// left (a column or row number beyond the field would land on another cell).

#include "export/spreadsheet_export.h"

namespace vorel {

// What sets the two formats apart.
struct TWorksheetFormat {
    const char* Name; // in messages
    std::uint16_t Version; // of the beginning-of-file record
    std::uint8_t BlankFormat; // cell format bytes
    std::uint8_t IntegerFormat;
    std::uint8_t NumberFormat; // number and label cells
    bool LabelLengthByte; // prefix, length, text; else prefix, text, zero byte
    int MaxRows;
};

constexpr int kWorksheetMaxColumns = 256;

class TKVXExportToLotus : public TKVXExportToSpreadsheet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the texts of the pages as the cells of a Lotus 1-2-3 worksheet (WK1), labels in the "
                       "library's code page.")
public:
    Q_INVOKABLE explicit TKVXExportToLotus(QObject* owner = nullptr);

    void WriteFileBegin() override;
    void WriteFileEnd() override;
    void WriteDimensions(quint16 rows, quint16 columns) override;
    void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment alignment, TColor color) override;

protected:
    TKVXExportToLotus(const TWorksheetFormat& format, QObject* owner);

private:
    void CheckCell(int row, int col) const;
    void WriteCellHeader(int type, int dataLength, std::uint8_t format, int row, int col);

    const TWorksheetFormat& FFormat;
    QByteArray FRecord; // the record being written, reused from cell to cell
};

// The same worksheet in QuattroPro's layout. A class of its own in the
// registry and the reference; derived from the Lotus writer because only the
// format table differs.
class TKVXExportToQuattroPro : public TKVXExportToLotus {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the texts of the pages as the cells of a QuattroPro worksheet (WQ1), labels in the "
                       "library's code page.")
public:
    Q_INVOKABLE explicit TKVXExportToQuattroPro(QObject* owner = nullptr);
};

extern const TWorksheetFormat kLotusFormat;
extern const TWorksheetFormat kQuattroProFormat;

} // namespace vorel
