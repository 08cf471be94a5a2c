#include "export/pdf_export.h"

#include "export/export_file.h"
#include "export/pdf_document.h"
#include "graphics/metafile.h"
#include "graphics/picture.h"

#include <QHash>

namespace vorel {

TKVXExportToPDF::TKVXExportToPDF(QObject* owner) : TKVXExportAttributes(owner)
{
    // The page records are drawn as they stand (TPdfDrawingCollector); no
    // grid items are needed.
    RecordKinds = {};
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
    FDrawings.Clear();
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
    segment.BarIndex = barIndex;
    segment.FirstDrawing = FDrawings.Drawings().size();
    segment.Width = PageWidth;
    segment.Height = PageHeight;
    FSegments.push_back(segment);
}

void TKVXExportToPDF::PlaceSegment()
{
    // The caller sets the offsets between NewPage and the page's records.
    if (FSegments.empty() || FSegments.back().Placed)
        return;
    TSegment& segment = FSegments.back();
    segment.OffsetX = OffsetX();
    segment.Placed = true;
    // The bars of one page stand side by side on its PDF page, the first
    // one at the page's left.
    std::size_t first = FSegments.size() - 1;
    while (first > 0 && FSegments[first - 1].PageIndex == segment.PageIndex)
        --first;
    FDrawings.BeginPage(segment.OffsetX - FSegments[first].OffsetX);
}

bool TKVXExportToPDF::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    PlaceSegment();
    if (!TKVXExportAttributes::ExportEMFRecord(dc, record))
        return false;
    FDrawings.Record(dc, record, CodePage);
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
    segments.front().FirstDrawing = 0;
    const TPdfDrawings& drawings = FDrawings.Drawings();

    // The profile is read before the file is made: without it there is no
    // PDF/A file to write.
    std::optional<TPdfArchive> archive;
    if (FPdfA)
        archive = TPdfArchive{ReadPdfColorProfile(ColorProfileFile)};
    TExportFile file(fileName);
    TPdfDocument pdf([&file](QByteArrayView bytes) { file.Write(bytes); }, FCompression, FCompressionMethod,
        CodePage, std::move(archive), FEmbedFonts); // PDF/A embeds every face whatever is asked
    // Where each page and bar of the file landed: its PDF page and its
    // left on it (report pixels).
    QHash<std::pair<int, int>, std::pair<int, int>> placed;
    struct TDraw {
        TPdfDocument& Pdf;
        void operator()(const TPdfShape& shape) { Pdf.WriteShape(shape); }
        void operator()(const TPdfPlainText& text)
        {
            Pdf.WriteText(*text.Font, text.Text, text.Left, text.Top, text.Dx.empty() ? nullptr : text.Dx.data());
        }
        void operator()(const std::unique_ptr<TPdfText>& text) { Pdf.WriteTextRun(*text); }
        void operator()(const std::unique_ptr<TPdfPicture>& picture)
        {
            Pdf.WritePicture(picture->Image, picture->UnitToPage);
        }
        void operator()(const TPdfClipChange& clip) { Pdf.SetClip(clip.Region); }
    };
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
            placed.insert({segments[s].PageIndex, segments[s].BarIndex},
                {pdf.PageCount() - 1, segments[s].OffsetX - originX});
            // Each page metafile starts unclipped.
            pdf.SetClip(std::nullopt);
            const std::size_t end = s + 1 < segments.size() ? segments[s + 1].FirstDrawing : drawings.size();
            for (std::size_t i = segments[s].FirstDrawing; i < end && i < drawings.size(); ++i)
                std::visit(TDraw{pdf}, drawings[i]);
        }
        first = last;
    }

    // A file holds the bookmarks of its own pages, in the report's order.
    for (const TKVXExportOutline& outline : std::as_const(Outlines)) {
        const auto at = placed.constFind({outline.PageIndex, outline.BarIndex});
        if (at != placed.cend())
            pdf.AddBookmark(outline.Text, at->first, at->second, outline.Top);
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
