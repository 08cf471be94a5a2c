#pragma once
// The steps of the column building that the two ways of building a file's
// grid share: from every item held, and from the summaries of the page
// walks (export_grid.cpp, export_grid_stream.cpp).

#include "export/export_attributes.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace vorel {

// A text item that takes part in the columns (pictures, shapes and blank
// texts only take a column).
inline bool IsGridText(const TKVXMFERecord& item)
{
    return item.Kind == rkText && !IsBlankText(item.Text);
}

// The anchor kinds, by alignment: 0 left edge, 1 right edge, 2 centre.
inline int AnchorKind(TAlignment a)
{
    return a == taRightJustify ? 1 : a == taCenter ? 2 : 0;
}

// The edges a text tells about its control: the anchor its alignment ties
// it to (left edge, right edge or centre of the text), and the control's
// box as far as the clipping rectangle shows it, by anchor kind. A label
// clips to its box from the text's start to the box's right edge, so the
// right edge is known for every alignment and the left edge only for
// left-aligned and centred text.
struct TTextAnchor {
    int Kind;
    int Anchor;
    std::optional<int> Edges[3]; // the box's left edge, right edge, centre
};
TTextAnchor AnchorOf(int left, int width, const TRect& clip, TAlignment alignment);

// How a text run so placed continues the text item before it: drawn right
// after it on the same line in the same colours (a text the canvas wrote
// in pieces), or as the next line of the same wrapped control (same
// clipping box, further down); else it is an item of its own.
enum class TTextJoin { None, SameLine, NextLine };
inline TTextJoin JoinOf(const TKVXMFERecord& last, int left, int top, TColor color, const TRect& clip)
{
    if (last.Kind != rkText || last.Color != color)
        return TTextJoin::None;
    if (last.Top == top && std::abs(last.Left + last.Width - left) < 5)
        return TTextJoin::SameLine;
    if (!clip.IsEmpty() && last.Clip == clip && top > last.Top + KVX_EQUAL_Y)
        return TTextJoin::NextLine;
    return TTextJoin::None;
}

// The column whose left edge lies within the column tolerance of left, -1
// when none does; columns ascending.
int ColumnAt(const std::vector<int>& columns, int left);
// The column of an item that is no text: the one whose left edge it starts
// at, else the one left of it.
int OtherColumn(const std::vector<int>& columns, int left);

// The group of the anchor nearest x within the column tolerance, -1 when
// none is; anchors are (first anchor, group) pairs, ascending.
int NearestGroup(const std::vector<std::pair<int, int>>& anchors, int x);

// The pairs of linked groups, most links first (equal counts in pair
// order): the order in which they are joined.
std::vector<std::pair<int, int>> LinksByStrength(const std::map<std::pair<int, int>, int>& links);

// The columns of the text sets, ordered by left edge, from (left edge,
// set) pairs: appends their left edges to columns and returns each set's
// column.
std::map<int, int> OrderColumns(std::vector<std::pair<int, int>> leftOfSet, std::vector<int>& columns);

// Gives the left edges in extra (ascending; none within the column
// tolerance of a text column) columns of their own among columns, one for
// the edges within the tolerance of the one before; returns where each
// old column went.
std::vector<int> AddColumnsOfTheirOwn(std::vector<int>& columns, const std::vector<int>& extra);

} // namespace vorel
