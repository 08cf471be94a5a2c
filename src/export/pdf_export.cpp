#include "export/pdf_export.h"

#include "export/export_file.h"
#include "export/pdf_document.h"
#include "graphics/metafile.h"
#include "graphics/picture.h"

namespace vorel {

TKVXExportToPDF::TKVXExportToPDF(QObject* owner) : TKVXExportAttributes(owner)
{
    RecordKinds = {rkText, rkLine, rkPicture};
}

TKVXExportToPDF::~TKVXExportToPDF() = default;

QString TKVXExportToPDF::FontFamily(const TFont& font)
{
    const QString upper = font.Name().toUpper();
    const bool bold = font.Style().testFlag(fsBold);
    QString name = QStringLiteral("Times-Roman");
    if (upper.contains(QLatin1String("COURIER")))
        name = bold ? QStringLiteral("Courier-Bold") : QStringLiteral("Courier");
    if (upper.contains(QLatin1String("ARIAL")))
        name = bold ? QStringLiteral("Helvetica-Bold") : QStringLiteral("Helvetica");
    if (upper.contains(QLatin1String("TIMES")))
        name = bold ? QStringLiteral("Times-Bold") : QStringLiteral("Times-Roman");
    return name;
}

void TKVXExportToPDF::ForgetPages()
{
    FSegments.clear();
    FLines.clear();
}

void TKVXExportToPDF::StartExport()
{
    TKVXExportAttributes::StartExport();
    ForgetPages();
}

void TKVXExportToPDF::NewPage(int pageIndex, int barIndex)
{
    TKVXExportAttributes::NewPage(pageIndex, barIndex);
    TSegment segment;
    segment.PageIndex = pageIndex;
    segment.FirstRecord = Records().size();
    segment.Width = PageWidth;
    segment.Height = PageHeight;
    FSegments.push_back(segment);
}

void TKVXExportToPDF::PlaceSegment()
{
    // The caller sets the offsets between NewPage and the page's records.
    if (!FSegments.empty() && !FSegments.back().Placed) {
        FSegments.back().OffsetX = OffsetX();
        FSegments.back().OffsetY = OffsetY();
        FSegments.back().Placed = true;
    }
}

bool TKVXExportToPDF::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    PlaceSegment();
    const std::size_t before = Records().size();
    if (!TKVXExportAttributes::ExportEMFRecord(dc, record))
        return false;
    if (record.Type == EMR_LINETO && Records().size() > before) {
        // A line item keeps its box only; the PDF line needs its ends in
        // drawing order and the pen it was drawn with, which the replay
        // state holds now.
        TLineGeometry line{dc.PositionBefore(), dc.State().CurrentPosition, dc.State().Pen};
        TKVXMFERecord& item = Records().back();
        item.Left = OffsetX() + std::min(line.From.X, line.To.X);
        item.Top = OffsetY() + std::min(line.From.Y, line.To.Y);
        FLines[Records().size() - 1] = line;
    }
    return true;
}

void TKVXExportToPDF::PageProcessed(const TMetafile& metafile)
{
    TKVXExportAttributes::PageProcessed(metafile);
    PlaceSegment();
    if (!FSegments.empty()) {
        if (metafile.Width() > 0)
            FSegments.back().Width = metafile.Width();
        if (metafile.Height() > 0)
            FSegments.back().Height = metafile.Height();
    }
}

void TKVXExportToPDF::SaveToFile(const QString& fileName)
{
    // The base behaviour without the grid building: PDF takes the items in
    // the order they were drawn.
    TKVXExport::SaveToFile(fileName);

    std::vector<TSegment> segments = FSegments;
    if (segments.empty()) {
        TSegment all;
        all.Width = PageWidth;
        all.Height = PageHeight;
        segments.push_back(all);
    }
    segments.front().FirstRecord = 0;
    const std::vector<TKVXMFERecord>& records = Records();

    TExportFile file(fileName);
    TPdfDocument pdf([&file](QByteArrayView bytes) { file.Write(bytes); }, FCompression, FCompressionMethod,
        CodePage);
    for (std::size_t first = 0; first < segments.size();) {
        // One PDF page per page index: its bars follow each other.
        std::size_t last = first + 1;
        while (last < segments.size() && segments[last].PageIndex == segments[first].PageIndex)
            ++last;
        const int originX = segments[first].OffsetX;
        int width = 0, height = 0;
        for (std::size_t s = first; s < last; ++s) {
            width = std::max(width, segments[s].OffsetX - originX + segments[s].Width);
            height = std::max(height, segments[s].Height);
        }
        pdf.StartPage(width, height);
        for (std::size_t s = first; s < last; ++s) {
            const TSegment& segment = segments[s];
            const std::size_t end = s + 1 < segments.size() ? segments[s + 1].FirstRecord : records.size();
            const int barX = segment.OffsetX - originX;
            for (std::size_t i = segment.FirstRecord; i < end && i < records.size(); ++i) {
                const TKVXMFERecord& item = records[i];
                // Page coordinates; the items' boxes are one pixel larger
                // than what was drawn on every side.
                const int x = item.Left - originX + 1;
                const int y = item.Top - segment.OffsetY + 1;
                switch (item.Kind) {
                case rkText:
                    if (item.Font && !IsBlankText(item.Text))
                        pdf.WriteText(*item.Font, item.Text, x, y);
                    break;
                case rkLine: {
                    const auto it = FLines.find(i);
                    if (it != FLines.end()) {
                        const TLineGeometry& g = it->second;
                        pdf.WriteLine({{g.From.X + barX, g.From.Y}, {g.To.X + barX, g.To.Y}, g.Pen});
                    }
                    break;
                }
                case rkPicture:
                    if (item.Bitmap && !item.Bitmap->Empty())
                        pdf.WritePicture(item.Bitmap->Image(), x, y);
                    break;
                default:
                    break;
                }
            }
        }
        first = last;
    }

    TPdfInfo info;
    info.Title = Properties()->Title();
    info.Author = Properties()->Author();
    info.Subject = Properties()->Subject();
    info.Keywords = Properties()->Keywords();
    info.Creator = GetProductKey();
    info.Created = CreationDate.isValid() ? CreationDate : QDateTime::currentDateTime();
    pdf.Finish(info);
    file.Commit();
    FWrittenPages = pdf.PageCount();

    // Each file holds the items collected since the previous one.
    ClearRecords();
    ForgetPages();
}

} // namespace vorel
