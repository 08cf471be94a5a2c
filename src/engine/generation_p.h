#pragma once
// Internal to the band generation engine: the state one PrepareReport keeps
// beside its report, and the steps that the record loop (band_engine.cpp)
// and the group lookahead (group_lookahead.cpp) share, so that the
// lookahead simulates exactly what the loop will do.
//
// All positions are report pixels, y growing downwards.

#include "model/report.h"

namespace vorel {

// The generation of one report, registered while its PrepareReport runs so
// that the band operations called from inside (PrintBand, the lookahead,
// the aggregate resets) find it. Outside a generation those operations work
// on a context made for the call.
struct TGenerationContext {
    TKVReport* Report = nullptr;
    TDataSet* Master = nullptr;
    // A report without a detail band advances the master once per record
    // pass before the band at this index, as if an empty detail band stood
    // there (just before the footers, by rank); -1 when a detail band exists.
    // Without it nothing would ever move the master and the record loop
    // would not end.
    int VirtualDetailIndex = -1;
    // Whether the running values of the non-footer bands have taken the
    // current master record (after the bar's first update, or after a
    // record advance that found a record). A page or group reset while it
    // is set lets them take that record again, so that the record printed
    // first after the reset is counted after it, not lost.
    bool RecordTaken = false;
    // Whether the group footers have taken the current record (the end of
    // a record pass); a nested lookahead may end a pass the outer walk then
    // ends again, and a footer's running value must advance once a record.
    bool FootersTaken = false;
    // intCurHeight once NewPage had set up the current column (after its
    // page and column bands and repeated group headers); while the cursor
    // still stands there the column holds nothing of the data.
    int FreshTop = -1;
    // Whether the first page of a bar has other room than the later ones
    // (a report title, or a page header or footer that skips it).
    bool FirstPageDiffers = false;
};

// Registers a context for its report for the lifetime of the scope.
class TGenerationScope {
public:
    explicit TGenerationScope(TGenerationContext& context);
    ~TGenerationScope();
    TGenerationScope(const TGenerationScope&) = delete;
    TGenerationScope& operator=(const TGenerationScope&) = delete;

private:
    TGenerationContext* FContext;
};

// The context of the report's running generation, or nullptr.
TGenerationContext* ActiveGeneration(const TKVReport* report);
// The running context, or one made in fallback for a call from outside.
TGenerationContext& GenerationFor(TKVReport* report, TGenerationContext& fallback);
// Fills Master, VirtualDetailIndex and FirstPageDiffers from the report.
void InitGenerationContext(TGenerationContext& context, TKVReport* report);

// Where one walk over the bands stands within a record pass.
struct TRecordPass {
    // Index of the sub-detail band after which the master advances (the
    // last sub-detail band following the detail band just processed), or
    // -1 when the detail band advances it itself.
    int SubDetailAdvance = -1;
    // Whether a band of this pass moved the master.
    bool Advanced = false;
};

// Whether the band prints in this record pass: detail and sub-detail bands
// always; a group band when its value changed, or a group footer when the
// master is at its end.
bool BandPrints(TKVXBand* band, TDataSet* master);

// Equal group values: both set and equal. A Null value never continues a
// group (the values of a group are Null after its footer printed).
bool SameGroupValue(const Variant& a, const Variant& b);

// A group header about to print: the variables, then every band, for the
// header's group.
void PrepareGroupHeader(TKVReport* report, TKVXBand* header);

// What follows a band of the record pass: for a detail band, remember
// whether sub-details follow; then move the master when this band is the
// one that advances it (a detail band without sub-details after it, or the
// last sub-detail band after the detail). Returns whether it moved.
bool AdvanceAfterBand(TGenerationContext& context, TRecordPass& pass, int bandIndex);

// The record advance after the band at bandIndex: the master moves to its
// next record; unless that reached the end, the variables and then every
// band but the group footers take the new record; then every group footer
// after bandIndex evaluates its group value for it.
void AdvanceRecord(TGenerationContext& context, int bandIndex);

// The end of a record pass, the new record already current: the group
// footers take it (their running values lag one record behind the other
// bands, so that a footer prints the values of its group's last record).
void EndRecordPass(TGenerationContext& context);

// After a group footer has printed: its group's running values start over
// (and the non-footer bands take the current record again).
void ResetGroupAfterFooter(TGenerationContext& context, TKVXBand* footer);

// Page or group reset point: ResetPrintedValues, then, while the current
// record has been taken, the reset running values of the variables and of
// the non-footer bands take it again.
void ResetRunningValues(TGenerationContext& context, TResetType resetType, const QString& groupName);

// Measures the band (calculate only) from top and returns its height.
int MeasureBand(TKVXBand* band, int top, int bottom);

// The group lookahead (group_lookahead.cpp): the height the group whose
// header stands at headerIndex needs from top, not looking past bottom,
// with everything the simulation changed put back afterwards.
// headerPrepared: the header's group value and group triggers have already
// been run for the current record (the record loop runs them before it
// asks), so the walk does not run them twice.
int MeasureGroup(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared);

// The bands whose controls without a running value are taken right before
// the band prints instead of at every record: the page-level bands
// (report title, page and column headers and footers, printed by NewPage),
// the report summary and the group headers. What they show is the same
// (the current record), and a record whose pass prints none of them costs
// nothing for them. Group footers are not among them: they show the last
// record of their group while the next one is already current.
bool TakesValuesWhenPrinted(TBandType type);

// A label-family control whose value is taken afresh each time (a label,
// system data, or an expression without a running calculation that
// recomputes on every record): taking it again changes nothing else.
bool HoldsNoRunningValue(TKVXControl* control);

// Takes the values of the band's controls that hold no running value.
void TakeValuesForPrinting(TKVXBand* band);

// The record advance's update of the bands: UpdateCurValues with
// uvWithoutGroupFooter and no names, leaving out the controls that
// TakesValuesWhenPrinted bands take when they print.
void UpdateBandsForRecord(TKVReport& report);

// The user asked the progress window to stop.
bool GenerationCanceled();

} // namespace vorel
