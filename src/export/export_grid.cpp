// The grid building of the item-collecting filters: sort the items, count
// the rows, find the columns, and give every item its cell. The grid is
// sparse: only items are held, each with its row and column, and writers
// make the empty cells as they go, so memory follows the number of items
// and never rows x columns.

#include "export/export_attributes.h"
#include "export/export_grid_p.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

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

std::map<int, int> OrderColumns(std::vector<std::pair<int, int>> leftOfSet, std::vector<int>& columns)
{
    std::sort(leftOfSet.begin(), leftOfSet.end());
    std::map<int, int> columnOfSet;
    for (std::size_t c = 0; c < leftOfSet.size(); ++c) {
        columnOfSet[leftOfSet[c].second] = int(c);
        columns.push_back(leftOfSet[c].first);
    }
    return columnOfSet;
}

TTextAnchor AnchorOf(int left, int width, const TRect& clip, TAlignment alignment)
{
    TTextAnchor t{AnchorKind(alignment), 0, {}};
    const int right = left + width;
    t.Anchor = alignment == taRightJustify ? right : alignment == taCenter ? (left + right) / 2 : left;
    if (!clip.IsEmpty()) {
        std::optional<int> boxLeft;
        if (alignment == taLeftJustify)
            boxLeft = clip.Left;
        else if (alignment == taCenter)
            boxLeft = 2 * t.Anchor - clip.Right;
        t.Edges[0] = boxLeft;
        t.Edges[1] = clip.Right;
        if (boxLeft)
            t.Edges[2] = (*boxLeft + clip.Right) / 2;
    }
    return t;
}

int ColumnAt(const std::vector<int>& columns, int left)
{
    const auto it = std::lower_bound(columns.begin(), columns.end(), left - KVX_EQUAL_X);
    return it != columns.end() && *it <= left + KVX_EQUAL_X ? int(it - columns.begin()) : -1;
}

int OtherColumn(const std::vector<int>& columns, int left)
{
    if (const int c = ColumnAt(columns, left); c >= 0)
        return c;
    const auto after = std::upper_bound(columns.begin(), columns.end(), left);
    return after == columns.begin() ? 0 : int(after - columns.begin()) - 1;
}

int NearestGroup(const std::vector<std::pair<int, int>>& anchors, int x)
{
    auto it = std::lower_bound(anchors.begin(), anchors.end(), std::pair<int, int>{x - KVX_EQUAL_X, -1});
    int best = -1, bestDistance = KVX_EQUAL_X + 1;
    for (; it != anchors.end() && it->first <= x + KVX_EQUAL_X; ++it) {
        if (std::abs(it->first - x) < bestDistance) {
            bestDistance = std::abs(it->first - x);
            best = it->second;
        }
    }
    return best;
}

std::vector<std::pair<int, int>> LinksByStrength(const std::map<std::pair<int, int>, int>& links)
{
    std::vector<std::pair<int, std::pair<int, int>>> byStrength;
    for (const auto& [pair, count] : links)
        byStrength.push_back({count, pair});
    std::stable_sort(byStrength.begin(), byStrength.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::pair<int, int>> pairs;
    pairs.reserve(byStrength.size());
    for (const auto& link : byStrength)
        pairs.push_back(link.second);
    return pairs;
}

std::vector<int> AddColumnsOfTheirOwn(std::vector<int>& columns, const std::vector<int>& extra)
{
    std::vector<std::pair<int, int>> all; // (left, old column or -1)
    for (std::size_t c = 0; c < columns.size(); ++c)
        all.push_back({columns[c], int(c)});
    for (std::size_t n = 0; n < extra.size(); ++n)
        if (n == 0 || extra[n] - extra[n - 1] > KVX_EQUAL_X)
            all.push_back({extra[n], -1});
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> moved(columns.size());
    columns.clear();
    for (std::size_t c = 0; c < all.size(); ++c) {
        if (all[c].second >= 0)
            moved[std::size_t(all[c].second)] = int(c);
        columns.push_back(all[c].first);
    }
    return moved;
}

int CompareExportItems(const TKVXMFERecord& a, const TKVXMFERecord& b)
{
    return ComparePlaces({a.Left, a.Top}, {b.Left, b.Top});
}

void TKVXExportAttributes::SortRecords(std::size_t first)
{
    // Bottom-up merge sort: it only ever compares the heads of two runs, so
    // a comparison that is not a strict ordering changes the order it gives
    // but never makes it read or write outside the list. Equal items keep
    // their collection order.
    //
    // Since the comparison is not a strict ordering, the order depends on
    // where the runs start. A page's items are sorted alone (the grid built
    // in two walks) with the runs the whole file's sort has: positions
    // counted from the file's first item (first is the page's first), so
    // each merge of the whole file's sort, restricted to this page's items,
    // is the merge done here. When every item of a later page compares after
    // every item of an earlier one (it stands lower by more than a row's
    // tolerance), the whole file's order is the pages' orders one after the
    // other.
    const std::size_t n = FRecords.size();
    if (n < 2)
        return;
    std::vector<std::size_t> order(n), buffer(n);
    std::vector<TItemPlace> places(n);
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = i;
        places[i] = {FRecords[i].Left, FRecords[i].Top};
    }
    // Past the width at which the page lies inside one run, every merge
    // would only copy it.
    for (std::size_t width = 1; first / width != (first + n - 1) / width; width *= 2) {
        for (std::size_t block = first / (2 * width) * (2 * width); block < first + n; block += 2 * width) {
            // The block's two runs in page positions, cut to the page.
            const std::size_t lo = std::max(block, first) - first;
            const std::size_t mid = std::clamp(block + width, first, first + n) - first;
            const std::size_t hi = std::min(block + 2 * width, first + n) - first;
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

namespace {

// A text of the grid: its item, row and edges.
struct TTextPlace {
    std::size_t Item;
    int Row;
    TTextAnchor Edges;
};

// Union-find over anchor groups; each set keeps the rows its texts stand in
// (sorted), because two groups that share a row are two columns side by side.
struct TGroups {
    std::vector<int> Parent;
    std::vector<std::vector<int>> Rows;
    int Find(int g)
    {
        while (Parent[std::size_t(g)] != g)
            g = Parent[std::size_t(g)] = Parent[std::size_t(Parent[std::size_t(g)])];
        return g;
    }
    bool Disjoint(int a, int b) const
    {
        const auto& x = Rows[std::size_t(a)];
        const auto& y = Rows[std::size_t(b)];
        std::size_t i = 0, j = 0;
        while (i < x.size() && j < y.size()) {
            if (x[i] == y[j])
                return false;
            x[i] < y[j] ? ++i : ++j;
        }
        return true;
    }
    void Merge(int a, int b)
    {
        std::vector<int> both;
        both.reserve(Rows[std::size_t(a)].size() + Rows[std::size_t(b)].size());
        std::merge(Rows[std::size_t(a)].begin(), Rows[std::size_t(a)].end(), Rows[std::size_t(b)].begin(),
                   Rows[std::size_t(b)].end(), std::back_inserter(both));
        Rows[std::size_t(a)] = std::move(both);
        Rows[std::size_t(b)] = {};
        Parent[std::size_t(b)] = a;
    }
};

} // namespace

void TKVXExportAttributes::FindCentredTexts()
{
    // A label writes a centred text left-aligned, clipped from the text's
    // start to its box's right edge, so one record looks like a left-aligned
    // text in a narrower box. Texts of one box (same right clipping edge)
    // that start at different places but share their centre are centred.
    std::map<int, std::vector<std::size_t>> byBoxRight;
    for (std::size_t i = 0; i < FRecords.size(); ++i) {
        const TKVXMFERecord& item = FRecords[i];
        if (item.Kind == rkText && item.Alignment == taLeftJustify && !item.Clip.IsEmpty() && !IsBlankText(item.Text))
            byBoxRight[item.Clip.Right].push_back(i);
    }
    for (auto& [right, items] : byBoxRight) {
        const auto centre = [&](std::size_t i) { return 2 * FRecords[i].Left + FRecords[i].Width; }; // doubled
        std::stable_sort(items.begin(), items.end(), [&](std::size_t a, std::size_t b) { return centre(a) < centre(b); });
        for (std::size_t start = 0; start < items.size();) {
            std::size_t end = start + 1;
            while (end < items.size() && centre(items[end]) - centre(items[start]) <= 4)
                ++end;
            int minLeft = FRecords[items[start]].Left, maxLeft = minLeft;
            for (std::size_t k = start; k < end; ++k) {
                minLeft = std::min(minLeft, FRecords[items[k]].Left);
                maxLeft = std::max(maxLeft, FRecords[items[k]].Left);
            }
            if (maxLeft - minLeft > 2)
                for (std::size_t k = start; k < end; ++k)
                    FRecords[items[k]].Alignment = taCenter;
            start = end;
        }
    }
}

void TKVXExportAttributes::BuildGrid()
{
    FColumns.clear();
    ColCount = 0;
    RowCount = 0;
    if (FRecords.empty())
        return;
    // Rows: a new row starts where the top moves by more than a row's
    // tolerance (the items are in row order).
    int previousTop = FRecords.front().Top;
    int row = 0;
    for (TKVXMFERecord& item : FRecords) {
        if (std::abs(previousTop - item.Top) > KVX_EQUAL_Y)
            ++row;
        previousTop = item.Top;
        item.Row = row;
    }
    RowCount = row + 1;

    // Only text defines columns. Texts are first grouped by their anchor
    // (left-aligned by left edge, right-aligned by right edge, centred by
    // centre), so the numbers of one right-aligned control meet whatever
    // their widths.
    FindCentredTexts();
    std::vector<TTextPlace> texts;
    for (std::size_t i = 0; i < FRecords.size(); ++i) {
        const TKVXMFERecord& item = FRecords[i];
        if (!IsGridText(item))
            continue;
        texts.push_back({i, item.Row, AnchorOf(item.Left, item.Width, item.Clip, item.Alignment)});
    }
    if (texts.empty())
        return;
    // Anchor groups per alignment kind: anchors sorted, a group takes the
    // anchors within the column tolerance of its first one.
    std::vector<int> groupOf(texts.size());
    std::vector<std::vector<std::pair<int, int>>> anchors(3); // (anchor, group) per kind
    int groups = 0;
    for (int kind = 0; kind < 3; ++kind) {
        std::vector<std::size_t> order;
        for (std::size_t k = 0; k < texts.size(); ++k)
            if (texts[k].Edges.Kind == kind)
                order.push_back(k);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return texts[a].Edges.Anchor < texts[b].Edges.Anchor; });
        int last = 0; // the group's first anchor
        for (std::size_t n = 0; n < order.size(); ++n) {
            const int a = texts[order[n]].Edges.Anchor;
            if (n == 0 || a - last > KVX_EQUAL_X) {
                last = a;
                anchors[std::size_t(kind)].push_back({a, groups});
                ++groups;
            }
            groupOf[order[n]] = groups - 1;
        }
    }
    TGroups sets;
    sets.Parent.resize(std::size_t(groups));
    sets.Rows.resize(std::size_t(groups));
    for (int g = 0; g < groups; ++g)
        sets.Parent[std::size_t(g)] = g;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        auto& rows = sets.Rows[std::size_t(groupOf[k])];
        if (rows.empty() || rows.back() != texts[k].Row)
            rows.push_back(texts[k].Row);
    }
    // A text whose control box is known links its group to the group
    // anchored at an edge of that box: a left-aligned caption over
    // right-aligned numbers shares their control's right edge. The links
    // most texts agree on are joined first, and never two groups that have
    // a text in the same row.
    const auto findGroup = [&](int kind, int x) { return NearestGroup(anchors[std::size_t(kind)], x); };
    std::map<std::pair<int, int>, int> links;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        const TTextAnchor& t = texts[k].Edges;
        for (int kind = 0; kind < 3; ++kind) {
            if (!t.Edges[kind] || kind == t.Kind)
                continue;
            const int other = findGroup(kind, *t.Edges[kind]);
            if (other >= 0 && other != groupOf[k])
                ++links[{std::min(groupOf[k], other), std::max(groupOf[k], other)}];
        }
    }
    for (const auto& [first, second] : LinksByStrength(links)) {
        const int a = sets.Find(first), b = sets.Find(second);
        if (a != b && sets.Disjoint(a, b))
            sets.Merge(a, b);
    }
    // Columns, ordered by the median left edge of their texts: a few wide
    // texts that joined a column by its right edge (a shop name over the
    // totals) do not move it before its neighbours.
    std::map<int, std::vector<int>> leftsOfSet;
    for (std::size_t k = 0; k < texts.size(); ++k)
        leftsOfSet[sets.Find(groupOf[k])].push_back(FRecords[texts[k].Item].Left);
    std::vector<std::pair<int, int>> columns; // (left, set)
    for (auto& [set, lefts] : leftsOfSet) {
        auto middle = lefts.begin() + std::ptrdiff_t(lefts.size() / 2);
        std::nth_element(lefts.begin(), middle, lefts.end());
        columns.push_back({*middle, set});
    }
    std::map<int, int> columnOfSet = OrderColumns(std::move(columns), FColumns);
    ColCount = int(FColumns.size());
    for (std::size_t k = 0; k < texts.size(); ++k)
        FRecords[texts[k].Item].Col = columnOfSet[sets.Find(groupOf[k])];
    texts = {};
    // Other items (pictures, shapes) take the column whose left edge they
    // start at; one that starts at none (a logo beside a title) gets a
    // column of its own rather than sharing a text's cell.
    std::vector<int> extra;
    for (const TKVXMFERecord& item : FRecords)
        if (!IsGridText(item) && ColumnAt(FColumns, item.Left) < 0)
            extra.push_back(item.Left);
    if (!extra.empty()) {
        std::sort(extra.begin(), extra.end());
        const std::vector<int> moved = AddColumnsOfTheirOwn(FColumns, extra);
        ColCount = int(FColumns.size());
        for (TKVXMFERecord& item : FRecords)
            if (IsGridText(item))
                item.Col = moved[std::size_t(item.Col)];
    }
    for (TKVXMFERecord& item : FRecords)
        if (!IsGridText(item))
            item.Col = OtherColumn(FColumns, item.Left);
}

void TKVXExportAttributes::PlaceCells()
{
    // Cell order, and one item per cell: texts that land in one cell are
    // joined with a space; a text wins over a picture or shape there.
    const auto cellOrder = [](const TKVXMFERecord& a, const TKVXMFERecord& b) {
        return a.Row != b.Row ? a.Row < b.Row : a.Col < b.Col;
    };
    // The items stand in reading order already, which is cell order but
    // where a column's texts start left of the one before (a wide
    // right-aligned value): moving every item costs more than looking.
    if (!std::is_sorted(FRecords.begin(), FRecords.end(), cellOrder))
        std::stable_sort(FRecords.begin(), FRecords.end(), cellOrder);
    if (ColCount == 0)
        return; // no text: every item stays an entry of its own
    TKVXMFERecordList cells;
    while (!FRecords.empty()) {
        TKVXMFERecord item = std::move(FRecords.front());
        FRecords.pop_front();
        if (!cells.empty() && cells.back().Row == item.Row && cells.back().Col == item.Col) {
            TKVXMFERecord& cell = cells.back();
            const bool cellText = cell.Kind == rkText && !IsBlankText(cell.Text);
            const bool itemText = item.Kind == rkText && !IsBlankText(item.Text);
            if (cellText && itemText)
                cell.Text += u' ' + item.Text;
            else if (itemText)
                cell = std::move(item);
            continue;
        }
        cells.push_back(std::move(item));
    }
    FRecords.swap(cells);
}

} // namespace vorel
