// Grid and list view printing.

#include "auto/print_grid.h"

#include "foundation/values/errors.h"
#include "graphics/metafile_canvas.h"

namespace vorel {

namespace {
constexpr int kTextPropertyMissing = 2076; // "Property %s wasn't specified."
// Room beside a measured text when a column has no width of its own, in
// report pixels (a list view's columns keep about as much).
constexpr int kMeasuredColumnPadding = 8;

unsigned AlignFlag(TAlignment alignment)
{
    return alignment == taRightJustify ? DT_RIGHT : alignment == taCenter ? DT_CENTER : DT_LEFT;
}
} // namespace

// --- the item grid --------------------------------------------------------------------------

TKVXItemGrid::TKVXItemGrid(QObject* owner) : TComponent(owner), FFont(new TFont(this))
{
    FFont->SetName(QStringLiteral("Arial"));
}

int TKVXItemGrid::ColumnCount() const
{
    if (!FModel)
        return 0;
    return FColumnOrder.isEmpty() ? FModel->columnCount() : int(FColumnOrder.size());
}

int TKVXItemGrid::ModelColumn(int column) const
{
    if (!FModel || column < 0)
        return -1;
    if (FColumnOrder.isEmpty())
        return column < FModel->columnCount() ? column : -1;
    return column < FColumnOrder.size() && FColumnOrder[column] < FModel->columnCount() ? FColumnOrder[column] : -1;
}

int TKVXItemGrid::RowCount() const
{
    return FModel ? FModel->rowCount() + (FHeaderRow ? 1 : 0) : 0;
}

QString TKVXItemGrid::Caption(int column) const
{
    if (column >= 0 && column < FCaptions.size())
        return FCaptions[column];
    const int modelColumn = ModelColumn(column);
    return modelColumn >= 0 ? FModel->headerData(modelColumn, Qt::Horizontal, Qt::DisplayRole).toString() : QString();
}

QString TKVXItemGrid::Text(int column, int row) const
{
    if (!FModel || column < 0 || row < 0)
        return {};
    if (FHeaderRow) {
        if (row == 0)
            return Caption(column);
        --row;
    }
    const int modelColumn = ModelColumn(column);
    if (modelColumn < 0)
        return {};
    const QModelIndex index = FModel->index(row, modelColumn);
    return index.isValid() ? FModel->data(index, Qt::DisplayRole).toString() : QString();
}

TAlignment TKVXItemGrid::ColumnAlignment(int column) const
{
    const int modelColumn = ModelColumn(column);
    if (modelColumn < 0)
        return taLeftJustify;
    const QVariant value = FModel->headerData(modelColumn, Qt::Horizontal, Qt::TextAlignmentRole);
    if (!value.isValid())
        return taLeftJustify;
    const int flags = value.toInt();
    if (flags & Qt::AlignRight)
        return taRightJustify;
    if (flags & Qt::AlignHCenter)
        return taCenter;
    return taLeftJustify;
}

// --- the custom grid ------------------------------------------------------------------------

TKVPrintCustomGrid::TKVPrintCustomGrid(QObject* owner) : TKVAutoPrint(owner) {}

TAlignment TKVPrintCustomGrid::GetCellAlignment(int column, int /*row*/)
{
    return column >= 0 && column < FPosition.size() ? FPosition[column].Alignment : taLeftJustify;
}

void TKVPrintCustomGrid::FillColumnInfo()
{
    LayoutColumns(FPosition, FAutoFit, PrintableWidth(), FGapHorizontal);
}

int TKVPrintCustomGrid::MeasureColumn(int column)
{
    TCanvas& canvas = *MFCanvas();
    int widest = 0;
    const int rows = GetRowCount();
    for (int row = 0; row < rows; ++row) {
        const TFont* font = GetControlFont(column, row);
        if (font)
            canvas.SetFont(font);
        widest = std::max(widest, canvas.TextWidth(GetCellText(column, row)));
    }
    return widest + kMeasuredColumnPadding;
}

int TKVPrintCustomGrid::RowHeight(int row)
{
    TCanvas& canvas = *MFCanvas();
    int height = 0;
    for (const TCellPlace& place : FPlaces) {
        const TColumnInfo& column = FPosition[place.Column];
        if (const TFont* font = GetControlFont(place.Column, row))
            canvas.SetFont(font);
        QString text = GetCellText(place.Column, row);
        if (text.isEmpty())
            text = QStringLiteral(" ");
        int h;
        if (!column.WordWrap && !text.contains(u'\n') && !text.contains(u'\r')) {
            h = canvas.TextHeight(text);
        } else {
            TRect r{0, 0, column.Width, 0};
            h = canvas.DrawText(text, r, DT_CALCRECT | DT_NOPREFIX | (column.WordWrap ? DT_WORDBREAK : 0));
        }
        height = std::max(height, h);
    }
    return height + 2 * FGapVertical;
}

void TKVPrintCustomGrid::PrintHeaderGrid()
{
    TCanvas& canvas = *MFCanvas();
    if (FHorzLines) {
        canvas.SetPen(GridLine());
        canvas.MoveTo(FLeft, intCurHeight);
        canvas.LineTo(FLeft + FTableWidth, intCurHeight);
    }
    for (int row = 0; row < GetFixedRowCount(); ++row)
        PrintRow(row, RowHeight(row));
    boolNeedPrintHeaderGrid = false;
}

void TKVPrintCustomGrid::PrintRow(int row, int height)
{
    TCanvas& canvas = *MFCanvas();
    const int top = intCurHeight;
    const bool styled = Style()->RowStyle() != rsNormal;
    FillRow(row, FLeft, FTableWidth, height);
    canvas.SetPen(GridLine());
    GridRowDrawn(top);
    for (const TCellPlace& place : FPlaces) {
        const TColumnInfo& column = FPosition[place.Column];
        if (const TFont* font = GetControlFont(place.Column, row))
            canvas.SetFont(font);
        const QString text = GetCellText(place.Column, row);
        if (!text.isEmpty())
            KVXDrawText(canvas, text,
                        DT_NOPREFIX | AlignFlag(GetCellAlignment(place.Column, row)) | (column.WordWrap ? DT_WORDBREAK : 0),
                        TRect{place.Left, top + FGapVertical, place.Left + column.Width, top + height - FGapVertical});
    }
    intCurHeight += height;
    if (FHorzLines) {
        canvas.MoveTo(FLeft, intCurHeight);
        canvas.LineTo(FLeft + FTableWidth, intCurHeight);
    }
    if (styled)
        intCurHeight += 1;
}

void TKVPrintCustomGrid::PrepareReport()
{
    TKVAutoPrint::PrepareReport();
    CheckAvailableGrid();
    const int columns = GetColCount();
    const int rows = GetRowCount();
    BeginDoc();
    // Without columns there is no cell to print: the preparation ends with
    // no page (an earlier preparation's pages are gone all the same).
    if (columns <= 0) {
        EndDoc();
        return;
    }
    NewPage(false);
    FHorzLines = PrintHorizontalLines();
    FVertLines = PrintVerticalLines();
    FPosition.clear();
    FillColumnInfo();
    const int last = int(FPosition.size()) - 1;
    intStartColumn = 0;
    bool cancelled = false;
    while (last >= 0) {
        FLeft = PageLeft();
        intEndColumn = LastFittingColumn(FPosition, intStartColumn, PrintableWidth(), FGapHorizontal);
        FPlaces = BarColumns(FPosition, intStartColumn, intEndColumn, FLeft, FGapHorizontal, FTableWidth);
        QList<int> xs;
        if (FVertLines) {
            for (const TCellPlace& place : FPlaces)
                xs.append(place.Left - FGapHorizontal);
            xs.append(FLeft + FTableWidth);
        }
        SetGridColumns(xs);
        const int firstPage = intCurPage;
        PrintReportHeader();
        std::pair<int, int> rowPage{-1, -1};
        for (int row = GetFixedRowCount(); row < rows; ++row) {
            if (CancelPending()) {
                cancelled = true;
                break;
            }
            if (boolNeedPrintHeaderGrid)
                PrintHeaderGrid();
            const int height = RowHeight(row);
            if (intCurHeight + height >= intMaxPageHeight && rowPage == std::pair(intCurPage, intCurBar)) {
                NewPage(false);
                PrintHeaderGrid();
            }
            PrintRow(row, height);
            rowPage = {intCurPage, intCurBar};
        }
        if (cancelled)
            break;
        // A grid of fixed rows only still shows them once.
        if (boolNeedPrintHeaderGrid && intCurPage == firstPage)
            PrintHeaderGrid();
        PrintReportFooter();
        if (intEndColumn >= last)
            break;
        intStartColumn = intEndColumn + 1;
        NewPage(true);
    }
    EndDoc();
    intCurPage = 0;
    intCurBar = 0;
}

// --- string grid ----------------------------------------------------------------------------

void TKVPrintStringGrid::CheckAvailableGrid()
{
    if (!FGrid)
        throw EKVXError(FormatText(GetString(GetLanguageShift(), kTextPropertyMissing), {QStringLiteral("StringGrid")}));
}

int TKVPrintStringGrid::GetFixedRowCount()
{
    return FGrid && Style()->FixedRows() ? std::min(FGrid->FixedRows(), FGrid->RowCount()) : 0;
}

void TKVPrintStringGrid::FillColumnInfo()
{
    const int count = GetColCount();
    for (int c = 0; c < count; ++c) {
        TColumnInfo column;
        column.Width = FGrid->ColumnWidth(c) > 0 ? FGrid->ColumnWidth(c) : MeasureColumn(c);
        column.Alignment = taLeftJustify;
        column.WordWrap = WordWrap();
        column.IsFixed = Style()->FixedCols() && c < FGrid->FixedCols();
        FPosition.append(column);
    }
    TKVPrintCustomGrid::FillColumnInfo();
}

// --- list view ------------------------------------------------------------------------------

void TKVPrintListView::CheckAvailableGrid()
{
    if (!FList)
        throw EKVXError(FormatText(GetString(GetLanguageShift(), kTextPropertyMissing), {QStringLiteral("ListView")}));
}

// As many columns as the list has: every column has its description.
int TKVPrintListView::GetColCount()
{
    return FList ? FList->ColumnCount() : 0;
}

int TKVPrintListView::GetRowCount()
{
    return FList && FList->Model() ? FList->Model()->rowCount() + 1 : 0;
}

int TKVPrintListView::GetFixedRowCount()
{
    return Style()->FixedRows() ? 1 : 0;
}

QString TKVPrintListView::GetCellText(int column, int row)
{
    if (!FList || !FList->Model())
        return {};
    if (row == 0)
        return FList->Caption(column);
    // An item with fewer sub-items than columns has empty cells there.
    const int modelColumn = FList->ModelColumn(column);
    if (modelColumn < 0)
        return {};
    const QModelIndex index = FList->Model()->index(row - 1, modelColumn);
    return index.isValid() ? FList->Model()->data(index, Qt::DisplayRole).toString() : QString();
}

void TKVPrintListView::FillColumnInfo()
{
    const int count = GetColCount();
    for (int c = 0; c < count; ++c) {
        TColumnInfo column;
        column.Width = FList->ColumnWidth(c) > 0 ? FList->ColumnWidth(c) : MeasureColumn(c);
        column.Alignment = FList->ColumnAlignment(c);
        column.WordWrap = WordWrap();
        FPosition.append(column);
    }
    TKVPrintCustomGrid::FillColumnInfo();
}

} // namespace vorel
