#pragma once
// Grid and list printing: TKVPrintCustomGrid prints any grid of texts
// through virtual cell accessors; TKVPrintStringGrid and TKVPrintListView
// read them from a TKVXItemGrid, the description of a table of texts over
// a QAbstractItemModel (the core has no widgets: the adapters in
// dialogs/item_view_sources.h fill one in from a QTableView, QTableWidget,
// QTreeWidget or QListView).

#include "auto/auto_print.h"

#include <QAbstractItemModel>
#include <QPointer>

namespace vorel {

// A table of texts as a grid or list control shows it.
class TKVXItemGrid : public TComponent {
    Q_OBJECT
public:
    explicit TKVXItemGrid(QObject* owner = nullptr);

    // The cells: model row r, column c (top-level rows only).
    QAbstractItemModel* Model() const { return FModel.data(); }
    void SetModel(QAbstractItemModel* model) { FModel = model; }
    // The model columns printed, in order (a view's visible columns in
    // their on-screen order); empty: every column of the model. Captions,
    // widths and the accessors below count printed columns.
    void SetColumnOrder(const QList<int>& columns) { FColumnOrder = columns; }
    // The model column of a printed column (-1 outside the model).
    int ModelColumn(int column) const;
    // Whether the grid's first row shows the column captions (a list view's
    // header, a table's horizontal header): the captions given, else the
    // model's horizontal header texts.
    bool HeaderRow() const { return FHeaderRow; }
    void SetHeaderRow(bool value) { FHeaderRow = value; }
    void SetCaptions(const QStringList& captions) { FCaptions = captions; }
    QString Caption(int column) const;
    // Leading rows (the header row counted) and columns a string grid keeps
    // fixed: the rows repeat at the top of every page, the columns on every bar.
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int value) { FFixedRows = std::max(0, value); }
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int value) { FFixedCols = std::max(0, value); }
    bool HorzLines() const { return FHorzLines; }
    void SetHorzLines(bool value) { FHorzLines = value; }
    bool VertLines() const { return FVertLines; }
    void SetVertLines(bool value) { FVertLines = value; }
    // Column widths in report pixels; a missing or non-positive width is
    // measured from the column's texts.
    QList<int> ColumnWidths() const { return FColumnWidths; }
    void SetColumnWidths(const QList<int>& widths) { FColumnWidths = widths; }
    int ColumnWidth(int column) const { return column < FColumnWidths.size() ? FColumnWidths[column] : 0; }
    // The column's alignment: the model's header alignment, left without one.
    TAlignment ColumnAlignment(int column) const;
    TFont* Font() const { return FFont; }
    void SetFont(const TFont* font) { FFont->Assign(font); }

    int ColumnCount() const;
    // Rows of texts, the header row included.
    int RowCount() const;
    // The text of a cell, the header row included; "" outside the model.
    QString Text(int column, int row) const;

private:
    QPointer<QAbstractItemModel> FModel;
    QList<int> FColumnOrder;
    bool FHeaderRow = false;
    QStringList FCaptions;
    int FFixedRows = 0;
    int FFixedCols = 0;
    bool FHorzLines = true;
    bool FVertLines = true;
    QList<int> FColumnWidths;
    TFont* FFont;
};

class TKVPrintCustomGrid : public TKVAutoPrint {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The base of grid and list printing: a grid of texts printed as a table, wider grids on "
                       "further bars.")
    Q_PROPERTY(int GapHorizontal READ GapHorizontal WRITE SetGapHorizontal)
    Q_CLASSINFO("Doc.GapHorizontal", "Space left and right of each cell's text, in report pixels.")
    Q_PROPERTY(int GapVertical READ GapVertical WRITE SetGapVertical)
    Q_CLASSINFO("Doc.GapVertical", "Space above and below each cell's text, in report pixels.")
    Q_PROPERTY(bool AutoFit READ AutoFit WRITE SetAutoFit)
    Q_CLASSINFO("Doc.AutoFit", "Scales the columns so that the table is exactly as wide as the printable width.")
public:
    Q_INVOKABLE explicit TKVPrintCustomGrid(QObject* owner = nullptr);

    int GapHorizontal() const { return FGapHorizontal; }
    void SetGapHorizontal(int v) { FGapHorizontal = std::max(0, v); }
    int GapVertical() const { return FGapVertical; }
    void SetGapVertical(int v) { FGapVertical = std::max(0, v); }
    bool AutoFit() const { return FAutoFit; }
    void SetAutoFit(bool v) { FAutoFit = v; }

    void PrepareReport() override;
    const QList<TColumnInfo>& Columns() const { return FPosition; }

    // The cell accessors, in slot order.
    virtual bool PrintHorizontalLines() { return false; }
    virtual bool PrintVerticalLines() { return false; }
    virtual void CheckAvailableGrid() {}
    virtual int GetColCount() { return 0; }
    virtual int GetRowCount() { return 0; }
    virtual int GetFixedColCount() { return 0; }
    virtual int GetFixedRowCount() { return 0; }
    virtual QString GetCellText(int /*column*/, int /*row*/) { return {}; }
    virtual TAlignment GetCellAlignment(int column, int row);
    virtual const TFont* GetControlFont(int /*column*/, int /*row*/) { return nullptr; }
    // Builds the columns (descendants first add theirs, then call this to
    // scale and place them).
    virtual void FillColumnInfo();

protected:
    QList<TColumnInfo> FPosition;
    // The widest text of the column (or its caption row), for columns
    // whose source gives no width.
    int MeasureColumn(int column);

private:
    int RowHeight(int row);
    void PrintHeaderGrid();
    void PrintRow(int row, int height);

    int FGapHorizontal = 0;
    int FGapVertical = 0;
    bool FAutoFit = false;
    int intStartColumn = 0;
    int intEndColumn = 0;
    QList<TCellPlace> FPlaces;
    int FTableWidth = 0;
    int FLeft = 0;
    bool FHorzLines = false;
    bool FVertLines = false;
};

class TKVPrintStringGrid : public TKVPrintCustomGrid {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A grid of texts (a table view's cells) printed as a table; its fixed rows repeat on every "
                       "page with Style.FixedRows, its fixed columns on every bar with Style.FixedCols.")
public:
    Q_INVOKABLE explicit TKVPrintStringGrid(QObject* owner = nullptr) : TKVPrintCustomGrid(owner) {}

    TKVXItemGrid* StringGrid() const { return FGrid.data(); }
    void SetStringGrid(TKVXItemGrid* grid) { FGrid = grid; }

    bool PrintHorizontalLines() override { return FGrid && FGrid->HorzLines(); }
    bool PrintVerticalLines() override { return FGrid && FGrid->VertLines(); }
    void CheckAvailableGrid() override;
    int GetColCount() override { return FGrid ? FGrid->ColumnCount() : 0; }
    int GetRowCount() override { return FGrid ? FGrid->RowCount() : 0; }
    int GetFixedColCount() override { return FGrid ? FGrid->FixedCols() : 0; }
    int GetFixedRowCount() override;
    QString GetCellText(int column, int row) override { return FGrid ? FGrid->Text(column, row) : QString(); }
    const TFont* GetControlFont(int, int) override { return FGrid ? FGrid->Font() : nullptr; }
    void FillColumnInfo() override;

private:
    QPointer<TKVXItemGrid> FGrid;
};

class TKVPrintListView : public TKVPrintCustomGrid {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A list in report style (items with sub-items under column captions) printed as a table.")
public:
    Q_INVOKABLE explicit TKVPrintListView(QObject* owner = nullptr) : TKVPrintCustomGrid(owner) {}

    // The list: its model's rows are the items, column 0 the item caption,
    // later columns the sub-items; the captions row comes first.
    TKVXItemGrid* ListView() const { return FList.data(); }
    void SetListView(TKVXItemGrid* list) { FList = list; }

    bool PrintHorizontalLines() override { return FList && FList->HorzLines(); }
    bool PrintVerticalLines() override { return FList && FList->VertLines(); }
    void CheckAvailableGrid() override;
    int GetColCount() override;
    int GetRowCount() override;
    int GetFixedRowCount() override;
    QString GetCellText(int column, int row) override;
    const TFont* GetControlFont(int, int) override { return FList ? FList->Font() : nullptr; }
    void FillColumnInfo() override;

private:
    QPointer<TKVXItemGrid> FList;
};

} // namespace vorel
