#pragma once
// The PDF filter: writes what the pages draw as a PDF 1.2 file, one PDF
// page per report page: text runs with font, size, colour, decorations and
// rotation; lines, rectangles, rounded rectangles, ellipses, polygons and
// regions with their pens and brushes; pictures; clipping. It takes the
// page records in the order they were drawn (painter's order) rather than
// the grid items of the other filters, which merge neighbouring text runs
// into cells and keep one box per item; so it collects no items itself.
//
// Pages follow the report: every NewPage of another page index starts a
// PDF page (the bars of one page stand side by side on it, as their
// offsets place them), so a page without text still gets its page, and
// every item lands on the page whose metafile it came from. Report pixels
// (1/96 inch) become PDF units (1/72 inch): an A4 report gives A4 pages.
//
// The file is written as the pages come: a PDF page is written as soon as
// the next page index begins, into a scratch file (nameless, so nothing is
// left behind), and only its drawings are held until then. SaveToFile
// finishes the document (fonts, pictures, page tree, bookmarks) and copies
// it into place, so memory does not grow with the number of pages.

#include "export/export_attributes.h"
#include "export/pdf_archive.h"
#include "export/pdf_drawing.h"
#include "export/pdf_filters.h"

#include <QDateTime>
#include <QHash>
#include <memory>
#include <vector>

namespace vorel {

class TPdfDocument;
class TScratchFile;

class TKVXExportToPDF : public TKVXExportAttributes {
    Q_OBJECT
    Q_CLASSINFO("Doc", "Writes the pages as a PDF file: text with embedded font subsets, pictures, shapes and the "
                       "report's bookmarks; PDF/A-2b on request.")
    Q_PROPERTY(vorel::TKVXPDFEnums::TKVXECompression Compression READ Compression WRITE SetCompression)
    Q_CLASSINFO("Doc.Compression", "How pictures are encoded and, beyond the two text encodings, whether pages and "
                                   "fonts are compressed.")
    Q_PROPERTY(vorel::TKVXPDFEnums::TKVXECompressionMethod CompressionMethod READ CompressionMethod WRITE
            SetCompressionMethod)
    Q_CLASSINFO("Doc.CompressionMethod", "The effort of Flate compression.")
    Q_PROPERTY(bool EmbedFonts READ EmbedFonts WRITE SetEmbedFonts)
    Q_CLASSINFO("Doc.EmbedFonts", "Embeds every face as a Unicode subset, so text in every script prints; False: the "
                                  "classic standard fonts, not embedded.")
    Q_PROPERTY(bool PdfA READ PdfA WRITE SetPdfA)
    Q_CLASSINFO("Doc.PdfA", "Writes PDF/A-2b archival files: metadata, a colour profile, every font embedded.")
public:
    Q_INVOKABLE explicit TKVXExportToPDF(QObject* owner = nullptr);
    ~TKVXExportToPDF() override;

    // How pictures are encoded (default seASCIIHex); seLZW and seFlate
    // also compress the page contents, and every setting but seDCT the
    // embedded font files.
    TKVXECompression Compression() const { return FCompression; }
    void SetCompression(TKVXECompression value) { FCompression = value; }
    // The zlib effort of seFlate (default cmNormal).
    TKVXECompressionMethod CompressionMethod() const { return FCompressionMethod; }
    void SetCompressionMethod(TKVXECompressionMethod value) { FCompressionMethod = value; }
    // Every face embedded as a Unicode subset, text in every script (the
    // default); false: the classic standard fonts, unembedded, where a
    // text fits their encodings.
    bool EmbedFonts() const { return FEmbedFonts; }
    void SetEmbedFonts(bool value) { FEmbedFonts = value; }

    // Writes PDF/A-2b (archival) files: XMP metadata, an sRGB output
    // intent, a file identifier, every font embedded, and Flate where
    // Compression asks for LZW (which PDF/A forbids). Default false.
    bool PdfA() const { return FPdfA; }
    void SetPdfA(bool value) { FPdfA = value; }
    // The font writer embeds every face when this is true, whatever else
    // is asked: PDF/A allows no font that is not embedded.
    bool ForceEmbeddedFonts() const { return FPdfA; }
    // The sRGB profile PDF/A files embed; an export with PdfA fails,
    // naming this file, when it cannot be read.
    QString ColorProfileFile = QString::fromLatin1(kPdfSrgbProfileFile);

    // The creation date written into the document information; the time
    // of writing when not valid (the default).
    QDateTime CreationDate;

    void StartExport() override;
    void NewPage(int pageIndex, int barIndex) override;
    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    void PageProcessed(const TMetafile& metafile) override;
    // Pages and bookmarks are placed in SaveToFile; the faces it measures
    // and draws with are its thread's own.
    bool TakesPagesAsTheyCome() const override { return true; }
    // Writes one complete PDF document of the items collected since the
    // previous file, then forgets them.
    void SaveToFile(const QString& fileName) override;

    // The simple base-name choice of the classic interface ("Courier",
    // "Helvetica", "Times-Roman" and their bold forms); the fonts of the
    // file are chosen by TKVXPDFFonts::FontFamily instead.
    static QString FontFamily(const TFont& font);

    // The number of PDF pages of the last file written.
    int WrittenPageCount() const { return FWrittenPages; }

private:
    // The drawings of one page metafile: from FirstDrawing up to the next
    // segment's first drawing.
    struct TSegment {
        int PageIndex = 0;
        int BarIndex = 0;
        std::size_t FirstDrawing = 0;
        int OffsetX = 0; // the offset its page was walked with, report pixels
        int Width = 0, Height = 0; // the metafile's size, report pixels
        bool Placed = false; // offset taken from the filter
    };
    void PlaceSegment();
    void ForgetPages();
    // Writes the pages collected so far (one page index, its bars) into the
    // document, starting the document first.
    void WritePendingPages();

    TKVXECompression FCompression = seASCIIHex;
    TKVXECompressionMethod FCompressionMethod = cmNormal;
    bool FEmbedFonts = true;
    bool FPdfA = false;
    std::vector<TSegment> FSegments; // of the page index not yet written
    TPdfDrawingCollector FDrawings;
    int FWrittenPages = 0;
    // The document being written, into FSpool; made with the first page.
    std::unique_ptr<TScratchFile> FSpool;
    std::unique_ptr<TPdfDocument> FPdf;
    // Where each page and bar of the file landed: its PDF page and its left
    // on it (report pixels), for the bookmarks.
    QHash<std::pair<int, int>, std::pair<int, int>> FPlaced;
};

} // namespace vorel
