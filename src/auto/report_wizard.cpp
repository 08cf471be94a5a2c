// The report wizard's generation. The steps follow the order the form is
// built in: default bands, title, captions and values, page data, groups,
// calculated values, label frames. Positions are report pixels.

#include "auto/report_wizard.h"

#include "data/data_manager.h"
#include "foundation/language/language.h"
#include "foundation/values/text_utils.h"
#include "frame/page_frame.h"
#include "frame/printer_settings.h"
#include "graphics/text_measure.h"
#include "model/band.h"
#include "model/report.h"
#include "model/shapes.h"
#include "model/text_controls.h"

#include <algorithm>

namespace vorel {

namespace {

constexpr int kTextExpressionCaption = 1161; // "Expression:"
constexpr int kTextReportTitle = 2030;       // "<Report title>"

// What a generated control is; the style decides how each role looks.
enum TRole { roTitle = 0, roCaption = 1, roValue = 2 };

constexpr int kTitleFontPoints = 14;
constexpr int kTitleHeight = 35; // report pixels
constexpr int kTotalWidth = 150; // report pixels

void ApplyRole(TKVXControl* control, TRole role, TWizardStyle style)
{
    TFont* font = control->Font();
    TKVXFrame* frame = control->Frame();
    if (role == roTitle) {
        font->SetSize(kTitleFontPoints);
        control->SetHeight(kTitleHeight);
    }
    if (style == TWizardStyle::Standard)
        font->SetColor(clBlack);
    switch (style) {
    case TWizardStyle::Standard:
        if (role == roTitle) {
            font->SetStyle(fsBold);
            frame->SetFBottom(true);
            frame->SetWidth(2);
        } else {
            font->SetStyle(role == roCaption ? TFontStyles(fsBold) : TFontStyles());
        }
        break;
    case TWizardStyle::Executive:
        if (role == roTitle) {
            font->SetStyle(fsBold);
            font->SetColor(clYellow);
            control->SetBackColor(clTeal);
            control->SetTransparent(false);
        } else if (role == roCaption) {
            font->SetStyle(fsBold);
            font->SetColor(clNavy);
        } else {
            font->SetStyle({});
        }
        break;
    case TWizardStyle::Presentative:
        if (role == roTitle) {
            font->SetStyle(fsBold);
            font->SetColor(clMaroon);
            frame->SetFTop(true);
            frame->SetFBottom(true);
            frame->SetWidth(2);
            frame->SetColor(clMaroon);
        } else {
            font->SetStyle(role == roCaption ? TFontStyles(fsBold) : TFontStyles());
        }
        break;
    case TWizardStyle::Corporative:
        if (role == roTitle) {
            font->SetStyle(fsBold | fsItalic);
            font->SetColor(clNavy);
            frame->SetFTop(true);
            frame->SetWidth(3);
            frame->SetColor(clNavy);
        } else if (role == roCaption) {
            font->SetStyle(fsItalic);
            font->SetColor(clNavy);
        } else {
            font->SetStyle({});
        }
        break;
    }
}

template <class T>
T* AddControl(TKVXBand* band, int left, int top)
{
    auto* control = static_cast<T*>(band->Object(band->AddElement(&T::staticMetaObject)));
    control->SetLeft(left);
    control->SetTop(top);
    return control;
}

TKVXLabel* AddLabel(TKVXBand* band, int left, int top, const QString& text)
{
    auto* label = AddControl<TKVXLabel>(band, left, top);
    label->SetDisplayName(text);
    return label;
}

TKVXExpression* AddExpression(TKVXBand* band, int left, int top, const QString& expression)
{
    auto* control = AddControl<TKVXExpression>(band, left, top);
    control->SetExpression(expression);
    control->SetDisplayName(expression);
    return control;
}

TKVXSysData* AddSysData(TKVXBand* band, int left, TKVXSysDataType kind, TWizardStyle style)
{
    auto* control = AddControl<TKVXSysData>(band, left, 1);
    control->SetSysData(kind);
    control->SetWidth(100);
    ApplyRole(control, roValue, style);
    return control;
}

TKVXBand* BandOf(TKVReport& report, TBandType type)
{
    const int index = report.GetIndexBand(type);
    return report.GetBand(index >= 0 ? index : report.AddBand(type, true));
}

// Labels across as typed: a whole number of at least 1, else 2 (a count
// below 1 would give a report without columns).
int LabelsAcross(const QString& text)
{
    bool ok = false;
    const int across = text.trimmed().toInt(&ok);
    return ok && across >= 1 ? across : 2;
}

void AddPageData(TKVReport& report, TKVXBand* footer, TWizardStyle style, int W)
{
    if (style != TWizardStyle::Executive)
        AddSysData(footer, 2, sdDate, style); // with the date's own format, "@D @DS "
    int left = W - 102;
    if (style == TWizardStyle::Executive)
        left = (W - 100) / 2;
    else if (style == TWizardStyle::Presentative)
        left = W / 2 - 102;
    else if (style == TWizardStyle::Corporative)
        left = W - 204;
    TKVXSysData* pageNo = AddSysData(footer, left, sdPageNo, style);
    pageNo->SetAlignment(style == TWizardStyle::Executive ? taCenter : taRightJustify);
    if (style == TWizardStyle::Presentative || style == TWizardStyle::Corporative) {
        AddSysData(footer, style == TWizardStyle::Presentative ? W / 2 + 2 : W - 102, sdPageCount, style);
        // The page count is known on every page only when the report is
        // prepared twice; in one pass the first pages would print a count
        // that is too small.
        report.SetTwoPass(true);
    }
    footer->SetStretch(true);
    footer->SetHeight(pageNo->Height() + 2);
}

void AddGroups(TKVReport& report, const TWizardChoices& choices)
{
    const QString caption = GetString(report.GetLanguageShift(), kTextExpressionCaption);
    for (const TWizardGroup& group : choices.Groups) {
        // Any entry of the list is a group, the first field included.
        if (!group.Ticked || group.Field < 0 || group.Field >= choices.Fields.size())
            continue;
        const QString expression = choices.Fields[group.Field].Reference();
        int headerIndex = 0, footerIndex = 0;
        report.AddGroup(headerIndex, footerIndex, false, false, false, 0, expression);
        TKVXBand* header = report.GetBand(headerIndex);
        TKVXBand* footer = report.GetBand(footerIndex);
        footer->SetStretch(true);
        footer->SetHeight(1);
        TKVXLabel* label = AddLabel(header, 2, 1, caption);
        label->SetWidth(150);
        ApplyRole(label, roTitle, choices.Style);
        if (choices.Style != TWizardStyle::Standard)
            label->SetAlignment(taRightJustify);
        label->SetStretch(true);
        TKVXExpression* value = AddExpression(header, 165, 1, expression);
        ApplyRole(value, roTitle, choices.Style);
        // The group's value takes the rest of the line: at the title size
        // the default width would cut most values short.
        value->SetWidth(std::max(value->Width(), choices.PrintableWidth - 167));
        header->SetStretch(true);
        header->SetHeight(label->Height() + 2);
    }
}

bool IsEmptyRow(const TWizardCalculation& row)
{
    return row.Expression.isEmpty() && !row.HasMethod && row.Reset == TWizardReset::Unset;
}

void AddCalculations(TKVReport& report, const TWizardChoices& choices)
{
    for (const TWizardCalculation& row : choices.Calculations) {
        if (IsEmptyRow(row))
            continue;
        TKVXBand* band = nullptr;
        TResetType reset = rtEndReport;
        QString resetGroup;
        if (row.Reset == TWizardReset::EndOfPage) {
            band = report.GetBand(report.GetIndexBand(btPageFooter));
            reset = rtEndPage;
        } else if (row.Reset == TWizardReset::Group) {
            for (TKVXBand* candidate : report.Bands())
                if (candidate->BandType() == btGroupFooter && candidate->Expression() == row.Group) {
                    band = candidate;
                    reset = rtEndGroup;
                    // Only a group reset names its group: the engine resets a
                    // page or report total only when its group name is empty.
                    resetGroup = row.Group;
                    break;
                }
        }
        // End of report, no choice, or a group without a footer: the total
        // of the whole report.
        if (!band)
            band = BandOf(report, btReportSummary);
        // Totals that share a band stand side by side, the first at (10, 1),
        // a line further down when the page's width is used up; in the page
        // footer they stand below the page data instead of over it. The
        // bands a total goes to hold no other expressions.
        int top = 1;
        if (band->BandType() == btPageFooter)
            for (TKVXControl* control : band->Objects())
                if (!control->AsExpression())
                    top = std::max(top, control->Top() + control->Height() + 1);
        int left = 10;
        for (;;) {
            for (TKVXControl* control : band->Objects())
                if (control->AsExpression() && control->Top() == top)
                    left = std::max(left, control->Left() + control->Width() + 10);
            if (left == 10 || left + kTotalWidth <= choices.PrintableWidth)
                break;
            top += kTitleHeight + 1;
            left = 10;
        }
        TKVXExpression* total = AddExpression(band, left, top, row.Expression);
        // Wide enough for a total of a dozen digits at the title size (the
        // default width cuts a four-digit sum).
        total->SetWidth(kTotalWidth);
        total->Calculation()->SetCalcType(row.HasMethod ? row.Method : ctNothing);
        total->Calculation()->SetResetType(reset);
        total->Calculation()->SetResetGroup(resetGroup);
        ApplyRole(total, roTitle, choices.Style);
        total->SetStretch(false);
        total->SetWordWrap(false);
        band->SetStretch(true);
        const int bottom = total->Top() + total->Height() + 1;
        band->SetHeight(band->BandType() == btPageFooter ? std::max(band->Height(), bottom) : bottom);
    }
}

} // namespace

QString TWizardField::Reference() const
{
    return SetDSExpression(DataSetCaption, FieldName);
}

QString TWizardField::GroupEntry() const
{
    return SetDSExpression(DataSetCaption, DisplayName);
}

QList<TWizardField> WizardFieldList(const TKVXDataManager* manager)
{
    QList<TWizardField> rows;
    if (!manager)
        return rows;
    const TKVXDatasets* dataSets = manager->Datasets();
    for (int i = 0; i < dataSets->Count(); ++i) {
        const TKVXDataset* item = dataSets->Items(i);
        const TDataSet* dataSet = item->Dataset();
        if (!dataSet)
            continue;
        for (int f = 0; f < dataSet->FieldCount(); ++f) {
            const TField* field = dataSet->Fields(f);
            TWizardField row;
            row.DataSetCaption = item->Caption();
            row.DisplayName = field->DisplayName();
            row.FieldName = field->FieldName();
            row.Type = field->DataType();
            row.Length = field->Size();
            row.Alignment = field->Alignment();
            row.Visible = field->Visible();
            row.Ticked = i == 0 && field->Visible();
            rows.append(row);
        }
    }
    return rows;
}

int WizardFieldWidth(const TKVReport& report, const TWizardField& field)
{
    TFont font;
    font.Assign(report.Font());
    // Underlining does not change a text's advance; bold and italic do.
    font.SetStyle(fsBold | fsItalic | fsUnderline);
    const int letters = field.Length > 0 ? field.Length : 10;
    return TTextMeasurer::Face(font)->CharWidth(U'W') * letters;
}

QString WizardFieldFormat(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftFixedWideChar:
    case ftMemo:
    case ftFmtMemo:
    case ftWideMemo:
        return QStringLiteral("@C ");
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
    case ftLongWord:
    case ftShortint:
    case ftByte:
    case ftAutoInc:
        return QStringLiteral("@N @ND0 @NR1 ");
    case ftFloat:
    case ftSingle:
    case ftExtended:
    case ftBCD:
    case ftFMTBcd:
        // Whole numbers would print 4.95 as 5: fractions keep two decimals.
        return QStringLiteral("@N @ND2 @NR0.01 ");
    case ftCurrency:
        return QStringLiteral("@N @CT ");
    case ftDate:
        return arrSysDataFormat[size_t(sdDate)];
    case ftTime:
        return arrSysDataFormat[size_t(sdTime)];
    case ftDateTime:
    case ftTimeStamp:
        return arrSysDataFormat[size_t(sdDateTime)];
    default:
        return QString();
    }
}

int ReportPrintableWidth(const TKVReport& report)
{
    TKVXPrinter* printer = report.PrinterSetting();
    return std::max(1, printer->GetPaperWidthPixels() - printer->GetPageOffsetLeft() - printer->GetPageOffsetRight());
}

void GenerateWizardReport(TKVReport& report, const TWizardChoices& choices)
{
    report.NewReport();
    const TWizardReportType type = choices.Type;
    if (type == TWizardReportType::Blank)
        return;
    const TWizardStyle style = choices.Style;
    const int W = choices.PrintableWidth;
    const bool tableLike = type == TWizardReportType::Columnar || type == TWizardReportType::Tabular;
    TKVXBand* pageHeader = report.GetBand(report.GetIndexBand(btPageHeader));
    TKVXBand* detail = report.GetBand(report.GetIndexBand(btDetail));
    TKVXBand* pageFooter = report.GetBand(report.GetIndexBand(btPageFooter));

    if (type == TWizardReportType::Labels) {
        report.SetColumnNumber(LabelsAcross(choices.LabelsAcross));
    } else {
        TKVXBand* title = BandOf(report, btReportTitle);
        TKVXLabel* label = AddLabel(title, 2, 1, GetString(report.GetLanguageShift(), kTextReportTitle));
        label->SetWidth(W - 4);
        ApplyRole(label, roTitle, style);
        if (style != TWizardStyle::Standard)
            label->SetAlignment(taCenter);
        label->SetStretch(true);
        label->SetWordWrap(false);
        title->SetStretch(true);
        title->SetHeight(label->Height() + 2);
    }
    pageHeader->SetHeight(5);

    // Captions and values share one factor, so that too many fields shrink
    // alike instead of running off the design area.
    QList<int> widths;
    widths.reserve(choices.Fields.size());
    for (const TWizardField& field : choices.Fields)
        widths.append(field.Ticked ? WizardFieldWidth(report, field) : 0);
    double scale = 1;
    if (tableLike) {
        double sum = 0;
        for (qsizetype i = 0; i < choices.Fields.size(); ++i)
            if (choices.Fields[i].Ticked)
                sum += widths[i] + 10;
        const double room = choices.VisibleWidth - 30;
        if (room > 0 && sum > room)
            scale = room / sum;
    }

    int p = 0; // the running position: across for columnar, down otherwise
    for (qsizetype i = 0; i < choices.Fields.size(); ++i) {
        const TWizardField& field = choices.Fields[i];
        if (!field.Ticked)
            continue;
        const int w = int(widths[i] * scale);
        if (tableLike) {
            const bool columnar = type == TWizardReportType::Columnar;
            TKVXLabel* caption = AddLabel(columnar ? pageHeader : detail, 0, 0, field.DisplayName);
            ApplyRole(caption, roCaption, style);
            caption->SetStretch(true);
            caption->SetWordWrap(false);
            if (style == TWizardStyle::Presentative)
                caption->Frame()->SetFBottom(true);
            if (columnar) {
                caption->SetLeft(p + 5);
                caption->SetTop(0);
                caption->SetWidth(w);
                caption->SetAlignment(field.Alignment);
                pageHeader->SetHeight(caption->Height() + 2);
            } else {
                // Tabular: the caption (of the default width) stands left of
                // its value, one field under the other.
                caption->SetLeft(2);
                caption->SetTop(p);
                caption->SetAlignment(taRightJustify);
                detail->SetHeight(p + 2);
            }
        }
        TKVXExpression* value = AddExpression(detail, 0, 0, field.Reference());
        value->SetWidth(type == TWizardReportType::Labels ? widths[i] : w);
        ApplyRole(value, roValue, style);
        value->SetAlignment(field.Alignment);
        value->SetStretch(false);
        value->SetWordWrap(false);
        value->SetFormat(WizardFieldFormat(field.Type));
        if (type == TWizardReportType::Columnar) {
            value->SetLeft(p + 5);
            value->SetTop(1);
            p += value->Width() + 5;
            detail->SetHeight(value->Top() + value->Height());
        } else {
            value->SetLeft(60);
            value->SetTop(p);
            p += value->Height() + 5;
            detail->SetHeight(p);
        }
        detail->SetStretch(true);
        if (style != TWizardStyle::Standard) {
            if (type == TWizardReportType::Tabular && style == TWizardStyle::Presentative) {
                TKVXLine* line = AddControl<TKVXLine>(detail, 2, 1);
                line->SetWidth(W - 4);
                line->SetHeight(2);
            }
            TKVXLine* line = AddControl<TKVXLine>(detail, 2, detail->Height() + 1);
            // A label's rule stays inside its label, as its frame does; a
            // page-wide rule would cross the labels beside it.
            line->SetWidth(type == TWizardReportType::Labels ? detail->GetColumnWidth() - 24 : W - 4);
            line->SetHeight(2);
            detail->SetHeight(detail->Height() + 5);
            // Fields one under the other continue below the rule, not
            // over it.
            if (type != TWizardReportType::Columnar)
                p = detail->Height();
        }
    }

    if (tableLike) {
        AddPageData(report, pageFooter, style, W);
        AddGroups(report, choices);
        AddCalculations(report, choices);
    }

    if (type == TWizardReportType::Labels) {
        if (choices.LabelShape != TWizardLabelShape::None) {
            auto* frame = AddControl<TKVXRectangle>(detail, 2, 0);
            frame->SetWidth(detail->GetColumnWidth() - 24);
            frame->SetHeight(detail->Height());
            if (choices.LabelShape == TWizardLabelShape::RoundRect)
                frame->SetRectangleType(rtRoundRect);
            detail->SetHeight(detail->Height() + 2);
        }
        pageFooter->SetHeight(5);
    }
}

} // namespace vorel
