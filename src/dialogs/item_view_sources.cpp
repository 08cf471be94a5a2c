// Filling the automatic reports' grid descriptions from Qt item views.

#include "dialogs/item_view_sources.h"

#include <QFont>
#include <QHeaderView>
#include <QListView>
#include <QTableView>
#include <QTreeView>

namespace vorel {

namespace {
// A proxy-free column selection: the model's columns in the header's visual
// order, hidden sections left out.
QList<int> VisibleColumns(const QHeaderView* header, int count)
{
    QList<int> columns;
    for (int visual = 0; visual < count; ++visual) {
        const int logical = header ? header->logicalIndex(visual) : visual;
        if (logical < 0 || (header && header->isSectionHidden(logical)))
            continue;
        columns.append(logical);
    }
    return columns;
}

// The widths of the printed columns, in their order.
QList<int> Widths(const QHeaderView* header, const QList<int>& columns)
{
    QList<int> widths;
    for (int c : columns)
        widths.append(header ? header->sectionSize(c) : 0);
    return widths;
}
} // namespace

void AssignViewFont(TFont& font, const QFont& viewFont)
{
    font.SetName(viewFont.family());
    if (viewFont.pixelSize() > 0)
        font.SetHeight(-viewFont.pixelSize());
    else
        font.SetSize(qRound(viewFont.pointSizeF()));
    TFontStyles style;
    if (viewFont.bold())
        style |= fsBold;
    if (viewFont.italic())
        style |= fsItalic;
    if (viewFont.underline())
        style |= fsUnderline;
    if (viewFont.strikeOut())
        style |= fsStrikeOut;
    font.SetStyle(style);
}

void FillItemGridFromTable(TKVXItemGrid& grid, const QTableView& view)
{
    QAbstractItemModel* model = view.model();
    grid.SetModel(model);
    const bool header = view.horizontalHeader() && !view.horizontalHeader()->isHidden();
    grid.SetHeaderRow(header);
    grid.SetFixedRows(header ? 1 : 0);
    grid.SetFixedCols(0);
    grid.SetHorzLines(view.showGrid());
    grid.SetVertLines(view.showGrid());
    const QList<int> columns = VisibleColumns(view.horizontalHeader(), model ? model->columnCount() : 0);
    grid.SetColumnOrder(columns);
    grid.SetColumnWidths(Widths(view.horizontalHeader(), columns));
    AssignViewFont(*grid.Font(), view.font());
}

void FillItemGridFromTree(TKVXItemGrid& grid, const QTreeView& view)
{
    QAbstractItemModel* model = view.model();
    grid.SetModel(model);
    grid.SetHeaderRow(false); // a list view's captions row is its own
    grid.SetFixedRows(0);
    grid.SetFixedCols(0);
    grid.SetHorzLines(false);
    grid.SetVertLines(false);
    const QList<int> columns = VisibleColumns(view.header(), model ? model->columnCount() : 0);
    grid.SetColumnOrder(columns);
    grid.SetColumnWidths(Widths(view.header(), columns));
    AssignViewFont(*grid.Font(), view.font());
}

void FillItemGridFromList(TKVXItemGrid& grid, const QListView& view, const QString& caption)
{
    grid.SetModel(view.model());
    grid.SetColumnOrder({view.modelColumn()});
    grid.SetHeaderRow(false);
    grid.SetCaptions({caption});
    grid.SetFixedRows(0);
    grid.SetFixedCols(0);
    grid.SetHorzLines(false);
    grid.SetVertLines(false);
    grid.SetColumnWidths({});
    AssignViewFont(*grid.Font(), view.font());
}

void FillDataGridFromTable(TKVXDataGrid& grid, const QTableView& view, TDataSet* dataSet)
{
    grid.SetDataSet(dataSet);
    grid.Columns()->Clear();
    QAbstractItemModel* model = view.model();
    const QHeaderView* header = view.horizontalHeader();
    const int count = model ? model->columnCount() : 0;
    for (int logical : VisibleColumns(header, count)) {
        const QString caption = model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
        TField* field = nullptr;
        if (dataSet) {
            for (int f = 0; f < dataSet->FieldCount() && !field; ++f) {
                TField* candidate = dataSet->Fields(f);
                if (candidate->FieldName().compare(caption, Qt::CaseInsensitive) == 0
                    || candidate->DisplayLabel().compare(caption, Qt::CaseInsensitive) == 0)
                    field = candidate;
            }
            if (!field)
                field = dataSet->Fields(logical);
        }
        if (!field)
            continue;
        TKVXGridColumn* column = grid.Columns()->Add();
        column->SetFieldName(field->FieldName());
        column->SetCaption(caption);
        column->SetWidth(header ? header->sectionSize(logical) : 0);
        column->SetAlignment(field->Alignment());
        column->SetTitleAlignment(taLeftJustify);
        AssignViewFont(*column->Font(), view.font());
        AssignViewFont(*column->TitleFont(), header ? header->font() : view.font());
    }
    grid.SetHorzLines(view.showGrid());
    grid.SetVertLines(view.showGrid());
    grid.SetSelectionModel(view.selectionModel());
}

} // namespace vorel
