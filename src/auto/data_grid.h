#pragma once
// What a table of records shows, for TKVPrintData's csDBGrid columns: the
// data set, its columns in order with their captions, widths and fonts,
// how many leading columns stay fixed, which grid lines show, and the
// selected records. The core has no widgets: an application (or
// dialogs/item_view_sources.h, from a QTableView) fills one in; the
// selection may come straight from a QItemSelectionModel whose rows are
// the data set's records.

#include "data/dataset.h"
#include "foundation/records/alignment.h"
#include "foundation/records/font.h"

#include <QItemSelectionModel>
#include <QPointer>

namespace vorel {

class TKVXGridColumn : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A column of a data grid: the field it shows, its title, width, alignment and fonts.")
    Q_PROPERTY(QString FieldName READ FieldName WRITE SetFieldName)
    Q_CLASSINFO("Doc.FieldName", "The data set field the column shows.")
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_CLASSINFO("Doc.Caption", "The column title; empty: the field's display label.")
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_CLASSINFO("Doc.Width", "The column width in report pixels (1/96 inch); 0: the field's display width in "
                             "characters.")
    Q_PROPERTY(vorel::TAlignments::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_CLASSINFO("Doc.Alignment", "The alignment of the column's values.")
    Q_PROPERTY(vorel::TAlignments::TAlignment TitleAlignment READ TitleAlignment WRITE SetTitleAlignment)
    Q_CLASSINFO("Doc.TitleAlignment", "The alignment of the column title.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font of the column's values.")
    Q_PROPERTY(vorel::TFont* TitleFont READ TitleFont WRITE SetTitleFont)
    Q_CLASSINFO("Doc.TitleFont", "The font of the column title.")
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_CLASSINFO("Doc.Visible", "Hidden columns do not print.")
public:
    Q_INVOKABLE explicit TKVXGridColumn(vorel::TCollection* collection = nullptr);

    QString FieldName() const { return FFieldName; }
    void SetFieldName(const QString& v) { FFieldName = v; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& v) { FCaption = v; }
    int Width() const { return FWidth; }
    void SetWidth(int v) { FWidth = v; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v) { FAlignment = v; }
    TAlignment TitleAlignment() const { return FTitleAlignment; }
    void SetTitleAlignment(TAlignment v) { FTitleAlignment = v; }
    TFont* Font() const { return FFont; }
    void SetFont(const TFont* v) { FFont->Assign(v); }
    TFont* TitleFont() const { return FTitleFont; }
    void SetTitleFont(const TFont* v) { FTitleFont->Assign(v); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    void Assign(const TPersistent* source) override;

private:
    QString FFieldName;
    QString FCaption;
    int FWidth = 0;
    TAlignment FAlignment = taLeftJustify;
    TAlignment FTitleAlignment = taLeftJustify;
    TFont* FFont;
    TFont* FTitleFont;
    bool FVisible = true;
};

class TKVXGridColumns : public TCollection {
    Q_OBJECT
public:
    explicit TKVXGridColumns(QObject* owner) : TCollection(&TKVXGridColumn::staticMetaObject, owner) {}
    TKVXGridColumn* Add() { return static_cast<TKVXGridColumn*>(TCollection::Add()); }
    TKVXGridColumn* Column(int index) const { return static_cast<TKVXGridColumn*>(Items(index)); }
};

class TKVXDataGrid : public TComponent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The columns of a data set as a grid shows them, for a table report with ColumnSource "
                       "csDBGrid.")
    Q_PROPERTY(vorel::TDataSet* DataSet READ DataSet WRITE SetDataSet)
    Q_CLASSINFO("Doc.DataSet", "The records the grid shows.")
    Q_PROPERTY(vorel::TKVXGridColumns* Columns READ Columns WRITE SetColumns)
    Q_CLASSINFO("Doc.Columns", "The columns in order; none: every visible field of the data set.")
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_CLASSINFO("Doc.FixedCols", "How many leading columns repeat on every bar of a table wider than the page.")
    Q_PROPERTY(bool HorzLines READ HorzLines WRITE SetHorzLines)
    Q_CLASSINFO("Doc.HorzLines", "Horizontal grid lines print between the rows.")
    Q_PROPERTY(bool VertLines READ VertLines WRITE SetVertLines)
    Q_CLASSINFO("Doc.VertLines", "Vertical grid lines print between the columns.")
public:
    Q_INVOKABLE explicit TKVXDataGrid(QObject* owner = nullptr);

    TDataSet* DataSet() const { return FDataSet.data(); }
    void SetDataSet(TDataSet* value) { FDataSet = value; }
    TKVXGridColumns* Columns() const { return FColumns; }
    void SetColumns(const TKVXGridColumns* value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int value) { FFixedCols = std::max(0, value); }
    bool HorzLines() const { return FHorzLines; }
    void SetHorzLines(bool value) { FHorzLines = value; }
    bool VertLines() const { return FVertLines; }
    void SetVertLines(bool value) { FVertLines = value; }

    // The selected records: the selection model's selected rows (row r is
    // the data set's record r, from 0) when one is set, else the list given.
    void SetSelectionModel(QItemSelectionModel* selection) { FSelection = selection; }
    void SetSelectedRecords(const QList<qint64>& records) { FSelectedRecords = records; }
    // Ascending, without repeats.
    QList<qint64> SelectedRecords() const;

private:
    QPointer<TDataSet> FDataSet;
    TKVXGridColumns* FColumns;
    int FFixedCols = 0;
    bool FHorzLines = true;
    bool FVertLines = true;
    QPointer<QItemSelectionModel> FSelection;
    QList<qint64> FSelectedRecords;
};

} // namespace vorel
