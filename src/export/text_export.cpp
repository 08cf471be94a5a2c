#include "export/text_export.h"

#include "export/emf_text_record.h"
#include "export/export_file.h"
#include "foundation/values/scratch_file.h"

#include <cmath>

namespace vorel {

TKVXExportToText::TKVXExportToText(QObject* owner) : TKVXExport(owner) {}

TKVXExportToText::~TKVXExportToText() = default;

void TKVXExportToText::Reset()
{
    Lines.clear();
    FFirstHeld = 0;
    FPendingBlank.clear();
    FSpool.reset();
}

void TKVXExportToText::StartExport()
{
    TKVXExport::StartExport();
    Reset();
    CharWidth = 5.1;
    LineHeight = 16;
}

void TKVXExportToText::EndExport()
{
    Reset();
    TKVXExport::EndExport();
}

void TKVXExportToText::NewPage(int pageIndex, int barIndex)
{
    // The form feed ends the last line produced so far, before the new
    // page's text is placed.
    const int produced = FFirstHeld + int(Lines.size());
    if (pageIndex >= 1 && barIndex == 0 && produced >= 2 && !Lines.isEmpty())
        Lines.last() += QChar(12);
    if (pageIndex >= 1 && barIndex == 0) {
        // The lines of the pages before the previous one are complete.
        const int linesPerPage = std::max(1, int(std::ceil(PageHeight / LineHeight)));
        while (!Lines.isEmpty() && FFirstHeld < produced - 2 * linesPerPage)
            Emit(FFirstHeld++, Lines.takeFirst());
    }
    TKVXExport::NewPage(pageIndex, barIndex);
}

void TKVXExportToText::WriteLine(const QString& line)
{
    if (!FSpool)
        FSpool = std::make_unique<TScratchFile>();
    FSpool->Append(line.toUtf8());
    FSpool->Append("\r\n");
}

void TKVXExportToText::Emit(int index, const QString& line)
{
    if (index > 0 && IsBlankText(line)) {
        FPendingBlank.append(line);
        return;
    }
    for (const QString& blank : std::as_const(FPendingBlank))
        WriteLine(blank);
    FPendingBlank.clear();
    WriteLine(line);
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
    row -= FFirstHeld;
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
    while (!Lines.isEmpty())
        Emit(FFirstHeld++, Lines.takeFirst());
    // Blank lines still pending are the trailing ones: dropped.
    TExportFile file(fileName);
    if (FSpool)
        FSpool->CopyTo([&file](QByteArrayView bytes) { file.Write(bytes); });
    file.Commit();
    // The next file of a one-file-per-page export starts empty.
    Reset();
}

} // namespace vorel
