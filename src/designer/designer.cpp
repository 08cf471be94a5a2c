#include "designer/designer.h"

#include "designer/designer_window.h"
#include "model/band.h"
#include "model/report.h"

#include <QApplication>
#include <QEventLoop>
#include <QSettings>

namespace vorel {

TKVXDesigner::TKVXDesigner(QObject* owner) : TComponent(owner) {}

TKVXDesigner::~TKVXDesigner() = default;

TKVReport* TKVXDesigner::Report() const
{
    return FReport.data();
}

void TKVXDesigner::SetReport(TKVReport* report)
{
    FReport = report;
    FSelected.clear();
}

TKVXControl* TKVXDesigner::GetSelected(int index) const
{
    return index >= 0 && index < FSelected.size() ? FSelected[index].data() : nullptr;
}

void TKVXDesigner::Changed()
{
    if (FWindow)
        FWindow->SelectionChanged();
    if (OnSelectedChange)
        OnSelectedChange(this);
}

void TKVXDesigner::ClearSelected()
{
    for (const QPointer<TKVXControl>& control : FSelected)
        if (control)
            control->SetSelected(false);
    FSelected.clear();
    Changed();
}

void TKVXDesigner::AddSelected(TKVXControl* control)
{
    if (!control || FSelected.contains(control))
        return;
    FSelected.append(control);
    control->SetSelected(true);
    Changed();
}

void TKVXDesigner::DeleteSelected(TKVXControl* control)
{
    if (!control || !FSelected.contains(control))
        return;
    FSelected.removeAll(control);
    control->SetSelected(false);
    Changed();
}

void TKVXDesigner::ToggleSelected(TKVXControl* control)
{
    if (!control)
        return;
    if (FSelected.contains(control))
        DeleteSelected(control);
    else
        AddSelected(control);
}

void TKVXDesigner::SelectElements(int mode)
{
    if (!FReport)
        return;
    for (TKVXBand* band : FReport->Bands())
        band->SetSelected(false);
    for (TKVXBand* band : FReport->Bands()) {
        for (TKVXControl* control : band->Objects()) {
            const bool select = mode == 0 || (mode == 2 && !control->Selected());
            control->SetSelected(select);
            if (select && !FSelected.contains(control))
                FSelected.append(control);
            else if (!select)
                FSelected.removeAll(control);
        }
    }
    Changed();
}

void TKVXDesigner::SyncSelection()
{
    QList<QPointer<TKVXControl>> kept;
    for (const QPointer<TKVXControl>& control : FSelected)
        if (control && control->Selected() && control->GetParentBand())
            kept.append(control);
    if (FReport)
        for (TKVXBand* band : FReport->Bands())
            for (TKVXControl* control : band->Objects())
                if (control->Selected() && !kept.contains(control))
                    kept.append(control);
    FSelected = kept;
    Changed();
}

TKVXDesignerWindow* TKVXDesigner::CreateWindow(QWidget* parent)
{
    return new TKVXDesignerWindow(this, parent);
}

void TKVXDesigner::Execute()
{
    if (!FReport)
        return;
    TKVReport* report = FReport;
    report->SetReportState(rsDesign);
    {
        std::unique_ptr<TKVXDesignerWindow> window(CreateWindow());
        if (FOptions.AutoSaveOptions)
            window->LoadLayout();
        window->OfferRecovery();
        window->setWindowModality(Qt::ApplicationModal);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        QEventLoop loop;
        QObject::connect(window.get(), &TKVXDesignerWindow::Closed, &loop, &QEventLoop::quit);
        loop.exec();
        if (FOptions.AutoSaveOptions)
            window->SaveLayout();
    }
    FSelected.clear();
    if (report)
        report->SetReportState(rsNone);
}

void DesignReport(TKVReport* report)
{
    TKVXDesigner designer;
    designer.SetReport(report);
    designer.Options().AutoSaveOptions = true;
    designer.Execute();
}

} // namespace vorel
