#pragma once
// The text filter: lays the text of the pages out on a fixed character grid
// computed from pixel coordinates, so a report keeps its visual layout in a
// monospaced text file. Each character column is 5.1 report pixels wide and
// each line 16 pixels high; a later text on the same line overwrites the
// characters of an earlier one from its start column on. Pages of a single
// file are separated by a form feed. Files are UTF-8 with CR LF line ends.

#include "export/export_base.h"

#include <QStringList>

namespace vorel {

class TKVXExportToText : public TKVXExport {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the text of the pages on a fixed character grid (5.1 report pixels a column, 16 a "
                       "line) in UTF-8, pages separated by form feeds.")
public:
    Q_INVOKABLE explicit TKVXExportToText(QObject* owner = nullptr);

    double CharWidth = 5.1;  // report pixels per character column
    double LineHeight = 16.0; // report pixels per line
    // The output lines, index = line number from 0.
    QStringList Lines;

    void StartExport() override;
    void EndExport() override;
    // Ends the last line so far with a form feed when a page other than
    // the first starts on the first bar.
    void NewPage(int pageIndex, int barIndex) override;
    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    // Drops trailing blank lines (never the first), writes the lines and
    // empties them for the next file.
    void SaveToFile(const QString& fileName) override;

    // Puts text into the lines with its first character in the 1-based
    // column col of line row (both already rounded), as a text record does.
    void PlaceText(int row, int col, const QString& text);
};

} // namespace vorel
