// The group lookahead: how much height the group starting at the current
// record needs, found by running the record loop's own band step over the
// group's bands with a layout that measures instead of painting, then
// putting everything back (values, running states, line numbers, print-when
// results, group and break state, and the master's position).
//
// Every pass of the walk moves the master or ends it: a pass in which no
// band moved it (no detail band between the header and its footer) moves it
// once, as the record loop does for a report without a detail band. A
// nested group kept together measures itself with a lookahead of its own
// and is then walked like any other bands.

#include "engine/generation_p.h"

#include "foundation/values/variant.h"
#include "model/text_controls.h"

#include <algorithm>

#include <vector>

namespace vorel {

namespace {

// Everything the walk changes, saved before and restored after.
class TSavedState {
public:
    explicit TSavedState(TGenerationContext& context) : FContext(context)
    {
        TKVReport* report = context.Report;
        TKVXVariables* variables = report->Variables();
        for (int i = 0; i < variables->Count(); ++i) {
            TKVXVariable* variable = variables->GetVariable(i);
            FVariables.push_back({variable->CurValue(), variable->PrevValue(), variable->Calculation()->Running()});
        }
        for (TKVXBand* band : report->Bands()) {
            FBands.push_back({band, band->LineNo()});
            Save(band);
            for (TKVXControl* control : band->Objects())
                Save(control);
        }
        FBookmark = context.Master->GetBookmark();
        FRecordTaken = context.RecordTaken;
        FFootersTaken = context.FootersTaken;
        FRecordSerial = context.RecordSerial;
        FRetakenOn = context.RetakenOn;
        FGroupOpen = context.GroupOpen;
        FBreakPending = context.BreakPending;
        FBreakAfterRecord = context.BreakAfterRecord;
        FHeaderRunTop = context.HeaderRunTop;
        FLastPlacedTop = context.LastPlacedTop;
    }

    void Restore()
    {
        TKVReport* report = FContext.Report;
        // Back to the record first: a master-detail data set re-reads its
        // details on the move, and nothing below depends on the position.
        if (FBookmark.IsValid() && FContext.Master->Active())
            FContext.Master->GotoBookmark(FBookmark);
        TKVXVariables* variables = report->Variables();
        for (int i = 0; i < variables->Count() && size_t(i) < FVariables.size(); ++i) {
            TKVXVariable* variable = variables->GetVariable(i);
            variable->SetCurValue(FVariables[size_t(i)].Cur);
            variable->SetPrevValue(FVariables[size_t(i)].Prev);
            variable->Calculation()->Running() = FVariables[size_t(i)].Running;
        }
        for (const TBandLine& line : FBands)
            line.Band->SetLineNo(line.LineNo);
        for (const TControlValues& saved : FControls) {
            saved.Control->SetCurValue(saved.Cur);
            saved.Control->SetPrevValue(saved.Prev);
            saved.Control->SetCanBePrinted(saved.CanBePrinted);
            saved.Control->SetForcePrint(saved.ForcePrint);
            if (auto* expression = saved.Control->AsExpression())
                expression->Calculation()->Running() = saved.Running;
        }
        FContext.RecordTaken = FRecordTaken;
        FContext.FootersTaken = FFootersTaken;
        FContext.RecordSerial = FRecordSerial;
        FContext.RetakenOn = FRetakenOn;
        FContext.GroupOpen = FGroupOpen;
        FContext.BreakPending = FBreakPending;
        FContext.BreakAfterRecord = FBreakAfterRecord;
        FContext.HeaderRunTop = FHeaderRunTop;
        FContext.LastPlacedTop = FLastPlacedTop;
    }

private:
    struct TValues {
        Variant Cur;
        Variant Prev;
        TKVXCalculation::TRunning Running;
    };
    struct TBandLine {
        TKVXBand* Band;
        int LineNo;
    };
    struct TControlValues {
        TKVXControl* Control;
        Variant Cur;
        Variant Prev;
        bool CanBePrinted;
        bool ForcePrint;
        TKVXCalculation::TRunning Running;
    };

    void Save(TKVXControl* control)
    {
        TKVXCalculation::TRunning running;
        if (auto* expression = control->AsExpression())
            running = expression->Calculation()->Running();
        FControls.push_back({control, control->GetCurValue(), control->GetPrevValue(), control->CanBePrinted(),
                             control->ForcePrint(), running});
    }

    TGenerationContext& FContext;
    std::vector<TValues> FVariables;
    std::vector<TBandLine> FBands;
    std::vector<TControlValues> FControls;
    TBookmark FBookmark;
    bool FRecordTaken = false;
    bool FFootersTaken = false;
    int FRecordSerial = 0;
    std::vector<int> FRetakenOn;
    std::vector<char> FGroupOpen;
    bool FBreakPending = false;
    bool FBreakAfterRecord = false;
    int FHeaderRunTop = -1;
    int FLastPlacedTop = 0;
};

// The lookahead's layout: bands add their measured heights from top; the
// walk stops where the group would break its page (a band that does not
// fit, a nested header that would move) or where it ends (the next group's
// header, a band that asks for a new page after it).
class TMeasureLayout final : public TBandLayout {
public:
    TMeasureLayout(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared,
                   bool startsFresh)
        : FContext(context), FHeader(headerIndex), FTop(top), FBottom(bottom), FPrepared(headerPrepared),
          FStartsFresh(startsFresh)
    {
    }
    bool Painting() const override { return false; }
    int Top() const override { return FTop + Height; }
    int Bottom() const override { return FBottom; }
    bool ColumnHoldsData() const override { return true; } // the group's own header stands above
    // Headers opening their groups together at the top of a column.
    bool HeaderRunAtTop() const override { return FStartsFresh && FOnlyHeaders; }
    void Break(THeaderBreak why) override
    {
        // A nested header that moves on splits the group: it does not fit.
        // One that breaks by its NewPage ends the group's part here.
        if (why == THeaderBreak::NoRoom)
            Height = std::max(Height, FBottom - FTop + 1);
        Stopped = true;
    }
    void Place(TKVXBand* band, int /*index*/) override
    {
        const int height = MeasureBand(band, FTop + Height, FBottom);
        if (FContext.BreakPending && band->BandType() != btGroupFooter && height > 0) {
            Stopped = true; // a band with NewPage ended the page here
            return;
        }
        if (band->BandType() != btGroupHeader)
            FOnlyHeaders = false;
        // As painting would: the line number, the values shown.
        NotePrinted(band);
        Height += height;
        if (FTop + Height > FBottom)
            Stopped = true;
    }
    bool HeaderMayPrint(int index) override { return index != FHeader || FirstPass; }
    bool HeaderPrepared(int index) const override { return FPrepared && FirstPass && index == FHeader; }
    bool DecidesBreakOf(int index) const override { return index != FHeader; }

    int Height = 0; // report pixels measured so far
    bool FirstPass = true;

private:
    TGenerationContext& FContext;
    int FHeader;
    int FTop;
    int FBottom;
    bool FPrepared;
    bool FStartsFresh;
    bool FOnlyHeaders = true; // no other band placed yet
};

int Walk(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared, bool startsFresh)
{
    TKVReport* report = context.Report;
    TDataSet* master = context.Master;
    TKVXBand* header = report->Bands()[headerIndex];
    const int last = header->GetLinkedFooterIndex();
    header->SetLinkedBand(last);
    if (last < 0)
        return 0;
    TMeasureLayout layout(context, headerIndex, top, bottom, headerPrepared, startsFresh);
    context.BreakPending = false; // the group starts where it is measured from
    TRecordPass pass;
    while (!master->Eof() && !layout.Stopped) {
        UpdateDataBandStates(*report); // the record loop does so before every record pass
        pass.Advanced = false;
        if (!RunBands(context, pass, headerIndex, last, layout))
            break;
        layout.FirstPass = false;
        if (!pass.Advanced && !master->Eof()) {
            // No band between the header and its footer moved the master:
            // move it once, or this walk would repeat the same record.
            AdvanceRecord(context, last);
        }
        EndRecordPass(context);
    }
    return layout.Height;
}

} // namespace

int MeasureGroup(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared,
                 bool startsFresh)
{
    if (!context.Master || !context.Master->Active() || context.Master->Eof())
        return 0;
    TSavedState saved(context);
    int height = 0;
    try {
        height = Walk(context, headerIndex, top, bottom, headerPrepared, startsFresh);
    } catch (...) {
        try {
            saved.Restore();
        } catch (const std::exception&) {
            // the first error is the one to report
        }
        throw;
    }
    saved.Restore();
    return height;
}

int TKVXBand::GetFullGroupHeight(int top, int bottom)
{
    TKVReport* report = Report();
    const int index = GetBandIndex();
    if (FBandType != btGroupHeader || !report || index < 0)
        return 0;
    TGenerationContext fallback;
    TGenerationContext& context = GenerationFor(report, fallback);
    return MeasureGroup(context, index, top, bottom, false, report->intCurHeight == context.FreshTop);
}

} // namespace vorel
