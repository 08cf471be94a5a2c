// The output entry points of the print component frame: preview, printing,
// prepared-report streams, and saving or exporting pages. Their flow is
// fixed here; the parts that need a window, a printer job, the stream
// format or the export filters raise "... is not available in this build"
// until those parts are built, instead of silently doing nothing.

#include "frame/preview_host.h"
#include "frame/print_component.h"

namespace vorel {

// --- preview ------------------------------------------------------------------------------

void TKVPrintBaseComponent::Preview()
{
    InternalPreview(true, nullptr);
}

void TKVPrintBaseComponent::PreviewPreparedReport()
{
    InternalPreview(false, nullptr);
}

void TKVPrintBaseComponent::PreviewParentedControl(QObject* parent)
{
    InternalPreview(true, parent);
}

void TKVPrintBaseComponent::PreviewParentedControlPreparedReport(QObject* parent)
{
    InternalPreview(false, parent);
}

void TKVPrintBaseComponent::InternalPreview(bool prepare, QObject* parent)
{
    if (prepare)
        Prepare();
    // A generation that never reached EndDoc leaves nothing to show.
    if (!FPrepared)
        return;
    if (OnBeforePreview)
        OnBeforePreview(this);
    if (OnPreview && !IsDesigning()) {
        OnPreview(this);
    } else {
        // The preview window (embedded in parent when given, else modal),
        // with the outline view enabled when Outlines has entries.
        TKVXPreviewHost* host = PreviewHost();
        if (!host)
            RaiseNotAvailable(QStringLiteral("The preview window"));
        host->ShowPreview(*this, parent, Outlines()->Count() > 0);
    }
    if (OnAfterPreview)
        OnAfterPreview(this);
}

namespace {
TKVXPreviewHost* gPreviewHost = nullptr;
} // namespace

TKVXPreviewHost* PreviewHost()
{
    return gPreviewHost;
}

void SetPreviewHost(TKVXPreviewHost* host)
{
    gPreviewHost = host;
}

// Printing is in printing.cpp, the prepared-report streams in
// prepared_stream.cpp, saving and exporting pages in save_export.cpp.

} // namespace vorel
