// TKVPrintData: the table report over a data set.
//
// Each bar walks the records again and prints its own columns, so the
// pages of bar 2 continue the rows of bar 1 sideways. A row is measured
// before it is placed; one that does not fit starts a new page (with the
// titles again when Style.FixedRows). After a row the next record is read
// to see whether a group ends; the totals row is then printed for the
// record that closed the group (the cursor steps back to it).

#include "auto/print_data.h"

#include "expr/expressions.h"
#include "foundation/locale/value_format.h"
#include "foundation/values/errors.h"
#include "graphics/metafile_canvas.h"
#include "graphics/picture.h"

#include <algorithm>

namespace vorel {

namespace {
constexpr int kTextPropertyMissing = 2076; // "Property %s wasn't specified."
constexpr int kTextDataSetInactive = 2077; // "Dataset is not active."

} // namespace

bool IsPrintableField(const TField* field)
{
    switch (field->DataType()) {
    case ftUnknown:
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        return false;
    default:
        return true;
    }
}

namespace {

bool IsPictureField(const TField* field)
{
    return field && field->DataType() == ftGraphic;
}

unsigned AlignFlag(TAlignment alignment)
{
    return alignment == taRightJustify ? DT_RIGHT : alignment == taCenter ? DT_CENTER : DT_LEFT;
}
} // namespace

// --- calculations and grid columns ----------------------------------------------------------

TKVXACalculation::TKVXACalculation(TCollection* collection)
    : TCollectionItem(collection), FCalculation(new TKVXCalculation(this)), FFont(new TFont(this))
{
}

void TKVXACalculation::Assign(const TPersistent* source)
{
    if (const auto* other = qobject_cast<const TKVXACalculation*>(source)) {
        FFieldName = other->FFieldName;
        FCalculation->Assign(other->FCalculation);
        FFont->Assign(other->FFont);
        FCaption = other->FCaption;
        FFieldColNum = other->FFieldColNum;
        FCaptionColNum = other->FCaptionColNum;
        FAlignment = other->FAlignment;
        FWordWrap = other->FWordWrap;
        return;
    }
    TCollectionItem::Assign(source);
}

TKVXGridColumn::TKVXGridColumn(TCollection* collection)
    : TCollectionItem(collection), FFont(new TFont(this)), FTitleFont(new TFont(this))
{
}

void TKVXGridColumn::Assign(const TPersistent* source)
{
    if (const auto* other = qobject_cast<const TKVXGridColumn*>(source)) {
        FFieldName = other->FFieldName;
        FCaption = other->FCaption;
        FWidth = other->FWidth;
        FAlignment = other->FAlignment;
        FTitleAlignment = other->FTitleAlignment;
        FFont->Assign(other->FFont);
        FTitleFont->Assign(other->FTitleFont);
        FVisible = other->FVisible;
        return;
    }
    TCollectionItem::Assign(source);
}

TKVXDataGrid::TKVXDataGrid(QObject* owner) : TComponent(owner), FColumns(new TKVXGridColumns(this)) {}

void TKVXDataGrid::SetColumns(const TKVXGridColumns* value)
{
    if (value && value != FColumns)
        FColumns->Assign(value);
}

QList<qint64> TKVXDataGrid::SelectedRecords() const
{
    QList<qint64> records;
    if (FSelection) {
        // Rows with any selected cell count, as a grid selects whole rows.
        for (const QModelIndex& index : FSelection->selectedIndexes())
            records.append(index.row());
    } else {
        records = FSelectedRecords;
    }
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    while (!records.isEmpty() && records.first() < 0)
        records.removeFirst();
    return records;
}

// --- the component --------------------------------------------------------------------------

struct TKVPrintData::TGroup {
    QList<TField*> Fields; // empty: the group never ends before the data does
    QString Prev;
    QString Cur;
    bool HasPrev = false;
    bool HasCur = false;
    bool Changed = false;
};

struct TKVPrintData::TRun {
    TDataSet* DataSet = nullptr;
    bool Selected = false;
    QList<qint64> SelectedRecords; // from the grid when no event supplies them
    int SelectedCount = 0;
    bool HorzLines = true;
    bool VertLines = true;
    int Start = 0;
    int End = 0;
    QList<TCellPlace> Places; // the columns of the current bar
    int TableWidth = 0;
    int Left = 0;
    QHash<QString, int> GroupByKey;
    std::vector<TGroup> Groups;
    QList<int> CalcGroup; // per calculation: its group's index
    TGetVariableEvent Lookup;
    bool Cancelled = false;
};

TKVPrintData::TKVPrintData(QObject* owner) : TKVAutoPrint(owner), FCalculations(new TKVXACalculations(this)) {}

TKVPrintData::~TKVPrintData() = default;

void TKVPrintData::SetCalculations(const TKVXACalculations* v)
{
    if (v && v != FCalculations)
        FCalculations->Assign(v);
}

bool TKVPrintData::IsPropertyStored(const char* name) const
{
    if (qstrcmp(name, "Calculations") == 0)
        return FCalculations->Count() > 0;
    return TKVAutoPrint::IsPropertyStored(name);
}

Variant TKVPrintData::GetSysDataValue(TKVXSysDataType type)
{
    if (type == sdDetailNo)
        return Variant(qint64(FRecordNumber));
    return TKVAutoPrint::GetSysDataValue(type);
}

TDataSet* TKVPrintData::SourceDataSet() const
{
    if (FColumnSource == csDataSet)
        return FDataSet.data();
    return FDBGrid ? FDBGrid->DataSet() : nullptr;
}

QString TKVPrintData::GetFieldStr(const TField* field) const
{
    if (!field)
        return {};
    if (IsMemoFieldType(field->DataType()))
        return field->AsString();
    if (FBlankIfZero && IsNumericFieldType(field->DataType()) && !field->IsNull()) {
        // Compared as a number: 0.5 is no zero, whatever an integer view says.
        const Variant& value = field->Value();
        if (value.IsNumeric() && value.ToDouble() == 0.0)
            return {};
    }
    return field->DisplayText();
}

void TKVPrintData::FillColumnInfo(TRun& run)
{
    FPosition.clear();
    FColumnFields.clear();
    TCanvas& canvas = *MFCanvas();
    const int printable = PrintableWidth();
    canvas.SetFont(Font());
    if (FPrintRecNo != rnNone) {
        TColumnInfo column;
        column.Width = canvas.TextWidth(u"WWWW");
        column.Alignment = taRightJustify;
        column.HeaderAlignment = taCenter;
        column.IsFixed = FPrintRecNo == rnFirstColOnEachBar && Style()->FixedCols();
        column.DataFont = Font();
        column.TitleFont = Font();
        FPosition.append(column);
        FColumnFields.append(nullptr);
    }
    const auto addField = [&](TField* field, const QString& caption, int width, TAlignment alignment,
                              TAlignment titleAlignment, const TFont* dataFont, const TFont* titleFont, bool fixed) {
        TColumnInfo column;
        column.FieldName = field->FieldName();
        column.Caption = caption;
        column.Alignment = alignment;
        column.HeaderAlignment = titleAlignment;
        column.WordWrap = WordWrap();
        column.DataFont = dataFont;
        column.TitleFont = titleFont;
        column.IsFixed = fixed;
        if (width <= 0) {
            canvas.SetFont(dataFont);
            width = canvas.TextWidth(u"W") * std::max(1, field->DisplayWidth());
        }
        column.Width = width;
        FPosition.append(column);
        FColumnFields.append(field);
    };
    TDataSet* dataSet = run.DataSet;
    if (FColumnSource == csDataSet || FDBGrid->Columns()->Count() == 0) {
        for (int i = 0; i < dataSet->FieldCount(); ++i) {
            TField* field = dataSet->Fields(i);
            if (!IsPrintableField(field) || !field->Visible())
                continue;
            const bool fixed = FColumnSource == csDBGrid && Style()->FixedCols() && i < FDBGrid->FixedCols();
            addField(field, field->DisplayLabel(), 0, field->Alignment(), field->Alignment(), Font(), Font(), fixed);
        }
    } else {
        const TKVXGridColumns* columns = FDBGrid->Columns();
        for (int i = 0; i < columns->Count(); ++i) {
            const TKVXGridColumn* gridColumn = columns->Column(i);
            TField* field = dataSet->FindField(gridColumn->FieldName());
            if (!gridColumn->Visible() || !field || !IsPrintableField(field))
                continue;
            const QString caption = gridColumn->Caption().isEmpty() ? field->DisplayLabel() : gridColumn->Caption();
            // The grid's leading fixed columns repeat on every bar.
            const bool fixed = Style()->FixedCols() && i < FDBGrid->FixedCols();
            addField(field, caption, gridColumn->Width(), gridColumn->Alignment(), gridColumn->TitleAlignment(),
                     gridColumn->Font(), gridColumn->TitleFont(), fixed);
        }
    }
    if (FAutoFitColumnWidth) {
        // Each column as wide as its widest text: its title, then every
        // record's value.
        QList<int> widest(FPosition.size(), 0);
        for (qsizetype c = 0; c < FPosition.size(); ++c) {
            if (!FColumnFields[c])
                continue;
            canvas.SetFont(FPosition[c].TitleFont);
            widest[c] = canvas.TextWidth(FPosition[c].Caption);
        }
        for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
            for (qsizetype c = 0; c < FPosition.size(); ++c) {
                const TField* field = FColumnFields[c];
                if (!field || IsPictureField(field))
                    continue;
                canvas.SetFont(FPosition[c].DataFont);
                widest[c] = std::max(widest[c], canvas.TextWidth(GetFieldStr(field)));
            }
        }
        for (qsizetype c = 0; c < FPosition.size(); ++c)
            if (FColumnFields[c] && !IsPictureField(FColumnFields[c]))
                FPosition[c].Width = std::max(1, widest[c]);
    }
    LayoutColumns(FPosition, FAutoFit, printable, FGapHorizontal);
}

int TKVPrintData::RowHeight(const QList<TCellPlace>& places, bool title)
{
    TCanvas& canvas = *MFCanvas();
    int height = 0;
    if (!title) {
        canvas.SetFont(Font());
        height = canvas.TextHeight(u"Wg");
    }
    for (const TCellPlace& place : places) {
        const TColumnInfo& column = FPosition[place.Column];
        const TField* field = FColumnFields[place.Column];
        canvas.SetFont(title ? column.TitleFont : column.DataFont);
        if (!title && IsPictureField(field)) {
            // A picture keeps its proportions across the column's width; an
            // empty one takes no room.
            TPicture picture;
            try {
                const QByteArray bytes = field->AsBytes();
                if (!bytes.isEmpty())
                    picture.SetGraphic(GraphicFromBytes(bytes, field->FieldName()));
            } catch (const std::exception&) {
            }
            if (!picture.Empty() && picture.Width() > 0)
                height = std::max(height, int(qint64(column.Width) * picture.Height() / picture.Width()));
            continue;
        }
        const QString text = title ? column.Caption : field ? GetFieldStr(field) : QString::number(FRecordNumber);
        const bool wrap = title ? FWordWrapHeader : column.WordWrap;
        int h;
        if (!wrap && !text.contains(u'\n') && !text.contains(u'\r')) {
            h = canvas.TextHeight(text); // one line: the font's height, nothing to lay out
        } else {
            TRect r{0, 0, column.Width, 0};
            h = canvas.DrawText(text.isEmpty() ? QStringLiteral(" ") : text, r,
                                DT_CALCRECT | DT_NOPREFIX | AlignFlag(column.Alignment) | (wrap ? DT_WORDBREAK : 0));
        }
        height = std::max(height, h);
    }
    return height + 2 * FGapVertical;
}

void TKVPrintData::PrintHeaderGrid(TRun& run)
{
    TCanvas& canvas = *MFCanvas();
    const int height = RowHeight(run.Places, true);
    const int top = intCurHeight;
    canvas.SetPen(GridLine());
    if (run.HorzLines) {
        canvas.MoveTo(run.Left, top);
        canvas.LineTo(run.Left + run.TableWidth, top);
    }
    for (const TCellPlace& place : run.Places) {
        const TColumnInfo& column = FPosition[place.Column];
        canvas.SetFont(column.TitleFont);
        const unsigned flags = DT_NOPREFIX | AlignFlag(column.HeaderAlignment) | (FWordWrapHeader ? DT_WORDBREAK : 0);
        KVXDrawText(canvas, column.Caption, flags,
                    TRect{place.Left, top + FGapVertical, place.Left + column.Width, top + height - FGapVertical});
    }
    GridRowDrawn(top);
    intCurHeight += height;
    if (run.HorzLines) {
        canvas.MoveTo(run.Left, intCurHeight);
        canvas.LineTo(run.Left + run.TableWidth, intCurHeight);
    }
    intCurHeight += 1;
    boolNeedPrintHeaderGrid = false;
}

void TKVPrintData::PrintTitlesIfDue(TRun& run, bool firstPage)
{
    if (!boolNeedPrintHeaderGrid)
        return;
    if (Style()->FixedRows() || firstPage) {
        PrintHeaderGrid(run);
    } else {
        intCurHeight += 1;
        boolNeedPrintHeaderGrid = false;
    }
}

void TKVPrintData::PrintRecord(TRun& run, int height)
{
    TCanvas& canvas = *MFCanvas();
    const int top = intCurHeight;
    FillRow(int(FRecordNumber % 2), run.Left, run.TableWidth, height);
    canvas.SetPen(GridLine());
    for (const TCellPlace& place : run.Places) {
        const TColumnInfo& column = FPosition[place.Column];
        const TField* field = FColumnFields[place.Column];
        const TRect cell{place.Left, top + FGapVertical, place.Left + column.Width, top + height - FGapVertical};
        if (IsPictureField(field)) {
            const QByteArray bytes = field->AsBytes();
            if (!bytes.isEmpty()) {
                try {
                    const std::unique_ptr<TGraphic> graphic = GraphicFromBytes(bytes, field->FieldName());
                    if (graphic && !graphic->Empty())
                        canvas.StretchDraw(cell, *graphic);
                } catch (const std::exception&) {
                    // A picture that does not load prints nothing in its cell.
                }
            }
        } else {
            canvas.SetFont(column.DataFont);
            const QString text = field ? GetFieldStr(field) : QString::number(FRecordNumber);
            if (!text.isEmpty())
                KVXDrawText(canvas, text, DT_NOPREFIX | AlignFlag(column.Alignment) | (column.WordWrap ? DT_WORDBREAK : 0),
                            cell);
        }
    }
    GridRowDrawn(top);
    intCurHeight += height;
    if (run.HorzLines) {
        canvas.MoveTo(run.Left, intCurHeight);
        canvas.LineTo(run.Left + run.TableWidth, intCurHeight);
    }
}

int TKVPrintData::PrintGroups(TRun& run, bool ended, bool measureOnly)
{
    TCanvas& canvas = *MFCanvas();
    // Which totals print: all at the end of the data; otherwise those that
    // start over at the end of a group that has just ended.
    QList<int> printing;
    for (int i = 0; i < FCalculations->Count(); ++i) {
        const TKVXACalculation* calc = FCalculations->Calc(i);
        const TKVXCalculation* settings = calc->Calculation();
        const bool groupEnded = settings->ResetType() == rtEndGroup && !settings->ResetGroup().trimmed().isEmpty()
                                && run.Groups[size_t(run.CalcGroup[i])].Changed;
        if (ended || groupEnded)
            printing.append(i);
    }
    if (printing.isEmpty())
        return 0;
    struct TCellText {
        const TKVXACalculation* Calc;
        QString Text;
    };
    // The cell texts of each placed column.
    QList<QList<TCellText>> cells(run.Places.size());
    for (qsizetype p = 0; p < run.Places.size(); ++p) {
        const int column = run.Places[p].Column;
        for (int i : printing) {
            const TKVXACalculation* calc = FCalculations->Calc(i);
            if (calc->FieldColNum() == column) {
                QString text = calc->CurValue.IsEmptyOrNull() ? QString() : GetValueStr(calc->CurValue, QString());
                if (calc->CaptionColNum() == column && !calc->Caption().isEmpty())
                    text = calc->Caption() + text;
                cells[p].append({calc, text});
            } else if (calc->CaptionColNum() == column) {
                cells[p].append({calc, calc->Caption()});
            }
        }
    }
    int height = 0;
    for (qsizetype p = 0; p < run.Places.size(); ++p) {
        const TColumnInfo& column = FPosition[run.Places[p].Column];
        int cellHeight = 0;
        for (const TCellText& cell : cells[p]) {
            canvas.SetFont(cell.Calc->Font());
            TRect r{0, 0, column.Width, 0};
            cellHeight += canvas.DrawText(cell.Text.isEmpty() ? QStringLiteral(" ") : cell.Text, r,
                                          DT_CALCRECT | DT_NOPREFIX | (cell.Calc->WordWrap() ? DT_WORDBREAK : 0));
        }
        height = std::max(height, cellHeight);
    }
    height += 2 * FGapVertical;
    if (measureOnly)
        return height;

    const int top = intCurHeight;
    canvas.SetPen(GridLine());
    for (qsizetype p = 0; p < run.Places.size(); ++p) {
        const TCellPlace& place = run.Places[p];
        const TColumnInfo& column = FPosition[place.Column];
        int y = top + FGapVertical;
        for (const TCellText& cell : cells[p]) {
            canvas.SetFont(cell.Calc->Font());
            y += KVXDrawText(canvas, cell.Text,
                             DT_NOPREFIX | AlignFlag(cell.Calc->Alignment()) | (cell.Calc->WordWrap() ? DT_WORDBREAK : 0),
                             TRect{place.Left, y, place.Left + column.Width, top + height - FGapVertical});
        }
    }
    GridRowDrawn(top);
    intCurHeight += height;
    if (run.HorzLines) {
        canvas.MoveTo(run.Left, intCurHeight);
        canvas.LineTo(run.Left + run.TableWidth, intCurHeight);
    }
    for (int i : printing) {
        TKVXACalculation* calc = FCalculations->Calc(i);
        calc->PrevValue = calc->CurValue;
        // Totals of a group start over for the next group.
        if (calc->Calculation()->ResetType() == rtEndGroup) {
            calc->CurValue = Variant::Null();
            calc->Calculation()->Running() = {};
        }
    }
    return height;
}

void TKVPrintData::PrintBar(TRun& run)
{
    TDataSet* dataSet = run.DataSet;
    for (int i = 0; i < FCalculations->Count(); ++i) {
        TKVXACalculation* calc = FCalculations->Calc(i);
        calc->PrevValue = Variant::Null();
        calc->CurValue = Variant::Null();
        calc->Calculation()->Running() = {};
    }
    for (TGroup& group : run.Groups) {
        TGroup fresh;
        fresh.Fields = group.Fields;
        group = fresh;
    }

    const auto groupValue = [](const TGroup& group) {
        QString key;
        for (const TField* field : group.Fields) {
            key += field->AsString();
            key += QChar(0x1F);
        }
        return key;
    };
    const auto gotoSelected = [&](int index) {
        TBookmark bookmark;
        if (OnGetNextSelected)
            OnGetNextSelected(this, index, bookmark);
        else if (index < run.SelectedRecords.size())
            bookmark = TBookmark{run.SelectedRecords[index], dataSet, 0};
        if (!OnGetNextSelected)
            dataSet->MoveTo(bookmark.RecNo + 1);
        else
            dataSet->GotoBookmark(bookmark);
    };

    FRecordNumber = 0;
    const int firstPage = intCurPage;
    PrintReportHeader();
    int row = 0;
    std::pair<int, int> rowPage{-1, -1}; // the page the last row printed on
    bool ended;
    if (run.Selected) {
        ended = run.SelectedCount <= 0;
    } else {
        dataSet->First();
        ended = dataSet->Eof();
    }
    while (!ended) {
        if (CancelPending()) {
            run.Cancelled = true;
            return;
        }
        if (run.Selected)
            gotoSelected(row);
        ++FRecordNumber;
        PrintTitlesIfDue(run, intCurPage == firstPage && intCurBar == 0);
        for (TGroup& group : run.Groups) {
            group.Prev = groupValue(group);
            group.HasPrev = true;
        }
        for (int i = 0; i < FCalculations->Count(); ++i) {
            TKVXACalculation* calc = FCalculations->Calc(i);
            TKVXCalculation* settings = calc->Calculation();
            calc->CurValue = GetCalculatedValue(DataManager(), calc->FieldName(), QString(), settings->CalcType(),
                                                calc->PrevValue, calc->CurValue, run.Lookup, &settings->Running());
        }
        const int height = RowHeight(run.Places, false);
        // A row taller than a whole page prints on a page of its own
        // rather than opening pages for ever.
        if (intCurHeight + height >= intMaxPageHeight && rowPage == std::pair(intCurPage, intCurBar)) {
            NewPage(false);
            PrintTitlesIfDue(run, false);
        }
        PrintRecord(run, height);
        rowPage = {intCurPage, intCurBar};

        if (run.Selected) {
            ended = row + 1 >= run.SelectedCount;
            if (!ended)
                gotoSelected(row + 1);
        } else {
            dataSet->Next();
            ended = dataSet->Eof();
        }
        bool changed = ended;
        for (TGroup& group : run.Groups) {
            group.HasCur = !ended;
            group.Cur = ended ? QString() : groupValue(group);
            // A group without fields ends with the data only.
            group.Changed = ended || (!group.Fields.isEmpty() && group.Cur != group.Prev);
            changed = changed || group.Changed;
        }
        if (changed && FCalculations->Count() > 0) {
            // The totals belong to the record that closed the group.
            if (!ended) {
                if (run.Selected)
                    gotoSelected(row);
                else
                    dataSet->Prior();
            }
            const int groupHeight = PrintGroups(run, ended, true);
            if (groupHeight > 0) {
                if (intCurHeight + groupHeight >= intMaxPageHeight && rowPage == std::pair(intCurPage, intCurBar)) {
                    NewPage(false);
                    PrintTitlesIfDue(run, false);
                }
                PrintGroups(run, ended, false);
            }
            if (!ended) {
                if (run.Selected)
                    gotoSelected(row + 1);
                else
                    dataSet->Next();
            }
        }
        ++row;
    }
    PrintReportFooter();
}

void TKVPrintData::PrepareReport()
{
    TKVAutoPrint::PrepareReport();
    const int lang = GetLanguageShift();
    if (FColumnSource == csDataSet ? !FDataSet : !FDBGrid)
        throw EKVXError(FormatText(GetString(lang, kTextPropertyMissing),
                                   {FColumnSource == csDataSet ? QStringLiteral("DataSet") : QStringLiteral("DBGrid")}));
    TDataSet* dataSet = SourceDataSet();
    if (!dataSet)
        throw EKVXError(FormatText(GetString(lang, kTextPropertyMissing), {QStringLiteral("DBGrid.DataSet")}));
    if (!dataSet->Active())
        throw EKVXError(GetString(lang, kTextDataSetInactive));

    TRun run;
    run.DataSet = dataSet;
    run.Lookup = [this](QObject* sender, const QString& name, bool& accept, TFieldType& type, Variant& value) {
        KVXGetVariable(sender, name, accept, type, value);
    };
    if (FColumnSource == csDBGrid) {
        run.HorzLines = FDBGrid->HorzLines();
        run.VertLines = FDBGrid->VertLines();
        run.Selected = FSelectedRecord;
        if (run.Selected) {
            if (OnGetSelectedCount) {
                OnGetSelectedCount(this, run.SelectedCount);
            } else {
                run.SelectedRecords = FDBGrid->SelectedRecords();
                // A selection past the data (a stale view) selects nothing there.
                const qint64 count = dataSet->RecordCount();
                while (!run.SelectedRecords.isEmpty() && run.SelectedRecords.last() >= count)
                    run.SelectedRecords.removeLast();
                run.SelectedCount = int(run.SelectedRecords.size());
            }
        }
    }

    DataManager()->FillDatasetList(qobject_cast<TComponent*>(parent()) ? qobject_cast<TComponent*>(parent())
                                                                      : Application(),
                                   dataSet);
    const bool disable = Options().testFlag(roDisableControls);
    if (disable)
        dataSet->DisableControls();
    const TBookmark position = dataSet->GetBookmark();
    // The data set's position and controls come back however the walk ends.
    struct TRestore {
        TDataSet* DataSet;
        TBookmark Position;
        bool Enable;
        ~TRestore()
        {
            try {
                if (DataSet->Active() && DataSet->BookmarkValid(Position))
                    DataSet->GotoBookmark(Position);
            } catch (const std::exception&) {
            }
            if (Enable)
                DataSet->EnableControls();
        }
    } restore{dataSet, position, disable};

    BeginDoc();
    NewPage(false);
    FillColumnInfo(run);

    // The groups of the totals, by their field lists.
    for (int i = 0; i < FCalculations->Count(); ++i) {
        const TKVXCalculation* settings = FCalculations->Calc(i)->Calculation();
        const QString key = settings->ResetGroup().trimmed().toUpper();
        auto it = run.GroupByKey.constFind(key);
        if (it == run.GroupByKey.constEnd()) {
            TGroup group;
            for (const QString& name : key.split(u';', Qt::SkipEmptyParts)) {
                TField* field = dataSet->FindField(name.trimmed());
                if (!field)
                    throw EKVXError(QStringLiteral("Calculations[%1].Calculation.ResetGroup: the data set has no field "
                                                   "\"%2\"")
                                        .arg(i)
                                        .arg(name.trimmed()));
                group.Fields.append(field);
            }
            run.Groups.push_back(group);
            it = run.GroupByKey.insert(key, int(run.Groups.size()) - 1);
        }
        run.CalcGroup.append(it.value());
    }

    if (FPosition.isEmpty()) {
        // Nothing to tabulate: the header and the footer still print.
        PrintReportHeader();
        PrintReportFooter();
    } else {
        const int last = int(FPosition.size()) - 1;
        run.Start = 0;
        for (;;) {
            run.Left = PageLeft();
            run.End = LastFittingColumn(FPosition, run.Start, PrintableWidth(), FGapHorizontal);
            run.Places = BarColumns(FPosition, run.Start, run.End, run.Left, FGapHorizontal, run.TableWidth);
            QList<int> xs;
            if (run.VertLines) {
                for (const TCellPlace& place : run.Places)
                    xs.append(place.Left - FGapHorizontal);
                xs.append(run.Left + run.TableWidth);
            }
            SetGridColumns(xs);
            PrintBar(run);
            if (run.Cancelled || run.End >= last)
                break;
            run.Start = run.End + 1;
            NewPage(true);
        }
    }
    EndDoc();
    intCurPage = 0;
    intCurBar = 0;
}

} // namespace vorel
