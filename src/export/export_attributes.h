#pragma once
// The base of the filters that write text, tables or PDF: it turns the
// drawing records of the pages into positioned items (text runs with font
// and colours, lines, rectangles, ellipses, pictures) and, when a file is
// saved, sorts them into a grid of rows and columns.
//
// Row and column tolerances are the exported globals KVX_EQUAL_X and
// KVX_EQUAL_Y: two texts whose anchors (left edge, right edge or centre, as
// each is aligned) differ by at most KVX_EQUAL_X pixels stand in one
// column, two items whose tops differ by at most KVX_EQUAL_Y stand in one
// row. docs/EXPORT.md tells how captions join their columns.

#include "export/export_base.h"

#include <QIODevice>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace vorel {

using TKVXMFERecordList = std::deque<TKVXMFERecord>;

// Report pixels; an application may change them.
extern int KVX_EQUAL_X; // 15
extern int KVX_EQUAL_Y; // 5

class TKVXExportAttributes : public TKVXExport {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TKVXExportAttributes(QObject* owner = nullptr);
    ~TKVXExportAttributes() override;

    // Results of the grid building.
    int ColCount = 0;
    int RowCount = 0;
    // What is collected; text only unless a filter asks for more.
    TKVXMFERecordKinds RecordKinds{rkText};

    // The replay state the items are recorded with. It carries over from
    // page to page; StartExport resets it.
    const TFont& CurrentFont() const { return *FCurrentFont; }
    TAlignment CurrentAlignment = taLeftJustify; // only TA_NOUPDATECP / TA_UPDATECP reach it
    int BackgroundMode = 0;
    TColor BackgroundColor = clWhite;
    TPoint CurrentPosition;

    // The collected items, in collection order until the grid building
    // sorts them; emptied after each file written. A deque: a large export
    // collects hundreds of thousands of items, and a vector's growth would
    // hold up to twice their memory.
    TKVXMFERecordList& Records() { return FRecords; }
    const TKVXMFERecordList& Records() const { return FRecords; }
    // Column positions (the median left edge of each column's texts, report pixels), ascending.
    const std::vector<int>& Columns() const { return FColumns; }

    // Whether the filter writes its cells through ForEachCell, so that its
    // grid may be built in two walks over the pages (WalkPagesAgain) instead
    // of from every item held at once. False here.
    virtual bool StreamsGrid() const { return false; }
    // Holds every item until the file is written even where the pages could
    // be walked twice: the route of a filter exported without a page list.
    // Set it before StartExport; the file is the same either way.
    bool GridInMemory = false;
    // The most items held at once since StartExport (collected, or cells
    // of one page while writing).
    std::size_t PeakItemsHeld() const { return FPeakItems; }

    void StartExport() override;
    void EndExport() override;
    void NewPage(int pageIndex, int barIndex) override;
    bool ExportEMFRecord(const TEmfEnumerator& dc, const TEmfRecord& record) override;
    // The grid building: base behaviour, then sorts Records into rows and
    // columns and gives each item its cell (Row, Col), so that Records holds
    // at most one item per cell, row by row. Empty cells are not held:
    // writers fill them as they walk. Writers call it first.
    void SaveToFile(const QString& fileName) override;

    // Writes the characters of s, one byte each in CodePage.
    void WriteStringToStream(QIODevice& stream, const QString& s) const;

protected:
    // Frees the items; writers call it after each file.
    void ClearRecords();
    // Hands every cell to visit in cell order (row by row, left to right),
    // after SaveToFile built the grid: from Records() when they are held,
    // else page by page from a second walk over the pages, each page's
    // cells freed once visited.
    void ForEachCell(const std::function<void(const TKVXMFERecord&)>& visit);

private:
    void AddShape(TKVXMFERecordKind kind, const ByteView& r);
    void AddLine(const ByteView& r);
    void AddPicture(const TEmfRecord& record);
    void AddText(const TEmfRecord& record, unsigned textAlign);
    std::shared_ptr<const TFont> FontSnapshot();
    // Sorts Records as the whole file's sort orders them when they are the
    // items from the first'th item collected on (see export_grid.cpp).
    void SortRecords(std::size_t first = 0);
    void FindCentredTexts();
    void BuildGrid();
    void PlaceCells();
    // Sorts every item held, builds the grid over them and places the cells.
    void BuildHeldGrid();

    // The grid built in two walks (export_grid_stream.cpp).
    enum class TGridWalk { Held, Summing, Placing };
    void ResetReplayState();
    void ChooseGridWalk();
    void EndGridWalk();
    void TakePageItems();
    void SumPageItems();
    void SettleCentring();
    void PlacePageItems();
    void BuildGridFromSummary();
    void HoldEveryItem();
    // Whether a page's first text, so placed, would join the last text of
    // the page before (the pages' items then sort as one).
    bool BreaksPageOrder(int left, int top, TColor color, const TRect& clip) const;
    void MarkPageOrderBroken();
    void NoteItemsHeld() { FPeakItems = std::max(FPeakItems, FRecords.size()); }

    std::unique_ptr<TFont> FCurrentFont;
    std::shared_ptr<const TFont> FFontSnapshot; // the current font as items share it; reset on change
    TKVXMFERecordList FRecords;
    std::vector<int> FColumns;
    std::int64_t FPicturePixels = 0; // held by the picture items since the last file

public:
    struct TGridSummary; // opaque outside export_grid_stream.cpp

private:
    TGridWalk FWalk = TGridWalk::Held;
    std::unique_ptr<TGridSummary> FSummary; // while the grid is built in two walks
    int FWalkPage = -1; // page index of the items held while walking
    std::size_t FPeakItems = 0;
    const std::function<void(const TKVXMFERecord&)>* FVisit = nullptr; // while placing
};

// The classic item order of the grid building (K = KVX_EQUAL_X, Q =
// KVX_EQUAL_Y): items within K horizontally and Q vertically are equal;
// else the higher one first; else the one further left first, except that
// an item left of the other but more than Q lower comes after it. Negative:
// a first, positive: b first. Not a strict ordering for every triple; the
// sort that uses it is a merge sort, which stays within bounds whatever it
// answers.
int CompareExportItems(const TKVXMFERecord& a, const TKVXMFERecord& b);

} // namespace vorel
