// The band step: what one band does in a record pass, for the record loop
// and the group lookahead alike (the layout they pass decides what "place"
// and "break" mean), and the record advance with the updates it drives.

#include "engine/generation_p.h"

#include "expr/expressions.h"
#include "frame/user_interface.h"
#include "graphics/canvas.h"
#include "model/text_controls.h"

#include <algorithm>
#include <vector>

namespace vorel {

namespace {
// The running generations of this thread (a handler may prepare another
// report while one generates).
thread_local std::vector<TGenerationContext*> tActive;

bool SameGroupName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool HasForcePrintSetting(const TKVXControl* control)
{
    const TKVPrintWhen* when = control->KVPrintWhen();
    return when->RePrintOnNewPage() || when->OnOverflow() || (when->OnGroupChange() && !when->GroupName().isEmpty());
}

// A report without a detail band: the master moves once a pass where a
// detail band would stand, as if an empty one printed there.
void VirtualDetailStep(TGenerationContext& context, TRecordPass& pass, int index, TBandLayout& layout)
{
    if (context.Master->Eof())
        return;
    if (layout.Painting())
        StepPageBands(context);
    AdvanceRecord(context, index - 1);
    pass.Advanced = true;
    context.Report->boolWasNewPage = false;
}

// A suppressed repeated value prints again at the group's change when its
// print-when settings name this group.
void MarkGroupChange(TGenerationContext& context, const TKVXBand* header)
{
    for (TKVXControl* control : context.ForcePrintControls) {
        const TKVPrintWhen* when = control->KVPrintWhen();
        if (when->OnGroupChange() && SameGroupName(when->GroupName(), header->Expression()))
            control->SetForcePrint(true);
    }
}

bool Printable(const TKVXBand* band)
{
    return band->Visible() && band->CanBePrinted();
}

// A sub-detail band over its own data set: one print per row of it, the
// band's own values and conditions taken for each row.
void PlaceRows(TGenerationContext& context, TKVXBand* band, int index, TDataSet* rows, TBandLayout& layout)
{
    TKVReport* report = context.Report;
    rows->First();
    while (!rows->Eof()) {
        if (layout.Painting() && GenerationCanceled(*report))
            return;
        report->UpdateCurValues(index, index, uvWithoutGroupFooter, QString(), QString());
        report->UpdateControlStates(band);
        context.RetakenOnOf(index) = context.PageSerial;
        layout.Place(band, index);
        if (layout.Stopped)
            return;
        StepRowAggregates(context, index);
        if (band->NewPage() && Printable(band))
            context.BreakPending = true; // a page of its own for each row
        rows->Next();
    }
}

// A group footer has printed: its group is closed and starts over.
void CloseGroup(TGenerationContext& context, TKVXBand* footer, int index)
{
    TKVReport* report = context.Report;
    const int headerIndex = footer->GetLinkedFooterIndex();
    footer->SetCurValue(Variant());
    footer->SetPrevValue(Variant());
    if (TKVXBand* header = report->GetBand(headerIndex)) {
        header->SetCurValue(Variant());
        header->SetPrevValue(Variant());
        context.GroupOpenOf(headerIndex) = 0;
    }
    if (footer->NewPage() && Printable(footer))
        context.BreakPending = true; // the next group begins a page
    // Two groups on one expression change together, and both footers print
    // in this pass: their running values start over after the outer one,
    // so that it prints its totals too.
    const QList<TKVXBand*>& bands = report->Bands();
    for (int j = index + 1; j < bands.size(); ++j)
        if (bands[j]->BandType() == btGroupFooter && SameGroupName(bands[j]->Expression(), footer->Expression()))
            return;
    ResetRunningValues(context, rtEndGroup, footer->Expression());
}

// What a group header showed when it printed, for its reprints: a footer
// that moves to a new page prints after the master has moved on to the next
// group, and the header repeated above it must still show its own.
void KeepHeaderValues(TGenerationContext& context, TKVXBand* header, int index)
{
    std::vector<TKeptValue>& kept = context.HeaderShownOf(index);
    kept.clear();
    for (TKVXControl* control : header->Objects())
        if (HoldsNoRunningValue(control))
            kept.push_back({control, control->GetCurValue(), control->CanBePrinted()});
}

// What printing the band closes, opens or asks for.
void AfterPrint(TGenerationContext& context, TKVXBand* band, int index, TBandLayout& layout)
{
    const TBandType type = band->BandType();
    if (type == btGroupHeader) {
        if (context.HeaderRunTop < 0)
            context.HeaderRunTop = context.LastPlacedTop;
    } else {
        context.HeaderRunTop = -1;
    }
    switch (type) {
    case btGroupFooter: CloseGroup(context, band, index); break;
    case btGroupHeader:
        band->SetPrevValue(band->GetCurValue());
        context.GroupOpenOf(index) = 1;
        if (layout.Painting())
            KeepHeaderValues(context, band, index);
        break;
    case btDetail:
        if (layout.Painting())
            StepPageBands(context);
        // A page of its own for each record, its sub-detail rows included.
        if (band->NewPage() && Printable(band))
            context.BreakAfterRecord = true;
        break;
    case btSubDetail:
        if (band->NewPage() && Printable(band))
            context.BreakPending = true;
        break;
    default: break;
    }
}

} // namespace

TGenerationScope::TGenerationScope(TGenerationContext& context) : FContext(&context)
{
    tActive.push_back(FContext);
}

TGenerationScope::~TGenerationScope()
{
    const auto it = std::find(tActive.rbegin(), tActive.rend(), FContext);
    if (it != tActive.rend())
        tActive.erase(std::next(it).base());
}

TGenerationContext* ActiveGeneration(const TKVReport* report)
{
    for (auto it = tActive.rbegin(); it != tActive.rend(); ++it)
        if ((*it)->Report == report)
            return *it;
    return nullptr;
}

TGenerationContext& GenerationFor(TKVReport* report, TGenerationContext& fallback)
{
    if (TGenerationContext* active = ActiveGeneration(report))
        return *active;
    InitGenerationContext(fallback, report);
    fallback.RecordTaken = fallback.Master && fallback.Master->Active() && !fallback.Master->Eof();
    return fallback;
}

void InitGenerationContext(TGenerationContext& context, TKVReport* report)
{
    context.Report = report;
    context.Master = report->DataSet();
    context.VirtualDetailIndex = -1;
    const TKVXBand* header = report->GetBand(report->GetIndexBand(btPageHeader));
    const TKVXBand* footer = report->GetBand(report->GetIndexBand(btPageFooter));
    context.FirstPageDiffers = report->GetIndexBand(btReportTitle) >= 0 || (header && !header->NewPage())
                            || (footer && !footer->NewPage());
    const QList<TKVXBand*>& bands = report->Bands();
    context.RetakenOn.assign(size_t(bands.size()), -1);
    context.GroupOpen.assign(size_t(bands.size()), 0);
    context.ForcePrintControls.clear();
    for (TKVXBand* band : bands)
        for (TKVXControl* control : band->Objects())
            if (HasForcePrintSetting(control))
                context.ForcePrintControls.push_back(control);
    if (report->GetIndexBand(btDetail) >= 0)
        return;
    // Where a detail band would stand by rank: before the first band that
    // ranks after the sub-details (footers, page footer, summary).
    context.VirtualDetailIndex = int(bands.size());
    for (int i = 0; i < bands.size(); ++i)
        if (BandRank(bands[i]->BandType()) > BandRank(btSubDetail)) {
            context.VirtualDetailIndex = i;
            break;
        }
}

void MarkRowSources(TGenerationContext& context)
{
    TKVReport* report = context.Report;
    const QList<TKVXBand*>& bands = report->Bands();
    context.RowSteps.clear();
    for (int s = 0; s < bands.size(); ++s) {
        TDataSet* rows = bands[s]->GetDataset();
        if (bands[s]->BandType() != btSubDetail || !rows || rows == context.Master)
            continue;
        TRowSteps steps;
        steps.BandIndex = s;
        TKVXDataManager* manager = report->GetDataManager();
        auto readsRows = [&](TKVXCalculation* calculation, const QString& expression) {
            return calculation->CalcType() != ctNothing && !calculation->RowSource()
                && calculation->StateChanged(QString(), QString())
                && ExpressionReadsDataSet(manager, expression, rows, report->VariableEvent());
        };
        for (TKVXBand* band : bands) {
            // A sub-detail band over its own rows advances its own values.
            if (band->BandType() == btSubDetail && band->GetDataset() && band->GetDataset() != context.Master)
                continue;
            for (TKVXControl* control : band->Objects())
                if (auto* expression = control->AsExpression();
                    expression && readsRows(expression->Calculation(), expression->Expression())) {
                    expression->Calculation()->SetRowSource(rows);
                    steps.Controls.push_back(expression);
                }
        }
        TKVXVariables* variables = report->Variables();
        for (int i = 0; i < variables->Count(); ++i) {
            TKVXVariable* variable = variables->GetVariable(i);
            if (readsRows(variable->Calculation(), variable->Expression())) {
                variable->Calculation()->SetRowSource(rows);
                steps.Variables.push_back(variable);
            }
        }
        if (!steps.Controls.empty() || !steps.Variables.empty())
            context.RowSteps.push_back(std::move(steps));
    }
}

void EndGenerationContext(TGenerationContext& context)
{
    for (TRowSteps& steps : context.RowSteps) {
        for (TKVXExpression* control : steps.Controls)
            control->Calculation()->SetRowSource(nullptr);
        for (TKVXVariable* variable : steps.Variables)
            variable->Calculation()->SetRowSource(nullptr);
    }
    context.RowSteps.clear();
}

bool GenerationCanceled(TKVReport& report)
{
    return report.CancelPending();
}

bool BandPrints(TKVXBand* band, TDataSet* master)
{
    switch (band->BandType()) {
    case btDetail:
    case btSubDetail: return true;
    case btGroupHeader: return band->ValueChanged();
    case btGroupFooter: return band->ValueChanged() || (master && master->Eof());
    default: return false;
    }
}

THeaderBreak DecideHeaderBreak(TGenerationContext& context, int index, int top, int bottom, bool columnHoldsData)
{
    const TKVXBand* header = context.Report->Bands()[index];
    // NewPage breaks whenever something of the data stands above; on a
    // column that holds nothing yet the header stays, but still has to
    // pass the two space tests.
    if (header->NewPage() && columnHoldsData)
        return THeaderBreak::Forced;
    if (double(top) + header->LessThan() > double(bottom))
        return THeaderBreak::NoRoom;
    if (header->NewPageIfNotFit()
        && top + MeasureGroup(context, index, top, bottom, true, !columnHoldsData) > bottom)
        return THeaderBreak::NoRoom;
    return THeaderBreak::None;
}

void PrepareGroupHeader(TKVReport* report, TKVXBand* header)
{
    const QString group = header->Expression();
    report->UpdateCurValues(-1, -1, uvOnlyCustomVariables, group, QString());
    report->UpdateCurValues(-1, -1, uvAllBand, group, QString());
}

void BandStep(TGenerationContext& context, TRecordPass& pass, int index, TBandLayout& layout)
{
    TKVReport* report = context.Report;
    TKVXBand* band = report->Bands()[index];
    TDataSet* master = context.Master;
    const TBandType type = band->BandType();
    const bool prepared = type == btGroupHeader && layout.HeaderPrepared(index);
    bool prints = prepared;
    if (!prepared) {
        if (band->GetIsGroup())
            band->UpdateGroupValue();
        prints = BandPrints(band, master);
    }
    if (prints) {
        if (type == btGroupHeader && !prepared) {
            if (!layout.HeaderMayPrint(index)) {
                layout.Stopped = true;
                return;
            }
            PrepareGroupHeader(report, band);
            TakeValuesForPrinting(band);
            context.RetakenOnOf(index) = context.PageSerial;
            MarkGroupChange(context, band);
            if (layout.DecidesBreakOf(index)) {
                const bool holdsData = layout.ColumnHoldsData() && !layout.HeaderRunAtTop();
                const THeaderBreak why = DecideHeaderBreak(context, index, layout.Top(), layout.Bottom(), holdsData);
                if (why != THeaderBreak::None)
                    layout.Break(why);
                if (layout.Stopped)
                    return;
            }
        }
        TDataSet* own = band->GetDataset();
        if (type == btSubDetail && own && own != master)
            PlaceRows(context, band, index, own, layout);
        else
            layout.Place(band, index);
        if (layout.Stopped)
            return;
        AfterPrint(context, band, index, layout);
    }
    AdvanceAfterBand(context, pass, index);
    if (type == btDetail)
        report->boolWasNewPage = false;
}

bool RunBands(TGenerationContext& context, TRecordPass& pass, int from, int to, TBandLayout& layout)
{
    context.HeaderRunTop = -1;
    for (int i = from; i <= to; ++i) {
        if (layout.Painting() && GenerationCanceled(*context.Report))
            return false; // the interrupted record's footers do not print
        if (i == context.VirtualDetailIndex)
            VirtualDetailStep(context, pass, i, layout);
        BandStep(context, pass, i, layout);
        if (layout.Stopped)
            return false;
    }
    if (to == context.Report->BandCount() - 1 && context.VirtualDetailIndex == to + 1)
        VirtualDetailStep(context, pass, to + 1, layout);
    return true;
}

void AdvanceRecord(TGenerationContext& context, int bandIndex)
{
    TKVReport* report = context.Report;
    TDataSet* master = context.Master;
    master->Next();
    context.RecordTaken = !master->Eof();
    context.FootersTaken = false;
    context.RecordSerial = context.PageSerial;
    if (context.BreakAfterRecord) {
        context.BreakAfterRecord = false;
        context.BreakPending = true;
    }
    if (context.RecordTaken) {
        // The variables first, so that every band sees them for the record
        // it prints (a band expression that names a variable would
        // otherwise show the previous record's value).
        report->UpdateCurValues(-1, -1, uvOnlyCustomVariables, QString(), QString());
        UpdateBandsForRecord(context);
    }
    const QList<TKVXBand*>& bands = report->Bands();
    for (int j = bandIndex + 1; j < bands.size(); ++j)
        if (bands[j]->BandType() == btGroupFooter)
            bands[j]->UpdateGroupValue();
}

bool AdvanceAfterBand(TGenerationContext& context, TRecordPass& pass, int bandIndex)
{
    const QList<TKVXBand*>& bands = context.Report->Bands();
    const TBandType type = bands[bandIndex]->BandType();
    if (type == btDetail) {
        // With several sub-detail bands after the detail, the master moves
        // once, after the last of them, so every sub-detail band prints the
        // records that belong to the same master record.
        pass.SubDetailAdvance = -1;
        for (int j = int(bands.size()) - 1; j > bandIndex; --j)
            if (bands[j]->BandType() == btSubDetail) {
                pass.SubDetailAdvance = j;
                break;
            }
    }
    const bool advances = (type == btDetail && pass.SubDetailAdvance < 0)
                       || (type == btSubDetail && pass.SubDetailAdvance == bandIndex);
    if (!advances)
        return false;
    AdvanceRecord(context, bandIndex);
    pass.Advanced = true;
    return true;
}

void EndRecordPass(TGenerationContext& context)
{
    // At the end of the data no new record became current: nothing to take.
    if (context.FootersTaken || context.Master->Eof())
        return;
    context.Report->UpdateCurValues(-1, -1, uvOnlyGroupFooter, QString(), QString());
    context.FootersTaken = true;
    context.FootersSerial = context.PageSerial;
}

void NotePainted(TKVXControl* control)
{
    if (TKVXLabel* label = control->AsLabel())
        label->RememberShown();
}

void NotePrinted(TKVXBand* band)
{
    if (!Printable(band))
        return;
    band->SetLineNo(band->LineNo() + 1);
    for (TKVXControl* control : band->Objects())
        if (control->Visible() && control->CanBePrinted())
            NotePainted(control);
}

int MeasureBand(TKVXBand* band, int top, int bottom)
{
    return band->PrintBand(top, bottom, DT_CALCRECT);
}

void UpdateDataBandStates(TKVReport& report)
{
    for (TKVXBand* band : report.Bands())
        if (!IsPageBand(band->BandType()))
            report.UpdateControlStates(band);
}

} // namespace vorel
