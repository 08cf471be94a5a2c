#pragma once
// The text filter: lays the text of the pages out on a fixed character grid
// computed from pixel coordinates, so a report keeps its visual layout in a
// monospaced text file. Each character column is 5.1 report pixels wide and
// each line 16 pixels high; a later text on the same line overwrites the
// characters of an earlier one from its start column on. Pages of a single
// file are separated by a form feed. Files are UTF-8 with CR LF line ends.
//
// Lines are written as the pages come: when a new page begins, the lines
// more than two pages above the last line so far go to a scratch file
// (nameless, so nothing is left behind), and SaveToFile copies it into
// place. A text placed above the lines still held (more than a page above
// its own page, which no report layout does) lands on the first held line.

#include "export/export_base.h"

#include <QStringList>
#include <memory>

namespace vorel {

class TScratchFile;

class TKVXExportToText : public TKVXExport {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the text of the pages on a fixed character grid (5.1 report pixels a column, 16 a "
                       "line) in UTF-8, pages separated by form feeds.")
public:
    Q_INVOKABLE explicit TKVXExportToText(QObject* owner = nullptr);
    ~TKVXExportToText() override;

    double CharWidth = 5.1;  // report pixels per character column
    double LineHeight = 16.0; // report pixels per line
    // The output lines still held, index = line number - FirstHeldLine().
    QStringList Lines;
    // The line number of Lines[0]: the lines before it are written.
    int FirstHeldLine() const { return FFirstHeld; }

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

private:
    // Hands line number `index` to the output: line 0 always, a blank line
    // only once a line that is not blank follows (trailing blank lines are
    // dropped, as SaveToFile always did).
    void Emit(int index, const QString& line);
    void WriteLine(const QString& line);
    void Reset();

    int FFirstHeld = 0;
    QStringList FPendingBlank; // blank lines waiting for a line that is not
    std::unique_ptr<TScratchFile> FSpool;
};

} // namespace vorel
