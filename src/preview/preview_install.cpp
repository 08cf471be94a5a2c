#include "preview/preview_install.h"

#include "frame/preview_host.h"
#include "preview/preview_window.h"

#include <QEventLoop>
#include <QLayout>
#include <QPointer>

namespace vorel {

namespace {

class TWidgetPreviewHost final : public TKVXPreviewHost {
public:
    void ShowPreview(TKVPrintBaseComponent& report, QObject* parent, bool enableOutlines) override
    {
        QWidget* parentWidget = qobject_cast<QWidget*>(parent);
        if (parentWidget) {
            // Embedded: a child filling its parent (or taking its place in
            // the parent's layout), alive as long as the parent is.
            auto* window = new TfrmKVPreview(parentWidget);
            window->setWindowFlags(Qt::Widget);
            window->SetReport(&report, enableOutlines);
            if (QLayout* layout = parentWidget->layout())
                layout->addWidget(window);
            else
                window->setGeometry(parentWidget->rect());
            window->show();
            window->Activate();
            return;
        }
        // Modal: runs until the window is closed (it frees itself then).
        QPointer<TfrmKVPreview> window = new TfrmKVPreview;
        window->SetReport(&report, enableOutlines);
        window->setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        QObject::connect(window, &TfrmKVPreview::Closed, &loop, &QEventLoop::quit);
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        window->show();
        loop.exec(QEventLoop::DialogExec);
        delete window.data(); // closed: its own deletion may still be pending
    }
};

TWidgetPreviewHost gHost;

} // namespace

void InstallPreviewWindow()
{
    SetPreviewHost(&gHost);
}

void UninstallPreviewWindow()
{
    if (PreviewHost() == &gHost)
        SetPreviewHost(nullptr);
}

} // namespace vorel
