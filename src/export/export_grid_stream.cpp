// The grid built in two walks over the pages, for a single file whose pages
// the caller can walk again (WalkPagesAgain). The columns are global to the
// file, so every item would otherwise be held until the file is written.
//
// Walk A takes the items of one page index (its bars together) at a time:
// sorts them as the whole file's sort would, numbers the rows on, and folds
// what the column building reads into summaries whose size follows the
// distinct x positions, not the item count: per anchor (alignment kind and
// anchor edge) its rows as intervals (a few per page), the left edges of
// its texts counted, and the box edges its texts point at, counted; per
// clipping box the centres of the texts that may be centred; the left
// edges of the items that are no text. The groups, sets and columns are
// then formed from them exactly as BuildGrid forms them from the items.
// Walk B takes the pages again, gives each item its cell and hands each
// page's cells to the writer.
//
// Whether a text is centred is known only for the whole file; the first
// texts of each centre wait for it (kPendingTexts), and when a decision
// walk A already used changes, walk A runs again.
//
// Where the pages do not stand one below the other (an item of a later page
// reaches up to an earlier page's rows, or a text would continue the last
// text of the page before), the per-page order is not the file's, and every
// item is held after all: a third walk collects them.

#include "export/export_attributes.h"
#include "export/export_grid_p.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <unordered_map>

namespace vorel {

namespace {

// Rows as sorted, disjoint intervals [first, last]: a control printed in
// every detail row is a few intervals per page.
using TRowIntervals = std::vector<std::pair<int, int>>;

void AddRow(TRowIntervals& rows, int row)
{
    // Rows mostly come in ascending order; a text counted late (below) may
    // add an earlier one.
    if (rows.empty() || row >= rows.back().first) {
        if (!rows.empty() && row <= rows.back().second + 1)
            rows.back().second = std::max(rows.back().second, row);
        else
            rows.push_back({row, row});
        return;
    }
    auto at = std::upper_bound(rows.begin(), rows.end(), row,
                               [](int r, const std::pair<int, int>& interval) { return r < interval.first; });
    if (at != rows.begin() && row <= std::prev(at)->second + 1) {
        --at;
        at->second = std::max(at->second, row);
    } else {
        at = rows.insert(at, {row, row});
    }
    const auto next = std::next(at);
    if (next != rows.end() && next->first <= at->second + 1) {
        at->second = std::max(at->second, next->second);
        rows.erase(next);
    }
}

bool Disjoint(const TRowIntervals& x, const TRowIntervals& y)
{
    std::size_t i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (x[i].second < y[j].first)
            ++i;
        else if (y[j].second < x[i].first)
            ++j;
        else
            return false;
    }
    return true;
}

TRowIntervals Union(const TRowIntervals& x, const TRowIntervals& y)
{
    TRowIntervals all;
    all.reserve(x.size() + y.size());
    std::merge(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(all));
    TRowIntervals out;
    for (const auto& r : all) {
        if (!out.empty() && r.first <= out.back().second + 1)
            out.back().second = std::max(out.back().second, r.second);
        else
            out.push_back(r);
    }
    return out;
}

std::int64_t AnchorKey(int kind, int anchor)
{
    return (std::int64_t(kind) << 32) | std::uint32_t(anchor);
}

// A few distinct values counted, kept sorted (a column's left edges, the
// box edges its texts point at: a handful, however many rows).
template <typename Key>
void Count(std::vector<std::pair<Key, int>>& counts, const Key& key)
{
    auto it = std::lower_bound(counts.begin(), counts.end(), key,
                               [](const std::pair<Key, int>& a, const Key& k) { return a.first < k; });
    if (it != counts.end() && it->first == key)
        ++it->second;
    else
        counts.insert(it, {key, 1});
}

struct TAnchorSummary {
    TRowIntervals Rows;
    std::vector<std::pair<int, int>> Lefts; // (left edge, texts)
    std::vector<std::pair<std::pair<int, int>, int>> Links; // ((kind, box edge), texts)
    int Group = -1;
    int Column = -1; // the final column, once the grid is built
};

// What the grid reads of a text besides its alignment.
struct TTextShape {
    int Row;
    int Left;
    int Width;
    TRect Clip;
};

// The first texts of a centre are counted only once the file's centring is
// known (or once there are this many): a centred control's first texts
// usually share their left edge, and its centring shows only later.
constexpr std::size_t kPendingTexts = 64;

// Left-aligned texts clipped to one box's right edge, by their doubled centre.
struct TCentreEntry {
    int MinLeft;
    int MaxLeft;
    bool Centred = false;
    bool SeenCentred = false; // walk A counted a text here as centred
    bool SeenLeft = false; // ... or as left-aligned
    bool Counting = false; // texts are counted as they come
    std::vector<TTextShape> Pending; // else held until then
};

struct TBoxCentres {
    std::map<int, TCentreEntry> ByCentre;
    bool Dirty = false;

    // FindCentredTexts' clusters: centres within 4 of a cluster's first,
    // centred when their left edges spread by more than 2.
    void Decide()
    {
        for (auto start = ByCentre.begin(); start != ByCentre.end();) {
            auto end = start;
            int minLeft = start->second.MinLeft, maxLeft = start->second.MaxLeft;
            for (; end != ByCentre.end() && end->first - start->first <= 4; ++end) {
                minLeft = std::min(minLeft, end->second.MinLeft);
                maxLeft = std::max(maxLeft, end->second.MaxLeft);
            }
            for (auto it = start; it != end; ++it)
                it->second.Centred = maxLeft - minLeft > 2;
            start = end;
        }
        Dirty = false;
    }
};

} // namespace

struct TKVXExportAttributes::TGridSummary {
    std::unordered_map<std::int64_t, TAnchorSummary> Anchors;
    std::unordered_map<int, TBoxCentres> Centring; // by the box's right edge
    bool CentringFinal = false; // known from a whole walk
    std::vector<int> OtherLefts; // sorted, distinct

    // The walk's position.
    std::size_t ItemsBefore = 0; // collected on the pages before
    int Row = -1;
    int PreviousTop = 0;
    int MaxTop = INT_MIN; // of every page before
    std::optional<TKVXMFERecord> Last; // the last item collected on the page before
    bool Broken = false;

    void StartWalk()
    {
        ItemsBefore = 0;
        Row = -1;
        MaxTop = INT_MIN;
        Last.reset();
    }

    static bool MayBeCentred(const TKVXMFERecord& item)
    {
        return item.Alignment == taLeftJustify && !item.Clip.IsEmpty();
    }

    // The centre entry of a text that may be centred, the text taken in
    // (while the centring is not known for the whole file) and decided with
    // what is known so far.
    TCentreEntry& TakeCentre(const TKVXMFERecord& item)
    {
        TBoxCentres& box = Centring[item.Clip.Right];
        auto [it, added] = box.ByCentre.try_emplace(2 * item.Left + item.Width, TCentreEntry{item.Left, item.Left, false, false, false, false, {}});
        if (added) {
            box.Dirty = true;
        } else if (item.Left < it->second.MinLeft || item.Left > it->second.MaxLeft) {
            it->second.MinLeft = std::min(it->second.MinLeft, item.Left);
            it->second.MaxLeft = std::max(it->second.MaxLeft, item.Left);
            box.Dirty = true;
        }
        if (box.Dirty)
            box.Decide();
        return it->second;
    }

    // The alignment the whole file's FindCentredTexts gives the text, once
    // the centring is known.
    TAlignment Alignment(const TKVXMFERecord& item)
    {
        if (!MayBeCentred(item))
            return item.Alignment;
        return Centring.at(item.Clip.Right).ByCentre.at(2 * item.Left + item.Width).Centred ? taCenter
                                                                                           : taLeftJustify;
    }

    // Whether a text counted before its centring was known for the whole
    // file was counted under the other alignment.
    bool CentringChanged() const
    {
        for (const auto& [right, box] : Centring)
            for (const auto& [centre, entry] : box.ByCentre)
                if (entry.Centred ? entry.SeenLeft : entry.SeenCentred)
                    return true;
        return false;
    }
};

// Here, where the summary is a complete type.
TKVXExportAttributes::TKVXExportAttributes(QObject* owner)
    : TKVXExport(owner), FCurrentFont(std::make_unique<TFont>())
{
}

TKVXExportAttributes::~TKVXExportAttributes() = default;

void TKVXExportAttributes::ChooseGridWalk()
{
    // Two walks where the pages can be walked again and nothing outside
    // sees the walk: an application's record or page handler is raised
    // once per page, as it always was.
    const bool twoWalks = WalkPagesAgain && StreamsGrid() && !GridInMemory && !OnRecord && !OnNewPage;
    FWalk = twoWalks ? TGridWalk::Summing : TGridWalk::Held;
    FSummary = twoWalks ? std::make_unique<TGridSummary>() : nullptr;
}

void TKVXExportAttributes::EndGridWalk()
{
    FSummary.reset();
    FWalk = TGridWalk::Held;
}

void TKVXExportAttributes::ResetReplayState()
{
    FCurrentFont = std::make_unique<TFont>();
    FFontSnapshot.reset();
    CurrentAlignment = taLeftJustify;
    BackgroundMode = 0;
    BackgroundColor = clWhite;
    CurrentPosition = {};
    FPicturePixels = 0;
    FWalkPage = -1;
}

void TKVXExportAttributes::NewPage(int pageIndex, int barIndex)
{
    // The bars of one page index share its rows, so they are taken together.
    if (FWalk != TGridWalk::Held && pageIndex != FWalkPage) {
        TakePageItems();
        FWalkPage = pageIndex;
    }
    TKVXExport::NewPage(pageIndex, barIndex);
}

bool TKVXExportAttributes::BreaksPageOrder(int left, int top, TColor color, const TRect& clip) const
{
    // The joining rules of AddText, against the last item of the page before.
    return FWalk == TGridWalk::Summing && FSummary->Last
        && JoinOf(*FSummary->Last, left, top, color, clip) != TTextJoin::None;
}

void TKVXExportAttributes::MarkPageOrderBroken()
{
    FSummary->Broken = true;
}

void TKVXExportAttributes::TakePageItems()
{
    if (FRecords.empty())
        return;
    NoteItemsHeld();
    TGridSummary& s = *FSummary;
    const std::size_t count = FRecords.size();
    if (FWalk == TGridWalk::Summing) {
        s.Last = FRecords.back();
        int minTop = INT_MAX, maxTop = INT_MIN;
        for (const TKVXMFERecord& item : FRecords) {
            minTop = std::min(minTop, item.Top);
            maxTop = std::max(maxTop, item.Top);
        }
        if (s.MaxTop != INT_MIN && std::int64_t(minTop) <= std::int64_t(s.MaxTop) + KVX_EQUAL_Y)
            s.Broken = true;
        s.MaxTop = std::max(s.MaxTop, maxTop);
    }
    SortRecords(s.ItemsBefore);
    // Rows go on from the page before: its last item is the previous top.
    for (TKVXMFERecord& item : FRecords) {
        if (s.Row < 0)
            s.Row = 0;
        else if (std::abs(s.PreviousTop - item.Top) > KVX_EQUAL_Y)
            ++s.Row;
        s.PreviousTop = item.Top;
        item.Row = s.Row;
    }
    if (FWalk == TGridWalk::Summing)
        SumPageItems();
    else
        PlacePageItems();
    s.ItemsBefore += count;
    FRecords.clear();
}

namespace {

void CountText(TKVXExportAttributes::TGridSummary& s, const TTextShape& text, TAlignment alignment)
{
    const TTextAnchor t = AnchorOf(text.Left, text.Width, text.Clip, alignment);
    TAnchorSummary& a = s.Anchors[AnchorKey(t.Kind, t.Anchor)];
    AddRow(a.Rows, text.Row);
    Count(a.Lefts, text.Left);
    for (int kind = 0; kind < 3; ++kind)
        if (t.Edges[kind] && kind != t.Kind)
            Count(a.Links, std::pair<int, int>{kind, *t.Edges[kind]});
}

void CountAs(TKVXExportAttributes::TGridSummary& s, TCentreEntry& entry, const TTextShape& text)
{
    (entry.Centred ? entry.SeenCentred : entry.SeenLeft) = true;
    CountText(s, text, entry.Centred ? taCenter : taLeftJustify);
}

} // namespace

void TKVXExportAttributes::SumPageItems()
{
    TGridSummary& s = *FSummary;
    for (const TKVXMFERecord& item : FRecords) {
        if (!IsGridText(item)) {
            const auto it = std::lower_bound(s.OtherLefts.begin(), s.OtherLefts.end(), item.Left);
            if (it == s.OtherLefts.end() || *it != item.Left)
                s.OtherLefts.insert(it, item.Left);
            continue;
        }
        const TTextShape text{item.Row, item.Left, item.Width, item.Clip};
        if (s.CentringFinal || !TGridSummary::MayBeCentred(item)) {
            CountText(s, text, s.CentringFinal ? s.Alignment(item) : item.Alignment);
            continue;
        }
        TCentreEntry& entry = s.TakeCentre(item);
        if (!entry.Counting) {
            if (entry.Pending.size() < kPendingTexts) {
                entry.Pending.push_back(text);
                continue;
            }
            entry.Counting = true;
            for (const TTextShape& pending : entry.Pending)
                CountAs(s, entry, pending);
            entry.Pending = {};
        }
        CountAs(s, entry, text);
    }
}

void TKVXExportAttributes::SettleCentring()
{
    // The centring is known for the whole file: the texts still held count
    // as it decides.
    TGridSummary& s = *FSummary;
    for (auto& [right, box] : s.Centring) {
        box.Decide();
        for (auto& [centre, entry] : box.ByCentre) {
            for (const TTextShape& pending : entry.Pending)
                CountText(s, pending, entry.Centred ? taCenter : taLeftJustify);
            entry.Pending = {};
        }
    }
}

void TKVXExportAttributes::PlacePageItems()
{
    TGridSummary& s = *FSummary;
    if (ColCount > 0) {
        for (TKVXMFERecord& item : FRecords) {
            if (!IsGridText(item)) {
                item.Col = OtherColumn(FColumns, item.Left);
                continue;
            }
            item.Alignment = s.Alignment(item);
            const TTextAnchor t = AnchorOf(item.Left, item.Width, item.Clip, item.Alignment);
            item.Col = s.Anchors.at(AnchorKey(t.Kind, t.Anchor)).Column;
        }
    }
    PlaceCells();
    NoteItemsHeld();
    for (const TKVXMFERecord& cell : FRecords)
        (*FVisit)(cell);
}

void TKVXExportAttributes::BuildGridFromSummary()
{
    TGridSummary& s = *FSummary;
    FColumns.clear();
    ColCount = 0;
    RowCount = s.Row + 1;
    if (s.Anchors.empty())
        return;
    // Anchor groups per kind, numbered as BuildGrid numbers them.
    std::vector<std::vector<std::pair<int, int>>> groupFirsts(3); // (first anchor, group) per kind
    std::vector<std::vector<TAnchorSummary*>> members; // per group
    {
        std::vector<std::vector<int>> anchors(3);
        for (const auto& [key, summary] : s.Anchors)
            anchors[std::size_t(key >> 32)].push_back(int(std::uint32_t(key & 0xFFFFFFFF)));
        for (int kind = 0; kind < 3; ++kind) {
            auto& list = anchors[std::size_t(kind)];
            std::sort(list.begin(), list.end());
            int first = 0;
            for (std::size_t n = 0; n < list.size(); ++n) {
                if (n == 0 || list[n] - first > KVX_EQUAL_X) {
                    first = list[n];
                    groupFirsts[std::size_t(kind)].push_back({first, int(members.size())});
                    members.emplace_back();
                }
                TAnchorSummary& a = s.Anchors.at(AnchorKey(kind, list[n]));
                a.Group = int(members.size()) - 1;
                members.back().push_back(&a);
            }
        }
    }
    const int groups = int(members.size());
    std::vector<int> parent(static_cast<std::size_t>(groups));
    std::vector<TRowIntervals> rows(static_cast<std::size_t>(groups));
    for (int g = 0; g < groups; ++g) {
        parent[std::size_t(g)] = g;
        for (const TAnchorSummary* a : members[std::size_t(g)])
            rows[std::size_t(g)] = Union(rows[std::size_t(g)], a->Rows);
    }
    const auto find = [&](int g) {
        while (parent[std::size_t(g)] != g)
            g = parent[std::size_t(g)] = parent[std::size_t(parent[std::size_t(g)])];
        return g;
    };
    const auto findGroup = [&](int kind, int x) { return NearestGroup(groupFirsts[std::size_t(kind)], x); };
    std::map<std::pair<int, int>, int> links;
    for (int g = 0; g < groups; ++g)
        for (const TAnchorSummary* a : members[std::size_t(g)])
            for (const auto& [edge, count] : a->Links) {
                const int other = findGroup(edge.first, edge.second);
                if (other >= 0 && other != g)
                    links[{std::min(g, other), std::max(g, other)}] += count;
            }
    for (const auto& [first, second] : LinksByStrength(links)) {
        const int a = find(first), b = find(second);
        if (a != b && Disjoint(rows[std::size_t(a)], rows[std::size_t(b)])) {
            rows[std::size_t(a)] = Union(rows[std::size_t(a)], rows[std::size_t(b)]);
            rows[std::size_t(b)] = {};
            parent[std::size_t(b)] = a;
        }
    }
    // The median left edge of each set's texts.
    std::map<int, std::vector<std::pair<int, int>>> leftsOfSet;
    for (int g = 0; g < groups; ++g) {
        auto& lefts = leftsOfSet[find(g)];
        for (const TAnchorSummary* a : members[std::size_t(g)])
            lefts.insert(lefts.end(), a->Lefts.begin(), a->Lefts.end());
    }
    std::vector<std::pair<int, int>> columns; // (left, set)
    for (auto& [set, lefts] : leftsOfSet) {
        std::sort(lefts.begin(), lefts.end());
        std::int64_t total = 0;
        for (const auto& l : lefts)
            total += l.second;
        std::int64_t position = total / 2, seen = 0;
        for (const auto& [left, count] : lefts) {
            seen += count;
            if (seen > position) {
                columns.push_back({left, set});
                break;
            }
        }
    }
    std::map<int, int> columnOfSet = OrderColumns(std::move(columns), FColumns);
    ColCount = int(FColumns.size());
    for (int g = 0; g < groups; ++g)
        for (TAnchorSummary* a : members[std::size_t(g)])
            a->Column = columnOfSet[find(g)];
    // Columns of their own for items that start at no text column.
    std::vector<int> extra;
    for (int left : s.OtherLefts)
        if (ColumnAt(FColumns, left) < 0)
            extra.push_back(left);
    if (!extra.empty()) {
        const std::vector<int> moved = AddColumnsOfTheirOwn(FColumns, extra);
        ColCount = int(FColumns.size());
        for (auto& [key, a] : s.Anchors)
            a.Column = moved[std::size_t(a.Column)];
    }
}

void TKVXExportAttributes::HoldEveryItem()
{
    FWalk = TGridWalk::Held;
    FSummary.reset();
    FRecords.clear();
    ResetReplayState();
    WalkPagesAgain();
    BuildHeldGrid();
}

void TKVXExportAttributes::BuildHeldGrid()
{
    NoteItemsHeld();
    SortRecords();
    BuildGrid();
    PlaceCells();
}

void TKVXExportAttributes::SaveToFile(const QString& fileName)
{
    TKVXExport::SaveToFile(fileName);
    if (FWalk == TGridWalk::Held) {
        BuildHeldGrid();
        return;
    }
    TakePageItems();
    TGridSummary& s = *FSummary;
    if (!s.Broken)
        SettleCentring();
    if (!s.Broken && s.CentringChanged()) {
        // Texts counted before their box's centring was settled (the first
        // of a centred control, say) stand under the wrong anchor: walk A
        // once more, with the centring known.
        s.Anchors.clear();
        s.OtherLefts.clear();
        s.CentringFinal = true;
        s.StartWalk();
        ResetReplayState();
        WalkPagesAgain();
        TakePageItems();
    }
    if (s.Broken) {
        HoldEveryItem();
        return;
    }
    BuildGridFromSummary();
}

void TKVXExportAttributes::ForEachCell(const std::function<void(const TKVXMFERecord&)>& visit)
{
    if (FWalk == TGridWalk::Held) {
        for (const TKVXMFERecord& item : FRecords)
            visit(item);
        return;
    }
    struct Walk {
        TKVXExportAttributes* self;
        ~Walk()
        {
            self->FVisit = nullptr;
            self->FWalk = TGridWalk::Summing;
            self->FRecords.clear();
        }
    } walk{this};
    FWalk = TGridWalk::Placing;
    FVisit = &visit;
    FSummary->CentringFinal = true;
    FSummary->StartWalk();
    ResetReplayState();
    WalkPagesAgain();
    TakePageItems();
}

} // namespace vorel
