#include "export/pdf_export.h"

#include "export/export_file.h"
#include "foundation/values/scratch_file.h"
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
    FPdf.reset();
    FSpool.reset();
    FPlaced.clear();
}

void TKVXExportToPDF::StartExport()
{
    TKVXExportAttributes::StartExport();
    ForgetPages();
}

void TKVXExportToPDF::NewPage(int pageIndex, int barIndex)
{
    TKVXExportAttributes::NewPage(pageIndex, barIndex);
    // Another page index: the page before it is complete.
    if (!FSegments.empty() && FSegments.back().PageIndex != pageIndex)
        WritePendingPages();
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

void TKVXExportToPDF::WritePendingPages()
{
    if (!FPdf) {
        // The profile is read before anything is written: without it there
        // is no PDF/A file to write.
        std::optional<TPdfArchive> archive;
        if (FPdfA)
            archive = TPdfArchive{ReadPdfColorProfile(ColorProfileFile)};
        FSpool = std::make_unique<TScratchFile>();
        TScratchFile* spool = FSpool.get();
        FPdf = std::make_unique<TPdfDocument>([spool](QByteArrayView bytes) { spool->Append(bytes); }, FCompression,
            FCompressionMethod, CodePage, std::move(archive), FEmbedFonts); // PDF/A embeds every face whatever is asked
    }
    if (FSegments.empty())
        return;
    std::vector<TSegment>& segments = FSegments;
    segments.front().FirstDrawing = 0;
    const TPdfDrawings& drawings = FDrawings.Drawings();
    TPdfDocument& pdf = *FPdf;
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
            FPlaced.insert({segments[s].PageIndex, segments[s].BarIndex},
                {pdf.PageCount() - 1, segments[s].OffsetX - originX});
            // Each page metafile starts unclipped.
            pdf.SetClip(std::nullopt);
            const std::size_t end = s + 1 < segments.size() ? segments[s + 1].FirstDrawing : drawings.size();
            for (std::size_t i = segments[s].FirstDrawing; i < end && i < drawings.size(); ++i)
                std::visit(TDraw{pdf}, drawings[i]);
        }
        first = last;
    }
    // Written: only the pictures seen so far are kept (shared by later pages).
    FSegments.clear();
    FDrawings.ClearDrawings();
}

void TKVXExportToPDF::SaveToFile(const QString& fileName)
{
    // The base behaviour without the grid building: PDF takes the items in
    // the order they were drawn.
    TKVXExport::SaveToFile(fileName);

    // A file without a page still gets one, of the export's page size.
    if (FSegments.empty() && (!FPdf || FPdf->PageCount() == 0)) {
        TSegment all;
        all.Width = PageWidth;
        all.Height = PageHeight;
        FSegments.push_back(all);
    }
    WritePendingPages();
    TPdfDocument& pdf = *FPdf;

    // A file holds the bookmarks of its own pages, in the report's order.
    for (const TKVXExportOutline& outline : std::as_const(Outlines)) {
        const auto at = FPlaced.constFind({outline.PageIndex, outline.BarIndex});
        if (at != FPlaced.cend())
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
    FWrittenPages = pdf.PageCount();
    TExportFile file(fileName);
    FSpool->CopyTo([&file](QByteArrayView bytes) { file.Write(bytes); });
    file.Commit();

    // Each file holds the items collected since the previous one.
    ClearRecords();
    ForgetPages();
}

} // namespace vorel
