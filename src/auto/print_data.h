#pragma once
// TKVPrintData: a data set printed as a table without a designed form. One
// row per record, one column per printable field (or per column of a data
// grid description), titles on every page, optional record numbers, totals
// at group ends and at the end, and further bars (pages to the right) while
// the columns are wider than the page.

#include "auto/auto_print.h"
#include "auto/data_grid.h"

namespace vorel {

class TKVXPrintDataEnums {
    Q_GADGET
public:
    enum TColumnSource { csDBGrid, csDataSet };
    Q_ENUM(TColumnSource)
    Q_CLASSINFO("Doc.csDBGrid", "Columns as the data grid description (DBGrid) lists them.")
    Q_CLASSINFO("Doc.csDataSet", "One column per visible field of the data set.")
    enum TPrintRecNo { rnNone, rnFirstCol, rnFirstColOnEachBar };
    Q_ENUM(TPrintRecNo)
    Q_CLASSINFO("Doc.rnNone", "No record numbers.")
    Q_CLASSINFO("Doc.rnFirstCol", "A first column with the record number, on the first bar.")
    Q_CLASSINFO("Doc.rnFirstColOnEachBar", "A first column with the record number, repeated on every bar (with "
                                           "Style.FixedCols).")
};
using TColumnSource = TKVXPrintDataEnums::TColumnSource;
using enum TKVXPrintDataEnums::TColumnSource;
using TPrintRecNo = TKVXPrintDataEnums::TPrintRecNo;
using enum TKVXPrintDataEnums::TPrintRecNo;

// Whether a table can show the field, as text or picture: not bytes,
// binary blobs, OLE or typed binary, nor a field of unknown type.
bool IsPrintableField(const TField* field);

// A total of the table: what it adds up and where it prints.
class TKVXACalculation : public TCollectionItem {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A total of a table report: an aggregate over a field or expression, printed in a totals row "
                       "at each end of its group and at the end of the table.")
    Q_PROPERTY(QString FieldName READ FieldName WRITE SetFieldName)
    Q_CLASSINFO("Doc.FieldName", "The field or expression whose values are aggregated.")
    Q_PROPERTY(vorel::TKVXCalculation* Calculation READ Calculation WRITE SetCalculation)
    Q_CLASSINFO("Doc.Calculation", "What is computed (CalcType) and when it starts over: ResetType rtEndGroup with "
                                   "ResetGroup, the field names (separated by ';') whose change ends a group.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font of the total and its caption.")
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_CLASSINFO("Doc.Caption", "Text printed in CaptionColNum, or before the value when both columns are the same.")
    Q_PROPERTY(int FieldColNum READ FieldColNum WRITE SetFieldColNum)
    Q_CLASSINFO("Doc.FieldColNum", "The column (from 0, record numbers counted) the value prints in.")
    Q_PROPERTY(int CaptionColNum READ CaptionColNum WRITE SetCaptionColNum)
    Q_CLASSINFO("Doc.CaptionColNum", "The column (from 0) the caption prints in.")
    Q_PROPERTY(vorel::TAlignments::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_CLASSINFO("Doc.Alignment", "The alignment of the total in its cell.")
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_CLASSINFO("Doc.WordWrap", "The total's text wraps at blanks within its cell.")
public:
    Q_INVOKABLE explicit TKVXACalculation(vorel::TCollection* collection = nullptr);

    QString FieldName() const { return FFieldName; }
    void SetFieldName(const QString& v) { FFieldName = v; }
    TKVXCalculation* Calculation() const { return FCalculation; }
    void SetCalculation(const TKVXCalculation* v) { FCalculation->Assign(v); }
    TFont* Font() const { return FFont; }
    void SetFont(const TFont* v) { FFont->Assign(v); }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& v) { FCaption = v; }
    int FieldColNum() const { return FFieldColNum; }
    void SetFieldColNum(int v) { FFieldColNum = v; }
    int CaptionColNum() const { return FCaptionColNum; }
    void SetCaptionColNum(int v) { FCaptionColNum = v; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v) { FAlignment = v; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v) { FWordWrap = v; }
    void Assign(const TPersistent* source) override;

    // While a table prints: the value last printed and the running value.
    Variant PrevValue;
    Variant CurValue;

private:
    QString FFieldName;
    TKVXCalculation* FCalculation;
    TFont* FFont;
    QString FCaption;
    int FFieldColNum = 0;
    int FCaptionColNum = 0;
    TAlignment FAlignment = taRightJustify;
    bool FWordWrap = false;
};

class TKVXACalculations : public TCollection {
    Q_OBJECT
public:
    explicit TKVXACalculations(QObject* owner) : TCollection(&TKVXACalculation::staticMetaObject, owner) {}
    TKVXACalculation* Add() { return static_cast<TKVXACalculation*>(TCollection::Add()); }
    TKVXACalculation* Calc(int index) const { return static_cast<TKVXACalculation*>(Items(index)); }
};

// (Sender, Index from 0, var Selected): the bookmark of the Index-th selected row.
using TKVXGetNextSelected = std::function<void(QObject* sender, int index, TBookmark& selected)>;
// (Sender, var Count): how many rows are selected.
using TKVXGetSelectedCount = std::function<void(QObject* sender, int& count)>;

class TKVPrintData : public TKVAutoPrint {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A data set printed as a table: titles on every page, optional record numbers, totals at "
                       "group ends, and further bars while the columns are wider than the page.")
    Q_PROPERTY(vorel::TKVXPrintDataEnums::TColumnSource ColumnSource READ ColumnSource WRITE SetColumnSource)
    Q_CLASSINFO("Doc.ColumnSource", "Where the columns come from: a data grid description or the data set's fields.")
    Q_PROPERTY(vorel::TKVXDataGrid* DBGrid READ DBGrid WRITE SetDBGrid)
    Q_CLASSINFO("Doc.DBGrid", "The data grid description whose data set and columns print (csDBGrid).")
    Q_PROPERTY(vorel::TDataSet* DataSet READ DataSet WRITE SetDataSet)
    Q_CLASSINFO("Doc.DataSet", "The data set whose records print (csDataSet).")
    Q_PROPERTY(bool SelectedRecord READ SelectedRecord WRITE SetSelectedRecord)
    Q_CLASSINFO("Doc.SelectedRecord", "With csDBGrid: only the grid's selected records print.")
    Q_PROPERTY(vorel::TKVXPrintDataEnums::TPrintRecNo PrintRecNo READ PrintRecNo WRITE SetPrintRecNo)
    Q_CLASSINFO("Doc.PrintRecNo", "Adds a first column with the record number.")
    Q_PROPERTY(bool AutoFit READ AutoFit WRITE SetAutoFit)
    Q_CLASSINFO("Doc.AutoFit", "Scales the columns so that the table is exactly as wide as the printable width.")
    Q_PROPERTY(bool AutoFitColumnWidth READ AutoFitColumnWidth WRITE SetAutoFitColumnWidth)
    Q_CLASSINFO("Doc.AutoFitColumnWidth", "Each column is as wide as its widest value or title (the records are read "
                                          "once more for it).")
    Q_PROPERTY(bool WordWrapHeader READ WordWrapHeader WRITE SetWordWrapHeader)
    Q_CLASSINFO("Doc.WordWrapHeader", "Column titles wrap at blanks.")
    Q_PROPERTY(bool BlankIfZero READ BlankIfZero WRITE SetBlankIfZero)
    Q_CLASSINFO("Doc.BlankIfZero", "Numeric values equal to zero print as empty cells.")
    Q_PROPERTY(int GapHorizontal READ GapHorizontal WRITE SetGapHorizontal)
    Q_CLASSINFO("Doc.GapHorizontal", "Space left and right of each cell's text, in report pixels.")
    Q_PROPERTY(int GapVertical READ GapVertical WRITE SetGapVertical)
    Q_CLASSINFO("Doc.GapVertical", "Space above and below each cell's text, in report pixels.")
    Q_PROPERTY(vorel::TKVXACalculations* Calculations READ Calculations WRITE SetCalculations)
    Q_CLASSINFO("Doc.Calculations", "Totals printed at group ends and at the end of the table.")
    Q_PROPERTY(vorel::TFont* Font READ Font WRITE SetFont)
    Q_CLASSINFO("Doc.Font", "The font of record numbers and, with csDataSet, of the cells and titles.")
    Q_PROPERTY(vorel::TKVXPrintEnums::TKVXOptions Options READ Options WRITE SetOptions)
    Q_CLASSINFO("Doc.Options", "Generation options (see TKVXOptions).")
public:
    Q_INVOKABLE explicit TKVPrintData(QObject* owner = nullptr);
    ~TKVPrintData() override;

    TColumnSource ColumnSource() const { return FColumnSource; }
    void SetColumnSource(TColumnSource v) { FColumnSource = v; }
    TKVXDataGrid* DBGrid() const { return FDBGrid.data(); }
    void SetDBGrid(TKVXDataGrid* v) { FDBGrid = v; }
    TDataSet* DataSet() const { return FDataSet.data(); }
    void SetDataSet(TDataSet* v) { FDataSet = v; }
    bool SelectedRecord() const { return FSelectedRecord; }
    void SetSelectedRecord(bool v) { FSelectedRecord = v; }
    TPrintRecNo PrintRecNo() const { return FPrintRecNo; }
    void SetPrintRecNo(TPrintRecNo v) { FPrintRecNo = v; }
    bool AutoFit() const { return FAutoFit; }
    void SetAutoFit(bool v) { FAutoFit = v; }
    bool AutoFitColumnWidth() const { return FAutoFitColumnWidth; }
    void SetAutoFitColumnWidth(bool v) { FAutoFitColumnWidth = v; }
    bool WordWrapHeader() const { return FWordWrapHeader; }
    void SetWordWrapHeader(bool v) { FWordWrapHeader = v; }
    bool BlankIfZero() const { return FBlankIfZero; }
    void SetBlankIfZero(bool v) { FBlankIfZero = v; }
    int GapHorizontal() const { return FGapHorizontal; }
    void SetGapHorizontal(int v) { FGapHorizontal = std::max(0, v); }
    int GapVertical() const { return FGapVertical; }
    void SetGapVertical(int v) { FGapVertical = std::max(0, v); }
    TKVXACalculations* Calculations() const { return FCalculations; }
    void SetCalculations(const TKVXACalculations* v);
    bool IsPropertyStored(const char* name) const override;

    TKVXGetNextSelected OnGetNextSelected;
    TKVXGetSelectedCount OnGetSelectedCount;

    void PrepareReport() override;
    // DetailNo is the record number of the row printing.
    Variant GetSysDataValue(TKVXSysDataType type) override;

    // The column list of the last preparation.
    const QList<TColumnInfo>& Columns() const { return FPosition; }
    // The text a field prints (memo as text, BlankIfZero applied).
    QString GetFieldStr(const TField* field) const;

private:
    struct TGroup;
    struct TRun;
    TDataSet* SourceDataSet() const;
    void FillColumnInfo(TRun& run);
    int RowHeight(const QList<TCellPlace>& places, bool title);
    void PrintHeaderGrid(TRun& run);
    void PrintRecord(TRun& run, int height);
    void PrintTitlesIfDue(TRun& run, bool firstPage);
    int PrintGroups(TRun& run, bool ended, bool measureOnly);
    void PrintBar(TRun& run);

    TColumnSource FColumnSource = csDBGrid;
    QPointer<TKVXDataGrid> FDBGrid;
    QPointer<TDataSet> FDataSet;
    bool FSelectedRecord = false;
    TPrintRecNo FPrintRecNo = rnNone;
    bool FAutoFit = false;
    bool FAutoFitColumnWidth = false;
    bool FWordWrapHeader = false;
    bool FBlankIfZero = false;
    int FGapHorizontal = 0;
    int FGapVertical = 0;
    TKVXACalculations* FCalculations;
    QList<TColumnInfo> FPosition;
    QList<TField*> FColumnFields; // per column; nullptr for the record number
    qint64 FRecordNumber = 0;
};

} // namespace vorel
