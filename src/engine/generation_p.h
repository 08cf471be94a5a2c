#pragma once
// Internal to the band generation engine: the state one PrepareReport keeps
// beside its report, and the one band step that the record loop
// (band_engine.cpp) and the group lookahead (group_lookahead.cpp) both run,
// so that the lookahead measures exactly what the loop will print. Where
// each rule is decided: src/engine/README.md.
//
// All positions are report pixels, y growing downwards.

#include "model/report.h"

#include <vector>

namespace vorel {

class TKVXExpression;

// A bottom-anchored band (page or column footer) whose room is reserved when
// its page or column begins and which paints when it ends, so that its
// running values are those of its own page or column.
struct TReservedBand {
    TKVXBand* Band = nullptr;
    int Top = 0;    // report pixels
    int Height = 0; // report pixels, as measured when reserved
    int ColumnLeft = 0; // report pixels: intColumnLeft when reserved (a page footer spans from the first column)
};

// A value a control showed, kept for a reprint.
struct TKeptValue {
    TKVXControl* Control;
    Variant Value;
    bool CanBePrinted;
};

// The aggregates outside a sub-detail band that read its data set's fields:
// each row of that band advances them (an invoice total over its lines).
struct TRowSteps {
    int BandIndex = -1;
    std::vector<TKVXExpression*> Controls;
    std::vector<TKVXVariable*> Variables;
};

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

    // Pages and columns begun so far, and the one on which the current
    // record's values were taken: a band placed on a later page takes its
    // page-dependent values (PageNo, print-when conditions) again.
    int PageSerial = 0;
    int RecordSerial = 0;
    std::vector<int> RetakenOn; // per band index: the PageSerial of its last retake
    // Per band index: a group header printed and its footer not yet (the
    // group is open, so a new page or column repeats a ReprintHeader header).
    std::vector<char> GroupOpen;
    // A band with NewPage has printed: the next band of the flow that starts
    // a record or group (not a footer closing one) and prints something
    // begins a new page or column.
    bool BreakPending = false;
    // A detail band with NewPage has printed: the break waits until the
    // master moves on, so that the record keeps its sub-detail rows.
    bool BreakAfterRecord = false;
    // The group headers printed one after another in this pass began at this
    // cursor position (-1: no such run): headers that open their groups
    // together are no data for each other's NewPage.
    int HeaderRunTop = -1;
    // Where the band placed last was painted (report pixels).
    int LastPlacedTop = 0;
    // PageSerial when the group footers took their record (the end of a
    // record pass): a footer placed on a later page takes its page values
    // again, for that record.
    int FootersSerial = 0;
    // The page break under way moves a detail or sub-detail band that did
    // not fit (the print-when setting OnOverflow looks at it).
    bool Overflowing = false;
    TReservedBand PageFooter;
    TReservedBand ColumnFooter;
    // Controls whose print-when settings print a suppressed repeated value
    // anyway at a new page, a group change or an overflow.
    std::vector<TKVXControl*> ForcePrintControls;
    std::vector<TRowSteps> RowSteps;

    // The per-band state of the band at index (grown when an event handler
    // added bands while the report generates).
    int& RetakenOnOf(int index) { return Grown(RetakenOn, index, -1); }
    char& GroupOpenOf(int index) { return Grown(GroupOpen, index, char(0)); }
    // What the group header at index showed when it printed last.
    std::vector<TKeptValue>& HeaderShownOf(int index) { return Grown(HeaderShown, index, {}); }
    std::vector<std::vector<TKeptValue>> HeaderShown;

private:
    template <typename T>
    static T& Grown(std::vector<T>& values, int index, T fill)
    {
        if (size_t(index) >= values.size())
            values.resize(size_t(index) + 1, fill);
        return values[size_t(index)];
    }
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
// Fills the context from the report: the master, where a missing detail
// band would stand, the per-band state and the force-print controls.
void InitGenerationContext(TGenerationContext& context, TKVReport* report);
// Finds the aggregates outside each sub-detail band that read its data
// set's fields and marks their RowSource (a PrepareReport does, once).
void MarkRowSources(TGenerationContext& context);
// Clears the RowSource marks.
void EndGenerationContext(TGenerationContext& context);

// Where one walk over the bands stands within a record pass.
struct TRecordPass {
    // Index of the sub-detail band after which the master advances (the
    // last sub-detail band following the detail band just processed), or
    // -1 when the detail band advances it itself.
    int SubDetailAdvance = -1;
    // Whether a band of this pass moved the master.
    bool Advanced = false;
};

// Why a group header starts a new page or column before it prints.
enum class THeaderBreak {
    None,
    Forced, // its NewPage, while the column already holds data
    NoRoom, // less room than LessThan, or (NewPageIfNotFit) its group does not fit
};

// Where a band step puts the bands it prints: on the pages (the record loop)
// or into a tally of heights (the group lookahead). The step decides what
// prints and in which order; the layout decides what "does not fit" does.
class TBandLayout {
public:
    virtual ~TBandLayout() = default;
    // Whether bands are painted on pages (the record loop).
    virtual bool Painting() const = 0;
    // The next band's top and the lowest position a band may reach.
    virtual int Top() const = 0;
    virtual int Bottom() const = 0;
    // Whether the current column already holds something of the data.
    virtual bool ColumnHoldsData() const = 0;
    // Whether the group headers printed just before in this pass began on
    // a column that held nothing of the data (then they are no data for a
    // following header's NewPage).
    virtual bool HeaderRunAtTop() const = 0;
    // A group header decided to break before it.
    virtual void Break(THeaderBreak why) = 0;
    // Places a band of the flow: measured, moved to a new page or column
    // when it does not fit, painted (or, measuring, added to the tally).
    virtual void Place(TKVXBand* band, int index) = 0;
    // Whether the group header at index may print in this pass: the
    // lookahead stops where its own group ends and the next one begins.
    virtual bool HeaderMayPrint(int /*index*/) { return true; }
    // Whether the header at index has been prepared by the caller for this
    // pass (its group value and triggers run): the lookahead's own header
    // on its first pass, which the record loop prepared before asking.
    virtual bool HeaderPrepared(int /*index*/) const { return false; }
    // Whether the header at index decides its own break (the lookahead's
    // own header does not: the lookahead is how it decides).
    virtual bool DecidesBreakOf(int /*index*/) const { return true; }
    // Set when the walk must end here (the lookahead found its answer).
    bool Stopped = false;
};

// The band step of band index in a record pass, printing through layout:
// group values and which bands print, a group header's triggers and break
// decision, the band (or a sub-detail band's rows) placed, what printing it
// closes or opens, and the record advance. One step for the record loop and
// the lookahead.
void BandStep(TGenerationContext& context, TRecordPass& pass, int index, TBandLayout& layout);

// The bands from..to of one record pass through layout, with the advance of
// a report without a detail band where that band would stand; stops early
// when the layout stops or, painting, when the user cancels. Returns false
// when it stopped early.
bool RunBands(TGenerationContext& context, TRecordPass& pass, int from, int to, TBandLayout& layout);

// Whether the band prints in this record pass: detail and sub-detail bands
// always; a group band when its value changed, or a group footer when the
// master is at its end.
bool BandPrints(TKVXBand* band, TDataSet* master);

// Whether the header about to print breaks before it, from a cursor at top
// with bottom as the limit. columnHoldsData: something of the data stands
// above it in its column (headers printed with it in this pass do not
// count).
THeaderBreak DecideHeaderBreak(TGenerationContext& context, int index, int top, int bottom, bool columnHoldsData);

// What painting a band does to its controls besides the page, done for a
// band that is measured in its place (the lookahead) or whose controls lie
// on another bar: its line number advances, and its text controls remember
// the value they showed and drop a forced print.
void NotePrinted(TKVXBand* band);
void NotePainted(TKVXControl* control);

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

// Page or group reset point: ResetPrintedValues, then, while the current
// record has been taken, the reset running values of the variables and of
// the bands that take records at the record advance take it again.
void ResetRunningValues(TGenerationContext& context, TResetType resetType, const QString& groupName);

// The page bands' running values take the record a data band has just
// printed, so that a page footer sums its own page.
void StepPageBands(TGenerationContext& context);
// The aggregates outside a sub-detail band that its current row advances.
void StepRowAggregates(TGenerationContext& context, int subDetailIndex);

// A band that does not fit the free space of an empty page or column
// (band_split.cpp): painted part by part over as many pages as it needs;
// height is its measured height.
void PrintAcrossPages(TKVReport& report, TGenerationContext& context, TKVXBand* band, int height);

// The group band's expression evaluated for the current record, as its
// value (Null for a value that evaluates to nothing).
Variant EvaluateGroupValue(TKVReport* report, const TKVXBand* band);

// Measures the band (calculate only) from top and returns its height.
int MeasureBand(TKVXBand* band, int top, int bottom);

// The group lookahead (group_lookahead.cpp): the height the group whose
// header stands at headerIndex needs from top, not looking past bottom,
// with everything the simulation changed put back afterwards; more than
// bottom - top when it does not fit. headerPrepared: the header's group
// value and group triggers have already been run for the current record
// (the record loop runs them before it asks).
// startsFresh: the header stands where its column holds nothing of the data
// (so a nested header's NewPage does not break there).
int MeasureGroup(TGenerationContext& context, int headerIndex, int top, int bottom, bool headerPrepared,
                 bool startsFresh);

// The bands printed by NewPage (report title, page and column headers and
// footers): their values and print-when conditions are taken when their
// page or column begins, and their running values advance when a data band
// prints.
bool IsPageBand(TBandType type);

// The bands whose controls without a running value are taken right before
// the band prints instead of at every record: the page bands, the report
// summary and the group headers. What they show is the same (the current
// record), and a record whose pass prints none of them costs nothing for
// them. Group footers are not among them: they show the last record of
// their group while the next one is already current.
bool TakesValuesWhenPrinted(TBandType type);

// A label-family control whose value is taken afresh each time (a label,
// system data, or an expression without a running calculation that
// recomputes on every record): taking it again changes nothing else.
bool HoldsNoRunningValue(TKVXControl* control);

// Whether a pass whose pages are only counted may leave the bands' running
// values uncomputed (TKVReport::ValuesUnseen): nothing it runs reads them.
bool NothingSeesRunningValues(const TKVReport& report);

// Takes the values of the band's controls that hold no running value.
void TakeValuesForPrinting(TKVXBand* band);

// The record advance's update of the bands: UpdateCurValues with
// uvWithoutGroupFooter and no names, leaving out the controls that
// TakesValuesWhenPrinted bands take when they print, the page bands'
// running values, sub-detail bands over their own data set (their rows
// advance them) and the aggregates those rows advance.
void UpdateBandsForRecord(TGenerationContext& context);

// Refreshes CanBePrinted of every band that is not a page band.
void UpdateDataBandStates(TKVReport& report);

// The application or the user (the progress window's Cancel) asked the
// report to stop (TKVPrintBaseComponent::CancelPending).
bool GenerationCanceled(TKVReport& report);

} // namespace vorel
