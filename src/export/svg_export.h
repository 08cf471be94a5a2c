#pragma once
// The SVG filter: the pages as one vector picture of TotalWidth x
// TotalHeight page pixels, each page at (OffsetX, OffsetY), drawn by the
// SVG device of the record interpreter (svg_drawing.h). Texts stay texts,
// so a viewer finds and selects them. With one file per page, a picture per
// page. The file is written whole when SaveToFile is called.

#include "export/export_base.h"
#include "export/svg_drawing.h"

namespace vorel {

class TKVXExportToSVG : public TKVXExport {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages as one SVG picture, each page at its place, texts as text (searchable and "
                       "selectable), pictures embedded as PNG; with one file per page, a picture per page.")
public:
    Q_INVOKABLE explicit TKVXExportToSVG(QObject* owner = nullptr);
    ~TKVXExportToSVG() override;

    void StartExport() override;
    void EndExport() override;
    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    void PageProcessed(const TMetafile& metafile) override;
    void SaveToFile(const QString& fileName) override;

private:
    TSvgDrawingWriter FWriter;
};

} // namespace vorel
