#pragma once
// What shows the preview window. The core never opens a window itself:
// Preview and its variants hand the prepared component to the installed
// host. vorel_ui installs the widget window (preview/preview_install.h);
// without a host (a headless build or application) Preview raises
// "The preview window is not available in this build".

class QObject;

namespace vorel {

class TKVPrintBaseComponent;

class TKVXPreviewHost {
public:
    virtual ~TKVXPreviewHost() = default;
    // Shows the preview of a prepared component. Without a parent the
    // window is modal and this returns once it is closed; with a parent
    // (a widget) the window is embedded in it, shown, and stays alive with
    // it, and this returns at once. enableOutlines: the component recorded
    // outline entries, so the outline view may be shown.
    virtual void ShowPreview(TKVPrintBaseComponent& report, QObject* parent, bool enableOutlines) = 0;
};

// The installed host, nullptr when none is. Not owned.
TKVXPreviewHost* PreviewHost();
void SetPreviewHost(TKVXPreviewHost* host);

} // namespace vorel
