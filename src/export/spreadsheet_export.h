#pragma once
// The common writer of every grid format. After the grid building it walks
// the items row by row and calls a fixed set of writer operations, which
// each format overrides: WriteFileBegin, WriteDimensions, then per row
// WriteRowStart, WriteData for each cell, WriteRowEnd, and WriteFileEnd
// (also after an error). The walk passes text cells as ctString and
// everything else (blank cells, pictures, shapes) as ctBlank with the item,
// so a writer can still draw a picture in its cell.

#include "export/export_attributes.h"

#include <QIODevice>

namespace vorel {

class TExportFile;

class TSpreadsheetCellTypes {
    Q_GADGET
public:
    enum TSpreadsheetCellType { ctBlank, ctInteger, ctDouble, ctString, ctDateTime, ctCurrency };
    Q_ENUM(TSpreadsheetCellType)
};
using TSpreadsheetCellType = TSpreadsheetCellTypes::TSpreadsheetCellType;
using enum TSpreadsheetCellTypes::TSpreadsheetCellType;

// The longest cell value the walk passes, in UTF-16 units (a surrogate pair
// is never cut in half).
constexpr int kMaxCellChars = 255;

class TKVXExportToSpreadsheet : public TKVXExportAttributes {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TKVXExportToSpreadsheet(QObject* owner = nullptr);
    ~TKVXExportToSpreadsheet() override;

    // The walk.
    void SaveToFile(const QString& fileName) override;
    bool StreamsGrid() const override { return true; }

    // --- writer operations, in slot order ---
    // 4 bytes: the type, then the size, each 16-bit little-endian.
    virtual void WriteRecordHeader(int recordType, int recordSize);
    virtual void WriteFileBegin();
    virtual void WriteFileEnd();
    virtual void WriteDimensions(quint16 rows, quint16 columns);
    virtual void WriteRowStart();
    virtual void WriteRowEnd();
    // value is the cell text (at most kMaxCellChars), alignment the text's
    // own; rec is the item of the cell, null for an empty cell.
    virtual void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col,
                           const QString& value, TAlignment alignment, TColor color);

    // The output while SaveToFile runs (null otherwise).
    TExportFile* Stream() const { return FStream; }
    // One byte per character in CodePage, without terminator.
    void WriteString(const QString& s);
    // UTF-8, for the text formats.
    void WriteUtf8(const QString& s);
    void WriteBytes(QByteArrayView bytes);

private:
    TExportFile* FStream = nullptr;
};

// The text cut to at most maxChars UTF-16 units without splitting a surrogate pair.
QString CutCellText(const QString& text, int maxChars = kMaxCellChars);

} // namespace vorel
