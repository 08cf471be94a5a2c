// The steps of a record pass that the record loop and the group lookahead
// share: which bands print, what a group header triggers, and the record
// advance with the updates it drives.

#include "engine/generation_p.h"

#include "foundation/user_interface.h"
#include "graphics/canvas.h"

#include <algorithm>
#include <vector>

namespace vorel {

namespace {
// The running generations of this thread (a handler may prepare another
// report while one generates).
thread_local std::vector<TGenerationContext*> tActive;
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

bool GenerationCanceled()
{
    return ProgressCanceled();
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

bool SameGroupValue(const Variant& a, const Variant& b)
{
    if (a.IsEmptyOrNull() || b.IsEmptyOrNull())
        return false;
    try {
        return a.Equals(b);
    } catch (const std::exception&) {
        return false;
    }
}

void PrepareGroupHeader(TKVReport* report, TKVXBand* header)
{
    const QString group = header->Expression();
    report->UpdateCurValues(-1, -1, uvOnlyCustomVariables, group, QString());
    report->UpdateCurValues(-1, -1, uvAllBand, group, QString());
}

void AdvanceRecord(TGenerationContext& context, int bandIndex)
{
    TKVReport* report = context.Report;
    TDataSet* master = context.Master;
    master->Next();
    context.RecordTaken = !master->Eof();
    context.FootersTaken = false;
    if (context.RecordTaken) {
        // The variables first, so that every band sees them for the record
        // it prints (a band expression that names a variable would
        // otherwise show the previous record's value).
        report->UpdateCurValues(-1, -1, uvOnlyCustomVariables, QString(), QString());
        UpdateBandsForRecord(*report);
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
}

int MeasureBand(TKVXBand* band, int top, int bottom)
{
    return band->PrintBand(top, bottom, DT_CALCRECT);
}

} // namespace vorel
