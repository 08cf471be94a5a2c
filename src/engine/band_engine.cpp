// The designed report's generation: PrepareReport walks the master data set
// record by record over every bar, deciding for each record which bands
// print and breaking pages and columns when a band does not fit; NewPage
// ends a column or page and sets up the next one with its page and column
// bands.
//
// The cursor (report pixels, y downwards): intCurHeight is the top of the
// next band, intMaxPageHeight the lowest position a band may reach (it
// shrinks as bottom-anchored bands are placed). A band is measured first
// and painted with the measured height; a band that does not fit moves to a
// new page or column once and is painted there even when it does not fit
// again, so every page takes at least one band and generation ends.

#include "engine/generation_p.h"

#include "foundation/language.h"
#include "foundation/user_interface.h"
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

// Whether moving a band that does not fit to the next column or page can
// give it more room. A column holding nothing of the data has as much room
// as the next one, unless it lies on the first page of a bar that differs
// from the later pages; moving would only leave it empty.
bool MoveCanHelp(const TKVReport& report, const TGenerationContext& context)
{
    if (report.intCurHeight != context.FreshTop)
        return true;
    if (report.intCurColumn < ColumnCount(report) - 1)
        return false;
    return report.intCurPage == 0 && context.FirstPageDiffers;
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

// Bottom-anchored: the band ends at the limit, which then moves up to the
// band's top (by the measured height, the same on every bar).
void PrintAtBottom(TKVReport& report, TKVXBand* band)
{
    const int height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
    const int painted = band->PrintBand(report.intMaxPageHeight - height, report.intMaxPageHeight, 0);
    report.intMaxPageHeight -= height;
    report.intLastPageHeight = painted;
}

// A band in the flow of the page: measured, moved to a new page or column
// when it does not fit, painted with the height measured before the move.
void PrintFlowing(TKVReport& report, const TGenerationContext& context, TKVXBand* band, TDataSet* dataSet)
{
    const int height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
    // The closing footers (their data set at its end) stay on the page even
    // when they run past its bottom.
    if (Overflows(report, height) && !dataSet->Eof() && MoveCanHelp(report, context))
        report.NewPage(false);
    PaintAtCursor(report, band, height);
}

// A sub-detail band over its own data set: one print per record of it.
void PrintSubDetail(TKVReport& report, const TGenerationContext& context, TKVXBand* band, int index,
                    TDataSet* dataSet)
{
    dataSet->First();
    while (!dataSet->Eof()) {
        if (GenerationCanceled())
            return;
        report.UpdateCurValues(index, index, uvWithoutGroupFooter, QString(), QString());
        const int height = MeasureBand(band, report.intCurHeight, report.intMaxPageHeight);
        if (Overflows(report, height) && MoveCanHelp(report, context))
            report.NewPage(false);
        PaintAtCursor(report, band, height);
        dataSet->Next();
    }
}

void PrintSummary(TKVReport& report, const TGenerationContext& context)
{
    TKVXBand* summary = report.GetBand(report.GetIndexBand(btReportSummary));
    if (!summary)
        return;
    if (summary->NewPage())
        report.NewPage(false);
    TakeValuesForPrinting(summary);
    const int height = MeasureBand(summary, report.intCurHeight, report.intMaxPageHeight);
    if (Overflows(report, height) && MoveCanHelp(report, context))
        report.NewPage(false);
    PaintAtCursor(report, summary, height);
}

// A report without a detail band: the master moves once a pass where a
// detail band would stand, as if an empty one printed there.
void VirtualDetailStep(TKVReport& report, TGenerationContext& context, TRecordPass& pass, int index)
{
    if (context.Master->Eof())
        return;
    AdvanceRecord(context, index - 1);
    pass.Advanced = true;
    report.boolWasNewPage = false;
}

// What one band does in a record pass.
void BandStep(TKVReport& report, TGenerationContext& context, TRecordPass& pass, int index)
{
    TKVXBand* band = report.Bands()[index];
    TDataSet* master = context.Master;
    if (band->GetIsGroup())
        band->UpdateGroupValue();
    if (BandPrints(band, master)) {
        if (band->BandType() == btGroupHeader) {
            PrepareGroupHeader(&report, band);
            TakeValuesForPrinting(band);
            int groupHeight = 0; // report pixels the whole group needs
            if (band->NewPageIfNotFit())
                groupHeight = MeasureGroup(context, index, report.intCurHeight, report.intMaxPageHeight, true);
            // A header with NewPage on a page where no detail printed yet
            // stays there, but still has to pass the two space tests.
            const bool tooLittleRoom =
                double(report.intCurHeight) + band->LessThan() > double(report.intMaxPageHeight)
                || (band->NewPageIfNotFit() && Overflows(report, groupHeight));
            if ((band->NewPage() && !report.boolWasNewPage) || (tooLittleRoom && MoveCanHelp(report, context)))
                report.NewPage(false);
        }
        TDataSet* own = band->GetDataset();
        if (band->BandType() == btSubDetail && own && own != master)
            PrintSubDetail(report, context, band, index, own);
        else
            PrintFlowing(report, context, band, own ? own : master);
        if (band->BandType() == btGroupFooter)
            ResetGroupAfterFooter(context, band);
        else if (band->BandType() == btGroupHeader)
            band->SetPrevValue(band->GetCurValue());
    }
    AdvanceAfterBand(context, pass, index);
    if (band->BandType() == btDetail)
        report.boolWasNewPage = false;
}

void GenerateBar(TKVReport& report, TGenerationContext& context, int bar)
{
    TDataSet* master = context.Master;
    // Every bar walks the same records: a report wider than the paper shows
    // on each bar that bar's columns of the same rows.
    if (bar > 1)
        master->First();
    report.ResetPrintedValues(rtEndReport, QString());
    context.RecordTaken = !master->Eof();
    context.FootersTaken = true;
    report.UpdateCurValues(-1, -1, uvOnlyCustomVariables, QString(), QString());
    report.UpdateCurValues(-1, -1, uvAllBand, QString(), QString());
    report.NewPage(bar > 1);
    report.boolWasNewPage = true;

    TRecordPass pass;
    while (!master->Eof() && !GenerationCanceled()) {
        report.UpdateControlStates();
        pass.Advanced = false;
        bool canceled = false;
        int i = 0;
        for (; i < report.BandCount(); ++i) {
            if (GenerationCanceled()) {
                canceled = true; // the interrupted record's footers do not print
                break;
            }
            if (i == context.VirtualDetailIndex)
                VirtualDetailStep(report, context, pass, i);
            BandStep(report, context, pass, i);
        }
        if (canceled)
            break;
        if (context.VirtualDetailIndex == report.BandCount())
            VirtualDetailStep(report, context, pass, i);
        EndRecordPass(context);
    }
    PrintSummary(report, context);
}

void RefreshPageValues(TKVReport& report)
{
    // Page, bar and column numbers wherever they stand.
    for (TKVXBand* band : report.Bands())
        for (TKVXControl* control : band->Objects())
            if (auto* sysData = qobject_cast<TKVXSysData*>(control)) {
                const TKVXSysDataType kind = sysData->SysData();
                if (kind == sdPageNo || kind == sdBarNo || kind == sdColumnNo)
                    sysData->UpdateCurValue();
            }
    // The page bands print now, for the page now beginning (an expression
    // such as 'Page ' + INTTOSTR(PageNo) names this page).
    for (const TBandType type : {btReportTitle, btPageHeader, btPageFooter, btColumnHeader, btColumnFooter})
        if (TKVXBand* band = report.GetBand(report.GetIndexBand(type)))
            TakeValuesForPrinting(band);
}

// A group that continues on this page or column gets its header again at
// the top, without a space test.
void ReprintGroupHeaders(TKVReport& report)
{
    for (TKVXBand* band : report.Bands()) {
        if (band->BandType() != btGroupHeader || !band->ReprintHeader())
            continue;
        const TKVXBand* footer = report.GetBand(band->GetLinkedFooterIndex());
        if (footer && SameGroupValue(band->GetCurValue(), footer->GetCurValue())) {
            TakeValuesForPrinting(band);
            PrintAtCursor(report, band);
        }
    }
}

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
            tParametersCancelled.insert(this);
            return;
        }
    } else if (tParametersCancelled.remove(this)) {
        return;
    }

    TKVPrintComponent::PrepareReport();
    FReportState = rsPrepare;
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
    try {
        master->First();
        UpdateCurValues(-1, -1, uvOnlyCustomVariables, QString(), QString());
        UpdateControlStates();
        BeginDoc();
        const int bars = std::max(1, FBarNumber);
        for (int bar = 1; bar <= bars; ++bar)
            GenerateBar(*this, context, bar);
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
    if (intCurColumn >= 0 && intCurColumn < columns && OnEndColumn)
        OnEndColumn(this, intCurColumn);
    if (!newBar && intCurColumn < columns - 1) {
        ++intCurColumn;
    } else {
        intCurColumn = 0;
        intColumnTop = 0;
        intColumnBottom = 0;
        TKVPrintComponent::NewPage(newBar);
    }

    const TPageInfo* page = CurrentPage();
    if (!page)
        throw EKVXError(QStringLiteral("Report %1 has no page to continue on").arg(Name()));
    intBarWidth = page->PageWidth() - page->OffsetLeft - page->OffsetRight;
    const int columnWidth = (intBarWidth - (columns - 1) * FColumnSpace) / columns;
    intColumnLeft = (columnWidth + FColumnSpace) * intCurColumn + page->OffsetLeft;
    intMaxPageHeight = page->PageHeight() - page->OffsetBottom;
    intCurHeight = page->OffsetTop;
    intLastPageHeight = 0;
    RefreshPageValues(*this);

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
            PrintAtBottom(*this, footer);
        intColumnBottom = intMaxPageHeight;
    }
    // With a single column, column headers and footers never print.
    if (columns > 1) {
        intCurHeight = intColumnTop;
        intMaxPageHeight = intColumnBottom;
        if (TKVXBand* header = GetBand(GetIndexBand(btColumnHeader)))
            PrintAtCursor(*this, header);
        if (TKVXBand* footer = GetBand(GetIndexBand(btColumnFooter)))
            PrintAtBottom(*this, footer);
    }

    boolWasNewPage = true;
    ResetRunningValues(context, rtEndPage, QString());
    if (intCurColumn > 0 || intCurPage > 0)
        ReprintGroupHeaders(*this);
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
