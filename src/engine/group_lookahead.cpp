// The group lookahead: how much height the group starting at the current
// record needs, found by simulating the record loop without painting, then
// putting everything back (values, line numbers, print-when results and the
// master's position).
//
// Two ways a walk could run for ever are closed here:
//   - a group whose records are walked only by a nested group's lookahead:
//     the nested walk consumes the records it measured (the outer walk goes
//     on from where it stopped), so the outer walk advances with it;
//   - a walk pass in which no band moves the master (no detail band between
//     the header and its footer): the pass moves it once, as the record loop
//     does for a report without a detail band.
// So every pass either moves the master or ends the walk.

#include "engine/generation_p.h"

#include "foundation/variant.h"

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
            const TKVXVariable* variable = variables->GetVariable(i);
            FVariables.push_back({variable->CurValue(), variable->PrevValue()});
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
        }
        for (const TBandLine& line : FBands)
            line.Band->SetLineNo(line.LineNo);
        for (const TControlValues& saved : FControls) {
            saved.Control->SetCurValue(saved.Cur);
            saved.Control->SetPrevValue(saved.Prev);
            saved.Control->SetCanBePrinted(saved.CanBePrinted);
        }
        FContext.RecordTaken = FRecordTaken;
        FContext.FootersTaken = FFootersTaken;
    }

private:
    struct TValues {
        Variant Cur;
        Variant Prev;
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
    };

    void Save(TKVXControl* control)
    {
        FControls.push_back({control, control->GetCurValue(), control->GetPrevValue(), control->CanBePrinted()});
    }

    TGenerationContext& FContext;
    std::vector<TValues> FVariables;
    std::vector<TBandLine> FBands;
    std::vector<TControlValues> FControls;
    TBookmark FBookmark;
    bool FRecordTaken = false;
    bool FFootersTaken = false;
};

// The walk of the group whose header stands at headerIndex. headerPrepared:
// the caller has already evaluated the header's group value for the current
// record and run its group triggers (the record loop has, when it asks
// before printing the header), so the first pass does not run them twice.
int Walk(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared)
{
    TKVReport* report = context.Report;
    TDataSet* master = context.Master;
    const QList<TKVXBand*>& bands = report->Bands();
    TKVXBand* header = bands[headerIndex];
    const int last = header->GetLinkedFooterIndex();
    header->SetLinkedBand(last);
    if (last < 0)
        return 0;
    const Variant remembered = header->GetCurValue();

    int acc = 0; // report pixels measured so far
    bool stop = false;
    bool firstPass = true;
    TRecordPass pass;
    while (!master->Eof() && !stop) {
        report->UpdateControlStates(); // the record loop does so before every record pass
        pass.Advanced = false;
        for (int j = headerIndex; j <= last && !stop; ++j) {
            if (j == context.VirtualDetailIndex && j > headerIndex) {
                AdvanceRecord(context, j - 1);
                pass.Advanced = true;
            }
            TKVXBand* g = bands[j];
            const bool prepared = headerPrepared && firstPass && j == headerIndex;
            if (g->GetIsGroup() && !prepared)
                g->UpdateGroupValue();
            if (!prepared && !BandPrints(g, master))
                continue;
            if (g->BandType() == btGroupHeader) {
                if (!prepared) {
                    PrepareGroupHeader(report, g);
                    TakeValuesForPrinting(g);
                }
                if (j == headerIndex && !firstPass && !SameGroupValue(g->GetCurValue(), remembered)) {
                    stop = true; // the next group has begun
                    break;
                }
                if (g->NewPage()) {
                    // The group breaks here whatever its height.
                    stop = true;
                    break;
                }
                if (double(top + acc) + g->LessThan() > double(bottom)) {
                    // A nested header that will move to the next page
                    // splits the group: it does not fit.
                    if (j != headerIndex)
                        acc = std::max(acc, bottom - top + 1);
                    stop = true;
                    break;
                }
                if (j != headerIndex && g->NewPageIfNotFit() && g->GetLinkedFooterIndex() > j) {
                    // The nested group measures itself and consumes its
                    // records; the walk goes on after its footer. The nested
                    // walk ends on the header of the next nested group (its
                    // value evaluated, not yet printed), which the next pass
                    // then prints.
                    const int nestedFooter = g->GetLinkedFooterIndex();
                    const qint64 before = master->RecNo();
                    const bool wasEof = master->Eof();
                    acc += Walk(context, j, top + acc, bottom, true);
                    if (top + acc > bottom) {
                        stop = true; // counted in, so that the caller sees it does not fit
                        break;
                    }
                    if (master->RecNo() != before || master->Eof() != wasEof)
                        pass.Advanced = true;
                    j = nestedFooter; // continue after the nested footer
                    continue;
                }
            }
            if (g->BandType() != btSubDetail)
                acc += MeasureBand(g, top + acc, bottom);
            if (top + acc > bottom && !master->Eof()) {
                stop = true;
                break;
            }
            if (g->BandType() == btGroupFooter)
                ResetGroupAfterFooter(context, g);
            else if (g->BandType() == btGroupHeader)
                g->SetPrevValue(g->GetCurValue());
            AdvanceAfterBand(context, pass, j);
        }
        firstPass = false;
        if (stop)
            break;
        if (!pass.Advanced && !master->Eof()) {
            // No band between the header and its footer moved the master:
            // move it once, or this walk would repeat the same record.
            AdvanceRecord(context, last);
        }
        EndRecordPass(context);
    }
    return acc;
}

} // namespace

int MeasureGroup(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared)
{
    if (!context.Master || !context.Master->Active() || context.Master->Eof())
        return 0;
    TSavedState saved(context);
    int height = 0;
    try {
        height = Walk(context, headerIndex, top, bottom, headerPrepared);
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
    return MeasureGroup(context, index, top, bottom, false);
}

} // namespace vorel
