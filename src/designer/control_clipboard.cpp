#include "designer/control_clipboard.h"

#include "designer/layout_rules.h"
#include "foundation/forms/form_objects.h"
#include "model/band.h"
#include "model/control_registry.h"
#include "model/report.h"
#include "model/report_form.h"

namespace vorel {

QList<TControlRecord>& ControlClipboard()
{
    static QList<TControlRecord> records;
    return records;
}

int CopySelectedControls(const TKVReport* report)
{
    const QList<TKVXControl*> selected = SelectedControls(report);
    if (selected.isEmpty())
        return 0; // an empty copy keeps what the clipboard held
    QList<TControlRecord> records;
    for (TKVXControl* control : selected)
        records.append({control->ClassName(), SaveComponentBinary(control, ReportFormWriteOptions())});
    ControlClipboard() = records;
    return int(records.size());
}

QList<TKVXControl*> PasteControls(TKVXBand* band)
{
    QList<TKVXControl*> made;
    TKVReport* report = band ? band->Report() : nullptr;
    if (!report)
        return made;
    report->SelectElements(1);
    for (const TControlRecord& record : ControlClipboard()) {
        // Only classes the palette still offers: one unregistered since the
        // copy would be a control no form could read back.
        if (!FindKVXControl(record.ClassName))
            continue;
        const QMetaObject* controlClass = TKVXBand::GetClassByName(record.ClassName);
        if (!controlClass)
            continue;
        TKVXControl* control = band->Object(band->AddElement(controlClass));
        if (!control)
            continue;
        FormReadOptions options = ReportFormReadOptions();
        options.ResolveReference = [report](const QString& name) -> QObject* { return report->FindComponent(name); };
        try {
            LoadComponent(record.Form, control, options); // keeps the new control's (empty) component name
        } catch (...) {
            delete control;
            throw;
        }
        control->SetSelected(true);
        made.append(control);
    }
    return made;
}

} // namespace vorel
