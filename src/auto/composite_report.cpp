// TKVXCompositeReport: members prepared in turn, their pages copied in.

#include "auto/composite_report.h"

#include "foundation/values/errors.h"

namespace vorel {

TKVXCompositeReport::TKVXCompositeReport(QObject* owner) : TKVPrintBaseComponent(owner)
{
    // Each member shows its own progress.
    SetAnimatedStatus(false);
}

bool TKVXCompositeReport::Contains(const TKVPrintBaseComponent* report) const
{
    if (report == this)
        return true;
    for (const QPointer<TKVPrintBaseComponent>& member : FReports) {
        if (!member)
            continue;
        if (member == report)
            return true;
        if (const auto* composite = qobject_cast<const TKVXCompositeReport*>(member.data()))
            if (composite->Contains(report))
                return true;
    }
    return false;
}

void TKVXCompositeReport::AddReport(TKVPrintBaseComponent* report)
{
    if (!report)
        return;
    if (report == this)
        throw EKVXError(QStringLiteral("A composite report cannot be a member of itself"));
    if (const auto* composite = qobject_cast<const TKVXCompositeReport*>(report))
        if (composite->Contains(this))
            throw EKVXError(QStringLiteral("%1 holds this composite report; adding it would make a cycle")
                                .arg(report->objectName().isEmpty() ? QStringLiteral("The report") : report->objectName()));
    FReports.append(report);
}

void TKVXCompositeReport::RemoveReport(int index)
{
    if (index >= 0 && index < FReports.size())
        FReports.removeAt(index);
}

void TKVXCompositeReport::ClearReports()
{
    FreePages();
    FPrepared = false;
    while (!FReports.isEmpty())
        FReports.removeLast();
}

TKVPrintBaseComponent* TKVXCompositeReport::Report(int index) const
{
    return index >= 0 && index < FReports.size() ? FReports[index].data() : nullptr;
}

void TKVXCompositeReport::PrepareReport()
{
    TKVPrintBaseComponent::PrepareReport();
    BeginDoc();
    // Members freed since they were added are passed over.
    QList<TKVPrintBaseComponent*> members;
    for (const QPointer<TKVPrintBaseComponent>& member : FReports)
        if (member)
            members.append(member.data());
    if (members.isEmpty()) {
        NewPage(false); // an empty page carrying only the frame
        EndDoc();
        return;
    }
    intCurPage = 0;
    int offset = 0;
    for (TKVPrintBaseComponent* member : members) {
        member->Prepare();
        // A member cancelled cancels the whole sequence.
        if (member->Cancelled() || CancelPending()) {
            RequestCancel();
            break;
        }
        const TPageList& pages = member->Pages();
        for (int i = 0; i < pages.Count(); ++i) {
            const TPageInfo* source = pages.Items(i);
            if (!source)
                continue;
            auto copy = std::make_unique<TPageInfo>();
            copy->Data = std::make_unique<TMetafile>(*source->Data); // shares the bytes
            copy->SetPageWidth(source->PageWidth());
            copy->SetPageHeight(source->PageHeight());
            copy->intNumPage = source->intNumPage + offset;
            copy->intNumBar = source->intNumBar;
            copy->OffsetLeft = source->OffsetLeft;
            copy->OffsetRight = source->OffsetRight;
            copy->OffsetTop = source->OffsetTop;
            copy->OffsetBottom = source->OffsetBottom;
            FPages.Add(std::move(copy));
        }
        // The members' bookmarks point at their pages in the sequence.
        const TKVXOutlines* outlines = member->Outlines();
        for (int i = 0; i < outlines->Count(); ++i) {
            TKVXOutline* outline = Outlines()->Add();
            outline->Assign(outlines->GetOutline(i));
            outline->SetPageNo(outline->PageNo() + offset);
        }
        offset += member->GetNumPages();
    }
    EndDoc();
    intCurPage = 0;
    intCurBar = 0;
}

} // namespace vorel
