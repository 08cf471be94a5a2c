#pragma once
// The steps of the column building that the two ways of building a file's
// grid share: from every item held, and from the summaries of the page
// walks (export_grid.cpp, export_grid_stream.cpp).

#include <map>
#include <utility>
#include <vector>

namespace vorel {

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
