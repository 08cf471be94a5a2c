#pragma once
// The RTF filter: the grid as one rich-text table, a table row per grid row
// and a cell per text, each text cell with its font, size, style, colour
// and alignment. Text is in CodePage (\ansicpg): characters the code page
// holds as \'hh, the others as \uN?, and the RTF specials \ { } escaped, in
// cells and document properties alike.
//
// Geometry: 1 report pixel is 15 twips (1/96 inch). The paper is the size of
// one exported page (as wide as the bars side by side), the margins those
// the items leave on the pages; a cell's \cellx is its right edge, the next
// cell's left edge, the last ending at the right margin. Each row's cells
// are laid out from its own items (a left-aligned text starts its cell at
// its left edge, a right-aligned one ends it at its right edge), so texts
// stand where they stand on the page. A row is at least as high as the
// distance to the next row on the page, and each page of the report starts
// a page of the document: the document keeps the report's layout.
//
// The font and colour tables must precede the body in the file; they are
// taken from the collected items before the body is written, so the body
// goes straight to the output (no temporary file beside the user's).
//
// Collected: text, lines, rectangles and ellipses; shapes take rows (empty
// ones when no text shares them), except rectangles drawn without a pen:
// those are fills (band backgrounds, barcode bars), not shapes, and leave
// nothing behind.

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
    // One grid cell of the row being written: whether an item filled it,
    // and its content in FRowText. No pointer to the item: the cells of a
    // group may outlive the page whose cells the walk hands over.
    struct TCell {
        bool Filled;
        TAlignment Alignment;
        qsizetype ContentStart;
        qsizetype ContentEnd;
        int Left = 0; // the item's box, report pixels (several items once stacked)
        int Right = 0;
        int Top = 0;
    };
    void WriteBitmap(QByteArray& out, const TBitmap& bitmap, int widthPx, int heightPx);
    void StackCells();
    void LayOutRow();

    QStringList FFontTable; // RTF font n is entry n
    QList<std::uint32_t> FColorTable; // 0x00BBGGRR; RTF colour n is entry n - 1 (0: automatic)
    // What the header needs of every cell, gathered before it is written:
    // the items' extent (report pixels, tops and bottoms from each page's top).
    int FItemsLeft = 0, FItemsRight = 0, FItemsTop = 0, FItemsBottom = 0;
    std::vector<int> FRowTops; // report pixels, from the top of the output, by grid row
    std::vector<int> FRowBottoms; // the lowest edge of a row's texts and pictures
    // Grid rows whose texts overlap on the page (a name beside the numbers
    // centred on it and the line below it) are one table row: the first
    // grid row of the open group (-1: none) and the group's lowest edge.
    int FGroupFirst = -1;
    int FGroupBottom = 0;
    int FTableRow = 0; // table rows written
    int FLeft = 0; // the table's left and right edges, report pixels
    int FRight = 0;
    int FRowIndex = 0;
    bool FTable = false; // the grid has columns, so rows are table rows
    std::vector<TCell> FCells; // the row being written, reused from row to row
    // The row's table cells: right edge (report pixels) and the cell of
    // FCells whose content it holds (-1: empty).
    std::vector<std::pair<int, int>> FEdges;
    std::vector<int> FOrder; // the cells with items, left to right
    QByteArray FRowText; // the cells' content
    QByteArray FLine; // the row as written
};

} // namespace vorel
