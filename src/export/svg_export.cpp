#include "export/svg_export.h"

#include "export/export_file.h"
#include "foundation/records/document_properties.h"

namespace vorel {

TKVXExportToSVG::TKVXExportToSVG(QObject* owner) : TKVXExport(owner) {}

TKVXExportToSVG::~TKVXExportToSVG() = default;

void TKVXExportToSVG::StartExport()
{
    TKVXExport::StartExport();
    FWriter.Clear();
}

bool TKVXExportToSVG::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    if (!TKVXExport::ExportEMFRecord(dc, record))
        return false;
    // The page's place is known once its records come (the offsets are set
    // after NewPage).
    if (!FWriter.PageOpen())
        FWriter.BeginPage(OffsetX(), OffsetY(), CodePage);
    FWriter.Record(dc);
    return true;
}

void TKVXExportToSVG::PageProcessed(const TMetafile& metafile)
{
    TKVXExport::PageProcessed(metafile);
    FWriter.EndPage();
}

void TKVXExportToSVG::SaveToFile(const QString& fileName)
{
    TKVXExport::SaveToFile(fileName);
    FWriter.EndPage();
    // Whatever happens to the file, the next one starts with an empty picture.
    struct TRenew {
        TSvgDrawingWriter& Writer;
        ~TRenew() { Writer.Clear(); }
    } renew{FWriter};
    TExportFile file(fileName);
    file.Write(FWriter.Head(TotalWidth, TotalHeight, Properties() ? Properties()->Title() : QString()));
    file.Write(FWriter.Body());
    file.Write(TSvgDrawingWriter::Tail());
    file.Commit();
}

void TKVXExportToSVG::EndExport()
{
    FWriter.Clear();
    TKVXExport::EndExport();
}

} // namespace vorel
