#pragma once
// The HTML filter: the grid as one HTML table, a row per grid row and a cell
// per column, UTF-8 and declared so. Text cells carry their font (face,
// size, colour, bold, italic, underline), their alignment, the lines of a
// wrapped text (joined by <br>) and, for an opaque text only, its
// background colour; picture
// items are saved as JPEG files next to the HTML file and referenced by
// their file name; an empty cell holds a non-breaking space.

#include "export/spreadsheet_export.h"

#include <QStringList>

namespace vorel {

class TKVXExportToHTML : public TKVXExportToSpreadsheet {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages as one HTML table with fonts, colours and alignment; pictures become JPEG "
                       "files beside it.")
public:
    Q_INVOKABLE explicit TKVXExportToHTML(QObject* owner = nullptr);

    // The page background: white, set when the file begins.
    TColor PageColor = clWhite;
    // The picture files the last SaveToFile wrote (full paths).
    const QStringList& PictureFiles() const { return FPictureFiles; }

    void SaveToFile(const QString& fileName) override;
    void WriteFileBegin() override;
    void WriteFileEnd() override;
    void WriteRowStart() override;
    void WriteRowEnd() override;
    void WriteData(TSpreadsheetCellType cellType, const TKVXMFERecord* rec, int row, int col, const QString& value,
                   TAlignment alignment, TColor color) override;

    // bgcolor="#RRGGBB" (background) or color="#RRGGBB"; empty for black.
    static QString GetHTMLColor(TColor color, bool background);
    // The HTML font size of a point size: 6-7 "1", 8-9 "2", 10-13 "3",
    // 14-17 "4", 18-23 "5", 24-35 "6", else "-1".
    static QString GetHTMLFontSize(int points);
    // text (already escaped) in <u>, <i>, <b> (bold outermost) and a <font>
    // element with face (unless "MS Sans Serif"), size and colour.
    static QString GetHTMLTextWithFont(const QString& text, const TFont& font);

private:
    QString SavePicture(const TBitmap& bitmap);
    QStringList FPictureFiles;
};

} // namespace vorel
