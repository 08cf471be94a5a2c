#include "export/text_export.h"

#include "export/emf_text_record.h"
#include "export/export_file.h"

#include <cmath>

namespace vorel {

TKVXExportToText::TKVXExportToText(QObject* owner) : TKVXExport(owner) {}

void TKVXExportToText::StartExport()
{
    TKVXExport::StartExport();
    Lines.clear();
    CharWidth = 5.1;
    LineHeight = 16;
}

void TKVXExportToText::EndExport()
{
    Lines.clear();
    TKVXExport::EndExport();
}

void TKVXExportToText::NewPage(int pageIndex, int barIndex)
{
    // The form feed ends the last line produced so far, before the new
    // page's text is placed.
    if (pageIndex >= 1 && barIndex == 0 && Lines.size() >= 2)
        Lines.last() += QChar(12);
    TKVXExport::NewPage(pageIndex, barIndex);
}

bool TKVXExportToText::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    if (!TKVXExport::ExportEMFRecord(dc, record))
        return false;
    TEmfTextRun run;
    if (!DecodeTextRecord(record, CodePage, run) || IsBlankText(run.Text))
        return true;
    // Nearest line and column, halves to even (the classic Round).
    const double rowValue = std::nearbyint((OffsetY() + run.Box.Top) / LineHeight);
    const double colValue = std::nearbyint((OffsetX() + run.Box.Left) / CharWidth);
    // A coordinate far outside the output (a hostile record) must not ask
    // for billions of lines or blanks: it is held at the output's edge plus
    // a margin of 64K pixels.
    constexpr double kMarginPixels = 65536;
    const double maxRow = (std::max<double>(TotalHeight, double(OffsetY()) + PageHeight) + kMarginPixels) / LineHeight;
    const double maxCol = (std::max<double>(TotalWidth, double(OffsetX()) + PageWidth) + kMarginPixels) / CharWidth;
    const int row = int(std::clamp(rowValue, 0.0, maxRow));
    const int col = int(std::clamp(colValue, -maxCol, maxCol));
    PlaceText(row, col, run.Text);
    return true;
}

void TKVXExportToText::PlaceText(int row, int col, const QString& text)
{
    if (row < 0)
        row = 0;
    while (Lines.size() <= row)
        Lines.append(QString());
    QString& s = Lines[row];
    if (col > s.size())
        s += QString(col - s.size(), u' ');
    // 1-based: the text overwrites positions col .. col + length - 1 and
    // starts at col; before the first column it is put in front.
    if (col >= 1) {
        s.remove(col - 1, text.size());
        s.insert(col - 1, text);
    } else {
        s.insert(0, text);
    }
}

void TKVXExportToText::SaveToFile(const QString& fileName)
{
    TKVXExport::SaveToFile(fileName);
    while (Lines.size() > 1 && IsBlankText(Lines.last()))
        Lines.removeLast();
    TExportFile file(fileName);
    for (const QString& line : Lines) {
        file.WriteUtf8(line);
        file.Write("\r\n");
    }
    file.Commit();
    // The next file of a one-file-per-page export starts empty.
    Lines.clear();
}

} // namespace vorel
