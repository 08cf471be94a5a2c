#pragma once
// The common base of every export filter. A filter never sees the report
// model: it is given the prepared pages as EMF metafiles, one per page and
// bar, and walks each one record by record. The walk runs through the one
// EMF enumerator of the graphics layer, which keeps the handle table and the
// replay state; a filter only reacts to the records it yields.
//
// Calling contract (driven by the print component's ExportTo, or by
// SaveMetafileToFile): set the page and total size; StartExport; per page
// and bar NewPage(page, bar), set OffsetX/OffsetY, EnumerateMetafile,
// PageProcessed, and with one file per page SaveToFile(name); at the end
// SaveToFile(name) for a single file; EndExport; free the filter.

#include "foundation/components/component.h"
#include "foundation/records/document_properties.h"
#include "foundation/records/font.h"
#include "graphics/emf_enumerator.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

namespace vorel {

class TBitmap;
class TMetafile;

using TNotifyEvent = std::function<void(QObject* sender)>;
// Raised for every metafile record a filter is given. A handler that sets
// accept to false makes the built-in filters skip the record.
using TKVXMFEBeforeRecordEvent = std::function<void(QObject* sender, const TEmfRecord& record, bool& accept)>;

// The product key the XML, RTF and PDF writers put into their output.
QString GetProductKey();

// The file of one page in a one-file-per-page output: the page index and
// the bar index (both from 0) joined by an underscore, put before the first
// full stop of the file's own name ("out.csv" -> "out0_0.csv"), or at the
// end of a name without one. Full stops in folder names are not looked at.
QString PageFileName(const QString& fileName, int pageIndex, int barIndex);

// True when the text holds nothing but blanks and control characters (the
// classic Trim's notion of an empty text).
bool IsBlankText(QStringView text);

// A bookmark of the report (a band's outline entry), as the print component
// hands it to a filter: filters that have bookmarks (PDF) point them at the
// page, the others ignore them.
struct TKVXExportOutline {
    QString Text;
    int PageIndex = 0; // from 0, within its bar
    int BarIndex = 0; // from 0
    int Top = 0; // report pixels from the page's top
};

class TKVXExport : public TComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of the export filters, which write the prepared pages to a file of their format.")
    Q_PROPERTY(int OffsetX READ OffsetX WRITE SetOffsetX)
    Q_CLASSINFO("Doc.OffsetX", "Added to every horizontal position of the current page, in report pixels; set by the "
                               "export for each page and bar.")
    Q_PROPERTY(int OffsetY READ OffsetY WRITE SetOffsetY)
    Q_CLASSINFO("Doc.OffsetY", "Added to every vertical position of the current page, in report pixels; set by the "
                               "export for each page.")
    Q_PROPERTY(vorel::TKVProperty* Properties READ Properties WRITE SetProperties)
    Q_CLASSINFO("Doc.Properties", "The document information the file gets; the export copies the report's KVProperty "
                                  "into it.")
public:
    Q_INVOKABLE explicit TKVXExport(QObject* owner = nullptr);
    ~TKVXExport() override;

    // Added to every coordinate of the current page, in report pixels (bar
    // index x page width, page position x page height in a single-file export).
    int OffsetX() const { return FOffsetX; }
    void SetOffsetX(int pixels) { FOffsetX = pixels; }
    int OffsetY() const { return FOffsetY; }
    void SetOffsetY(int pixels) { FOffsetY = pixels; }
    TKVProperty* Properties() const { return FProperties; }
    void SetProperties(const TKVProperty* value); // copies

    TNotifyEvent OnStartExecute;
    TNotifyEvent OnEndExecute;
    TNotifyEvent OnNewPage;
    TKVXMFEBeforeRecordEvent OnRecord;

    // Set by the caller before StartExport, in report pixels: one page
    // metafile, and the whole output (equal to the page with one file per
    // page, else bars x page width by exported pages x page height).
    int PageWidth = 0;
    int PageHeight = 0;
    int TotalWidth = 0;
    int TotalHeight = 0;
    // The Windows code page of formats that store one byte per character
    // (and of 8-bit text records); the caller sets the report's.
    int CodePage = 1252;
    // The report's bookmarks, in the order they were made; set by the
    // caller before StartExport. Each file a filter writes takes the ones
    // of its own pages.
    QList<TKVXExportOutline> Outlines;
    // Set by the caller of a single-file export whose pages can be walked
    // again (ExportTo): walks the same pages into this filter once more,
    // making the calls of the first walk (NewPage, offsets,
    // EnumerateMetafile, PageProcessed) in the same order. A filter that
    // needs the whole file before writing (the grid filters' columns) may
    // then keep one page at a time and take the pages again while it
    // writes. Empty otherwise; it may raise what a walk raises.
    std::function<void()> WalkPagesAgain;
    // The file last given to SaveToFile.
    QString FileName() const { return FFileName; }

    // --- the virtual operations, in slot order ---
    virtual void StartExport();
    virtual void EndExport();
    virtual void NewPage(int pageIndex, int barIndex);
    // An empty hook kept for filters written against the classic interface;
    // nothing calls it.
    virtual void ExportEMF();
    // One record of the current page. dc is the enumerator after it applied
    // the record: its replay state (fonts, colours, position, handle table)
    // is the device context a classic enumeration would pass. The base
    // raises OnRecord and returns whether the record is accepted; every
    // descendant calls it first and stops when it returns false.
    virtual bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record);
    // Stores the file name and sets both offsets to 0; descendants call it first.
    virtual void SaveToFile(const QString& fileName);
    // Called after each page's records; does nothing here.
    virtual void PageProcessed(const TMetafile& metafile);
    // Whether the filter may be given each page as the preparation finishes
    // it, on a thread of its own beside the preparation (the print
    // component's PrepareAndExport): it needs neither TotalWidth nor
    // TotalHeight nor Outlines before SaveToFile, and its page walk shares
    // no state with the preparation's drawing. False here.
    virtual bool TakesPagesAsTheyCome() const { return false; }

    // Walks the metafile's records into this filter.
    void EnumerateMetafile(const TMetafile& metafile);
    // Exports one metafile without a print component: page and total size
    // from the metafile, StartExport, NewPage(0, 0), the records,
    // PageProcessed, SaveToFile, EndExport. Nothing happens without a metafile.
    void SaveMetafileToFile(const TMetafile* metafile, const QString& fileName);

private:
    int FOffsetX = 0;
    int FOffsetY = 0;
    TKVProperty* FProperties; // owned (child)
    QString FFileName;
};

// The record callback of a metafile walk: hands the record to the filter in
// data (nothing when data is null). Always returns 1, so the walk goes on
// to the last record.
int KVXEnumEMFRecordsProc(const TEmfEnumerator& dc, const TEmfRecord& record, void* data);

// --- collected items ------------------------------------------------------------

class TKVXMFERecordKindEnum {
    Q_GADGET
public:
    enum TKVXMFERecordKind { rkText, rkLine, rkRectangle, rkEllipse, rkPicture };
    Q_ENUM(TKVXMFERecordKind)
};
using TKVXMFERecordKind = TKVXMFERecordKindEnum::TKVXMFERecordKind;
using enum TKVXMFERecordKindEnum::TKVXMFERecordKind;

// A set of kinds: one byte, bit n = kind n.
class TKVXMFERecordKinds {
public:
    constexpr TKVXMFERecordKinds() = default;
    constexpr TKVXMFERecordKinds(std::initializer_list<TKVXMFERecordKind> kinds)
    {
        for (TKVXMFERecordKind k : kinds)
            FBits = std::uint8_t(FBits | (1u << k));
    }
    constexpr bool Contains(TKVXMFERecordKind kind) const { return (FBits >> kind) & 1u; }
    constexpr std::uint8_t Bits() const { return FBits; }
    friend constexpr bool operator==(TKVXMFERecordKinds, TKVXMFERecordKinds) = default;

private:
    std::uint8_t FBits = 0;
};

// One positioned item collected from the pages. Fonts are shared between
// the items recorded while the same font state was selected.
struct TKVXMFERecord {
    TKVXMFERecordKind Kind = rkText;
    // Where a text sits in its control: from the record's alignment flags,
    // else from where the text meets the control's clipping box.
    TAlignment Alignment = taLeftJustify;
    // The background state; clNone for a text drawn transparently (only an
    // opaque text fills its cell); a picture's source background.
    TColor Color = clBlack;
    std::shared_ptr<const TFont> Font; // text items: the font state when recorded
    // Output coordinates (page coordinates plus OffsetX/OffsetY), report pixels.
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    QString Text; // text items only
    std::shared_ptr<const TBitmap> Bitmap; // picture items; null when there are no pixels
    // Text items: the box the text was clipped to, in output coordinates
    // (empty when none). The lines of one wrapped control share it.
    TRect Clip;
    // The cell the grid building gave the item (0-based).
    int Row = 0;
    int Col = 0;
};

} // namespace vorel
