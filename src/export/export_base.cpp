#include "export/export_base.h"

#include "graphics/metafile.h"

#include <QFileInfo>

namespace vorel {

QString GetProductKey()
{
    return QStringLiteral("Tarnwick Metafile export engine 1.96");
}

QString PageFileName(const QString& fileName, int pageIndex, int barIndex)
{
    const QString numbers = QString::number(pageIndex) + u'_' + QString::number(barIndex);
    // Only the file's own name counts: "./out.csv" or "reports.2024/out.csv"
    // must not get the numbers inside a folder name.
    const qsizetype slash = std::max(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\'));
    const qsizetype dot = fileName.indexOf(u'.', slash + 1);
    if (dot < 0)
        return fileName + numbers;
    return fileName.left(dot) + numbers + fileName.mid(dot);
}

bool IsBlankText(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() > u' ')
            return false;
    return true;
}

// --- TKVXExport -----------------------------------------------------------------------------

TKVXExport::TKVXExport(QObject* owner) : TComponent(owner), FProperties(new TKVProperty(this)) {}

TKVXExport::~TKVXExport() = default;

void TKVXExport::SetProperties(const TKVProperty* value)
{
    if (value && value != FProperties)
        FProperties->Assign(value);
}

void TKVXExport::StartExport()
{
    if (OnStartExecute)
        OnStartExecute(this);
}

void TKVXExport::EndExport()
{
    if (OnEndExecute)
        OnEndExecute(this);
}

void TKVXExport::NewPage(int pageIndex, int barIndex)
{
    Q_UNUSED(pageIndex);
    Q_UNUSED(barIndex);
    if (OnNewPage)
        OnNewPage(this);
}

void TKVXExport::ExportEMF() {}

bool TKVXExport::ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record)
{
    Q_UNUSED(dc);
    bool accept = true;
    if (OnRecord)
        OnRecord(this, record, accept);
    return accept;
}

void TKVXExport::SaveToFile(const QString& fileName)
{
    FFileName = fileName;
    FOffsetX = 0;
    FOffsetY = 0;
}

void TKVXExport::PageProcessed(const TMetafile& metafile)
{
    Q_UNUSED(metafile);
}

void TKVXExport::EnumerateMetafile(const TMetafile& metafile)
{
    TEmfEnumerator dc(metafile);
    while (dc.Next()) {
        // A record whose fields do not fit its size changed nothing in the
        // replay state; the filters never see it.
        if (dc.RecordValid())
            KVXEnumEMFRecordsProc(dc, dc.Record(), this);
    }
}

void TKVXExport::SaveMetafileToFile(const TMetafile* metafile, const QString& fileName)
{
    if (!metafile)
        return;
    PageWidth = TotalWidth = metafile->Width();
    PageHeight = TotalHeight = metafile->Height();
    StartExport();
    NewPage(0, 0);
    FOffsetX = 0;
    FOffsetY = 0;
    EnumerateMetafile(*metafile);
    PageProcessed(*metafile);
    SaveToFile(fileName);
    EndExport();
}

int KVXEnumEMFRecordsProc(const TEmfEnumerator& dc, const TEmfRecord& record, void* data)
{
    if (data)
        static_cast<TKVXExport*>(data)->ExportEMFRecord(dc, record);
    return 1;
}

} // namespace vorel
