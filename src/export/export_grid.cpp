// The grid building of the item-collecting filters: sort the items, count
// the rows, find the columns, and fill every empty cell with a blank item.

#include "export/export_attributes.h"

namespace vorel {

namespace {

// Where an item stands: all the sort looks at, kept apart from the items
// so the sort walks a small array.
struct TItemPlace {
    int Left;
    int Top;
};

int ComparePlaces(TItemPlace a, TItemPlace b)
{
    const int k = KVX_EQUAL_X;
    const int q = KVX_EQUAL_Y;
    if (std::abs(a.Left - b.Left) <= k && std::abs(a.Top - b.Top) <= q)
        return 0;
    if (a.Top < b.Top)
        return -1;
    if (a.Left >= b.Left)
        return 1;
    // a is left of b and not higher: it comes first unless it is more than
    // a row's tolerance lower.
    return a.Top - b.Top > q ? 1 : -1;
}

} // namespace

int CompareExportItems(const TKVXMFERecord& a, const TKVXMFERecord& b)
{
    return ComparePlaces({a.Left, a.Top}, {b.Left, b.Top});
}

void TKVXExportAttributes::SortRecords()
{
    // Bottom-up merge sort: it only ever compares the heads of two runs, so
    // a comparison that is not a strict ordering changes the order it gives
    // but never makes it read or write outside the list. Equal items keep
    // their collection order.
    const std::size_t n = FRecords.size();
    if (n < 2)
        return;
    std::vector<std::size_t> order(n), buffer(n);
    std::vector<TItemPlace> places(n);
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = i;
        places[i] = {FRecords[i].Left, FRecords[i].Top};
    }
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, out = lo;
            while (i < mid && j < hi) {
                if (ComparePlaces(places[order[i]], places[order[j]]) > 0)
                    buffer[out++] = order[j++];
                else
                    buffer[out++] = order[i++];
            }
            while (i < mid)
                buffer[out++] = order[i++];
            while (j < hi)
                buffer[out++] = order[j++];
        }
        order.swap(buffer);
    }
    buffer = {};
    places = {};
    // The permutation is applied in place, cycle by cycle, so the items are
    // never held twice.
    std::vector<bool> placed(n, false);
    for (std::size_t start = 0; start < n; ++start) {
        if (placed[start])
            continue;
        placed[start] = true;
        if (order[start] == start)
            continue;
        TKVXMFERecord first = std::move(FRecords[start]);
        std::size_t at = start;
        while (order[at] != start) {
            FRecords[at] = std::move(FRecords[order[at]]);
            at = order[at];
            placed[at] = true;
        }
        FRecords[at] = std::move(first);
    }
}

void TKVXExportAttributes::BuildColumns()
{
    FColumns.clear();
    RowCount = 1;
    int previousTop = -1;
    for (const TKVXMFERecord& item : FRecords) {
        if (previousTop >= 0 && std::abs(previousTop - item.Top) > KVX_EQUAL_Y)
            ++RowCount;
        previousTop = item.Top;
        // Only text defines columns.
        if (item.Kind != rkText || IsBlankText(item.Text))
            continue;
        auto it = FColumns.begin();
        for (; it != FColumns.end(); ++it) {
            if (std::abs(*it - item.Left) <= KVX_EQUAL_X)
                break; // the column exists
            if (item.Left < *it) {
                FColumns.insert(it, item.Left);
                break;
            }
        }
        if (it == FColumns.end())
            FColumns.push_back(item.Left);
    }
    ColCount = int(FColumns.size());
}

void TKVXExportAttributes::FillGrid()
{
    if (FRecords.empty() || ColCount == 0)
        return;
    // The classic filling walks the list with an index and inserts blanks
    // before it; here the result is built in a new list, taking the items
    // from the front of the old one, which gives the same order without
    // moving the tail for every blank and never holds an item twice (the
    // deque frees its blocks as they empty).
    TKVXMFERecordList grid;
    int c = 0;
    int t = 0; // top of the current row
    const std::int64_t cells = std::int64_t(RowCount) * ColCount;
    for (std::int64_t cell = 0; cell < cells; ++cell) {
        // Once every item is placed, the last one stands for the rest of the grid.
        const bool exhausted = FRecords.empty();
        const TKVXMFERecord& item = exhausted ? grid.back() : FRecords.front();
        const int x = FColumns[std::size_t(c)];
        if (c == 0)
            t = item.Top;
        if (item.Left - x <= KVX_EQUAL_X && std::abs(item.Top - t) <= KVX_EQUAL_Y) {
            // The item occupies the cell (also one further left: the
            // comparison is signed).
            if (!exhausted) {
                grid.push_back(std::move(FRecords.front()));
                FRecords.pop_front();
            }
        } else {
            TKVXMFERecord blank;
            blank.Kind = rkText;
            blank.Color = item.Color;
            blank.Font = item.Font;
            blank.Alignment = item.Alignment;
            blank.Left = x;
            blank.Top = t;
            if (exhausted)
                grid.insert(grid.end() - 1, std::move(blank)); // before the last item
            else
                grid.push_back(std::move(blank));
        }
        if (++c == ColCount)
            c = 0;
    }
    // Items the grid had no cell for follow in their order.
    while (!FRecords.empty()) {
        grid.push_back(std::move(FRecords.front()));
        FRecords.pop_front();
    }
    FRecords.swap(grid);
}

void TKVXExportAttributes::SaveToFile(const QString& fileName)
{
    TKVXExport::SaveToFile(fileName);
    SortRecords();
    BuildColumns();
    FillGrid();
}

} // namespace vorel
