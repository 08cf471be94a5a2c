#pragma once
// The RTF filter: the grid as one rich-text table, a table row per grid row
// and a cell per column, each text cell with its font, size, style, colour
// and alignment. Text is in CodePage (\ansicpg): characters the code page
// holds as \'hh, the others as \uN?, and the RTF specials \ { } escaped, in
// cells and document properties alike.
//
// Geometry: 1 report pixel is 15 twips (1/96 inch). The paper is the size of
// one exported page (as wide as the bars side by side); the left margin is
// where the leftmost item starts, the right margin mirrors it unless an item
// reaches further; a cell's \cellx is its right edge, the next column's left
// edge, the last column ending at the right margin.
//
// The font and colour tables must precede the body in the file; they are
// taken from the collected items before the body is written, so the body
// goes straight to the output (no temporary file beside the user's).
//
// Collected: text, lines, rectangles and ellipses; shapes become empty
// cells, except rectangles drawn without a pen: those are fills (band
// backgrounds, barcode bars), not shapes, and leave no cells behind.

#include "export/spreadsheet_export.h"

#include <QDateTime>
#include <QStringList>

namespace vorel {

class TKVXExportToRTF : public TKVXExportToSpreadsheet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the texts of the pages as one rich-text (RTF) table with fonts, colours and "
                       "alignment.")
public:
    Q_INVOKABLE explicit TKVXExportToRTF(QObject* owner = nullptr);

    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    void WriteFileBegin() override;
    void WriteFileEnd() override;
    void WriteDimensions(quint16 rows, quint16 columns) override;
    void WriteRowStart() override;
    void WriteRowEnd() override;
    void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment alignment, TColor color) override;

    // Report pixels (96 per inch) to twips (1440 per inch).
    static constexpr int PixelsToTwips(int pixels) { return pixels * 15; }
    // "yr2024\mo5\dy3", with "\hr10\min5" when the time of day is not midnight.
    static QString DateTimeToRTF(const QDateTime& dateTime);
    // "\qr", "\qc" or nothing.
    static const char* GetAlignment(TAlignment alignment);
    // "\i", "\b", "\ul" in this order as the style has them.
    static const char* GetFontStyle(TFontStyles style);
    // text with \ { } escaped, tabs and line breaks as \tab and \line, and
    // each character as itself, \'hh in the code page, or \uN? beyond it.
    static void AppendText(QByteArray& out, QStringView text, int codePage);

private:
    void WriteBitmap(const TBitmap& bitmap, int widthPx, int heightPx);

    QStringList FFontTable; // RTF font n is entry n
    QList<std::uint32_t> FColorTable; // 0x00BBGGRR; RTF colour n is entry n - 1 (0: automatic)
    QByteArray FRowDefinition; // the cell boundaries after "\trowd\irowN"
    int FRowIndex = 0;
    bool FTable = false; // the grid has columns, so rows are table rows
    QByteArray FLine; // the text being written, reused from cell to cell
};

} // namespace vorel
