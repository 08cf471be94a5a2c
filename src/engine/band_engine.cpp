// The designed report's generation: PrepareReport walks the master data set
// record by record over every bar, deciding for each record which bands
// print and breaking pages and columns when a band does not fit; NewPage
// ends a column or page and sets up the next one with its page and column
// bands.
//
// The cursor (report pixels, y downwards): intCurHeight is the top of the
// next band, intMaxPageHeight the lowest position a band may reach (it
// shrinks as the page and column footers reserve their room). A band is
// measured first and painted with the measured height; a band that does not
// fit moves to a new page or column when that gives it more room, and a
// band that does not fit an empty one continues over the next pages in
// parts, so every page takes something and generation ends.

#include "engine/generation_p.h"

#include "expr/expressions.h"
#include "foundation/language/language.h"
#include "frame/user_interface.h"
#include "graphics/canvas.h"
#include "model/text_controls.h"

#include <QSet>

namespace vorel {

namespace {

constexpr int kTextPropertyNotSpecified = 2076; // "Property %s wasn't specified."
constexpr int kTextDatasetNotActive = 2077;     // "Dataset is not active."

// Reports whose first pass of a two-pass preparation ended at a cancelled
// parameter dialog: their second pass generates nothing either. Only
// compared, never dereferenced.
thread_local QSet<const TKVReport*> tParametersCancelled;

int ColumnCount(const TKVReport& report)
{
    return std::max(1, report.ColumnNumber());
}

// The room the body of a later page offers (report pixels): the page less
// its margins and the page and column bands printed there, measured now.
int LaterPageRoom(TKVReport& report)
{
    const TPageInfo* page = report.CurrentPage();
    if (!page)
        return 0;
    int room = page->PageHeight() - page->OffsetTop - page->OffsetBottom;
    QList<TBandType> types{btPageHeader, btPageFooter};
    if (ColumnCount(report) > 1)
        types << btColumnHeader << btColumnFooter;
    for (const TBandType type : types)
        if (TKVXBand* band = report.GetBand(report.GetIndexBand(type)))
            room -= MeasureBand(band, page->OffsetTop, page->PageHeight() - page->OffsetBottom);
    return room;
}

// Whether moving a band that does not fit to the next column or page can
// give it more room. A column holding nothing of the data has as much room
// as the next one, unless it lies on the first page of a bar that differs
// from the later pages (a title, page bands that skip it) and a later page
// offers more; moving would only leave it empty.
bool MoveCanHelp(TKVReport& report, const TGenerationContext& context)
{
    if (report.intCurHeight != context.FreshTop)
        return true;
    if (report.intCurColumn < ColumnCount(report) - 1)
        return false;
    if (report.intCurPage != 0 || !context.FirstPageDiffers)
        return false;
    return LaterPageRoom(report) > report.intMaxPageHeight - report.intCurHeight;
}

// A band of height does not fit below the cursor.
bool Overflows(const TKVReport& report, int height)
{
    return report.intCurHeight + height > report.intMaxPageHeight;
}

// Paints the band below the cursor with its measured height and moves the
// cursor past it. A stretching band's painted height leaves out the
// controls of other bars, which its measured height counts, so the cursor
// moves by the larger of the two: every bar gets the same layout, and a
// band that paints taller than it measured (a highlight's larger font)
// does not run into the next one.
void PaintAtCursor(TKVReport& report, TKVXBand* band, int height)
{
    const int painted = band->PrintBand(report.intCurHeight, report.intCurHeight + height, 0);
    report.intCurHeight += std::max(height, painted);
    report.intLastPageHeight = painted;
}

void PrintAtCursor(TKVReport& report, TKVXBand* band)
{
    PaintAtCursor(report, band, MeasureBand(band, report.intCurHeight, report.intMaxPageHeight));
}

// Bottom-anchored: the band's room is taken from the bottom now (by the
// measured height, the same on every bar); it paints there when its page
// or column ends.
void ReserveAtBottom(TKVReport& report, TKVXBand* band, TReservedBand& slot)
{
    const int height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
    slot = {band, report.intMaxPageHeight - height, height, report.intColumnLeft};
    report.intMaxPageHeight -= height;
}

void PaintReserved(TKVReport& report, TReservedBand& slot)
{
    if (!slot.Band)
        return;
    TKVXBand* band = slot.Band;
    slot.Band = nullptr;
    const int columnLeft = report.intColumnLeft;
    report.intColumnLeft = slot.ColumnLeft;
    report.intLastPageHeight = band->PrintBand(slot.Top, slot.Top + slot.Height, 0);
    report.intColumnLeft = columnLeft;
}

// Page, bar and column numbers of a band's system data controls.
void RefreshSysDataPages(TKVXBand* band)
{
    if (band->Report() && band->Report()->ValuesUnseen())
        return;
    for (TKVXControl* control : band->Objects())
        if (auto* sysData = qobject_cast<TKVXSysData*>(control)) {
            const TKVXSysDataType kind = sysData->SysData();
            if (kind == sdPageNo || kind == sdBarNo || kind == sdColumnNo)
                sysData->UpdateCurValue();
        }
}

// A group footer shows its group's last record with values taken for it at
// the end of the previous pass (the variables too): on a later page only
// what names the page is taken again, its system data page numbers and the
// expressions that name PageNo and the like. While the footers' record is
// still current (a page begun before the master moved on in this pass) they
// are taken as they stand. Once the master has moved on, at the record
// before the current (at the end of the data the last record is still
// current), and an expression that also names a report variable keeps its
// value, since the variables have moved on with the master.
void RetakeFooterPages(TGenerationContext& context, TKVXBand* footer)
{
    static const QStringList pageNames{QStringLiteral("PageNo"),   QStringLiteral("PageCount"),
                                       QStringLiteral("ColumnNo"), QStringLiteral("ColumnCount"),
                                       QStringLiteral("BarNo"),    QStringLiteral("BarCount")};
    TKVReport* report = context.Report;
    if (report->ValuesUnseen())
        return;
    TKVXDataManager* manager = report->GetDataManager();
    const bool atTakenRecord = context.FootersTaken;
    QStringList variableNames;
    if (!atTakenRecord)
        for (int i = 0; i < report->Variables()->Count(); ++i)
            variableNames << report->Variables()->GetVariable(i)->Name();
    std::vector<TKVXControl*> namesPage;
    for (TKVXControl* control : footer->Objects()) {
        auto* expression = control->AsExpression();
        if (!expression || !HoldsNoRunningValue(expression))
            continue;
        const QString& text = expression->Expression();
        if (ExpressionNamesVariable(manager, text, pageNames, report->VariableEvent())
            && (atTakenRecord || !ExpressionNamesVariable(manager, text, variableNames, report->VariableEvent())))
            namesPage.push_back(expression);
    }
    RefreshSysDataPages(footer);
    if (namesPage.empty())
        return;
    TDataSet* master = context.Master;
    const bool back = !atTakenRecord && !master->Eof() && !master->Bof();
    if (back)
        master->Prior();
    try {
        for (TKVXControl* control : namesPage)
            control->UpdateCurValue();
    } catch (...) {
        if (back)
            master->Next();
        throw;
    }
    if (back)
        master->Next();
}

// The group footers on a new page or column, while their record is current.
void RetakeFootersForPage(TGenerationContext& context)
{
    if (!context.FootersTaken || !context.RecordTaken)
        return;
    const QList<TKVXBand*>& bands = context.Report->Bands();
    for (int i = 0; i < bands.size(); ++i)
        if (bands[i]->BandType() == btGroupFooter) {
            RetakeFooterPages(context, bands[i]);
            context.RetakenOnOf(i) = context.PageSerial;
        }
}

// The page-dependent values of a band placed on another page or column than
// the one its values were taken on (PageNo, ColumnNo, print-when
// conditions): a row first on page 2 shows page 2.
void RetakeForPage(TGenerationContext& context, TKVXBand* band, int index)
{
    const TBandType type = band->BandType();
    if (IsPageBand(type))
        return;
    const bool footer = type == btGroupFooter;
    int& retaken = context.RetakenOnOf(index);
    if (std::max(footer ? context.FootersSerial : context.RecordSerial, retaken) == context.PageSerial)
        return;
    retaken = context.PageSerial;
    if (footer)
        RetakeFooterPages(context, band);
    else {
        TakeValuesForPrinting(band);
        context.Report->UpdateControlStates(band);
    }
}

// The one "does this band fit, else break" step of every band that flows
// with the data (record bands, sub-detail rows, group bands, the summary):
// measured; a new page asked for by an earlier band taken; moved to a new
// page or column when it does not fit and moving can help, measured again
// there (its page values may change); painted. A band that does not fit
// even an empty page continues over the next ones (band_split.cpp).
void PrintFlowing(TKVReport& report, TGenerationContext& context, TKVXBand* band, int index)
{
    RetakeForPage(context, band, index);
    int height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
    // A new page asked for after an earlier band is taken by the next band
    // that prints something and starts a record or a group; the footers
    // closing the group stay with it.
    if (context.BreakPending && height > 0 && band->BandType() != btGroupFooter) {
        context.BreakPending = false;
        if (report.intCurHeight != context.FreshTop) {
            report.NewPage(false);
            RetakeForPage(context, band, index);
            height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
        }
    }
    if (Overflows(report, height) && MoveCanHelp(report, context)) {
        const TBandType type = band->BandType();
        context.Overflowing = type == btDetail || type == btSubDetail;
        report.NewPage(false);
        context.Overflowing = false;
        RetakeForPage(context, band, index);
        height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
    }
    context.LastPlacedTop = report.intCurHeight;
    if (Overflows(report, height) && report.intCurHeight == context.FreshTop)
        PrintAcrossPages(report, context, band, height);
    else
        PaintAtCursor(report, band, height);
}

// The record loop's layout: bands go on the pages.
class TPageLayout final : public TBandLayout {
public:
    TPageLayout(TKVReport& report, TGenerationContext& context) : FReport(report), FContext(context) {}
    bool Painting() const override { return true; }
    int Top() const override { return FReport.intCurHeight; }
    int Bottom() const override { return FReport.intMaxPageHeight; }
    bool ColumnHoldsData() const override { return FReport.intCurHeight != FContext.FreshTop; }
    bool HeaderRunAtTop() const override
    {
        return FContext.HeaderRunTop >= 0 && FContext.HeaderRunTop == FContext.FreshTop;
    }
    void Break(THeaderBreak why) override
    {
        if (why == THeaderBreak::Forced || MoveCanHelp(FReport, FContext))
            FReport.NewPage(false);
    }
    void Place(TKVXBand* band, int index) override { PrintFlowing(FReport, FContext, band, index); }

private:
    TKVReport& FReport;
    TGenerationContext& FContext;
};

void PrintSummary(TKVReport& report, TGenerationContext& context)
{
    const int index = report.GetIndexBand(btReportSummary);
    TKVXBand* summary = report.GetBand(index);
    if (!summary)
        return;
    // A page of its own, unless nothing of the data stands on this one. A
    // new page asked for after the last record or group separates records
    // from each other: the summary stays with the last of them.
    context.BreakPending = summary->NewPage();
    TakeValuesForPrinting(summary);
    context.RetakenOnOf(index) = context.PageSerial;
    PrintFlowing(report, context, summary, index);
}

// The page and column footers of the page or column that ends.
void FinishColumn(TKVReport& report, TGenerationContext& context)
{
    PaintReserved(report, context.ColumnFooter);
}

void FinishPage(TKVReport& report, TGenerationContext& context)
{
    PaintReserved(report, context.ColumnFooter);
    PaintReserved(report, context.PageFooter);
}

void GenerateBar(TKVReport& report, TGenerationContext& context, int bar)
{
    TDataSet* master = context.Master;
    // The previous bar's last page ends with the values it printed, before
    // the bar's reset empties them.
    FinishPage(report, context);
    // Every bar walks the same records: a report wider than the paper shows
    // on each bar that bar's columns of the same rows.
    if (bar > 1)
        master->First();
    report.ResetPrintedValues(rtEndReport, QString());
    context.RecordTaken = !master->Eof();
    context.FootersTaken = true;
    context.BreakPending = false;
    std::fill(context.GroupOpen.begin(), context.GroupOpen.end(), 0);
    report.UpdateCurValues(-1, -1, uvOnlyCustomVariables, QString(), QString());
    // Every band takes the first record, but the page bands (they take
    // theirs when their page begins) and the rows of sub-detail bands.
    UpdateBandsForRecord(context);
    report.UpdateCurValues(-1, -1, uvOnlyGroupFooter, QString(), QString());
    context.RecordSerial = context.PageSerial;
    context.FootersSerial = context.PageSerial;
    report.NewPage(bar > 1);
    report.boolWasNewPage = true;

    TPageLayout layout(report, context);
    TRecordPass pass;
    const int last = report.BandCount() - 1;
    while (!master->Eof() && !GenerationCanceled(report)) {
        UpdateDataBandStates(report);
        pass.Advanced = false;
        if (!RunBands(context, pass, 0, last, layout))
            break; // cancelled
        EndRecordPass(context);
    }
    PrintSummary(report, context);
}

// Whether the current record still belongs to the header's group.
bool StillInGroup(TKVReport& report, TGenerationContext& context, TKVXBand* header)
{
    if (context.Master->Eof())
        return false;
    return !GroupValueDiffers(EvaluateGroupValue(&report, header), header->GetCurValue());
}

// The page bands take their values and print-when conditions when their
// page or column begins: an expression such as 'Page ' + INTTOSTR(PageNo),
// or a condition PageNo > 1, names the page now beginning.
void RefreshPageValues(TKVReport& report, bool newPage)
{
    // Page, bar and column numbers wherever they stand.
    for (TKVXBand* band : report.Bands())
        RefreshSysDataPages(band);
    // A new column of the same page keeps the page bands' values: its page
    // footer shows the record that opened the page.
    for (const TBandType type : {btReportTitle, btPageHeader, btPageFooter, btColumnHeader, btColumnFooter})
        if (TKVXBand* band = report.GetBand(report.GetIndexBand(type));
            band && (newPage || type == btColumnHeader || type == btColumnFooter)) {
            report.UpdateControlStates(band);
            TakeValuesForPrinting(band);
        }
}

// A group still open (its header printed, its footer not yet) gets its
// header again at the top of a new page or column, without a space test.
void ReprintGroupHeaders(TKVReport& report, TGenerationContext& context)
{
    const QList<TKVXBand*>& bands = report.Bands();
    for (int i = 0; i < bands.size(); ++i) {
        TKVXBand* band = bands[i];
        if (band->BandType() != btGroupHeader || !band->ReprintHeader() || !context.GroupOpenOf(i))
            continue;
        if (band->GetLinkedFooterIndex() < 0)
            continue;
        if (StillInGroup(report, context, band)) {
            report.UpdateControlStates(band);
            TakeValuesForPrinting(band);
            PrintAtCursor(report, band);
            continue;
        }
        // The group's footer moved here after the master left the group:
        // the header shows what it showed, with this page's numbers.
        for (const TKeptValue& kept : context.HeaderShownOf(i)) {
            kept.Control->SetCurValue(kept.Value);
            kept.Control->SetCanBePrinted(kept.CanBePrinted);
        }
        RefreshSysDataPages(band);
        PrintAtCursor(report, band);
    }
}

// Suppressed repeated values whose print-when settings ask for it print
// again in the first band of the new page or column (and, after an
// overflow, those that ask for that).
void ForcePrintOnNewPage(const TGenerationContext& context)
{
    for (TKVXControl* control : context.ForcePrintControls) {
        const TKVPrintWhen* when = control->KVPrintWhen();
        if (when->RePrintOnNewPage() || (context.Overflowing && when->OnOverflow()))
            control->SetForcePrint(true);
    }
}

// A page footer's page totals run on over the columns of its page: a new
// column resets the page running values of every band but the page footer.
class TPageFooterTotals {
public:
    TPageFooterTotals(TKVReport& report, bool keep)
    {
        TKVXBand* footer = keep ? report.GetBand(report.GetIndexBand(btPageFooter)) : nullptr;
        if (!footer)
            return;
        for (TKVXControl* control : footer->Objects())
            if (auto* expression = control->AsExpression();
                expression && expression->Calculation()->ResetType() == rtEndPage)
                FKept.push_back({expression, expression->GetCurValue(), expression->GetPrevValue(),
                                 expression->Calculation()->Running()});
    }
    void Restore()
    {
        for (const TKept& kept : FKept) {
            kept.Control->SetCurValue(kept.Cur);
            kept.Control->SetPrevValue(kept.Prev);
            kept.Control->Calculation()->Running() = kept.Running;
        }
    }

private:
    struct TKept {
        TKVXExpression* Control;
        Variant Cur;
        Variant Prev;
        TKVXCalculation::TRunning Running;
    };
    std::vector<TKept> FKept;
};

} // namespace

// --- PrepareReport ------------------------------------------------------------------------

void TKVReport::PrepareReport()
{
    const int lang = GetLanguageShift();
    if (!FDataSet)
        throw EKVXError(FormatText(GetString(lang, kTextPropertyNotSpecified), {QStringLiteral("DataSet")}));
    if (!FDataSet->Active())
        throw EKVXError(GetString(lang, kTextDatasetNotActive));
    // An event handler preparing the report it is called from would walk
    // the data set and the page list from under the running generation.
    if (ActiveGeneration(this))
        throw EKVXError(QStringLiteral("Report %1 is already being prepared").arg(Name()));
    // Parameters are asked once per preparation: the second pass of a
    // two-pass preparation uses the answers given for the first.
    if (intCurPassNumber < 2) {
        tParametersCancelled.remove(this);
        if (!AskParameters(*FParameters, lang)) {
            // A cancelled parameter dialog cancels the preparation.
            tParametersCancelled.insert(this);
            RequestCancel();
            return;
        }
    } else if (tParametersCancelled.remove(this)) {
        return;
    }

    TKVPrintComponent::PrepareReport();
    FReportState = rsPrepare;
    FValuesUnseen = FSkipsUnseenValues && PagesOnlyCounted() && NothingSeesRunningValues(*this);
    if (intCurPassNumber < 2)
        ClearEvaluationWarnings();
    intCurColumn = ColumnCount(*this) + 1; // the first NewPage starts a new page

    TDataSet* master = FDataSet;
    const bool disableControls = Options().testFlag(roDisableControls);
    if (disableControls)
        master->DisableControls();
    TBookmark bookmark = master->GetBookmark();

    // Whatever happens, the report leaves the preparing state, the data set
    // returns to its record and its controls are enabled again. After a
    // failed generation an error while putting them back does not replace
    // the generation's error.
    auto restore = [&](bool quiet) {
        FReportState = rsNone;
        FValuesUnseen = false;
        intCurPage = 0;
        intCurBar = 0;
        if (disableControls)
            master->EnableControls();
        try {
            if (master->Active() && master->BookmarkValid(bookmark))
                master->GotoBookmark(bookmark);
        } catch (const std::exception&) {
            if (!quiet)
                throw;
        }
        master->FreeBookmark(bookmark);
    };

    TGenerationContext context;
    InitGenerationContext(context, this);
    const TGenerationScope scope(context);
    struct TRowSourceMarks {
        TGenerationContext& Context;
        ~TRowSourceMarks() { EndGenerationContext(Context); }
    } marks{context};
    try {
        MarkRowSources(context);
        master->First();
        UpdateCurValues(-1, -1, uvOnlyCustomVariables, QString(), QString());
        UpdateControlStates();
        BeginDoc();
        const int bars = std::max(1, FBarNumber);
        for (int bar = 1; bar <= bars; ++bar)
            GenerateBar(*this, context, bar);
        FinishPage(*this, context);
        EndDoc();
        ResetPrintedValues(rtEndReport, QString());
    } catch (...) {
        restore(true);
        throw;
    }
    restore(false);
}

// --- NewPage ------------------------------------------------------------------------------

void TKVReport::NewPage(bool newBar)
{
    TGenerationContext fallback;
    TGenerationContext& context = GenerationFor(this, fallback);
    const int columns = ColumnCount(*this);
    if (intCurColumn >= 0 && intCurColumn < columns) {
        FinishColumn(*this, context);
        if (OnEndColumn)
            OnEndColumn(this, intCurColumn);
    }
    const bool newColumnOnly = !newBar && intCurColumn < columns - 1;
    if (newColumnOnly) {
        ++intCurColumn;
    } else {
        FinishPage(*this, context);
        intCurColumn = 0;
        intColumnTop = 0;
        intColumnBottom = 0;
        TKVPrintComponent::NewPage(newBar);
    }
    ++context.PageSerial;
    context.BreakPending = false;

    const TPageInfo* page = CurrentPage();
    if (!page)
        throw EKVXError(QStringLiteral("Report %1 has no page to continue on").arg(Name()));
    intBarWidth = page->PageWidth() - page->OffsetLeft - page->OffsetRight;
    const int columnWidth = (intBarWidth - (columns - 1) * FColumnSpace) / columns;
    intColumnLeft = (columnWidth + FColumnSpace) * intCurColumn + page->OffsetLeft;
    intMaxPageHeight = page->PageHeight() - page->OffsetBottom;
    intCurHeight = page->OffsetTop;
    intLastPageHeight = 0;
    RefreshPageValues(*this, !newColumnOnly);

    bool titleNewPage = false;
    if (intCurColumn == 0) {
        if (intCurPage == 0)
            if (TKVXBand* title = GetBand(GetIndexBand(btReportTitle))) {
                PrintAtCursor(*this, title);
                titleNewPage = title->NewPage();
            }
        TKVXBand* header = GetBand(GetIndexBand(btPageHeader));
        if (header && (intCurPage > 0 || header->NewPage()))
            PrintAtCursor(*this, header);
        intColumnTop = intCurHeight;
        TKVXBand* footer = GetBand(GetIndexBand(btPageFooter));
        if (footer && (intCurPage > 0 || footer->NewPage()))
            ReserveAtBottom(*this, footer, context.PageFooter);
        intColumnBottom = intMaxPageHeight;
    }
    // With a single column, column headers and footers never print.
    if (columns > 1) {
        intCurHeight = intColumnTop;
        intMaxPageHeight = intColumnBottom;
        if (TKVXBand* header = GetBand(GetIndexBand(btColumnHeader)))
            PrintAtCursor(*this, header);
        if (TKVXBand* footer = GetBand(GetIndexBand(btColumnFooter)))
            ReserveAtBottom(*this, footer, context.ColumnFooter);
    }

    boolWasNewPage = true;
    TPageFooterTotals pageTotals(*this, newColumnOnly);
    ResetRunningValues(context, rtEndPage, QString());
    pageTotals.Restore();
    ForcePrintOnNewPage(context);
    RetakeFootersForPage(context);
    if (intCurColumn > 0 || intCurPage > 0)
        ReprintGroupHeaders(*this, context);
    context.FreshTop = intCurHeight;
    if (OnBeginColumn)
        OnBeginColumn(this, intCurColumn);
    // A title with NewPage stands alone on its page (in its column): the
    // next column or page begins inside this call, after the title's own
    // column has begun, so every column begins once and ends once.
    if (titleNewPage)
        NewPage(false);
}

} // namespace vorel
