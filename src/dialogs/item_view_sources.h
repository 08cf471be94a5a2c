#pragma once
// Automatic reports from the widgets an application shows: these fill the
// core's descriptions (auto/print_grid.h, auto/data_grid.h) from a view as
// it stands on screen, so the printed table has the view's columns, widths,
// captions, grid lines, font and selection.
//
//   QTableView, QTableWidget -> TKVXItemGrid for TKVPrintStringGrid
//   QTreeView, QTreeWidget   -> TKVXItemGrid for TKVPrintListView (top-level items)
//   QListView                -> TKVXItemGrid for TKVPrintListView (one column)
//   QTableView over records  -> TKVXDataGrid for TKVPrintData (csDBGrid)
//
// Widths are taken in the view's pixels as report pixels (1/96 inch), which
// they are at the usual screen resolution. Columns the view hides do not
// print.

#include "auto/data_grid.h"
#include "auto/print_grid.h"

class QListView;
class QTableView;
class QTreeView;
class QFont;

namespace vorel {

// The view's font as a report font.
void AssignViewFont(TFont& font, const QFont& viewFont);

// A table view as a string grid: the horizontal header (when shown) is the
// first, fixed row; grid lines as the view shows them.
void FillItemGridFromTable(TKVXItemGrid& grid, const QTableView& view);
// A tree view's top-level items as the rows of a list view, the header's
// sections as its columns.
void FillItemGridFromTree(TKVXItemGrid& grid, const QTreeView& view);
// A list view as a list of one column, captioned `caption`.
void FillItemGridFromList(TKVXItemGrid& grid, const QListView& view, const QString& caption = QString());
// A table view whose rows are the data set's records (row r = record r)
// and whose columns are its fields (matched by the header's caption with
// the field's name or display label, else by position): the visible
// columns in their on-screen order, their widths, the selection.
void FillDataGridFromTable(TKVXDataGrid& grid, const QTableView& view, TDataSet* dataSet);

} // namespace vorel
